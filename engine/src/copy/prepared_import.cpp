// A copy plan of the import's modes as one statement on the workspace's connection, which
// reaches the source and the target file alike: the plan's fields become the column list of one
// INSERT INTO target (...) SELECT ... FROM source, whose SQL functions (copy/carry_functions.h)
// convert each linked value as the record-by-record import does and check it as Update would:
//   replace all   DELETE, then the INSERT ... SELECT;
//   add or update ... ON CONFLICT (primary key) DO UPDATE SET the linked fields;
//   add only      ... ON CONFLICT (primary key) DO UPDATE ... WHERE false (left alone, counted);
//   update only   add or update over the source records whose key the target holds.
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
// Layouts the statement does not cover are declined, and a run whose statement meets a value
// or a record that fails is rolled back: the caller's record-by-record run, starting afresh,
// stops at the first failing record with its own messages. Any other engine error (the disk, a
// lock) ends the run as it would end the record-by-record one.
#include <sqlite3.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "copy/carry_functions.h"
#include "engine/copy_plan.h"
#include "engine/database.h"
#include "engine/error.h"
#include "engine/index.h"
#include "engine/names.h"
#include "engine/recordset.h"
#include "engine/tabledef.h"
#include "engine/types.h"
#include "engine/variant.h"
#include "engine/workspace.h"
#include "model/object_access.h"
#include "storage/sqlite_handle.h"

