// The table scan: the table list, one row per field with its columns, and the folding of
// numbered field groups into arrays.
#include <gtest/gtest.h>

#include "engine/error.h"
#include "field_table.h"
#include "support.h"

using namespace vespen;
using namespace vespentest;
namespace dao = engine::dao;

namespace {

TEST(RepeatNo, TakesTwoDigitsAfterAFinalUnderscore) {
    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {
        {"Qty_01", "01"},   {"Qty_99", "99"}, {"A_1_20", "20"}, {"数量_05", "05"},
        {"a b_07", "07"},   {"_12", "00"}, // three characters only
        {"X_1a", "00"},     {"Qty01", "00"},  {"Qty_1", "00"},  {"Qty_001", "00"},
        {"Qty_０１", "00"}, {"Qty", "00"},    {"", "00"},
    };
    for (const Case& c : cases) EXPECT_EQ(RepeatNoOf(c.name), c.expected) << c.name;
}

FieldRow Row(const std::string& table, const std::string& field) {
    return {table, field, "3", "", RepeatNoOf(field), "1", "1", "2"};
}

// "table.field:RepeatNo" per row, with the folding mark.
std::vector<std::string> Folded(std::vector<std::pair<std::string, std::string>> fields) {
    FieldTable rows;
    for (auto& [table, field] : fields) rows.push_back(Row(table, field));
    FoldArrays(rows);
    std::vector<std::string> out;
    for (const FieldRow& r : rows)
        out.push_back(r.TableName + "." + r.FieldName + ":" + r.RepeatNo);
    return out;
}

using Fields = std::vector<std::pair<std::string, std::string>>;
using Expect = std::vector<std::string>;

TEST(FoldArrays, FoldsConsecutiveElementsFromTheFirstIntoItsHead) {
    EXPECT_EQ(Folded(Fields{{"T", "Qty_01"}, {"T", "Qty_02"}, {"T", "Qty_03"}, {"T", "Sum"}}),
              (Expect{"T.Qty_01:03", "!T.Qty_02:02", "!T.Qty_03:03", "T.Sum:00"}));
    // Names compare ignoring letter case, as the engine's names do.
    EXPECT_EQ(Folded(Fields{{"T", "qty_01"}, {"T", "QTY_02"}}),
              (Expect{"T.qty_01:02", "!T.QTY_02:02"}));
    // Two groups back to back.
    EXPECT_EQ(Folded(Fields{{"T", "A_01"}, {"T", "A_02"}, {"T", "B_01"}, {"T", "B_02"}}),
              (Expect{"T.A_01:02", "!T.A_02:02", "T.B_01:02", "!T.B_02:02"}));
}

TEST(FoldArrays, EndsAGroupAtAnOrdinaryFieldAGapAnotherNameOrAnotherTable) {
    // An ordinary field between elements counts as 0 in the step test.
    EXPECT_EQ(Folded(Fields{{"T", "A_01"}, {"T", "A_02"}, {"T", "B"}, {"T", "A_03"}}),
              (Expect{"T.A_01:02", "!T.A_02:02", "T.B:00", "T.A_03:03"}));
    EXPECT_EQ(Folded(Fields{{"T", "Q_01"}, {"T", "Q_02"}, {"T", "Q_04"}, {"T", "Q_05"}}),
              (Expect{"T.Q_01:02", "!T.Q_02:02", "T.Q_04:04", "T.Q_05:05"}));
    EXPECT_EQ(Folded(Fields{{"T", "A_01"}, {"T", "B_02"}}), (Expect{"T.A_01:01", "T.B_02:02"}));
    EXPECT_EQ(Folded(Fields{{"T1", "Cnt_01"}, {"T2", "Cnt_02"}}),
              (Expect{"T1.Cnt_01:01", "T2.Cnt_02:02"}));
    // A group that does not start at 01 is never folded; each element stands alone.
    EXPECT_EQ(Folded(Fields{{"T", "X_02"}, {"T", "X_03"}}), (Expect{"T.X_02:02", "T.X_03:03"}));
}

class ScanTest : public ::testing::Test {
  protected:
    void SetUp() override { path_ = dir_.File("scan.mdb"); }
    engine::DatabasePtr Create() { return Ws().CreateDatabase(path_, engine::kLangJapanese); }

