// The import window's frame: its work store, choosing a file and a table on each side, the
// table structures with their limits, the menus and toolbar, and leaving for the designer or
// the end.
#include <QAction>
#include <QPushButton>
#include <QSignalSpy>

#include "forms/ProgramWindows.h"
#include "forms/ToolImage.h"
#include "forms/frmAbout.h"
#include "import_support.h"

using namespace importtest;
using tavorin::SameText;

namespace {

// A target CUST (ID Long key, NAME Text 20, AMOUNT Long, an auto number SEQ) and a source
// ORDERS (CODE Text 8 key, NAME Text 30, QTY Integer) in one file.
void MakePair(const std::string& path) {
    tavorintest::MakeTable(path, "CUST",
                           {{"ID", dao::dbLong},
                            {"NAME", dao::dbText, 20},
                            {"AMOUNT", dao::dbLong},
                            {"SEQ", dao::dbLong, 0, dao::dbAutoIncrField}},
                           {{"PrimaryKey", true, true, {{"ID", false}}}}, "顧客マスタ");
    tavorintest::MakeTable(
        path, "ORDERS",
        {{"CODE", dao::dbText, 8}, {"NAME", dao::dbText, 30}, {"QTY", dao::dbInteger}},
        {{"PK", true, true, {{"CODE", false}}}});
}

class ImportWindowTest : public ImportTest {};

TEST_F(ImportWindowTest, StartsWithItsOwnWorkDatabasesAndEmptySides) {
    EXPECT_EQ(W().windowTitle(), "データの移入");
    // Each side's WKTBL as the window lays it out, with WKKEY on FLD08.
    struct Expected {
        std::vector<std::tuple<std::string, int, long>> columns;
    };
    const std::vector<std::tuple<std::string, int, long>> target = {
        {"FLD01", dao::dbText, 4},    {"FLD02", dao::dbText, 255}, {"FLD03", dao::dbText, 13},
        {"FLD04", dao::dbInteger, 2}, {"FLD05", dao::dbText, 255}, {"FLD06", dao::dbText, 13},
        {"FLD07", dao::dbInteger, 2}, {"FLD08", dao::dbLong, 4}};
    const std::vector<std::tuple<std::string, int, long>> source = {
        {"FLD01", dao::dbText, 4},    {"FLD02", dao::dbText, 255},  {"FLD03", dao::dbText, 13},
        {"FLD04", dao::dbInteger, 2}, {"FLD05", dao::dbInteger, 2}, {"FLD08", dao::dbLong, 4}};
    const std::string folder = app.Store.WorkFolder;
    EXPECT_EQ(W().Sides[kTarget].WorkPath, folder + "/FormatTemp1.MDB");
    EXPECT_EQ(W().Sides[kSource].WorkPath, folder + "/FormatTemp2.MDB");
    EXPECT_EQ(W().ScratchPath, folder + "/FORMATTEMP3.MDB");
    for (int side = 0; side < 2; ++side) {
        SCOPED_TRACE(side);
        engine::DatabasePtr db = Ws().OpenDatabase(W().Sides[static_cast<size_t>(side)].WorkPath);
        EXPECT_EQ(db->Connect(), engine::kLangJapanese);
        EXPECT_EQ(db->TableDefs().Names(), std::vector<std::string>{"WKTBL"});
        engine::TableDefPtr td = db->TableDefs().Item("WKTBL");
        const auto& expected = side == kTarget ? target : source;
        ASSERT_EQ(td->Fields().Count(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            const engine::FieldPtr f = td->Fields()[i];
            EXPECT_EQ(f->Name(), std::get<0>(expected[i]));
            EXPECT_EQ(f->Type(), std::get<1>(expected[i]));
            EXPECT_EQ(f->Size(), std::get<2>(expected[i]));
            EXPECT_EQ(f->AllowZeroLength(), f->Type() == dao::dbText) << f->Name();
        }
        ASSERT_EQ(td->Indexes().Count(), 1u);
        const engine::IndexPtr key = td->Indexes()[0];
        EXPECT_EQ(key->Name(), "WKKEY");
        EXPECT_TRUE(key->Primary());
        EXPECT_TRUE(key->Unique());
        ASSERT_EQ(key->Fields().Count(), 1u);
        EXPECT_EQ(key->Fields()[0]->Name(), "FLD08");
        EXPECT_TRUE(WorkRows(side).empty());
    }
    // Nothing chosen: the runs and links cannot be used, the lists are closed, the grids show.
    for (QAction* a : {W().mnCpyJoint, W().mnCpyJointNo, W().mnCpyJointCan, W().mnCpyJointCanAll,
                       W().mnCpyDel, W().mnCpyUpd1[1], W().mnCpyUpd1[2], W().mnCpyUpd1[3]})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QAction* a :
         {W().mnCpyFolder[1], W().mnCpyFolder[2], W().mnCpyCancel, W().mnEnd, W().mnCpyHELP})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(W().Frame2[0]->isVisible());
    EXPECT_FALSE(W().Frame2[1]->isVisible());
    EXPECT_TRUE(W().GridFrame->isVisible());
    EXPECT_FALSE(W().RecordFrame->isVisible());
    EXPECT_EQ(W().Image1[1]->toolTip(), "フォーマット作成にもどります｡ ");
    EXPECT_EQ(W().Image1[6]->toolTip(),
              "主キーで検索し、同一キーがなかった場合のみ追加登録します。");
    EXPECT_EQ(W().Image1[8], nullptr);
    EXPECT_EQ(W().Text3[4]->toolTip().left(10), "移入元テーブルからデ");
    EXPECT_EQ(W().Text3[51]->toolTip(), "");
    EXPECT_EQ(CellColour(0), kLightYellow);
    EXPECT_EQ(CellColour(50), kOlive);
}

TEST_F(ImportWindowTest, ChoosingAFileAndATableOnEachSideLoadsTheirStructures) {
    const std::string db = data.File("shop.mdb");
    MakePair(db);
    OpenFile(kTarget, db);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Requests()[0].title, "ファイルの指定");
    EXPECT_EQ(dialogs.Requests()[0].filter,
              "すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*.MDB");
    EXPECT_EQ(W().Text2[0]->text().toStdString(), data.Path() + "/");
    EXPECT_EQ(W().Text2[1]->text(), "shop");
    EXPECT_TRUE(W().Frame2[kTarget]->isVisible());
    ASSERT_EQ(W().List1[kTarget]->count(), 2);
    EXPECT_EQ(W().List1[kTarget]->item(0)->text(), "CUST                          顧客マスタ");
    EXPECT_FALSE(W().mnCpyDel->isEnabled());

