// jet_save: saving a changed table into a genuine Jet 4 file in place, against the same save in
// a native file, in one run.
//
// Usage: jet_save [N ...]   (default: 100000)
// For each N it writes a Jet 4 file holding BIG, the benchmark table of 1,000,000 records (the 20
// fields of bench_columns.h), and SMALL, one of N records, and a native file with the same two
// tables; a source holds SMALL with other values. Then, three runs taking turns, each on a fresh
// copy and in a child process of its own:
//   (a) ApplyInPlace of SMALL from the source into the Jet 4 file (the bytes it writes counted),
//   (b) in the native file, SMALL's records deleted and the source's inserted by one
//       INSERT ... SELECT, in one workspace transaction,
// and compares the medians: "ratio jet_save N: a/b". The untouched BIG is what makes the file
// large: the save should cost what SMALL costs, not what the file does.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_columns.h"
#include "engine/database.h"
#include "engine/jet4_writer.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "jet4/in_place.h"
#include "jet4/page_file.h"
#include "measure.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

constexpr long kBig = 1000000;
size_t pagesWritten = 0;
void CountPages(size_t pages) { pagesWritten += pages; }

void CreateTable(Database& db, const std::string& name) {
    auto td = db.CreateTableDef(name);
    for (const auto& c : BenchColumns()) {
        auto f = td->CreateField(c.name, c.type, c.size);
        if (c.type == dao::dbText) f->SetAllowZeroLength(true);
        td->Fields().Append(f);
    }
    db.TableDefs().Append(td);
}

// n records into table of the native file at path; salt makes other values.
void Fill(const std::string& path, const std::string& table, long n, long salt) {
    static const char* words[] = {"東京都", "大阪市", "ｶﾅ", "商品名", "顧客", "台帳", "ABC", "ﾃｽﾄ"};
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("INSERT INTO " + table + " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").c_str(), -1,
                       &st, nullptr);
    for (long r = 0; r < n; ++r) {
        int c = 1;
        for (int i = 0; i < 5; ++i) sqlite3_bind_int64(st, c++, r * 5 + i + salt);
        for (int i = 0; i < 3; ++i) sqlite3_bind_double(st, c++, r * 0.5 + i + salt);
        for (int i = 0; i < 10; ++i) {
            std::string t = std::string(words[(r + i + salt) % 8]) + words[(r * 7 + i) % 8] + std::to_string(r);
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

double JetSave(const std::string& source, const std::string& target) {
    auto t0 = std::chrono::steady_clock::now();
    auto db = DBEngine::Instance().Workspaces(0).OpenDatabase(source);
    detail::jet4::SetPageWriteHook(CountPages);
    detail::jet4::ApplyInPlace(target, *db, {{detail::jet4::TableChange::Kind::Write, "SMALL", ""}});
    db->Close();
    double s = Seconds(t0);
    std::printf("  in place: %.2f s, %zu pages (%.1f MB) written\n", s, pagesWritten, pagesWritten * 4096 / 1e6);
    std::fflush(stdout);
    return s;
}

double NativeSave(const std::string& source, const std::string& target) {
    auto t0 = std::chrono::steady_clock::now();
    Workspace& ws = DBEngine::Instance().Workspaces(0);
    auto from = ws.OpenDatabase(source);
    auto to = ws.OpenDatabase(target);
    ws.BeginTrans();
    to->ExecuteSql("DELETE FROM \"" + to->SchemaName() + "\".\"SMALL\"");
    to->ExecuteSql("INSERT INTO \"" + to->SchemaName() + "\".\"SMALL\" SELECT * FROM \"" + from->SchemaName() + "\".\"SMALL\"");
    ws.CommitTrans();
    to->Close();
    from->Close();
    return Seconds(t0);
}

void SyncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) std::exit(1);
    ::close(fd);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
    if (sizes.empty()) sizes.push_back(100000);
    fs::path dir = fs::temp_directory_path() / ("jet_save-" + std::to_string(getpid()));
    fs::create_directories(dir);
    Workspace& ws = DBEngine::Instance().Workspaces(0);
    for (long n : sizes) {
        const std::string both = (dir / "both.sqlite").string(), source = (dir / "source.sqlite").string();
        const std::string jet = (dir / "base.mdb").string();
        for (const auto& p : {both, source, jet}) fs::remove(p);
        {
            auto db = ws.CreateDatabase(both, kLangJapanese);
            CreateTable(*db, "BIG");
            CreateTable(*db, "SMALL");
            auto src = ws.CreateDatabase(source, kLangJapanese);
            CreateTable(*src, "SMALL");
        }
        Fill(both, "BIG", kBig, 0);
        Fill(both, "SMALL", n, 0);
        Fill(source, "SMALL", n, 3);
        {
            auto db = ws.OpenDatabase(both);
            WriteJet4(*db, jet);
        }
        std::vector<double> inPlace, native;
        double inPlacePeak = 0, nativePeak = 0;
        const std::string jetCopy = (dir / "work.mdb").string(), nativeCopy = (dir / "work.sqlite").string();
        for (int run = 0; run < 3; ++run) {
            fs::copy_file(jet, jetCopy, fs::copy_options::overwrite_existing);
            fs::copy_file(both, nativeCopy, fs::copy_options::overwrite_existing);
            // The copies on disk first: a save's flush should not wait for the copy's pages.
            SyncFile(jetCopy);
            SyncFile(nativeCopy);
            Figures a = Measure([&] { return JetSave(source, jetCopy); });
            Figures b = Measure([&] { return NativeSave(source, nativeCopy); });
            inPlace.push_back(a.seconds);
            native.push_back(b.seconds);
            inPlacePeak = std::max(inPlacePeak, a.peakMb);
            nativePeak = std::max(nativePeak, b.peakMb);
        }
        std::printf("jet_save %ld: %.2f s (file %.1f MB)\n", n, Median(inPlace),
                    static_cast<double>(fs::file_size(jet)) / 1e6);
        std::printf("native save %ld: %.2f s (file %.1f MB)\n", n, Median(native),
                    static_cast<double>(fs::file_size(both)) / 1e6);
        std::printf("ratio jet_save %ld: %.2f\n", n, Median(inPlace) / Median(native));
        std::printf("peak memory MB: %.1f (native save %.1f)\n", inPlacePeak, nativePeak);
    }
    fs::remove_all(dir);
    return 0;
}
