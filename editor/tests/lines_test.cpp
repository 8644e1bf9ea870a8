// Line editing driven as a user does it: a click on a row label, the pop-up menu on it (or the
// menu bar), and the rows of WKTBL and the grid that result.
#include <QMenu>
#include <QMenuBar>

#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using namespace tavorin::grid;

namespace {

const QString kNotDigits = "数字以外の文字が入力されています。";

// Rows 1..5 of T: CODE (text 10, primary key 1A, "コード"), NAME (text 40, "名前"), ADDR (group
// of 2, text 20, "住所"), QTY (long), NOTE (memo).
class LinesTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure()) return;
        path = data.File("lines.mdb");
        MakeTable(path, "T",
                  {{"CODE", dao::dbText, 10, 0, "コード"},
                   {"NAME", dao::dbText, 40, 0, "名前"},
                   {"ADDR_01", dao::dbText, 20, 0, "住所"},
                   {"ADDR_02", dao::dbText, 20},
                   {"QTY", dao::dbLong},
                   {"NOTE", dao::dbMemo}},
                  {{"PrimaryKey", true, true, {{"CODE", false}}}});
        std::vector<FieldDef> wide;
        for (int i = 1; i <= 15; ++i)
            wide.push_back({"F" + std::to_string(100 + i).substr(1), dao::dbText, 10});
        MakeTable(path, "WIDE", wide);
        OpenTable(path, "T");
        ASSERT_EQ(W().LastRow, 5);
    }

    WorkRow Row(int n) {
        for (const WorkRow& row : WorkRows())
            if (row[0] == std::to_string(n)) return row;
        return {};
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const WorkRow& row : WorkRows()) names.push_back(row[0] + ":" + row[1]);
        return names;
    }

    void ClickLabel(int line, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(W().Label3[static_cast<size_t>(line)], button);
    }

    // A right click on the label of line and a click on command in the pop-up menu it opens.
    void RunFromPopup(int line, QAction* command) {
        ClickLabel(line, Qt::RightButton);
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_EQ(popup, W().mnLineEdit) << "no line-editing menu at the label";
        ASSERT_TRUE(command->isEnabled()) << command->objectName().toStdString();
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(command).center());
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }

    // The line commands enabled on screen, in menu order.
    QStringList Offered() {
        QStringList names;
        for (QAction* command : {W().mnLineCut, W().mnLineCopy, W().mnLinePast, W().mnLineDel,
                                 W().mnLineInsert, W().mnLineMove})
            if (command->isEnabled()) names << command->objectName();
        return names;
    }

    std::string path;
};

WorkRow Expected(std::initializer_list<const char*> columns) {
    WorkRow row;
    for (const char* c : columns) row.emplace_back(c);
    return row;
}

const WorkRow kCodeRow = Expected({"1", "CODE", "dbText", "10", "", " 1A", "", "", "", "", "",
                                   "コード", "CODE", "dbText", "10", ""});
const WorkRow kNameRow = Expected(
    {"2", "NAME", "dbText", "40", "", "", "", "", "", "", "", "名前", "NAME", "dbText", "40", ""});
const WorkRow kAddrRow = Expected({"3", "ADDR", "dbText", "20", "02", "", "", "", "", "", "",
                                   "住所", "ADDR", "dbText", "20", "02"});

WorkRow Numbered(WorkRow row, int number) {
    row[0] = std::to_string(number);
    return row;
}

TEST_F(LinesTest, NoCommandIsOfferedUntilARowLabelIsClicked) {
    EXPECT_TRUE(Offered().isEmpty());
    ClickLabel(1);
    EXPECT_EQ(W().CurRow, 2);
    EXPECT_EQ(W().Label3[1]->palette().color(QPalette::Window),
              W().Label3[1]->palette().color(QPalette::Highlight));
    EXPECT_EQ(Offered(),
              QStringList({"mnLineCut", "mnLineCopy", "mnLineDel", "mnLineInsert", "mnLineMove"}));
    // The focus follows to the row's line, so that typing goes to the selected row.
    EXPECT_EQ(Focus(), Cell(1, kName));
    // The label explains itself.
    EXPECT_EQ(W().Label3[4]->toolTip(), "ｸﾘｯｸで行番を選択後、右ｸﾘｯｸで行の編集ﾒﾆｭｰが表示されます。");
}

