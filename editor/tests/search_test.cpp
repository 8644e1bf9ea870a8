// The search window driven as a user drives it: the commands of the main window, typing into its
// boxes, its buttons and lists, and what the grid and WKTBL show afterwards.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "engine/testing/fault_hook.h"
#include "forms/frmFieldEdit.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using namespace tavorin::grid;

namespace {

const QString kNotFound = "検索文字列がみつかりません。";
const QString kEnded = "検索が終了しました。";

// Buttons of the panels.
enum Button {
    kFind = 0,
    kCancel = 1,
    kToReplace = 2, // field names, search
    kFindR = 3,
    kCancelR = 4,
    kReplace = 5,
    kReplaceAll = 6, // field names, replace
    kTypeFind = 7,
    kTypeToReplace = 9, // types, search
    kTypeReplace = 12,
    kTypeReplaceAll = 13, // types, replace
};

// Rows of S: 1 ID (long), 2 ITEM_NO (text 10), 3 NO_NO (text 10), 4 Name (text 20),
// 5 NAME_KANA (text 40), 6 QTY (long), 7 PRICE (long), 8 ADDR (group of 2, text 20),
// 9 MEMO (memo), 10..14 F10..F14 (integer), 15 LAST_NO (long).
class SearchTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure()) return;
        path = data.File("search.mdb");
        std::vector<FieldDef> fields = {
            {"ID", dao::dbLong},       {"ITEM_NO", dao::dbText, 10},   {"NO_NO", dao::dbText, 10},
            {"Name", dao::dbText, 20}, {"NAME_KANA", dao::dbText, 40}, {"QTY", dao::dbLong},
            {"PRICE", dao::dbLong},    {"ADDR_01", dao::dbText, 20},   {"ADDR_02", dao::dbText, 20},
            {"MEMO", dao::dbMemo}};
        for (int i = 10; i <= 14; ++i) fields.push_back({"F" + std::to_string(i), dao::dbInteger});
        fields.push_back({"LAST_NO", dao::dbLong});
        MakeTable(path, "S", fields);
        std::vector<FieldDef> all;
        for (int i = 1; i <= 12; ++i)
            all.push_back({"F" + std::to_string(100 + i).substr(1), dao::dbText, 8});
        MakeTable(path, "ALLF", all);
        OpenTable(path, "S");
        ASSERT_EQ(W().LastRow, 15);
    }

    void TearDown() override {
        engine::SetWriteFaultHook(nullptr);
        WindowTest::TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    WorkRow Row(int n) {
        for (const WorkRow& row : WorkRows())
            if (row[0] == std::to_string(n)) return row;
        return {};
    }

    static bool WaitActive(QWidget* window) {
        return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
    }

    // Opens the window with the search or the replace command of the main window.
    frmFieldEdit* Open(bool replace = false) {
        if (QApplication::activeWindow() != &W()) {
            W().activateWindow();
            EXPECT_TRUE(WaitActive(&W()));
        }
        (replace ? W().mnFieldReplace : W().mnFieldSeach)->trigger();
        frmFieldEdit* fe = W().FieldEditWindow();
        EXPECT_NE(fe, nullptr);
        if (fe) {
            EXPECT_TRUE(WaitActive(fe));
        }
        return fe;
    }

    // Back in the main window: a click into a cell makes its row the row in edit.
    void ClickCell(int line, int column) {
        W().activateWindow();
        ASSERT_TRUE(WaitActive(&W()));
        QTest::mouseClick(Cell(line, column), Qt::LeftButton);
    }

    static void Press(frmFieldEdit* fe, int button) {
        QPushButton* b = fe->Command1[static_cast<size_t>(button)];
        ASSERT_TRUE(b->isVisible() && b->isEnabled()) << "button " << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    static void TypeSearch(QComboBox* box, const QString& text) {
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box, text);
    }

    static void Choose(QComboBox* box, int index) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < index; ++i) QTest::keyClick(box, Qt::Key_Down);
    }

    // Presses find next and gives the row of the hit, whose matched characters are selected in
    // its name cell; 0 when the walk ended with a message.
    int FindNext(frmFieldEdit* fe, int button = kFind) {
        const size_t messages = prompts.Shown().size();
        Press(fe, button);
        if (prompts.Shown().size() > messages || fe->HighlightLine < 0) return 0;
        EXPECT_TRUE(fe->Option1[1]->isChecked() ||
                    Cell(fe->HighlightLine, kName)->hasSelectedText());
        return W().TopRow + fe->HighlightLine;
    }

    std::string path;
};

