#include "ConversionCheck.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "engine/error.h"
#include "engine/index.h"
#include "engine/sql_values.h"
#include "engine/types.h"
#include "modules/CarryFunctions.h"
#include "modules/FuncUtility.h"
#include "modules/TavorinSub.h"

namespace tavorin {
namespace {

using engine::Variant;
using Stage = CarryFunctions::Stage;

// The size cell of FieldMap as plain digits; -1 when it is anything else.
long PlainSize(const std::string& cell) {
    const std::string text = TrimBlanks(cell);
    if (text.empty()) return -1;
    long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The message the save shows when it stops at a value: the conversion's own message, or the
// engine's error of storing the value or of updating the record.
std::string SaveMessage(const std::string& newName, Stage stage, long number, const std::string& description) {
    if (stage == Stage::Conversion)
        return "Error; " + engine::Str(Variant::Long(static_cast<int32_t>(number))) + " in " + newName + "\r" +
               description;
    return std::to_string(number) + " : " + description;
}

engine::Error ErrorOf(long number, const std::string& detail) {
    try {
        engine::Throw(number, detail);
    } catch (const engine::Error& e) {
        return e;
    }
}

bool IsBlank(sqlite3_value* v) {
    const int type = sqlite3_value_type(v);
    return type == SQLITE_NULL || ((type == SQLITE_TEXT || type == SQLITE_BLOB) && sqlite3_value_bytes(v) == 0);
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
        const Variant value = engine::SqlArgumentValue(v, daoType);
        return value.IsNull() ? std::string("(Null)") : engine::TextOf(value);
    } catch (const engine::Error& e) {
        return "(" + e.Description() + ")";
    }
}

// One FieldMap entry whose values the check follows.
struct Checked {
    size_t field = 0; // in the report
    std::string newName;
    int key = -1;     // of tavorin_carry_try; -1 for a refusal every record meets
    int sourceType = 0;
    int targetType = 0;
    std::optional<ValueConversion> conversion;
    long cutLimit = -1; // the new size when the conversion may cut and it reads as digits
    int oldColumn = -1, newColumn = -1;
    // The refusal of every record when the entry cannot be carried at all.
    Stage stage = Stage::Conversion;
    long number = 0;
    std::string description;
};

// A refused value of a record and the message the save shows for it.
struct Stop {
    const Checked* entry;
    Stage stage;
    long number;
    std::string description;
    std::string Message() const { return SaveMessage(entry->newName, stage, number, description); }
};

struct StatementDeleter {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

void AddExample(std::vector<CheckExample>& examples, const std::function<CheckExample()>& make) {
    if (examples.size() < FieldCheck::kExamples) examples.push_back(make());
}

// Tab-separated text keeps each value on its cell: tabs and line breaks become blanks.
std::string Cell(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

} // namespace

std::vector<TargetField> TargetFieldsOf(engine::TableDef& definition) {
    std::vector<TargetField> fields;
    for (const auto& f : definition.Fields())
        fields.push_back({{f->Name(), f->Type(), f->Size(), f->Attributes(), f->AllowZeroLength(), f->Required()},
                          false});
    for (const auto& index : definition.Indexes()) {
        if (!index->Primary() && !index->Required()) continue;
        for (const auto& member : index->Fields())
            for (TargetField& f : fields)
                if (SameText(f.info.name, member->Name())) f.nullRefused = true;
    }
    return fields;
}

long ConversionReport::TotalCut() const {
    long n = 0;
    for (const FieldCheck& f : fields) n += f.cut;
    return n;
}

long ConversionReport::TotalFailed() const {
    long n = 0;
    for (const FieldCheck& f : fields) n += f.failed;
    return n;
}

long ConversionReport::TotalBlanked() const {
    long n = 0;
    for (const FieldCheck& f : fields) n += f.blanked;
    return n;
}

std::string ConversionReport::TabSeparated() const {
    std::string out = "フィールド\t切り捨て\t変換エラー\tNull・空\tレコード\t変換前\t変換後\r\n";
    auto examples = [&](const char* kind, const std::vector<CheckExample>& list) {
        for (const CheckExample& e : list)
            out += std::string(kind) + "\t\t\t\t" + Cell(e.record) + "\t" + Cell(e.oldValue) + "\t" + Cell(e.newValue) +
                   "\r\n";
    };
    for (const FieldCheck& f : fields) {
        out += Cell(f.name) + "\t" + std::to_string(f.cut) + "\t" + std::to_string(f.failed) + "\t" +
               std::to_string(f.blanked) + "\r\n";
        examples("切り捨て", f.cutExamples);
        examples("変換エラー", f.failedExamples);
        examples("Null・空", f.blankedExamples);
    }
    out += "合計\t" + std::to_string(TotalCut()) + "\t" + std::to_string(TotalFailed()) + "\t" +
           std::to_string(TotalBlanked()) + "\t" + std::to_string(records) + " 件\r\n";
    return out;
}

ConversionReport CheckConversion(engine::Database& db, const std::string& oldTable,
                                 const std::vector<TargetField>& targets, int count,
                                 const std::function<bool(long)>& progress) {
    ConversionReport report;
    // The functions can be removed again only while no statement of the connection is under
    // way; a recordset still reading (the layout grid's) must be closed first.
    for (sqlite3_stmt* st = sqlite3_next_stmt(db.SqliteHandle(), nullptr); st; st = sqlite3_next_stmt(db.SqliteHandle(), st))
        if (sqlite3_stmt_busy(st)) engine::Throw(engine::err::kEngineFailure, "a statement of the connection is still reading");
    // The old fields as the save finds them, by the same lookup.
    auto old = db.OpenRecordset("SELECT * FROM " + Bracketed(oldTable), engine::RecordsetType::Snapshot);
    auto findOld = [&](const std::string& name) -> long {
        try {
            return static_cast<long>(old->FieldIndex(name));
        } catch (const engine::Error&) {
            return -1;
        }
    };
    // The save reads the old records in the order of their rowid.
    std::string rowid;
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (findOld(name) >= 0) continue;
        rowid = name;
        break;
    }
    // Examples name their record by the old primary key.
    std::vector<engine::FieldInfo> keyFields;
    const engine::TableDefPtr oldDef = db.TableDefs().Item(oldTable);
    for (const auto& index : oldDef->Indexes()) {
        if (!index->Primary()) continue;
        for (const auto& member : index->Fields())
            if (const long at = findOld(member->Name()); at >= 0) keyFields.push_back(old->FieldAt(static_cast<size_t>(at)));
    }

