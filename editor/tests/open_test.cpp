// Choosing a database file and listing its tables: the file dialog, the refusals, the table
// list and the command line's file and table.
#include <QGroupBox>

#include "engine/testing/crafted_files.h"
#include "modules/FuncUtility.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;

namespace {

const QString kMdbFilter = "すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*.MDB";
const QString kArchiveFilter = "すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*.MDB|"
                               "冷凍ファイル(*.ZIP,*LZH)|*.ZIP;*.LZH";
const QString kNotMdb = "ＭＤＢファイル以外は指定できません。";
const QString kNotReadable =
    "参照できないファイルです。参照可能はファイルは　*.MDB,*.ZIP,*.LZH のみです。";

using OpenTest = WindowTest;

TEST_F(OpenTest, TheDialogAsksWithTheTitleFiltersAndStartFolderOfItsKind) {
    app.CurrentFile.LastFolder = data.Path() + "/";
    struct Case {
        const char* mode;
        int16_t kind;
        bool save;
        QString filter;
    };
    const Case cases[] = {
        {"G", 0, false, kMdbFilter}, {"W", 0, true, kMdbFilter}, {"g", 1, false, kArchiveFilter}};
    for (const Case& c : cases) {
        dialogs.Cancel();
        ChosenFile chosen{"/keep/", "keep", ".mdb", "/keep/keep.mdb"};
        int16_t error = 0;
        ChooseDatabaseFile(app, c.mode, c.kind, "start.mdb", chosen, error);
        EXPECT_EQ(error, platform::cdlCancel) << c.mode;
        EXPECT_EQ(chosen.FullPath, "/keep/keep.mdb") << "a cancel changes nothing";
        const platform::FileDialogRequest& r = dialogs.Requests().back();
        EXPECT_EQ(r.save, c.save) << c.mode;
        EXPECT_EQ(r.title, "ファイルの指定");
        EXPECT_EQ(r.initDir.toStdString(), data.Path() + "/");
        EXPECT_EQ(r.defaultExt, "*");
        EXPECT_EQ(r.fileName, "start.mdb");
        EXPECT_EQ(r.flags, 0x80200);
        EXPECT_EQ(r.filter, c.filter);
    }
}

TEST_F(OpenTest, ChosenNamesSplitAtTheLastDotOfTheFileName) {
    struct Case {
        std::string path;
        int16_t kind;
        QString message; // empty: accepted
        std::string folder, base, extension, full;
    };
    const std::string home = data.Path();
    const Case cases[] = {
        // A dot in a folder name belongs to the folder.
        {home + "/.local/share/顧客.mdb", 0, "", home + "/.local/share/", "顧客", ".mdb",
         home + "/.local/share/顧客.mdb"},
        {home + "/v1.2/a.b.MDB", 0, "", home + "/v1.2/", "a.b", ".MDB", home + "/v1.2/a.b.MDB"},
        {home + "/new.*", 0, "", home + "/", "new", ".MDB", home + "/new.MDB"},
        {home + "/archive.zip", 1, "", home + "/", "archive", ".zip", home + "/archive.zip"},
        {home + "/ARCHIVE.LZH", 1, "", home + "/", "ARCHIVE", ".LZH", home + "/ARCHIVE.LZH"},
        {home + "/.config/notes", 0, kNotMdb, "", "", "", ""},
        {home + "/archive.zip", 0, kNotMdb, "", "", "", ""},
        {home + "/memo.txt", 1, kNotReadable, "", "", "", ""},
    };
    for (const Case& c : cases) {
        app.CurrentFile.LastFolder = "/before/";
        if (!c.message.isEmpty()) prompts.Expect(c.message);
        dialogs.Answer(QString::fromStdString(c.path));
        ChosenFile chosen{"/old/", "old", ".mdb", "/old/old.mdb"};
        int16_t error = 0;
        ChooseDatabaseFile(app, "G", c.kind, "", chosen, error);
        EXPECT_EQ(error, 0) << c.path;
        EXPECT_EQ(chosen.Folder, c.folder) << c.path;
        EXPECT_EQ(chosen.BaseName, c.base) << c.path;
        EXPECT_EQ(chosen.Extension, c.extension) << c.path;
        EXPECT_EQ(chosen.FullPath, c.full) << c.path;
        EXPECT_EQ(app.CurrentFile.LastFolder, c.message.isEmpty() ? c.folder : "/before/")
            << c.path;
    }
}

TEST_F(OpenTest, TheWorkDatabasesAreRefusedAndTheChoiceStaysAsItWas) {
    for (const std::string& path : {app.Store.WorkDbPath, app.Store.PrintDbPath}) {
        prompts.Expect("このファイルは作業できません。");
        dialogs.Answer(QString::fromStdString(path));
        ChosenFile chosen{"/old/", "old", ".mdb", "/old/old.mdb"};
        int16_t error = 0;
        ChooseDatabaseFile(app, "G", 0, "", chosen, error);
        EXPECT_EQ(chosen.FullPath, "/old/old.mdb");
        EXPECT_EQ(chosen.Folder, "/old/");
    }
}

TEST_F(OpenTest, ClickingAFileBoxListsTheFilesTablesWithTheirDescriptions) {
    const std::string path = data.File("顧客.mdb");
    const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"; // 30 bytes
    MakeTable(path, "顧客マスタ", TextFields({"CODE"}), {}, "得意先の一覧");
    MakeTable(path, "a", TextFields({"X"}));
    MakeTable(path, thirty, TextFields({"X"}), {}, "長い名前");
    MakeTable(path, thirty + "5", TextFields({"X"}));
    // Names of system tables are skipped whatever their letter case.
    MakeTable(path, "MSysNotes", TextFields({"X"}));
    MakeTable(path, "msysLower", TextFields({"X"}));
    {
        engine::DatabasePtr db = OpenOrCreate(path);
        ASSERT_EQ(db->TableDefs().Count(), 6u);
        db->Close();
    }
    W().Text1[0]->setFocus();
    dialogs.Answer(QString::fromStdString(path));
    QTest::mouseClick(W().Text2[0], Qt::LeftButton);

    const QStringList expected = {
        "a" + QString(29, ' '), "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234  長い名前",
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ12345  ",
        "顧客マスタ" + QString(20, ' ') + "得意先の一覧", // 10 bytes of name
    };
    QStringList lines;
    for (int i = 0; i < W().List1->count(); ++i) lines << W().List1->item(i)->text();
    EXPECT_EQ(lines, expected);
    ASSERT_EQ(W().TableList.size(), 4u);
    EXPECT_EQ(W().TableList[3].Name, "顧客マスタ");
    EXPECT_EQ(W().TableList[3].Description, "得意先の一覧");
    EXPECT_EQ(W().TableList[0].Description, "");

    EXPECT_EQ(W().Text2[0]->text().toStdString(), data.Path() + "/");
    EXPECT_EQ(W().Text2[1]->text(), "顧客.mdb");
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(app.CurrentFile.LastFolder, data.Path() + "/");
    EXPECT_TRUE(W().Frame2->isVisible());
    EXPECT_EQ(Focus(), W().Text1[0]);
    for (QAction* command :
         {W().mnFileRename, W().mnFileDel, W().mnFileCpy, W().mnTablePrintAll, W().mnFileFree})
        EXPECT_TRUE(W().MenuState(command)) << command->objectName().toStdString();
    EXPECT_FALSE(W().MenuState(W().mnTableSave[0]));
}

TEST_F(OpenTest, AFileWithOnlyCatalogTablesGivesAnEmptyList) {
    const std::string path = data.File("empty.mdb");
    OpenOrCreate(path)->Close();
    OpenFile(path);
    EXPECT_EQ(W().List1->count(), 0);
    EXPECT_TRUE(W().TableList.empty());
    EXPECT_EQ(app.CurrentFile.FullPath, path);
}

TEST_F(OpenTest, AFileOf250TablesListsEveryTable) {
    const std::string path = data.File("many.mdb");
    {
        engine::DatabasePtr db = OpenOrCreate(path);
        for (int i = 1; i <= 250; ++i) {
            engine::TableDefPtr td = db->CreateTableDef("T" + std::to_string(1000 + i));
            td->Fields().Append(td->CreateField("F", dao::dbLong));
            db->TableDefs().Append(td);
        }
        db->Close();
    }
    OpenFile(path);
    ASSERT_EQ(W().List1->count(), 250);
    ASSERT_EQ(W().TableList.size(), 250u);
    EXPECT_EQ(W().TableList[0].Name, "T1001");
    EXPECT_EQ(W().TableList[249].Name, "T1250");
    // The last one opens like any other.
    DoubleClickTable("T1250");
    EXPECT_EQ(W().CurrentTable, "T1250");
    EXPECT_EQ(Cell(0, grid::kName)->text(), "F");
}

TEST_F(OpenTest, ANewFileNameIsTakenWithAnEmptyListAndTheFileCommandsOff) {
    const std::string path = data.File("new.mdb");
    OpenFile(path);
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(W().List1->count(), 0);
    EXPECT_FALSE(W().MenuState(W().mnFileDel));
    EXPECT_TRUE(W().MenuState(W().mnFileFree));
}

TEST_F(OpenTest, AFileOfTheWrongKindIsRefusedAndTheFileReleased) {
    const std::string path = data.File("a.mdb");
    MakeTable(path, "T", TextFields({"A"}));
    OpenTable(path, "T");
    prompts.Expect(kNotMdb);
    OpenFile(data.File("notes.txt"));
    EXPECT_EQ(app.CurrentFile.FullPath, "");
    EXPECT_EQ(W().Text2[1]->text(), "");
    EXPECT_EQ(W().List1->count(), 0);
    EXPECT_EQ(W().CurrentTable, "");
    EXPECT_FALSE(W().MenuState(W().mnFileFree));
}

TEST_F(OpenTest, AFileTheEngineCannotReadKeepsThePreviousFileAndLayout) {
    const std::string good = data.File("good.mdb");
    MakeTable(good, "T", TextFields({"A", "B"}));
    OpenTable(good, "T");
    const std::string bad = data.File("bad.mdb");
    WriteFile(bad, "this is no database");
    prompts.ExpectAny();
    OpenFile(bad);
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; 3343"))
        << prompts.Shown()[0].text.toStdString();
    EXPECT_EQ(app.CurrentFile.FullPath, good);
    EXPECT_EQ(W().List1->count(), 1);
    EXPECT_EQ(W().TableList.size(), 1u);
    EXPECT_EQ(W().CurrentTable, "T");
    EXPECT_EQ(WorkRows().size(), 2u);
}

// Files another program changed: refused with the engine's reason, reading none of an endless
// catalog, and the previous file stays.
TEST_F(OpenTest, CraftedFilesAreRefusedWithTheReasonAndThePreviousFileStays) {
    const std::string good = data.File("good.mdb");
    MakeTable(good, "T", TextFields({"A", "B"}));
    OpenTable(good, "T");
    craftedfiles::RowCounter counter;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"mark.mdb", "UPDATE MSysDatabase SET Value = 'other' WHERE Key = 'Format'"},
        {"endless.mdb", "DROP TABLE MSysTables; CREATE VIEW MSysTables AS " +
                            craftedfiles::kEndless +
                            "SELECT 'T' || i AS Name, 1 AS NextAutoNumber FROM n WHERE test_row()"},
    };
    for (const auto& [name, sql] : cases) {
        SCOPED_TRACE(name);
        const std::string bad = data.File(name);
        craftedfiles::MakeCraftedFile(bad, sql);
        craftedfiles::RowsRead() = 0;
        prompts.ExpectAny();
        OpenFile(bad);
        ASSERT_EQ(prompts.Shown().size(), 1u);
        const QString text = prompts.Shown()[0].text;
        EXPECT_TRUE(text.startsWith(QString::fromStdString("Error; 3343\rデータベース形式 '" + bad +
                                                           "' を認識できません。 (")))
            << text.toStdString();
        EXPECT_EQ(craftedfiles::RowsRead(), 0);
        EXPECT_EQ(app.CurrentFile.FullPath, good);
        EXPECT_EQ(W().TableList.size(), 1u);
        EXPECT_EQ(W().CurrentTable, "T");
        prompts.Clear();
    }
}

