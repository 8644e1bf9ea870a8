// The file menu's commands on the current database file: rename, delete, save a copy under a
// new name, release; and the moves and copies underneath them, which never touch a file the
// engine holds and take a file's journal along.
#include <QAction>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/DatabaseFiles.h"
#include "engine/testing/test_support.h"
#include "save_support.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using platform::vbCancel;
using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

namespace {

const QString kSaveQuestion = "作業中のフォーマットは変更されています。保存しますか。";
const QString kRenameTaken = "同じ名前のファイルが存在します。ファイル名の変更はできませんでした。";
const QString kCopyTaken = "同じ名前のファイルが存在します。ファイルの保存はできませんでした。";
const QString kCopyFailed = "ファイルの保存に失敗しました。";

QString DeleteQuestion(const std::string& path) {
    return QString::fromUtf8("データベース  [") + QString::fromStdString(path) +
           QString::fromUtf8("]  を削除します。すべてのテーブル、データは失われます。よろしいか。");
}

// What the file operations saw when they touched the disk.
struct Touch {
    FileOperation operation;
    std::string from;
    std::string to;
    bool fromHeld;   // the engine held the source at that moment
    bool workDbHeld; // the engine held the work database at that moment
};

// Records every file operation; fails those of the kind given with an errno.
class FileOperationSpy {
  public:
    explicit FileOperationSpy(tavorin::AppContext& app) : app_(app) {
        app.FileHook = [this, &app](FileOperation op, const std::string& from,
                                    const std::string& to) {
            engine::Workspace& ws = engine::DBEngine::Instance().Workspaces(0);
            touches.push_back(
                {op, from, to, ws.IsFileOpen(from), ws.IsFileOpen(app.Store.WorkDbPath)});
            return op == failing ? failWith : 0;
        };
    }
    ~FileOperationSpy() { app_.FileHook = {}; }
    std::vector<Touch> touches;
    std::optional<FileOperation> failing;
    int failWith = EACCES;

  private:
    tavorin::AppContext& app_;
};

// shop.mdb with the tables T (CODE, NAME; 3 records) and U.
class FileCommandsTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure()) return;
        path = data.File("shop.mdb");
        MakeTable(path, "T", {{"CODE", dao::dbText, 10}, {"NAME", dao::dbText, 20}},
                  {{"PrimaryKey", true, true, {{"CODE", false}}}});
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
        MakeTable(path, "U", {{"X", dao::dbLong}});
        OpenFile(path);
        ASSERT_EQ(W().TableList.size(), 2u);
    }

    std::vector<std::string> Listed() {
        std::vector<std::string> names;
        for (const auto& entry : W().TableList) names.push_back(entry.Name);
        return names;
    }

    // The window still works on its work table: a table loads into the grid.
    void ExpectWorkStoreUsable() {
        ASSERT_TRUE(app.Store.WorkRs && app.Store.WorkRs->IsOpen());
        DoubleClickTable("T");
        EXPECT_EQ(WorkRows().size(), 2u);
    }

    std::string path;
};

// ---- Menu states
// -----------------------------------------------------------------------------------

TEST_F(FileCommandsTest, FileCommandsFollowTheFileAndTableMenuStates) {
    for (QAction* command : {W().mnFileRename, W().mnFileDel, W().mnFileCpy, W().mnFileFree})
        EXPECT_TRUE(command->isEnabled()) << command->text().toStdString();
    DoubleClickTable("T");
    for (QAction* command : {W().mnFileRename, W().mnFileDel, W().mnFileCpy})
        EXPECT_FALSE(command->isEnabled()) << command->text().toStdString();
    for (QAction* command :
         {W().mnFileFree, W().mnTableRename, W().mnTableDel, W().mnTableCancel, W().mnTableSave[1]})
        EXPECT_TRUE(command->isEnabled()) << command->text().toStdString();
    W().mnTableCancel->trigger();
    EXPECT_TRUE(W().mnFileRename->isEnabled());
    W().mnFileFree->trigger();
    for (QAction* command : {W().mnFileRename, W().mnFileDel, W().mnFileCpy, W().mnFileFree})
        EXPECT_FALSE(command->isEnabled()) << command->text().toStdString();
}