TEST_F(SearchTest, TheCaseSwitchDecidesWhetherLetterCaseCounts) {
    frmFieldEdit* fe = Open();
    ASSERT_NE(fe, nullptr);
    EXPECT_EQ(fe->windowTitle(), "検索");
    EXPECT_TRUE(fe->Frame2[0]->isVisible());
    EXPECT_FALSE(fe->Command1[kFind]->isEnabled()); // nothing to search for yet
    TypeSearch(fe->Combo2[0], "Name");
    EXPECT_EQ(FindNext(fe), 4);
    EXPECT_EQ(Cell(3, kName)->selectedText(), "Name");
    EXPECT_EQ(FindNext(fe), 5);
    EXPECT_EQ(Cell(4, kName)->selectedText(), "NAME");
    EXPECT_EQ(Cell(4, kName)->selectionStart(), 0);
    EXPECT_FALSE(Cell(3, kName)->hasSelectedText()); // the previous hit lost its selection
    prompts.Expect(kEnded);
    EXPECT_EQ(FindNext(fe), 0);
    EXPECT_EQ(Focus(), fe->Combo2[0]);

    QTest::mouseClick(fe->Check1, Qt::LeftButton);
    ASSERT_TRUE(fe->Check1->isChecked());
    EXPECT_EQ(fe->CompareMode, 0);
    EXPECT_EQ(FindNext(fe), 4);
    prompts.Expect(kEnded);
    EXPECT_EQ(FindNext(fe), 0);
    TypeSearch(fe->Combo2[0], "name");
    prompts.Expect(kNotFound);
    EXPECT_EQ(FindNext(fe), 0);
}

TEST_F(SearchTest, UpwardsFromTheFirstRowFindsOnlyTheFirstRow) {
    ClickCell(0, kSize);
    frmFieldEdit* fe = Open();
    ASSERT_NE(fe, nullptr);
    Choose(fe->Combo1[0], 2);
    ASSERT_EQ(fe->Combo1[0]->currentText(), "上へ");
    TypeSearch(fe->Combo2[0], "NO");
    prompts.Expect(kNotFound);
    EXPECT_EQ(FindNext(fe), 0);

    ClickCell(0, kSize);
    fe = Open();
    TypeSearch(fe->Combo2[0], "ID");
    EXPECT_EQ(FindNext(fe), 1);
    prompts.Expect(kEnded);
    EXPECT_EQ(FindNext(fe), 0);

    // From row 3 upwards: 3 and 2, then the end.
    ClickCell(2, kName);
    fe = Open();
    ASSERT_EQ(fe->Combo1[0]->currentText(), "上へ");
    TypeSearch(fe->Combo2[0], "NO");
    EXPECT_EQ(FindNext(fe), 3);
    EXPECT_EQ(FindNext(fe), 2);
    EXPECT_EQ(Cell(1, kName)->selectionStart(), 5);
    prompts.Expect(kEnded);
    EXPECT_EQ(FindNext(fe), 0);
}