    PickTable(kTarget, "CUST");
    EXPECT_FALSE(W().Frame2[kTarget]->isVisible());
    EXPECT_EQ(W().Text1[0]->text(), "CUST");
    EXPECT_EQ(W().Text1[1]->text(), "顧客マスタ");
    EXPECT_EQ(Status(), "移入先、移入元テーブルを選択後、連結フィールドを指定して下さい。");
    EXPECT_EQ(WorkRows(kTarget),
              (std::vector<Row>{{" 1", "ID", "dbLong", "4", "", "", "0", "1"},
                                {"", "NAME", "dbText", "20", "", "", "0", "2"},
                                {"", "AMOUNT", "dbLong", "4", "", "", "0", "3"},
                                {"", "SEQ", "(ｵｰﾄﾅﾝﾊﾞ-)", "4", "", "", "0", "4"}}));
    EXPECT_EQ(W().Key.fields.size(), 1u);
    EXPECT_EQ(W().Key.fields.at(0), "ID");
    EXPECT_EQ(W().Key.index, "PrimaryKey");
    EXPECT_EQ(W().Sides[kTarget].FieldCount, 4);
    // The grid: key rank, name, type, the size right-aligned in four places, the link.
    EXPECT_EQ(CellText(0), " 1");
    EXPECT_EQ(CellText(1), "ID");
    EXPECT_EQ(CellText(3), "   4");
    EXPECT_EQ(CellText(17), "(ｵｰﾄﾅﾝﾊﾞ-)");
    EXPECT_EQ(CellText(20), "");
    EXPECT_FALSE(W().mnCpyDel->isEnabled()); // no source table yet

