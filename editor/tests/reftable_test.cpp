// The reference table window and the picker of extracted files, driven as a user drives them:
// the toolbar button, the file box, double clicks on tables and files, field selections with
// Ctrl, "挿入", "開く" and "閉じる".
#include <QComboBox>
#include <QPushButton>
#include <fstream>
#include <sstream>

#include "forms/frmMELT.h"
#include "forms/frmRefTableList.h"
#include "platform/scripted_archiver.h"
#include "platform/testing/archive_builder.h"
#include "window_fixture.h"

namespace {

using namespace tavorintest;
using tavorin::frmMELT;
using tavorin::frmRefTableList;
namespace grid = tavorin::grid;

const std::string kRefused =
    "参照できないファイルです。参照可能はファイルは　*.MDB,*.ZIP,*.LZH のみです。";
const std::string kNotExtracted = "解凍できません。";
const std::string kNotMdb =
    "参照できないファイルです。解凍フォルダーからの参照可能はファイルは　*.MDB のみです。";

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

void ClickItem(QListWidget* list, int line, Qt::KeyboardModifiers modifiers = {}) {
    QListWidgetItem* item = list->item(line);
    ASSERT_NE(item, nullptr) << "no line " << line;
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(item).center());
}

void DoubleClickItem(QListWidget* list, int line) {
    ClickItem(list, line);
    QListWidgetItem* item = list->item(line);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Waits until the application has taken window as its active window.
bool WaitActive(QWidget* window) {
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

// Runs the deferred deletions of closed windows.
void SettleClosedWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A work row as WorkRows() gives it: number, name, type, size, repeat, then only the
// description; keys and as-loaded values empty.
WorkRow NewRow(int number, const std::string& name, const std::string& type, int size,
               const std::string& repeat = "", const std::string& description = "") {
    WorkRow row(16);
    row[0] = std::to_string(number);
    row[1] = name;
    row[2] = type;
    row[3] = std::to_string(size);
    row[4] = repeat;
    row[11] = description;
    return row;
}

class RefTableTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        layoutDb = data.File("layout.mdb");
        MakeTable(layoutDb, "CUST",
                  {{"ID", dao::dbLong}, {"NAME", dao::dbText, 20}, {"TEL", dao::dbText, 12}});
        refDb = data.File("ref.mdb");
        MakeTable(refDb, "GOODS",
                  {{"CODE", dao::dbText, 10, 0, "商品コード"},
                   {"ADDR_01", dao::dbText, 30, 0, "住所"},
                   {"ADDR_02", dao::dbText, 30},
                   {"ADDR_03", dao::dbText, 30},
                   {"PRICE", dao::dbCurrency},
                   {"NOTE", dao::dbMemo}});
        MakeTable(refDb, "SHORT", {{"ONLY", dao::dbLong}});
    }

    void TearDown() override {
        WindowTest::TearDown();
        SettleClosedWindows();
    }

    frmRefTableList* Ref() { return W().RefTableWindow(); }

    // The layout editor with an empty layout named NEWT in layout.mdb.
    void StartEmptyLayout() {
        OpenFile(layoutDb);
        TypeInto(W().Text1[0], "NEWT");
        ASSERT_EQ(W().CurrentTable, "NEWT");
        ASSERT_EQ(W().LastRow, 0);
    }

    void OpenRefWindow() {
        QTest::mouseClick(W().Image1[2], Qt::LeftButton);
        ASSERT_NE(Ref(), nullptr);
        ASSERT_TRUE(Ref()->isVisible());
        ASSERT_TRUE(WaitActive(Ref()));
    }

    void ChooseRefFile(const std::string& path) {
        dialogs.Answer(QString::fromStdString(path));
        QTest::mouseClick(Ref()->Text2[1], Qt::LeftButton);
    }

    void DoubleClickRefTable(const std::string& name) {
        for (size_t i = 0; i < Ref()->RefTableList.size(); ++i)
            if (Ref()->RefTableList[i].Name == name)
                return DoubleClickItem(Ref()->List1, static_cast<int>(i));
        FAIL() << name << " is not listed";
    }

    // Selects the field lines with Ctrl held, in the order given, and clicks "挿入".
    void InsertFields(const std::vector<int>& lines) {
        for (int line : lines) ClickItem(Ref()->List2, line, Qt::ControlModifier);
        QTest::mouseClick(Ref()->Command1[1], Qt::LeftButton);
    }

    std::string layoutDb, refDb;
};

// ---- The command and the window
// ------------------------------------------------------------------