TEST_F(OpenTest, CancellingTheDialogKeepsFileTableAndChangedLayout) {
    const std::string path = data.File("a.mdb");
    MakeTable(path, "T", TextFields({"A"}));
    OpenTable(path, "T");
    W().LayoutChanged = 9;
    prompts.Expect("作業中のフォーマットは変更されています。保存しますか。", platform::vbNo);
    dialogs.Cancel();
    QTest::mouseClick(W().Text2[0], Qt::LeftButton);
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(W().CurrentTable, "T");
    EXPECT_EQ(W().LayoutChanged, 9);
    EXPECT_EQ(WorkRows().size(), 1u);

    // Cancel at the save question: no dialog at all.
    prompts.Expect("作業中のフォーマットは変更されています。保存しますか。", platform::vbCancel);
    QTest::mouseClick(W().Text2[1], Qt::LeftButton);
    EXPECT_EQ(dialogs.Requests().size(), 2u); // the first opened the file
}

TEST_F(OpenTest, TheOpenCommandAndToolbarButtonOpenTheDialog) {
    const std::string path = data.File("a.mdb");
    MakeTable(path, "T", TextFields({"A"}));
    dialogs.Answer(QString::fromStdString(path));
    W().mnFileFolder->trigger();
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    dialogs.Answer(QString::fromStdString(path));
    QTest::mouseClick(W().Image1[1], Qt::LeftButton);
    EXPECT_EQ(dialogs.Requests().size(), 2u);
    EXPECT_EQ(W().List1->count(), 1);
}