    TempDir dir_;
    std::string path_;
};

TEST_F(ScanTest, ListsUserTablesIncludingLowerCaseMsysNames) {
    auto db = Create();
    AddTable(*db, "msysX", {{"A", dao::dbLong}});
    AddTable(*db, "MSysObjectsCopy", {{"A", dao::dbLong}});
    AddTable(*db, "Order Line", {{"A", dao::dbLong}});
    AddTable(*db, "Customer", {{"A", dao::dbLong}});
    db->Close();
    EXPECT_EQ(ListTables(Ws(), path_),
              (std::vector<std::string>{"Customer", "msysX", "Order Line"}));
}

TEST_F(ScanTest, FillsEveryColumnPerFieldInTableAndFieldOrder) {
    auto db = Create();
    AddTable(*db, "Sales",
             {{"ID", dao::dbLong, 0, "番号", true},
              {"Memo", dao::dbMemo, 0, "", false, true},
              {"Name", dao::dbText, 10, "", false, false},
              {"Flag", dao::dbBoolean},
              {"Day", dao::dbDate},
              {"Rate", dao::dbDouble, 0, "率"}});
    AddTable(*db, "Area", {{"Code", dao::dbText, 4, "", false, true}, {"Qty_01", dao::dbInteger}});
    db->Close();

    FieldTable rows = ScanTables(Ws(), path_, {"Area", " Sales "});
    std::vector<std::vector<std::string>> got;
    for (const FieldRow& r : rows)
        got.push_back({r.TableName, r.FieldName, r.TypeCode, r.Description, r.RepeatNo,
                       r.Attributes, r.AZL, r.NCK});
    std::vector<std::vector<std::string>> expected = {
        {"Area", "Code", "10", "", "00", "2", "0", "1"},
        {"Area", "Qty_01", "3", "", "01", "1", "1", "2"},
        {"Sales", "ID", "4", "番号", "00", "17", "1", "2"},
        {"Sales", "Memo", "12", "", "00", "2", "0", "1"},
        {"Sales", "Name", "10", "", "00", "2", "1", "1"},
        {"Sales", "Flag", "1", "", "00", "1", "1", "0"},
        {"Sales", "Day", "8", "", "00", "1", "1", "0"},
        {"Sales", "Rate", "7", "率", "00", "1", "1", "2"},
    };
    EXPECT_EQ(got, expected);
}

TEST_F(ScanTest, ReportsProgressAndFoldsAfterScanning) {
    auto db = Create();
    AddTable(*db, "T",
             {{"A_01", dao::dbText, 5},
              {"A_02", dao::dbText, 5},
              {"B", dao::dbLong},
              {"A_03", dao::dbText, 5}});
    db->Close();
    std::vector<std::string> shown;
    FieldTable rows =
        ScanTables(Ws(), path_, {"T"}, [&](const std::string& s) { shown.push_back(s); });
    EXPECT_EQ(shown, (std::vector<std::string>{kStatusScanning, kStatusFolding}));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].RepeatNo, "02");
    EXPECT_TRUE(rows[1].Folded());
    EXPECT_EQ(rows[1].TableName, "!T");
    EXPECT_FALSE(rows[3].Folded());
    EXPECT_EQ(rows[3].RepeatNo, "03");
}

TEST_F(ScanTest, ScansEveryFieldBeyondTwoThousandRows) {
    auto db = Create();
    std::vector<std::string> tables;
    for (int t = 0; t < 9; ++t) {
        std::vector<FieldDef> fields;
        for (int f = 0; f < 250; ++f) fields.push_back({"F" + std::to_string(f), dao::dbLong});
        tables.push_back("Wide" + std::to_string(t));
        AddTable(*db, tables.back(), fields);
    }
    db->Close();
    FieldTable rows = ScanTables(Ws(), path_, tables);
    ASSERT_EQ(rows.size(), 2250u);
    EXPECT_EQ(rows.back().TableName, "Wide8");
    EXPECT_EQ(rows.back().FieldName, "F249");
}

TEST_F(ScanTest, MissingTableOrFileIsAnEngineError) {
    auto db = Create();
    AddTable(*db, "T", {{"A", dao::dbLong}});
    db->Close();
    EXPECT_THROW(ScanTables(Ws(), path_, {"T", "Gone"}), engine::Error);
    try {
        ListTables(Ws(), dir_.File("none.mdb"));
        ADD_FAILURE() << "no error for a missing file";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kFileNotFound);
    }
}

} // namespace