TEST_F(RefTableTest, TheCommandOpensTheWindowBesideTheLayoutOnlyWhileATableIsOpen) {
    EXPECT_FALSE(W().mnTableRef->isEnabled());
    QTest::mouseClick(W().Image1[2], Qt::LeftButton);
    EXPECT_EQ(Ref(), nullptr);

    OpenTable(layoutDb, "CUST");
    EXPECT_TRUE(W().mnTableRef->isEnabled());
    OpenRefWindow();
    frmRefTableList* first = Ref();
    EXPECT_EQ(first->windowTitle(), "参照テーブル一覧表");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(first->Text2[0]->text().isEmpty());
    EXPECT_TRUE(first->Text2[1]->text().isEmpty());
    EXPECT_EQ(first->List1->count(), 0);
    EXPECT_EQ(first->Label1[0]->text(),
              "ファイルを選択後、ダブルクリックで参照テーブルを指定して下さい。");
    // Beside it, and the main window goes on taking input.
    EXPECT_GE(first->frameGeometry().left(), W().frameGeometry().left());
    EXPECT_TRUE(W().isEnabled());

    // The menu command shows the same window again.
    W().mnTableRef->trigger();
    EXPECT_EQ(Ref(), first);
}

TEST_F(RefTableTest, TheFieldListShowsGroupsAsOneLineAndNamesCutInItsColumns) {
    MakeTable(refDb, "WIDE",
              {{"ABCDEFGHIJKLMNOPQRSTUV", dao::dbText, 5},
               {"顧客名", dao::dbText, 40},
               {"ID", dao::dbLong, 0, dao::dbAutoIncrField},
               {"TEL_01", dao::dbText, 12},
               {"ADDR_01", dao::dbText, 8},
               {"ADDR_03", dao::dbText, 8},
               {"氏名カナ漢字氏名カナ漢字", dao::dbText, 100}});
    OpenTable(layoutDb, "CUST");
    OpenRefWindow();
    ChooseRefFile(refDb);
    EXPECT_EQ(Ref()->Text2[0]->text().toStdString(), data.Path() + "/");
    EXPECT_EQ(Ref()->Text2[1]->text(), "ref.mdb");
    EXPECT_EQ(Lines(Ref()->List1).size(), 3);
    EXPECT_EQ(QApplication::focusWidget(), Ref()->List1);

    DoubleClickRefTable("GOODS");
    EXPECT_EQ(Lines(Ref()->List2), (QStringList{
                                       "CODE                  dbText         010    ",
                                       "ADDR                  dbText         030    03",
                                       "PRICE                 dbCurrency     008    ",
                                       "NOTE                  dbMemo         000    ",
                                   }));
    EXPECT_EQ(Ref()->RefFields[1].Description, "住所");
    EXPECT_EQ(Ref()->RefTablePath, refDb);
    EXPECT_EQ(Ref()->RefTableName, "GOODS");

    DoubleClickRefTable("WIDE");
    EXPECT_EQ(Lines(Ref()->List2),
              (QStringList{
                  "ABCDEFGHIJKLMNOPQRST  dbText         005    ",
                  "顧客名                dbText         040    ",
                  "ID                    (ｵｰﾄﾅﾝﾊﾞ-)     004    ",
                  "TEL                   dbText         012    01",
                  "ADDR                  dbText         008    01",
                  "ADDR_03               dbText         008    ",
                  // Longer than 20 bytes: its first 20 characters, all of these 12.
                  "氏名カナ漢字氏名カナ漢字  dbText         100    ",
              }));
}

TEST_F(RefTableTest, ThreeFieldsIntoAnEmptyLayoutBecomeRowsOneToThreeWithAnEmptyFourthLine) {
    StartEmptyLayout();
    OpenRefWindow();
    ChooseRefFile(refDb);
    DoubleClickRefTable("GOODS");

    // Nothing selected: nothing happens.
    QTest::mouseClick(Ref()->Command1[1], Qt::LeftButton);
    EXPECT_TRUE(WorkRows().empty());
    EXPECT_EQ(W().LayoutChanged, 0);

    InsertFields({0, 1, 3});
    EXPECT_EQ(WorkRows(), (std::vector<WorkRow>{NewRow(1, "CODE", "dbText", 10, "", "商品コード"),
                                                NewRow(2, "ADDR", "dbText", 30, "03", "住所"),
                                                NewRow(3, "NOTE", "dbMemo", 0)}));
    EXPECT_EQ(W().LastRow, 4);
    EXPECT_EQ(W().TopRow, 1);
    EXPECT_EQ(W().LayoutChanged, 9);
    EXPECT_EQ(W().Label3[0]->text(), "   1");
    EXPECT_EQ(Cell(1, grid::kName)->text(), "ADDR");
    EXPECT_EQ(Cell(1, grid::kRepeat)->text(), "03");
    EXPECT_EQ(W().Combo2[2]->currentText(), "dbMemo");
    EXPECT_EQ(W().Label3[3]->text(), "   4");
    EXPECT_TRUE(Cell(3, grid::kName)->text().isEmpty());
    EXPECT_EQ(W().VScroll1->maximum(), 3);
    EXPECT_EQ(QApplication::focusWidget(), Ref()->Command1[0]);
}

