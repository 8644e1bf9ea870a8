// save_carryover: saving a changed layout of a table of N records through the designer's save
// (answers scripted), against the raw SQLite rebuild of the same change, in one run.
//
// Usage: save_carryover [N ...]   (default: 100000 1000000)
// The table has 20 fields (L1-L5 Long, D1-D3 Double, T1-T10 Text 40, W1-W2 Date). The new
// layout renames L1 and T5, turns L2 into Text 20 and T2 (numbers as text) into Long, shortens
// T3 and T4 to 20, and turns D1 into a group of 3. Each save runs in its own child process so
// that the time and peak memory printed are that save's own. It also prints the file's size right
// after the save, the time the window then takes to give the old table's pages back while idle,
// and the size after that against a fresh copy of the file (VACUUM INTO), which holds no free
// pages.
#include <QApplication>
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
#include "bench_table.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "forms/frmTavorin.h"
#include "measure.h"
#include "modules/AppContext.h"
#include "platform/prompts.h"

namespace fs = std::filesystem;
using engine::Variant;
namespace dao = engine::dao;

namespace {

void RawRebuild(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA secure_delete = FAST; PRAGMA cache_size = -8192", nullptr, nullptr,
                 nullptr);
    const char* sql =
        "BEGIN;"
        "CREATE TABLE NEWBIG (LA INTEGER, L2 TEXT COLLATE NOCASE, L3 INTEGER, L4 INTEGER, L5 "
        "INTEGER,"
        " D1_01 REAL, D1_02 REAL, D1_03 REAL, D2 REAL, D3 REAL, T1 TEXT COLLATE NOCASE, T2 INTEGER,"
        " T3 TEXT COLLATE NOCASE, T4 TEXT COLLATE NOCASE, TE TEXT COLLATE NOCASE, T6 TEXT COLLATE "
        "NOCASE,"
        " T7 TEXT COLLATE NOCASE, T8 TEXT COLLATE NOCASE, T9 TEXT COLLATE NOCASE, T10 TEXT COLLATE "
        "NOCASE,"
        " W1 TEXT, W2 TEXT);"
        "INSERT INTO NEWBIG (LA, L2, L3, L4, L5, D1_01, D1_02, D1_03, D2, D3, T1, T2, T3, T4, TE, "
        "T6, T7, T8,"
        " T9, T10, W1, W2) SELECT L1, CAST(L2 AS TEXT), L3, L4, L5, D1, 0, 0, D2, D3, T1, CAST(T2 "
        "AS INTEGER),"
        " substr(T3, 1, 20), substr(T4, 1, 20), T5, T6, T7, T8, T9, T10, W1, W2 FROM BIG;"
        "DROP TABLE BIG;"
        "ALTER TABLE NEWBIG RENAME TO BIG;"
        "COMMIT;";
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "raw rebuild failed: %s\n", err);
        std::exit(1);
    }
    sqlite3_close(db);
}

// What the save's child measured besides the save's own time.
struct AfterSave {
    double fileBytes = 0;      // right after SaveTable returned
    double releaseSeconds = 0; // giving the free pages back while the window is idle
};

// Returns the seconds of SaveTable alone; writes the AfterSave figures into notes.
double DesignerSave(const std::string& path, const std::string& workdir, const std::string& notes,
                    int argc, char** argv) {
    QApplication app(argc, argv);
    BenchAnswers answers;
    tavorin::AppContext context(engine::DBEngine::Instance().Workspaces(0), {.prompts = &answers});
    context.Store.SetWorkBaseOverride(workdir);
    tavorin::frmTavorin window(context);
    if (!window.Form_Load()) std::exit(1);
    window.OpenOnStart(path, "BIG");
    ChangeBenchLayout(*context.Store.WorkDb);
    const auto start = std::chrono::steady_clock::now();
    window.SaveTable();
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (window.Saving().SaveAbandoned != 0) std::exit(1);
    AfterSave after;
    after.fileBytes = static_cast<double>(fs::file_size(path));
    const auto released = std::chrono::steady_clock::now();
    while (window.ReleasingFreePages()) QCoreApplication::processEvents();
    after.releaseSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - released).count();
    if (FILE* f = std::fopen(notes.c_str(), "w")) {
        std::fprintf(f, "%.0f %.6f\n", after.fileBytes, after.releaseSeconds);
        std::fclose(f);
    }
    window.LayoutChanged = 0;
    window.mnEnd_Click();
    return secs;
}

// The size of a fresh copy of the file (every table written anew, no free pages).
uintmax_t FreshCopySize(const std::string& path, const std::string& copy) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const std::string sql = "VACUUM INTO '" + copy + "'";
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "fresh copy failed: %s\n", err);
        std::exit(1);
    }
    sqlite3_close(db);
    const uintmax_t size = fs::file_size(copy);
    fs::remove(copy);
    return size;
}

long CountRows(const std::string& path) {
    return engine::DBEngine::Instance()
        .Workspaces(0)
        .OpenDatabase(path)
        ->TableDefs()
        .Item("BIG")
        ->RecordCount();
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::vector<long> sizes = bench::RecordCounts(argc, argv, {100000, 1000000});
    const fs::path dir = fs::temp_directory_path() / ("save_carryover-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (long n : sizes) {
        const std::string raw = (dir / "raw.mdb").string(), model = (dir / "model.mdb").string();
        BuildBenchTable(raw, n);
        fs::copy_file(raw, model);
        Figures r = Measure([&] {
            const auto start = std::chrono::steady_clock::now();
            RawRebuild(raw);
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        });
        const std::string notes = (dir / "after-save.txt").string();
        Figures m = Measure(
            [&] { return DesignerSave(model, (dir / "work").string(), notes, argc, argv); });
        AfterSave after;
        if (FILE* f = std::fopen(notes.c_str(), "r")) {
            if (std::fscanf(f, "%lf %lf", &after.fileBytes, &after.releaseSeconds) != 2) after = {};
            std::fclose(f);
        }
        if (CountRows(raw) != n || CountRows(model) != n) {
            std::fprintf(stderr, "record counts differ after the saves\n");
            return 1;
        }
        std::printf("records: %ld\n", n);
        std::printf("raw SQLite rebuild seconds: %.3f\n", r.seconds);
        std::printf("designer save seconds: %.3f\n", m.seconds);
        bench::PrintRatio("save_carryover", n, m.seconds / r.seconds);
        std::printf("peak memory MB raw %ld: %.1f\n", n, r.peakMb);
        std::printf("peak memory MB: %.1f\n", m.peakMb);
        const double mb = 1024.0 * 1024.0;
        const uintmax_t saved = fs::file_size(model),
                        fresh = FreshCopySize(model, (dir / "fresh.mdb").string());
        std::printf("file MB right after the save %ld: %.1f\n", n, after.fileBytes / mb);
        std::printf("giving the free pages back while idle seconds %ld: %.3f\n", n,
                    after.releaseSeconds);
        std::printf("file MB after the save %ld: %.1f\n", n, saved / mb);
        std::printf("file MB of a fresh copy %ld: %.1f\n", n, fresh / mb);
        bench::PrintRatio("file size after save to fresh copy", n,
                          static_cast<double>(saved) / fresh);
        bench::PrintRatio("save_carryover with the pages given back", n,
                          (m.seconds + after.releaseSeconds) / r.seconds);
        fs::remove(raw);
        fs::remove(model);
    }
    fs::remove_all(dir);
    return 0;
}
