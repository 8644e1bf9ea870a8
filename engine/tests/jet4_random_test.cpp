// Random databases written as Jet 4 files read back equal through the engine, mdbtools
// (mdb-export's every value, nothing on standard error) and mdb-reader, and every file passes
// the checker. Seeded: a failing database's seed is printed, and JET4_RANDOM_SEED=n
// JET4_RANDOM_COUNT=1 repeats it. A few seeds give large databases: a table of 255 columns, a
// table of 100,000 records with indexes several levels deep, memos up to 1 MB.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include <unistd.h>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/jet4_writer.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/test_support.h"
#include "engine/workspace.h"
#include "jet4check/checker.h"
#include "jet_readback.h"

namespace {

using namespace enginetest;
using namespace jetreadback;
namespace dao = engine::dao;

const char* const kWords[] = {"顧客", "商品", "ｶﾅ",   "カナ", "かな", "ＡＢＣ", "abc",
                              "Zoë",  "日付", "金額", "  ",   "x",    "表"};

struct Gen {
    std::mt19937 rng;
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    std::string Text(size_t maxChars) {
        std::string s;
        size_t n = static_cast<size_t>(Int(0, static_cast<int>(std::min<size_t>(maxChars, 12))));
        for (size_t i = 0; i < n; ++i) s += kWords[Int(0, 12)];
        // Keep within maxChars characters (the words are one to three characters).
        std::u32string chars;
        for (size_t i = 0; i < s.size();) {
            unsigned char c = static_cast<unsigned char>(s[i]);
            size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            chars.push_back(0);
            i += len;
        }
        while (chars.size() > maxChars) {
            size_t at = s.size();
            do --at;
            while ((static_cast<unsigned char>(s[at]) & 0xC0) == 0x80);
            s.resize(at);
            chars.pop_back();
        }
        return s;
    }
};

// The kind of database a seed gives: the large ones in a few seeds of every hundred.
enum class Shape { Normal, Wide, Large, LongMemos };

Shape ShapeOf(unsigned seed) {
    switch (seed % 100) {
    case 10:
        return Shape::Large;
    case 14:
    case 64:
        return Shape::Wide;
    case 18:
    case 58:
        return Shape::LongMemos;
    default:
        return Shape::Normal;
    }
}

// The checking build runs every value through the sanitizers at several times the cost: it
// takes a share of the databases and a smaller large table, the normal build all of them.
#ifndef JET4_RANDOM_DEFAULT_COUNT
#define JET4_RANDOM_DEFAULT_COUNT 200
#endif
constexpr int kLargeRecords = JET4_RANDOM_DEFAULT_COUNT >= 200 ? 100000 : 20000;

const int kTypes[] = {dao::dbBoolean,  dao::dbByte,   dao::dbInteger, dao::dbLong,
                      dao::dbCurrency, dao::dbSingle, dao::dbDouble,  dao::dbDate,
                      dao::dbText,     dao::dbMemo,   dao::dbBinary,  dao::dbLongBinary,
                      dao::dbGUID};

engine::Variant RandomValue(Gen& g, int type, long size, Shape shape) {
    if (type != dao::dbBoolean && g.Chance(15)) return engine::Variant::Null();
    switch (type) {
    case dao::dbBoolean:
        return engine::Variant::Boolean(g.Chance(50));
    case dao::dbByte:
        return engine::Variant::Byte(static_cast<uint8_t>(g.Int(0, 255)));
    case dao::dbInteger:
        return engine::Variant::Integer(static_cast<int16_t>(g.Int(-32768, 32767)));
    case dao::dbLong:
        return engine::Variant::Long(g.Int(INT32_MIN, INT32_MAX));
    case dao::dbCurrency:
        return engine::Variant::CurrencyScaled(int64_t(g.Int(-1000000, 1000000)) *
                                               g.Int(1, 100000));
    case dao::dbSingle:
        return engine::Variant::Single(static_cast<float>(g.Int(-100000, 100000)) / 64.0f);
    case dao::dbDouble:
        return engine::Variant::Double(g.Int(INT32_MIN, INT32_MAX) / 1024.0);
    case dao::dbDate:
        return engine::Variant::Date(g.Int(-600000, 2900000) + g.Int(0, 86399) / 86400.0);
    case dao::dbText:
        return engine::Variant(g.Text(static_cast<size_t>(size) / 3));
    case dao::dbMemo: {
        int kind = g.Int(0, 9);
        std::string s = g.Text(200);
        // Long memos are for the smaller tables: a large table keeps to short ones.
        if (kind == 9 && shape != Shape::Large)
            s = std::string(static_cast<size_t>(g.Int(4000, 30000)), 'm') + s;
        if (shape == Shape::LongMemos && kind >= 7) { // up to 1 MB of Japanese and other text
            size_t bytes = static_cast<size_t>(g.Int(100000, 1 << 20));
            while (s.size() < bytes) s += kWords[g.Int(0, 12)];
            while (s.size() > bytes) { // cut back to whole characters within 1 MB
                size_t at = s.size() - 1;
                while ((static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) --at;
                s.resize(at);
            }
        }
        return engine::Variant(s);
    }
    case dao::dbBinary:
    case dao::dbLongBinary: {
        size_t n = static_cast<size_t>(
            type == dao::dbBinary ? g.Int(0, static_cast<int>(size))
                                  : g.Int(0, g.Chance(10) && shape != Shape::Large ? 9000 : 100));
        std::string b;
        for (size_t i = 0; i < n; ++i) b.push_back(static_cast<char>(g.Int(0, 255)));
        return engine::Variant(b);
    }
    case dao::dbGUID: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%04X-%04X%08X}",
                      static_cast<unsigned>(g.Int(0, INT32_MAX)), g.Int(0, 65535), g.Int(0, 65535),
                      g.Int(0, 65535), g.Int(0, 65535), static_cast<unsigned>(g.Int(0, INT32_MAX)));
        return engine::Variant(std::string(buf));
    }
    }
    return engine::Variant::Null();
}

