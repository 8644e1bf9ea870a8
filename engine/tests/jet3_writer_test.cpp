// The Jet 3 writer: databases of every kind written as Jet 3 files read back equal through the
// engine (tavorin-jetread), mdbtools and mdb-reader and pass the checker; the checker passes on
// the genuine Jet 3 files and reports damage planted in a written one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/jet3_writer.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "engine/testing/test_support.h"
#include "engine/text932.h"
#include "engine/workspace.h"
#include "jet4check/checker.h"
#include "jet_readback.h"

namespace {

using namespace enginetest;
using namespace jetreadback;
using engine::Variant;
using engine::detail::jet4check::CheckJet3File;

constexpr size_t kPage = 2048;

void AddRecords(engine::Database& db, const std::string& table, int count,
                const std::function<void(engine::Recordset&, int)>& fill) {
    Ws().BeginTrans();
    auto rs = db.OpenRecordset(table, engine::RecordsetType::Dynaset);
    for (int i = 0; i < count; ++i) {
        rs->AddNew();
        fill(*rs, i);
        rs->Update();
    }
    rs->Close();
    Ws().CommitTrans();
}

// Every field type, Nulls, empty and fixed-length text, Japanese text and names, memos inline,
// in one long-value row and in chains, descriptions and the design properties.
void EveryType(engine::Database& db) {
    auto td = db.CreateTableDef("全型");
    AddField(td, "番号", dao::dbLong)->SetAttributes(dao::dbAutoIncrField);
    AddField(td, "真偽", dao::dbBoolean);
    AddField(td, "バイト", dao::dbByte);
    AddField(td, "整数", dao::dbInteger);
    AddField(td, "長整数", dao::dbLong)->SetRequired(true);
    AddField(td, "通貨", dao::dbCurrency);
    AddField(td, "単精度", dao::dbSingle);
    AddField(td, "倍精度", dao::dbDouble);
    AddField(td, "日付", dao::dbDate);
    auto text = AddField(td, "名前", dao::dbText, 40);
    text->SetAllowZeroLength(true);
    text->SetDefaultValue("\"未定\"");
    text->Properties().Append(
        text->CreateProperty("Description", dao::dbText, Variant("氏名（全角）")));
    AddField(td, "固定", dao::dbText, 6)->SetAttributes(dao::dbFixedField);
    AddField(td, "メモ", dao::dbMemo)->SetAllowZeroLength(true);
    AddField(td, "バイナリ", dao::dbBinary, 20);
    AddField(td, "OLE", dao::dbLongBinary);
    AddField(td, "GUID", dao::dbGUID);
    td->Properties().Append(
        td->CreateProperty("Description", dao::dbText, Variant("すべての型の表")));
    db.TableDefs().Append(td);
    AddIndex(db.TableDefs().Item("全型"), "PrimaryKey", {"番号"}, true);
    AddIndex(db.TableDefs().Item("全型"), "名前順", {"名前", "-日付"});
    std::string jp;
    while (jp.size() < 9000) jp += "日本語のメモ、ｶﾀｶﾅ、ABC。";
    const std::string memos[] = {"", "短いメモ", std::string(1000, 'x'), jp, std::string(70, 'y')};
    AddRecords(db, "全型", 12, [&](engine::Recordset& rs, int i) {
        rs.SetValue("長整数", Variant::Long(i * 100003 - 500000));
        rs.SetValue("真偽", Variant::Boolean(i % 2 == 0)); // Jet keeps no Null of a Boolean
        if (i == 3) return;                                // Null everywhere else
        rs.SetValue("バイト", Variant::Byte(static_cast<uint8_t>(i * 21)));
        rs.SetValue("整数", Variant::Integer(static_cast<int16_t>(i * 3001 - 16000)));
        rs.SetValue("通貨", Variant::CurrencyScaled(int64_t(i) * 123456789 - 77));
        rs.SetValue("単精度", Variant::Single(static_cast<float>(i) / 8.0f - 0.5f));
        rs.SetValue("倍精度", Variant::Double(i * 1e10 / 7.0));
        rs.SetValue("日付", Variant::Date(36526.25 + i * 400.5));
        rs.SetValue("名前", Variant(i == 1   ? std::string()
                                    : i == 2 ? std::string("C:\\path~x")
                                             : "山田　太郎" + std::to_string(i)));
        rs.SetValue(
            "固定",
            Variant(i % 2 ? "abcdef" : "ｱｲｳｴｵｶ")); // as long as the field: Jet pads it with blanks
        rs.SetValue("メモ", Variant(memos[i % 5]));
        rs.SetValue("バイナリ", Variant(std::string("\x01\x00\xFF", 3) +
                                        std::string(static_cast<size_t>(i), 'b')));
        rs.SetValue(
            "OLE", Variant(std::string(static_cast<size_t>(i) * 900, static_cast<char>(0x80 + i))));
        char guid[40];
        std::snprintf(guid, sizeof guid, "{%08X-1234-ABCD-EF01-23456789ABC%X}", 0x1000 + i, i);
        rs.SetValue("GUID", Variant(std::string(guid)));
    });
}

// Thousands of records over many pages: indexes of several levels over numbers and text, a
// unique index that ignores Nulls, a descending member.
void ManyRecords(engine::Database& db) {
    auto td = db.CreateTableDef("Orders");
    AddField(td, "id", dao::dbLong);
    AddField(td, "code", dao::dbText, 30);
    AddField(td, "qty", dao::dbInteger);
    AddField(td, "note", dao::dbText, 100);
    db.TableDefs().Append(td);
    auto stored = db.TableDefs().Item("Orders");
    AddIndex(stored, "PrimaryKey", {"id"}, true);
    AddIndex(stored, "byCode", {"code", "-qty"});
    auto u = stored->CreateIndex("uniqueNote");
    u->Fields().Append(u->CreateField("note"));
    u->SetUnique(true);
    u->SetIgnoreNulls(true);
    stored->Indexes().Append(u);
    AddRecords(db, "Orders", 4000, [](engine::Recordset& rs, int i) {
        rs.SetValue("id", Variant::Long(i * 7 - 9000));
        rs.SetValue("code", Variant((i % 3 ? "Code" : "コード") + std::to_string(i * 37 % 1000)));
        rs.SetValue("qty", Variant::Integer(static_cast<int16_t>(i % 50)));
        if (i % 4) rs.SetValue("note", Variant("note " + std::to_string(i)));
    });
}

// Records of up to 1,000 bytes over 120 variable columns: one-byte offsets with up to three jump
// entries (and the unused one), and a definition over two pages.
void WideRecords(engine::Database& db) {
    auto td = db.CreateTableDef("Wide");
    AddField(td, "n", dao::dbLong);
    for (int c = 0; c < 120; ++c) AddField(td, "t" + std::to_string(c), dao::dbText, 15);
    db.TableDefs().Append(td);
    AddRecords(db, "Wide", 80, [](engine::Recordset& rs, int i) {
        rs.SetValue("n", Variant::Long(i));
        for (int c = 0; c < 120; ++c)
            if ((c + i) % 7 && c < i * 2)
                rs.SetValue(
                    "t" + std::to_string(c),
                    Variant(std::string(static_cast<size_t>((i * 3 + c) % 15 + 1), 'a' + c % 26)));
    });
}

// An empty table and one with no variable columns.
void Small(engine::Database& db) {
    auto e = db.CreateTableDef("空");
    AddField(e, "x", dao::dbText, 10);
    db.TableDefs().Append(e);
    auto f = db.CreateTableDef("Fixed");
    AddField(f, "a", dao::dbLong);
    AddField(f, "b", dao::dbDouble);
    db.TableDefs().Append(f);
    AddIndex(db.TableDefs().Item("Fixed"), "ab", {"a", "b"});
    AddRecords(db, "Fixed", 300, [](engine::Recordset& rs, int i) {
        rs.SetValue("a", Variant::Long(i % 17));
        if (i % 5) rs.SetValue("b", Variant::Double(i / 3.0));
    });
}

// A description with each table's index lines sorted: Jet 3 lists a table's indexes by name.
std::string IndexesSorted(const std::string& description) {
    std::istringstream in(description);
    std::string out, line;
    std::vector<std::string> indexes;
    auto flush = [&] {
        std::sort(indexes.begin(), indexes.end());
        for (const auto& l : indexes) out += l + "\n";
        indexes.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind(" index ", 0) == 0) {
            indexes.push_back(line);
            continue;
        }
        flush();
        out += line + "\n";
    }
    flush();
    return out;
}

