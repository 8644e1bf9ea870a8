// A copy plan run as one INSERT INTO target (...) SELECT ... FROM source statement, whose SQL
// functions (copy/carry_functions.h) convert every value as the record-by-record copy does.
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
#include "model/object_access.h"
#include "storage/sqlite_handle.h"

namespace engine {
namespace {

long FindIn(Recordset& rs, const std::string& name) {
    try {
        return static_cast<long>(rs.FieldIndex(name));
    } catch (const Error&) {
        return -1;
    }
}

} // namespace

struct PreparedCopy::State {
    Database* db = nullptr;
    std::string targetTable;
    std::string sql;
    bool numbered = false;
    copy::CarryFunctions functions;
    explicit State(Database& database)
        : db(&database), functions(detail::ObjectAccess::SqliteHandle(database)) {}
};

PreparedCopy::PreparedCopy(std::unique_ptr<State> state) : state_(std::move(state)) {}
PreparedCopy::~PreparedCopy() = default;
PreparedCopy::PreparedCopy(PreparedCopy&&) noexcept = default;
PreparedCopy& PreparedCopy::operator=(PreparedCopy&&) noexcept = default;

std::optional<PreparedCopy> PreparedCopy::Prepare(Database& db, const CopyPlan& plan) {
    if (plan.fields.empty()) return std::nullopt;
    using detail::QuoteIdent;
    // The fields as the record-by-record copy finds them, by the same lookup.
    std::vector<FieldInfo> sourceFields, targetFields;
    auto fieldsOf = [&](const std::string& table, std::vector<FieldInfo>& fields) {
        auto rs =
            db.OpenRecordset("SELECT * FROM " + BracketedName(table), RecordsetType::Snapshot);
        for (size_t i = 0; i < rs->FieldCount(); ++i) fields.push_back(rs->FieldAt(i));
        return rs;
    };
    auto src = fieldsOf(plan.sourceTable, sourceFields);
    auto dst = fieldsOf(plan.targetTable, targetFields);
    // The old records are read in the order of their rowid, by a name no field has taken.
    std::string rowid;
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (FindIn(*src, name) >= 0) continue;
        rowid = name;
        break;
    }
    std::vector<bool> refusesNull(targetFields.size(), false);
    long autoFields = 0;
    {
        auto targetDef = db.TableDefs().Item(plan.targetTable);
        for (const auto& index : targetDef->Indexes()) {
            if (!index->Primary() && !index->Required()) continue;
            for (const auto& member : index->Fields()) {
                const long at = FindIn(*dst, member->Name());
                if (at >= 0) refusesNull[static_cast<size_t>(at)] = true;
            }
        }
        for (const auto& f : targetFields)
            if (f.attributes & dao::dbAutoIncrField) ++autoFields;
    }
    // A layout the statement does not cover is carried record by record.
    if (rowid.empty() || autoFields > 1) return std::nullopt;

    auto state = std::make_unique<State>(db);
    copy::CarryFunctions& functions = state->functions;
    const std::string schema = QuoteIdent(db.SchemaName()) + ".";
    std::string columns, values;
    std::vector<bool> filled(targetFields.size(), false);
    for (const CopyField& f : plan.fields) {
        const long target = FindIn(*dst, f.target);
        if (target < 0 || filled[static_cast<size_t>(target)]) return std::nullopt;
        filled[static_cast<size_t>(target)] = true;
        const FieldInfo& field = targetFields[static_cast<size_t>(target)];
        if (((field.attributes & dao::dbAutoIncrField) != 0) != f.autoNumber) return std::nullopt;
        const long source = f.source.empty() ? -1 : FindIn(*src, f.source);
        const std::string oldColumn =
            source < 0 ? std::string("NULL")
                       : QuoteIdent(sourceFields[static_cast<size_t>(source)].name);
        std::string value;
        if (!f.source.empty() && !f.autoNumber) {
            if (source < 0 || !f.conversion) return std::nullopt;
            const int key = functions.AddConverted(
                f.target, sourceFields[static_cast<size_t>(source)].type, *f.conversion, field,
                refusesNull[static_cast<size_t>(target)]);
            value = "tavorin_carry(" + std::to_string(key) + ", " + oldColumn + ")";
        } else if (f.autoNumber) {
            const bool keepOld = !f.source.empty() && f.keepNumbers;
            if (keepOld && source < 0) return std::nullopt;
            functions.SetAutoNumber(db.NextAutoNumber(plan.targetTable), keepOld,
                                    keepOld ? sourceFields[static_cast<size_t>(source)].type : 0,
                                    field);
            state->numbered = true;
            value = "tavorin_carry_auto(" + (keepOld ? oldColumn : std::string("NULL")) + ")";
        } else {
            const Variant constant = f.textual
                                         ? (field.allowZeroLength ? Variant("") : Variant::Null())
                                         : Variant::Long(0);
            if (constant.IsNull() && (refusesNull[static_cast<size_t>(target)] || field.required))
                return std::nullopt;
            value = "tavorin_carry(" + std::to_string(functions.AddConstant(constant, field)) +
                    ", NULL)";
        }
        columns += (columns.empty() ? "" : ", ") + QuoteIdent(field.name);
        values += (values.empty() ? "" : ", ") + value;
    }
    // Every field of the target takes a value of the plan.
    for (bool f : filled)
        if (!f) return std::nullopt;
    src->Close();
    dst->Close();

    state->targetTable = plan.targetTable;
    state->sql = "INSERT INTO " + schema + QuoteIdent(plan.targetTable) + " (" + columns +
                 ") SELECT " + values + " FROM " + schema + QuoteIdent(plan.sourceTable) +
                 " WHERE tavorin_carry_row() ORDER BY " + rowid;
    return PreparedCopy(std::move(state));
}

CopyResult PreparedCopy::Run(const CopyProgress& progress) {
    State& s = *state_;
    s.functions.ResetCounts();
    s.functions.OnRecords(progress);
    CopyResult result;
    try {
        s.db->ExecuteSql(s.sql);
        // The counter as Update leaves it after the last record.
        if (s.numbered && s.functions.RecordsRead() > 0)
            s.db->NoteAutoNumber(s.targetTable, s.functions.NextAutoNumber() - 1);
    } catch (const Error&) {
        result.failure = s.functions.Failure();
        return result;
    }
    result.copied = true;
    result.records = s.functions.RecordsRead();
    return result;
}

} // namespace engine