// A database of one to three tables with random fields, indexes and records; the first table
// takes the seed's shape.
void BuildRandom(engine::Database& db, Gen& g, Shape shape) {
    int tables = g.Int(1, 3);
    for (int t = 0; t < tables; ++t) {
        Shape s = t == 0 ? shape : Shape::Normal;
        std::string name = "表" + std::to_string(t) + kWords[g.Int(0, 9)];
        auto td = db.CreateTableDef(name);
        auto id = AddField(td, "番号", dao::dbLong);
        id->SetAttributes(dao::dbAutoIncrField);
        int fields = s == Shape::Wide    ? 254
                     : s == Shape::Large ? g.Int(2, 5)
                     : g.Chance(5)       ? 60
                                         : g.Int(1, 20);
        // 255 columns fit a record when texts and binaries are short.
        int maxSize = s == Shape::Wide ? 8 : 255;
        std::vector<std::pair<std::string, int>> cols;
        for (int f = 0; f < fields; ++f) {
            // A large table's first field is a text for a deep index.
            int type = s == Shape::Large && f == 0 ? dao::dbText : kTypes[g.Int(0, 12)];
            long size = type == dao::dbText ? g.Int(s == Shape::Large && f == 0 ? 60 : 1, maxSize)
                        : type == dao::dbBinary ? g.Int(1, maxSize)
                                                : 0;
            std::string fname = "列" + std::to_string(f) + (g.Chance(30) ? "ｶﾅ" : "");
            auto fd = AddField(td, fname, type, size);
            if (type == dao::dbText || type == dao::dbMemo) fd->SetAllowZeroLength(true);
            if (g.Chance(20))
                fd->Properties().Append(fd->CreateProperty("Description", dao::dbText,
                                                           engine::Variant("説明" + fname)));
            cols.push_back({fname, type});
        }
        if (g.Chance(30))
            td->Properties().Append(
                td->CreateProperty("Description", dao::dbText, engine::Variant("表の説明")));
        db.TableDefs().Append(td);
        auto stored = db.TableDefs().Item(name);
        AddIndex(stored, "主キー", {"番号"}, true);
        if (s == Shape::Large) AddIndex(stored, "深い索引", {cols[0].first, "-番号"});
        int indexes = g.Int(0, 4);
        for (int k = 0; k < indexes; ++k) {
            auto ix = stored->CreateIndex("索引" + std::to_string(k));
            std::vector<std::string> used;
            int members = g.Int(1, std::min<int>(9, static_cast<int>(cols.size())));
            for (int m = 0; m < members; ++m) {
                const auto& c =
                    cols[static_cast<size_t>(g.Int(0, static_cast<int>(cols.size()) - 1))];
                if (c.second == dao::dbMemo || c.second == dao::dbLongBinary) continue;
                if (std::find(used.begin(), used.end(), c.first) != used.end()) continue;
                used.push_back(c.first);
                auto f = ix->CreateField(c.first);
                if (g.Chance(30)) f->SetAttributes(dao::dbDescending);
                ix->Fields().Append(f);
            }
            if (used.empty()) continue;
            bool unique = g.Chance(30);
            if (unique) ix->Fields().Append(ix->CreateField("番号")); // unique through the number
            ix->SetUnique(unique);
            ix->SetIgnoreNulls(g.Chance(30));
            stored->Indexes().Append(ix);
        }
        Ws().BeginTrans();
        auto rs = db.OpenRecordset(name, engine::RecordsetType::Dynaset);
        int records = s == Shape::Large       ? kLargeRecords
                      : s == Shape::LongMemos ? g.Int(5, 40)
                      : g.Chance(10)          ? g.Int(500, 2500)
                                              : g.Int(0, 120);
        std::vector<long> sizes;
        for (const auto& c : cols) sizes.push_back(stored->Fields().Item(c.first)->Size());
        for (int r = 0; r < records; ++r) {
            rs->AddNew();
            for (size_t k = 0; k < cols.size(); ++k)
                rs->SetValue(cols[k].first, RandomValue(g, cols[k].second, sizes[k], s));
            rs->Update();
        }
        rs->Close();
        Ws().CommitTrans();
    }
}

