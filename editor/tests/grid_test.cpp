// The layout grid driven as a user does: every cell rule and its message, the commit of a cell
// when it loses the focus or the grid scrolls, type choices, and the keyboard navigation.
#include <QDialog>
#include <QGroupBox>
#include <QTimer>

#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using namespace tavorin::grid;

namespace {

const QString kNoType = "データ種別が未入力です。";
const QString kNotDigits = "数字以外の文字が入力されています。";
const QString kNameTooLong = "フィールド名称は 60バイト（全角 30文字）までです。";
const QString kDescriptionTooLong = "フィールドの備考は 255バイト（全角 127文字）までです。";

std::string Repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

// Rows 1..6: CODE (text 10, primary key 1A), NAME (text 40), QTY (long), ID (auto-number),
// ADDR (group of 3, text 20), MEMO (memo); rows 7..25: F07..F25 (integer).
class GridTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure()) return;
        path = data.File("grid.mdb");
        std::vector<FieldDef> fields = {
            {"CODE", dao::dbText, 10},    {"NAME", dao::dbText, 40},
            {"QTY", dao::dbLong},         {"ID", dao::dbLong, 0, dao::dbAutoIncrField},
            {"ADDR_01", dao::dbText, 20}, {"ADDR_02", dao::dbText, 20},
            {"ADDR_03", dao::dbText, 20}, {"MEMO", dao::dbMemo}};
        for (int i = 7; i <= 25; ++i)
            fields.push_back({(i < 10 ? "F0" : "F") + std::to_string(i), dao::dbInteger});
        MakeTable(path, "T", fields, {{"PrimaryKey", true, true, {{"CODE", false}}}});
        OpenTable(path, "T");
        ASSERT_EQ(W().LastRow, 25);
    }

    // The work row numbered n (empty when there is none).
    WorkRow Row(int n) {
        for (const WorkRow& row : WorkRows())
            if (row[0] == std::to_string(n)) return row;
        return {};
    }

    std::string path;
};

// ---- Cell rules --------------------------------------------------------------------------------

struct CellCase {
    int line; // rows 1..10 are on lines 0..9
    int column;
    const char* typed;
    QString message; // empty: accepted
    int storedColumn;
    const char* stored; // the work row's value afterwards
};

