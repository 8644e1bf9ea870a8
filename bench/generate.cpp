// generate: the module generator's whole command-line run (table scan, module text, .bas file)
// on a database of few tables and on one of ten times as many, to show that the cost grows with
// the number of tables and no faster.
//
// Usage: generate [SMALL LARGE [FIELDS]]   (default: 30 300 40)
// Each table has FIELDS fields: ordinary fields of every common type, some with descriptions,
// and two numbered groups of six (Qty_01..Qty_06, Amt_01..Amt_06) that fold into arrays.
// Building the databases is not timed; each run is timed five times and the fastest counts.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench_args.h"
#include "command_line.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

void CreateTable(Database& db, const std::string& name, int fields) {
    static const int types[] = {dao::dbLong,     dao::dbText,   dao::dbInteger, dao::dbDate,
                                dao::dbCurrency, dao::dbDouble, dao::dbMemo,    dao::dbBoolean};
    auto td = db.CreateTableDef(name);
    int grouped = std::min(12, fields);
    for (int i = 0; i < fields - grouped; ++i) {
        int type = types[i % 8];
        auto f =
            td->CreateField("Field " + std::to_string(i + 1), type, type == dao::dbText ? 40 : 0);
        if (i % 3 == 0)
            f->Properties().Append(f->CreateProperty(
                "Description", dao::dbText, Variant("項目" + std::to_string(i + 1) + "の説明")));
        td->Fields().Append(f);
    }
    for (int i = 0; i < grouped; ++i) {
        char field[16];
        std::snprintf(field, sizeof field, "%s_%02d", i < 6 ? "Qty" : "Amt", i % 6 + 1);
        td->Fields().Append(td->CreateField(field, i < 6 ? dao::dbInteger : dao::dbCurrency));
    }
    // Fields, descriptions and all reach the file in one step.
    db.TableDefs().Append(td);
}

std::string BuildDatabase(const fs::path& dir, int tables, int fields) {
    std::string path = (dir / ("tables" + std::to_string(tables) + ".mdb")).string();
    DatabasePtr db = DBEngine::Instance().Workspaces(0).CreateDatabase(path, kLangJapanese);
    char name[32];
    for (int t = 1; t <= tables; ++t) {
        std::snprintf(name, sizeof name, "Table %03d", t);
        CreateTable(*db, name, fields);
    }
    db->Close();
    return path;
}

// Seconds of the fastest of five command-line runs writing the module.
double TimeGeneration(const std::string& database, const std::string& out) {
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        std::ostringstream sink, errors;
        auto start = std::chrono::steady_clock::now();
        int status = vespen::RunCommandLine(engine::DBEngine::Instance().Workspaces(0),
                                            {"--db", database, "--out", out}, sink, errors);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != 0) {
            std::fprintf(stderr, "generation failed: %s", errors.str().c_str());
            std::exit(1);
        }
        best = std::min(best, seconds);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const char* usageLine = "[SMALL LARGE [FIELDS]] (FIELDS 1..255)";
    const int small = static_cast<int>(bench::CountArgument(argc, argv, 1, 30, usageLine));
    const int large = static_cast<int>(bench::CountArgument(argc, argv, 2, 300, usageLine));
    const int fields = static_cast<int>(bench::CountArgument(argc, argv, 3, 40, usageLine));
    if (fields > limits::kMaxFields) {
        std::fprintf(stderr, "usage: generate [SMALL LARGE [FIELDS]] (FIELDS 1..255)\n");
        return 2;
    }
    std::string tmpl = (fs::temp_directory_path() / "bench-generate-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path dir = tmpl;
    int status = 0;
    try {
        std::string smallDb = BuildDatabase(dir, small, fields);
        std::string largeDb = BuildDatabase(dir, large, fields);
        double smallSeconds = TimeGeneration(smallDb, (dir / "small.bas").string());
        double largeSeconds = TimeGeneration(largeDb, (dir / "large.bas").string());
        std::printf("generate %d tables x %d fields: %.1f ms (%ju bytes)\n", small, fields,
                    smallSeconds * 1000, static_cast<uintmax_t>(fs::file_size(dir / "small.bas")));
        std::printf("generate %d tables x %d fields: %.1f ms (%ju bytes)\n", large, fields,
                    largeSeconds * 1000, static_cast<uintmax_t>(fs::file_size(dir / "large.bas")));
        bench::PrintRatio("generate", largeSeconds / smallSeconds);
    } catch (const Error& e) {
        std::fprintf(stderr, "Error %ld: %s\n", e.Number(), e.Description().c_str());
        status = 1;
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory MB: %.1f\n", usage.ru_maxrss / 1024.0);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