namespace engine {
namespace {

using detail::QuoteIdent;

long FindField(const Recordset& rs, const std::string& name) {
    try {
        return static_cast<long>(rs.FieldIndex(name));
    } catch (const Error&) {
        return -1;
    }
}

// The name that reads a record's rowid in a table of these fields ("" when every one is taken).
std::string RowidName(const Recordset& rs) {
    for (const char* name : {"rowid", "_rowid_", "oid"})
        if (FindField(rs, name) < 0) return name;
    return {};
}

// The statement's failures that a record-by-record run meets at a record: a value that does not
// convert or that the field refuses (reported by the functions), a key taken twice, a constraint
// of the file. Other errors (the disk, a lock, memory) are the run's own.
bool FailsAtARecord(const Error& e, const copy::CarryFunctions& functions) {
    return !functions.Failure().empty() || e.Number() == err::kDuplicateKey ||
           e.Number() == err::kEngineFailure;
}

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

Statement Prepared(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        Throw(err::kEngineFailure, sqlite3_errmsg(db));
    return Statement(raw, sqlite3_finalize);
}

int64_t LastRowid(sqlite3* db, const std::string& table, const std::string& rowid) {
    const Statement st = Prepared(db, "SELECT ifnull(max(" + rowid + "), 0) FROM " + table);
    if (sqlite3_step(st.get()) != SQLITE_ROW) Throw(err::kEngineFailure, sqlite3_errmsg(db));
    return sqlite3_column_int64(st.get(), 0);
}

struct SourceCheck {
    bool passed = false;                        // every record would be copied unchanged
    int64_t count = 0, lowest = 0, highest = 0; // records and their rowids
};

// Runs the check of a whole-record copy on the workspace connection: a scan in which
// tavorin_carry_same sees every record (and counts it), then the lowest and highest rowid.
SourceCheck CheckSource(sqlite3* db, const std::string& scan, const std::string& range,
                        const copy::CarryFunctions& functions) {
    const Statement scanned = Prepared(db, scan);
    if (sqlite3_step(scanned.get()) != SQLITE_DONE) {
        if (functions.NeedsConversion()) return {};
        Throw(err::kEngineFailure, sqlite3_errmsg(db));
    }
    const Statement ends = Prepared(db, range);
    if (sqlite3_step(ends.get()) != SQLITE_ROW) Throw(err::kEngineFailure, sqlite3_errmsg(db));
    return {true, functions.RecordsRead(), sqlite3_column_int64(ends.get(), 0),
            sqlite3_column_int64(ends.get(), 1)};
}

// The count and highest rowid of the records after `after`, read on the workspace connection.
std::pair<int64_t, int64_t> RecordsAfter(sqlite3* db, const std::string& table,
                                         const std::string& rowid, int64_t after) {
    const Statement st = Prepared(db, "SELECT count(*), ifnull(max(" + rowid + "), 0) FROM " +
                                          table + " WHERE " + rowid + " > ?");
    sqlite3_bind_int64(st.get(), 1, after);
    if (sqlite3_step(st.get()) != SQLITE_ROW) Throw(err::kEngineFailure, sqlite3_errmsg(db));
    return {sqlite3_column_int64(st.get(), 0), sqlite3_column_int64(st.get(), 1)};
}

} // namespace

struct PreparedImport::State {
    Database* target = nullptr;
    CopyMode mode = CopyMode::ReplaceAll;
    std::string targetName; // the target table as the plan names it
    std::unique_ptr<copy::CarryFunctions> functions;
    std::string sql, plainSql, checkSql, rangeSql, copySql, targetTable, targetRowid;
    std::vector<Variant> params;
    int autoField = -1;
    std::string autoName;
};

PreparedImport::PreparedImport(std::unique_ptr<State> state) : state_(std::move(state)) {}
PreparedImport::~PreparedImport() = default;
PreparedImport::PreparedImport(PreparedImport&&) noexcept = default;
PreparedImport& PreparedImport::operator=(PreparedImport&&) noexcept = default;

std::optional<PreparedImport> PreparedImport::Prepare(Database& sourceDb, Database& targetDb,
                                                      const CopyPlan& plan) {
    const CopyMode mode = plan.mode;
    if (mode == CopyMode::Carry) return std::nullopt;
    const bool replaceAll = mode == CopyMode::ReplaceAll;
    const bool adds = mode != CopyMode::UpdateOnly;
    const int count = static_cast<int>(plan.fields.size());
    if (count < 1) return std::nullopt;
    auto state = std::make_unique<State>();
    State& s = *state;
    s.target = &targetDb;
    s.mode = mode;
    s.targetName = plan.targetTable;
    // Preparing the statement: whatever fails here, the record-by-record run meets in its own
    // words.
    try {
        // A genuine Jet file is read on a connection of its own.
        if (targetDb.ReadOnly() || detail::ObjectAccess::SqliteHandle(sourceDb) !=
                                       detail::ObjectAccess::SqliteHandle(targetDb))
            return std::nullopt;
        // The statement reads the source as "s"; a subquery of the condition reads its fields so.
        const Database::Selection selection = sourceDb.TranslateSelect(plan.sourceStatement, "s");
        if (selection.ordered) return std::nullopt;

        auto src = sourceDb.OpenRecordset("SELECT * FROM " + BracketedName(plan.sourceTable),
                                          RecordsetType::Snapshot);
        auto dst = targetDb.OpenRecordset("SELECT * FROM " + BracketedName(plan.targetTable),
                                          RecordsetType::Snapshot);
        const std::string sourceRowid = RowidName(*src);
        s.targetRowid = RowidName(*dst);
        if (sourceRowid.empty() || s.targetRowid.empty()) return std::nullopt;
        const size_t fieldCount = dst->FieldCount();
        std::vector<bool> refusesNull(fieldCount, false);
        std::vector<std::string> keyFields;
        {
            auto def = targetDb.TableDefs().Item(plan.targetTable);
            for (const auto& index : def->Indexes()) {
                const bool primary = NamesEqual(index->Name(), plan.keyIndex);
                if (primary && !replaceAll && !index->Primary() && !index->Unique())
                    return std::nullopt;
                for (const auto& member : index->Fields()) {
                    const long at = FindField(*dst, member->Name());
                    if (at >= 0 && (index->Primary() || index->Required()))
                        refusesNull[static_cast<size_t>(at)] = true;
                    if (primary) keyFields.push_back(member->Name());
                }
            }
        }
        if (!replaceAll && keyFields.size() != plan.keyFields.size()) return std::nullopt;

        s.functions =
            std::make_unique<copy::CarryFunctions>(detail::ObjectAccess::SqliteHandle(targetDb));
        copy::CarryFunctions& functions = *s.functions;
        s.targetTable = QuoteIdent(targetDb.SchemaName()) + "." + QuoteIdent(plan.targetTable);
        const std::string sourceTable =
            QuoteIdent(sourceDb.SchemaName()) + "." + QuoteIdent(plan.sourceTable);
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
            const CopyField& f = plan.fields[static_cast<size_t>(j - 1)];
            const long at = FindField(*dst, f.target);
            if (at < 0 || filled[static_cast<size_t>(at)]) return std::nullopt;
            filled[static_cast<size_t>(at)] = true;
            const FieldInfo& field = dst->FieldAt(static_cast<size_t>(at));
            const bool autoNumber = f.autoNumber;
            if (((field.attributes & dao::dbAutoIncrField) != 0) != autoNumber) return std::nullopt;
            const bool linked = !Trim(f.source).empty();
            const bool nullRefused = refusesNull[static_cast<size_t>(at)];
            std::string value = "NULL", plainValue;
            long from = -1;
            if (linked) {
                from = FindField(*src, f.source);
                if (from < 0) return std::nullopt;
            }
            wholeRecords = wholeRecords && linked && !autoNumber && from == at;
            if (autoNumber) {
                // Numbered after the statement; a key the engine numbers is not one Seek finds.
                if (s.autoField >= 0) return std::nullopt;
                s.autoField = static_cast<int>(at);
                s.autoName = field.name;
            } else if (linked) {
                if (!f.conversion) return std::nullopt;
                const FieldInfo& old = src->FieldAt(static_cast<size_t>(from));
                const int key =
                    functions.AddLinked(field.name, old.type, *f.conversion, field, nullRefused);
                value =
                    "tavorin_carry(" + std::to_string(key) + ", s." + QuoteIdent(old.name) + ")";
                plainValue = "s." + QuoteIdent(old.name);
                plain = plain && functions.CanPassAsItIs(key);
                sameArgs += (sameArgs.empty() ? "" : ", ") + plainValue;
                sameKeys.push_back(key);
                written[static_cast<size_t>(at)] = true;
                // A whole-number key that Seek found equal holds the very value the update would
                // write, when it is stored as a whole number (checked on each record updated):
                // it is left, which spares the index an update of each record. Other keys (a text
                // in another letter case) are written again.
                const bool whole = field.type == dao::dbBoolean || field.type == dao::dbByte ||
                                   field.type == dao::dbInteger || field.type == dao::dbLong ||
                                   field.type == dao::dbCurrency;
                bool isKey = false;
                for (const std::string& k : keyFields) isKey = isKey || NamesEqual(k, field.name);
                if (isKey && whole)
                    keptKeys += " AND tavorin_carry(" +
                                std::to_string(functions.AddStoredWhole(field)) + ", " +
                                QuoteIdent(field.name) + ") IS NOT NULL";
                else
                    sets += (sets.empty() ? "" : ", ") + QuoteIdent(field.name) + " = excluded." +
                            QuoteIdent(field.name);
            } else {
                const Variant constant =
                    f.textual ? (field.allowZeroLength ? Variant("") : Variant::Null())
                              : Variant::Integer(0);
                // Update refuses such a record: left to the run that reports it, when records are
                // added.
                if (adds && constant.IsNull() && (nullRefused || field.required))
                    return std::nullopt;
                value = "tavorin_carry(" + std::to_string(functions.AddConstant(constant, field)) +
                        ", NULL)";
            }
            for (size_t r = 0; r < keyFields.size() && !replaceAll; ++r) {
                if (plan.keyFields[r] != j) continue;
                if (!NamesEqual(keyFields[r], field.name) || autoNumber || !linked || !f.conversion)
                    return std::nullopt;
                // The key as Seek looks for it: a Null finds nothing and fails nothing.
                const FieldInfo& old = src->FieldAt(static_cast<size_t>(from));
                const int key =
                    functions.AddLinked(field.name, old.type, *f.conversion, field, false);
                keyMatch[r] = "t." + QuoteIdent(field.name) + " = tavorin_carry(" +
                              std::to_string(key) + ", s." + QuoteIdent(old.name) + ")";
                plainKeyMatch[r] = "t." + QuoteIdent(field.name) + " = s." + QuoteIdent(old.name);
            }
            columns += (columns.empty() ? "" : ", ") + QuoteIdent(field.name);
            values += (values.empty() ? "" : ", ") + value;
            plainValues +=
                (plainValues.empty() ? "" : ", ") + (plainValue.empty() ? value : plainValue);
        }
        for (bool f : filled)
            if (!f) return std::nullopt;
        std::string conflict, exists, plainExists;
        for (size_t r = 0; r < keyFields.size() && !replaceAll; ++r) {
            if (keyMatch[r].empty()) return std::nullopt;
            const long at = FindField(*dst, keyFields[r]);
            conflict += (conflict.empty() ? "" : ", ") +
                        QuoteIdent(dst->FieldAt(static_cast<size_t>(at)).name);
            exists += (exists.empty() ? "" : " AND ") + keyMatch[r];
            plainExists += (plainExists.empty() ? "" : " AND ") + plainKeyMatch[r];
        }
        // An update checks every field of the record, also those it leaves as they are.
        for (size_t i = 0; i < fieldCount && !replaceAll; ++i) {
            const FieldInfo& field = dst->FieldAt(i);
            const bool textual = field.type == dao::dbText || field.type == dao::dbMemo;
            if (written[i] ||
                !(refusesNull[i] || field.required || (textual && !field.allowZeroLength)))
                continue;
            sets += (sets.empty() ? "" : ", ") + QuoteIdent(field.name) + " = tavorin_carry(" +
                    std::to_string(functions.AddKept(field, refusesNull[i])) + ", " +
                    QuoteIdent(field.name) + ")";
        }
        // Every record found is written again, also with nothing to change.
        if (sets.empty() && !keyFields.empty())
            sets = QuoteIdent(keyFields[0]) + " = " + QuoteIdent(keyFields[0]);

        std::string upsert;
        if (mode == CopyMode::AddOrUpdate || mode == CopyMode::UpdateOnly)
            upsert = " ON CONFLICT (" + conflict + ") DO UPDATE SET " + sets +
                     (keptKeys.empty() ? "" : " WHERE 1" + keptKeys);
        else if (mode == CopyMode::AddOnly)
            upsert = " ON CONFLICT (" + conflict + ") DO UPDATE SET " + QuoteIdent(keyFields[0]) +
                     " = " + QuoteIdent(keyFields[0]) + " WHERE tavorin_carry_skip()";
        auto statement = [&](const std::string& selected, const std::string& recordCheck,
                             const std::string& match) {
            // The condition first: the records read are those it selects.
            std::string where = " WHERE ";
            if (!selection.condition.empty()) where += "(" + selection.condition + ") AND ";
            where += recordCheck;
            if (mode == CopyMode::UpdateOnly)
                where += " AND tavorin_carry_hit(EXISTS (SELECT 1 FROM " + s.targetTable +
                         " AS t WHERE " + match + "))";
            return "INSERT INTO " + s.targetTable + " (" + columns + ") SELECT " + selected +
                   " FROM " + sourceTable + " AS s" + where + " ORDER BY s." + sourceRowid + upsert;
        };
        s.sql = statement(values, "tavorin_carry_row()", exists);
        functions.SetSameKeys(sameKeys);
        if (plain)
            s.plainSql =
                statement(plainValues, "tavorin_carry_same(" + sameArgs + ")", plainExists);
        if (plain && wholeRecords) {
            // No row comes back: the function is true or fails the statement.
            s.checkSql = "SELECT 1 FROM " + sourceTable + " AS s WHERE NOT tavorin_carry_same(" +
                         sameArgs + ")";
            s.rangeSql = "SELECT ifnull((SELECT min(" + sourceRowid + ") FROM " + sourceTable +
                         "), 1), ifnull((SELECT max(" + sourceRowid + ") FROM " + sourceTable +
                         "), 0)";
            s.copySql = "INSERT INTO " + s.targetTable + " SELECT * FROM " + sourceTable;
        }
        s.params = selection.params;
        src->Close();
        dst->Close();
    } catch (const Error&) {
        return std::nullopt;
    }
    return PreparedImport(std::move(state));
}