TEST_F(SearchTest, TheWholeTableFromRowFiveGoesRoundOnceAndRefillsTheGridForFarRows) {
    DoubleClickTable("ALLF");
    ClickCell(4, kName);
    ASSERT_EQ(W().CurRow, 5);
    frmFieldEdit* fe = Open();
    ASSERT_NE(fe, nullptr);
    ASSERT_EQ(fe->Combo1[0]->currentText(), "全体");
    TypeSearch(fe->Combo2[0], "f");
    std::vector<int> hits;
    prompts.Expect(kEnded);
    for (int i = 0; i < 13; ++i) {
        const int row = FindNext(fe);
        if (row == 0) break;
        hits.push_back(row);
        if (row == 11) {
            // Below the ten rows shown: the grid starts at the hit.
            EXPECT_EQ(W().TopRow, 11);
            EXPECT_EQ(W().VScroll1->value(), 10);
            EXPECT_EQ(W().Label3[0]->text(), "  11");
            EXPECT_EQ(Cell(0, kName)->selectedText(), "F");
        }
    }
    EXPECT_EQ(hits, (std::vector<int>{5, 6, 7, 8, 9, 10, 11, 12, 1, 2, 3, 4}));
    EXPECT_EQ(prompts.Pending(), 0);
    // The next press starts a new round at the same row.
    EXPECT_EQ(FindNext(fe), 5);
}

TEST_F(SearchTest, AHitBelowTheShownRowsRefillsTheGridAndTheRowInEditFollowsTheFocus) {
    ClickCell(1, kSize); // row 2 in edit, the focus in its size cell
    frmFieldEdit* fe = Open();
    ASSERT_NE(fe, nullptr);
    Choose(fe->Combo1[0], 1); // downwards
    TypeSearch(fe->Combo2[0], "LAST");
    EXPECT_EQ(FindNext(fe), 15);
    EXPECT_EQ(W().TopRow, 15);
    EXPECT_EQ(W().Label3[0]->text(), "  15");
    EXPECT_EQ(Cell(0, kName)->text(), "LAST_NO");
    EXPECT_EQ(Cell(0, kName)->selectedText(), "LAST");
    // The focused line now shows another row, which is the row in edit: typing there changes
    // the row it shows, never row 2.
    EXPECT_EQ(W().CurRow, 16);
    const WorkRow second = Row(2);
    W().activateWindow();
    ASSERT_TRUE(WaitActive(&W()));
    TypeInto(Cell(1, kName), "NEWROW");
    EXPECT_EQ(Row(16)[1], "NEWROW");
    EXPECT_EQ(Row(2), second);
}

TEST_F(SearchTest, ReplacingNoByCodeReplacesTheFirstMatchOfEachVisitedName) {
    ClickCell(0, kName);
    frmFieldEdit* fe = Open(true);
    ASSERT_NE(fe, nullptr);
    EXPECT_TRUE(fe->Frame2[1]->isVisible());
    Choose(fe->Combo1[1], 1); // downwards
    TypeSearch(fe->Combo2[1], "NO");
    EXPECT_FALSE(fe->Command1[kReplace]->isEnabled()); // no replacement yet
    TypeSearch(fe->Combo2[2], "CODE");
    // Row 1 does not match: the first press only finds.
    Press(fe, kReplace);
    EXPECT_EQ(Row(2)[1], "ITEM_NO");
    EXPECT_EQ(Cell(1, kName)->selectedText(), "NO");
    EXPECT_EQ(W().LayoutChanged, 0);
    Press(fe, kReplace);
    EXPECT_EQ(Row(2)[1], "ITEM_CODE");
    EXPECT_EQ(Cell(1, kName)->text(), "ITEM_CODE");
    EXPECT_EQ(W().LayoutChanged, 9);
    EXPECT_EQ(Cell(2, kName)->selectedText(), "NO"); // the next hit, NO_NO
    EXPECT_EQ(Cell(2, kName)->selectionStart(), 0);
    Press(fe, kReplace);
    EXPECT_EQ(Row(3)[1], "CODE_NO"); // only the first NO on that visit
    // The as-loaded name stays, so that a save carries the field's data over.
    EXPECT_EQ(Row(2)[12], "ITEM_NO");
    EXPECT_EQ(W().TopRow, 15); // LAST_NO is the next hit
    EXPECT_EQ(Cell(0, kName)->selectedText(), "NO");

    // The replacement counts as a change of the layout: leaving it asks.
    ClickCell(0, kSize);
    prompts.Expect("作業中のフォーマットは変更されています。保存しますか。", platform::vbNo);
    DoubleClickTable("ALLF");
    EXPECT_EQ(W().CurrentTable, "ALLF");
}

