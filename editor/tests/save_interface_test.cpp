// Saving through the window as a user does: the save menu and toolbar button, and the save
// question (with the window's own save) when the user changes table or file, or ends, with an
// edit still pending in a cell or in the table name box.
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QWindow>
#include <filesystem>

#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using namespace tavorin::grid;
using platform::vbCancel;
using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

namespace {

const QString kSaveQuestion = "作業中のフォーマットは変更されています。保存しますか。";
const QString kInitQuestion = "テーブルを初期化しますか。";
const QString kAcceptQuestion = "データ変換が終了しました。更新しますか。";

// The field names of a table in a database file, in their order.
std::vector<std::string> FieldNames(const std::string& path, const std::string& table) {
    engine::DatabasePtr db = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(path);
    const engine::TableDefPtr td = db->TableDefs().Item(table);
    std::vector<std::string> names;
    for (const engine::FieldPtr& f : td->Fields()) names.push_back(f->Name());
    db->Close();
    return names;
}

// T: CODE (text, primary key), NAME (text), F03..F15 (long), 3 records; U: X, Y.
class SaveInterfaceTest : public WindowTest {
  protected:
    // The field name of work row n ("" when there is none).
    std::string WorkName(int n) {
        for (const WorkRow& row : WorkRows())
            if (row[0] == std::to_string(n)) return row[1];
        return {};
    }

    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure()) return;
        W().realSave = true;
        path = data.File("shop.mdb");
        std::vector<FieldDef> fields = {{"CODE", dao::dbText, 10}, {"NAME", dao::dbText, 20}};
        for (int i = 3; i <= 15; ++i)
            fields.push_back({(i < 10 ? "F0" : "F") + std::to_string(i), dao::dbLong});
        MakeTable(path, "T", fields, {{"PrimaryKey", true, true, {{"CODE", false}}}});
        {
            engine::DatabasePtr db = OpenOrCreate(path);
            engine::RecordsetPtr rs = db->OpenRecordset("T");
            for (int i = 1; i <= 3; ++i) {
                rs->AddNew();
                rs->SetValue("CODE", engine::Variant("C" + std::to_string(i)));
                rs->SetValue("NAME", engine::Variant("名前" + std::to_string(i)));
                rs->Update();
            }
            db->Close();
        }
        MakeTable(path, "U", {{"X", dao::dbLong}, {"Y", dao::dbText, 5}});
        tFields = FieldNames(path, "T");
        fs::copy_file(path, pristine);
        OpenTable(path, "T");
        ASSERT_EQ(W().LastRow, 15);
    }

    // The file as SetUp made it, with T open in it and an unchanged layout.
    void OpenPristineT() {
        W().LayoutChanged = 0;
        W().CloseUserDatabase();
        fs::copy_file(pristine, path, fs::copy_options::overwrite_existing);
        OpenTable(path, "T");
    }

    // The questions of a save over the existing T that carries its records across.
    void ExpectSaveCarryingRecords() {
        prompts.Expect(kInitQuestion, vbNo);
        prompts.Expect(kAcceptQuestion, vbOK);
    }

    // Renames NAME (row 2) to FULLNAME and leaves the cell with the focus, not yet committed.
    void TypePendingRename() { TypeInto(Cell(1, kName), "FULLNAME", false); }

    std::vector<std::string> SavedFields() {
        std::vector<std::string> fields = tFields;
        fields[1] = "FULLNAME";
        return fields;
    }

    // Renames NAME, leaves the cell, and types U into the table name box without leaving it.
    void RenameThenTypeTableU() {
        TypeInto(Cell(1, kName), "FULLNAME");
        ASSERT_EQ(W().LayoutChanged, 9);
        TypeInto(W().Text1[0], "U", false);
        ASSERT_EQ(Focus(), W().Text1[0]);
    }

    // Clicks a menu of the menu bar, then one of its items.
    void PickFromMenu(QMenu* menu, QAction* item) {
        QMenuBar* bar = window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(menu->menuAction()).center());
        ASSERT_TRUE(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    }

    void ExpectTOpenUnchangedIn(const char* gesture) {
        EXPECT_EQ(W().CurrentTable, "T") << gesture;
        EXPECT_EQ(W().Text1[0]->text(), "T") << gesture;
        EXPECT_EQ(W().LayoutChanged, 9) << gesture;
        EXPECT_EQ(WorkRows().size(), 15u) << gesture;
        EXPECT_EQ(FieldNames(path, "T"), tFields) << gesture;
    }

    void ExpectUOpen(const char* gesture) {
        EXPECT_EQ(W().CurrentTable, "U") << gesture;
        EXPECT_EQ(W().Text1[0]->text(), "U") << gesture;
        EXPECT_EQ(WorkRows().size(), 2u) << gesture;
        EXPECT_EQ(WorkName(1), "X") << gesture;
        EXPECT_EQ(W().LayoutChanged, 0) << gesture;
        EXPECT_TRUE(W().MenuState(W().mnTableSave[0])) << gesture;
    }

    std::string path;
    std::string pristine = data.File("pristine.mdb");
    std::vector<std::string> tFields;
};

