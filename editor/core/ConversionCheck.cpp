#include "core/ConversionCheck.h"

#include <utility>

#include "core/FieldMap.h"
#include "core/TextRules.h"
#include "core/TypeVocabulary.h"
#include "engine/copy_plan.h"
#include "engine/index.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace tavorin {
namespace {

using engine::CheckStage;
using engine::Variant;

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
std::string SaveMessage(const std::string& newName, const engine::CheckRefusal& refusal) {
    if (refusal.stage == CheckStage::Conversion)
        return "Error; " + engine::Str(Variant::Long(static_cast<int32_t>(refusal.number))) +
               " in " + newName + "\r" + refusal.description;
    return std::to_string(refusal.number) + " : " + refusal.description;
}

// The record as the report names it: by the old primary key, else by its position.
std::string RecordLabel(long position, const std::string& key) {
    return key.empty() ? std::to_string(position) + " 件目" : key;
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
        fields.push_back({{f->Name(), f->Type(), f->Size(), f->Attributes(), f->AllowZeroLength(),
                           f->Required()},
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
            out += std::string(kind) + "\t\t\t\t" + Cell(e.record) + "\t" + Cell(e.oldValue) +
                   "\t" + Cell(e.newValue) + "\r\n";
    };
    for (const FieldCheck& f : fields) {
        out += Cell(f.name) + "\t" + std::to_string(f.cut) + "\t" + std::to_string(f.failed) +
               "\t" + std::to_string(f.blanked) + "\r\n";
        examples("切り捨て", f.cutExamples);
        examples("変換エラー", f.failedExamples);
        examples("Null・空", f.blankedExamples);
    }
    out += "合計\t" + std::to_string(TotalCut()) + "\t" + std::to_string(TotalFailed()) + "\t" +
           std::to_string(TotalBlanked()) + "\t" + std::to_string(records) + " 件\r\n";
    return out;
}

ConversionReport CheckConversion(engine::Database& db, const FieldMapTable& map,
                                 const std::string& oldTable,
                                 const std::vector<TargetField>& targets, int count,
                                 const std::function<bool(long)>& progress) {
    std::vector<engine::CheckField> fields;
    for (int j = 1; j <= count; ++j) {
        engine::CheckField field;
        field.name = map(j, 2);
        field.sourceCell = map(j, 5);
        field.autoNumber = SameText(map(j, 3), kAutoNumberType);
        field.textual = SameText(map(j, 3), "dbText") || SameText(map(j, 3), "dbMemo");
        if (!field.autoNumber) {
            for (const TargetField& t : targets)
                if (SameText(t.info.name, field.name)) field.target = t;
        }
        if (!field.autoNumber && field.target && !TrimBlanks(field.sourceCell).empty()) {
            field.conversion = ConversionForEntry(map, static_cast<int16_t>(j));
            if (field.conversion->MayCut()) field.cutLimit = PlainSize(map(j, 4));
        }
        fields.push_back(std::move(field));
    }
    const engine::CheckReport checked = engine::CheckCopy(db, oldTable, fields, progress);

    ConversionReport report;
    auto examples = [](const std::string& newName, const std::vector<engine::CheckExample>& from) {
        std::vector<CheckExample> out;
        for (const engine::CheckExample& e : from)
            out.push_back({RecordLabel(e.position, e.key), e.oldValue,
                           e.refusal ? SaveMessage(newName, *e.refusal) : e.newValue});
        return out;
    };
    for (size_t i = 0; i < fields.size(); ++i) {
        const engine::CheckedField& c = checked.fields[i];
        FieldCheck field;
        field.name = fields[i].name;
        field.cut = c.cut;
        field.failed = c.failed;
        field.blanked = c.blanked;
        field.cutExamples = examples(field.name, c.cutExamples);
        field.failedExamples = examples(field.name, c.failedExamples);
        field.blankedExamples = examples(field.name, c.blankedExamples);
        report.fields.push_back(std::move(field));
    }
    report.records = checked.records;
    report.cancelled = checked.cancelled;
    if (checked.stopPosition) {
        report.stopPosition = checked.stopPosition;
        report.stopRecord = RecordLabel(checked.stopPosition, checked.stopKey);
        report.stopMessage = SaveMessage(fields[checked.stopField].name, checked.stopRefusal);
    }
    return report;
}

std::optional<ConversionCheckPlan>
PlanConversionCheck(engine::Workspace& ws, const std::string& path, const std::string& oldTable,
                    LayoutDocument& document, engine::Database& work, const IndexSettings& settings,
                    UserPrompts& prompts) {
    ConversionCheckPlan plan;
    if (!BuildFieldMap(plan.map, work, prompts, plan.count)) return std::nullopt;
    plan.file = ws.OpenDatabase(path);
    plan.oldTable = oldTable;
    plan.targets =
        TargetFieldsOf(*document.DefineBuildTable(*plan.file, document.CurrentTable, settings));
    return plan;
}

ConversionReport ConversionCheckPlan::Run(const std::function<bool(long)>& progress) const {
    return CheckConversion(*file, map, oldTable, targets, count, progress);
}

} // namespace tavorin