TEST_F(SearchTest, ATypeReplacedInAllRowsTakesItsDefaultSizeUntilTheEndQuestionIsRefused) {
    const std::vector<WorkRow> before = WorkRows();
    frmFieldEdit* fe = Open();
    ASSERT_NE(fe, nullptr);
    QTest::mouseClick(fe->Option1[1], Qt::LeftButton);
    ASSERT_TRUE(fe->Frame2[2]->isVisible());
    Choose(fe->Combo2[3], 4); // dbLong
    EXPECT_EQ(fe->Search().SearchText, "dbLong");
    // The hit shows as the coloured type box of its line.
    Press(fe, kTypeFind);
    EXPECT_EQ(W().Combo2[0]->palette().color(QPalette::Button),
              W().palette().color(QPalette::Button));
    EXPECT_EQ(W().Combo2[1]->palette().color(QPalette::Button), QColor(0xFF, 0xFF, 0x80));
    Press(fe, kTypeToReplace);
    ASSERT_TRUE(fe->Frame2[3]->isVisible());
    EXPECT_EQ(fe->Combo2[4]->currentText(), "dbLong");
    EXPECT_EQ(Focus(), fe->Combo2[4]);
    Choose(fe->Combo2[5], 9); // dbText

    const QString question = "検索が終了しました｡ 4個の項目を置換しました。";
    // While the question is up the grid shows what OK would keep.
    bool looked = false;
    prompts.Expect(question, platform::vbCancel, [&] {
        looked = true;
        EXPECT_EQ(W().Combo2[0]->currentText(), "dbText");
        EXPECT_EQ(Cell(0, kSize)->text(), "  50");
        EXPECT_EQ(W().Combo2[5]->currentText(), "dbText"); // QTY, row 6
    });
    Press(fe, kTypeReplaceAll);
    EXPECT_TRUE(looked);
    EXPECT_EQ(prompts.Shown().back().style & 0xF, platform::vbOKCancel);
    EXPECT_EQ(WorkRows(), before);
    EXPECT_EQ(W().Combo2[0]->currentText(), "dbLong");
    EXPECT_EQ(W().LayoutChanged, 0);

    prompts.Expect(question, platform::vbOK);
    Press(fe, kTypeReplaceAll);
    for (int row : {1, 6, 7, 15}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Row(row)[2], "dbText");
        EXPECT_EQ(Row(row)[3], "50");
        EXPECT_EQ(Row(row)[13], "dbLong"); // as loaded
    }
    EXPECT_EQ(Row(10)[2], "dbInteger");
    EXPECT_EQ(W().Combo2[0]->currentText(), "dbText");
    EXPECT_EQ(W().LayoutChanged, 9);
    // Nothing left to replace.
    prompts.Expect(kNotFound);
    Press(fe, kTypeReplaceAll);
}

