// jet_write: writing the benchmark table as a genuine Jet 4 file, against the engine's native
// copy of the same records into a new file, in one run.
//
// Usage: jet_write [N ...]   (default: 1000000)
// For each N it builds a native file with the table BIG of N records (the 20 fields of
// bench_columns.h: 5 Long, 3 Double, 10 Text 40 with Japanese text, 2 Date), then times, each in
// a child process of its own (so that the peak memory printed is that piece's own), three runs
// taking turns:
//   (a) engine::WriteJet4 of the file to a new .mdb, and
//   (b) a new native file with the same table, filled by one INSERT ... SELECT through the
//       engine's connection (Database::ExecuteSql) in one workspace transaction,
// and compares the medians: "ratio jet_write N: a/b".

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_args.h"
#include "bench_fill.h"
#include "engine/jet4_writer.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "measure.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

void Fill(const std::string& path, long n) {
    {
        auto db = DBEngine::Instance().Workspaces(0).CreateDatabase(path, kLangJapanese);
        AppendBenchTable(*db, "BIG");
    }
    FillBenchTable(path, "BIG", n);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double JetWrite(const std::string& source, const std::string& target) {
    fs::remove(target);
    auto t0 = std::chrono::steady_clock::now();
    auto db = DBEngine::Instance().Workspaces(0).OpenDatabase(source);
    WriteJet4(*db, target);
    db->Close();
    return Seconds(t0);
}

double NativeCopy(const std::string& source, const std::string& target) {
    fs::remove(target);
    auto t0 = std::chrono::steady_clock::now();
    Workspace& ws = DBEngine::Instance().Workspaces(0);
    auto from = ws.OpenDatabase(source);
    auto to = ws.CreateDatabase(target, kLangJapanese);
    AppendBenchTable(*to, "BIG");
    ws.BeginTrans();
    to->ExecuteSql("INSERT INTO \"" + to->SchemaName() + "\".\"BIG\" SELECT * FROM \"" +
                   from->SchemaName() + "\".\"BIG\"");
    ws.CommitTrans();
    to->Close();
    from->Close();
    return Seconds(t0);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<long> sizes = bench::RecordCounts(argc, argv, {1000000});
    fs::path dir = fs::temp_directory_path() / ("jet_write-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (long n : sizes) {
        std::string source = (dir / "source.mdb").string();
        fs::remove(source);
        Fill(source, n);
        std::vector<double> jet, native, jetCpu, nativeCpu;
        double jetPeak = 0, nativePeak = 0;
        for (int run = 0; run < 3; ++run) {
            Figures a = Measure([&] { return JetWrite(source, (dir / "out.mdb").string()); });
            Figures b = Measure([&] { return NativeCopy(source, (dir / "copy.mdb").string()); });
            jet.push_back(a.seconds);
            native.push_back(b.seconds);
            jetCpu.push_back(a.cpuSeconds);
            nativeCpu.push_back(b.cpuSeconds);
            jetPeak = std::max(jetPeak, a.peakMb);
            nativePeak = std::max(nativePeak, b.peakMb);
        }
        std::printf("jet_write %ld: %.2f s (file %.1f MB)\n", n, Median(jet),
                    static_cast<double>(fs::file_size(dir / "out.mdb")) / 1e6);
        std::printf("native copy %ld: %.2f s (file %.1f MB)\n", n, Median(native),
                    static_cast<double>(fs::file_size(dir / "copy.mdb")) / 1e6);
        std::printf("processor time %ld: jet_write %.2f s, native copy %.2f s\n", n, Median(jetCpu),
                    Median(nativeCpu));
        bench::PrintRatio("jet_write", n, Median(jet) / Median(native));
        std::printf("peak memory MB: %.1f (native copy %.1f)\n", jetPeak, nativePeak);
    }
    fs::remove_all(dir);
    return 0;
}