struct Case {
    const char* name;
    void (*build)(engine::Database&);
};
const Case kCases[] = {{"every type", EveryType},
                       {"many records", ManyRecords},
                       {"wide records", WideRecords},
                       {"small", Small}};

TEST(Jet3Writer, DatabasesReadBackEqualEverywhere) {
    // mdbtools takes Japanese table names as arguments only in a UTF-8 locale.
    EnvGuard utf8("LC_ALL", "C.UTF-8");
    TempDir dir;
    const bool reader = MdbReaderPresent();
    if (!reader)
        std::printf("mdb-reader not installed in %s: not read through it\n", MDB_READER_MODULES);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string native = dir.File(std::string(c.name) + ".native"),
                    written = dir.File(std::string(c.name) + ".mdb");
        {
            auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
            c.build(*db);
            engine::WriteJet3(*db, written);
            db->Close();
        }
        std::string image = jettest::ReadWhole(written);
        ASSERT_EQ(image.size() % kPage, 0u);
        EXPECT_EQ(image[0x14], '\0');
        auto check = CheckJet3File(written);
        EXPECT_TRUE(check.Ok()) << check.Text();

        std::string source = IndexesSorted(Describe(native)),
                    back = IndexesSorted(Describe(written));
        EXPECT_TRUE(back == source) << FirstDifference(back, source);
        {
            auto from = Ws().OpenDatabase(native, false, true),
                 to = Ws().OpenDatabase(written, false, true);
            for (const auto& name : from->TableDefs().Names())
                EXPECT_EQ(to->NextAutoNumber(name), from->NextAutoNumber(name)) << name;
            from->Close();
            to->Close();
        }

        ExpectedViews expected = ExpectedReadBack(native, reader, true);
        std::vector<std::string> tables = jettest::MdbTables(written);
        EXPECT_EQ(tables.size(), expected.exported.size());
        for (const auto& [table, want] : expected.exported) {
            std::string errFile = dir.File("export.err");
            std::string got = jettest::Run(
                std::string("mdb-export ") + kExportOptions + " " + jettest::ShellQuote(written) +
                " " + jettest::ShellQuote(table) + " 2>" + jettest::ShellQuote(errFile));
            EXPECT_EQ(jettest::ReadWhole(errFile), "") << "mdb-export of " << table;
            EXPECT_TRUE(got == want)
                << "mdb-export of " << table << ": " << FirstDifference(got, want);
        }
        if (reader) {
            std::string errFile = dir.File("reader.err");
            std::string out =
                jettest::Run("node " +
                             jettest::ShellQuote(std::string(ENGINE_SOURCE_DIR) +
                                                 "/tests/tools/mdb_reader_batch.mjs") +
                             " " + jettest::ShellQuote(MDB_READER_MODULES) + " " +
                             jettest::ShellQuote(written) + " 2>" + jettest::ShellQuote(errFile));
            EXPECT_EQ(jettest::ReadWhole(errFile), "");
            TableViews got = SplitReaderOutput(out, 1)[0];
            EXPECT_EQ(got.size(), expected.reader.size()) << got["error"];
            for (const auto& [name, want] : expected.reader)
                EXPECT_TRUE(got[name] == want)
                    << "mdb-reader, " << name << ": " << FirstDifference(got[name], want);
        }
    }
}

