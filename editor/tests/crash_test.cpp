// A save killed at any moment: the file then holds the old table intact or the new table
// complete, and the next save offers to delete a build table the killed one left behind. Both
// kinds of file the designer saves into: a native file, and a genuine Jet 4 file, into which the
// commit carries the change in place (there the file must also pass the checker after each kill
// and read through mdbtools as the old or the new table).
#include <gtest/gtest.h>

#include <signal.h>
#include <stdio.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "child_support.h"
#include "engine/jet4_writer.h"
#include "engine/testing/jet_files.h"
#include "save_support.h"

using namespace savetest;
using namespace childtest;
using tavorintest::TempDir;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The checking build runs several times slower: smaller tables keep the suite's time sane.
constexpr int kNativeRecords = 20000;
constexpr int kJetRecords = 5000;
#else
constexpr int kNativeRecords = 200000;
constexpr int kJetRecords = 50000;
#endif
constexpr int kRuns = 20;

struct FileKind {
    const char* name;
    bool jet4;
    int records;
};

Child StartSave(const std::string& workdir, const std::string& db, const std::string& errPath) {
    return StartChild(TAVORIN_SAVE_CHILD, {workdir, db, "CUST"}, errPath);
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

// CUST as mdb-export prints it; what it writes to standard error is a failure of the test.
std::string Exported(const std::string& path, const std::string& errPath) {
    const std::string command = "mdb-export " + Quoted(path) + " CUST 2>" + Quoted(errPath);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run mdb-export";
        return {};
    }
    std::string out;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << ReadAll(errPath);
    EXPECT_EQ(ReadAll(errPath), "");
    return out;
}

int VersionByte(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0x14);
    const int byte = in.get();
    return in ? byte : -1;
}

// The state of CUST in the file, as a digest: through the engine for a native file; for a Jet 4
// file after checking it (checker, version byte), through mdb-export.
size_t State(const FileKind& kind, const std::string& path, const std::string& errPath) {
    if (!kind.jet4) return Digest(Dump(path, "CUST"));
    const auto report = engine::CheckJet4FileForTests(path);
    EXPECT_TRUE(report.ok) << report.text;
    EXPECT_EQ(VersionByte(path), 1);
    return std::hash<std::string>()(Exported(path, errPath));
}

class CrashedSave : public ::testing::TestWithParam<FileKind> {};

TEST_P(CrashedSave, KilledAtRandomMomentsLeavesTheOldTableOrTheNewOne) {
    const FileKind kind = GetParam();
    TempDir dir;
    const std::string pristine = dir.File("pristine.mdb"), db = dir.File("run.mdb");
    const std::string workdir = dir.File("work"), errPath = dir.File("child.err"),
                      exportErr = dir.File("export.err");
    if (kind.jet4) {
        const std::string native = dir.File("native.mdb");
        MakeCustomers(native, kind.records);
        auto source = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(native);
        engine::WriteJet4(*source, pristine);
    } else {
        MakeCustomers(pristine, kind.records);
    }
    const size_t before = State(kind, pristine, exportErr);

    // Saves to their end give the new table and the time a save takes (the middle one of three:
    // the first pays for what the system has not cached yet).
    std::vector<std::chrono::steady_clock::duration> durations;
    size_t after = 0;
    for (int i = 0; i < 3; ++i) {
        fs::copy_file(pristine, db, fs::copy_options::overwrite_existing);
        const auto start = std::chrono::steady_clock::now();
        Child full = StartSave(workdir, db, errPath);
        const int fullStatus = Wait(full.pid);
        durations.push_back(std::chrono::steady_clock::now() - start);
        ASSERT_TRUE(WIFEXITED(fullStatus) && WEXITSTATUS(fullStatus) == 0) << ReadAll(errPath);
        if (i == 0) after = State(kind, db, exportErr);
    }
    ASSERT_NE(before, after);
    std::sort(durations.begin(), durations.end());
    const auto duration = durations[1];

    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count());
    int oldKept = 0, newDone = 0, leftOvers = 0;
    // One save killed at microseconds after its start; the file must hold the old table or the
    // new one.
    auto killAt = [&](int run, long at) {
        SCOPED_TRACE("run " + std::to_string(run));
        fs::copy_file(pristine, db, fs::copy_options::overwrite_existing);
        Child child = StartSave(workdir, db, errPath);
        std::this_thread::sleep_for(std::chrono::microseconds(at));
        ASSERT_GT(child.pid, 0) << ReadAll(errPath);
        Kill(child.pid);
        Wait(child.pid);

        const size_t now = State(kind, db, exportErr);
        EXPECT_TRUE(now == before || now == after);
        now == before ? ++oldKept : ++newDone;
        std::vector<std::string> tables = Tables(db);
        ASSERT_FALSE(tables.empty());
        const bool leftOver = std::find(tables.begin(), tables.end(), "CUSTﾀﾞﾐ") != tables.end();
        if (leftOver) {
            ++leftOvers;
            EXPECT_EQ(now, before); // a build table beside a replaced table cannot be
            if (leftOvers <= 2) {
                // The next save offers to delete it, and completes.
                Child next = StartSave(workdir, db, errPath);
                const int status = Wait(next.pid);
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadAll(errPath);
                EXPECT_NE(ReadAll(errPath).find(
                              "前回の作業テーブル　[CUSTﾀﾞﾐ] が存在してます。削除します。"),
                          std::string::npos);
                EXPECT_EQ(State(kind, db, exportErr), after);
                EXPECT_EQ(Tables(db), (std::vector<std::string>{"CUST"}));
            }
        }
    };
    for (int run = 0; run < kRuns; ++run) {
        // Half the kills fall anywhere in the save, a quarter in its last fifth, where the old
        // table is replaced (and, in a Jet 4 file, the last commit carries that into it), a
        // quarter in its last twentieth, around the end of that commit.
        long at = moment(random);
        if (run % 4 == 1) at = moment.max() - at / 5;
        if (run % 4 == 3) at = moment.max() - at / 20;
        killAt(run, at);
    }
    // Saves slower than the measured ones (other tests share the machine) can leave every late
    // kill before the last commit: later kills, up to twice the measured time, until one leaves
    // the new table.
    for (int extra = 0; kind.jet4 && newDone == 0 && extra < kRuns; ++extra)
        killAt(kRuns + extra, moment.max() - moment.max() / 10 + extra * moment.max() / 16);
    std::printf(
        "crash runs (%s): %d old table kept, %d new table complete, %d left a build table\n",
        kind.name, oldKept, newDone, leftOvers);
    if (kind.jet4) {
        // The kills reach the commits that carry the change into the file (about the second
        // half of the save there): the old state and the new one must both have been seen.
        // In a native file the replacing commit comes right before the end, where a kill that
        // leaves the new table is rare.
        EXPECT_GT(oldKept, 0);
        EXPECT_GT(newDone, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CrashedSave,
                         ::testing::Values(FileKind{"Native", false, kNativeRecords},
                                           FileKind{"Jet4", true, kJetRecords}),
                         [](const ::testing::TestParamInfo<FileKind>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
