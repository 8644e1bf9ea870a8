// jet_save: the designer's save of a changed layout into a genuine Jet 4 file, through the
// workspace, against the same save in a native file, in one run.
//
// Usage: jet_save [N ...]   (default: 100000)
// For each N it writes a Jet 4 file holding BIG, the benchmark table of 1,000,000 records (the 20
// fields of bench_columns.h), and SMALL, one of N records, and a native file with the same two
// tables. Then, three runs taking turns, each on a fresh copy and in a child process of its own,
// the same save in each file: in one workspace transaction SMALL_build is made with T3 shortened
// and a field added, SMALL's records are carried across by one INSERT ... SELECT, SMALL is
// dropped and SMALL_build renamed to SMALL. The Jet file is opened untimed (its conversion to the
// native copy is not part of the save); its time runs to the end of CommitTrans, which carries the
// change into the file. After each such run the Jet file must pass the checker, and after the
// first mdb-export must read SMALL with the new layout. It prints the medians, the bytes the Jet
// file grew by, and "ratio jet_save N: jet/native". The untouched BIG is what makes the file
// large: the save should cost what SMALL costs, not what the file does.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_args.h"
#include "bench_fill.h"
#include "engine/database.h"
#include "engine/jet4_writer.h"
#include "engine/testing/jet_files.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "measure.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

constexpr long kBig = 1000000;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The names of the new layout: T3 shortened to 20, a field NOTE (Long) added at the end.
std::vector<BenchColumn> NewColumns() {
    std::vector<BenchColumn> cols = BenchColumns();
    for (auto& c : cols)
        if (c.name == "T3") c.size = 20;
    cols.push_back({"NOTE", dao::dbLong, 0});
    return cols;
}

// The save of a changed layout as the designer makes it, in one workspace transaction: SMALL_build
// created with the new layout, SMALL's records carried across, SMALL dropped, SMALL_build renamed
// to SMALL. Opening the file is not timed (for a genuine Jet file that is the conversion to its
// native copy); the time runs from BeginTrans to the end of CommitTrans, which for a genuine Jet
// file includes carrying the change into it.
double Save(const std::string& path) {
    Workspace& ws = DBEngine::Instance().Workspaces(0);
    auto db = ws.OpenDatabase(path);
    const auto t0 = std::chrono::steady_clock::now();
    ws.BeginTrans();
    auto td = db->CreateTableDef("SMALL_build");
    std::string into, from;
    for (const auto& c : NewColumns()) {
        auto f = td->CreateField(c.name, c.type, c.size);
        if (c.type == dao::dbText) f->SetAllowZeroLength(true);
        td->Fields().Append(f);
        if (c.name == "NOTE") continue;
        into += (into.empty() ? "\"" : ", \"") + c.name + "\"";
        from += from.empty() ? "" : ", ";
        from += c.name == "T3" ? "substr(\"T3\", 1, 20)" : "\"" + c.name + "\"";
    }
    db->TableDefs().Append(td);
    const std::string schema = "\"" + db->SchemaName() + "\".";
    db->ExecuteSql("INSERT INTO " + schema + "\"SMALL_build\" (" + into + ") SELECT " + from +
                   " FROM " + schema + "\"SMALL\"");
    db->TableDefs().Delete("SMALL");
    db->TableDefs().Item("SMALL_build")->SetName("SMALL");
    const auto committing = std::chrono::steady_clock::now();
    ws.CommitTrans();
    const double s = Seconds(t0);
    std::printf("    %s: %.2f s, of which CommitTrans %.2f s\n",
                fs::path(path).extension() == ".mdb" ? "jet" : "native", s, Seconds(committing));
    std::fflush(stdout);
    db->Close();
    return s;
}

