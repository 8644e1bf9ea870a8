#include "core/WorkTable.h"

#include <utility>
#include <vector>

#include "engine/database.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace tavorin {

namespace dao = engine::dao;

void CreateWorkDatabase(engine::Workspace& ws, const std::string& path) {
    struct Column {
        const char* name;
        int type;
        long size;
    };
    static constexpr Column kColumns[16] = {
        {"FLD01", dao::dbLong, 0},    {"FLD02", dao::dbText, 60}, {"FLD03", dao::dbText, 13},
        {"FLD04", dao::dbInteger, 0}, {"FLD05", dao::dbText, 2},  {"FLD06", dao::dbText, 5},
        {"FLD07", dao::dbText, 5},    {"FLD08", dao::dbText, 5},  {"FLD09", dao::dbText, 5},
        {"FLD10", dao::dbText, 5},    {"FLD11", dao::dbText, 5},  {"FLD12", dao::dbText, 255},
        {"FLD13", dao::dbText, 60},   {"FLD14", dao::dbText, 13}, {"FLD15", dao::dbInteger, 0},
        {"FLD16", dao::dbText, 2},
    };
    static_assert(kColumns[1].size == kWorkNameBytes && kColumns[12].size == kWorkNameBytes &&
                  kColumns[11].size == kWorkDescriptionBytes);
    static constexpr std::pair<const char*, const char*> kIndexes[7] = {
        {"WKKEY", "FLD01"},   {"WKKEYM", "FLD06"},  {"WKKEYS1", "FLD07"}, {"WKKEYS2", "FLD08"},
        {"WKKEYS3", "FLD09"}, {"WKKEYS4", "FLD10"}, {"WKKEYS5", "FLD11"},
    };

    engine::DatabasePtr db = ws.CreateDatabase(path, engine::kLangJapanese);
    engine::TableDefPtr td = db->CreateTableDef(kWorkTable);

    std::vector<engine::FieldPtr> fields;
    for (const Column& c : kColumns) fields.push_back(td->CreateField(c.name, c.type, c.size));
    for (const engine::FieldPtr& f : fields) td->Fields().Append(f);
    // Every text column takes the empty text, which Jet keeps as the expression "".
    for (size_t i = 1; i < fields.size(); ++i) {
        if (fields[i]->Type() != dao::dbText) continue;
        fields[i]->SetAllowZeroLength(true);
        fields[i]->SetDefaultValue("\"\"");
    }

    bool primary = true;
    for (const auto& [indexName, fieldName] : kIndexes) {
        engine::IndexPtr ix = td->CreateIndex(indexName);
        ix->SetPrimary(primary);
        ix->SetUnique(primary);
        ix->Fields().Append(ix->CreateField(fieldName));
        td->Indexes().Append(ix);
        primary = false;
    }
    db->TableDefs().Append(td);
    db->Close();
}

} // namespace tavorin
