// Random databases written as Jet 4 files read back equal through the engine and mdbtools, are
// read by mdb-reader (every tenth, record counts compared), and pass the checker. Seeded; the seed of each database is printed, and
// JET4_RANDOM_SEED=n JET4_RANDOM_COUNT=1 repeats one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/jet4_writer.h"
#include "engine/workspace.h"
#include "jet4check/checker.h"
#include "jet_test_support.h"
#include "test_support.h"

namespace {

using namespace enginetest;
namespace dao = engine::dao;

const char* const kWords[] = {"顧客", "商品", "ｶﾅ", "カナ", "かな", "ＡＢＣ", "abc", "Zoë", "日付", "金額", "  ", "x", "表"};

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
            do --at; while ((static_cast<unsigned char>(s[at]) & 0xC0) == 0x80);
            s.resize(at);
            chars.pop_back();
        }
        return s;
    }
};

const int kTypes[] = {dao::dbBoolean, dao::dbByte, dao::dbInteger, dao::dbLong, dao::dbCurrency, dao::dbSingle,
                      dao::dbDouble, dao::dbDate, dao::dbText, dao::dbMemo, dao::dbBinary, dao::dbLongBinary, dao::dbGUID};

engine::Variant RandomValue(Gen& g, int type, long size) {
    if (type != dao::dbBoolean && g.Chance(15)) return engine::Variant::Null();
    switch (type) {
    case dao::dbBoolean: return engine::Variant::Boolean(g.Chance(50));
    case dao::dbByte: return engine::Variant::Byte(static_cast<uint8_t>(g.Int(0, 255)));
    case dao::dbInteger: return engine::Variant::Integer(static_cast<int16_t>(g.Int(-32768, 32767)));
    case dao::dbLong: return engine::Variant::Long(g.Int(INT32_MIN, INT32_MAX));
    case dao::dbCurrency: return engine::Variant::CurrencyScaled(int64_t(g.Int(-1000000, 1000000)) * g.Int(1, 100000));
    case dao::dbSingle: return engine::Variant::Single(static_cast<float>(g.Int(-100000, 100000)) / 64.0f);
    case dao::dbDouble: return engine::Variant::Double(g.Int(INT32_MIN, INT32_MAX) / 1024.0);
    case dao::dbDate: return engine::Variant::Date(g.Int(-600000, 2900000) + g.Int(0, 86399) / 86400.0);
    case dao::dbText: return engine::Variant(g.Text(static_cast<size_t>(size) / 3));
    case dao::dbMemo: {
        int kind = g.Int(0, 9);
        std::string s = g.Text(200);
        if (kind == 9) s = std::string(static_cast<size_t>(g.Int(4000, 30000)), 'm') + s;
        return engine::Variant(s);
    }
    case dao::dbBinary:
    case dao::dbLongBinary: {
        size_t n = static_cast<size_t>(type == dao::dbBinary ? g.Int(0, static_cast<int>(size)) : g.Int(0, g.Chance(10) ? 9000 : 100));
        std::string b;
        for (size_t i = 0; i < n; ++i) b.push_back(static_cast<char>(g.Int(0, 255)));
        return engine::Variant(b);
    }
    case dao::dbGUID: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%04X-%04X%08X}", static_cast<unsigned>(g.Int(0, INT32_MAX)),
                      g.Int(0, 65535), g.Int(0, 65535), g.Int(0, 65535), g.Int(0, 65535), static_cast<unsigned>(g.Int(0, INT32_MAX)));
        return engine::Variant(std::string(buf));
    }
    }
    return engine::Variant::Null();
}