// ---- Rename
// ------------------------------------------------------------------------------------------

TEST_F(FileCommandsTest, RenameMovesTheFileWhileNothingHoldsItAndShowsTheNewName) {
    FileOperationSpy spy{app};
    const std::string target = data.File("sub/renamed.mdb");
    fs::create_directories(data.File("sub"));
    dialogs.Answer(QString::fromStdString(target));
    W().mnFileRename->trigger();

    ASSERT_FALSE(dialogs.Requests().empty());
    EXPECT_TRUE(dialogs.Requests().back().save);
    EXPECT_EQ(dialogs.Requests().back().fileName, "shop.mdb");
    ASSERT_EQ(spy.touches.size(), 1u);
    EXPECT_EQ(spy.touches[0].operation, FileOperation::Move);
    EXPECT_FALSE(spy.touches[0].fromHeld);
    EXPECT_FALSE(spy.touches[0].workDbHeld);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(target));
    EXPECT_EQ(app.CurrentFile.FullPath, target);
    EXPECT_EQ(W().Text2[0]->text().toStdString(), data.File("sub/"));
    EXPECT_EQ(W().Text2[1]->text(), "renamed.mdb");
    EXPECT_EQ(Listed(), (std::vector<std::string>{"T", "U"}));
    EXPECT_EQ(Focus(), W().Text1[0]);
    ExpectWorkStoreUsable();
}

TEST_F(FileCommandsTest, RenameOntoAnExistingFileOrAStrayJournalIsRefused) {
    const std::string other = data.File("other.mdb");
    WriteFile(other, "keep");
    const std::string journalOnly = data.File("ghost.mdb");
    WriteFile(journalOnly + "-journal", "stray");
    for (const std::string& target : {other, journalOnly, path}) {
        dialogs.Answer(QString::fromStdString(target));
        prompts.Expect(kRenameTaken);
        W().mnFileRename->trigger();
        EXPECT_TRUE(fs::exists(path)) << target;
        EXPECT_EQ(app.CurrentFile.FullPath, path) << target;
        EXPECT_EQ(Focus(), W().Text1[0]);
    }
    EXPECT_FALSE(fs::exists(journalOnly));
    ExpectWorkStoreUsable();
}

TEST_F(FileCommandsTest, ACancelledDialogRenamesNothing) {
    dialogs.Cancel();
    W().mnFileRename->trigger();
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(Focus(), W().Text1[0]);
}

TEST_F(FileCommandsTest, AFailingRenameShowsTheSystemsReasonAsDetailsAndKeepsTheCurrentFile) {
    FileOperationSpy spy{app};
    spy.failing = FileOperation::Move;
    const std::string target = data.File("renamed.mdb");
    dialogs.Answer(QString::fromStdString(target));
    prompts.ExpectAny();
    W().mnFileRename->trigger();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    const QString text = prompts.Shown()[0].text;
    // The message is Japanese; the system's own words are its details.
    EXPECT_EQ(text, QString::fromStdString("Error; 70\r書き込みできません。\r" + target));
    EXPECT_EQ(prompts.Shown()[0].details, QString::fromUtf8(std::strerror(EACCES)));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(W().Text2[1]->text(), "shop.mdb");
    ExpectWorkStoreUsable();
}

