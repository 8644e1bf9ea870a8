// Loading a stored table's definition into the work rows, and the conversion table and copy
// plan a save builds from the rows.
#include <functional>

#include "core/FieldMap.h"
#include "core_fixture.h"
#include "engine/index.h"
#include "engine/tabledef.h"

using namespace tavorin;
using namespace coretest;

namespace {

namespace dao = engine::dao;

class LoadAndFieldMapTest : public DocumentTest {
  protected:
    // The eight columns of map's entry.
    std::vector<std::string> Entry(int entry) const {
        std::vector<std::string> cells;
        for (int column = 1; column <= FieldMapTable::kColumns; ++column)
            cells.push_back(map(entry, column));
        return cells;
    }

    FieldMapTable map;
};

struct MapCase {
    const char* name;
    Line line;
    std::vector<std::vector<std::string>> entries; // the entry number as the host's Str gives it
};

TEST_F(LoadAndFieldMapTest, EachNewFieldTakesItsOldFieldAndGroupsExpandIntoNumberedFields) {
    using E = std::vector<std::string>;
    const MapCase cases[] = {
        {"a renamed and retyped field keeps its old field",
         {1, "A", "dbText", 20, "", {}, "", "OLDA", "dbLong", 4},
         {E{" 1", "A", "dbText", "20", "OLDA", "dbLong", "4", ""}}},
        {"a new field takes no old field",
         {1, "N", "dbLong", 4},
         {E{" 1", "N", "dbLong", "4", "", "", "0", ""}}},
        {"a field made a group carries into its first member",
         {1, "G", "dbLong", 4, "3", {}, "", "G", "dbLong", 4},
         {E{" 1", "G_01", "dbLong", "4", "G", "dbLong", "4", ""},
          E{" 2", "G_02", "dbLong", "4", "", "", "", ""},
          E{" 3", "G_03", "dbLong", "4", "", "", "", ""}}},
        {"a grown group carries its old members and adds new ones",
         {1, "H", "dbInteger", 2, "3", {}, "", "H", "dbInteger", 2, "02"},
         {E{" 1", "H_01", "dbInteger", "2", "H_01", "dbInteger", "2", "02"},
          E{" 2", "H_02", "dbInteger", "2", "H_02", "dbInteger", "2", "02"},
          E{" 3", "H_03", "dbInteger", "2", "", "", "", ""}}},
        {"a group joined back into one field keeps its first member",
         {1, "J", "dbText", 10, "", {}, "", "J", "dbText", 10, "2"},
         {E{" 1", "J", "dbText", "10", "J_01", "dbText", "10", "2"}}},
    };
    for (const MapCase& c : cases) {
        SCOPED_TRACE(c.name);
        ClearRows();
        Write({c.line});
        int count = -1;
        ASSERT_TRUE(BuildFieldMap(map, *db, prompts, count));
        ASSERT_EQ(count, static_cast<int>(c.entries.size()));
        for (int entry = 1; entry <= count; ++entry)
            EXPECT_EQ(Entry(entry), c.entries[static_cast<size_t>(entry - 1)]);
        EXPECT_TRUE(prompts.said.empty());
    }
}

TEST_F(LoadAndFieldMapTest, AMapPastNineHundredNinetyNineEntriesIsRefusedWithItsMessage) {
    std::vector<Line> lines;
    for (int row = 1; row <= 11; ++row)
        lines.push_back({row, "R" + std::to_string(row), "dbLong", 4, "99"});
    Write(lines);
    int count = 0;
    EXPECT_FALSE(BuildFieldMap(map, *db, prompts, count));
    EXPECT_EQ(prompts.said,
              std::vector<std::string>{"容量をこえました。データの変換作業はできません。"});
}

TEST_F(LoadAndFieldMapTest, TheCopyPlanConvertsOldFieldsAndNumbersOnlyAutoNumbers) {
    Write({{1, "ID", "(ｵｰﾄﾅﾝﾊﾞ-)", 4, "", {}, "", "ID", "(ｵｰﾄﾅﾝﾊﾞ-)", 4},
           {2, "NO", "(ｵｰﾄﾅﾝﾊﾞ-)", 4, "", {}, "", "NO", "dbLong", 4},
           {3, "T", "dbText", 5, "", {}, "", "OLDT", "dbLong", 4},
           {4, "NEW", "dbMemo", 0},
           {5, "WAS", "dbLong", 4, "", {}, "", "WAS", "(ｵｰﾄﾅﾝﾊﾞ-)", 4}});
    int count = 0;
    ASSERT_TRUE(BuildFieldMap(map, *db, prompts, count));
    const engine::CopyPlan plan = CarryPlan(map, "OLD", "BUILD", count);
    EXPECT_EQ(plan.sourceTable, "OLD");
    EXPECT_EQ(plan.targetTable, "BUILD");
    ASSERT_EQ(plan.fields.size(), 5u);
    struct Expected {
        std::string target, source;
        bool conversion, autoNumber, keepNumbers, textual;
    };
    const Expected expected[] = {{"ID", "ID", false, true, true, false},
                                 {"NO", "NO", false, true, false, false},
                                 {"T", "OLDT", true, false, false, true},
                                 {"NEW", "", false, false, false, true},
                                 {"WAS", "WAS", true, false, false, false}};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(expected[i].target);
        const engine::CopyField& field = plan.fields[i];
        EXPECT_EQ(field.target, expected[i].target);
        EXPECT_EQ(field.source, expected[i].source);
        EXPECT_EQ(field.conversion.has_value(), expected[i].conversion);
        EXPECT_EQ(field.autoNumber, expected[i].autoNumber);
        EXPECT_EQ(field.keepNumbers, expected[i].keepNumbers);
        EXPECT_EQ(field.textual, expected[i].textual);
    }
}