TEST_F(OpenTest, TheCommandLinesFileAndTableAreOpenedAtStart) {
    const std::string path = data.File("cmd.mdb");
    MakeTable(path, "顧客", TextFields({"CODE", "NAME"}));
    const fs::path before = fs::current_path();
    fs::current_path(data.Path());
    W().OpenOnStart("cmd.mdb", "顧客"); // relative to the working folder
    fs::current_path(before);
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(W().Text2[1]->text(), "cmd.mdb");
    EXPECT_EQ(W().CurrentTable, "顧客");
    EXPECT_EQ(Cell(1, grid::kName)->text(), "NAME");
    EXPECT_TRUE(W().MenuState(W().mnTableSave[0]));
    EXPECT_EQ(Focus(), W().Text1[7]);

    prompts.Expect(kNotMdb);
    W().ReleaseFile();
    W().OpenOnStart(data.File("x.txt"), "");
    EXPECT_EQ(app.CurrentFile.FullPath, "");
}

TEST_F(OpenTest, RequireFileAndTableNamesWhatIsMissing) {
    int16_t error = 0;
    prompts.Expect("フォルダーを開いて、ファイルを指定して下さい。");
    W().RequireFileAndTable(error);
    EXPECT_EQ(error, 9);
    app.CurrentFile.FullPath = data.File("a.mdb");
    prompts.Expect("テーブルを指定して下さい。キー入力した場合にはエンタ－を押下して下さい。");
    W().RequireFileAndTable(error);
    EXPECT_EQ(error, 9);
    W().CurrentTable = "T";
    W().RequireFileAndTable(error);
    EXPECT_EQ(error, 0);
    W().CurrentTable.clear();
}

} // namespace
