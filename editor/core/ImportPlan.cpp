#include "core/ImportPlan.h"

#include "core/Criteria.h"
#include "core/FieldMap.h"
#include "core/TextRules.h"
#include "core/TypeVocabulary.h"
#include "core/UserPrompts.h"
#include "engine/error.h"
#include "engine/recordset.h"

namespace tavorin {

namespace {

const char* const kKeyQuestion =
    "キーフィールドの連結フィールドは必ず指定して下さい。\r"
    "もしこのまま実行すると、未指定のキー内容は、ゼロ又は空白になり、\r"
    "重複した値となる可能性があります。処理を続行しますか。";
const char* const kKeyRequired = "キーフィールドの連結フィールドは必ず指定して下さい。";
const char* const kCancelled = "作業を取り消します。";

engine::CopyMode CopyModeOf(ImportMode mode) {
    switch (mode) {
    case ImportMode::AddOrUpdate:
        return engine::CopyMode::AddOrUpdate;
    case ImportMode::AddNew:
        return engine::CopyMode::AddOnly;
    case ImportMode::UpdateExisting:
        return engine::CopyMode::UpdateOnly;
    case ImportMode::ReplaceAll:
        break;
    }
    return engine::CopyMode::ReplaceAll;
}

bool RefuseTarget(const ImportRequest& request, UserPrompts& prompts) {
    if (request.targetReadOnly) {
        prompts.Say(request.targetRefusal.empty() ? engine::DescriptionOf(engine::err::kReadOnly)
                                                  : request.targetRefusal);
        return true;
    }
    if (request.mode != ImportMode::ReplaceAll && request.key.fields.empty()) {
        prompts.Say("移入先テーブルに主キーがありません。主キーで検索する移入はできません。");
        return true;
    }
    return false;
}

// Each key field without a link: a keyed mode cannot find the target's records by it; replace
// all may go on, leaving the key zero or blank.
bool CheckKeyLinks(ImportMode mode, const std::vector<long>& keys,
                   const std::vector<ImportField>& fields, UserPrompts& prompts) {
    for (long position : keys) {
        if (position < 1 || !TrimBlanks(fields[static_cast<size_t>(position - 1)].source).empty())
            continue;
        if (mode != ImportMode::ReplaceAll) {
            prompts.Say(kKeyRequired);
            return false;
        }
        if (prompts.Ask(kKeyQuestion, UserPrompts::Buttons::OkCancel) != UserPrompts::Answer::Ok)
            return false;
    }
    return true;
}

} // namespace

std::optional<std::vector<ImportField>> ReadImportFields(engine::Recordset& rows,
                                                         UserPrompts& prompts) {
    std::vector<ImportField> fields;
    if (rows.Bof() && rows.Eof()) return fields;
    for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
        if (fields.size() >= static_cast<size_t>(FieldMapTable::kEntries)) {
            prompts.Say("容量をこえました。作業できません。");
            return std::nullopt;
        }
        auto text = [&](const char* column) { return engine::TextOf(rows.Value(column)); };
        fields.push_back({text("FLD02"), text("FLD03"), text("FLD04"), text("FLD05"), text("FLD06"),
                          text("FLD07")});
    }
    return fields;
}

std::vector<long> KeyPositions(const ImportKey& key, const std::vector<ImportField>& fields) {
    std::vector<long> positions;
    for (const std::string& name : key.fields) {
        long found = 0;
        for (size_t j = 0; j < fields.size() && found == 0; ++j)
            if (SameText(fields[j].target, name)) found = static_cast<long>(j + 1);
        positions.push_back(found);
    }
    return positions;
}

std::string SourceStatement(const std::string& table, const std::string& condition) {
    std::string sql = "SELECT *  FROM " + Bracketed(table);
    if (!TrimBlanks(condition).empty()) sql += " WHERE " + condition;
    return sql;
}

engine::CopyPlan ImportPlan(const ImportRequest& request, const std::vector<ImportField>& fields) {
    engine::CopyPlan plan;
    plan.mode = CopyModeOf(request.mode);
    plan.sourceTable = request.sourceTable;
    plan.targetTable = request.targetTable;
    plan.sourceStatement = SourceStatement(request.sourceTable, request.condition);
    plan.keyIndex = request.key.index;
    if (request.mode != ImportMode::ReplaceAll) plan.keyFields = KeyPositions(request.key, fields);
    for (const ImportField& f : fields) {
        if (f.target.empty()) break;
        engine::CopyField field;
        field.target = f.target;
        field.autoNumber = SameText(f.targetType, kAutoNumberType);
        field.textual = SameText(f.targetType, "dbText") || SameText(f.targetType, "dbMemo");
        if (!TrimBlanks(f.source).empty()) {
            field.source = f.source;
            field.conversion = ConversionOf(f.targetType, f.targetSize, f.sourceType, f.sourceSize);
        }
        plan.fields.push_back(std::move(field));
    }
    return plan;
}

std::optional<engine::CopyPlan> PlanImport(const ImportRequest& request,
                                           engine::Recordset& targetRows, UserPrompts& prompts) {
    if (RefuseTarget(request, prompts)) return std::nullopt;
    const std::optional<std::vector<ImportField>> fields = ReadImportFields(targetRows, prompts);
    if (!fields) {
        prompts.Say(kCancelled);
        return std::nullopt;
    }
    if (!CheckKeyLinks(request.mode, KeyPositions(request.key, *fields), *fields, prompts))
        return std::nullopt;
    return ImportPlan(request, *fields);
}

} // namespace tavorin