// A folder the system refuses to write into: a read-only folder of ours, or (for the superuser,
// whom permissions do not bind) /sys, which also makes the move cross file systems.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const std::string& ours) {
        if (::geteuid() != 0) {
            folder_ = ours;
            fs::create_directories(ours);
            fs::permissions(ours, fs::perms::owner_read | fs::perms::owner_exec);
            restore_ = true;
        } else {
            const std::string probe = "/sys/tavorin-probe-" + std::to_string(::getpid());
            const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
            if (fd >= 0) {
                ::close(fd);
                ::unlink(probe.c_str());
                return;
            }
            folder_ = "/sys";
        }
    }
    ~ReadOnlyFolder() {
        if (restore_) fs::permissions(folder_, fs::perms::owner_all);
    }
    // Empty when no such folder can be had here.
    const std::string& Path() const { return folder_; }

  private:
    std::string folder_;
    bool restore_ = false;
};

TEST_F(FileCommandsTest, RenameOrCopyIntoAReadOnlyFolderFailsAndKeepsTheCurrentFile) {
    ReadOnlyFolder locked(data.File("locked"));
    if (locked.Path().empty()) GTEST_SKIP() << "no folder here refuses writing";
    const std::string target =
        locked.Path() + "/tavorin-test-" + std::to_string(::getpid()) + ".mdb";
    for (QAction* command : {W().mnFileRename, W().mnFileCpy}) {
        SCOPED_TRACE(command->text().toStdString());
        prompts.Clear();
        dialogs.Answer(QString::fromStdString(target));
        prompts.ExpectAny();
        command->trigger();
        ASSERT_EQ(prompts.Shown().size(), 1u);
        EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; 70\r"))
            << prompts.Shown()[0].text.toStdString();
        EXPECT_TRUE(fs::exists(path));
        EXPECT_FALSE(fs::exists(target));
        EXPECT_FALSE(
            fs::exists(app.Store.WorkFolder + "/" + fs::path(target).stem().string() + ".MDB"));
        EXPECT_EQ(app.CurrentFile.FullPath, path);
        EXPECT_EQ(W().Text2[1]->text(), "shop.mdb");
    }
    ExpectWorkStoreUsable();
}

// ---- Delete
// ------------------------------------------------------------------------------------------

TEST_F(FileCommandsTest, DeleteAsksWithThePathAndCancelKeepsEverything) {
    prompts.Expect(DeleteQuestion(path), vbCancel);
    W().mnFileDel->trigger();
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"T", "U"}));
    EXPECT_EQ(Focus(), W().Text1[0]);
}

TEST_F(FileCommandsTest, DeleteRemovesTheFileAndReleasesIt) {
    FileOperationSpy spy{app};
    prompts.Expect(DeleteQuestion(path), vbOK);
    W().mnFileDel->trigger();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + "-journal"));
    ASSERT_EQ(spy.touches.size(), 1u);
    EXPECT_EQ(spy.touches[0].operation, FileOperation::Delete);
    EXPECT_FALSE(spy.touches[0].fromHeld);
    EXPECT_TRUE(app.CurrentFile.FullPath.empty());
    EXPECT_TRUE(W().Text2[0]->text().isEmpty());
    EXPECT_TRUE(W().Text2[1]->text().isEmpty());
    EXPECT_EQ(W().List1->count(), 0);
    EXPECT_FALSE(W().mnFileDel->isEnabled());
    EXPECT_EQ(Focus(), W().Text1[0]);
}

TEST_F(FileCommandsTest, DeletingAFileThatVanishedSaysItDoesNotExist) {
    fs::remove(path);
    prompts.Expect("指定のデータベースは存在しません。");
    W().mnFileDel->trigger();
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(Focus(), W().Text1[0]);
}

// ---- Copy
// --------------------------------------------------------------------------------------------