// ---- The save commands -------------------------------------------------------------------------

TEST_F(SaveInterfaceTest, TheSaveMenuAndToolbarButtonSaveTheCellBeingTyped) {
    struct Case {
        const char* gesture;
        std::function<void()> save;
    };
    const Case cases[] = {
        {"menu", [&] { PickFromMenu(W().mnTable, W().mnTableSave[0]); }},
        {"toolbar", [&] { QTest::mouseClick(W().Image1[8], Qt::LeftButton); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gesture);
        OpenPristineT();
        TypePendingRename();
        ExpectSaveCarryingRecords();
        c.save();
        EXPECT_EQ(prompts.Pending(), 0);
        EXPECT_EQ(FieldNames(path, "T"), SavedFields());
        // A completed save ends the edit and goes back to the table list.
        EXPECT_EQ(W().CurrentTable, "");
        EXPECT_TRUE(WorkRows().empty());
        EXPECT_TRUE(W().Frame2->isVisible());
        EXPECT_EQ(Focus(), W().Text1[0]);
    }
}

TEST_F(SaveInterfaceTest, AFaultInTheCellBeingTypedStopsTheSave) {
    TypeInto(Cell(0, kSize), "abc", false);
    prompts.Expect("数字以外の文字が入力されています。");
    QTest::mouseClick(W().Image1[8], Qt::LeftButton);
    EXPECT_EQ(FieldNames(path, "T"), tFields);
    EXPECT_EQ(W().CurrentTable, "T");
    EXPECT_EQ(Focus(), Cell(0, kSize));
    EXPECT_EQ(Cell(0, kSize)->text(), "abc");
}

TEST_F(SaveInterfaceTest, AValidationFaultBelowTheTenthRowPutsTheCursorIntoItsNameCell) {
    // A field of a type the layout has no name for loads without a type, which a save refuses.
    MakeTable(path, "W", [] {
        std::vector<FieldDef> fields;
        for (int i = 1; i <= 30; ++i) fields.push_back({"G" + std::to_string(i), dao::dbLong});
        fields[24] = {"PICTURE", dao::dbLongBinary};
        return fields;
    }());
    OpenTable(path, "W");
    ASSERT_EQ(W().CurRow, 0);
    prompts.Expect("データ種別が未入力です。");
    QTest::mouseClick(W().Image1[8], Qt::LeftButton);
    EXPECT_EQ(W().TopRow, 16);
    EXPECT_EQ(W().VScroll1->value(), 15);
    EXPECT_EQ(W().Label3[9]->text(), "  25");
    EXPECT_EQ(Focus(), Cell(9, kName));
    EXPECT_EQ(Cell(9, kName)->text(), "PICTURE");
    EXPECT_EQ(W().CurRow, 25);
}

TEST_F(SaveInterfaceTest, ARefusedGenuineFileSaysWhyAndTheLayoutStays) {
    const fs::path jet = fs::path(TESTDATA_DIR) / "jet" / "testV1997.mdb";
    if (!fs::exists(jet)) GTEST_SKIP() << "no Jet test files at " << jet.parent_path();
    const std::string copy = data.File("jet.mdb");
    fs::copy_file(jet, copy); // read-only, as the shared files are
    OpenTable(copy, "Table1");
    prompts.Expect("データベースまたはオブジェクトが読み取り専用なので、更新できません。");
    QTest::mouseClick(W().Image1[8], Qt::LeftButton);
    EXPECT_EQ(W().CurrentTable, "Table1");
}

// ---- The save question with the window's own save -------------------------------------------

TEST_F(SaveInterfaceTest, ChangingTableOrFileAsksAndYesSavesTheCellBeingTyped) {
    struct Case {
        const char* gesture;
        std::function<void()> act;
        const char* newName;
        const char* tableAfter;
    };
    const std::string other = data.File("other.mdb");
    MakeTable(other, "Z", TextFields({"Q"}));
    const Case cases[] = {
        {"double click on another table", [&] { DoubleClickTable("U"); }, "F03A", "U"},
        {"another file", [&] { OpenFile(other); }, "F03B", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gesture);
        OpenTable(path, "T");
        std::vector<std::string> expected = FieldNames(path, "T");
        expected[2] = c.newName;
        TypeInto(Cell(2, kName), c.newName, false);
        prompts.Expect(kSaveQuestion, vbYes);
        ExpectSaveCarryingRecords();
        c.act();
        EXPECT_EQ(prompts.Pending(), 0);
        EXPECT_EQ(FieldNames(path, "T"), expected);
        EXPECT_EQ(W().CurrentTable, c.tableAfter);
    }
    EXPECT_EQ(app.CurrentFile.FullPath, other);
    EXPECT_EQ(W().TableList.size(), 1u);
}

TEST_F(SaveInterfaceTest, ASaveThatFailsAtTheQuestionKeepsTheTableAndTheEdit) {
    // A duplicate name: the save shows the fault and the table change does not happen.
    TypeInto(Cell(2, kName), "CODE");
    prompts.Expect(kSaveQuestion, vbYes);
    prompts.Expect("同一フィールド名があります。");
    DoubleClickTable("U");
    ExpectTOpenUnchangedIn("double click");
    EXPECT_EQ(WorkName(3), "CODE");
    EXPECT_TRUE(W().CellEdited);
    EXPECT_EQ(Focus(), Cell(2, kName));
}

TEST_F(SaveInterfaceTest, ATypedTableNameOpensThatTableWhateverTheAnswer) {
    struct Case {
        int answer;
        std::vector<std::string> saved; // T in the file afterwards
        const char* table;
    };
    const Case cases[] = {
        {vbCancel, tFields, "T"},
        {vbNo, tFields, "U"},
        {vbYes, SavedFields(), "U"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        OpenPristineT();
        TypeInto(Cell(1, kName), "FULLNAME");
        prompts.Expect(kSaveQuestion, c.answer);
        if (c.answer == vbYes) ExpectSaveCarryingRecords();
        TypeInto(W().Text1[0], "U");
        EXPECT_EQ(prompts.Pending(), 0);
        EXPECT_EQ(FieldNames(path, "T"), c.saved);
        if (c.answer == vbCancel) {
            ExpectTOpenUnchangedIn("cancel");
            EXPECT_EQ(WorkName(2), "FULLNAME");
        } else {
            ExpectUOpen("enter");
        }
        EXPECT_EQ(Focus(), W().Text1[7]); // where Enter sent it
    }
}

TEST_F(SaveInterfaceTest, APendingTableNameIsSettledWithTheQuestionBeforeTheGridMovesOrSaves) {
    struct Case {
        const char* gesture;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"wheel over the grid", [&] { Wheel(W().Frame4, -1); }},
        {"scroll arrow", [&] { ClickScrollArrow(true); }},
        {"toolbar save", [&] { QTest::mouseClick(W().Image1[8], Qt::LeftButton); }},
        {"menu save", [&] { PickFromMenu(W().mnTable, W().mnTableSave[0]); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gesture);
        // Cancel: the box shows T again, and the layout stays as it was, unmoved and unsaved.
        OpenPristineT();
        RenameThenTypeTableU();
        prompts.Expect(kSaveQuestion, vbCancel);
        c.act();
        EXPECT_EQ(prompts.Pending(), 0);
        ExpectTOpenUnchangedIn(c.gesture);
        EXPECT_EQ(W().TopRow, 1);
        EXPECT_EQ(WorkName(2), "FULLNAME");

        // Yes: T is saved with the edit, then U opens, and the command does not go on with it.
        OpenPristineT();
        RenameThenTypeTableU();
        prompts.Expect(kSaveQuestion, vbYes);
        ExpectSaveCarryingRecords();
        c.act();
        EXPECT_EQ(prompts.Pending(), 0);
        EXPECT_EQ(FieldNames(path, "T"), SavedFields());
        ExpectUOpen(c.gesture);
        EXPECT_EQ(FieldNames(path, "U"), (std::vector<std::string>{"X", "Y"}));
        EXPECT_EQ(W().TopRow, 1);
        EXPECT_EQ(Focus(), W().Text1[7]);

        // No: T's edit is dropped, U opens.
        OpenPristineT();
        RenameThenTypeTableU();
        prompts.Expect(kSaveQuestion, vbNo);
        c.act();
        EXPECT_EQ(prompts.Pending(), 0);
        EXPECT_EQ(FieldNames(path, "T"), tFields);
        ExpectUOpen(c.gesture);
    }
}

// ---- End --------------------------------------------------------------------------------------

TEST_F(SaveInterfaceTest, EndCommitsTheCellBeingTypedAndAsksBeforeEnding) {
    struct Case {
        const char* gesture;
        std::function<void(TestWindow&)> end;
    };
    const Case cases[] = {
        {"menu", [&](TestWindow&) { PickFromMenu(W().mnFile, W().mnEnd); }},
        {"toolbar", [&](TestWindow& w) { QTest::mouseClick(w.Image1[0], Qt::LeftButton); }},
        {"close box", [&](TestWindow& w) { w.windowHandle()->close(); }},
    };
    for (const Case& c : cases) {
        for (int answer : {vbCancel, vbNo, vbYes}) {
            SCOPED_TRACE(std::string(c.gesture) + " answer " + std::to_string(answer));
            if (window->Ended()) {
                window.reset();
                window = std::make_unique<TestWindow>(app);
                ASSERT_TRUE(window->Form_Load());
                window->realSave = true;
                window->show();
                window->activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
            }
            OpenPristineT();
            TypePendingRename();
            prompts.Expect(kSaveQuestion, answer);
            if (answer == vbYes) ExpectSaveCarryingRecords();
            c.end(W());
            EXPECT_EQ(prompts.Pending(), 0);
            ASSERT_EQ(W().Ended(), answer != vbCancel);
            EXPECT_EQ(FieldNames(path, "T"), answer == vbYes ? SavedFields() : tFields);
            if (answer == vbCancel) {
                // The edit is kept, committed to the work table.
                EXPECT_TRUE(W().isVisible());
                EXPECT_EQ(WorkName(2), "FULLNAME");
                EXPECT_EQ(W().LayoutChanged, 9);
            }
        }
    }
}

TEST_F(SaveInterfaceTest, EndStopsOnAFaultOfTheCellBeingTyped) {
    TypeInto(Cell(1, kRepeat), "x", false);
    prompts.Expect("数字以外の文字が入力されています。");
    PickFromMenu(W().mnFile, W().mnEnd);
    EXPECT_FALSE(W().Ended());
    EXPECT_TRUE(W().isVisible());
    EXPECT_EQ(Focus(), Cell(1, kRepeat));
    EXPECT_EQ(Cell(1, kRepeat)->text(), "x");
    EXPECT_EQ(FieldNames(path, "T"), tFields);
}

} // namespace