TEST(Jet3Writer, TextIsStoredInCodePage932) {
    TempDir dir;
    std::string native = dir.File("n.mdb"), written = dir.File("w.mdb");
    const std::string text = "漢字とｶﾀｶﾅ";
    {
        auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
        auto td = db->CreateTableDef("T");
        AddField(td, "s", dao::dbText, 20);
        db->TableDefs().Append(td);
        AddRecords(*db, "T", 1,
                   [&](engine::Recordset& rs, int) { rs.SetValue("s", Variant(text)); });
        engine::WriteJet3(*db, written);
        db->Close();
    }
    std::string image = jettest::ReadWhole(written);
    EXPECT_NE(image.find(*engine::cp932::FromUtf8(text)), std::string::npos);
    EXPECT_EQ(image.find(text), std::string::npos); // not as UTF-8
}

TEST(Jet3Writer, CharacterOutsideCodePage932FailsNamingTableAndField) {
    TempDir dir;
    std::string native = dir.File("n.mdb"), written = dir.File("w.mdb");
    auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
    auto td = db->CreateTableDef("顧客");
    AddField(td, "氏名", dao::dbText, 20);
    db->TableDefs().Append(td);
    AddRecords(*db, "顧客", 1,
               [](engine::Recordset& rs, int) { rs.SetValue("氏名", Variant("Zoë")); });
    try {
        engine::WriteJet3(*db, written);
        ADD_FAILURE() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_NE(e.Description().find("顧客"), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("氏名"), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("ë"), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("Jet 3"), std::string::npos) << e.Description();
    }
    db->Close();
    EXPECT_FALSE(std::filesystem::exists(written));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}),
              1); // no temporary left
}

