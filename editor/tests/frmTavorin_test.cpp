// The main window on the offscreen platform: its start state, toolbar, menus, the End command
// and the life of the work folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "engine/error.h"
#include "engine/workspace.h"
#include "forms/ToolImage.h"
#include "forms/frmAbout.h"
#include "forms/frmTavorin.h"
#include "modules/WorkStore.h"
#include "platform/scripted.h"
#include "test_support.h"

using namespace tavorin;
using engine::Variant;
using platform::vbCancel;
using platform::vbNo;
using platform::vbYes;
using tavorintest::TempDir;
using tavorintest::WriteFile;
namespace fs = std::filesystem;

namespace {

const QString kSaveQuestion =
    QString::fromUtf8("作業中のフォーマットは変更されています。保存しますか。");

// The main window with the table save replaced by a stand-in that succeeds or fails.
class TestTavorin : public frmTavorin {
  public:
    using frmTavorin::frmTavorin;
    void SaveTable() override {
        ++saves;
        Saving().SaveAbandoned = failSave ? -1 : 0;
    }
    int saves = 0;
    bool failSave = false;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { app.Store.SetWorkBaseOverride(base.Path()); }

    void TearDown() override {
        if (window && !window->Ended()) {
            window->LayoutChanged = 0;
            window->mnEnd_Click();
        }
        window.reset();
        EXPECT_TRUE(prompts.Unexpected().isEmpty())
            << prompts.Unexpected().join("\n").toStdString();
        EXPECT_EQ(prompts.Pending(), 0);
    }

