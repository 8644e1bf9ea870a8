// A save killed at any moment: the file then holds the old table intact or the new table
// complete, and the next save offers to delete a build table the killed one left behind.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <random>
#include <thread>

#include "child_support.h"
#include "save_support.h"

using namespace savetest;
using namespace childtest;
using tavorintest::TempDir;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The checking build runs several times slower: a smaller table keeps the suite's time sane.
constexpr int kRecords = 20000;
#else
constexpr int kRecords = 200000;
#endif
constexpr int kRuns = 20;

Child StartSave(const std::string& workdir, const std::string& db, const std::string& errPath) {
    return StartChild(TAVORIN_SAVE_CHILD, {workdir, db, "CUST"}, errPath);
}

} // namespace

TEST(CrashedSave, KilledAtRandomMomentsLeavesTheOldTableOrTheNewOne) {
    TempDir dir;
    const std::string pristine = dir.File("pristine.mdb"), db = dir.File("run.mdb");
    const std::string workdir = dir.File("work"), errPath = dir.File("child.err");
    MakeCustomers(pristine, kRecords);
    const size_t before = Digest(Dump(pristine, "CUST"));

    // One save to its end gives the new table and the time a save takes.
    fs::copy_file(pristine, db);
    const auto start = std::chrono::steady_clock::now();
    Child full = StartSave(workdir, db, errPath);
    const int fullStatus = Wait(full.pid);
    const auto duration = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(WIFEXITED(fullStatus) && WEXITSTATUS(fullStatus) == 0) << ReadAll(errPath);
    const size_t after = Digest(Dump(db, "CUST"));
    ASSERT_NE(before, after);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> moment(0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count());
    int oldKept = 0, newDone = 0, leftOvers = 0;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        fs::copy_file(pristine, db, fs::copy_options::overwrite_existing);
        Child child = StartSave(workdir, db, errPath);
        // Half the kills fall anywhere in the save, half in its last fifth, where the old
        // table is replaced.
        long at = moment(random);
        if (run % 2 == 1) at = moment.max() - at / 5;
        std::this_thread::sleep_for(std::chrono::microseconds(at));
        kill(child.pid, SIGKILL);
        Wait(child.pid);

        std::vector<std::string> tables = Tables(db);
        ASSERT_FALSE(tables.empty());
        const size_t now = Digest(Dump(db, "CUST"));
        EXPECT_TRUE(now == before || now == after);
        now == before ? ++oldKept : ++newDone;
        const bool leftOver = std::find(tables.begin(), tables.end(), "CUSTﾀﾞﾐ") != tables.end();
        if (leftOver) {
            ++leftOvers;
            EXPECT_EQ(now, before); // a build table beside a replaced table cannot be
            if (leftOvers <= 2) {
                // The next save offers to delete it, and completes.
                Child next = StartSave(workdir, db, errPath);
                const int status = Wait(next.pid);
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadAll(errPath);
                EXPECT_NE(ReadAll(errPath).find("前回の作業テーブル　[CUSTﾀﾞﾐ] が存在してます。削除します。"),
                          std::string::npos);
                EXPECT_EQ(Digest(Dump(db, "CUST")), after);
                EXPECT_EQ(Tables(db), (std::vector<std::string>{"CUST"}));
            }
        }
    }
    std::printf("crash runs: %d old table kept, %d new table complete, %d left a build table\n", oldKept, newDone,
                leftOvers);
}
