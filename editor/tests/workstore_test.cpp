// The work database's layout table, the work folder's base and its lock.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <memory>
#include <optional>

#include "engine/error.h"
#include "engine/testing/test_support.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "modules/TavorinSub.h"
#include "modules/WorkStore.h"
#include "platform/scripted.h"
#include "test_support.h"

using namespace tavorin;
using engine::Variant;
using tavorintest::TempDir;
namespace dao = engine::dao;
namespace fs = std::filesystem;

namespace {

TEST(CreateWorkDatabase, BuildsWktblWithItsSixteenColumnsAndSevenIndexes) {
    TempDir tmp;
    const std::string path = tmp.File("FormatTemp1.MDB");
    CreateWorkDatabase(enginetest::Ws(), path);
    engine::DatabasePtr db = enginetest::Ws().OpenDatabase(path);
    EXPECT_EQ(db->Connect(), ";LANGID=0x0411;CP=932;COUNTRY=0");
    engine::TableDefPtr td = db->TableDefs().Item("WKTBL");

    struct Column {
        const char* name;
        int type;
        long size;
    };
    const Column columns[16] = {
        {"FLD01", dao::dbLong, 4},    {"FLD02", dao::dbText, 60}, {"FLD03", dao::dbText, 13},
        {"FLD04", dao::dbInteger, 2}, {"FLD05", dao::dbText, 2},  {"FLD06", dao::dbText, 5},
        {"FLD07", dao::dbText, 5},    {"FLD08", dao::dbText, 5},  {"FLD09", dao::dbText, 5},
        {"FLD10", dao::dbText, 5},    {"FLD11", dao::dbText, 5},  {"FLD12", dao::dbText, 255},
        {"FLD13", dao::dbText, 60},   {"FLD14", dao::dbText, 13}, {"FLD15", dao::dbInteger, 2},
        {"FLD16", dao::dbText, 2},
    };
    ASSERT_EQ(td->Fields().Count(), 16u);
    for (size_t i = 0; i < 16; ++i) {
        const engine::FieldPtr f = td->Fields()[i];
        const Column& c = columns[i];
        EXPECT_EQ(f->Name(), c.name);
        EXPECT_EQ(f->Type(), c.type) << c.name;
        EXPECT_EQ(f->Size(), c.size) << c.name;
        const bool text = c.type == dao::dbText;
        EXPECT_EQ(f->AllowZeroLength(), text) << c.name;
        EXPECT_EQ(f->DefaultValue(), text ? "\"\"" : "") << c.name;
        EXPECT_FALSE(f->Required()) << c.name;
    }

    const std::pair<const char*, const char*> indexes[7] = {
        {"WKKEY", "FLD01"},   {"WKKEYM", "FLD06"},  {"WKKEYS1", "FLD07"}, {"WKKEYS2", "FLD08"},
        {"WKKEYS3", "FLD09"}, {"WKKEYS4", "FLD10"}, {"WKKEYS5", "FLD11"},
    };
    ASSERT_EQ(td->Indexes().Count(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        const engine::IndexPtr ix = td->Indexes()[i];
        EXPECT_EQ(ix->Name(), indexes[i].first);
        EXPECT_EQ(ix->Primary(), i == 0) << ix->Name();
        EXPECT_EQ(ix->Unique(), i == 0) << ix->Name();
        ASSERT_EQ(ix->Fields().Count(), 1u);
        EXPECT_EQ(ix->Fields()[0]->Name(), indexes[i].second);
    }
    db->Close();

    // The path must be new.
    try {
        CreateWorkDatabase(enginetest::Ws(), path);
        ADD_FAILURE() << "created over an existing file";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kDatabaseExists);
    }
}

TEST(CreateWorkDatabase, TheTableTakesEmptyTextsAndRefusesARowNumberTwice) {
    TempDir tmp;
    const std::string path = tmp.File("FormatTemp1.MDB");
    CreateWorkDatabase(enginetest::Ws(), path);
    engine::DatabasePtr db = enginetest::Ws().OpenDatabase(path);
    engine::RecordsetPtr rs = db->OpenRecordset(kWorkTableSql, engine::RecordsetType::Dynaset);
    EXPECT_TRUE(rs->Eof());
    EXPECT_TRUE(rs->Bof());
    EXPECT_EQ(rs->RecordCount(), 0);

    rs->AddNew();
    rs->SetValue("FLD01", Variant::Long(1));
    for (int c = 2; c <= 16; ++c) {
        char name[8];
        std::snprintf(name, sizeof name, "FLD%02d", c);
        if (c == 4 || c == 15)
            rs->SetValue(name, Variant::Integer(0));
        else
            rs->SetValue(name, Variant(""));
    }
    rs->Update();
    rs->AddNew(); // the defaults fill the text columns with the empty text
    rs->SetValue("FLD01", Variant::Long(2));
    rs->Update();

    rs->AddNew();
    rs->SetValue("FLD01", Variant::Long(1));
    try {
        rs->Update();
        ADD_FAILURE() << "two rows numbered 1";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kDuplicateKey);
    }
    rs->CancelUpdate();

    rs->Requery();
    rs->FindFirst("FLD01= 2");
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Value("FLD02"), Variant(""));
    EXPECT_EQ(rs->Value("FLD16"), Variant(""));
    EXPECT_TRUE(rs->Value("FLD04").IsNull());

    db->Execute(kClearWorkTableSql);
    EXPECT_EQ(db->RecordsAffected(), 2);
    rs->Close();
    db->Close();
}