TEST_F(FileCommandsTest, ACopyToALowerCaseNameGoesThroughTheWorkFolderAsMdbAndBecomesCurrent) {
    FileOperationSpy spy{app};
    const std::string target = data.File("copy.mdb");
    dialogs.Answer(QString::fromStdString(target));
    W().mnFileCpy->trigger();

    const std::string intermediate = app.Store.WorkFolder + "/copy.MDB";
    ASSERT_EQ(spy.touches.size(), 2u);
    EXPECT_EQ(spy.touches[0].operation, FileOperation::Copy);
    EXPECT_EQ(spy.touches[0].from, path);
    EXPECT_EQ(spy.touches[0].to, intermediate);
    EXPECT_EQ(spy.touches[1].operation, FileOperation::Move);
    EXPECT_EQ(spy.touches[1].from, intermediate);
    EXPECT_EQ(spy.touches[1].to, target);
    for (const Touch& t : spy.touches) {
        EXPECT_FALSE(t.fromHeld);
        EXPECT_FALSE(t.workDbHeld);
    }
    EXPECT_FALSE(fs::exists(intermediate));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(app.CurrentFile.FullPath, target);
    EXPECT_EQ(W().Text2[1]->text(), "copy.mdb");
    EXPECT_EQ(savetest::Dump(target, "T"), savetest::Dump(path, "T"));
    EXPECT_EQ(Focus(), W().Text1[0]);
}

TEST_F(FileCommandsTest, TheJet4FileTypeWritesAGenuineCopyAndWorkGoesOnInTheCurrentFile) {
    const std::string target = data.File("forjet.mdb");
    dialogs.Answer(QString::fromStdString(target), 3);
    prompts.Expect(
        QString::fromUtf8("Jet 4 形式（Access 2000-2003）のファイル ") +
        QString::fromStdString(target) +
        QString::fromUtf8(" を書き出しました。作業は引き続き現在のファイルで行います。"));
    W().mnFileCpy->trigger();

    ASSERT_FALSE(dialogs.Requests().empty());
    EXPECT_TRUE(dialogs.Requests().back().filter.endsWith(
        "|Jet 4 形式のＭＤＢファイル（Access 2000-2003）(*.MDB)|*.MDB"));
    std::string header(0x20, '\0');
    {
        std::ifstream in(target, std::ios::binary);
        ASSERT_TRUE(in.read(header.data(), static_cast<std::streamsize>(header.size())));
    }
    EXPECT_EQ(header.substr(4, 15), "Standard Jet DB");
    EXPECT_EQ(header[0x14], 1) << "the version byte of a Jet 4 file";
    EXPECT_EQ(savetest::Dump(target, "T"), savetest::Dump(path, "T"));
    EXPECT_FALSE(fs::exists(app.Store.WorkFolder + "/forjet.MDB"));
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(W().Text2[1]->text(), "shop.mdb");
    ExpectWorkStoreUsable();
}

TEST_F(FileCommandsTest, ASaveAfterTheCopyLandsInTheCopyAndNotInTheFirstFile) {
    W().realSave = true;
    const std::string target = data.File("copy.mdb");
    dialogs.Answer(QString::fromStdString(target));
    W().mnFileCpy->trigger();
    ASSERT_EQ(app.CurrentFile.FullPath, target);

    DoubleClickTable("T");
    savetest::Layout layout{app};
    layout.Set(2, "FLD02", engine::Variant("FULLNAME"));
    W().LayoutChanged = 9;
    prompts.Expect("テーブルを初期化しますか。", vbNo);
    prompts.Expect("データ変換が終了しました。更新しますか。", vbOK);
    W().mnTableSave[0]->trigger();
    ASSERT_EQ(W().Saving().SaveAbandoned, 0);

    const auto copied = savetest::Dump(target, "T");
    const auto first = savetest::Dump(path, "T");
    EXPECT_NE(copied[0].find("FULLNAME"), std::string::npos) << copied[0];
    EXPECT_EQ(first[0].find("FULLNAME"), std::string::npos) << first[0];
    EXPECT_EQ(copied.size(), 4u);
    EXPECT_EQ(copied[1], "C1|名前1|");
}

TEST_F(FileCommandsTest, ACopyOntoAnExistingFileIsRefused) {
    const std::string target = data.File("copy.MDB");
    WriteFile(target, "keep");
    dialogs.Answer(QString::fromStdString(target));
    prompts.Expect(kCopyTaken);
    W().mnFileCpy->trigger();
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(fs::file_size(target), 4u);
}