// Written files waiting for one run of node over all of them.
struct PendingFile {
    unsigned seed;
    std::string written;
    TableViews expected;
};

void ReadBatchThroughMdbReader(std::vector<PendingFile>& batch) {
    if (batch.empty()) return;
    std::string cmd =
        "node " +
        jettest::ShellQuote(std::string(ENGINE_SOURCE_DIR) + "/tests/tools/mdb_reader_batch.mjs") +
        " " + jettest::ShellQuote(MDB_READER_MODULES);
    for (const auto& p : batch) cmd += " " + jettest::ShellQuote(p.written);
    TempDir dir;
    std::string errFile = dir.File("stderr");
    std::string out = jettest::Run(cmd + " 2>" + jettest::ShellQuote(errFile));
    EXPECT_EQ(jettest::ReadWhole(errFile), "");
    auto got = SplitReaderOutput(out, batch.size());
    for (size_t i = 0; i < batch.size(); ++i) {
        SCOPED_TRACE("mdb-reader, seed " + std::to_string(batch[i].seed));
        bool same = got[i].size() == batch[i].expected.size();
        EXPECT_TRUE(same) << got[i]["error"] << got[i].size() << " tables read, "
                          << batch[i].expected.size() << " written";
        for (const auto& [name, expected] : batch[i].expected) {
            const std::string& read = got[i][name];
            bool equal = read == expected;
            EXPECT_TRUE(equal) << name << ": " << FirstDifference(read, expected);
            same &= equal;
        }
        if (!same) std::printf("random database seed %u failed in mdb-reader\n", batch[i].seed);
        std::filesystem::remove(batch[i].written);
    }
    batch.clear();
}

// Some index of the file has a node page whose last child is a node page: three levels or more.
bool HasThreeLevelIndex(const std::string& path) {
    std::string image = jettest::ReadWhole(path);
    for (size_t n = 6; n * 4096 < image.size(); ++n) {
        if (image[n * 4096] != 0x03) continue;
        uint32_t tail = 0;
        for (size_t i = 0; i < 4; ++i)
            tail |= uint32_t(static_cast<unsigned char>(image[n * 4096 + 20 + i])) << (8 * i);
        if (size_t(tail) * 4096 < image.size() && image[size_t(tail) * 4096] == 0x03) return true;
    }
    return false;
}

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// The files go to memory when it can take them (a container's /dev/shm is often a few
// megabytes): the test checks what is written, not the disk, and a file system flush for each
// of the engine's commits would take most of its time.
std::string ScratchFolder() {
    std::error_code ec;
    const std::filesystem::space_info space = std::filesystem::space("/dev/shm", ec);
    constexpr std::uintmax_t kEnough = std::uintmax_t(2) << 30;
    return !ec && space.available >= kEnough && ::access("/dev/shm", W_OK) == 0
               ? "/dev/shm"
               : std::filesystem::temp_directory_path().string();
}

