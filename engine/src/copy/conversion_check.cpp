// The check-only run of a copy (engine/copy_plan.h): one SELECT over the old table, in the
// order the copy reads it, whose columns are the old values and their conversions by
// tavorin_carry_try, which notes a refused value instead of failing.
#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "copy/carry_functions.h"
#include "engine/copy_plan.h"
#include "engine/database.h"
#include "engine/error.h"
#include "engine/index.h"
#include "engine/names.h"
#include "engine/tabledef.h"
#include "engine/types.h"
#include "engine/variant.h"
#include "model/object_access.h"
#include "storage/sqlite_handle.h"
#include "values/sql_values.h"

namespace engine {
namespace {

using Stage = copy::CarryFunctions::Stage;

CheckStage StageOf(Stage stage) {
    switch (stage) {
    case Stage::Conversion:
        return CheckStage::Conversion;
    case Stage::Storing:
        return CheckStage::Storing;
    case Stage::Update:
        break;
    }
    return CheckStage::Update;
}

Error ErrorOf(long number, const std::string& detail) {
    try {
        Throw(number, detail);
    } catch (const Error& e) {
        return e;
    }
}

bool IsBlank(sqlite3_value* v) {
    const int type = sqlite3_value_type(v);
    return type == SQLITE_NULL ||
           ((type == SQLITE_TEXT || type == SQLITE_BLOB) && sqlite3_value_bytes(v) == 0);
}

// True when a value is plainly not cut, told from the bytes alone (the cut itself counts code
// page 932 bytes, which UTF-8 never undercuts): an old text within the size, a new text shorter
// than any cut leaves (a cut stops at most one byte short of the size), or a text kept whole.
bool NotCut(sqlite3_value* oldValue, sqlite3_value* newValue, long limit) {
    const bool oldText = sqlite3_value_type(oldValue) == SQLITE_TEXT;
    if (limit >= 0 && oldText && sqlite3_value_bytes(oldValue) <= limit) return true;
    if (sqlite3_value_type(newValue) != SQLITE_TEXT) return false;
    const int bytes = sqlite3_value_bytes(newValue);
    if (limit >= 0 && bytes < limit - 1) return true;
    if (!oldText || sqlite3_value_bytes(oldValue) != bytes) return false;
    const void* a = sqlite3_value_text(oldValue);
    const void* b = sqlite3_value_text(newValue);
    return a && b && std::memcmp(a, b, static_cast<size_t>(bytes)) == 0;
}

std::string ShownValue(sqlite3_value* v, int daoType) {
    try {
        const Variant value = SqlArgumentValue(v, daoType);
        return value.IsNull() ? std::string("(Null)") : TextOf(value);
    } catch (const Error& e) {
        return "(" + e.Description() + ")";
    }
}

struct StatementDeleter {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

// One field the check converts.
struct Checked {
    size_t field = 0; // index into the report's fields
    int key = -1;     // the entry of the functions; -1: every record is refused (below)
    int sourceType = 0;
    int targetType = 0;
    const ValueConversion* conversion = nullptr;
    long cutLimit = -1;
    int oldColumn = -1, newColumn = -1;
    // The refusal of every record when the field cannot be carried at all.
    CheckRefusal refusal;
};

// A refused value of a record.
struct Stop {
    size_t field;
    CheckRefusal refusal;
};

void AddExample(std::vector<CheckExample>& examples, const std::function<CheckExample()>& make) {
    if (examples.size() < CheckedField::kExamples) examples.push_back(make());
}

} // namespace

CheckReport CheckCopy(Database& db, const std::string& sourceTable,
                      const std::vector<CheckField>& fields,
                      const std::function<bool(long)>& progress) {
    using detail::QuoteIdent;
    CheckReport report;
    sqlite3* handle = detail::ObjectAccess::SqliteHandle(db);
    // The functions can be removed again only while no statement of the connection is under
    // way; a recordset still reading (the layout grid's) must be closed first.
    for (sqlite3_stmt* st = sqlite3_next_stmt(handle, nullptr); st;
         st = sqlite3_next_stmt(handle, st))
        if (sqlite3_stmt_busy(st))
            Throw(err::kEngineFailure, "a statement of the connection is still reading");
    // The old fields as the copy finds them, by the same lookup.
    auto old =
        db.OpenRecordset("SELECT * FROM " + BracketedName(sourceTable), RecordsetType::Snapshot);
    auto findOld = [&](const std::string& name) -> long {
        try {
            return static_cast<long>(old->FieldIndex(name));
        } catch (const Error&) {
            return -1;
        }
    };
    // The copy reads the old records in the order of their rowid.
    std::string rowid;
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (findOld(name) >= 0) continue;
        rowid = name;
        break;
    }
    // Examples name their record by the old primary key.
    std::vector<FieldInfo> keyFields;
    const TableDefPtr oldDef = db.TableDefs().Item(sourceTable);
    for (const auto& index : oldDef->Indexes()) {
        if (!index->Primary()) continue;
        for (const auto& member : index->Fields())
            if (const long at = findOld(member->Name()); at >= 0)
                keyFields.push_back(old->FieldAt(static_cast<size_t>(at)));
    }