TEST_F(SearchTest, AReplaceAllThatFailsPartWayLeavesTheLayoutAsItWas) {
    const std::vector<WorkRow> before = WorkRows();
    frmFieldEdit* fe = Open(true);
    ASSERT_NE(fe, nullptr);
    TypeSearch(fe->Combo2[1], "NO");
    TypeSearch(fe->Combo2[2], "CODE");
    // The engine refuses the second row.
    int updates = 0;
    engine::SetWriteFaultHook([&](std::string_view sql) {
        return sql.find("UPDATE") != std::string_view::npos &&
               sql.find("WKTBL") != std::string_view::npos && ++updates == 2;
    });
    prompts.ExpectAny();
    Press(fe, kReplaceAll);
    engine::SetWriteFaultHook(nullptr);
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; 3043"))
        << prompts.Shown()[0].text.toStdString();
    EXPECT_EQ(WorkRows(), before);
    EXPECT_EQ(Cell(1, kName)->text(), "ITEM_NO");
    EXPECT_EQ(W().LayoutChanged, 0);

    // A name the name cell would refuse stops the run the same way.
    TypeSearch(fe->Combo2[1], "_");
    TypeSearch(fe->Combo2[2], QString(53, 'X')); // NO_NO takes it (57 bytes), NAME_KANA not
    prompts.Expect("フィールド名称は 60バイト（全角 30文字）までです。");
    Press(fe, kReplaceAll);
    EXPECT_EQ(WorkRows(), before);

    // So does a type the repeat count refuses.
    QTest::mouseClick(fe->Option1[1], Qt::LeftButton);
    Choose(fe->Combo2[4], 9); // dbText: ITEM_NO, NO_NO, Name, NAME_KANA, then ADDR with "02"
    Choose(fe->Combo2[5], 0); // (ｵｰﾄﾅﾝﾊﾞ-)
    prompts.Expect("オートナンバー型のフィールドに繰り返しは指定できません。");
    Press(fe, kTypeReplaceAll);
    EXPECT_EQ(WorkRows(), before);
    EXPECT_EQ(W().Combo2[1]->currentText(), "dbText");
    EXPECT_EQ(W().LayoutChanged, 0);
}

TEST_F(SearchTest, TheHistoryHoldsEachTextOnceInTheOrderFirstUsed) {
    frmFieldEdit* fe = Open();
    ASSERT_NE(fe, nullptr);
    for (const char* text : {"NO", "ID", "NO", "Name", "ID"}) {
        TypeSearch(fe->Combo2[0], text);
        FindNext(fe);
    }
    auto items = [](QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
        return out;
    };
    EXPECT_EQ(items(fe->Combo2[0]), QStringList({"NO", "ID", "Name"}));
    EXPECT_EQ(items(fe->Combo2[1]), QStringList({"NO", "ID", "Name"}));
    // Switching to replace takes the text over and keeps the lists.
    Press(fe, kToReplace);
    EXPECT_TRUE(fe->Frame2[1]->isVisible());
    EXPECT_EQ(fe->Combo2[1]->currentText(), "ID");
    EXPECT_EQ(Focus(), fe->Combo2[1]);
    TypeSearch(fe->Combo2[2], "CODE");
    fe->Combo2[1]->setFocus(); // leaving the replacement box
    EXPECT_EQ(fe->Search().ReplaceText, "CODE");
    EXPECT_EQ(items(fe->Combo2[2]), QStringList({"CODE"}));

    // Cancel hides the window and keeps the lists; the close box unloads it.
    Press(fe, kCancelR);
    EXPECT_FALSE(fe->isVisible());
    fe = Open();
    ASSERT_NE(fe, nullptr);
    EXPECT_EQ(items(fe->Combo2[0]), QStringList({"NO", "ID", "Name"}));
    fe->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(W().FieldEditWindow(), nullptr);
    fe = Open();
    ASSERT_NE(fe, nullptr);
    EXPECT_EQ(fe->Combo2[0]->count(), 0);
}

TEST_F(SearchTest, SelectedTextOfAFieldNameCellIsOfferedAsTheSearchText) {
    ClickCell(1, kName);
    Cell(1, kName)->setSelection(0, 4);
    frmFieldEdit* fe = Open();
    ASSERT_NE(fe, nullptr);
    EXPECT_EQ(fe->Combo2[0]->currentText(), "ITEM");
    EXPECT_EQ(FindNext(fe), 2);
    // Cancel puts the focus on the name cell of the hit's line.
    ClickCell(5, kName);
    fe = Open();
    TypeSearch(fe->Combo2[0], "PRICE");
    EXPECT_EQ(FindNext(fe), 7);
    Press(fe, kCancel);
    ASSERT_TRUE(WaitActive(&W()));
    EXPECT_EQ(Focus(), Cell(6, kName));
    EXPECT_EQ(W().CurRow, 7);

    // Text selected elsewhere is not offered.
    ClickCell(1, kDescription);
    Cell(1, kDescription)->setText("ITEM");
    Cell(1, kDescription)->selectAll();
    fe = Open();
    EXPECT_EQ(fe->Combo2[0]->currentText(), "");
    EXPECT_FALSE(fe->Command1[kFind]->isEnabled());
}