    TestTavorin& Start() {
        window = std::make_unique<TestTavorin>(app);
        EXPECT_TRUE(window->Form_Load());
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    std::string Folder(const char* name = "MdbTempDir") const { return base.File(name); }

    // Enabled on screen, by object name.
    QStringList EnabledCommands() const {
        QStringList names;
        for (QAction* a : window->findChildren<QAction*>())
            if (!a->objectName().isEmpty() && a->isEnabled()) names << a->objectName();
        names.sort();
        return names;
    }
    QStringList CommandsInState(bool on) const {
        QStringList names;
        for (QAction* a : window->findChildren<QAction*>())
            if (!a->objectName().isEmpty() && !a->isSeparator() && window->MenuState(a) == on)
                names << a->objectName();
        names.sort();
        return names;
    }

    TempDir base;
    platform::ScriptedPrompts prompts;
    platform::ScriptedFileDialogs dialogs;
    platform::RecordingShell shell;
    platform::MemoryClipboard clipboard;
    tavorin::AppContext app{
        engine::DBEngine::Instance().Workspaces(0),
        {.prompts = &prompts,
         .fileDialogs = &dialogs,
         .clipboard = &clipboard,
         .shell = &shell}}; // the run's state, which the window and the test share
    std::unique_ptr<TestTavorin> window;
};

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

// ---- Start state -------------------------------------------------------------------------------

TEST_F(MainWindowTest, MenusCarryEveryCaptionInOrder) {
    TestTavorin& w = Start();
    const std::vector<std::pair<QString, QStringList>> expected = {
        {"ファイル(&F)　　　",
         {"ファイルを開く(&O)", "ファイル名の変更(&R)", "ファイルの削除(&K)",
          "別名をつけてファイルの保存(&E)", "—", "指定ファイル内のすべてのレイアウトの印刷(&P)",
          "—", "ファイルの開放", "—", "終了(&X)"}},
        {"テーブル(&M)　　",
         {"他のテーブルからフィールドのコピー(&O)", "—", "テーブルの削除(&K)",
          "テーブル名の変更(&R)", "—", "レイアウトの印刷(&P)", "—", "テーブルの開放(&R)", "—",
          "テーブルの上書き保存(&S)", "別前をつけてテーブルの保存(&V)", "—", "変換の確認(&C)"}},
        {"行の編集(&E)　　　　",
         {"１行切り取り(&T)", "１行コピー(&C)", "１行貼り付け(&P)", "１行削除(&D)", "１行挿入(&I)",
          "１行移動", "—", "検索(&F)", "置換(&H)"}},
        {"オプション(&T)", {"デフォルト値の設定(&T)"}},
        {"データの編集(&I)", {"データの移入(&I)"}},
        {"ＨＥＬＰ(&H)　　　", {"操作説明(&H)", "—", "バージョン情報(&A)"}},
    };
    const QList<QAction*> menus = w.menuBar()->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    for (size_t m = 0; m < expected.size(); ++m) {
        EXPECT_EQ(menus[m]->text(), expected[m].first);
        QStringList items;
        for (QAction* item : menus[m]->menu()->actions())
            items << (item->isSeparator() ? "—" : item->text());
        EXPECT_EQ(items, expected[m].second) << expected[m].first.toStdString();
    }
    EXPECT_EQ(w.mnTableSave[0]->text(), "テーブルの上書き保存(&S)");
    EXPECT_EQ(w.mnLineEdit->title(), "行の編集(&E)　　　　");
}

TEST_F(MainWindowTest, StartsWithEmptyBoxesDefaultIndexSettingsAndFilledTypeLists) {
    clipboard.SetText("left over");
    TestTavorin& w = Start();
    EXPECT_EQ(w.windowTitle(), "フォーマットの作成");
    EXPECT_TRUE(w.Frame2->isVisible());
    EXPECT_FALSE(w.Frame3->isVisible());
    EXPECT_EQ(w.Frame2->title(), "テーブル一覧表");
    EXPECT_EQ(w.Frame3->title(), "インデックスキーの設定");
    EXPECT_EQ(w.List1->count(), 0);

    EXPECT_EQ(w.Text2[0]->text(), "");
    EXPECT_EQ(w.Text2[1]->text(), "");
    EXPECT_EQ(w.Text1[0]->text(), "");
    EXPECT_EQ(w.Text1[7]->text(), "");
    const QStringList indexNames = {"PrimaryKey", "SubKey1", "SubKey2",
                                    "SubKey3",    "SubKey4", "SubKey5"};
    const int dups[6] = {0, 1, 1, 1, 1, 1};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(w.Text1[k + 1]->text(), indexNames[k]);
        EXPECT_EQ(w.Combo1[k]->currentIndex(), dups[k]) << k;
        ASSERT_EQ(w.Combo1[k]->count(), 2);
        EXPECT_EQ(w.Combo1[k]->itemText(0), "重複なし");
        EXPECT_EQ(w.Combo1[k]->itemText(1), "重複あり");
    }
    const QStringList types = {"(ｵｰﾄﾅﾝﾊﾞ-)", "dbBoolean",  "dbByte",   "dbInteger",
                               "dbLong",     "dbCurrency", "dbSingle", "dbDouble",
                               "dbDate",     "dbText",     "dbMemo"};
    for (int r = 0; r < 10; ++r) {
        QStringList items;
        for (int i = 0; i < w.Combo2[r]->count(); ++i) items << w.Combo2[r]->itemText(i);
        EXPECT_EQ(items, types) << "line " << r;
        EXPECT_EQ(w.Combo2[r]->currentIndex(), -1);
        EXPECT_EQ(w.Combo2[r]->palette().color(QPalette::Button), QColor(0xFF, 0xFF, 0x80));
        EXPECT_EQ(w.Label3[r]->text(), "");
        for (int i = 9 + 10 * r; i <= 18 + 10 * r; ++i) EXPECT_EQ(w.Text1[i]->text(), "") << i;
    }
    EXPECT_EQ(w.Text1[8], nullptr);
    EXPECT_EQ(w.Label6->text(), "");
    EXPECT_EQ(w.Label5[0]->text(), "行番");
    EXPECT_EQ(w.Label5[11]->text(), "備考");
    EXPECT_EQ(w.Label1->text(), "キー指定：ソート順　+ A(Ascending) or D(Descending) ");

