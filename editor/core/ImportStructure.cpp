#include "core/ImportStructure.h"

#include <algorithm>

#include "core/Criteria.h"
#include "core/TypeVocabulary.h"
#include "core/UserPrompts.h"
#include "core/WorkTable.h"
#include "engine/error.h"
#include "engine/transaction_guard.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace tavorin {
namespace dao = engine::dao;
using engine::Variant;

namespace {

struct WorkColumn {
    const char* name;
    int type;
    long size;
};

constexpr WorkColumn kTargetColumns[] = {
    {"FLD01", dao::dbText, 4},    {"FLD02", dao::dbText, 255}, {"FLD03", dao::dbText, 13},
    {"FLD04", dao::dbInteger, 0}, {"FLD05", dao::dbText, 255}, {"FLD06", dao::dbText, 13},
    {"FLD07", dao::dbInteger, 0}, {"FLD08", dao::dbLong, 0},
};
constexpr WorkColumn kSourceColumns[] = {
    {"FLD01", dao::dbText, 4},    {"FLD02", dao::dbText, 255},  {"FLD03", dao::dbText, 13},
    {"FLD04", dao::dbInteger, 0}, {"FLD05", dao::dbInteger, 0}, {"FLD08", dao::dbLong, 0},
};

int16_t SizeOf(const engine::Field& field) {
    return static_cast<int16_t>(std::clamp<long>(field.Size(), 0, 32767));
}

bool WriteFieldRows(engine::TableDef& table, engine::Recordset& work, ImportSide side,
                    LoadedTable& loaded, UserPrompts& prompts) {
    for (const engine::FieldPtr& field : table.Fields()) {
        work.AddNew();
        work.SetValue("FLD01", Variant(""));
        work.SetValue("FLD02", Variant(field->Name()));
        work.SetValue("FLD03", Variant(FieldTypeName(*field)));
        work.SetValue("FLD04", Variant::Integer(SizeOf(*field)));
        if (side == ImportSide::Target) {
            work.SetValue("FLD05", Variant(""));
            work.SetValue("FLD06", Variant(""));
            work.SetValue("FLD07", Variant::Integer(0));
        }
        if (loaded.fieldCount >= kImportMaxFields) {
            work.CancelUpdate();
            prompts.Inform("テーブル内のフィールド数は 999 までしか作業できません。");
            return false;
        }
        ++loaded.fieldCount;
        work.SetValue("FLD08", Variant::Long(loaded.fieldCount));
        work.Update();
    }
    return true;
}

// Ranks the members of the first primary index; the target's key is limited to 20 fields.
bool RankKeyFields(engine::TableDef& table, engine::Recordset& work, ImportSide side,
                   LoadedTable& loaded, UserPrompts& prompts) {
    for (const engine::IndexPtr& index : table.Indexes()) {
        if (!index->Primary()) continue;
        int rank = 0;
        for (const engine::FieldPtr& member : index->Fields()) {
            work.FindFirst("FLD02 = " + QuotedText(member->Name()));
            if (work.NoMatch()) {
                prompts.Inform(
                    "主キーに指定されているフィールドがテーブル内に存在しません。作業できません。");
                return false;
            }
            ++rank;
            if (side == ImportSide::Target && rank > kImportMaxKeyFields) {
                prompts.Inform("主キーに含まれるフィールド数は 20 までしか作業できません。");
                return false;
            }
            work.Edit();
            work.SetValue("FLD01", Variant(engine::Str(Variant::Long(rank))));
            work.Update();
            if (side == ImportSide::Target) loaded.key.fields.push_back(member->Name());
        }
        if (side == ImportSide::Target) loaded.key.index = index->Name();
        break;
    }
    return true;
}

} // namespace

void CreateImportWorkDatabase(engine::Workspace& ws, const std::string& path, ImportSide side) {
    engine::DatabasePtr db = ws.CreateDatabase(path, engine::kLangJapanese);
    engine::TableDefPtr td = db->CreateTableDef(kWorkTable);
    std::vector<engine::FieldPtr> fields;
    auto add = [&](const auto& columns) {
        for (const WorkColumn& c : columns)
            fields.push_back(td->CreateField(c.name, c.type, c.size));
    };
    if (side == ImportSide::Target)
        add(kTargetColumns);
    else
        add(kSourceColumns);
    for (const engine::FieldPtr& f : fields) td->Fields().Append(f);
    for (const engine::FieldPtr& f : fields)
        if (f->Type() == dao::dbText) f->SetAllowZeroLength(true);
    engine::IndexPtr key = td->CreateIndex("WKKEY");
    key->SetPrimary(true);
    key->SetUnique(true);
    key->Fields().Append(key->CreateField("FLD08"));
    td->Indexes().Append(key);
    db->TableDefs().Append(td);
    db->Close();
}

LoadedTable LoadTableStructure(engine::Workspace& ws, const std::string& path,
                               const std::string& table, engine::Recordset& work, ImportSide side,
                               UserPrompts& prompts) {
    LoadedTable loaded;
    engine::DatabasePtr db = ws.OpenDatabase(path);
    loaded.readOnly = db->ReadOnly();
    if (loaded.readOnly) {
        try {
            db->CheckUpdatable();
        } catch (const engine::Error& e) {
            loaded.refusal = e.Description();
        }
    }
    engine::TableDefPtr def = db->TableDefs().Item(table);
    engine::TransactionGuard batch(ws);
    loaded.failed = !WriteFieldRows(*def, work, side, loaded, prompts);
    if (!loaded.failed) loaded.failed = !RankKeyFields(*def, work, side, loaded, prompts);
    batch.Commit();
    def.reset();
    db->Close();
    return loaded;
}

} // namespace tavorin