TEST_F(SearchTest, WhatIsTypedInTheGridIsCommittedBeforeAReplacementAndAFaultStopsIt) {
    ClickCell(1, kSize);
    frmFieldEdit* fe = Open(true);
    ASSERT_NE(fe, nullptr);
    TypeSearch(fe->Combo2[1], "ITEM");
    TypeSearch(fe->Combo2[2], "GOODS");
    // A size typed into row 2 and not left: the replace command commits it, a fault stops it.
    ClickCell(1, kSize);
    TypeText(Cell(1, kSize), "abc");
    prompts.Expect("数字以外の文字が入力されています。");
    W().mnFieldReplace->trigger();
    EXPECT_EQ(prompts.Pending(), 0);
    EXPECT_EQ(QApplication::activeWindow(), &W());
    EXPECT_EQ(Focus(), Cell(1, kSize));
    Cell(1, kSize)->selectAll();
    TypeText(Cell(1, kSize), "12");
    // Back in the search window with "12" still being typed.
    fe->activateWindow();
    ASSERT_TRUE(WaitActive(fe));
    EXPECT_EQ(fe->Combo2[1]->currentText(), "ITEM");
    prompts.Expect(kEnded);
    Press(fe, kReplace); // row 2 is the current row and matches
    EXPECT_EQ(Row(2)[1], "GOODS_NO");
    EXPECT_EQ(Row(2)[3], "12");
    // The row in edit took the replacement: editing it again keeps the new name.
    ClickCell(1, kSize);
    TypeInto(Cell(1, kSize), "15");
    EXPECT_EQ(Row(2)[1], "GOODS_NO");
    EXPECT_EQ(Row(2)[3], "15");

    // A faulty cell stops a replacement with its message.
    ClickCell(2, kSize);
    TypeText(Cell(2, kSize), "x");
    fe->activateWindow();
    ASSERT_TRUE(WaitActive(fe));
    TypeSearch(fe->Combo2[1], "NO");
    prompts.Expect("数字以外の文字が入力されています。");
    Press(fe, kReplace);
    EXPECT_EQ(Row(3)[1], "NO_NO");
    EXPECT_EQ(prompts.Pending(), 0);
    // Cancel commits what is typed too, and a fault keeps the window.
    ClickCell(2, kSize);
    Cell(2, kSize)->selectAll();
    TypeText(Cell(2, kSize), "z");
    fe->activateWindow();
    ASSERT_TRUE(WaitActive(fe));
    prompts.Expect("数字以外の文字が入力されています。");
    Press(fe, kCancelR);
    EXPECT_EQ(prompts.Pending(), 0);
    EXPECT_TRUE(fe->isVisible());
    // Cancelled again, the cell is left as a user leaves it: it shows its stored value.
    Press(fe, kCancelR);
    EXPECT_FALSE(fe->isVisible());
    ASSERT_TRUE(WaitActive(&W()));
    EXPECT_EQ(Cell(2, kSize)->text(), "  10");
    EXPECT_EQ(Focus(), Cell(fe->HitLine, kName));

    // The close box never refuses: a size being typed keeps the focus, uncommitted.
    fe = Open(true);
    ClickCell(2, kSize);
    Cell(2, kSize)->selectAll();
    TypeText(Cell(2, kSize), "w");
    fe->activateWindow();
    ASSERT_TRUE(WaitActive(fe));
    fe->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(W().FieldEditWindow(), nullptr);
    ASSERT_TRUE(WaitActive(&W()));
    EXPECT_EQ(Focus(), Cell(2, kSize));
    EXPECT_EQ(Cell(2, kSize)->text(), "w");
    EXPECT_EQ(Row(3)[3], "10");
    TypeInto(Cell(2, kSize), "20");
    EXPECT_EQ(Row(3)[3], "20");
}

} // namespace
