// conversion_check: the table menu's conversion check of a changed layout of a table of N
// records, beside the designer's save of the same layout on the same data.
//
// Usage: conversion_check [N ...]   (default: 100000 1000000)
// The table and the layout are those of save_carryover (bench_table.h). The check and the save
// each run in a child process of their own, so that the time and peak memory printed are
// theirs alone; the check's time is the whole command (validation, FieldMap, reading every
// record through the conversion), its window included.
#include <QApplication>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_args.h"
#include "bench_table.h"
#include "forms/frmConvCheck.h"
#include "forms/frmTavorin.h"
#include "measure.h"

namespace fs = std::filesystem;

namespace {

// Runs fn on the designer opened on the table with the changed layout; returns fn's seconds.
template <class F>
double OnChangedLayout(const std::string& path, const std::string& workdir, int argc, char** argv,
                       F&& fn) {
    QApplication app(argc, argv);
    BenchAnswers answers;
    tavorin::AppContext context(engine::DBEngine::Instance().Workspaces(0), {.prompts = &answers});
    context.Store.SetWorkBaseOverride(workdir);
    tavorin::frmTavorin window(context);
    if (!window.Form_Load()) std::exit(1);
    window.OpenOnStart(path, "BIG");
    ChangeBenchLayout(*context.Store.WorkDb);
    window.LayoutChanged = 9;
    const auto start = std::chrono::steady_clock::now();
    fn(window);
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    window.LayoutChanged = 0;
    window.mnEnd_Click();
    return secs;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::vector<long> sizes = bench::RecordCounts(argc, argv, {100000, 1000000});
    const fs::path dir =
        fs::temp_directory_path() / ("conversion_check-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string work = (dir / "work").string();
    for (long n : sizes) {
        const std::string path = (dir / "big.mdb").string();
        BuildBenchTable(path, n);
        const uintmax_t size = fs::file_size(path);
        const auto modified = fs::last_write_time(path);
        Figures check = Measure([&] {
            return OnChangedLayout(path, work, argc, argv, [&](tavorin::frmTavorin& window) {
                window.mnConvCheck_Click();
                const tavorin::frmConvCheck* shown = window.ConvCheckWindow();
                if (!shown || shown->Report().records != n || shown->Report().cancelled) {
                    std::fprintf(stderr, "the check did not read every record\n");
                    std::exit(1);
                }
                std::printf("values cut by the save %ld: %ld\n", n, shown->Report().TotalCut());
                std::fflush(stdout);
            });
        });
        if (fs::file_size(path) != size || fs::last_write_time(path) != modified) {
            std::fprintf(stderr, "the check changed the file\n");
            return 1;
        }
        Figures save = Measure([&] {
            return OnChangedLayout(path, work, argc, argv, [](tavorin::frmTavorin& window) {
                window.SaveTable();
                if (window.Saving().SaveAbandoned != 0) std::exit(1);
            });
        });
        std::printf("records: %ld\n", n);
        std::printf("conversion check seconds: %.3f\n", check.seconds);
        std::printf("designer save seconds: %.3f\n", save.seconds);
        bench::PrintRatio("conversion_check to save", n, check.seconds / save.seconds);
        std::printf("peak memory MB save %ld: %.1f\n", n, save.peakMb);
        std::printf("peak memory MB: %.1f\n", check.peakMb);
        fs::remove(path);
    }
    fs::remove_all(dir);
    return 0;
}