TEST_F(RefTableTest, RowsFollowTheLastRowInListOrderAndTheGridShowsTheNewLastLine) {
    MakeTable(layoutDb, "BIG",
              TextFields({"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11"}));
    OpenTable(layoutDb, "BIG");
    OpenRefWindow();
    ChooseRefFile(refDb);
    DoubleClickRefTable("GOODS");
    // Clicked in another order than listed: rows follow the list.
    InsertFields({2, 0});
    const std::vector<WorkRow> rows = WorkRows();
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[11], NewRow(12, "CODE", "dbText", 10, "", "商品コード"));
    EXPECT_EQ(rows[12], NewRow(13, "PRICE", "dbCurrency", 8));
    EXPECT_EQ(W().LastRow, 14);
    EXPECT_EQ(W().TopRow, 6);
    EXPECT_EQ(W().VScroll1->value(), 5);
    EXPECT_EQ(W().Label3[0]->text(), "   6");
    EXPECT_EQ(W().Label3[8]->text(), "  14");
    EXPECT_EQ(Cell(7, grid::kName)->text(), "PRICE");

    // A gap left by a deleted last row does not count: rows go after the last one there is.
    engine::RecordsetPtr rs =
        app.Store.WorkDb->OpenRecordset("WKTBL", engine::RecordsetType::Dynaset);
    rs->FindFirst("FLD01= 13");
    rs->Delete();
    rs->Close();
    ClickItem(Ref()->List2, 0);
    QTest::mouseClick(Ref()->Command1[1], Qt::LeftButton);
    EXPECT_EQ(WorkRows().back()[0], "13");
    EXPECT_EQ(W().LastRow, 14);
}

TEST_F(RefTableTest, WhatIsTypedInTheGridIsKeptAndARowClickedEarlierShowsTheInsertedField) {
    OpenTable(layoutDb, "CUST");
    OpenRefWindow();
    ChooseRefFile(refDb);
    DoubleClickRefTable("SHORT");
    // Type a name into row 2 without leaving the cell, then go to the other window and insert.
    W().activateWindow();
    ASSERT_TRUE(WaitActive(window.get()));
    QTest::mouseClick(Cell(1, grid::kName), Qt::LeftButton);
    Cell(1, grid::kName)->selectAll();
    QTest::keyClicks(Cell(1, grid::kName), "FULLNAME");
    Ref()->activateWindow();
    ASSERT_TRUE(WaitActive(Ref()));
    InsertFields({0});
    std::vector<WorkRow> rows = WorkRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][1], "FULLNAME");
    EXPECT_EQ(rows[3], NewRow(4, "ONLY", "dbLong", 4));

    // Row 5, the empty line after the last row, is the row in edit; an inserted field lands
    // there, and a description typed afterwards goes into that field's row.
    W().activateWindow();
    ASSERT_TRUE(WaitActive(window.get()));
    QTest::mouseClick(Cell(4, grid::kName), Qt::LeftButton);
    ASSERT_EQ(W().CurRow, 5);
    InsertFields({}); // "ONLY" is still selected
    W().activateWindow();
    ASSERT_TRUE(WaitActive(window.get()));
    TypeInto(Cell(4, grid::kDescription), "説明");
    rows = WorkRows();
    ASSERT_EQ(rows.size(), 5u);
    WorkRow expected = NewRow(5, "ONLY", "dbLong", 4, "", "説明");
    expected[14] = "0"; // the grid writes every column of the row back
    EXPECT_EQ(rows[4], expected);
    EXPECT_EQ(W().LastRow, 6);
}

// ---- Genuine Jet files -------------------------------------------------------------------------