    copy::CarryFunctions functions(handle);
    std::vector<Checked> checked;
    std::string columns;
    int column = 0;
    auto select = [&](const std::string& expression) {
        columns += (columns.empty() ? "" : ", ") + expression;
        return column++;
    };
    for (const FieldInfo& key : keyFields) select(QuoteIdent(key.name));
    for (const CheckField& f : fields) {
        report.fields.emplace_back();
        const std::string oldName = Trim(f.sourceCell);
        if (f.autoNumber || !f.target) continue; // numbered, never converted; or not in the table
        const CheckTarget& target = *f.target;
        Checked c;
        c.field = report.fields.size() - 1;
        c.targetType = target.info.type;
        if (oldName.empty()) {
            // A new field takes the empty text, Null or 0; only a Null its field refuses fails.
            const bool null = f.textual && !target.info.allowZeroLength;
            if (!null || (!target.nullRefused && !target.info.required)) continue;
            const Error e = ErrorOf(target.nullRefused ? err::kNullInIndex : err::kRequiredNull,
                                    target.info.name);
            c.refusal = {CheckStage::Update, e.Number(), e.Description()};
            checked.push_back(std::move(c));
            continue;
        }
        const long source = findOld(oldName);
        if (source < 0) {
            try {
                old->FieldIndex(f.sourceCell);
            } catch (const Error& e) {
                c.refusal.number = e.Number();
                c.refusal.description = e.Description();
            }
            checked.push_back(std::move(c));
            continue;
        }
        if (!f.conversion) Throw(err::kEngineFailure, "a checked field without its conversion");
        const FieldInfo& from = old->FieldAt(static_cast<size_t>(source));
        c.sourceType = from.type;
        c.conversion = &*f.conversion;
        c.cutLimit = f.cutLimit;
        c.key = functions.AddConverted(f.name, from.type, *f.conversion, target.info,
                                       target.nullRefused);
        c.oldColumn = select(QuoteIdent(from.name));
        c.newColumn = select("tavorin_carry_try(" + std::to_string(c.key) + ", " +
                             QuoteIdent(from.name) + ")");
        checked.push_back(std::move(c));
    }
    old->Close();
    if (columns.empty()) select("1");

    const std::string schema = QuoteIdent(db.SchemaName()) + ".";
    const std::string sql = "SELECT " + columns + " FROM " + schema + QuoteIdent(sourceTable) +
                            (rowid.empty() ? std::string() : " ORDER BY " + rowid);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        Throw(err::kEngineFailure, sqlite3_errmsg(handle));
    std::unique_ptr<sqlite3_stmt, StatementDeleter> statement(raw);

    long position = 0;
    auto recordKey = [&] {
        std::string label;
        for (size_t i = 0; i < keyFields.size(); ++i) {
            const FieldInfo& key = keyFields[i];
            label += (i ? ", " : "") + key.name + "=" +
                     ShownValue(sqlite3_column_value(raw, static_cast<int>(i)), key.type);
        }
        return label;
    };
    for (;;) {
        functions.ClearRefusals();
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) Throw(err::kEngineFailure, sqlite3_errmsg(handle));
        ++position;
        // Where the copy stops in this record: the first value refused while the fields are
        // filled in their order, else a Null refused when the record is written.
        std::optional<Stop> atFill, atUpdate;
        for (const Checked& c : checked) {
            CheckedField& field = report.fields[c.field];
            Stop refusal{c.field, c.refusal};
            bool refused = c.key < 0;
            if (!refused) {
                for (const copy::CarryFunctions::Refusal& r : functions.Refusals()) {
                    if (r.key != c.key) continue;
                    refused = true;
                    refusal = {c.field, {StageOf(r.stage), r.number, r.description}};
                    break;
                }
            }
            sqlite3_value* oldValue =
                c.oldColumn >= 0 ? sqlite3_column_value(raw, c.oldColumn) : nullptr;
            if (refused) {
                ++field.failed;
                AddExample(field.failedExamples, [&] {
                    return CheckExample{position, recordKey(),
                                        oldValue ? ShownValue(oldValue, c.sourceType)
                                                 : std::string(),
                                        std::string(), refusal.refusal};
                });
                std::optional<Stop>& stop =
                    refusal.refusal.stage == CheckStage::Update ? atUpdate : atFill;
                if (!stop) stop = std::move(refusal);
                continue;
            }
            sqlite3_value* newValue = sqlite3_column_value(raw, c.newColumn);
            auto example = [&] {
                return CheckExample{position, recordKey(), ShownValue(oldValue, c.sourceType),
                                    ShownValue(newValue, c.targetType), std::nullopt};
            };
            if (IsBlank(newValue)) {
                if (!IsBlank(oldValue)) {
                    ++field.blanked;
                    AddExample(field.blankedExamples, example);
                }
                continue;
            }
            if (!c.conversion->MayCut() || NotCut(oldValue, newValue, c.cutLimit)) continue;
            if (c.conversion->Cuts(SqlArgumentValue(oldValue, c.sourceType))) {
                ++field.cut;
                AddExample(field.cutExamples, example);
            }
        }
        if (!report.stopPosition && (atFill || atUpdate)) {
            const Stop& stop = atFill ? *atFill : *atUpdate;
            report.stopPosition = position;
            report.stopKey = recordKey();
            report.stopField = stop.field;
            report.stopRefusal = stop.refusal;
        }
        if (progress && position % 1024 == 0 && !progress(position)) {
            report.cancelled = true;
            break;
        }
    }
    report.records = position;
    return report;
}

} // namespace engine
