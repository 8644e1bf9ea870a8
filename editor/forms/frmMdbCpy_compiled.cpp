// frmMdbCpy: the import run as one statement on the workspace's connection, which reaches the
// source and the target file alike. FieldMap becomes the column list of one
// INSERT INTO target (...) SELECT ... FROM source, whose SQL functions (CarryFunctions) convert
// each linked value as ConvertLinkedValue does and check it as Update would:
//   replace all   DELETE, then the INSERT ... SELECT;
//   keyed mode 1  ... ON CONFLICT (primary key) DO UPDATE SET the linked fields;
//   keyed mode 2  ... ON CONFLICT (primary key) DO UPDATE ... WHERE false (left alone, counted);
//   keyed mode 3  mode 1 over the source records whose key the target holds.
// SQLite reads the source in rowid order, as the record-by-record run does, and writes each
// record before it reads the next, so a key that comes twice finds the record its first
// occurrence added, as Seek does. The target's primary index decides every conflict by its
// own comparison rule, which is Seek's. Auto numbers are given after the statement, in the
// order the records were added.
//
// Where every linked field keeps its values (same type, a conversion that changes nothing), the
// run goes first as the same statement copying the source's columns as they are, with one
// function per record (tavorin_carry_same) that checks every value would indeed pass its
// conversion unchanged; a value that would not fails that statement, which is rolled back and
// run again with the functions. That spares a function call and a copy per value. Replace all
// of every record between tables of one layout (each field linked from the field at its own
// place) goes further: the same check over the source alone, then INSERT INTO target SELECT *
// FROM source, which SQLite copies record by record without decoding it into the emptied
// table. The source's rowids must then run 1..N, the rowids an insert gives an emptied table.
//
// Layouts the statement does not cover are left to the record-by-record run, and so is a run
// whose statement meets a value or a record that fails: it is rolled back and the record-by-
// record run, starting afresh, stops at the first failing record with its own messages. Any
// other engine error (the disk, a lock) ends the run as it would end the record-by-record one.
#include <QElapsedTimer>
#include <sqlite3.h>

#include <climits>
#include <memory>

#include "engine/error.h"
#include "engine/workspace.h"
#include "frmMdbCpy.h"
#include "frmMdbCpy_run.h"
#include "modules/CarryFunctions.h"
#include "modules/WorkStore.h"

namespace tavorin {
namespace fs = std::filesystem;
using engine::Variant;
using importrun::SameFile;
using importrun::Trimmed;

namespace {

long FindField(const engine::Recordset& rs, const std::string& name) {
    try {
        return static_cast<long>(rs.FieldIndex(name));
    } catch (const engine::Error&) {
        return -1;
    }
}

// The name that reads a record's rowid in a table of these fields ("" when every one is taken).
std::string RowidName(const engine::Recordset& rs) {
    for (const char* name : {"rowid", "_rowid_", "oid"})
        if (FindField(rs, name) < 0) return name;
    return {};
}

// The statement's failures that a record-by-record run meets at a record: a value that does not
// convert or that the field refuses (reported by the functions), a key taken twice, a constraint
// of the file. Other errors (the disk, a lock, memory) are the run's own.
bool FailsAtARecord(const engine::Error& e, const CarryFunctions& functions) {
    return !functions.Failure().empty() || e.Number() == engine::err::kDuplicateKey ||
           e.Number() == engine::err::kEngineFailure;
}

int64_t LastRowid(sqlite3* db, const std::string& table, const std::string& rowid) {
    const std::string sql = "SELECT ifnull(max(" + rowid + "), 0) FROM " + table;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
    if (sqlite3_step(raw) != SQLITE_ROW) engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db));
    return sqlite3_column_int64(raw, 0);
}

struct SourceCheck {
    bool passed = false; // every record would be copied unchanged
    int64_t count = 0, lowest = 0, highest = 0; // records and their rowids
};

// Runs the check of a whole-record copy on the workspace connection: a scan in which
// tavorin_carry_same sees every record (and counts it), then the lowest and highest rowid.
SourceCheck CheckSource(sqlite3* db, const std::string& scan, const std::string& range, const CarryFunctions& functions) {
    auto prepare = [&](const std::string& sql) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
            engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db));
        return std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>(raw, sqlite3_finalize);
    };
    const auto scanned = prepare(scan);
    if (sqlite3_step(scanned.get()) != SQLITE_DONE) {
        if (functions.NeedsConversion()) return {};
        engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db));
    }
    const auto ends = prepare(range);
    if (sqlite3_step(ends.get()) != SQLITE_ROW) engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db));
    return {true, functions.RecordsRead(), sqlite3_column_int64(ends.get(), 0), sqlite3_column_int64(ends.get(), 1)};
}