TEST_F(FileCommandsTest, AFailingCopyLeavesNothingAndKeepsTheCurrentFile) {
    FileOperationSpy spy{app};
    spy.failing = FileOperation::Copy;
    spy.failWith = ENOSPC;
    const std::string target = data.File("copy.mdb");
    dialogs.Answer(QString::fromStdString(target));
    prompts.Expect(kCopyFailed);
    W().mnFileCpy->trigger();
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(app.Store.WorkFolder + "/copy.MDB"));
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    ExpectWorkStoreUsable();
}

TEST_F(FileCommandsTest, AFailingFinalMoveKeepsTheFirstFileCurrentAndLeavesNoCopyBehind) {
    FileOperationSpy spy{app};
    spy.failing = FileOperation::Move;
    const std::string target = data.File("copy.mdb");
    dialogs.Answer(QString::fromStdString(target));
    prompts.ExpectAny();
    W().mnFileCpy->trigger();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; 70\r"));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(app.Store.WorkFolder + "/copy.MDB"));
    EXPECT_EQ(app.CurrentFile.FullPath, path);
    EXPECT_EQ(W().Text2[1]->text(), "shop.mdb");
    ExpectWorkStoreUsable();
}

// ---- Release
// -----------------------------------------------------------------------------------------

TEST_F(FileCommandsTest, ReleasingWithAChangedLayoutAsksFirst) {
    struct Case {
        int answer;
        bool released;
        int saves;
    };
    for (const Case& c : {Case{vbCancel, false, 0}, Case{vbNo, true, 0}, Case{vbYes, true, 1}}) {
        if (app.CurrentFile.FullPath.empty()) OpenFile(path);
        DoubleClickTable("T");
        W().LayoutChanged = 9;
        W().saves = 0;
        prompts.Expect(kSaveQuestion, c.answer);
        W().mnFileFree->trigger();
        EXPECT_EQ(W().saves, c.saves) << c.answer;
        EXPECT_EQ(app.CurrentFile.FullPath.empty(), c.released) << c.answer;
        EXPECT_EQ(W().CurrentTable.empty(), c.released) << c.answer;
        EXPECT_EQ(WorkRows().empty(), c.released) << c.answer;
        if (c.released) {
            EXPECT_EQ(Focus(), W().Text1[0]) << c.answer;
        }
        if (!c.released) W().LayoutChanged = 0;
    }
}

// ---- A file another program is changing
// -------------------------------------------------------------

// Another program's write transaction on the file: its lock held and its journal beside the file.
class OtherWriter {
  public:
    explicit OtherWriter(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
        EXPECT_EQ(
            sqlite3_exec(
                db_,
                "BEGIN IMMEDIATE; INSERT INTO \"T\" (\"CODE\", \"NAME\") VALUES ('C9', 'other')",
                nullptr, nullptr, nullptr),
            SQLITE_OK)
            << sqlite3_errmsg(db_);
    }
    ~OtherWriter() { sqlite3_close(db_); }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;
    int Commit() { return sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); }

  private:
    sqlite3* db_ = nullptr;
};

