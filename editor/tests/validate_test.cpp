// Whole-layout validation before a save: every message with its error code and row, what it
// writes back into the work rows, and where the save puts the cursor afterwards.
#include <QGroupBox>
#include <functional>

#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using namespace tavorin::grid;

namespace {

// One work row as a layout line: FLD01..FLD05, the six key entries and nothing else.
struct Line {
    int row;
    std::string name;
    std::string type = "dbLong";
    int size = 4;
    std::string repeat{};
    std::array<std::string, 6> keys{};
};

// A column of a work row after validation: FLD number (1-based) and its text.
struct Stored {
    int row;
    int column;
    std::string value;
};

struct ValidateCase {
    const char* name;
    std::vector<Line> lines{};
    QString message{}; // empty: the layout is accepted
    int16_t code = 0;
    int32_t errorRow = 0;
    std::vector<Stored> stored{};
    // After a fault, the save puts the cursor into this Text1 box with this row on top.
    int focus = 7;
    int32_t top = 1;
    std::function<void(TestWindow&)> prepare{};
    std::function<void(TestWindow&)> check{};
};

std::vector<Line> Numbered(int count) {
    std::vector<Line> lines{};
    for (int i = 1; i <= count; ++i) lines.push_back({i, "F" + std::to_string(i)});
    return lines;
}

std::vector<Line> With(std::vector<Line> lines, int row, const std::function<void(Line&)>& change) {
    for (Line& line : lines)
        if (line.row == row) change(line);
    return lines;
}

void WriteLines(engine::Database& work, const std::vector<Line>& lines) {
    engine::RecordsetPtr rs = work.OpenRecordset(kWorkTableSql);
    for (const Line& line : lines) {
        rs->AddNew();
        rs->SetValue("FLD01", engine::Variant::Long(line.row));
        rs->SetValue("FLD02", engine::Variant(line.name));
        rs->SetValue("FLD03", engine::Variant(line.type));
        rs->SetValue("FLD04", engine::Variant::Integer(static_cast<int16_t>(line.size)));
        rs->SetValue("FLD05", engine::Variant(line.repeat));
        for (size_t k = 0; k < 6; ++k)
            rs->SetValue("FLD" + std::string(k < 4 ? "0" : "1") + std::to_string((6 + k) % 10),
                         engine::Variant(line.keys[k]));
        rs->Update();
    }
    rs->Close();
}

class ValidateTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure()) return;
        W().realSave = true;
        path = data.File("layouts.mdb");
        MakeTable(path, "T", TextFields({"A"}));
    }

    // A new table's layout holding lines, shown from row 1.
    void Lay(const std::vector<Line>& lines) {
        W().OpenOnStart(path, "NEW");
        WriteLines(*app.Store.WorkDb, lines);
        app.Store.WorkRs->Requery();
        W().LastRow = 0;
        for (const Line& line : lines) W().LastRow = std::max(W().LastRow, line.row);
        W().SetScrollRange(0);
        W().FillGrid(1);
    }

    // ValidateLayout as the save calls it: with the grid's recordset closed meanwhile.
    void Validate(int16_t& code, int32_t& row) {
        app.Store.WorkRs->Close();
        W().ValidateLayout(code, row);
        app.Store.WorkRs =
            app.Store.WorkDb->OpenRecordset(kWorkTableSql, engine::RecordsetType::Dynaset);
    }

    std::string path;
};