    EXPECT_EQ(w.LayoutChanged, 0);
    EXPECT_EQ(w.CurRow, 0);
    EXPECT_EQ(w.TopRow, 1);
    EXPECT_TRUE(w.FocusSuppressed);
    EXPECT_EQ(w.CurrentTable, "");
    EXPECT_EQ(clipboard.Text(), "");

    // Centred on its screen (the frame, whose width is known only once shown, aside).
    const QRect screen = w.screen()->geometry();
    EXPECT_LE(std::abs(w.frameGeometry().center().x() - screen.center().x()), 3);
    EXPECT_LE(std::abs(w.frameGeometry().center().y() - screen.center().y()), 3);
}

TEST_F(MainWindowTest, StartMenuStatesAreThoseOfSetFileMenus0) {
    TestTavorin& w = Start();
    // As the menu routines leave them: open file, end, default values, data import, help, about.
    EXPECT_EQ(CommandsInState(true),
              Sorted({"mnFileFolder", "mnEnd", "mnOption", "mnCpy", "mnHelp", "mnAbout"}));
    // On screen only the commands the program can run yet.
    EXPECT_EQ(EnabledCommands(),
              Sorted({"mnFileFolder", "mnEnd", "mnOption", "mnCpy", "mnHelp", "mnAbout"}));
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(w.Line1[i]->isVisible());
    EXPECT_EQ(w.Image1[0]->toolTip(), "このプログラムを終了します。");
    EXPECT_EQ(w.Image1[4]->toolTip(), "テーブルを削除します。");
    EXPECT_EQ(w.Image1[10]->toolTip(), "ヘルプの表示を行います。");
}

TEST_F(MainWindowTest, MenuRoutinesSwitchTheCommandGroups) {
    TestTavorin& w = Start();
    const QStringList fileFour = {"mnFileRename", "mnFileDel", "mnFileCpy", "mnTablePrintAll"};
    const QStringList table = {"mnTableRef",    "mnTableRename", "mnTablePrint",
                               "mnTableDel",    "mnTableCancel", "mnTableSave_0",
                               "mnTableSave_1", "mnFieldSeach",  "mnFieldReplace"};
    auto state = [&](const QString& name) { return w.MenuState(w.findChild<QAction*>(name)); };

    const std::string existing = base.File("顧客.mdb");
    WriteFile(existing);
    app.CurrentFile.FullPath = existing;
    w.SetFileMenus(1);
    for (const QString& name : fileFour) EXPECT_TRUE(state(name)) << name.toStdString();
    EXPECT_TRUE(state("mnFileFree"));

    app.CurrentFile.FullPath = base.File("new.mdb"); // a new file's name
    w.SetFileMenus(1);
    for (const QString& name : fileFour) EXPECT_FALSE(state(name)) << name.toStdString();
    EXPECT_TRUE(state("mnFileFree"));

    app.CurrentFile.FullPath = existing;
    w.SetFileMenus(1);
    w.Enable(w.mnLineCut, true); // as a click on a row label does
    w.SetTableMenus(1);
    for (const QString& name : table) EXPECT_TRUE(state(name)) << name.toStdString();
    for (const QString& name : fileFour) EXPECT_FALSE(state(name)) << name.toStdString();
    EXPECT_FALSE(state("mnCpy"));
    EXPECT_TRUE(state("mnFileFree"));
    EXPECT_TRUE(state("mnLineCut")); // line editing is left alone

    w.SetTableMenus(7); // no change
    EXPECT_TRUE(state("mnTableDel"));
    w.SetTableMenus(0);
    for (const QString& name : table) EXPECT_FALSE(state(name)) << name.toStdString();
    for (const char* name :
         {"mnLineCut", "mnLineCopy", "mnLinePast", "mnLineDel", "mnLineInsert", "mnLineMove"})
        EXPECT_FALSE(state(name)) << name;
    EXPECT_TRUE(state("mnCpy"));
    w.SetFileMenus(0);
    for (const QString& name : fileFour + QStringList{"mnFileFree"})
        EXPECT_FALSE(state(name)) << name.toStdString();
    app.CurrentFile = {};
}

// ---- Toolbar ---------------------------------------------------------------------------------

TEST_F(MainWindowTest, ToolbarButtonsDoNothingWhileTheirCommandIsDisabled) {
    TestTavorin& w = Start();
    QSignalSpy deletes(w.mnTableDel, &QAction::triggered);
    // Button 1 runs the open command, which is always enabled: a cancelled dialog changes
    // nothing.
    dialogs.Cancel();
    QTest::mouseClick(w.Image1[1], Qt::LeftButton);
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(app.CurrentFile.FullPath, "");
    // (Button 9, the data import, is enabled: the import window's tests take it.)
    for (int i = 2; i <= 8; ++i) {
        QTest::mouseClick(w.Image1[i], Qt::LeftButton);
        EXPECT_TRUE(prompts.Shown().empty()) << "button " << i;
        EXPECT_EQ(dialogs.Requests().size(), 1u) << "button " << i;
        EXPECT_TRUE(shell.opened.isEmpty()) << "button " << i;
        EXPECT_TRUE(w.isVisible()) << "button " << i;
    }
    EXPECT_FALSE(w.Ended());
    EXPECT_TRUE(fs::exists(Folder() + "/FormatTemp1.MDB"));

    // With a table open the delete command's state is on and the button runs it (no file is
    // open, so it finds no table); off again, the button does nothing.
    w.SetTableMenus(1);
    prompts.Expect("指定のファイル、又はテーブルが存在しません。");
    QTest::mouseClick(w.Image1[4], Qt::LeftButton);
    EXPECT_EQ(deletes.count(), 1);
    w.SetTableMenus(0);
    QTest::mouseClick(w.Image1[4], Qt::LeftButton);
    EXPECT_EQ(deletes.count(), 1);

    QTest::mouseClick(w.Image1[10], Qt::LeftButton);
    EXPECT_EQ(shell.opened.size(), 1);
    QTest::mouseClick(w.Image1[0], Qt::LeftButton);
    EXPECT_TRUE(w.Ended());
    EXPECT_FALSE(fs::exists(Folder()));
}

TEST_F(MainWindowTest, HoverFramesTheButtonUnderTheMouseAndPressingHidesIt) {
    TestTavorin& w = Start();
    for (int index : {0, 5, 10}) {
        QTest::mouseMove(w.Image1[index], QPoint(5, 5));
        const QRect picture = w.Image1[index]->geometry();
        QRect frame;
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(w.Line1[i]->isVisible()) << index;
            frame |= w.Line1[i]->geometry();
        }
        EXPECT_TRUE(frame.contains(picture)) << index;
        EXPECT_FALSE(picture.contains(frame)) << index;
        EXPECT_LE(frame.width() - picture.width(), 6) << index; // just outside the edges
        for (int i = 0; i < 4; ++i)
            EXPECT_FALSE(w.Line1[i]->geometry().intersects(picture)) << index;
    }
    QTest::mousePress(w.Image1[5], Qt::LeftButton);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(w.Line1[i]->isVisible());
    w.SetTableMenus(0);
    QTest::mouseRelease(w.Image1[5], Qt::LeftButton);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(w.Line1[i]->isVisible());
    EXPECT_TRUE(prompts.Shown().empty());
}

