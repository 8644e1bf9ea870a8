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
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_columns.h"
#include "engine/jet4_writer.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "measure.h"
#include "bench_args.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

void CreateTable(Database& db) {
    auto td = db.CreateTableDef("BIG");
    for (const auto& c : BenchColumns()) {
        auto f = td->CreateField(c.name, c.type, c.size);
        if (c.type == dao::dbText) f->SetAllowZeroLength(true);
        td->Fields().Append(f);
    }
    db.TableDefs().Append(td);
}

void Fill(const std::string& path, long n) {
    {
        auto db = DBEngine::Instance().Workspaces(0).CreateDatabase(path, kLangJapanese);
        CreateTable(*db);
    }
    static const char* words[] = {"東京都", "大阪市", "ｶﾅ", "商品名", "顧客", "台帳", "ABC", "ﾃｽﾄ"};
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO BIG VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    for (long r = 0; r < n; ++r) {
        int c = 1;
        for (int i = 0; i < 5; ++i) sqlite3_bind_int64(st, c++, r * 5 + i);
        for (int i = 0; i < 3; ++i) sqlite3_bind_double(st, c++, r * 0.5 + i);
        for (int i = 0; i < 10; ++i) {
            std::string t = std::string(words[(r + i) % 8]) + words[(r * 7 + i) % 8] + std::to_string(r);
            sqlite3_bind_text(st, c++, t.c_str(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        }
        for (int i = 0; i < 2; ++i) {
            char date[32];
            std::snprintf(date, sizeof date, "%04ld-%02ld-%02ld 08:30:00", 1980 + r % 40, 1 + r % 12, 1 + r % 28);
            sqlite3_bind_text(st, c++, date, -1, SQLITE_TRANSIENT);
        }
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
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
    CreateTable(*to);
    ws.BeginTrans();
    to->ExecuteSql("INSERT INTO \"" + to->SchemaName() + "\".\"BIG\" SELECT * FROM \"" + from->SchemaName() + "\".\"BIG\"");
    ws.CommitTrans();
    to->Close();
    from->Close();
    return Seconds(t0);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
        std::printf("processor time %ld: jet_write %.2f s, native copy %.2f s\n", n, Median(jetCpu), Median(nativeCpu));
        bench::PrintRatio("jet_write", n, Median(jet) / Median(native));
        std::printf("peak memory MB: %.1f (native copy %.1f)\n", jetPeak, nativePeak);
    }
    fs::remove_all(dir);
    return 0;
}