TEST_F(GridTest, CellRulesStoreTheCheckedValueOrShowOneMessageAndKeepTheText) {
    // Names and descriptions are measured in code page 932 bytes, as the work table holds them.
    const std::string name60(60, 'N'), name61(61, 'N'), wideName62 = Repeated("長", 31);
    const std::string text255 = Repeated("備", 127) + "x", text256(256, 'x');
    const std::string wideText256 = Repeated("備", 128);
    const CellCase cases[] = {
        // Size of a text field.
        {1, kSize, "300", "テキストタイプのサイズは最大　'255'　です。", 3, "40"},
        {1, kSize, "abc", kNotDigits, 3, "40"},
        {1, kSize, "１２", kNotDigits, 3, "40"},
        {1, kSize, "", "", 3, "50"},
        {1, kSize, "255", "", 3, "255"},
        // Other types keep their size.
        {2, kSize, "99", "", 3, "4"},
        // Repeat count.
        {2, kRepeat, "0", "", 4, ""},
        {2, kRepeat, "100", "配列は　１次元で９９までです。", 4, ""},
        {2, kRepeat, "x", kNotDigits, 4, ""},
        {2, kRepeat, "05", "", 4, "05"},
        {2, kRepeat, "007", "", 4, "7"},
        {2, kRepeat, "00", "", 4, ""},
        {3, kRepeat, "2", "オートナンバー型のフィールドに繰り返しは指定できません。", 4, ""},
        {3, kRepeat, "", "", 4, ""},
        // Key entries.
        {1, kPrimaryKey, "3a", "", 5, " 3a"},
        {1, kPrimaryKey, "a", "キー順位が指定されていません。", 5, " 3a"},
        {1, kPrimaryKey, "21A", "キー順位は 20までです。", 5, " 3a"},
        {1, kPrimaryKey, "3X", "ソート種別は 'A'　又は 'D'　です。", 5, " 3a"},
        {1, kPrimaryKey, "0", "", 5, ""},
        {1, kPrimaryKey + 5, "12 d", "", 10, "12d"},
        {1, kPrimaryKey + 2, "7", "", 7, " 7"},
        {4, kPrimaryKey, "1A", "繰返しを指定したフィールドはキー指定できません。", 5, ""},
        // Name and description, within what the work table holds.
        {1, kName, name61.c_str(), kNameTooLong, 1, "NAME"},
        {1, kName, wideName62.c_str(), kNameTooLong, 1, "NAME"},
        {1, kName, name60.c_str(), "", 1, name60.c_str()},
        {1, kName, " 氏名 ", "", 1, "氏名"},
        {1, kName, "", "フィールド名称は省略できません。", 1, "氏名"},
        {1, kDescription, "顧客の名前", "", 11, "顧客の名前"},
        {1, kDescription, text256.c_str(), kDescriptionTooLong, 11, "顧客の名前"},
        {1, kDescription, wideText256.c_str(), kDescriptionTooLong, 11, "顧客の名前"},
        {1, kDescription, text255.c_str(), "", 11, text255.c_str()},
        // A refused value left nothing behind: the row's next commit goes through.
        {1, kSize, "30", "", 3, "30"},
    };
    for (const CellCase& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " in line " + std::to_string(c.line) + " column " +
                     std::to_string(c.column));
        prompts.Clear();
        if (!c.message.isEmpty()) prompts.Expect(c.message);
        QLineEdit* cell = Cell(c.line, c.column);
        TypeInto(cell, QString::fromUtf8(c.typed));
        EXPECT_EQ(prompts.Shown().size(), c.message.isEmpty() ? 0u : 1u);
        EXPECT_EQ(Row(c.line + 1)[static_cast<size_t>(c.storedColumn)], c.stored);
        if (!c.message.isEmpty()) {
            // The focus is back in the cell with what was typed.
            EXPECT_EQ(Focus(), cell);
            EXPECT_EQ(cell->text(), QString::fromUtf8(c.typed));
            // Leaving it unchanged shows the stored value again.
            QTest::mouseClick(W().Text1[7], Qt::LeftButton);
        }
        EXPECT_NE(Focus(), cell);
        EXPECT_EQ(W().LayoutChanged, 9);
        EXPECT_TRUE(prompts.Unexpected().isEmpty())
            << prompts.Unexpected().join("\n").toStdString();
    }
    // Shown values are in the display form.
    EXPECT_EQ(Cell(1, kSize)->text(), "  30");
    EXPECT_EQ(Cell(1, kPrimaryKey + 5)->text(), "12d");
    EXPECT_EQ(Cell(1, kName)->text(), "氏名");
}

TEST_F(GridTest, SizeAndRepeatOfARowWithoutATypeSendTheFocusToTheTypeBox) {
    W().VScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd); // rows 11..20
    W().VScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd); // rows 21..30
    ASSERT_EQ(W().TopRow, 21);
    for (int column : {kSize, kRepeat}) {
        prompts.Expect(kNoType);
        TypeInto(Cell(5, column), "10"); // row 26, the first empty one
        EXPECT_EQ(Focus(), W().Combo2[5]);
        EXPECT_TRUE(Row(26).empty());
    }
}

TEST_F(GridTest, AnEmptyNameOnAnEmptyRowStoresNothing) {
    W().VScroll1->triggerAction(QAbstractSlider::SliderToMaximum); // row 25 on line 0
    ASSERT_EQ(W().TopRow, 25);
    TypeInto(Cell(3, kName), "x");
    TypeInto(Cell(3, kName), "");
    EXPECT_TRUE(prompts.Shown().empty());
    EXPECT_EQ(Row(28)[1], "x"); // stored with its first name, the empty one is not stored
    TypeInto(Cell(4, kName), "");
    EXPECT_TRUE(Row(29).empty());
    EXPECT_EQ(W().LastRow, 28);
}