// ---- End -----------------------------------------------------------------------------------

TEST_F(MainWindowTest, EndFromTheKeyboardWithAnUnchangedLayoutAsksNothing) {
    TestTavorin& w = Start();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup, w.mnFile);
    QTest::keyClick(popup, Qt::Key_X);
    EXPECT_TRUE(w.Ended());
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(fs::exists(Folder()));
    EXPECT_TRUE(prompts.Shown().empty());
    EXPECT_EQ(w.saves, 0);
}

TEST_F(MainWindowTest, EndWithAChangedLayoutFollowsTheAnswer) {
    struct Case {
        const char* name;
        int answer;
        bool failSave;
        bool ends;
        int saves;
    };
    const Case cases[] = {
        {"cancel", vbCancel, false, false, 0},
        {"no", vbNo, false, true, 0},
        {"yes, saved", vbYes, false, true, 1},
        {"yes, save failed", vbYes, true, false, 1},
    };
    for (const Case& c : cases) {
        prompts.Clear();
        TestTavorin& w = Start();
        w.LayoutChanged = 9;
        w.failSave = c.failSave;
        QSignalSpy ended(&w, &frmTavorin::ProgramEnded);
        prompts.Expect(kSaveQuestion, c.answer);
        w.mnEnd->trigger();
        EXPECT_EQ(w.Ended(), c.ends) << c.name;
        EXPECT_EQ(ended.count(), c.ends ? 1 : 0) << c.name;
        EXPECT_EQ(w.saves, c.saves) << c.name;
        EXPECT_EQ(w.isVisible(), !c.ends) << c.name;
        EXPECT_EQ(fs::exists(Folder() + "/FormatTemp1.MDB"), !c.ends) << c.name;
        ASSERT_EQ(prompts.Shown().size(), 1u) << c.name;
        EXPECT_EQ(prompts.Shown()[0].style & 7, platform::vbYesNoCancel);
        if (!c.ends) {
            EXPECT_EQ(w.LayoutChanged, 9) << c.name;
            EXPECT_EQ(w.CellEdited, c.failSave) << c.name;
            EXPECT_TRUE(w.Frame3->isVisible()) << c.name;
            EXPECT_FALSE(w.Frame2->isVisible()) << c.name;
            // The work store still works.
            ASSERT_NE(app.Store.WorkRs, nullptr);
            EXPECT_TRUE(app.Store.WorkRs->Eof());
            w.LayoutChanged = 0;
            w.mnEnd_Click();
        }
        EXPECT_FALSE(fs::exists(Folder())) << c.name;
        window.reset();
    }
}