    Open(kSource, db, "ORDERS");
    EXPECT_EQ(WorkRows(kSource), (std::vector<Row>{{" 1", "CODE", "dbText", "8", "0", "1"},
                                                   {"", "NAME", "dbText", "30", "0", "2"},
                                                   {"", "QTY", "dbInteger", "2", "0", "3"}}));
    EXPECT_EQ(CellText(51), "CODE");
    EXPECT_EQ(CellText(53), "   8");
    for (QAction* a : {W().mnCpyJoint, W().mnCpyJointNo, W().mnCpyJointCan, W().mnCpyJointCanAll,
                       W().mnCpyDel, W().mnCpyUpd1[1], W().mnCpyUpd1[2], W().mnCpyUpd1[3]})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();

    // Another file for the source side empties it and the runs are off again.
    const std::string other = data.File("other.mdb");
    MakePair(other);
    OpenFile(kSource, other);
    EXPECT_EQ(W().Text1[2]->text(), "");
    EXPECT_TRUE(WorkRows(kSource).empty());
    EXPECT_FALSE(W().mnCpyDel->isEnabled());
    EXPECT_EQ(W().Sides[kSource].File.FullPath, other);
    EXPECT_EQ(WorkRows(kTarget).size(), 4u);
}

TEST_F(ImportWindowTest, TableBoxClickTogglesTheListAndACancelledDialogChangesNothing) {
    const std::string db = data.File("shop.mdb");
    MakePair(db);
    Open(kTarget, db, "CUST");
    QTest::mouseClick(W().Text1[0], Qt::LeftButton);
    EXPECT_TRUE(W().Frame2[kTarget]->isVisible());
    QTest::mouseClick(W().Text1[1], Qt::LeftButton);
    EXPECT_FALSE(W().Frame2[kTarget]->isVisible());
    dialogs.Cancel();
    W().mnCpyFolder[1]->trigger();
    EXPECT_EQ(W().Text1[0]->text(), "CUST");
    EXPECT_EQ(W().Sides[kTarget].File.FullPath, db);
    EXPECT_EQ(WorkRows(kTarget).size(), 4u);
    // The start name of the dialog is the side's base name.
    EXPECT_EQ(dialogs.Requests().back().fileName, "shop");
}

TEST_F(ImportWindowTest, AWorkDatabaseOrAnotherKindOfFileIsRefused) {
    dialogs.Answer(QString::fromStdString(W().Sides[kSource].WorkPath));
    prompts.Expect("このファイルは作業できません。");
    W().mnCpyFolder[2]->trigger();
    EXPECT_EQ(W().Sides[kSource].File.FullPath, "");
    EXPECT_FALSE(W().Frame2[kSource]->isVisible());
    const std::string text = data.File("notes.txt");
    tavorintest::WriteFile(text);
    prompts.Expect("ＭＤＢファイル以外は指定できません。");
    OpenFile(kTarget, text);
    EXPECT_EQ(W().Sides[kTarget].File.FullPath, "");
    EXPECT_EQ(W().Text2[1]->text(), "");
}

TEST_F(ImportWindowTest, ADamagedFileGivesOneMessageAndTheSideStaysEmpty) {
    const std::string bad = data.File("bad.mdb");
    tavorintest::WriteFile(bad, std::string(4096, 'x'));
    prompts.ExpectAny();
    OpenFile(kTarget, bad);
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; 3343"))
        << prompts.Shown()[0].text.toStdString();
    EXPECT_EQ(W().Sides[kTarget].File.FullPath, "");
    EXPECT_FALSE(W().Frame2[kTarget]->isVisible());
    // The window goes on: a good file on the same side.
    const std::string db = data.File("shop.mdb");
    MakePair(db);
    Open(kTarget, db, "CUST");
    EXPECT_EQ(W().Text1[0]->text(), "CUST");
}