TEST_F(LinesTest, AMovedRowWaitsOnTheClipboardWithItsOldFieldUntilPastedOnce) {
    ClickLabel(1);
    RunFromPopup(1, W().mnLineMove);
    EXPECT_TRUE(Row(2).empty());
    EXPECT_EQ(W().Label3[1]->text(), "   2");
    EXPECT_TRUE(Cell(1, kName)->text().isEmpty());
    EXPECT_EQ(W().LastLineEdit, 6);
    EXPECT_EQ(W().LayoutChanged, 9);
    EXPECT_EQ(Focus(), Cell(1, kName));

    // Another row: only paste, delete and insert until the moved row is pasted.
    ClickLabel(3);
    EXPECT_EQ(Offered(), QStringList({"mnLinePast", "mnLineDel", "mnLineInsert"}));
    // An empty line: only paste.
    ClickLabel(6);
    EXPECT_EQ(Offered(), QStringList({"mnLinePast"}));
    RunFromPopup(6, W().mnLinePast);
    // Pasted whole: keys, description and the old field its data comes from.
    EXPECT_EQ(Row(7), Numbered(kNameRow, 7));
    EXPECT_EQ(W().LastRow, 7);
    EXPECT_EQ(Cell(6, kName)->text(), "NAME");
    EXPECT_EQ(W().LastLineEdit, 0);
    // Pasted once: nothing left to paste.
    ClickLabel(5);
    EXPECT_TRUE(Offered().isEmpty());
    ClickLabel(3);
    EXPECT_EQ(Offered(),
              QStringList({"mnLineCut", "mnLineCopy", "mnLineDel", "mnLineInsert", "mnLineMove"}));
}