TEST_F(RefTableTest, AGenuineJetFileIsAReference) {
    const fs::path jet = fs::path(TESTDATA_DIR) / "jet" / "testV1997.mdb";
    if (!fs::exists(jet)) GTEST_SKIP() << "no Jet test files at " << jet.parent_path();
    StartEmptyLayout();
    OpenRefWindow();
    ChooseRefFile(jet.string());
    EXPECT_EQ(Lines(Ref()->List1).size(), 4);
    DoubleClickRefTable("Table1");
    const QStringList expected = {
        "A                     dbText         050    ",
        "B                     dbText         100    ",
        "C                     dbByte         001    ",
        "D                     dbInteger      002    ",
        "E                     dbLong         004    ",
        "F                     dbDouble       008    ",
        "G                     dbDate         008    ",
        "H                     dbCurrency     008    ",
        "I                     dbBoolean      001    ",
    };
    EXPECT_EQ(Lines(Ref()->List2), expected);
    InsertFields({0, 8});
    EXPECT_EQ(WorkRows(),
              (std::vector<WorkRow>{NewRow(1, "A", "dbText", 50), NewRow(2, "I", "dbBoolean", 1)}));
}

// ---- Closing
// -------------------------------------------------------------------------------------

TEST_F(RefTableTest, ClosingForgetsTheReferenceClosesThePickerAndReturnsToTheGrid) {
    platform::ScriptedArchiver archiver;
    archiver.files = {{"A.MDB", "x"}};
    platform::ScopedStandIns installed(app.Platform, {.archiver = &archiver});
    OpenTable(layoutDb, "CUST");
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "閉じる");
        OpenRefWindow();
        ChooseRefFile(data.File("a.zip"));
        QPointer<frmRefTableList> ref = Ref();
        QPointer<frmMELT> melt = ref->MeltWindow();
        ASSERT_NE(melt, nullptr);
        ASSERT_TRUE(melt->isVisible());
        if (closeBox)
            ref->close();
        else
            QTest::mouseClick(ref->Command1[0], Qt::LeftButton);
        SettleClosedWindows();
        EXPECT_EQ(ref, nullptr);
        EXPECT_EQ(melt, nullptr);
        EXPECT_TRUE(WaitActive(window.get()));
        EXPECT_EQ(QApplication::focusWidget(), Cell(0, grid::kName));
    }
    // A window opened anew starts empty.
    OpenRefWindow();
    EXPECT_TRUE(Ref()->RefFile.FullPath.empty());
    EXPECT_TRUE(Ref()->Text2[1]->text().isEmpty());
}

// ---- Archives ----------------------------------------------------------------------------------

TEST_F(RefTableTest, OnlyDatabasesAndArchivesAreTakenAndAFailedExtractionSaysSo) {
    platform::ScriptedArchiver archiver;
    platform::ScopedStandIns installed(app.Platform, {.archiver = &archiver});
    OpenTable(layoutDb, "CUST");
    OpenRefWindow();
    ChooseRefFile(refDb);
    ASSERT_EQ(Ref()->List1->count(), 2);

    // Another kind is refused by the dialog before anything is extracted.
    prompts.Expect(QString::fromStdString(kRefused));
    ChooseRefFile(data.File("old.arc"));
    EXPECT_TRUE(archiver.Calls().empty());
    EXPECT_TRUE(Ref()->RefFile.FullPath.empty());
    EXPECT_TRUE(Ref()->Text2[1]->text().isEmpty());
    EXPECT_EQ(Ref()->List1->count(), 0);
    EXPECT_EQ(Ref()->MeltWindow(), nullptr);

    // An archive that will not extract.
    archiver.runResult = platform::kArchiverNotArchive;
    prompts.Expect(QString::fromStdString(kNotExtracted));
    ChooseRefFile(data.File("broken.LZH"));
    ASSERT_FALSE(archiver.Calls().empty());
    EXPECT_EQ(archiver.Calls().back().function, "Unlha");
    EXPECT_EQ(Ref()->Text2[1]->text(), "broken.LZH");
    EXPECT_EQ(Ref()->List1->count(), 0);
    EXPECT_EQ(Ref()->MeltWindow(), nullptr);
}