    CarryFunctions functions(db.SqliteHandle());
    std::vector<Checked> checked;
    std::string columns;
    int column = 0;
    auto select = [&](const std::string& expression) {
        columns += (columns.empty() ? "" : ", ") + expression;
        return column++;
    };
    for (const engine::FieldInfo& key : keyFields) select(SqlQuoted(key.name));
    for (int j = 1; j <= count; ++j) {
        FieldCheck field;
        field.name = FieldMap(j, 2);
        report.fields.push_back(field);
        const std::string oldName = TrimBlanks(FieldMap(j, 5));
        if (SameText(FieldMap(j, 3), kAutoNumberType)) continue; // numbered, never converted
        const TargetField* target = nullptr;
        for (const TargetField& t : targets)
            if (SameText(t.info.name, field.name)) target = &t;
        if (!target) continue;
        Checked c;
        c.field = report.fields.size() - 1;
        c.newName = field.name;
        c.targetType = target->info.type;
        if (oldName.empty()) {
            // A new field takes the empty text, Null or 0; only a Null its field refuses fails.
            const bool textual = SameText(FieldMap(j, 3), "dbText") || SameText(FieldMap(j, 3), "dbMemo");
            const bool null = textual && !target->info.allowZeroLength;
            if (!null || (!target->nullRefused && !target->info.required)) continue;
            const engine::Error e = ErrorOf(target->nullRefused ? engine::err::kNullInIndex : engine::err::kRequiredNull,
                                            target->info.name);
            c.stage = Stage::Update;
            c.number = e.Number();
            c.description = e.Description();
            checked.push_back(std::move(c));
            continue;
        }
        const long source = findOld(oldName);
        if (source < 0) {
            try {
                old->FieldIndex(FieldMap(j, 5));
            } catch (const engine::Error& e) {
                c.number = e.Number();
                c.description = e.Description();
            }
            checked.push_back(std::move(c));
            continue;
        }
        const engine::FieldInfo& from = old->FieldAt(static_cast<size_t>(source));
        c.sourceType = from.type;
        c.conversion = ValueConversion::ForEntry(static_cast<int16_t>(j));
        if (c.conversion->MayCut()) c.cutLimit = PlainSize(FieldMap(j, 4));
        c.key = functions.AddConverted(field.name, from.type, *c.conversion, target->info, target->nullRefused);
        c.oldColumn = select(SqlQuoted(from.name));
        c.newColumn = select("tavorin_carry_try(" + std::to_string(c.key) + ", " + SqlQuoted(from.name) + ")");
        checked.push_back(std::move(c));
    }
    old->Close();
    if (columns.empty()) select("1");