TEST_F(MainWindowTest, TheCloseBoxRunsEndAndCancelKeepsTheWindowOpen) {
    TestTavorin& w = Start();
    w.LayoutChanged = 9;
    prompts.Expect(kSaveQuestion, vbCancel);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.Ended());
    EXPECT_TRUE(fs::exists(Folder() + "/FormatTemp1.MDB"));

    prompts.Expect(kSaveQuestion, vbNo);
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.Ended());
    EXPECT_FALSE(fs::exists(Folder()));
    EXPECT_EQ(w.saves, 0);
}

// ---- Release and clear -------------------------------------------------------------------------

TEST_F(MainWindowTest, ReleaseFileEmptiesTheWorkTableAndEveryBox) {
    TestTavorin& w = Start();
    for (int row = 1; row <= 3; ++row) {
        app.Store.WorkRs->AddNew();
        app.Store.WorkRs->SetValue("FLD01", Variant::Long(row));
        app.Store.WorkRs->SetValue("FLD02", Variant("NAME" + std::to_string(row)));
        app.Store.WorkRs->Update();
    }
    w.Text2[0]->setText("/data/");
    w.Text2[1]->setText("a.mdb");
    app.CurrentFile = {"/data/", "a", ".mdb", "/data/a.mdb", "/data/b.mdb", "/data/"};
    w.TableList = {{"T1", "d1"}, {"T2", ""}};
    w.List1->addItems({"T1", "T2"});
    w.CurrentTable = "T1";
    w.TableDesc = "顧客";
    w.Text1[0]->setText("T1");
    w.Text1[7]->setText("顧客");
    w.Text1[1]->setText("PK");
    w.Combo1[0]->setCurrentIndex(1);
    w.Combo1[3]->setCurrentIndex(-1);
    w.Text1[9]->setText("CODE");
    w.Text1[108]->setText("x");
    w.Combo2[0]->setCurrentIndex(4);
    w.Label3[0]->setText("   1");
    w.LayoutChanged = 9;
    w.CurRow = 2;
    w.LastRow = 3;
    w.TopRow = 2;
    w.LineEditMode = 2;
    w.LastLineEdit = 2;
    w.CellEdited = true;
    w.FocusSuppressed = false;
    w.SetTableMenus(1);

    w.ReleaseFile();

    engine::RecordsetPtr check =
        app.Store.WorkDb->OpenRecordset("SELECT * FROM WKTBL", engine::RecordsetType::Snapshot);
    EXPECT_TRUE(check->Eof());
    check->Close();
    EXPECT_TRUE(app.Store.WorkRs->Eof() && app.Store.WorkRs->Bof());
    EXPECT_EQ(w.Text2[0]->text(), "");
    EXPECT_EQ(w.Text2[1]->text(), "");
    EXPECT_EQ(app.CurrentFile.FullPath, "");
    EXPECT_EQ(app.CurrentFile.SavedPath, "");
    EXPECT_EQ(app.CurrentFile.LastFolder, "/data/"); // the dialog still starts where it was left
    EXPECT_TRUE(w.TableList.empty());
    EXPECT_EQ(w.List1->count(), 0);
    EXPECT_EQ(w.CurrentTable, "");
    EXPECT_EQ(w.TableDesc, "");
    EXPECT_EQ(w.Text1[0]->text(), "");
    EXPECT_EQ(w.Text1[7]->text(), "");
    EXPECT_EQ(w.Text1[1]->text(), "PrimaryKey");
    EXPECT_EQ(w.Combo1[0]->currentIndex(), 0);
    EXPECT_EQ(w.Combo1[3]->currentIndex(), 1);
    EXPECT_EQ(w.Text1[9]->text(), "");
    EXPECT_EQ(w.Text1[108]->text(), "");
    EXPECT_EQ(w.Combo2[0]->currentIndex(), -1);
    EXPECT_EQ(w.Label3[0]->text(), "");
    EXPECT_EQ(w.LayoutChanged, 0);
    EXPECT_EQ(w.CurRow, 0);
    EXPECT_EQ(w.LastRow, 0);
    EXPECT_EQ(w.TopRow, 1);
    EXPECT_EQ(w.LineEditMode, 0);
    EXPECT_EQ(w.LastLineEdit, 0);
    EXPECT_FALSE(w.CellEdited);
    EXPECT_TRUE(w.FocusSuppressed);
    EXPECT_EQ(CommandsInState(true),
              Sorted({"mnFileFolder", "mnEnd", "mnOption", "mnCpy", "mnHelp", "mnAbout"}));
    app.CurrentFile = {};
}