// The count and highest rowid of the records after `after`, read on the workspace connection.

std::pair<int64_t, int64_t> RecordsAfter(sqlite3* db, const std::string& table, const std::string& rowid,
                                         int64_t after) {
    const std::string sql = "SELECT count(*), ifnull(max(" + rowid + "), 0) FROM " + table + " WHERE " + rowid + " > ?";
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
    sqlite3_bind_int64(raw, 1, after);
    if (sqlite3_step(raw) != SQLITE_ROW) engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db));
    return {sqlite3_column_int64(raw, 0), sqlite3_column_int64(raw, 1)};
}

} // namespace

bool frmMdbCpy::RunCompiled(RunMode mode, engine::DatabasePtr& targetDb, engine::DatabasePtr& sourceDb) {
    const bool replaceAll = mode == RunMode::ReplaceAll;
    const bool adds = mode != RunMode::UpdateExisting;
    const Side& target = Sides[kTarget];
    const Side& source = Sides[kSource];
    const bool sameTable = SameFile(source.File.FullPath, target.File.FullPath) && SameText(source.TableName, target.TableName);
    // A keyed run over one table reads the records it writes; Seek takes ten key values at most.
    if (!replaceAll && (sameTable || KeyCount > 10)) return false;
    int count = 0;
    while (count < FieldMapTable::kEntries && !FieldMap(count + 1, 2).empty()) ++count;
    if (count < 1) return false;
    auto decline = [&] {
        sourceDb.reset();
        targetDb.reset();
        return false;
    };

    // Preparing the statement: whatever fails here, the record-by-record run meets in its own
    // words.
    std::unique_ptr<CarryFunctions> functions;
    std::string sql, plainSql, checkSql, rangeSql, copySql, targetTable, targetRowid;
    std::vector<Variant> params;
    int autoField = -1;
    std::string autoName;
    try {
        std::string sourcePath = source.File.FullPath;
        if (replaceAll && sameTable) {
            std::error_code ec;
            fs::copy_file(sourcePath, ScratchPath, fs::copy_options::overwrite_existing, ec);
            if (ec) return decline();
            sourcePath = ScratchPath;
        }
        sourceDb = Ws->OpenDatabase(sourcePath);
        targetDb = Ws->OpenDatabase(target.File.FullPath);
        // A genuine Jet file is read on a connection of its own.
        if (targetDb->ReadOnly() || sourceDb->SqliteHandle() != targetDb->SqliteHandle()) return decline();
        // The statement reads the source as "s"; a subquery of the condition reads its fields so.
        const engine::Database::Selection selection = sourceDb->TranslateSelect(SourceStatement(), "s");
        if (selection.ordered) return decline();

        auto src = sourceDb->OpenRecordset("SELECT * FROM " + Bracketed(source.TableName), engine::RecordsetType::Snapshot);
        auto dst = targetDb->OpenRecordset("SELECT * FROM " + Bracketed(target.TableName), engine::RecordsetType::Snapshot);
        const std::string sourceRowid = RowidName(*src);
        targetRowid = RowidName(*dst);
        if (sourceRowid.empty() || targetRowid.empty()) return decline();
        const size_t fieldCount = dst->FieldCount();
        std::vector<bool> refusesNull(fieldCount, false);
        std::vector<std::string> keyFields;
        {
            auto def = targetDb->TableDefs().Item(target.TableName);
            for (const auto& index : def->Indexes()) {
                const bool primary = SameText(index->Name(), PrimaryIndexName);
                if (primary && !replaceAll && !index->Primary() && !index->Unique()) return decline();
                for (const auto& member : index->Fields()) {
                    const long at = FindField(*dst, member->Name());
                    if (at >= 0 && (index->Primary() || index->Required())) refusesNull[static_cast<size_t>(at)] = true;
                    if (primary) keyFields.push_back(member->Name());
                }
            }
        }
        if (!replaceAll && keyFields.size() != static_cast<size_t>(KeyCount)) return decline();

        functions = std::make_unique<CarryFunctions>(targetDb->SqliteHandle());
        targetTable = SqlQuoted(targetDb->SchemaName()) + "." + SqlQuoted(target.TableName);
        const std::string sourceTable = SqlQuoted(sourceDb->SchemaName()) + "." + SqlQuoted(source.TableName);
        std::string columns, values, sets, keptKeys;
        // The statement copying values as they are: its select list, its check and key match.
        std::string plainValues, sameArgs;
        std::vector<int> sameKeys;
        bool plain = true;
        // Every field linked from the field at its own place of a source of as many fields.
        bool wholeRecords = replaceAll && selection.condition.empty() && selection.params.empty() &&
                            src->FieldCount() == fieldCount;
        std::vector<bool> filled(fieldCount, false), written(fieldCount, false);
        std::vector<std::string> keyMatch(keyFields.size()), plainKeyMatch(keyFields.size());
        for (int j = 1; j <= count; ++j) {
            const long at = FindField(*dst, FieldMap(j, 2));
            if (at < 0 || filled[static_cast<size_t>(at)]) return decline();
            filled[static_cast<size_t>(at)] = true;
            const engine::FieldInfo& field = dst->FieldAt(static_cast<size_t>(at));
            const bool autoNumber = SameText(FieldMap(j, 3), kAutoNumberType);
            if (((field.attributes & engine::dao::dbAutoIncrField) != 0) != autoNumber) return decline();
            const bool linked = !Trimmed(FieldMap(j, 5)).empty();
            const bool textual = SameText(FieldMap(j, 3), "dbText") || SameText(FieldMap(j, 3), "dbMemo");
            const bool nullRefused = refusesNull[static_cast<size_t>(at)];
            std::string value = "NULL", plainValue;
            long from = -1;
            if (linked) {
                from = FindField(*src, FieldMap(j, 5));
                if (from < 0) return decline();
            }
            wholeRecords = wholeRecords && linked && !autoNumber && from == at;
            if (autoNumber) {
                // Numbered after the statement; a key the engine numbers is not one Seek finds.
                if (autoField >= 0) return decline();
                autoField = static_cast<int>(at);
                autoName = field.name;
            } else if (linked) {
                const engine::FieldInfo& old = src->FieldAt(static_cast<size_t>(from));
                const int key = functions->AddLinked(field.name, old.type, ValueConversion::ForEntry(static_cast<int16_t>(j)),
                                                     field, nullRefused);
                value = "tavorin_carry(" + std::to_string(key) + ", s." + SqlQuoted(old.name) + ")";
                plainValue = "s." + SqlQuoted(old.name);
                plain = plain && functions->CanPassAsItIs(key);
                sameArgs += (sameArgs.empty() ? "" : ", ") + plainValue;
                sameKeys.push_back(key);
                written[static_cast<size_t>(at)] = true;
                // A whole-number key that Seek found equal holds the very value the update would
                // write, when it is stored as a whole number (checked on each record updated):
                // it is left, which spares the index an update of each record. Other keys (a text
                // in another letter case) are written again.
                const bool whole = field.type == engine::dao::dbBoolean || field.type == engine::dao::dbByte ||
                                   field.type == engine::dao::dbInteger || field.type == engine::dao::dbLong ||
                                   field.type == engine::dao::dbCurrency;
                bool isKey = false;
                for (const std::string& k : keyFields) isKey = isKey || SameText(k, field.name);
                if (isKey && whole)
                    keptKeys += " AND tavorin_carry(" + std::to_string(functions->AddStoredWhole(field)) + ", " +
                                SqlQuoted(field.name) + ") IS NOT NULL";
                else
                    sets += (sets.empty() ? "" : ", ") + SqlQuoted(field.name) + " = excluded." + SqlQuoted(field.name);
            } else {
                const Variant constant = textual ? (field.allowZeroLength ? Variant("") : Variant::Null()) : Variant::Integer(0);
                // Update refuses such a record: left to the run that reports it, when records are added.
                if (adds && constant.IsNull() && (nullRefused || field.required)) return decline();
                value = "tavorin_carry(" + std::to_string(functions->AddConstant(constant, field)) + ", NULL)";
            }
            for (size_t r = 0; r < keyFields.size() && !replaceAll; ++r) {
                if (importrun::SizeNumber(KeyEntry[r + 1]) != j) continue;
                if (!SameText(keyFields[r], field.name) || autoNumber || !linked) return decline();
                // The key as Seek looks for it: a Null finds nothing and fails nothing.
                const engine::FieldInfo& old = src->FieldAt(static_cast<size_t>(from));
                const int key = functions->AddLinked(field.name, old.type, ValueConversion::ForEntry(static_cast<int16_t>(j)),
                                                     field, false);
                keyMatch[r] = "t." + SqlQuoted(field.name) + " = tavorin_carry(" + std::to_string(key) + ", s." +
                              SqlQuoted(old.name) + ")";
                plainKeyMatch[r] = "t." + SqlQuoted(field.name) + " = s." + SqlQuoted(old.name);
            }
            columns += (columns.empty() ? "" : ", ") + SqlQuoted(field.name);
            values += (values.empty() ? "" : ", ") + value;
            plainValues += (plainValues.empty() ? "" : ", ") + (plainValue.empty() ? value : plainValue);
        }
        for (bool f : filled)
            if (!f) return decline();
        std::string conflict, exists, plainExists;
        for (size_t r = 0; r < keyFields.size() && !replaceAll; ++r) {
            if (keyMatch[r].empty()) return decline();
            const long at = FindField(*dst, keyFields[r]);
            conflict += (conflict.empty() ? "" : ", ") + SqlQuoted(dst->FieldAt(static_cast<size_t>(at)).name);
            exists += (exists.empty() ? "" : " AND ") + keyMatch[r];
            plainExists += (plainExists.empty() ? "" : " AND ") + plainKeyMatch[r];
        }
        // An update checks every field of the record, also those it leaves as they are.
        for (size_t i = 0; i < fieldCount && !replaceAll; ++i) {
            const engine::FieldInfo& field = dst->FieldAt(i);
            const bool textual = field.type == engine::dao::dbText || field.type == engine::dao::dbMemo;
            if (written[i] || !(refusesNull[i] || field.required || (textual && !field.allowZeroLength))) continue;
            sets += (sets.empty() ? "" : ", ") + SqlQuoted(field.name) + " = tavorin_carry(" +
                    std::to_string(functions->AddKept(field, refusesNull[i])) + ", " + SqlQuoted(field.name) + ")";
        }
        // Every record found is written again, also with nothing to change.
        if (sets.empty() && !keyFields.empty()) sets = SqlQuoted(keyFields[0]) + " = " + SqlQuoted(keyFields[0]);

        std::string upsert;
        if (mode == RunMode::AddOrUpdate || mode == RunMode::UpdateExisting)
            upsert = " ON CONFLICT (" + conflict + ") DO UPDATE SET " + sets + (keptKeys.empty() ? "" : " WHERE 1" + keptKeys);
        else if (mode == RunMode::AddNew)
            upsert = " ON CONFLICT (" + conflict + ") DO UPDATE SET " + SqlQuoted(keyFields[0]) + " = " +
                     SqlQuoted(keyFields[0]) + " WHERE tavorin_carry_skip()";
        auto statement = [&](const std::string& selected, const std::string& recordCheck, const std::string& match) {
            // The condition first: the records read are those it selects.
            std::string where = " WHERE ";
            if (!selection.condition.empty()) where += "(" + selection.condition + ") AND ";
            where += recordCheck;
            if (mode == RunMode::UpdateExisting)
                where += " AND tavorin_carry_hit(EXISTS (SELECT 1 FROM " + targetTable + " AS t WHERE " + match + "))";
            return "INSERT INTO " + targetTable + " (" + columns + ") SELECT " + selected + " FROM " + sourceTable +
                   " AS s" + where + " ORDER BY s." + sourceRowid + upsert;
        };
        sql = statement(values, "tavorin_carry_row()", exists);
        functions->SetSameKeys(sameKeys);
        if (plain) plainSql = statement(plainValues, "tavorin_carry_same(" + sameArgs + ")", plainExists);
        if (plain && wholeRecords) {
            // No row comes back: the function is true or fails the statement.
            checkSql = "SELECT 1 FROM " + sourceTable + " AS s WHERE NOT tavorin_carry_same(" + sameArgs + ")";
            rangeSql = "SELECT ifnull((SELECT min(" + sourceRowid + ") FROM " + sourceTable + "), 1), ifnull((SELECT max(" +
                       sourceRowid + ") FROM " + sourceTable + "), 0)";
            copySql = "INSERT INTO " + targetTable + " SELECT * FROM " + sourceTable;
        }
        params = selection.params;
        src->Close();
        dst->Close();
    } catch (const engine::Error&) {
        return decline();
    }

    QElapsedTimer shown;
    shown.start();
    auto liveCounts = [&] {
        ReadCount = functions->RecordsRead();
        WorkCount = mode == RunMode::AddNew           ? ReadCount - functions->Skipped()
                    : mode == RunMode::UpdateExisting ? functions->Hits()
                                                      : ReadCount;
    };
    functions->OnRecords([&](long) {
        // The counts run visibly, at screen rate rather than once per record.
        if (shown.elapsed() < 50) return;
        liveCounts();
        ShowCounts();
        shown.restart();
    });

    const int level = Ws->TransactionLevel();
    // Runs one statement in the run's transaction; false when it failed at a record or at a
    // value the copy as they are cannot take (rolled back, NeedsConversion() telling which).
    auto run = [&](const std::string& statement) {
        functions->ResetCounts();
        Ws->BeginTrans();
        try {
            if (replaceAll) targetDb->Execute("DELETE * FROM " + Bracketed(target.TableName));
            sqlite3* db = targetDb->SqliteHandle();
            const int64_t lastBefore = autoField >= 0 ? LastRowid(db, targetTable, targetRowid) : 0;
            const long changed = targetDb->ExecuteSql(statement, params);
            liveCounts();
            // What the functions saw and what SQLite wrote must agree record for record.
            if (changed != WorkCount) engine::Throw(engine::err::kEngineFailure, "counts differ");
            if (autoField >= 0 && adds) {
                // The records added have the rowids after the last one before, in the order they came.
                const auto [added, lastAfter] = RecordsAfter(db, targetTable, targetRowid, lastBefore);
                if (added > 0) {
                    const int64_t first = targetDb->NextAutoNumber(target.TableName);
                    if (lastAfter - lastBefore != added || first + added - 1 > INT32_MAX)
                        engine::Throw(engine::err::kEngineFailure, "auto numbers");
                    targetDb->ExecuteSql("UPDATE " + targetTable + " SET " + SqlQuoted(autoName) + " = " + targetRowid +
                                         " + " + std::to_string(first - lastBefore - 1) + " WHERE " + targetRowid +
                                         " > " + std::to_string(lastBefore));
                    targetDb->NoteAutoNumber(target.TableName, first + added - 1);
                }
            }
        } catch (const engine::Error& e) {
            if (!functions->NeedsConversion() && !FailsAtARecord(e, *functions)) throw;
            if (Ws->TransactionLevel() > level) Ws->Rollback();
            ReadCount = 0;
            WorkCount = 0;
            if (!functions->NeedsConversion())
                LastCompiledFailure = functions->Failure().empty() ? e.Description() : functions->Failure();
            return false;
        }
        return true;
    };
    if (!copySql.empty()) {
        // Checked and copied in the run's transaction, so the source cannot change in between.
        functions->ResetCounts();
        Ws->BeginTrans();
        SourceCheck check;
        try {
            check = CheckSource(targetDb->SqliteHandle(), checkSql, rangeSql, *functions);
            if (check.passed && check.lowest == 1 && check.highest == check.count) {
                targetDb->Execute("DELETE * FROM " + Bracketed(target.TableName));
                const long changed = targetDb->ExecuteSql(copySql);
                ReadCount = WorkCount = static_cast<long>(check.count);
                if (changed != WorkCount) engine::Throw(engine::err::kEngineFailure, "counts differ");
                LastRunCompiled = LastRunAsTheyAre = LastRunWholeRecords = true;
                return true;
            }
        } catch (const engine::Error& e) {
            // A record the target refuses (a unique index the source lacks): the record-by-
            // record run names it.
            if (!FailsAtARecord(e, *functions)) throw;
            if (Ws->TransactionLevel() > level) Ws->Rollback();
            ReadCount = WorkCount = 0;
            LastCompiledFailure = e.Description();
            return decline();
        }
        Ws->Rollback();
        // A value to convert: the copy as they are would meet it too.
        if (!check.passed) plainSql.clear();
    }
    if (!plainSql.empty()) {
        if (run(plainSql)) {
            LastRunCompiled = LastRunAsTheyAre = true;
            return true;
        }
        if (!functions->NeedsConversion()) return decline();
    }
    // A value needs its conversion: the same run with the functions.
    if (!run(sql)) return decline();
    LastRunCompiled = true;
    return true;
}

} // namespace tavorin
