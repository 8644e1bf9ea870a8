// import: the import window's runs on N source records, against SQLite's own statements on the
// same data and settings, in one run.
//
// Usage: import [N ...]   (default: 100000 1000000)
// One file holds SRC (N records) and DST (every other key, N / 2 records, with other values),
// both with the 20 fields of the benchmark tables (L1-L5 Long, D1-D3 Double, T1-T10 Text 40,
// W1-W2 Date) and a primary key on L1. The window links the same-named fields and runs
//   - keyed mode 1 (add or update by the primary key), against
//     INSERT INTO DST SELECT * FROM SRC WHERE true ON CONFLICT (L1) DO UPDATE SET ...;
//   - replace all, against DELETE FROM DST; INSERT INTO DST SELECT * FROM SRC (which SQLite
//     copies record by record without decoding them, the table being empty);
// each SQL in one transaction with the engine's connection settings (rollback journal, FULL
// synchronous, 8 MB page cache, secure_delete FAST). Every run starts from a fresh copy of the
// file and runs in a child process of its own, so the time and peak memory printed are its own.
// The window's times cover the run alone (its questions answered by script); its peak memory
// includes Qt and the window, printed on their own as the baseline.
#include <QApplication>
#include <QListWidget>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_args.h"
#include "bench_fill.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "forms/frmMdbCpy.h"
#include "measure.h"
#include "modules/AppContext.h"
#include "platform/prompts.h"
#include "platform/scripted.h"

namespace fs = std::filesystem;
namespace dao = engine::dao;

namespace {

constexpr const char* kSettings = "PRAGMA secure_delete = FAST; PRAGMA cache_size = -8192";

void Build(const std::string& path, long n) {
    {
        auto db =
            engine::DBEngine::Instance().Workspaces(0).CreateDatabase(path, engine::kLangJapanese);
        AppendBenchTable(*db, "SRC", true);
        AppendBenchTable(*db, "DST", true);
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    FillBenchRows(db, "SRC", n);
    FillBenchRows(db, "DST", n / 2, {.step = 2, .salt = 3});
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double RawSql(const std::string& path, bool upsert) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, kSettings, nullptr, nullptr, nullptr);
    std::string sets;
    for (const auto& c : BenchColumns())
        if (c.name != "L1") sets += (sets.empty() ? "" : ", ") + c.name + " = excluded." + c.name;
    const std::string sql =
        upsert ? "BEGIN; INSERT INTO DST SELECT * FROM SRC WHERE true ON CONFLICT (L1) DO UPDATE "
                 "SET " +
                     sets + "; COMMIT;"
               : "BEGIN; DELETE FROM DST; INSERT INTO DST SELECT * FROM SRC; COMMIT;";
    const auto start = std::chrono::steady_clock::now();
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "raw SQL failed: %s\n", error);
        std::exit(1);
    }
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sqlite3_close(db);
    return secs;
}

// Answers the run's questions with OK; anything else is a failure of the benchmark.
class Answers : public platform::Prompts {
  public:
    int MsgBox(const QString& text, int, const QString&) override {
        if (text == QString::fromUtf8("作業が終了しました。実行結果を更新しますか。") ||
            text == QString::fromUtf8("実行結果を更新しました。"))
            return platform::vbOK;
        std::fprintf(stderr, "unexpected message: %s\n", text.toUtf8().constData());
        std::exit(1);
    }
};

void PickTable(tavorin::frmMdbCpy& window, int side, const std::string& table) {
    const auto& tables = window.Sides[static_cast<size_t>(side)].TableList;
    for (size_t i = 0; i < tables.size(); ++i)
        if (tables[i].Name == table) window.List1[side]->setCurrentRow(static_cast<int>(i));
    window.List1_DblClick(side);
}

// mode 0: the window started and both tables chosen, no run (the baseline); 1: keyed mode 1;
// 2: replace all. Returns the seconds of the run alone.
double WindowRun(const std::string& path, const std::string& workdir, int mode, long expected,
                 int argc, char** argv) {
    QApplication app(argc, argv);
    Answers answers;
    platform::ScriptedFileDialogs dialogs;
    tavorin::AppContext context(engine::DBEngine::Instance().Workspaces(0),
                                {.prompts = &answers, .fileDialogs = &dialogs});
    context.Store.SetWorkBaseOverride(workdir);
    tavorin::frmMdbCpy window(context);
    if (!window.Form_Load()) std::exit(1);
    for (int side : {tavorin::frmMdbCpy::kTarget, tavorin::frmMdbCpy::kSource}) {
        dialogs.Answer(QString::fromStdString(path));
        window.Text2_Click(2 * side + 1);
        PickTable(window, side, side == tavorin::frmMdbCpy::kTarget ? "DST" : "SRC");
    }
    window.mnCpyJoint_Click();
    const auto start = std::chrono::steady_clock::now();
    if (mode == 1) window.mnCpyUpd1_Click(1);
    if (mode == 2) window.mnCpyDel_Click();
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (mode != 0 && (window.ReadCount != expected || window.WorkCount != expected)) {
        std::fprintf(stderr, "the run counted %ld read and %ld written, not %ld\n",
                     window.ReadCount, window.WorkCount, expected);
        std::exit(1);
    }
    if (mode != 0)
        std::printf("%s went %s\n", mode == 1 ? "keyed mode 1" : "replace all",
                    window.LastRun.wholeRecords ? "as whole records"
                    : window.LastRun.asTheyAre  ? "copying values as they are"
                    : window.LastRun.compiled   ? "as one statement with conversions"
                                                : "record by record");
    std::fflush(stdout);
    window.mnEnd_Click();
    return secs;
}