// ---- Help and version ---------------------------------------------------------------------------

TEST_F(MainWindowTest, HelpOpensTheManualBesideTheProgram) {
    TestTavorin& w = Start();
    w.mnHelp->trigger();
    const QString manual = QCoreApplication::applicationDirPath() + "/Help/manual.html";
    EXPECT_EQ(shell.opened, QStringList{manual});
    QFile file(manual);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the build puts the manual beside the program";
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("<html")) << "not HTML";
    EXPECT_TRUE(text.contains("データの移入"));

    shell.answer = false; // no handler for HTML
    prompts.Expect("操作説明書 " + manual + " を表示できません。");
    w.mnHelp->trigger();
    EXPECT_EQ(shell.opened.size(), 2);
}

TEST_F(MainWindowTest, VersionWindowShowsVersionsAndTheSystemsFacts) {
    TestTavorin& w = Start();
    w.mnAbout->trigger();
    frmAbout* about = w.AboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), "バージョン情報");
    EXPECT_EQ(about->lblTitle->text(), "Tavorin");
    EXPECT_TRUE(about->lblVersion->text().startsWith("バージョン 0.1.0"));
    EXPECT_TRUE(
        about->lblVersion->text().contains(QRegularExpression("ビルド日 20\\d\\d/\\d\\d/\\d\\d")));
    const QString libraries = about->lblLibraries->text();
    for (const char* library : {"Qt 6.", "SQLite 3.", "libmdb ", "libarchive 3."})
        EXPECT_TRUE(libraries.contains(library)) << library << " in " << libraries.toStdString();

    w.mnAbout->trigger(); // shown again, not twice
    EXPECT_EQ(w.AboutWindow(), about);

    prompts.ExpectAny();
    QTest::mouseClick(about->cmdSysInfo, Qt::LeftButton);
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].title, "システム情報");
    const QStringList lines = prompts.Shown()[0].text.split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("OS: ") && lines[0].size() > 4);
    EXPECT_TRUE(lines[1].startsWith("カーネル: linux ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("CPU: "));
    EXPECT_TRUE(lines[3].contains(QRegularExpression("^メモリ: \\d+ MB")))
        << lines[3].toStdString();
    EXPECT_TRUE(prompts.Shown()[0].text.contains("SQLite 3."));

    w.mnEnd_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.AboutWindow(), nullptr); // closed with the program
}

