// An import killed at any moment: the target then holds its old records or the complete result
// of the run, never a part of it.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <random>
#include <thread>

#include "child_support.h"
#include "import_support.h"

using namespace childtest;
using tavorintest::TempDir;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kRecords = 10000;
#else
constexpr int kRecords = 60000;
#endif
constexpr int kRuns = 12;

class CrashedImport : public ::testing::TestWithParam<int> {};

TEST_P(CrashedImport, KilledAtRandomMomentsLeavesTheOldRecordsOrTheResult) {
    const int mode = GetParam();
    TempDir dir;
    const std::string source = dir.File("source.mdb"), pristine = dir.File("pristine.mdb"),
                      target = dir.File("target.mdb");
    const std::string workdir = dir.File("work"), errPath = dir.File("child.err");
    savetest::MakeCustomers(source, kRecords);
    savetest::MakeCustomers(pristine, kRecords / 2);
    // The target's records differ from the source's, so that updates change them.
    importtest::RawSql(pristine, "UPDATE CUST SET PRICE = PRICE + 1, NAME = 'old ' || NAME");
    const size_t before = Digest(importtest::Records(pristine, "CUST"));
    auto run = [&] {
        return StartChild(TAVORIN_IMPORT_CHILD,
                          {workdir, target, source, "CUST", std::to_string(mode)}, errPath);
    };

    fs::copy_file(pristine, target);
    const auto start = std::chrono::steady_clock::now();
    const int status = Wait(run().pid);
    const auto duration = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadAll(errPath);
    const size_t after = Digest(importtest::Records(target, "CUST"));
    ASSERT_NE(before, after);

    std::mt19937 random(20261208 + mode);
    std::uniform_int_distribution<long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count());
    int oldKept = 0, newDone = 0;
    for (int i = 0; i < kRuns; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        fs::copy_file(pristine, target, fs::copy_options::overwrite_existing);
        const Child child = run();
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ASSERT_GT(child.pid, 0);
        Kill(child.pid);
        Wait(child.pid);
        const size_t now = Digest(importtest::Records(target, "CUST"));
        EXPECT_TRUE(now == before || now == after);
        now == before ? ++oldKept : ++newDone;
    }
    std::printf("import crash runs (mode %d): %d old records kept, %d results complete\n", mode,
                oldKept, newDone);
}

INSTANTIATE_TEST_SUITE_P(ReplaceAllAndMode1, CrashedImport, ::testing::Values(0, 1));

} // namespace