TEST(CreateWorkDatabase, TheSqliteShellReadsTheWorkTable) {
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    ASSERT_FALSE(shell.isEmpty())
        << "the sqlite3 shell is not installed (scripts/setup installs it)";
    TempDir tmp;
    const std::string path = tmp.File("FormatTemp1.MDB");
    CreateWorkDatabase(enginetest::Ws(), path);

    QProcess sqlite;
    sqlite.start(shell,
                 {QStringLiteral("-readonly"), QString::fromStdString(path),
                  QStringLiteral("SELECT name || ':' || type FROM pragma_table_info('WKTBL');")});
    ASSERT_TRUE(sqlite.waitForFinished(10000));
    EXPECT_EQ(sqlite.exitCode(), 0) << sqlite.readAllStandardError().toStdString();
    const QStringList lines =
        QString::fromUtf8(sqlite.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 16) << lines.join(' ').toStdString();
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(
            lines[i].startsWith(QStringLiteral("FLD%1:").arg(i + 1, 2, 10, QLatin1Char('0'))))
            << lines[i].toStdString();
}

// ---- Work folder -------------------------------------------------------------------------------

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(WorkBaseFolder, CommandLineThenEnvironmentThenStateHomeThenHome) {
    WorkStore store(enginetest::Ws());
    ScopedEnv home("HOME", "/home/u");
    {
        ScopedEnv work("TAVORIN_WORKDIR", nullptr);
        ScopedEnv state("XDG_STATE_HOME", nullptr);
        EXPECT_EQ(store.WorkBaseFolder(), "/home/u/.local/state/tavorin");
        ScopedEnv state2("XDG_STATE_HOME", "/st");
        EXPECT_EQ(store.WorkBaseFolder(), "/st/tavorin");
        ScopedEnv work2("TAVORIN_WORKDIR", "/w");
        EXPECT_EQ(store.WorkBaseFolder(), "/w");
        store.SetWorkBaseOverride("/cmd");
        EXPECT_EQ(store.WorkBaseFolder(), "/cmd");
        store.SetWorkBaseOverride("");
        EXPECT_EQ(store.WorkBaseFolder(), "/w");
    }
}

TEST(ClaimWorkFolder, TakesTheFirstFolderNoLiveInstanceHolds) {
    TempDir tmp;
    WorkStore store(enginetest::Ws());
    const std::string base = tmp.File("base/deeper"); // created when missing
    const std::string first = store.ClaimWorkFolder(base);
    EXPECT_EQ(first, base + "/MdbTempDir");
    EXPECT_TRUE(store.HoldsWorkFolder());
    EXPECT_EQ(store.ClaimWorkFolder(base), first); // the same folder while it is held

    // Another holder of a lock (another open description, as another process has) is live.
    EXPECT_EQ(FolderLock::TryAcquire(base + "/MdbTempDir.lock"), nullptr);
    store.ReleaseWorkFolder();
    EXPECT_FALSE(store.HoldsWorkFolder());
    {
        auto live = FolderLock::TryAcquire(base + "/MdbTempDir.lock");
        ASSERT_NE(live, nullptr);
        auto live2 = FolderLock::TryAcquire(base + "/MdbTempDir2.lock");
        ASSERT_NE(live2, nullptr);
        EXPECT_EQ(store.ClaimWorkFolder(base), base + "/MdbTempDir3");
        store.ReleaseWorkFolder();
    }
    EXPECT_EQ(store.ClaimWorkFolder(base), first);
    store.ReleaseWorkFolder();
    // Every lock let go took its file with it.
    EXPECT_TRUE(fs::is_empty(base));

    // A lock whose file was removed under it is no lock: the next claim makes a new file.
    {
        auto stale = FolderLock::TryAcquire(base + "/MdbTempDir.lock");
        ASSERT_NE(stale, nullptr);
        fs::remove(base + "/MdbTempDir.lock");
        auto fresh = FolderLock::TryAcquire(base + "/MdbTempDir.lock");
        ASSERT_NE(fresh, nullptr);
    }
}

// Two runs in one process (two contexts) each hold a work folder and a work database of their
// own; a store that goes gives its folder's lock up with it.
TEST(WorkStore, TwoStoresUnderOneBaseHoldFoldersAndWorkTablesOfTheirOwn) {
    TempDir tmp;
    const std::string base = tmp.File("base");
    auto first = std::make_unique<WorkStore>(enginetest::Ws());
    WorkStore second(enginetest::Ws());
    platform::ScriptedPrompts prompts;
    platform::Services services({.prompts = &prompts});
    first->OpenWorkStore(services, base);
    second.OpenWorkStore(services, base);
    EXPECT_EQ(first->WorkFolder, base + "/MdbTempDir");
    EXPECT_EQ(second.WorkFolder, base + "/MdbTempDir2");

    first->WorkRs->AddNew();
    first->WorkRs->SetValue("FLD01", engine::Variant::Long(1));
    first->WorkRs->SetValue("FLD02", engine::Variant("ONLY_IN_FIRST"));
    first->WorkRs->Update();
    second.WorkRs->Requery();
    EXPECT_TRUE(second.WorkRs->Eof());

    first->CloseWorkStore();
    first.reset();
    EXPECT_FALSE(fs::exists(base + "/MdbTempDir.lock"));
    EXPECT_TRUE(second.HoldsWorkFolder());
    EXPECT_TRUE(fs::is_regular_file(second.WorkDbPath));
    // The folder let go is the next claim's.
    WorkStore third(enginetest::Ws());
    EXPECT_EQ(third.ClaimWorkFolder(base), base + "/MdbTempDir");
    second.CloseWorkStore();
}

} // namespace