// ---- Errors at the boundary ------------------------------------------------------------------

TEST_F(MainWindowTest, AStartThatCannotBuildTheWorkStoreSaysWhyAndFails) {
    const std::string notAFolder = base.File("occupied");
    WriteFile(notAFolder);
    app.Store.SetWorkBaseOverride(notAFolder);
    prompts.ExpectAny();
    auto w = std::make_unique<TestTavorin>(app);
    EXPECT_FALSE(w->Form_Load());
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].text.toStdString(),
              "Error; 76\rパス '" + notAFolder + "' が見つかりません。");
    EXPECT_FALSE(app.Store.HoldsWorkFolder());
}

TEST(Guarded, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
    platform::ScriptedPrompts prompts;
    platform::Services services({.prompts = &prompts});
    prompts.ExpectAny();
    prompts.ExpectAny();
    bool after = false;
    Guarded(services, [] { engine::Throw(engine::err::kDiskIo); });
    Guarded(services, [] { throw std::runtime_error("boom"); });
    after = true;
    EXPECT_TRUE(after);
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_EQ(prompts.Shown()[0].text, "Error; 3043\rディスクまたはネットワークのエラーです。");
    EXPECT_EQ(prompts.Shown()[1].text, "Error;\rboom");
}

// ---- The work folder's life --------------------------------------------------------------------

TEST_F(MainWindowTest, TheWorkFolderIsCreatedAtStartAndRemovedAtEnd) {
    TestTavorin& w = Start();
    EXPECT_EQ(app.Store.WorkFolder, Folder());
    EXPECT_EQ(app.Store.WorkDbPath, Folder() + "/FormatTemp1.MDB");
    EXPECT_EQ(app.Store.PrintDbPath, Folder() + "/FormatTemp2.MDB");
    EXPECT_EQ(app.Store.MeltFolder, Folder() + "/MeltDir");
    EXPECT_TRUE(fs::is_regular_file(app.Store.WorkDbPath));
    EXPECT_EQ(fs::status(app.Store.WorkFolder).permissions() & fs::perms::all,
              fs::perms::owner_all);
    EXPECT_EQ(app.Store.ProgramFolder, QCoreApplication::applicationDirPath().toStdString());
    w.mnEnd_Click();
    EXPECT_FALSE(fs::exists(Folder()));
    // The lock is given up with the folder.
    EXPECT_NE(FolderLock::TryAcquire(Folder() + ".lock"), nullptr);
}