// Outside the timing: the file passes the checker, and (when readBack) mdb-export reads SMALL
// with the new layout and all its records.
void CheckJetFile(const std::string& path, long n, bool readBack) {
    const auto report = CheckJet4FileForTests(path);
    if (!report.ok) {
        std::fprintf(stderr, "the checker finds problems in the saved file:\n%s\n",
                     report.text.c_str());
        std::exit(1);
    }
    if (!readBack) return;
    const std::string command = "mdb-export '" + path + "' SMALL";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) std::exit(1);
    std::string header;
    long lines = 0;
    char buffer[1 << 16];
    bool atLineStart = true;
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        if (lines == 0) header += buffer;
        const size_t len = std::strlen(buffer);
        if (len > 0 && buffer[len - 1] == '\n') {
            ++lines;
            atLineStart = true;
        } else {
            atLineStart = false;
        }
    }
    if (!atLineStart) ++lines;
    const int status = ::pclose(pipe);
    std::string expected;
    for (const auto& c : NewColumns()) expected += (expected.empty() ? "" : ",") + c.name;
    expected += "\n";
    if (status != 0 || header != expected || lines != n + 1) {
        std::fprintf(stderr,
                     "mdb-export reads SMALL as %ld lines under %s(status %d), not %ld under %s",
                     lines, header.c_str(), status, n + 1, expected.c_str());
        std::exit(1);
    }
    std::printf("  mdb-export reads SMALL with the new layout, %ld records\n", n);
}

void SyncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) std::exit(1);
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<long> sizes = bench::RecordCounts(argc, argv, {100000});
    fs::path dir = fs::temp_directory_path() / ("jet_save-" + std::to_string(getpid()));
    fs::create_directories(dir);
    Workspace& ws = DBEngine::Instance().Workspaces(0);
    for (long n : sizes) {
        const std::string both = (dir / "both.sqlite").string(),
                          source = (dir / "source.sqlite").string();
        const std::string jet = (dir / "base.mdb").string();
        for (const auto& p : {both, source, jet}) fs::remove(p);
        {
            auto db = ws.CreateDatabase(both, kLangJapanese);
            AppendBenchTable(*db, "BIG");
            AppendBenchTable(*db, "SMALL");
            auto src = ws.CreateDatabase(source, kLangJapanese);
            AppendBenchTable(*src, "SMALL");
        }
        FillBenchTable(both, "BIG", kBig);
        FillBenchTable(both, "SMALL", n);
        FillBenchTable(source, "SMALL", n, {.salt = 3});
        {
            auto db = ws.OpenDatabase(both);
            WriteJet4(*db, jet);
        }
        std::vector<double> jetTimes, nativeTimes;
        uintmax_t grown = 0;
        const std::string jetCopy = (dir / "work.mdb").string(),
                          nativeCopy = (dir / "work.sqlite").string();
        for (int run = 0; run < 3; ++run) {
            fs::copy_file(jet, jetCopy, fs::copy_options::overwrite_existing);
            fs::copy_file(both, nativeCopy, fs::copy_options::overwrite_existing);
            // The copies on disk first: a save's flush should not wait for the copy's pages.
            SyncFile(jetCopy);
            SyncFile(nativeCopy);
            Figures a = Measure([&] { return Save(jetCopy); });
            grown = std::max(grown, fs::file_size(jetCopy) - fs::file_size(jet));
            CheckJetFile(jetCopy, n, run == 0);
            Figures b = Measure([&] { return Save(nativeCopy); });
            std::printf("  run %d: jet %.2f s, native %.2f s\n", run + 1, a.seconds, b.seconds);
            jetTimes.push_back(a.seconds);
            nativeTimes.push_back(b.seconds);
        }
        std::printf("jet_save %ld: %.2f s (file %.1f MB, grew by %ju bytes)\n", n, Median(jetTimes),
                    static_cast<double>(fs::file_size(jet)) / 1e6, grown);
        std::printf("native save %ld: %.2f s (file %.1f MB)\n", n, Median(nativeTimes),
                    static_cast<double>(fs::file_size(both)) / 1e6);
        bench::PrintRatio("jet_save", n, Median(jetTimes) / Median(nativeTimes));
    }
    fs::remove_all(dir);
    return 0;
}