PreparedImport::Result PreparedImport::Run(Workspace& ws,
                                           std::optional<TransactionGuard>& transaction,
                                           const std::function<void(const CopyCounts&)>& progress) {
    State& s = *state_;
    copy::CarryFunctions& functions = *s.functions;
    Database& targetDb = *s.target;
    const bool replaceAll = s.mode == CopyMode::ReplaceAll;
    const bool adds = s.mode != CopyMode::UpdateOnly;
    Result result;
    auto liveCounts = [&] {
        result.counts.read = functions.RecordsRead();
        result.counts.written = s.mode == CopyMode::AddOnly
                                    ? result.counts.read - functions.Skipped()
                                : s.mode == CopyMode::UpdateOnly ? functions.Hits()
                                                                 : result.counts.read;
    };
    functions.OnRecords([&](long) {
        if (!progress) return;
        liveCounts();
        progress(result.counts);
    });
    auto failed = [&]() -> Result& {
        result.counts = {};
        return result;
    };

    // Runs one statement in the run's transaction; false when it failed at a record or at a
    // value the copy as they are cannot take (rolled back, NeedsConversion() telling which).
    auto run = [&](const std::string& statement) {
        functions.ResetCounts();
        transaction.emplace(ws);
        try {
            if (replaceAll) targetDb.Execute("DELETE * FROM " + BracketedName(s.targetName));
            sqlite3* db = detail::ObjectAccess::SqliteHandle(targetDb);
            const int64_t lastBefore =
                s.autoField >= 0 ? LastRowid(db, s.targetTable, s.targetRowid) : 0;
            const long changed = targetDb.ExecuteSql(statement, s.params);
            liveCounts();
            // What the functions saw and what SQLite wrote must agree record for record.
            if (changed != result.counts.written) Throw(err::kEngineFailure, "counts differ");
            if (s.autoField >= 0 && adds) {
                // The records added have the rowids after the last one before, in the order they
                // came.
                const auto [added, lastAfter] =
                    RecordsAfter(db, s.targetTable, s.targetRowid, lastBefore);
                if (added > 0) {
                    const int64_t first = targetDb.NextAutoNumber(s.targetName);
                    if (lastAfter - lastBefore != added || first + added - 1 > INT32_MAX)
                        Throw(err::kEngineFailure, "auto numbers");
                    targetDb.ExecuteSql("UPDATE " + s.targetTable + " SET " +
                                        QuoteIdent(s.autoName) + " = " + s.targetRowid + " + " +
                                        std::to_string(first - lastBefore - 1) + " WHERE " +
                                        s.targetRowid + " > " + std::to_string(lastBefore));
                    targetDb.NoteAutoNumber(s.targetName, first + added - 1);
                }
            }
        } catch (const Error& e) {
            if (!functions.NeedsConversion() && !FailsAtARecord(e, functions)) throw;
            transaction->Rollback();
            transaction.reset();
            failed();
            if (!functions.NeedsConversion())
                result.failure =
                    functions.Failure().empty() ? e.Description() : functions.Failure();
            return false;
        }
        return true;
    };
    std::string plainSql = s.plainSql;
    if (!s.copySql.empty()) {
        // Checked and copied in the run's transaction, so the source cannot change in between.
        functions.ResetCounts();
        transaction.emplace(ws);
        SourceCheck check;
        try {
            check = CheckSource(detail::ObjectAccess::SqliteHandle(targetDb), s.checkSql,
                                s.rangeSql, functions);
            if (check.passed && check.lowest == 1 && check.highest == check.count) {
                targetDb.Execute("DELETE * FROM " + BracketedName(s.targetName));
                const long changed = targetDb.ExecuteSql(s.copySql);
                result.counts.read = result.counts.written = static_cast<long>(check.count);
                if (changed != result.counts.written) Throw(err::kEngineFailure, "counts differ");
                result.done = result.asTheyAre = result.wholeRecords = true;
                return result;
            }
        } catch (const Error& e) {
            // A record the target refuses (a unique index the source lacks): the record-by-
            // record run names it.
            if (!FailsAtARecord(e, functions)) throw;
            transaction->Rollback();
            transaction.reset();
            failed().failure = e.Description();
            return result;
        }
        transaction->Rollback();
        transaction.reset();
        // A value to convert: the copy as they are would meet it too.
        if (!check.passed) plainSql.clear();
    }
    if (!plainSql.empty()) {
        if (run(plainSql)) {
            result.done = result.asTheyAre = true;
            return result;
        }
        if (!functions.NeedsConversion()) return result;
    }
    // A value needs its conversion: the same run with the functions.
    if (!run(s.sql)) return result;
    result.done = true;
    return result;
}

} // namespace engine