TEST_F(GridTest, ANameOnANewRowTakesTheDefaultTypeAndMovesOn) {
    W().VScroll1->triggerAction(QAbstractSlider::SliderToMaximum);
    struct Case {
        const char* type;
        int nextColumn;
        const char* size;
    };
    const Case cases[] = {
        {"dbText", kSize, "50"}, {"dbLong", kRepeat, "4"}, {"", kDescription, ""}};
    int line = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        app.Defaults.DefaultType = c.type;
        TypeInto(Cell(line, kName), "NEW");
        const WorkRow row = Row(25 + line);
        ASSERT_FALSE(row.empty());
        EXPECT_EQ(row[1], "NEW");
        EXPECT_EQ(row[2], c.type);
        EXPECT_EQ(row[3], *c.size ? c.size : "0");
        EXPECT_EQ(W().Combo2[line]->currentText(), c.type);
        // Without a default type, Enter goes on to the type box.
        QWidget* expected =
            *c.type ? static_cast<QWidget*>(Cell(line, c.nextColumn)) : W().Combo2[line];
        EXPECT_EQ(Focus(), expected);
        ++line;
    }
    // An existing row keeps its type.
    W().VScroll1->triggerAction(QAbstractSlider::SliderToMinimum);
    app.Defaults.DefaultType = "dbText";
    TypeInto(Cell(2, kName), "AMOUNT");
    EXPECT_EQ(Row(3)[2], "dbLong");
    EXPECT_EQ(Focus(), W().Combo2[2]);
}

// ---- Type boxes --------------------------------------------------------------------------------