// A database of one to three tables with random fields, indexes and records.
void BuildRandom(engine::Database& db, Gen& g) {
    int tables = g.Int(1, 3);
    for (int t = 0; t < tables; ++t) {
        std::string name = "表" + std::to_string(t) + kWords[g.Int(0, 9)];
        auto td = db.CreateTableDef(name);
        auto id = AddField(td, "番号", dao::dbLong);
        id->SetAttributes(dao::dbAutoIncrField);
        int fields = g.Chance(5) ? 60 : g.Int(1, 20);
        std::vector<std::pair<std::string, int>> cols;
        for (int f = 0; f < fields; ++f) {
            int type = kTypes[g.Int(0, 12)];
            long size = type == dao::dbText ? g.Int(1, 255) : type == dao::dbBinary ? g.Int(1, 255) : 0;
            std::string fname = "列" + std::to_string(f) + (g.Chance(30) ? "ｶﾅ" : "");
            auto fd = AddField(td, fname, type, size);
            if (type == dao::dbText || type == dao::dbMemo) fd->SetAllowZeroLength(true);
            if (g.Chance(20)) fd->Properties().Append(fd->CreateProperty("Description", dao::dbText, engine::Variant("説明" + fname)));
            cols.push_back({fname, type});
        }
        if (g.Chance(30)) td->Properties().Append(td->CreateProperty("Description", dao::dbText, engine::Variant("表の説明")));
        db.TableDefs().Append(td);
        auto stored = db.TableDefs().Item(name);
        AddIndex(stored, "主キー", {"番号"}, true);
        int indexes = g.Int(0, 4);
        for (int k = 0; k < indexes; ++k) {
            auto ix = stored->CreateIndex("索引" + std::to_string(k));
            std::vector<std::string> used;
            int members = g.Int(1, std::min<int>(9, static_cast<int>(cols.size())));
            for (int m = 0; m < members; ++m) {
                const auto& c = cols[static_cast<size_t>(g.Int(0, static_cast<int>(cols.size()) - 1))];
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
        int records = g.Chance(10) ? g.Int(500, 2500) : g.Int(0, 120);
        for (int r = 0; r < records; ++r) {
            rs->AddNew();
            for (const auto& [fname, type] : cols) {
                auto f = stored->Fields().Item(fname);
                rs->SetValue(fname, RandomValue(g, type, f->Size()));
            }
            rs->Update();
        }
        rs->Close();
        Ws().CommitTrans();
    }
}

std::string Describe(const std::string& path) {
    auto db = Ws().OpenDatabase(path, false, true);
    std::ostringstream out;
    for (const auto& name : db->TableDefs().Names()) {
        auto td = db->TableDefs().Item(name);
        out << "table " << name << "\n";
        for (const auto& p : td->Properties()) out << " property " << p->Name() << "=" << engine::TextOf(p->Value()) << "\n";
        for (const auto& f : td->Fields()) {
            out << " field " << f->Name() << " " << f->Type() << " " << f->Size() << " " << f->Attributes() << " "
                << f->AllowZeroLength() << f->Required() << "\n";
            for (const auto& p : f->Properties()) out << "  property " << p->Name() << "=" << engine::TextOf(p->Value()) << "\n";
        }
        for (const auto& ix : td->Indexes()) {
            out << " index " << ix->Name() << " " << ix->Primary() << ix->Unique() << ix->IgnoreNulls() << ix->Required();
            for (const auto& f : ix->Fields()) out << " " << f->Name() << f->Attributes();
            out << "\n";
        }
        auto rs = db->OpenRecordset(name, engine::RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            out << " row";
            for (size_t i = 0; i < rs->FieldCount(); ++i) {
                const auto& v = rs->Value(i);
                char buf[40];
                if (v.Type() == engine::VarType::Single || v.Type() == engine::VarType::Double || v.Type() == engine::VarType::Date)
                    std::snprintf(buf, sizeof buf, "%.17g", v.RealValue());
                out << " |" << static_cast<int>(v.Type()) << ":"
                    << ((v.Type() == engine::VarType::Single || v.Type() == engine::VarType::Double || v.Type() == engine::VarType::Date)
                            ? std::string(buf) : engine::TextOf(v));
            }
            out << "\n";
        }
        rs->Close();
    }
    db->Close();
    return out.str();
}

bool MdbReaderPresent() {
    return std::ifstream(std::string(MDB_READER_MODULES) + "/mdb-reader/package.json").good() &&
           !jettest::Run("command -v node").empty();
}

// The checking build runs every value through the sanitizers at several times the cost: it
// takes a share of the databases, the normal build all of them.
#ifndef JET4_RANDOM_DEFAULT_COUNT
#define JET4_RANDOM_DEFAULT_COUNT 200
#endif

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

TEST(Jet4Random, RandomDatabasesReadBackEqualAndPassTheChecker) {
    int count = EnvInt("JET4_RANDOM_COUNT", JET4_RANDOM_DEFAULT_COUNT);
    unsigned first = static_cast<unsigned>(EnvInt("JET4_RANDOM_SEED", 20261208));
    for (int i = 0; i < count; ++i) {
        unsigned seed = first + static_cast<unsigned>(i);
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempDir dir;
        std::string native = dir.File("random.mdb"), written = dir.File("random-jet4.mdb");
        Gen g{std::mt19937(seed)};
        {
            auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
            BuildRandom(*db, g);
            engine::WriteJet4(*db, written);
            db->Close();
        }
        std::string source = Describe(native), back = Describe(written);
        EXPECT_EQ(back, source);
        auto check = engine::detail::jet4check::CheckJet4File(written);
        EXPECT_TRUE(check.Ok()) << check.Text();
        std::string errors = jettest::Run("(mdb-schema " + jettest::ShellQuote(written) + " >/dev/null; for t in $(mdb-tables -1 " +
                                          jettest::ShellQuote(written) + "); do mdb-export " + jettest::ShellQuote(written) +
                                          " \"$t\" >/dev/null; done) 2>&1");
        EXPECT_EQ(errors, "");
        // Every tenth database also through mdb-reader: no error, and each table's record count.
        if (i % 10 == 0 && MdbReaderPresent()) {
            std::string cmd = "node " + jettest::ShellQuote(std::string(ENGINE_SOURCE_DIR) + "/tests/tools/mdb_reader_dump.mjs") + " " +
                              jettest::ShellQuote(MDB_READER_MODULES) + " " + jettest::ShellQuote(written);
            EXPECT_EQ(jettest::Run(cmd + " 2>&1 >/dev/null"), "");
            std::string dump = jettest::Run(cmd + " 2>/dev/null");
            auto db = Ws().OpenDatabase(native, false, true);
            for (const auto& name : db->TableDefs().Names()) {
                std::string expected = "{\"table\":\"" + name + "\",\"rowCount\":" +
                                       std::to_string(db->TableDefs().Item(name)->RecordCount()) + ",";
                EXPECT_NE(dump.find(expected), std::string::npos) << expected;
            }
            db->Close();
        }
        if (HasFailure()) {
            std::printf("random database seed %u failed\n", seed);
            break;
        }
    }
    std::printf("random databases: %d from seed %u\n", count, first);
}

} // namespace