TEST(Jet3Checker, PassesOnEveryGenuineJet3File) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    for (const char* name :
         {"compIndexTestV1997.mdb", "indexTestV1997.mdb", "test2V1997.mdb", "testV1997.mdb"}) {
        auto r = CheckJet3File(jettest::JetFile(name));
        EXPECT_TRUE(r.Ok()) << name << "\n" << r.Text();
    }
}

// The genuine Jet 3 files written again: every index of their user tables holds the same keys, in
// the same order, as the genuine one (relationships' indexes aside: relationships are not kept).
TEST(Jet3Writer, KeysOfEveryGenuineJet3IndexEqualTheGenuineLeafEntries) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    namespace check = engine::detail::jet4check;
    TempDir dir;
    size_t compared = 0, withKeys = 0;
    for (const char* name :
         {"compIndexTestV1997.mdb", "indexTestV1997.mdb", "test2V1997.mdb", "testV1997.mdb"}) {
        SCOPED_TRACE(name);
        std::string source = jettest::JetFile(name), written = dir.File(name);
        {
            auto db = Ws().OpenDatabase(source, false, true);
            engine::WriteJet3(*db, written);
            db->Close();
        }
        auto mine = check::ReadIndexKeys(written);
        for (const auto& genuine : check::ReadIndexKeys(source)) {
            if (genuine.table.rfind("MSys", 0) == 0 || genuine.foreignKeyOnly) continue;
            SCOPED_TRACE(genuine.table + " " + genuine.signature);
            const check::IndexKeys* match = nullptr;
            for (const auto& m : mine)
                if (m.table == genuine.table && m.signature == genuine.signature &&
                    (m.flags & 0x02) == (genuine.flags & 0x02))
                    match = &m;
            ASSERT_NE(match, nullptr);
            EXPECT_EQ(match->keys, genuine.keys);
            ++compared;
            withKeys += !genuine.keys.empty();
        }
    }
    std::printf("compared the keys of %zu genuine indexes, %zu with entries\n", compared, withKeys);
    EXPECT_GE(withKeys, 10u);
}