// A stored table of an auto number, a text, a group of two and a memo, with a primary key,
// six sub keys (one past what a layout holds) and a member that is no layout row.
engine::DatabasePtr StoredTable(const std::string& path) {
    engine::DatabasePtr user = enginetest::Ws().CreateDatabase(path, engine::kLangJapanese);
    engine::TableDefPtr td = user->CreateTableDef("T");
    const std::tuple<const char*, int, long> fields[] = {{"ID", dao::dbLong, 0},
                                                         {"NAME", dao::dbText, 30},
                                                         {"G_01", dao::dbInteger, 0},
                                                         {"G_02", dao::dbInteger, 0},
                                                         {"MEMO", dao::dbMemo, 0}};
    for (const auto& [name, type, size] : fields) {
        engine::FieldPtr field = td->CreateField(name, type, size);
        if (std::string(name) == "ID") field->SetAttributes(16);
        td->Fields().Append(field);
    }
    // Names in creation order, so that the order the engine lists them in does not matter.
    const std::tuple<const char*, bool, std::vector<std::pair<const char*, bool>>> indexes[] = {
        {"A_PRIMARY", true, {{"ID", false}}}, {"B_SUB1", false, {{"NAME", true}, {"ID", false}}},
        {"C_SUB2", false, {{"G_01", false}}}, {"D_SUB3", false, {{"ID", false}}},
        {"E_SUB4", false, {{"NAME", false}}}, {"F_SUB5", false, {{"ID", true}}},
        {"G_SUB6", false, {{"NAME", false}}},
    };
    for (const auto& [name, primary, members] : indexes) {
        engine::IndexPtr index = td->CreateIndex(name);
        index->SetPrimary(primary);
        index->SetUnique(primary || std::string(name) == "E_SUB4");
        for (const auto& [member, descending] : members) {
            engine::FieldPtr field = index->CreateField(member);
            if (descending) field->SetAttributes(dao::dbDescending);
            index->Fields().Append(field);
        }
        td->Indexes().Append(index);
    }
    user->TableDefs().Append(td);
    return user;
}

TEST_F(LoadAndFieldMapTest, ALoadedTableFillsTheRowsKeysIndexSettingsAndAsLoadedCopies) {
    engine::DatabasePtr user = StoredTable(dir.File("user.mdb"));
    engine::TableDefPtr table = user->TableDefs().Item("T");
    int32_t rowCount = 0;
    doc.ReadTableDefinitionOf(*table, *rows, rowCount, prompts);
    EXPECT_EQ(rowCount, 4);
    EXPECT_EQ(Names(), (std::vector<std::string>{"1:ID", "2:NAME", "3:G", "4:MEMO"}));

    struct RowText {
        int row;
        const char* column;
        std::string value;
    };
    const RowText expected[] = {
        {1, "FLD03", "(ｵｰﾄﾅﾝﾊﾞ-)"},
        {2, "FLD03", "dbText"},
        {2, "FLD04", "30"},
        {3, "FLD03", "dbInteger"},
        {3, "FLD05", "02"},
        {4, "FLD03", "dbMemo"},
        // Keys: primary, then sub keys 1..5 in FLD07..FLD11; each member's rank and direction.
        {1, "FLD06", " 1A"},
        {2, "FLD07", " 1D"},
        {1, "FLD07", " 2A"},
        {3, "FLD08", ""},
        {1, "FLD09", " 1A"},
        {2, "FLD10", " 1A"},
        {1, "FLD11", " 1D"},
        // The as-loaded copies.
        {3, "FLD13", "G"},
        {3, "FLD14", "dbInteger"},
        {3, "FLD15", "2"},
        {3, "FLD16", "02"},
        {2, "FLD15", "30"}};
    for (const RowText& e : expected)
        EXPECT_EQ(StoredText(e.row, e.column), e.value) << e.row << " " << e.column;

    EXPECT_EQ(doc.LoadedIndexName, (std::array<std::string, 6>{"A_PRIMARY", "B_SUB1", "C_SUB2",
                                                               "D_SUB3", "E_SUB4", "F_SUB5"}));
    EXPECT_EQ(doc.LoadedIndexDup, (std::array<int16_t, 6>{0, 1, 1, 1, 0, 1}));
    EXPECT_EQ(prompts.said, (std::vector<std::string>{
                                "インデックス C_SUB2 のフィールド　G_01 がありません。無視します。",
                                "副キーは ５つまでしか作業できません。超えた分は無視します。"}));
    user->Close();
}

TEST_F(LoadAndFieldMapTest, ALoadThatFailsLeavesNoRows) {
    engine::DatabasePtr user = StoredTable(dir.File("user.mdb"));
    engine::TableDefPtr table = user->TableDefs().Item("T");
    Write({{1, "TAKEN"}}); // row 1 exists already: the load's first row collides with it
    int32_t rowCount = -1;
    EXPECT_THROW(doc.ReadTableDefinitionOf(*table, *rows, rowCount, prompts), engine::Error);
    EXPECT_EQ(rowCount, 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"1:TAKEN"});
    user->Close();
}

} // namespace
