// One commit for every file of a transaction, also when the disk fails at any write or sync
// (a failing VFS makes SQLite's own failure paths run) and when the program is killed at any
// moment of a commit: afterwards both files hold their old contents or both their new ones.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <thread>

#include "engine/testing/test_support.h"
#include "failing_vfs.h"
#include "model/object_access.h"
#include "storage/sql_connection.h"

using namespace engine;
using namespace enginetest;

namespace {

// The connection behind db, for statements the object model does not make.
sqlite3* SqliteOf(const Database& db) {
    return detail::ObjectAccess::SqliteHandle(db);
}

// The table of both files: a number and a text long enough that a few records fill a page.
void MakeFile(const std::string& path, int first, int count) {
    DatabasePtr db = Ws().CreateDatabase(path, kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "N", dao::dbLong);
    AddField(td, "S", dao::dbText, 200);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("T");
    for (int n = first; n < first + count; ++n) {
        rs->AddNew();
        rs->SetValue("N", Variant::Long(n));
        rs->SetValue("S", Variant(std::string(150, static_cast<char>('a' + n % 26))));
        rs->Update();
    }
}

void Add(const DatabasePtr& db, int n) {
    auto rs = db->OpenRecordset("T");
    rs->AddNew();
    rs->SetValue("N", Variant::Long(n));
    rs->SetValue("S", Variant(std::string(150, static_cast<char>('a' + n % 26))));
    rs->Update();
}

// The numbers a file holds, read through a Database of its own.
std::multiset<long> Numbers(const std::string& path) {
    std::multiset<long> numbers;
    DatabasePtr db = Ws().OpenDatabase(path);
    auto rs = db->OpenRecordset("T", RecordsetType::Snapshot);
    for (; !rs->Eof(); rs->MoveNext()) numbers.insert(CLng(rs->Value("N")));
    return numbers;
}

void Restore(const std::string& from, const std::string& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

} // namespace

TEST(AtomicCommit, AFailedWriteOrSyncAtAnyPointLeavesBothFilesOldOrBothNew) {
    TempDir dir;
    EnvGuard state("XDG_STATE_HOME", dir.File("state"));
    const std::string work = dir.File("work.mdb"), user = dir.File("user.mdb");
    MakeFile(work, 0, 3);
    MakeFile(user, 100, 3);
    const std::string workOld = dir.File("work.old"), userOld = dir.File("user.old");
    fs::copy_file(work, workOld);
    fs::copy_file(user, userOld);
    const auto oldWork = Numbers(work), oldUser = Numbers(user);
    ASSERT_FALSE(Ws().IsFileOpen(work));

    FailingVfs vfs;
    // The transaction: records added to both files in turn, then one commit. Returns the first
    // error. After it one more change is tried, as a caller that does not look would try it: it
    // must not land in a file, whatever SQLite did with the transaction.
    auto transaction = [&](long& firstError, bool& refusedAsLost) {
        DatabasePtr w = Ws().OpenDatabase(work), u = Ws().OpenDatabase(user);
        firstError = 0;
        refusedAsLost = false;
        Ws().BeginTrans();
        for (int i = 0; i < 12 && !firstError; ++i) {
            firstError = ErrorOf([&] { Add(w, 10 + i); });
            if (!firstError) firstError = ErrorOf([&] { Add(u, 110 + i); });
        }
        if (!firstError) firstError = ErrorOf([] { Ws().CommitTrans(); });
        if (firstError) {
            EXPECT_GT(Ws().TransactionLevel(), 0);
            refusedAsLost = ErrorOf([&] { Add(u, 999); }) == err::kTransactionLost;
            EXPECT_EQ(ErrorOf([] { Ws().Rollback(); }), 0);
        }
        EXPECT_EQ(Ws().TransactionLevel(), 0);
        EXPECT_EQ(ErrorOf([] {
                      Ws().BeginTrans();
                      Ws().Rollback();
                  }),
                  0);
    };

    long error = 0;
    bool lost = false;
    vfs.Disarm();
    transaction(error, lost);
    ASSERT_EQ(error, 0);
    const auto newWork = Numbers(work), newUser = Numbers(user);
    ASSERT_EQ(newWork.size(), oldWork.size() + 12);
    ASSERT_EQ(newUser.size(), oldUser.size() + 12);

    const std::string superJournals = detail::EngineFolder() + "/";
    ASSERT_EQ(superJournals.rfind(dir.File("state"), 0), 0u) << superJournals;
    int sawLost = 0;
    for (const std::string& target : {work, user, superJournals}) {
        Restore(workOld, work);
        Restore(userOld, user);
        vfs.Arm(target, 0);
        transaction(error, lost);
        const long total = vfs.Count();
        ASSERT_GT(total, 0) << target;
        for (long n = 1; n <= total; ++n) {
            SCOPED_TRACE(target + ": write or sync " + std::to_string(n) + " of " +
                         std::to_string(total));
            Restore(workOld, work);
            Restore(userOld, user);
            vfs.Arm(target, n, n % 2 ? SQLITE_FULL : SQLITE_IOERR_WRITE);
            transaction(error, lost);
            EXPECT_TRUE(vfs.Fired());
            vfs.Disarm();
            EXPECT_TRUE(error == err::kDiskFull || error == err::kDiskIo) << error;
            sawLost += lost;
            const auto nowWork = Numbers(work), nowUser = Numbers(user);
            EXPECT_TRUE((nowWork == oldWork && nowUser == oldUser) ||
                        (nowWork == newWork && nowUser == newUser))
                << nowWork.size() << " " << nowUser.size();
        }
    }
    // SQLite ended the transaction itself at least once, and the writes after it were refused.
    EXPECT_GT(sawLost, 0);
}

TEST(AtomicCommit, ATransactionSQLiteEndedRefusesChangesUntilRollback) {
    TempDir dir;
    EnvGuard state("XDG_STATE_HOME", dir.File("state"));
    MakeFile(dir.File("a.mdb"), 0, 2);
    FailingVfs vfs;
    {
        DatabasePtr a = Ws().OpenDatabase(dir.File("a.mdb"));
        Ws().BeginTrans();
        Ws().BeginTrans();
        vfs.Arm(dir.File("a.mdb"), 1, SQLITE_FULL);
        EXPECT_EQ(ErrorOf([&] { Add(a, 7); }), err::kDiskFull);
        vfs.Disarm();
        EXPECT_EQ(ErrorOf([&] { Add(a, 8); }), err::kTransactionLost);
        EXPECT_EQ(ErrorOf([&] { a->Execute("DELETE * FROM T"); }), err::kTransactionLost);
        EXPECT_EQ(ErrorOf([&] { a->TableDefs().Delete("T"); }), err::kTransactionLost);
        EXPECT_EQ(ErrorOf([] { Ws().BeginTrans(); }), err::kTransactionLost);
        EXPECT_EQ(ErrorOf([] { Ws().CommitTrans(); }), err::kTransactionLost);
        EXPECT_EQ(Ws().TransactionLevel(), 2);
        Ws().Rollback();
        EXPECT_EQ(ErrorOf([&] { Add(a, 9); }), err::kTransactionLost); // still inside level 1
        Ws().Rollback();
        Add(a, 10); // no transaction: the change lands at once
        Ws().BeginTrans();
        Add(a, 11);
        Ws().CommitTrans();
    }
    EXPECT_EQ(Numbers(dir.File("a.mdb")), (std::multiset<long>{0, 1, 10, 11}));
}

// A rollback that cannot write the old pages back still ends the transaction (SQLite reports no
// error for it: the journal stays), and the file comes back at its old state from its journal
// when it is used next.
TEST(AtomicCommit, ARollbackThatCannotWriteTheFileBackStillEndsTheTransaction) {
    TempDir dir;
    EnvGuard state("XDG_STATE_HOME", dir.File("state"));
    const std::string path = dir.File("a.mdb");
    Ws().BeginTrans();
    MakeFile(path, 0, 600);
    Ws().CommitTrans();
    const auto before = Numbers(path);
    FailingVfs vfs;
    {
        DatabasePtr a = Ws().OpenDatabase(path);
        // A small page cache makes the transaction write changed pages into the file before the
        // end, so that rolling back has to write the old ones back.
        const std::string schema = a->SchemaName();
        ASSERT_EQ(sqlite3_exec(SqliteOf(*a), ("PRAGMA \"" + schema + "\".cache_size = 5").c_str(),
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        Ws().BeginTrans();
        a->Execute("DELETE * FROM T WHERE N >= 100");
        Add(a, 1000);
        vfs.Arm(path, 1);
        EXPECT_EQ(ErrorOf([] { Ws().Rollback(); }), 0);
        EXPECT_TRUE(vfs.Fired());
        vfs.Disarm();
        EXPECT_EQ(Ws().TransactionLevel(), 0);
        Ws().BeginTrans();
        Add(a, 5000);
        Ws().CommitTrans();
    }
    auto after = before;
    after.insert(5000);
    EXPECT_EQ(Numbers(path), after);
}

// The child of the crash test: commits batches of records to both files until it is killed,
// reporting each batch once CommitTrans has returned.
TEST(CommitCrashHelper, CommitsUntilKilled) {
    const char* work = std::getenv("COMMIT_CRASH_WORK");
    const char* user = std::getenv("COMMIT_CRASH_USER");
    if (!work || !user) GTEST_SKIP() << "only run as the child of the crash test";
    DatabasePtr w = Ws().OpenDatabase(work), u = Ws().OpenDatabase(user);
    long batch = 0;
    for (long n : Numbers(work)) batch = std::max(batch, n / 100 + 1);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;; ++batch) {
        Ws().BeginTrans();
        for (int i = 0; i < 10; ++i) {
            Add(w, static_cast<int>(batch * 100 + i));
            Add(u, static_cast<int>(batch * 100 + i));
        }
        Ws().CommitTrans();
        std::printf("%ld\n", batch);
        std::fflush(stdout);
    }
}

TEST(AtomicCommit, KilledAtRandomMomentsLeavesBothFilesAtOneState) {
    TempDir dir;
    EnvGuard state("XDG_STATE_HOME", dir.File("state"));
    const std::string work = dir.File("work.mdb"), user = dir.File("user.mdb");
    MakeFile(work, 0, 0);
    MakeFile(user, 0, 0);
    EnvGuard childWork("COMMIT_CRASH_WORK", work), childUser("COMMIT_CRASH_USER", user);
    char self[4096];
    ssize_t len = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(len, 0);
    self[len] = '\0';

    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    long everCommitted = -1;
    for (int run = 0; run < 24; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0) << "fork failed"; // kill(-1, ...) below would kill every process
        if (pid == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execl(self, self, "--gtest_filter=CommitCrashHelper.*", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // Once the child runs its commits, it is killed after a random while. Every other run
        // waits for a first commit to return before that while, so that the runs also reach
        // later batches on a slow disk (a timer alone may always fire before the first commit).
        std::string out;
        char buf[256];
        ssize_t got;
        auto started = [&] {
            const size_t ready = out.find("ready\n");
            if (ready == std::string::npos) return false;
            return run % 2 == 0 || out.find('\n', ready + 6) != std::string::npos;
        };
        while (!started() && (got = ::read(fds[0], buf, sizeof buf)) > 0)
            out.append(buf, static_cast<size_t>(got));
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 60000)(random)));
        ::kill(pid, SIGKILL);
        while ((got = ::read(fds[0], buf, sizeof buf)) > 0)
            out.append(buf, static_cast<size_t>(got));
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << out;

        long reported = -1;
        for (size_t at = out.find("ready\n");
             at != std::string::npos && (at = out.find('\n', at)) != std::string::npos;) {
            ++at;
            if (at < out.size())
                reported = std::max(reported, std::strtol(out.c_str() + at, nullptr, 10));
        }
        everCommitted = std::max(everCommitted, reported);
        const auto inWork = Numbers(work), inUser = Numbers(user);
        EXPECT_EQ(inWork, inUser);
        // Every batch whose commit returned is there, whole, and nothing beyond the one under way.
        long highest = inWork.empty() ? -1 : *inWork.rbegin() / 100;
        EXPECT_GE(highest, everCommitted);
        EXPECT_EQ(inWork.size(), static_cast<size_t>((highest + 1) * 10));
    }
    // The runs did commit: the kills came during the work, not before it.
    EXPECT_GT(everCommitted, 0);
}
