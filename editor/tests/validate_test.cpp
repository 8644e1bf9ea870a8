// Whole-layout validation in the window: the index settings it reads from the key boxes and
// shows back, and where the save puts the cursor after each kind of fault (the rules themselves
// are the core's, tested there).
#include <QGroupBox>
#include <functional>

#include "core/testing/layout_lines.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using namespace tavorin::grid;
using coretest::Line;
using coretest::Numbered;
using coretest::With;

namespace {

struct ValidateCase {
    const char* name;
    std::vector<Line> lines{};
    QString message{}; // empty: the layout is accepted
    int16_t code = 0;
    int32_t errorRow = 0;
    // After a fault, the save puts the cursor into this Text1 box with this row on top.
    int focus = 7;
    int32_t top = 1;
    std::function<void(TestWindow&)> prepare{};
    std::function<void(TestWindow&)> check{};
};

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
        {
            engine::RecordsetPtr rows = app.Store.WorkDb->OpenRecordset(kWorkTableSql);
            W().LastRow = coretest::WriteLines(*rows, lines);
        }
        app.Store.WorkRs->Requery();
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

TEST_F(ValidateTest, EachKindOfFaultPutsTheCursorWhereItLiesAndTheKeyBoxesAreReadAndShown) {
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
        // Of two equal names the later row is reported, here beyond the rows shown.
        {.name = "names equal but for case",
         .lines = With(With(Numbered(12), 1, [](Line& l) { l.name = "Code"; }), 12,
                       [](Line& l) { l.name = "CODE"; }),
         .message = "同一フィールド名があります。",
         .code = 9,
         .errorRow = 12,
         .focus = CellOf(9, kName),
         .top = 3},
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