    const std::string schema = SqlQuoted(db.SchemaName()) + ".";
    const std::string sql = "SELECT " + columns + " FROM " + schema + SqlQuoted(oldTable) +
                            (rowid.empty() ? std::string() : " ORDER BY " + rowid);
    sqlite3* handle = db.SqliteHandle();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(handle));
    std::unique_ptr<sqlite3_stmt, StatementDeleter> statement(raw);

    long position = 0;
    auto recordLabel = [&] {
        if (keyFields.empty()) return std::to_string(position) + " 件目";
        std::string label;
        for (size_t i = 0; i < keyFields.size(); ++i) {
            const engine::FieldInfo& key = keyFields[i];
            label += (i ? ", " : "") + key.name + "=" +
                     ShownValue(sqlite3_column_value(raw, static_cast<int>(i)), key.type);
        }
        return label;
    };
    for (;;) {
        functions.ClearRefusals();
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(handle));
        ++position;
        // Where the save stops in this record: the first value refused while the fields are
        // filled in their order, else a Null refused when the record is updated.
        std::optional<Stop> atFill, atUpdate;
        for (const Checked& c : checked) {
            FieldCheck& field = report.fields[c.field];
            Stop refusal{&c, c.stage, c.number, c.description};
            bool refused = c.key < 0;
            if (!refused) {
                for (const CarryFunctions::Refusal& r : functions.Refusals()) {
                    if (r.key != c.key) continue;
                    refused = true;
                    refusal = {&c, r.stage, r.number, r.description};
                    break;
                }
            }
            sqlite3_value* oldValue = c.oldColumn >= 0 ? sqlite3_column_value(raw, c.oldColumn) : nullptr;
            if (refused) {
                ++field.failed;
                AddExample(field.failedExamples, [&] {
                    return CheckExample{recordLabel(), oldValue ? ShownValue(oldValue, c.sourceType) : std::string(),
                                        refusal.Message()};
                });
                std::optional<Stop>& stop = refusal.stage == Stage::Update ? atUpdate : atFill;
                if (!stop) stop = std::move(refusal);
                continue;
            }
            sqlite3_value* newValue = sqlite3_column_value(raw, c.newColumn);
            auto example = [&] {
                return CheckExample{recordLabel(), ShownValue(oldValue, c.sourceType),
                                    ShownValue(newValue, c.targetType)};
            };
            if (IsBlank(newValue)) {
                if (!IsBlank(oldValue)) {
                    ++field.blanked;
                    AddExample(field.blankedExamples, example);
                }
                continue;
            }
            if (!c.conversion->MayCut() || NotCut(oldValue, newValue, c.cutLimit)) continue;
            if (c.conversion->Cuts(engine::SqlArgumentValue(oldValue, c.sourceType))) {
                ++field.cut;
                AddExample(field.cutExamples, example);
            }
        }
        if (!report.stopPosition && (atFill || atUpdate)) {
            report.stopPosition = position;
            report.stopRecord = recordLabel();
            report.stopMessage = (atFill ? *atFill : *atUpdate).Message();
        }
        if (progress && position % 1024 == 0 && !progress(position)) {
            report.cancelled = true;
            break;
        }
    }
    report.records = position;
    return report;
}

} // namespace tavorin