TEST_F(GridTest, ChoosingATypeSetsItsDefaultSizeAndSkipsTheSizeCellUnlessText) {
    // dbMemo is the last entry of the list.
    QTest::mouseClick(Cell(1, kName), Qt::LeftButton);
    QTest::keyClick(Cell(1, kName), Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(Focus(), W().Combo2[1]);
    QTest::keyClick(W().Combo2[1], Qt::Key_End);
    EXPECT_EQ(Row(2)[2], "dbMemo");
    EXPECT_EQ(Row(2)[3], "0");
    EXPECT_EQ(Cell(1, kSize)->text(), "    ");
    EXPECT_EQ(Focus(), Cell(1, kRepeat));
    EXPECT_EQ(W().LayoutChanged, 9);

    W().Combo2[1]->setFocus();
    QTest::keyClick(W().Combo2[1], Qt::Key_Up); // dbText
    EXPECT_EQ(Row(2)[2], "dbText");
    EXPECT_EQ(Row(2)[3], "50");
    EXPECT_EQ(Cell(1, kSize)->text(), "50"); // in its edit form: it has the focus
    EXPECT_EQ(Focus(), Cell(1, kSize));

    QTest::mouseClick(Cell(2, kName), Qt::LeftButton);
    QTest::keyClick(Cell(2, kName), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(W().Combo2[2], Qt::Key_Home); // the auto-number
    EXPECT_EQ(Row(3)[2], "(ｵｰﾄﾅﾝﾊﾞ-)");
    EXPECT_EQ(Row(3)[3], "4");
    EXPECT_EQ(Focus(), Cell(2, kRepeat));
}

TEST_F(GridTest, EnterInATypeBoxFillsTheDefaultTypeOfARowWithoutOne) {
    W().VScroll1->triggerAction(QAbstractSlider::SliderToMaximum);
    TypeInto(Cell(1, kName), "NEW"); // no default type yet: on to the type box
    ASSERT_EQ(Focus(), W().Combo2[1]);
    app.Defaults.DefaultType = "dbText";
    QTest::keyClick(W().Combo2[1], Qt::Key_Return);
    EXPECT_EQ(Row(26)[2], "dbText");
    EXPECT_EQ(Row(26)[3], "50");
    EXPECT_EQ(W().Combo2[1]->currentText(), "dbText");
    EXPECT_EQ(Focus(), Cell(1, kSize));
    // With a type, Enter only moves on.
    W().Combo2[1]->setFocus();
    QTest::keyClick(W().Combo2[1], Qt::Key_Enter);
    EXPECT_EQ(Focus(), Cell(1, kSize));
}

// ---- Navigation ------------------------------------------------------------------------------

TEST_F(GridTest, EnterMovesThroughTheHeaderAndTheGrid) {
    // Enter in the table name box loads the table again and goes on to its description.
    W().Text1[0]->setFocus();
    QTest::keyClick(W().Text1[0], Qt::Key_Return);
    EXPECT_EQ(Focus(), W().Text1[7]);
    EXPECT_EQ(W().CurrentTable, "T");
    W().Text1[4]->clear();
    W().Text1[6]->clear();
    struct Case {
        QWidget* from;
        QWidget* to;
    };
    const Case cases[] = {
        {W().Text1[7], W().Text1[1]},
        {W().Text1[1], W().Combo1[0]},
        {W().Combo1[0], W().Text1[2]},
        {W().Text1[4], W().Text1[5]}, // an empty index name skips its duplicates box
        {W().Text1[6], Cell(0, kName)},
        {W().Combo1[5], W().Text1[7]},
        {Cell(2, kName), W().Combo2[2]},
        {W().Combo2[2], Cell(2, kRepeat)}, // dbLong: past the size
        {W().Combo2[1], Cell(1, kSize)},   // dbText
        {Cell(2, kSize), Cell(2, kRepeat)},
        {Cell(2, kPrimaryKey + 5), Cell(2, kDescription)},
        {Cell(2, kDescription), Cell(3, kName)},
        {Cell(9, kDescription), Cell(0, kName)},
        {Cell(9, kSize), Cell(9, kSize)}, // the last line's cells keep the focus
        {Cell(9, kPrimaryKey + 5), Cell(9, kPrimaryKey + 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from->objectName().toStdString());
        c.from->setFocus();
        ASSERT_EQ(Focus(), c.from);
        QTest::keyClick(c.from, Qt::Key_Return);
        EXPECT_EQ(Focus(), c.to);
    }
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(GridTest, ShiftArrowsMoveAlongALineAndStopAtTheGridsEdges) {
    struct Case {
        QWidget* from;
        int key;
        QWidget* to;
    };
    const Case cases[] = {
        {Cell(3, kName), Qt::Key_Right, W().Combo2[3]},
        {Cell(3, kSize), Qt::Key_Right, Cell(3, kRepeat)},
        {Cell(3, kDescription), Qt::Key_Right, Cell(4, kName)},
        {Cell(9, kDescription), Qt::Key_Right, Cell(9, kDescription)},
        {W().Text1[2], Qt::Key_Right, W().Combo1[1]},
        {Cell(3, kSize), Qt::Key_Left, W().Combo2[3]},
        {Cell(3, kRepeat), Qt::Key_Left, Cell(3, kSize)},
        {Cell(3, kName), Qt::Key_Left, Cell(2, kDescription)},
        {Cell(0, kName), Qt::Key_Left, Cell(0, kName)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from->objectName().toStdString() +
                     (c.key == Qt::Key_Left ? " left" : " right"));
        c.from->setFocus();
        QTest::keyClick(c.from, static_cast<Qt::Key>(c.key), Qt::ShiftModifier);
        EXPECT_EQ(Focus(), c.to);
    }
    // Without Shift the arrows move the caret.
    QLineEdit* name = Cell(1, kName);
    name->setFocus();
    name->setCursorPosition(0);
    QTest::keyClick(name, Qt::Key_Right);
    EXPECT_EQ(Focus(), name);
    EXPECT_EQ(name->cursorPosition(), 1);
}

TEST_F(GridTest, UpAndDownFollowTheColumnAndScrollOneRowAtTheGridsEdges) {
    QLineEdit* last = Cell(9, kPrimaryKey);
    last->setFocus();
    QTest::keyClick(last, Qt::Key_Down);
    EXPECT_EQ(W().TopRow, 2);
    EXPECT_EQ(W().VScroll1->value(), 1);
    EXPECT_EQ(Focus(), last);
    EXPECT_EQ(W().CurRow, 11);
    EXPECT_EQ(W().Label3[9]->text(), "  11");
    EXPECT_EQ(W().Label3[9]->palette().color(QPalette::Window),
              W().Label3[9]->palette().color(QPalette::Highlight));

    QLineEdit* first = Cell(0, kSize);
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Up);
    EXPECT_EQ(W().TopRow, 1);
    EXPECT_EQ(Focus(), first);
    QTest::keyClick(first, Qt::Key_Up); // nothing above row 1
    EXPECT_EQ(W().TopRow, 1);
    EXPECT_EQ(Focus(), first);

    // Rows 20..29: lines 0..5 are in use, line 6 onwards empty.
    W().VScroll1->setValue(19);
    ASSERT_EQ(W().TopRow, 20);
    Cell(5, kPrimaryKey + 2)->setFocus();
    QTest::keyClick(Cell(5, kPrimaryKey + 2), Qt::Key_Down);
    EXPECT_EQ(Focus(), Cell(6, kName)); // the next line has no name
    Cell(6, kSize)->setFocus();
    QTest::keyClick(Cell(6, kSize), Qt::Key_Up);
    EXPECT_EQ(Focus(), Cell(5, kSize));
    QTest::keyClick(Cell(5, kSize), Qt::Key_Down);
    EXPECT_EQ(Focus(), Cell(6, kName));

    // At the end no row is left to scroll to.
    W().VScroll1->setValue(24);
    ASSERT_EQ(W().TopRow, 25);
    Cell(9, kName)->setFocus();
    QTest::keyClick(Cell(9, kName), Qt::Key_Down);
    EXPECT_EQ(W().TopRow, 25);

    // Header boxes.
    const std::pair<int, int> header[] = {{0, 7}, {2, 3}, {5, 6}};
    for (const auto& [from, to] : header) {
        W().Text1[from]->setFocus();
        QTest::keyClick(W().Text1[from], Qt::Key_Down);
        EXPECT_EQ(Focus(), W().Text1[to]) << from;
    }
    W().Text1[3]->setFocus();
    QTest::keyClick(W().Text1[3], Qt::Key_Up);
    EXPECT_EQ(Focus(), W().Text1[2]);
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(GridTest, ScrollingAtTheEdgeCommitsTheEditedCellFirst) {
    QLineEdit* last = Cell(9, kName);
    TypeInto(last, "RENAMED", false);
    QTest::keyClick(last, Qt::Key_Down);
    EXPECT_EQ(Row(10)[1], "RENAMED");
    EXPECT_EQ(Row(11)[1], "F11");
    EXPECT_EQ(last->text(), "F11"); // the cell now shows row 11, the one in edit
    EXPECT_EQ(W().RowBuffer.Name, "F11");

    // A fault keeps the rows where they were.
    QLineEdit* size = Cell(0, kSize); // row 2, a text field
    TypeInto(size, "x", false);
    prompts.Expect(kNotDigits);
    QTest::keyClick(size, Qt::Key_Up);
    EXPECT_EQ(W().TopRow, 2);
    EXPECT_EQ(size->text(), "x");
    EXPECT_EQ(Focus(), size);
    EXPECT_EQ(Row(2)[3], "40");
}

TEST_F(GridTest, TheScrollBarCommitsTheEditedCellAndKeepsItsColumn) {
    QLineEdit* name = Cell(1, kName);
    TypeInto(name, "NAME2", false);
    // A click on the scroll bar's lower arrow steps one row.
    QScrollBar* bar = W().VScroll1;
    ClickScrollArrow(true);
    ASSERT_EQ(W().TopRow, 2);
    EXPECT_EQ(Row(2)[1], "NAME2");
    EXPECT_EQ(W().LayoutChanged, 9);
    // Row 2 is on line 0 now, and so is the focus.
    EXPECT_EQ(Focus(), Cell(0, kName));
    EXPECT_EQ(Cell(0, kName)->text(), "NAME2");
    EXPECT_EQ(W().CurRow, 2);

    // A fault while scrolling: one message, the rows stay, the text stays.
    QLineEdit* size = Cell(0, kSize);
    TypeInto(size, "abc", false);
    prompts.Expect(kNotDigits);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(W().TopRow, 2);
    EXPECT_EQ(bar->value(), 1);
    EXPECT_EQ(size->text(), "abc");
    EXPECT_EQ(Focus(), size);
    EXPECT_EQ(Row(2)[3], "40");

    // Paging the row in edit off the screen: the focused cell's new row is the one in edit.
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_EQ(W().TopRow, 12);
    EXPECT_EQ(Focus(), size);
    EXPECT_EQ(W().CurRow, 12);
    TypeInto(Cell(0, kName), "TWELVE");
    EXPECT_EQ(Row(12)[1], "TWELVE");
    EXPECT_EQ(Row(2)[1], "NAME2");
    EXPECT_EQ(Row(2)[3], "40");
}

TEST_F(GridTest, TheWheelOverTheGridScrollsRowsAndNeverChangesAType) {
    Wheel(W().Combo2[3], -1);
    EXPECT_EQ(W().TopRow, 4); // the host's three rows a notch
    EXPECT_EQ(Row(4)[2], "(ｵｰﾄﾅﾝﾊﾞ-)");
    EXPECT_EQ(W().LayoutChanged, 0);
}

// ---- Focus and messages
// --------------------------------------------------------------------------

// Message boxes that, like a real one, take the focus while they are shown.
class FocusTakingPrompts : public platform::ScriptedPrompts {
  public:
    int MsgBox(const QString& text, int style, const QString& title) override {
        if (elsewhere) elsewhere->setFocus(); // another input takes the focus meanwhile
        QWidget* active = QApplication::activeWindow();
        QDialog box;
        QTimer::singleShot(0, &box, &QDialog::accept);
        box.exec();                           // the main window loses its activation...
        if (active) active->activateWindow(); // ...and gets it back, as a window manager gives it
        return ScriptedPrompts::MsgBox(text, style, title);
    }
    QWidget* elsewhere = nullptr;
};

TEST_F(GridTest, AMessageFromAFocusChangeShowsOnceAndKeepsTheTypedText) {
    FocusTakingPrompts boxes;
    platform::ScopedStandIns scope(app.Platform, {.prompts = &boxes});
    boxes.elsewhere = Cell(5, kDescription);
    boxes.Expect("ソート種別は 'A'　又は 'D'　です。");
    QLineEdit* key = Cell(1, kPrimaryKey + 1);
    TypeInto(key, "3X", false);
    QTest::mouseClick(Cell(4, kName), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(boxes.Shown().size(), 1u);
    EXPECT_TRUE(boxes.Unexpected().isEmpty());
    EXPECT_EQ(Focus(), key);
    EXPECT_EQ(key->text(), "3X");
    EXPECT_EQ(W().CurRow, 2);
    // The boxes the focus passed meanwhile show their own rows, and only row 2 is selected.
    EXPECT_EQ(Cell(4, kName)->text(), "ADDR");
    EXPECT_EQ(Cell(5, kDescription)->text(), "");
    EXPECT_EQ(W().Label3[5]->palette().color(QPalette::Window),
              W().Label3[5]->palette().color(QPalette::Button));
    EXPECT_EQ(Row(2)[6], "");
    EXPECT_EQ(W().LayoutChanged, 9);

    // Corrected, it is taken, and the box that had the focus meanwhile was left alone.
    boxes.elsewhere = nullptr;
    TypeInto(key, "3D");
    EXPECT_EQ(Row(2)[6], " 3D");
    EXPECT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(Cell(5, kDescription)->text(), "");
    EXPECT_EQ(Row(6)[11], "");
}

TEST_F(GridTest, FocusShowsTheEditFormThePromptAndTheFrameOfTheBox) {
    TypeInto(Cell(0, kPrimaryKey + 3), "3a");
    // (A click would put the caret where it lands; the keyboard's focus keeps the selection.)
    Cell(0, kPrimaryKey + 3)->setFocus();
    EXPECT_EQ(Cell(0, kPrimaryKey + 3)->text(), "3a");
    EXPECT_EQ(Cell(0, kPrimaryKey + 3)->selectedText(), "3a");
    EXPECT_EQ(W().Label6->text(),
              "並び替えの種別（A Or D)と副キー３内における順序を入力して下さい。");
    Cell(1, kSize)->setFocus();
    EXPECT_EQ(Cell(1, kSize)->text(), "40");
    EXPECT_EQ(Cell(1, kSize)->selectedText(), "40");
    EXPECT_EQ(W().Label6->text(), "フィールドのサイズを入力して下さい。");
    EXPECT_TRUE(W().Frame3->isVisible());
    EXPECT_EQ(W().Label3[1]->palette().color(QPalette::Window),
              W().Label3[1]->palette().color(QPalette::Highlight));
    EXPECT_NE(W().Label3[0]->palette().color(QPalette::Window),
              W().Label3[0]->palette().color(QPalette::Highlight));
    W().Combo2[4]->setFocus();
    EXPECT_EQ(W().Label6->text(), "データ種別を選択して下さい。");
    EXPECT_EQ(W().CurRow, 5);
    QTest::mouseClick(W().Text1[0], Qt::LeftButton);
    EXPECT_TRUE(W().Frame2->isVisible());
    EXPECT_FALSE(W().Frame3->isVisible());
    EXPECT_EQ(W().Label6->text(),
              "ファイルを選択後、テーブル名を入力するか、一覧表の中からダブルクリックして下さい。");
    // Leaving the table name box without typing loads nothing.
    QTest::mouseClick(W().Text1[7], Qt::LeftButton);
    EXPECT_EQ(W().CurrentTable, "T");
    EXPECT_EQ(Row(1)[8], " 3a");
}

TEST_F(GridTest, IndexBoxesAndDuplicatesChoicesChangeTheLayout) {
    TypeInto(W().Text1[3], "");
    EXPECT_EQ(W().Combo1[2]->currentIndex(), -1);
    EXPECT_EQ(W().LayoutChanged, 9);
    W().LayoutChanged = 0;
    W().Combo1[0]->setFocus();
    QTest::keyClick(W().Combo1[0], Qt::Key_Down);
    EXPECT_EQ(W().Combo1[0]->currentIndex(), 1);
    EXPECT_EQ(W().LayoutChanged, 9);
    TypeInto(W().Text1[7], "受注の明細");
    EXPECT_EQ(W().TableDesc, "受注の明細");
}

TEST_F(GridTest, WithoutATableTheGridTakesNoInput) {
    W().ReleaseFile();
    OpenFile(path);
    ASSERT_TRUE(W().FocusSuppressed);
    QTest::mouseClick(Cell(0, kName), Qt::LeftButton);
    QTest::keyClicks(Cell(0, kName), "X");
    QTest::mouseClick(W().Text1[0], Qt::LeftButton);
    EXPECT_EQ(Cell(0, kName)->text(), "");
    EXPECT_FALSE(W().Combo2[0]->isEnabled());
    EXPECT_EQ(W().LayoutChanged, 0);
    EXPECT_TRUE(WorkRows().empty());
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(GridTest, TheRowBufferAddsAndRemovesRowsAndFollowsTheLastRow) {
    W().CurRow = 30;
    W().RowBufferOp("GET");
    EXPECT_EQ(W().RowBuffer.Exists, 0);
    EXPECT_EQ(W().RowBuffer.RowNo, 30);
    W().RowBuffer.Name = "NEW";
    W().RowBufferOp("put");
    EXPECT_EQ(W().LastRow, 30);
    EXPECT_EQ(W().VScroll1->maximum(), 29);
    EXPECT_EQ(Row(30)[1], "NEW");
    W().RowBufferOp("SAV");
    W().RowBufferOp("DEL");
    EXPECT_TRUE(Row(30).empty());
    EXPECT_EQ(W().LastRow, 25);
    W().CurRow = 3;
    W().RowBufferOp("GET");
    EXPECT_EQ(W().RowBuffer.Exists, 1);
    EXPECT_EQ(W().RowBuffer.TypeName, "dbLong");
    W().RowBufferOp("STR");
    EXPECT_EQ(W().RowBuffer.Name, "NEW");
    EXPECT_EQ(W().RowBuffer.RowNo, 3);
    W().CurRow = 7;
    W().RowBufferOp("DEL"); // from the middle: the last row stays
    EXPECT_EQ(W().LastRow, 25);
    EXPECT_EQ(WorkRows().size(), 24u);
}

} // namespace

TEST_F(GridTest, ALongNameOrDescriptionShowsFromItsBeginningOnLoadAndAfterLeavingTheCell) {
    const std::string longName = "顧客コード番号の長い名前テスト用フィールド名称その二"; // 60 bytes
    const std::string longNote = "得意先を一意に識別するための番号で、請求書と納品書と見積書と注文"
                                 "請書と領収書のすべてに印字される";
    MakeTable(path, "LONG", {{longName, dao::dbText, 10, 0, longNote}});
    OpenTable(path, "LONG");
    ASSERT_EQ(W().CurrentTable, "LONG");
    QLineEdit* name = Cell(0, kName);
    QLineEdit* note = Cell(0, kDescription);
    ASSERT_EQ(name->text().toStdString(), longName);
    ASSERT_EQ(note->text().toStdString(), longNote);
    for (QLineEdit* cell : {name, note}) {
        ASSERT_GT(cell->fontMetrics().horizontalAdvance(cell->text()), cell->width())
            << "the text must overflow";
        EXPECT_EQ(cell->cursorPosition(), 0) << cell->text().toStdString();
    }
    // Typed into and left, a cell shows its beginning again.
    TypeInto(note, QString::fromStdString(longNote + "もの"));
    EXPECT_NE(Focus(), note);
    EXPECT_EQ(note->cursorPosition(), 0);
    QTest::mouseClick(name, Qt::LeftButton);
    QTest::keyClick(name, Qt::Key_End);
    QTest::mouseClick(W().Text1[7], Qt::LeftButton);
    EXPECT_EQ(name->cursorPosition(), 0);
}

TEST_F(GridTest, ANewTableNameTheEngineRefusesIsRefusedWhereItIsTypedNamingIt) {
    const std::string tooLongToBuild(62, 'L'); // with the build suffix over 64 characters
    for (const std::string& refused : {std::string("q[1"), std::string("a.b"), tooLongToBuild}) {
        SCOPED_TRACE(refused);
        prompts.Expect(
            QString::fromStdString("'" + refused +
                                   "' は正しい名前ではありません。名前に無効な文字や区切り記号"
                                   "が含まれていないか、名前が長すぎないかを確認してください。"));
        TypeInto(W().Text1[0], QString::fromStdString(refused));
        EXPECT_EQ(prompts.Shown().size(), 1u);
        EXPECT_EQ(Focus(), W().Text1[0]);
        EXPECT_EQ(W().Text1[0]->text().toStdString(), refused);
        EXPECT_EQ(W().CurrentTable, "T"); // the loaded layout stays
        EXPECT_EQ(W().LastRow, 25);
        prompts.Clear();
    }
    // A name the engine takes opens a new layout.
    TypeInto(W().Text1[0], "q1");
    EXPECT_EQ(W().CurrentTable, "q1");
    EXPECT_TRUE(prompts.Shown().empty());
}