TEST_F(FileCommandsTest,
       EveryFileCommandRefusesAFileAnotherProgramIsChangingAtOnceAndTouchesNothing) {
    struct Case {
        const char* name;
        QAction* command;
        bool withLayout; // release is the one command open while a layout is loaded
    };
    const QString refusal =
        "Error; 3045\r" + QString::fromStdString(engine::DescriptionOf(engine::err::kLocked, path));
    for (const Case& c :
         {Case{"rename", W().mnFileRename, false}, Case{"delete", W().mnFileDel, false},
          Case{"copy", W().mnFileCpy, false}, Case{"release", W().mnFileFree, true}}) {
        SCOPED_TRACE(c.name);
        if (c.withLayout) DoubleClickTable("T");
        FileOperationSpy spy{app};
        OtherWriter other(path);
        ASSERT_TRUE(fs::exists(path + "-journal"));
        const size_t dialogsBefore = dialogs.Requests().size();
        prompts.Expect(refusal);
        QElapsedTimer clock;
        clock.start();
        c.command->trigger();
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(prompts.Pending(), 0);
        EXPECT_EQ(dialogs.Requests().size(), dialogsBefore);
        EXPECT_TRUE(spy.touches.empty());
        EXPECT_TRUE(fs::exists(path + "-journal"));
        EXPECT_EQ(app.CurrentFile.FullPath, path);
        EXPECT_EQ(W().CurrentTable.empty(), !c.withLayout);
        EXPECT_EQ(other.Commit(), SQLITE_OK);
        EXPECT_FALSE(fs::exists(path + "-journal"));
        // The other program's change is in the file; the next case starts from three records.
        engine::DatabasePtr db = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(path);
        EXPECT_EQ(db->OpenRecordset("T")->RecordCount(), 4);
        db->Execute("DELETE * FROM T WHERE CODE = 'C9'");
        db->Close();
        if (c.withLayout) W().mnTableCancel->trigger();
    }
}

// ---- A genuine Jet file
// ------------------------------------------------------------------------------

TEST_F(FileCommandsTest, AGenuineJetFileIsRenamedAndDeletedAsAnyFile) {
    const fs::path jet = fs::path(TESTDATA_DIR) / "jet" / "indexTestV2000.mdb";
    if (!fs::exists(jet)) GTEST_SKIP() << "no Jet test files at " << jet.parent_path();
    const std::string original = data.File("access.mdb");
    fs::copy_file(jet, original);
    W().mnFileFree->trigger();
    OpenFile(original);
    ASSERT_EQ(Listed(), (std::vector<std::string>{"Table1", "Table2", "Table3"}));

    FileOperationSpy spy{app};
    const std::string renamed = data.File("renamed.mdb");
    dialogs.Answer(QString::fromStdString(renamed));
    W().mnFileRename->trigger();
    ASSERT_EQ(app.CurrentFile.FullPath, renamed);
    ASSERT_EQ(spy.touches.size(), 1u);
    EXPECT_FALSE(spy.touches[0].fromHeld);
    DoubleClickTable("Table2");
    EXPECT_EQ(WorkRows().size(), 2u);
    W().mnTableCancel->trigger();

    prompts.Expect(DeleteQuestion(renamed), vbOK);
    W().mnFileDel->trigger();
    EXPECT_FALSE(fs::exists(renamed));
    EXPECT_FALSE(fs::exists(original));
    EXPECT_TRUE(app.CurrentFile.FullPath.empty());
}

// ---- Moves and copies underneath
// -----------------------------------------------------------------------

// The engine's workspace, which the file operations below refuse to touch the open files of.
using enginetest::Ws;

class DatabaseFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.File("a.mdb");
        MakeTable(path, "T", {{"X", dao::dbLong}});
    }
    TempDir dir;
    std::string path;
};

TEST_F(DatabaseFilesTest, AFileTheEngineHoldsIsNeverMovedCopiedOrDeleted) {
    engine::DatabasePtr db = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(path);
    for (auto op :
         {+[](const std::string&a, const std::string&b) { MoveDatabaseFile(Ws(), {}, a, b); },
          +[](const std::string&a, const std::string&b) { CopyDatabaseFile(Ws(), {}, a, b); },
          +[](const std::string&a, const std::string&) { DeleteDatabaseFile(Ws(), {}, a); }}) {
        try {
            op(path, dir.File("b.mdb"));
            ADD_FAILURE() << "a held file was touched";
        } catch (const engine::Error& e) {
            EXPECT_EQ(e.Number(), engine::err::kLocked);
            EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
        }
        EXPECT_TRUE(fs::exists(path));
        EXPECT_FALSE(fs::exists(dir.File("b.mdb")));
    }
    db->Close();
    MoveDatabaseFile(Ws(), {}, path, dir.File("b.mdb"));
    EXPECT_TRUE(fs::exists(dir.File("b.mdb")));
}