TEST_F(RefTableTest, TheFieldListEmptiesWhenAnotherFileOrArchiveIsChosenEvenADamagedOne) {
    platform::ScriptedArchiver archiver;
    platform::ScopedStandIns installed(app.Platform, {.archiver = &archiver});
    const std::string otherDb = data.File("other.mdb");
    MakeTable(otherDb, "PARTS", {{"PNO", dao::dbLong}});
    const std::string damaged = data.File("damaged.mdb");
    WriteFile(damaged, std::string(4096, 'x'));
    struct Case {
        std::string file;
        int archiverResult;
        std::optional<std::string> message; // "" for any message
    };
    const std::vector<Case> cases = {
        {otherDb, 0, std::nullopt},
        {damaged, 0, ""},
        {data.File("broken.LZH"), platform::kArchiverNotArchive, kNotExtracted},
        {data.File("old.arc"), 0, kRefused},
    };
    OpenTable(layoutDb, "CUST");
    OpenRefWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ChooseRefFile(refDb);
        DoubleClickRefTable("GOODS");
        ASSERT_EQ(Ref()->List2->count(), 4);
        ClickItem(Ref()->List2, 0);
        archiver.runResult = c.archiverResult;
        if (c.message) {
            if (c.message->empty())
                prompts.ExpectAny();
            else
                prompts.Expect(QString::fromStdString(*c.message));
        }
        ChooseRefFile(c.file);
        EXPECT_EQ(Ref()->List2->count(), 0);
        EXPECT_TRUE(Ref()->RefFields.empty());
        // Nothing of the file no longer shown can be inserted.
        const auto before = WorkRows();
        QTest::mouseClick(Ref()->Command1[1], Qt::LeftButton);
        EXPECT_EQ(WorkRows(), before);
    }
}

TEST_F(RefTableTest, ThePickerListsTheExtractedFilesAndOpensOnlyDatabases) {
    MakeTable(data.File("source.mdb"), "ITEMS",
              {{"ITEM_NO", dao::dbLong}, {"ITEM_NAME", dao::dbText, 30}});
    platform::ScriptedArchiver archiver;
    archiver.files = {{"x.tar.mdb", "not a database"},
                      {"README.TXT", "text"},
                      {"DATA.mdb", QByteArray::fromStdString(ReadAll(data.File("source.mdb")))}};
    platform::ScopedStandIns installed(app.Platform, {.archiver = &archiver});
    OpenTable(layoutDb, "CUST");
    OpenRefWindow();
    // What an earlier archive left is removed first.
    fs::create_directories(app.Store.MeltFolder + "/old");
    WriteFile(app.Store.MeltFolder + "/old/OLD.MDB");
    WriteFile(app.Store.MeltFolder + "/EARLIER.MDB");
    ChooseRefFile(data.File("goods.zip"));
    EXPECT_EQ(archiver.Calls()[2].argument,
              QString::fromStdString("-xs \"" + data.File("goods.zip") + "\" \"" +
                                     app.Store.MeltFolder + "/\""));
    frmMELT* melt = Ref()->MeltWindow();
    ASSERT_NE(melt, nullptr);
    EXPECT_TRUE(melt->isVisible());
    ASSERT_TRUE(WaitActive(melt));
    EXPECT_EQ(melt->windowTitle(), "解凍ファイル");
    EXPECT_EQ(melt->Label1->text(), "参照するファイルを選択して下さい。");
    EXPECT_EQ(melt->Combo1->currentText(), "*.*");
    EXPECT_EQ(Lines(melt->File1), (QStringList{"DATA.mdb", "README.TXT", "x.tar.mdb"}));

    // "開く" before any click opens the first file.
    QTest::mouseClick(melt->Command1[0], Qt::LeftButton);
    EXPECT_EQ(Ref()->RefFile.FullPath, app.Store.MeltFolder + "/DATA.mdb");
    EXPECT_EQ(Ref()->Text2[0]->text().toStdString(), app.Store.MeltFolder + "/");
    EXPECT_EQ(Ref()->Text2[1]->text(), "DATA");
    EXPECT_EQ(Ref()->RefTableList.size(), 1u);
    EXPECT_EQ(QApplication::focusWidget(), melt->File1);

    // x.tar.mdb splits at its first dot: refused, the reference stays.
    ClickItem(melt->File1, 2);
    prompts.Expect(QString::fromStdString(kNotMdb));
    QTest::mouseClick(melt->Command1[0], Qt::LeftButton);
    prompts.Expect(QString::fromStdString(kNotMdb));
    DoubleClickItem(melt->File1, 2);
    EXPECT_EQ(Ref()->RefFile.FullPath, app.Store.MeltFolder + "/DATA.mdb");
    EXPECT_EQ(QApplication::focusWidget(), melt->File1);

    // The pattern; the file clicked last keeps its place while it is listed.
    QTest::keyClick(melt->Combo1, Qt::Key_Down);
    EXPECT_EQ(melt->Combo1->currentText(), "*.MDB");
    EXPECT_EQ(Lines(melt->File1), (QStringList{"DATA.mdb", "x.tar.mdb"}));
    EXPECT_EQ(melt->ClickedIndex, 1);

    // A double click opens the file and goes on to its tables; the picker stays.
    DoubleClickItem(melt->File1, 0);
    EXPECT_TRUE(WaitActive(Ref()));
    EXPECT_EQ(QApplication::focusWidget(), Ref()->List1);
    EXPECT_TRUE(melt->isVisible());
    DoubleClickRefTable("ITEMS");
    EXPECT_EQ(Ref()->List2->count(), 2);

    // "閉じる" goes back to the table list.
    QPointer<frmMELT> closing = melt;
    QTest::mouseClick(melt->Command1[1], Qt::LeftButton);
    SettleClosedWindows();
    EXPECT_EQ(closing, nullptr);
    EXPECT_TRUE(WaitActive(Ref()));
    EXPECT_EQ(QApplication::focusWidget(), Ref()->List1);
}

