// jet_read: opening a genuine Jet file and reading every record of every table through the
// object model, against mdb-export (the mdbtools command line) of the same tables, in one run.
//
// Usage: jet_read [FILE [ROUNDS]]   (default: the largest .mdb of the test data, 20 rounds)
// Each round of ours opens the file afresh (the converted copy of the previous round is
// dropped, so every round runs the reader program), reads all values of every user table
// through snapshots and closes it; each round of mdb-export runs it once per table with its
// output discarded. Prints the median round of each and "ratio jet_read: ours / mdb-export".
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_args.h"
#include "engine/error.h"
#include "engine/testing/jet_copies.h"
#include "engine/workspace.h"
#include "measure.h"

extern char** environ;

using namespace engine;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string LargestTestFile() {
    std::string best;
    uintmax_t size = 0;
#ifdef TESTDATA_DIR
    std::error_code ec;
    for (fs::directory_iterator it(std::string(TESTDATA_DIR) + "/jet", ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().extension() == ".mdb" && it->file_size() > size) {
            size = it->file_size();
            best = it->path().string();
        }
    }
#endif
    return best;
}

// One round of ours; returns the number of values read.
long ReadAll(Workspace& ws, const std::string& path, const std::vector<std::string>& tables) {
    DatabasePtr db = ws.OpenDatabase(path);
    long values = 0;
    for (const auto& t : tables) {
        RecordsetPtr rs = db->OpenRecordset(t, RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            for (size_t i = 0; i < rs->FieldCount(); ++i) {
                Variant v = rs->Value(i);
                values += v.IsNull() ? 0 : 1;
            }
        }
    }
    db->Close();
    return values;
}

bool RunMdbExport(const std::string& path, const std::string& table) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = {const_cast<char*>("mdb-export"), const_cast<char*>(path.c_str()),
                               const_cast<char*>(table.c_str()), nullptr};
    pid_t pid;
    int rc = posix_spawnp(&pid, "mdb-export", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string path = argc > 1 ? argv[1] : LargestTestFile();
    const long rounds = bench::CountArgument(argc, argv, 2, 20, "FILE [ROUNDS]");
    if (path.empty()) {
#ifdef TESTDATA_DIR
        std::fprintf(
            stderr,
            "no Jet file given, and no shared test data at %s/jet (../shared/testdata beside the "
            "repository)\n",
            TESTDATA_DIR);
#endif
        std::fprintf(stderr, "usage: %s FILE [ROUNDS]\n", argv[0]);
        return 2;
    }
    try {
        Workspace ws;
        std::vector<std::string> tables;
        {
            DatabasePtr db = ws.OpenDatabase(path);
            for (const auto& n : db->TableDefs().Names())
                if (n.rfind("MSys", 0) != 0) tables.push_back(n);
        }
        std::vector<double> ours, theirs;
        long values = 0;
        for (int r = 0; r < rounds; ++r) {
            ForgetJetCopies();
            auto t0 = Clock::now();
            values = ReadAll(ws, path, tables);
            ours.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());

            t0 = Clock::now();
            for (const auto& t : tables) {
                if (!RunMdbExport(path, t)) {
                    std::fprintf(stderr, "mdb-export failed on table %s\n", t.c_str());
                    return 1;
                }
            }
            theirs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        double a = Median(ours), b = Median(theirs);
        std::printf("file: %s (%zu tables, %ld non-null values)\n", path.c_str(), tables.size(),
                    values);
        std::printf("jet_read (open, convert, read all): %.2f ms\n", a);
        std::printf("mdb-export (all tables): %.2f ms\n", b);
        bench::PrintRatio("jet_read", b > 0 ? a / b : 0.0);
    } catch (const Error& e) {
        std::fprintf(stderr, "error %ld: %s\n", e.Number(), e.Description().c_str());
        return 1;
    }
    return 0;
}