TEST_F(DatabaseFilesTest, AJournalTheFileStillHasTravelsWithIt) {
    // A journal that the engine's playback leaves (one it cannot use) still goes with the file.
    const std::string other = dir.File("plain.bin");
    WriteFile(other, "not a database");
    WriteFile(other + "-journal", "journal bytes");
    MoveDatabaseFile(Ws(), {}, other, dir.File("moved.bin"));
    EXPECT_FALSE(fs::exists(other + "-journal"));
    EXPECT_TRUE(fs::exists(dir.File("moved.bin-journal")));
    CopyDatabaseFile(Ws(), {}, dir.File("moved.bin"), dir.File("copied.bin"));
    EXPECT_TRUE(fs::exists(dir.File("copied.bin-journal")));
    EXPECT_TRUE(fs::exists(dir.File("moved.bin-journal")));
    DeleteDatabaseFile(Ws(), {}, dir.File("copied.bin"));
    EXPECT_FALSE(fs::exists(dir.File("copied.bin")));
    EXPECT_FALSE(fs::exists(dir.File("copied.bin-journal")));
}

TEST_F(DatabaseFilesTest, TheCopyOfAReadOnlyFileCanBeWritten) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string copy = dir.File("copy.mdb");
    CopyDatabaseFile(Ws(), {}, path, copy);
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::owner_write, fs::perms::owner_write);
    EXPECT_EQ(savetest::Dump(copy, "T"), savetest::Dump(path, "T"));
}

TEST_F(DatabaseFilesTest, AMoveAcrossFileSystemsCopiesAndRemovesTheSource) {
    struct stat here {
    }, shm{};
    if (::stat(dir.Path().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    const std::string elsewhere =
        "/dev/shm/tavorin-move-test-" + std::to_string(::getpid()) + ".mdb";
    std::error_code ec;
    fs::remove(elsewhere, ec);
    const auto before = savetest::Dump(path, "T");
    MoveDatabaseFile(Ws(), {}, path, elsewhere);
    EXPECT_FALSE(fs::exists(path));
    ASSERT_TRUE(fs::exists(elsewhere));
    EXPECT_EQ(savetest::Dump(elsewhere, "T"), before);
    MoveDatabaseFile(Ws(), {}, elsewhere, path);
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_EQ(savetest::Dump(path, "T"), before);
}

} // namespace

// After a save the window gives the old table's pages back while idle; a file command right after
// the save ends that first and finds nothing holding the file.
TEST_F(FileCommandsTest, AFileCommandRightAfterASaveStopsGivingPagesBackAndMovesTheFile) {
    W().realSave = true;
    DoubleClickTable("T");
    savetest::Layout layout{app};
    layout.Set(2, "FLD02", engine::Variant("FULLNAME"));
    W().LayoutChanged = 9;
    prompts.Expect("テーブルを初期化しますか。", vbNo);
    prompts.Expect("データ変換が終了しました。更新しますか。", vbOK);
    W().mnTableSave[0]->trigger();
    ASSERT_EQ(W().Saving().SaveAbandoned, 0);
    ASSERT_TRUE(W().ReleasingFreePages());

    FileOperationSpy spy{app};
    const std::string target = data.File("moved.mdb");
    dialogs.Answer(QString::fromStdString(target));
    W().mnFileRename->trigger();
    ASSERT_EQ(spy.touches.size(), 1u);
    EXPECT_FALSE(spy.touches[0].fromHeld);
    EXPECT_FALSE(W().ReleasingFreePages());
    EXPECT_TRUE(fs::exists(target));
    EXPECT_EQ(savetest::Dump(target, "T").size(), 4u);
}