TEST_F(RefTableTest, AnEmptyPickerAsksForAFile) {
    platform::ScriptedArchiver archiver;
    platform::ScopedStandIns installed(app.Platform, {.archiver = &archiver});
    OpenTable(layoutDb, "CUST");
    OpenRefWindow();
    ChooseRefFile(data.File("empty.lzh"));
    frmMELT* melt = Ref()->MeltWindow();
    ASSERT_NE(melt, nullptr);
    EXPECT_EQ(melt->File1->count(), 0);
    prompts.Expect("参照するファイルをクリックで選択して下さい。");
    QTest::mouseClick(melt->Command1[0], Qt::LeftButton);
    prompts.Expect("ダブルクリックで参照するファイルを選択して下さい。");
    QTest::mouseDClick(melt->File1->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(Ref()->RefFile.FullPath == data.File("empty.lzh"));
}

TEST_F(RefTableTest, ADatabaseOutOfAZipArchiveNamedInCapitals) {
    const std::string source = data.File("source.mdb");
    MakeTable(source, "ITEMS",
              {{"ITEM_NO", dao::dbLong, 0, 0, "品番"}, {"ITEM_NAME", dao::dbText, 30}});
    const std::string zip = data.File("GOODS.ZIP");
    ASSERT_TRUE(
        archivetest::WriteZip(zip, {{"sub/ITEMS.MDB", ReadAll(source)}, {"NOTE.TXT", "n"}}));
    StartEmptyLayout();
    OpenRefWindow();
    ChooseRefFile(zip);
    frmMELT* melt = Ref()->MeltWindow();
    ASSERT_NE(melt, nullptr);
    EXPECT_EQ(Lines(melt->File1), (QStringList{"ITEMS.MDB", "NOTE.TXT"}));
    DoubleClickItem(melt->File1, 0);
    DoubleClickRefTable("ITEMS");
    InsertFields({0, 1});
    EXPECT_EQ(WorkRows(), (std::vector<WorkRow>{NewRow(1, "ITEM_NO", "dbLong", 4, "", "品番"),
                                                NewRow(2, "ITEM_NAME", "dbText", 30)}));
}

TEST_F(RefTableTest, ADatabasePickedOutOfAnLzhArchiveAndItsFieldsInserted) {
    const fs::path lzh = fs::path(TESTDATA_DIR) / "archives" / "shop-lh5-h2.lzh";
    if (!fs::exists(lzh)) GTEST_SKIP() << "no test archives at " << lzh.parent_path();
    StartEmptyLayout();
    OpenRefWindow();
    ChooseRefFile(lzh.string());
    frmMELT* melt = Ref()->MeltWindow();
    ASSERT_NE(melt, nullptr);
    EXPECT_EQ(Lines(melt->File1), (QStringList{"index.mdb", "README.TXT", "TESTV1997.MDB"}));
    DoubleClickItem(melt->File1, 2);
    EXPECT_EQ(Ref()->Text2[1]->text(), "TESTV1997");
    EXPECT_EQ(Lines(Ref()->List1).size(), 4);
    DoubleClickRefTable("Table1");
    InsertFields({1, 4});
    EXPECT_EQ(WorkRows(),
              (std::vector<WorkRow>{NewRow(1, "B", "dbText", 100), NewRow(2, "E", "dbLong", 4)}));
    EXPECT_EQ(W().LastRow, 3);
}

} // namespace