TEST_F(MainWindowTest, ALeftOverOfAGoneInstanceIsRemovedWhateverItHolds) {
    const std::string old = Folder();
    fs::create_directories(old);
    CreateWorkDatabase(engine::DBEngine::Instance().Workspaces(0), old + "/FormatTemp1.MDB");
    {
        engine::DatabasePtr db =
            engine::DBEngine::Instance().Workspaces(0).OpenDatabase(old + "/FormatTemp1.MDB");
        engine::RecordsetPtr rs = db->OpenRecordset(kWorkTableSql);
        rs->AddNew();
        rs->SetValue("FLD01", Variant::Long(1));
        rs->SetValue("FLD02", Variant("OLD"));
        rs->Update();
        rs->Close();
        db->Close();
    }
    WriteFile(old + "/FormatTemp2.MDB");
    WriteFile(old + "/MeltDir/archive/x.mdb");

    Start();
    EXPECT_EQ(app.Store.WorkFolder, old);
    EXPECT_FALSE(fs::exists(old + "/FormatTemp2.MDB"));
    EXPECT_FALSE(fs::exists(old + "/MeltDir"));
    EXPECT_TRUE(app.Store.WorkRs->Eof() && app.Store.WorkRs->Bof());
    EXPECT_EQ(app.Store.WorkDb->TableDefs().Item("WKTBL")->RecordCount(), 0);

    // A folder holding only the extraction folder goes too.
    window->mnEnd_Click();
    window.reset();
    WriteFile(old + "/MeltDir/y.zip");
    Start();
    EXPECT_FALSE(fs::exists(old + "/MeltDir"));
    EXPECT_TRUE(fs::is_regular_file(old + "/FormatTemp1.MDB"));
}

TEST_F(MainWindowTest, ASecondInstanceLeavesTheLiveInstancesFolderAlone) {
    // The first instance is the real program.
    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(QStringLiteral(TAVORIN_EXE),
                {QStringLiteral("--workdir"), QString::fromStdString(base.Path())});
    ASSERT_TRUE(first.waitForStarted(10000));
    const std::string firstDb = Folder() + "/FormatTemp1.MDB";
    for (int i = 0; i < 300 && !fs::exists(firstDb); ++i) QTest::qWait(50);
    ASSERT_TRUE(fs::exists(firstDb)) << "the program did not start";
    QTest::qWait(100);
    WriteFile(Folder() + "/marker");

    Start();
    EXPECT_EQ(app.Store.WorkFolder, Folder("MdbTempDir2"));
    EXPECT_TRUE(fs::exists(firstDb));
    EXPECT_TRUE(fs::exists(Folder() + "/marker"));
    window->mnEnd_Click();
    window.reset();
    EXPECT_FALSE(fs::exists(Folder("MdbTempDir2")));
    EXPECT_FALSE(fs::exists(Folder("MdbTempDir2") + ".lock")); // what the end made goes with it
    EXPECT_TRUE(fs::exists(Folder() + "/marker"));
    EXPECT_TRUE(fs::exists(Folder() + ".lock")); // the live instance's

    // The first instance dies without ending: its folder stays until the next start.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_TRUE(fs::exists(Folder() + "/marker"));
    Start();
    EXPECT_EQ(app.Store.WorkFolder, Folder());
    EXPECT_FALSE(fs::exists(Folder() + "/marker"));
    EXPECT_TRUE(fs::exists(firstDb));
}

} // namespace

namespace {

TEST(SetUpApplication, LoadsQtsJapaneseCaptionsAndAJapaneseFont) {
    // The tests' main ran it, as the program's main does.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "キャンセル");
    if (QFontDatabase::families().contains("IPAGothic")) {
        EXPECT_EQ(QApplication::font().families().value(0), "IPAGothic");
    }
}

} // namespace