uint32_t Get16(const std::string& b, size_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
void Put16(std::string& b, size_t at, uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}
uint32_t Get32(const std::string& b, size_t at) {
    return Get16(b, at) | Get16(b, at + 2) << 16;
}

// The first page of the given kind (data 0x01 of a table, leaf 0x04) owned by the table whose
// definition is at tdef, and whose test passes.
size_t FindPage(const std::string& image, char kind, uint32_t tdef,
                const std::function<bool(size_t)>& ok = nullptr) {
    for (size_t n = 2; n * kPage < image.size(); ++n)
        if (image[n * kPage] == kind && Get32(image, n * kPage + 4) == tdef &&
            (!ok || ok(n * kPage)))
            return n;
    return 0;
}

TEST(Jet3Checker, ReportsDamagePlantedInAWrittenFile) {
    TempDir dir;
    std::string native = dir.File("n.mdb"), written = dir.File("w.mdb");
    {
        auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
        ManyRecords(*db);
        Small(*db);
        engine::WriteJet3(*db, written);
        db->Close();
    }
    const std::string image = jettest::ReadWhole(written);
    ASSERT_TRUE(CheckJet3File(written).Ok());
    // The user tables' definitions, from the catalog as the engine reads it back: Fixed, Orders.
    auto tdefOf = [&](const std::string& name) {
        for (size_t n = 6; n * kPage < image.size(); ++n) {
            size_t p = n * kPage;
            if (image[p] != 0x02 || image.substr(p + 2, 2) != "VC") continue;
            // The first column's name follows the descriptors: 43 + 8 per real index + 18 per
            // column.
            size_t at = p + 43 + 8 * Get32(image, p + 31) + 18 * Get16(image, p + 25);
            if (image.substr(at + 1, static_cast<unsigned char>(image[at])) == name)
                return static_cast<uint32_t>(n);
        }
        return 0u;
    };
    uint32_t orders = tdefOf("id"), fixed = tdefOf("a");
    ASSERT_NE(orders, 0u);
    ASSERT_NE(fixed, 0u);
    struct Damage {
        const char* name;
        std::function<void(std::string&)> plant;
        const char* reported;
    };
    const Damage damages[] = {
        {"two index entries swapped",
         [&](std::string& b) {
             // A leaf of the primary key: entries of 9 bytes (7F, the number, the record).
             size_t leaf = FindPage(b, 0x04, orders, [&](size_t p) {
                 return (b[p + 0x16 + 1] & 0x02) && (b[p + 0x16 + 2] & 0x04);
             });
             ASSERT_NE(leaf, 0u);
             std::string first = b.substr(leaf * kPage + 0xF8, 9);
             b.replace(leaf * kPage + 0xF8, 9, b.substr(leaf * kPage + 0xF8 + 9, 9));
             b.replace(leaf * kPage + 0xF8 + 9, 9, first);
         },
         "entries out of order"},
        {"a page owned by two tables",
         [&](std::string& b) {
             b.replace(size_t(fixed) * kPage + 35, 4, b.substr(size_t(orders) * kPage + 35, 4));
         },
         "owned by table"},
        {"a row offset past the previous row",
         [&](std::string& b) {
             size_t data = FindPage(b, 0x01, orders);
             ASSERT_NE(data, 0u);
             size_t p = data * kPage;
             Put16(b, p + 12, Get16(b, p + 10) + 1); // row 1 starts inside row 0
         },
         "bad offset"},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        std::string damaged = image;
        d.plant(damaged);
        ASSERT_NE(damaged, image);
        std::string path = jettest::WriteFile(dir, "damaged.mdb", damaged);
        auto r = CheckJet3File(path);
        EXPECT_NE(r.Text().find(d.reported), std::string::npos) << r.Text();
    }
}

} // namespace
