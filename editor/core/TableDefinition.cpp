// Loading a stored table's definition into the work rows: one row per field or numbered group,
// the indexes in the key columns, and the as-loaded copies of each row.
#include "core/Criteria.h"
#include "core/FieldLines.h"
#include "core/LayoutDocument.h"
#include "core/TextRules.h"
#include "core/UserPrompts.h"
#include "engine/index.h"
#include "engine/tabledef.h"
#include "engine/transaction_guard.h"
#include "engine/types.h"
#include "engine/variant.h"
#include "engine/workspace.h"

namespace tavorin {
namespace {

// The key column of an index slot: FLD06 for the primary key, FLD07..FLD11 for sub keys 1..5.
std::string KeyColumn(int slot) {
    const int column = 6 + slot;
    return column < 10 ? "FLD0" + std::to_string(column) : "FLD" + std::to_string(column);
}

} // namespace

void LayoutDocument::ReadTableDefinitionOf(engine::TableDef& table, engine::Recordset& work,
                                           int32_t& rowCount, UserPrompts& prompts) {
    LoadedIndexName.fill(std::string());
    LoadedIndexDup.fill(-1);
    // One transaction for all the rows: a wide table loads in one write, and a load that
    // fails leaves no half layout.
    engine::TransactionGuard load(ws_);
    try {
        FoldFieldsIntoRows(table, work, rowCount);
        MapIndexesOntoKeys(table, work, prompts);
        if (rowCount > 0) CopyAsLoadedValues(work);
    } catch (...) {
        rowCount = 0;
        throw;
    }
    load.Commit();
}

void LayoutDocument::FoldFieldsIntoRows(engine::TableDef& table, engine::Recordset& work,
                                        int32_t& rowCount) {
    int32_t i = 1;
    for (const FieldLine& line : FoldFieldLines(table)) {
        work.AddNew();
        work.SetValue("FLD01", engine::Variant::Long(i));
        work.SetValue("FLD02", engine::Variant(line.Name));
        work.SetValue("FLD03", engine::Variant(line.TypeName));
        work.SetValue("FLD04", engine::Variant::Integer(line.Size));
        work.SetValue("FLD05", engine::Variant(line.Repeat));
        for (int column = 6; column <= 11; ++column)
            work.SetValue(KeyColumn(column - 6), engine::Variant(""));
        work.SetValue("FLD12", engine::Variant(line.Description));
        work.Update();
        ++i;
    }
    rowCount = i - 1;
}

void LayoutDocument::MapIndexesOntoKeys(engine::TableDef& table, engine::Recordset& work,
                                        UserPrompts& prompts) {
    int k = 1;
    bool excessShown = false;
    for (const engine::IndexPtr& index : table.Indexes()) {
        int slot = 0;
        if (!index->Primary()) {
            // Sub keys beyond the fifth are left out; a primary key listed after them is
            // still read.
            if (k > 5) {
                if (!excessShown)
                    prompts.Say("副キーは ５つまでしか作業できません。超えた分は無視します。");
                excessShown = true;
                continue;
            }
            slot = k;
        }
        LoadedIndexName[static_cast<size_t>(slot)] = index->Name();
        LoadedIndexDup[static_cast<size_t>(slot)] = index->Unique() ? 0 : 1;
        int rank = 0;
        for (const engine::FieldPtr& member : index->Fields()) {
            if (++rank > 20) {
                prompts.Say(
                    "インデックスキーのフィールド数は 20までしか作業できません。超えたフィールドは"
                    "無視します。");
                break;
            }
            const std::string letter =
                member->Attributes() == engine::dao::dbDescending ? "D" : "A";
            work.FindFirst("FLD02 = " + QuotedText(member->Name()));
            if (work.NoMatch()) {
                prompts.Say("インデックス " + index->Name() + " のフィールド　" + member->Name() +
                            " がありません。無視します。");
                continue;
            }
            work.Edit();
            work.SetValue(
                KeyColumn(slot),
                engine::Variant(
                    FixWidth(engine::Variant::Integer(static_cast<int16_t>(rank)), "##") + letter));
            work.Update();
        }
        if (slot > 0) ++k;
    }
}

void LayoutDocument::CopyAsLoadedValues(engine::Recordset& work) {
    work.MoveFirst();
    while (!work.Eof()) {
        work.Edit();
        work.SetValue("FLD13", engine::Variant(work.Value("FLD02")));
        work.SetValue("FLD14", engine::Variant(work.Value("FLD03")));
        work.SetValue("FLD15", engine::Variant(work.Value("FLD04")));
        work.SetValue("FLD16", engine::Variant(work.Value("FLD05")));
        work.Update();
        work.MoveNext();
    }
}

} // namespace tavorin