// The window's own bounds (999 fields, 20 key fields) lie beyond Jet's (255 fields, 10 fields
// in an index): a file whose catalog goes past Jet's is refused by the engine as damaged, so
// the widest table the window meets is Jet's widest.
TEST_F(ImportWindowTest, ATableOfJetsWidthLoadsAndAFileWithAWiderOneIsRefusedAsDamaged) {
    const std::string db = data.File("wide.mdb");
    MakeWideTable(db, "W255", 255, 1);
    Open(kTarget, db, "W255");
    EXPECT_EQ(W().Sides[kTarget].FieldCount, 255);
    auto rows = WorkRows(kTarget);
    ASSERT_EQ(rows.size(), 255u);
    EXPECT_EQ(rows[254][1], "F0255");
    EXPECT_EQ(rows[254][7], "255");
    EXPECT_EQ(W().VScroll1[kTarget]->maximum(), 254);
    EXPECT_EQ(W().VScroll1[kTarget]->pageStep(), 10);

    const std::string wider = data.File("wider.mdb");
    MakeWideTable(wider, "W256", 256, 1);
    prompts.ExpectAny();
    OpenFile(kSource, wider);
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; 3343"))
        << prompts.Shown()[0].text.toStdString();
    EXPECT_EQ(W().Sides[kSource].File.FullPath, "");
    EXPECT_EQ(W().Sides[kTarget].FieldCount, 255);
}

TEST_F(ImportWindowTest, KeysOfJetsWidthAreRankedAndAFileWithAWiderKeyIsRefusedAsDamaged) {
    const std::string db = data.File("keys.mdb");
    MakeWideTable(db, "K10", 25, 10);
    Open(kSource, db, "K10");
    auto rows = WorkRows(kSource);
    ASSERT_EQ(rows.size(), 25u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(rows[static_cast<size_t>(i)][0], engine::Str(Variant::Long(i + 1)));
    EXPECT_EQ(rows[10][0], "");
    Open(kTarget, db, "K10");
    EXPECT_EQ(W().Key.fields.size(), 10u);
    EXPECT_EQ(W().Key.fields.at(9), "F0010");
    EXPECT_EQ(WorkRows(kTarget)[9][0], " 10");

    const std::string wider = data.File("widerkey.mdb");
    MakeWideTable(wider, "K11", 25, 11);
    prompts.ExpectAny();
    OpenFile(kTarget, wider);
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; 3343"))
        << prompts.Shown()[0].text.toStdString();
}

TEST_F(ImportWindowTest, AKeyFieldMissingFromTheTableIsRefused) {
    const std::string db = data.File("broken.mdb");
    MakeWideTable(db, "T", 3, 1);
    RawSql(db, "UPDATE MSysIndexColumns SET FieldName = 'GONE' WHERE TableName = 'T'");
    OpenFile(kTarget, db);
    prompts.Expect("主キーに指定されているフィールドがテーブル内に存在しません。作業できません。");
    PickTable(kTarget, "T");
    EXPECT_EQ(W().Sides[kTarget].TableName, "");
    EXPECT_EQ(W().Key.fields.size(), 0u);
}

TEST_F(ImportWindowTest, ATableWithoutPrimaryKeyLoadsWithoutRanks) {
    const std::string db = data.File("plain.mdb");
    tavorintest::MakeTable(db, "LOG", {{"AT", dao::dbDate}, {"MSG", dao::dbMemo}},
                           {{"ByAt", false, false, {{"AT", false}}}});
    Open(kTarget, db, "LOG");
    EXPECT_EQ(WorkRows(kTarget), (std::vector<Row>{{"", "AT", "dbDate", "8", "", "", "0", "1"},
                                                   {"", "MSG", "dbMemo", "0", "", "", "0", "2"}}));
    EXPECT_EQ(W().Key.fields.size(), 0u);
    EXPECT_EQ(W().Key.index, "");
    EXPECT_EQ(CellText(8), "    "); // a zero size shows as blanks
    EXPECT_EQ(W().VScroll1[kTarget]->maximum(), 1);
    EXPECT_EQ(W().VScroll1[kTarget]->pageStep(), 1);
}

TEST_F(ImportWindowTest, AGenuineJetFileCanBeTheSource) {
    const std::string jet = TESTDATA_DIR "/jet/testV1997.mdb";
    if (!fs::exists(jet)) GTEST_SKIP() << "no Jet test files at " << TESTDATA_DIR;
    Open(kSource, jet, "Table1");
    const auto rows = WorkRows(kSource);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0][1], "A");
    EXPECT_EQ(rows[0][2], "dbText");
    EXPECT_EQ(rows[0][3], "50");
    EXPECT_EQ(rows[8][2], "dbBoolean");
    EXPECT_TRUE(W().Sides[kSource].ReadOnly);
}

