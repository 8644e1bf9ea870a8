// engine_copy: copying a table record by record through the object model, against SQLite's own
// INSERT ... SELECT of the same table, in one run with the same settings.
//
// Usage: engine_copy [N ...]   (default: 100000 1000000)
// For each N it builds a table of N records (5 Long, 3 Double, 10 Text with Japanese text of
// 10-40 bytes, 2 Date), then times
//   (a) INSERT INTO b (columns) SELECT columns FROM a, in one transaction, and
//   (b) snapshot over a -> dynaset AddNew/Update into c, values by field name, in one
//       workspace transaction,
// each in its own child process, so that the peak memory printed is that copy's own; three runs
// of each, taking turns, and the medians compared.
#include <sqlite3.h>
#include <sys/resource.h>
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
#include "bench_fill.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

// Text of 10..40 code page 932 bytes: kana and kanji (2 bytes), digits and half-width kana (1).
std::string SampleText(uint64_t seed) {
    static const char* pieces[] = {"東京", "大阪", "ｶﾅ",   "商品", "顧客",
                                   "台帳", "12",   "あい", "ABC",  "ﾃｽﾄ"};
    static const int bytes[] = {4, 4, 2, 4, 4, 4, 2, 4, 3, 3};
    int target = 10 + static_cast<int>(seed % 31);
    std::string s;
    int used = 0;
    uint64_t x = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    while (true) {
        int k = static_cast<int>((x >> 33) % 10);
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        if (used + bytes[k] > target) break;
        s += pieces[k];
        used += bytes[k];
    }
    while (used < 10) {
        s += "x";
        ++used;
    }
    return s;
}

std::string SampleTextOf(long r, int k) {
    return SampleText(static_cast<uint64_t>(r) * 10 + k);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void RawCopy(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA secure_delete = FAST; PRAGMA cache_size = -8192", nullptr, nullptr,
                 nullptr);
    std::string cols;
    for (const auto& c : BenchColumns()) cols += (cols.empty() ? "\"" : ", \"") + c.name + "\"";
    std::string sql = "BEGIN; INSERT INTO b (" + cols + ") SELECT " + cols + " FROM a; COMMIT;";
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "raw copy failed: %s\n", err);
        std::exit(1);
    }
    sqlite3_close(db);
}

void ModelCopy(const std::string& path) {
    Workspace& ws = DBEngine::Instance().Workspaces(0);
    DatabasePtr db = ws.OpenDatabase(path);
    std::vector<std::string> names;
    for (const auto& c : BenchColumns()) names.push_back(c.name);
    ws.BeginTrans();
    RecordsetPtr dst = db->OpenRecordset("SELECT * FROM [c]", RecordsetType::Dynaset);
    RecordsetPtr src = db->OpenRecordset("SELECT * FROM [a]", RecordsetType::Snapshot);
    while (!src->Eof()) {
        dst->AddNew();
        for (const auto& name : names) dst->SetValue(name, src->Value(name));
        dst->Update();
        src->MoveNext();
    }
    src->Close();
    dst->Close();
    ws.CommitTrans();
}

struct Figures {
    double seconds, userSeconds, systemSeconds, peakMb;
};

// Runs fn in a child process; returns its wall, user and system time and peak memory in MB.
template <class F> Figures Measure(F&& fn) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        try {
            fn();
        } catch (const Error& e) {
            std::fprintf(stderr, "error %ld: %s\n", e.Number(), e.Description().c_str());
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    double secs = Seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "copy failed\n");
        std::exit(1);
    }
    auto tv = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {secs, tv(usage.ru_utime), tv(usage.ru_stime), usage.ru_maxrss / 1024.0};
}

constexpr int kRuns = 3;

// The run of median time (its other figures with it).
Figures Median(std::vector<Figures> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Figures& a, const Figures& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

// Empties the two target tables for the next run (their pages are reused by it).
void EmptyTargets(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA secure_delete = FAST; DELETE FROM b; DELETE FROM c", nullptr, nullptr,
                 nullptr);
    sqlite3_close(db);
}

long CountRows(const std::string& path, const char* table) {
    DatabasePtr db = DBEngine::Instance().Workspaces(0).OpenDatabase(path);
    return db->TableDefs().Item(table)->RecordCount();
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<long> sizes = bench::RecordCounts(argc, argv, {100000, 1000000});
    fs::path dir = fs::temp_directory_path() / ("engine_copy-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (long n : sizes) {
        std::string path = (dir / ("copy-" + std::to_string(n) + ".mdb")).string();
        {
            DatabasePtr db = DBEngine::Instance().Workspaces(0).CreateDatabase(path, kLangJapanese);
            for (const char* t : {"a", "b", "c"}) AppendBenchTable(*db, t);
        }
        FillBenchTable(path, "a", n, {.text = SampleTextOf});
        // Three runs of each, taking turns, each into an emptied target table; the medians are
        // compared, since one disk sync can take twice as long as the next.
        std::vector<Figures> raws, models;
        for (int run = 0; run < kRuns; ++run) {
            if (run > 0) EmptyTargets(path);
            if (run % 2 == 0) {
                raws.push_back(Measure([&] { RawCopy(path); }));
                models.push_back(Measure([&] { ModelCopy(path); }));
            } else {
                models.push_back(Measure([&] { ModelCopy(path); }));
                raws.push_back(Measure([&] { RawCopy(path); }));
            }
            if (CountRows(path, "b") != n || CountRows(path, "c") != n) {
                std::fprintf(stderr, "row counts differ after the copies\n");
                return 1;
            }
        }
        const Figures raw = Median(raws), model = Median(models);
        double rawSecs = raw.seconds, modelSecs = model.seconds, rawMb = raw.peakMb,
               modelMb = model.peakMb;
        std::printf("runs of each copy: %d (medians below)\n", kRuns);
        std::printf("raw INSERT SELECT seconds of each run:");
        for (const Figures& f : raws) std::printf(" %.3f", f.seconds);
        std::printf("\nobject model copy seconds of each run:");
        for (const Figures& f : models) std::printf(" %.3f", f.seconds);
        std::printf("\n");
        std::printf("records: %ld\n", n);
        std::printf("raw INSERT SELECT seconds: %.3f\n", rawSecs);
        std::printf("object model copy seconds: %.3f\n", modelSecs);
        bench::PrintRatio("engine_copy", n, modelSecs / rawSecs);
        std::printf("peak memory MB raw %ld: %.1f\n", n, rawMb);
        std::printf("peak memory MB: %.1f\n", modelMb);
        std::printf("object model microseconds per record: %.2f\n", modelSecs * 1e6 / n);
        std::printf("raw user/system seconds: %.3f / %.3f\n", raw.userSeconds, raw.systemSeconds);
        std::printf("object model user/system seconds: %.3f / %.3f\n", model.userSeconds,
                    model.systemSeconds);
        // Processor time moves less than wall time with the machine's load and the disk.
        const double rawCpu = raw.userSeconds + raw.systemSeconds,
                     modelCpu = model.userSeconds + model.systemSeconds;
        std::printf("object model processor microseconds per record: %.2f\n", modelCpu * 1e6 / n);
        bench::PrintRatio("engine_copy processor", n, modelCpu / rawCpu);
        fs::remove(path);
    }
    fs::remove_all(dir);
    return 0;
}