TEST_F(ValidateTest, EachFaultHasItsMessageCodeRowAndCursorAndEveryDefaultIsWrittenBack) {
    auto keys = [](std::array<std::string, 6> k) { return k; };
    const ValidateCase cases[] = {
        {.name = "no rows",
         .message = "フィールドが一つも入力されていないテーブルは登録できません。",
         .code = 9},
        {.name = "missing name",
         .lines = With(Numbered(3), 3, [](Line& l) { l.name = ""; }),
         .message = "フィールド名称は省略できません。",
         .code = 9,
         .errorRow = 3,
         .focus = CellOf(2, kName)},
        {.name = "missing type",
         .lines = With(Numbered(3), 2, [](Line& l) { l.type = ""; }),
         .message = "データ種別が未入力です。",
         .code = 9,
         .errorRow = 2,
         .focus = CellOf(1, kName)},
        {.name = "unknown type",
         .lines = With(Numbered(3), 2, [](Line& l) { l.type = "dbGuid"; }),
         .message = "データ種別の誤りです。",
         .code = 9,
         .errorRow = 2,
         .focus = CellOf(1, kName)},
        {.name = "text sizes",
         .lines = {{1, "A", "dbText", 0}, {2, "B", "dbText", 255}, {3, "C", "dbLong", 0}},
         .stored = {{1, 4, "50"}, {2, 4, "255"}, {3, 4, "0"}}},
        {.name = "text size 256",
         .lines = {{1, "A", "dbText", 0}, {2, "B", "dbText", 256}},
         .message = "テキストタイプのサイズは最大　'255'　です。",
         .code = 9,
         .errorRow = 2,
         .stored = {{1, 4, "50"}, {2, 4, "256"}},
         .focus = CellOf(1, kName)},
        {.name = "repeat counts",
         .lines = {{1, "A", "dbText", 10, " 0"},
                   {2, "B", "dbLong", 4, "05"},
                   {3, "C", "dbLong", 4, "7 "}},
         .stored = {{1, 5, ""}, {2, 5, "05"}, {3, 5, "7 "}}},
        {.name = "repeat with a letter",
         .lines = With(Numbered(2), 2, [](Line& l) { l.repeat = "1a"; }),
         .message = "数字以外の文字が入力されています。",
         .code = 9,
         .errorRow = 2,
         .focus = CellOf(1, kName)},
        {.name = "repeat in full-width digits",
         .lines = With(Numbered(2), 1, [](Line& l) { l.repeat = "５"; }),
         .message = "数字以外の文字が入力されています。",
         .code = 9,
         .errorRow = 1,
         .focus = CellOf(0, kName)},
        {.name = "repeat on an auto number",
         .lines = {{1, "ID", "(ｵｰﾄﾅﾝﾊﾞ-)", 4, "2"}},
         .message = "オートナンバー型のフィールドに繰り返しは指定できません。",
         .code = 9,
         .errorRow = 1,
         .focus = CellOf(0, kName)},
        {.name = "key entries normalised",
         .lines = {{1, "A", "dbLong", 4, "", keys({"1", "1A"})},
                   {2, "B", "dbText", 10, "", keys({"2d", "", "12 a"})}},
         .stored = {{1, 6, " 1"}, {1, 7, " 1A"}, {2, 6, " 2d"}, {2, 8, "12a"}},
         .check =
             [](TestWindow& w) {
                 EXPECT_EQ(w.KeyUsed, (std::array<int16_t, 7>{0, 9, 9, 9, 0, 0, 0}));
                 EXPECT_EQ(w.KeyFieldName[1][1], "A");
                 EXPECT_EQ(w.KeySortKind[1][1], "");
                 EXPECT_EQ(w.KeyFieldName[2][1], "B");
                 EXPECT_EQ(w.KeySortKind[2][1], "d");
                 EXPECT_EQ(w.KeyFieldName[1][2], "A"); // the same rank in another key is no fault
                 EXPECT_EQ(w.KeyFieldName[12][3], "B");
                 EXPECT_EQ(w.KeySortKind[12][3], "a");
             }},
        {.name = "one rank twice in a key",
         .lines = With(With(Numbered(3), 1, [](Line& l) { l.keys[2] = "3"; }), 3,
                       [](Line& l) { l.keys[2] = "3D"; }),
         .message = "キー内に同一順位が指定されています。",
         .code = 9,
         .errorRow = 3,
         .stored = {{1, 8, " 3"}},
         .focus = CellOf(2, kName)},
        {.name = "sort letter",
         .lines = With(Numbered(2), 2, [](Line& l) { l.keys[0] = "3X"; }),
         .message = "ソート種別は 'A'　又は 'D'　です。",
         .code = 9,
         .errorRow = 2,
         .focus = CellOf(1, kName)},
        {.name = "no rank",
         .lines = With(Numbered(2), 2, [](Line& l) { l.keys[4] = "a"; }),
         .message = "キー順位が指定されていません。",
         .code = 9,
         .errorRow = 2,
         .focus = CellOf(1, kName)},
        {.name = "rank 21",
         .lines = With(Numbered(2), 1, [](Line& l) { l.keys[1] = "21"; }),
         .message = "キー順位は 20までです。",
         .code = 9,
         .errorRow = 1,
         .focus = CellOf(0, kName)},
        {.name = "key on a repeated field",
         .lines = With(Numbered(2), 2,
                       [](Line& l) {
                           l.repeat = "3";
                           l.keys[0] = "1";
                       }),
         .message = "繰返しを指定したフィールドはキー指定できません。",
         .code = 9,
         .errorRow = 2,
         .focus = CellOf(1, kName)},
        // Of two equal names the later row is reported, here beyond the rows shown.
        {.name = "names equal but for case",
         .lines = With(With(Numbered(12), 1, [](Line& l) { l.name = "Code"; }), 12,
                       [](Line& l) { l.name = "CODE"; }),
         .message = "同一フィールド名があります。",
         .code = 9,
         .errorRow = 12,
         .focus = CellOf(9, kName),
         .top = 3},
        // Of two auto numbers the one whose name sorts second is reported.
        {.name = "two auto numbers",
         .lines =
             With(With(Numbered(15), 3, [](Line& l) { l = {3, "ZID", "(ｵｰﾄﾅﾝﾊﾞ-)"}; }), 14,
                  [](Line& l) {
                      l = {14, "AID", "(ｵｰﾄﾅﾝﾊﾞ-)"};
                  }),
         .message = "オートナンバーは一つのテーブルに一つしか定義できません。",
         .code = 9,
         .errorRow = 3,
         .focus = CellOf(2, kName)},
        {.name = "index name missing without a default",
         .lines = With(Numbered(2), 1, [](Line& l) { l.keys[2] = "1"; }),
         .message = "インデックス名が設定されていません。",
         .code = 3,
         .focus = 3,
         .prepare =
             [](TestWindow& w) {
                 w.App.Defaults.IndexDefaultName[2] = "";
                 w.Text1[3]->clear();
             }},
        {.name = "index settings taken from the defaults",
         .lines = With(Numbered(2), 2, [](Line& l) { l.keys[1] = "1"; }),
         .prepare =
             [](TestWindow& w) {
                 w.Text1[2]->clear();
                 w.Combo1[1]->setCurrentIndex(-1);
                 w.Text1[4]->clear();
                 w.Combo1[3]->setCurrentIndex(-1);
             },
         .check =
             [](TestWindow& w) {
                 EXPECT_EQ(w.Text1[2]->text(), "SubKey1");
                 EXPECT_EQ(w.Combo1[1]->currentIndex(), 1);
                 // A key without members keeps its empty boxes.
                 EXPECT_EQ(w.Text1[4]->text(), "");
                 EXPECT_EQ(w.Combo1[3]->currentIndex(), -1);
             }},
        {.name = "primary key with duplicates",
         .lines = With(Numbered(2), 2, [](Line& l) { l.keys[0] = "1"; }),
         .message = "主キーは重複なしを設定して下さい。",
         .code = 1,
         .focus = 1,
         .prepare = [](TestWindow& w) { w.Combo1[0]->setCurrentIndex(1); }},
        {.name = "duplicates of a primary key without members",
         .lines = Numbered(2),
         .prepare = [](TestWindow& w) { w.Combo1[0]->setCurrentIndex(1); }},
    };

    for (const ValidateCase& c : cases) {
        EXPECT_TRUE(prompts.Unexpected().isEmpty())
            << "before " << c.name << ": " << prompts.Unexpected().join("\n").toStdString();
        prompts.Clear();
        SCOPED_TRACE(c.name);
        Lay(c.lines);
        if (c.prepare) c.prepare(W());
        if (!c.message.isEmpty()) prompts.Expect(c.message);
        int16_t code = -1;
        int32_t row = -1;
        Validate(code, row);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(row, c.errorRow);
        EXPECT_EQ(prompts.Shown().size(), c.message.isEmpty() ? 0u : 1u);
        const std::vector<WorkRow> rows = WorkRows();
        for (const Stored& s : c.stored) {
            const auto it = std::find_if(rows.begin(), rows.end(), [&](const WorkRow& r) {
                return r[0] == std::to_string(s.row);
            });
            ASSERT_NE(it, rows.end()) << "row " << s.row;
            EXPECT_EQ((*it)[static_cast<size_t>(s.column - 1)], s.value)
                << "row " << s.row << " FLD" << s.column;
        }
        if (c.check) c.check(W());
        if (c.message.isEmpty()) continue;

        // The save command shows the fault again and puts the cursor where it lies.
        W().Text1[7]->setFocus();
        prompts.Expect(c.message);
        W().mnTableSave[0]->trigger();
        EXPECT_EQ(W().Saving().SaveAbandoned, -1);
        EXPECT_EQ(prompts.Pending(), 0);
        EXPECT_EQ(Focus(), W().Text1[static_cast<size_t>(c.focus)]);
        EXPECT_EQ(W().TopRow, c.top);
        EXPECT_EQ(W().VScroll1->value(), c.top - 1);
        if (c.code >= 1 && c.code <= 6) {
            EXPECT_TRUE(W().Frame3->isVisible());
            EXPECT_FALSE(W().Frame2->isVisible());
        }
        EXPECT_EQ(W().CurrentTable, "NEW");
        EXPECT_FALSE(
            engine::DBEngine::Instance().Workspaces(0).OpenDatabase(path)->TableDefs().Contains(
                "NEW"));
        app.Defaults.IndexDefaultName = {"PrimaryKey", "SubKey1", "SubKey2",
                                         "SubKey3",    "SubKey4", "SubKey5"};
    }
}

} // namespace