TEST_F(LinesTest, ACopiedRowIsPastedAsANewFieldWithoutKeysDescriptionOrOldField) {
    struct Case {
        int line;
        WorkRow pasted; // as pasted on row 7
    };
    const Case cases[] = {
        {0,
         Expected({"7", "CODE", "dbText", "10", "", "", "", "", "", "", "", "", "", "", "0", ""})},
        {2, Expected(
                {"7", "ADDR", "dbText", "20", "02", "", "", "", "", "", "", "", "", "", "0", ""})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::vector<WorkRow> before = WorkRows();
        ClickLabel(c.line);
        RunFromPopup(c.line, W().mnLineCopy);
        EXPECT_EQ(WorkRows(), before);
        EXPECT_EQ(W().LastLineEdit, 2);
        ClickLabel(6);
        RunFromPopup(6, W().mnLinePast);
        EXPECT_EQ(Row(7), c.pasted);
        EXPECT_EQ(Cell(6, kName)->text(), QString::fromStdString(c.pasted[1]));
        EXPECT_TRUE(Cell(6, kPrimaryKey)->text().isEmpty());
        // A copied row can be pasted again.
        ClickLabel(7);
        RunFromPopup(7, W().mnLinePast);
        EXPECT_EQ(Row(8), Numbered(c.pasted, 8));
    }
    EXPECT_EQ(Row(1), kCodeRow);
    EXPECT_EQ(Row(3), kAddrRow);
}

TEST_F(LinesTest, InsertMovesTheRowsFromTheLineDownAndNeverActsAfterTheLastRow) {
    // The line after the last row: nothing to insert before.
    ClickLabel(5);
    EXPECT_FALSE(W().mnLineInsert->isEnabled());
    const std::vector<WorkRow> before = WorkRows();
    W().mnLineInsert_Click();
    EXPECT_EQ(WorkRows(), before);
    EXPECT_EQ(W().LastRow, 5);

    ClickLabel(2);
    RunFromPopup(2, W().mnLineInsert);
    EXPECT_EQ(Names(), (std::vector<std::string>{"1:CODE", "2:NAME", "4:ADDR", "5:QTY", "6:NOTE"}));
    EXPECT_EQ(Row(4), Numbered(kAddrRow, 4));
    EXPECT_EQ(W().LastRow, 6);
    EXPECT_EQ(W().VScroll1->maximum(), 5);
    EXPECT_EQ(W().Label3[2]->text(), "   3");
    EXPECT_TRUE(Cell(2, kName)->text().isEmpty());
    EXPECT_EQ(W().Combo2[2]->currentIndex(), -1);
    EXPECT_EQ(W().Label3[3]->text(), "   4");
    EXPECT_EQ(Cell(3, kName)->text(), "ADDR");
    EXPECT_EQ(Cell(3, kRepeat)->text(), "02");
    EXPECT_EQ(Focus(), Cell(2, kName));
    // The new line takes a new field.
    TypeInto(Cell(2, kName), "KANA");
    EXPECT_EQ(Row(3),
              Expected({"3", "KANA", "", "0", "", "", "", "", "", "", "", "", "", "", "0", ""}));
}

TEST_F(LinesTest, DeleteLeavesAnEmptyNumberedLineThatTakesANewField) {
    ClickLabel(1);
    RunFromPopup(1, W().mnLineDel);
    EXPECT_EQ(Names(), (std::vector<std::string>{"1:CODE", "3:ADDR", "4:QTY", "5:NOTE"}));
    EXPECT_EQ(W().LastRow, 5);
    EXPECT_EQ(W().Label3[1]->text(), "   2");
    EXPECT_TRUE(Cell(1, kName)->text().isEmpty());
    EXPECT_TRUE(Cell(1, kDescription)->text().isEmpty());
    EXPECT_EQ(Focus(), Cell(1, kName));
    // Typing there starts a new field: nothing of the deleted row comes back with it.
    TypeInto(Cell(1, kName), "NEW2");
    EXPECT_EQ(Row(2),
              Expected({"2", "NEW2", "", "0", "", "", "", "", "", "", "", "", "", "", "0", ""}));

    // Deleting the last row: the row count is the last row left.
    ClickLabel(4);
    RunFromPopup(4, W().mnLineDel);
    EXPECT_EQ(W().LastRow, 4);
    EXPECT_EQ(W().VScroll1->maximum(), 3);
    // A cut row leaves its line the same way, and waits to be pasted without its keys.
    ClickLabel(0);
    RunFromPopup(0, W().mnLineCut);
    EXPECT_TRUE(Row(1).empty());
    EXPECT_EQ(W().Label3[0]->text(), "   1");
    ClickLabel(4);
    RunFromPopup(4, W().mnLinePast);
    EXPECT_EQ(Row(5), Expected({"5", "CODE", "dbText", "10", "", "", "", "", "", "", "", "", "", "",
                                "0", ""}));
}

TEST_F(LinesTest, AMoveAcrossTheShownRowsKeepsTheOldFieldOfTheRow) {
    DoubleClickTable("WIDE");
    ASSERT_EQ(W().LastRow, 15);
    const WorkRow second = Row(2);
    ASSERT_EQ(second[12], "F02");
    ClickLabel(1);
    RunFromPopup(1, W().mnLineMove);
    W().VScroll1->triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_EQ(W().TopRow, 15);
    EXPECT_EQ(W().Label3[1]->text(), "  16");
    ClickLabel(1);
    RunFromPopup(1, W().mnLinePast);
    EXPECT_EQ(Row(16), Numbered(second, 16));
    EXPECT_TRUE(Row(2).empty());
    EXPECT_EQ(W().LastRow, 16);
    EXPECT_EQ(W().TopRow, 15);
    EXPECT_EQ(Cell(1, kName)->text(), "F02");
    EXPECT_EQ(Focus(), Cell(1, kName));
}

TEST_F(LinesTest, TheCellBeingTypedIsCommittedFirstAndAFaultyOneStopsTheClick) {
    TypeInto(Cell(0, kName), "CODE2", false);
    ClickLabel(0, Qt::RightButton); // the pop-up opens once the cell is stored
    QApplication::activePopupWidget()->close();
    EXPECT_EQ(Row(1)[1], "CODE2");
    EXPECT_EQ(W().LayoutChanged, 9);

    // A command of the menu bar commits as well.
    ClickLabel(0);
    TypeInto(Cell(0, kName), "CODE3", false);
    ASSERT_TRUE(W().mnLineCopy->isEnabled());
    W().mnLineCopy->trigger();
    EXPECT_EQ(Row(1)[1], "CODE3");
    ClickLabel(6);
    RunFromPopup(6, W().mnLinePast);
    EXPECT_EQ(Row(7).at(1), "CODE3");

    // A faulty cell keeps the row in edit and the focus.
    TypeInto(Cell(1, kSize), "abc", false);
    prompts.Expect(kNotDigits);
    ClickLabel(3);
    EXPECT_EQ(prompts.Pending(), 0);
    EXPECT_EQ(W().CurRow, 2);
    EXPECT_EQ(Focus(), Cell(1, kSize));
    EXPECT_EQ(Cell(1, kSize)->text(), "abc");
    TypeInto(Cell(1, kSize), "30");
    EXPECT_EQ(Row(2)[3], "30");
}

TEST_F(LinesTest, TheMenuBarAndItsKeysRunTheSameCommands) {
    ClickLabel(3);
    QTest::keyClick(Focus(), Qt::Key_E, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_EQ(menu, W().mnLineEdit);
    QTest::keyClick(menu, Qt::Key_D); // "１行削除(&D)"
    EXPECT_TRUE(Row(4).empty());
    EXPECT_EQ(Names(), (std::vector<std::string>{"1:CODE", "2:NAME", "3:ADDR", "5:NOTE"}));
}

// A label once highlighted shows its number again in the normal colours when the grid moves or
// is cleared.
TEST_F(LinesTest, RowLabelsGetTheirTextColourBackWhenTheGridIsRefilled) {
    DoubleClickTable("WIDE");
    auto plain = [&] {
        for (QLabel* label : W().Label3) {
            if (label->palette().color(QPalette::Window) !=
                    label->palette().color(QPalette::Button) ||
                label->palette().color(QPalette::WindowText) !=
                    label->palette().color(QPalette::ButtonText))
                return label->objectName().toStdString();
        }
        return std::string();
    };
    ClickLabel(3);
    QTest::mouseClick(W().Text1[7], Qt::LeftButton); // the row stays in edit, the focus leaves
    ASSERT_EQ(W().Label3[3]->palette().color(QPalette::WindowText),
              W().Label3[3]->palette().color(QPalette::HighlightedText));
    W().VScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_EQ(W().TopRow, 11);
    EXPECT_EQ(plain(), "");

    W().VScroll1->triggerAction(QAbstractSlider::SliderToMinimum);
    ClickLabel(2);
    DoubleClickTable("T"); // the layout is cleared and loaded anew
    EXPECT_EQ(W().Label3[2]->text(), "   3");
    EXPECT_EQ(plain(), "");
}

} // namespace