// The records of DST as one number, to check that both ways give the same table.
std::string Digest(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT count(*), total(L1), total(L2 + L3 + L4 + L5), total(D1 + D2 + D3), "
                       "total(length(T1 || T2 || T3 || T4 || T5 || T6 || T7 || T8 || T9 || T10)), "
                       "count(DISTINCT W1 || W2) FROM DST",
                       -1, &st, nullptr);
    sqlite3_step(st);
    std::string digest;
    for (int i = 0; i < 6; ++i) digest += std::to_string(sqlite3_column_double(st, i)) + " ";
    sqlite3_finalize(st);
    sqlite3_close(db);
    return digest;
}

// The machine's load over the last minute, printed beside the figures: other processes share
// the processors, and wall times move with them more than processor times do.
std::string LoadAverage() {
    char text[64] = {};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(text, sizeof text, f)) text[0] = 0;
        std::fclose(f);
    }
    std::string load(text);
    return load.substr(0, load.find(' '));
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::vector<long> sizes = bench::RecordCounts(argc, argv, {100000, 1000000});
    const fs::path dir = fs::temp_directory_path() / ("bench-import-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string base = (dir / "base.mdb").string(), run = (dir / "run.mdb").string();
    const std::string work = (dir / "work").string();
    for (long n : sizes) {
        fs::remove(base);
        Build(base, n);
        auto fresh = [&] { fs::copy_file(base, run, fs::copy_options::overwrite_existing); };
        std::printf("records: %ld (target holding %ld of their keys)\n", n, n / 2);
        std::printf("load average before %ld: %s\n", n, LoadAverage().c_str());

        fresh();
        const Figures rawUpsert = Measure([&] { return RawSql(run, true); });
        const std::string upserted = Digest(run);
        fresh();
        const Figures mode1 = Measure([&] { return WindowRun(run, work, 1, n, argc, argv); });
        if (Digest(run) != upserted) {
            std::fprintf(stderr, "keyed mode 1 and the upsert give different tables\n");
            return 1;
        }
        fresh();
        const Figures rawReplace = Measure([&] { return RawSql(run, false); });
        const std::string replaced = Digest(run);
        fresh();
        const Figures replaceAll = Measure([&] { return WindowRun(run, work, 2, n, argc, argv); });
        if (Digest(run) != replaced) {
            std::fprintf(stderr, "replace all and DELETE + INSERT give different tables\n");
            return 1;
        }
        fresh();
        const Figures baseline = Measure([&] { return WindowRun(run, work, 0, n, argc, argv); });

        std::printf("load average after %ld: %s\n", n, LoadAverage().c_str());
        std::printf("SQLite upsert seconds %ld: %.3f\n", n, rawUpsert.seconds);
        std::printf("keyed mode 1 seconds %ld: %.3f\n", n, mode1.seconds);
        bench::PrintRatio("import_mode1", n, mode1.seconds / rawUpsert.seconds);
        std::printf("SQLite delete and insert seconds %ld: %.3f\n", n, rawReplace.seconds);
        std::printf("replace all seconds %ld: %.3f\n", n, replaceAll.seconds);
        bench::PrintRatio("import_replace_all", n, replaceAll.seconds / rawReplace.seconds);
        // Processor seconds of each whole child (building the window and choosing the tables
        // included on the window's side): steadier than the times above on a busy machine.
        std::printf("processor seconds SQLite upsert %ld: %.3f\n", n, rawUpsert.cpuSeconds);
        std::printf("processor seconds keyed mode 1 %ld: %.3f (window without a run: %.3f)\n", n,
                    mode1.cpuSeconds, baseline.cpuSeconds);
        std::printf("processor seconds SQLite delete and insert %ld: %.3f\n", n,
                    rawReplace.cpuSeconds);
        std::printf("processor seconds replace all %ld: %.3f\n", n, replaceAll.cpuSeconds);
        // The window's own processor time without the run taken off: the run's share alone.
        bench::PrintRatio("import_mode1_processor", n,
                          (mode1.cpuSeconds - baseline.cpuSeconds) / rawUpsert.cpuSeconds);
        bench::PrintRatio("import_replace_all_processor", n,
                          (replaceAll.cpuSeconds - baseline.cpuSeconds) / rawReplace.cpuSeconds);
        std::printf("peak memory MB window without a run %ld: %.1f\n", n, baseline.peakMb);
        std::printf("peak memory MB keyed mode 1 %ld: %.1f\n", n, mode1.peakMb);
        std::printf("peak memory MB replace all %ld: %.1f\n", n, replaceAll.peakMb);
        std::printf("peak memory MB SQLite %ld: %.1f\n", n,
                    std::max(rawUpsert.peakMb, rawReplace.peakMb));
        std::printf("peak memory MB: %.1f\n", std::max(mode1.peakMb, replaceAll.peakMb));
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return 0;
}