TEST_F(ImportWindowTest, ToolbarButtonsRunTheirCommandsOnlyWhileEnabled) {
    const std::string db = data.File("shop.mdb");
    MakePair(db);
    for (int i : {4, 5, 6, 7}) {
        QTest::mouseClick(W().Image1[static_cast<size_t>(i)], Qt::LeftButton);
        EXPECT_TRUE(prompts.Shown().empty()) << "button " << i;
    }
    dialogs.Answer(QString::fromStdString(db));
    QTest::mouseClick(W().Image1[3], Qt::LeftButton);
    EXPECT_EQ(W().Sides[kSource].File.FullPath, db);
    dialogs.Cancel();
    QTest::mouseClick(W().Image1[2], Qt::LeftButton);
    EXPECT_EQ(dialogs.Requests().size(), 2u);
    QTest::mouseClick(W().Image1[10], Qt::LeftButton);
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_TRUE(shell.opened[0].endsWith("/Help/manual.html"));
    // Hovering frames a button, pressing hides the frame.
    QTest::mouseMove(W().Image1[5]);
    W().Image1_MouseMove(5);
    EXPECT_TRUE(W().Line1[0]->isVisible());
    W().Image1_MouseDown(5);
    EXPECT_FALSE(W().Line1[0]->isVisible());
}

TEST_F(ImportWindowTest, EndRemovesTheWorkFolderAndEndsTheProgram) {
    const std::string folder = app.Store.WorkFolder;
    ASSERT_TRUE(fs::exists(folder + "/FormatTemp1.MDB"));
    QSignalSpy ended(window.get(), &frmMdbCpy::ProgramEnded);
    QTest::mouseClick(W().Image1[0], Qt::LeftButton);
    EXPECT_TRUE(W().Ended());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(W().isVisible());
}

TEST_F(ImportWindowTest, TheCloseBoxActsAsEnd) {
    const std::string folder = app.Store.WorkFolder;
    QSignalSpy ended(window.get(), &frmMdbCpy::ProgramEnded);
    W().close();
    EXPECT_TRUE(W().Ended());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(fs::exists(folder));
}

// ---- Taking turns with the designer ---------------------------------------------------------

TEST_F(ImportWindowTest, BackToTheDesignerRebuildsItsWorkStore) {
    tavorin::ProgramWindows turns(app); // as main() makes them
    const std::string folder = app.Store.WorkFolder;
    W().mnCpyCancel->trigger();
    EXPECT_TRUE(W().Ended());
    EXPECT_FALSE(W().isVisible());
    auto* designer = qobject_cast<tavorin::frmTavorin*>(turns.Current());
    ASSERT_NE(designer, nullptr);
    EXPECT_TRUE(designer->isVisible());
    EXPECT_EQ(app.Store.WorkFolder, folder);
    // The designer's own WKTBL, 16 columns, and no import work database.
    EXPECT_EQ(
        Ws().OpenDatabase(folder + "/FormatTemp1.MDB")->TableDefs().Item("WKTBL")->Fields().Count(),
        16u);
    EXPECT_FALSE(fs::exists(folder + "/FormatTemp2.MDB"));

    // And from the designer's menu into a new import window again; the version window the
    // designer opened goes with it.
    designer->mnAbout->trigger();
    QPointer<tavorin::frmAbout> about(designer->AboutWindow());
    ASSERT_TRUE(about && about->isVisible());
    ASSERT_TRUE(designer->mnCpy->isEnabled());
    QPointer<tavorin::frmTavorin> gone(designer);
    designer->mnCpy->trigger();
    auto* import = qobject_cast<frmMdbCpy*>(turns.Current());
    ASSERT_NE(import, nullptr);
    EXPECT_TRUE(import->isVisible());
    EXPECT_EQ(
        Ws().OpenDatabase(folder + "/FormatTemp1.MDB")->TableDefs().Item("WKTBL")->Fields().Count(),
        8u);
    QTest::qWait(20); // the designer deletes itself once its event is over
    EXPECT_TRUE(gone.isNull());
    EXPECT_TRUE(about.isNull() || !about->isVisible());
    import->mnEnd_Click();
    EXPECT_FALSE(fs::exists(folder));
    QTest::qWait(20);
}

} // namespace