TEST(Jet4Random, RandomDatabasesReadBackEqualAndPassTheChecker) {
    int count = EnvInt("JET4_RANDOM_COUNT", JET4_RANDOM_DEFAULT_COUNT);
    unsigned first = static_cast<unsigned>(EnvInt("JET4_RANDOM_SEED", 20261208));
    EnvGuard scratch("TMPDIR", ScratchFolder());
    // mdbtools takes Japanese table names as arguments only in a UTF-8 locale.
    EnvGuard utf8("LC_ALL", "C.UTF-8");
    const bool reader = MdbReaderPresent();
    if (!reader)
        std::printf("mdb-reader not installed in %s (scripts/setup): read back through the engine "
                    "and mdbtools only\n",
                    MDB_READER_MODULES);
    TempDir writtenDir; // written files wait here for mdb-reader
    std::vector<PendingFile> batch;
    constexpr size_t kBatch = 50;
    int shapes[4] = {0, 0, 0, 0};
    for (int i = 0; i < count; ++i) {
        unsigned seed = first + static_cast<unsigned>(i);
        SCOPED_TRACE("seed " + std::to_string(seed));
        Shape shape = ShapeOf(seed);
        ++shapes[static_cast<int>(shape)];
        TempDir dir;
        std::string native = dir.File("random.mdb"),
                    written = writtenDir.File(std::to_string(seed) + ".mdb");
        Gen g{std::mt19937(seed)};
        {
            auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
            BuildRandom(*db, g, shape);
            engine::WriteJet4(*db, written);
            db->Close();
        }
        std::string source = Describe(native), back = Describe(written);
        EXPECT_TRUE(back == source) << FirstDifference(back, source);
        auto check = engine::detail::jet4check::CheckJet4File(written);
        EXPECT_TRUE(check.Ok()) << check.Text();
        if (shape == Shape::Large) {
            EXPECT_TRUE(HasThreeLevelIndex(written));
        }
        ExpectedViews expected = ExpectedReadBack(native, reader);
        std::string errors =
            jettest::Run("mdb-schema " + jettest::ShellQuote(written) + " 2>&1 >/dev/null");
        EXPECT_EQ(errors, "");
        std::vector<std::string> tables = jettest::MdbTables(written);
        EXPECT_EQ(tables.size(), expected.exported.size());
        for (const auto& table : tables) {
            std::string errFile = dir.File("export.err");
            std::string got = jettest::Run(
                std::string("mdb-export ") + kExportOptions + " " + jettest::ShellQuote(written) +
                " " + jettest::ShellQuote(table) + " 2>" + jettest::ShellQuote(errFile));
            EXPECT_EQ(jettest::ReadWhole(errFile), "") << "mdb-export of " << table;
            const std::string& want = expected.exported[table];
            EXPECT_TRUE(got == want)
                << "mdb-export of " << table << ": " << FirstDifference(got, want);
        }
        if (HasFailure()) {
            std::printf("random database seed %u failed\n", seed);
            break;
        }
        if (reader)
            batch.push_back({seed, written, std::move(expected.reader)});
        else
            std::filesystem::remove(written);
        if (batch.size() == kBatch) ReadBatchThroughMdbReader(batch);
    }
    ReadBatchThroughMdbReader(batch);
    std::printf("random databases: %d from seed %u (%d of 255 columns, %d of %d records, %d with "
                "memos up to 1 MB)\n",
                count, first, shapes[static_cast<int>(Shape::Wide)],
                shapes[static_cast<int>(Shape::Large)], kLargeRecords,
                shapes[static_cast<int>(Shape::LongMemos)]);
}

} // namespace
