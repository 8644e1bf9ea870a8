// The Jet 4 writer: files it writes read back equal through the engine's own reader, mdbtools
// and mdb-reader; what the format cannot hold fails with a message and leaves no file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/jet4_writer.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "engine/testing/test_support.h"
#include "engine/workspace.h"
#include "jet4check/checker.h"

namespace {

using namespace enginetest;
using engine::dao::dbDescending;
namespace dao = engine::dao;
namespace fs = std::filesystem;

std::string ValueText(const engine::Variant& v, int type) {
    if (v.IsNull()) return "Null";
    if (type == dao::dbBinary || type == dao::dbLongBinary)
        return "0x" + jettest::Hex(v.StringValue());
    char buf[64];
    switch (v.Type()) {
    case engine::VarType::Single:
    case engine::VarType::Double:
    case engine::VarType::Date:
        std::snprintf(buf, sizeof buf, "%d:%.17g", static_cast<int>(v.Type()), v.RealValue());
        return buf;
    default:
        return std::to_string(static_cast<int>(v.Type())) + ":" + engine::TextOf(v);
    }
}

// Every table of db as text: fields, indexes and each record's values, in the engine's order.
void DescribeProperties(engine::Properties& props, std::ostream& out) {
    for (const auto& p : props)
        out << " property " << p->Name() << "=" << engine::TextOf(p->Value()) << "\n";
}

std::string Describe(engine::Database& db) {
    std::ostringstream out;
    for (const auto& name : db.TableDefs().Names()) {
        auto td = db.TableDefs().Item(name);
        out << "table " << name << "\n";
        DescribeProperties(td->Properties(), out);
        std::vector<int> types;
        for (const auto& f : td->Fields()) {
            out << " field " << f->Name() << " type " << f->Type() << " size " << f->Size()
                << " attr " << f->Attributes() << " required " << f->Required() << " zero-length "
                << f->AllowZeroLength() << " default [" << f->DefaultValue() << "]\n";
            DescribeProperties(f->Properties(), out);
            types.push_back(f->Type());
        }
        for (const auto& ix : td->Indexes()) {
            out << " index " << ix->Name() << " p" << ix->Primary() << " u" << ix->Unique() << " n"
                << ix->IgnoreNulls() << " r" << ix->Required() << ":";
            for (const auto& f : ix->Fields())
                out << " " << f->Name() << ((f->Attributes() & dbDescending) ? "-" : "+");
            out << "\n";
        }
        auto rs = db.OpenRecordset(name, engine::RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            out << " row";
            for (size_t i = 0; i < rs->FieldCount(); ++i)
                out << " | " << ValueText(rs->Value(i), types[i]);
            out << "\n";
        }
        rs->Close();
    }
    return out.str();
}

std::string DescribeFile(const std::string& path) {
    auto db = Ws().OpenDatabase(path, false, true);
    std::string d = Describe(*db);
    db->Close();
    return d;
}

std::string WriteCopy(const std::string& source, const std::string& target) {
    auto db = Ws().OpenDatabase(source, false, true);
    engine::WriteJet4(*db, target);
    db->Close();
    return target;
}

// Standard error of a command (its output thrown away).
std::string ErrorsOf(const std::string& command) {
    return jettest::Run(command + " 2>&1 >/dev/null");
}

// What the readers outside the engine see of a file, with any standard-error output kept.
std::string MdbtoolsView(const std::string& file, std::string& errors) {
    std::string view = jettest::Run("mdb-schema " + jettest::ShellQuote(file) +
                                    " 2>/dev/null | grep -v '^-- \\|^$'");
    errors += ErrorsOf("mdb-schema " + jettest::ShellQuote(file));
    for (const auto& t : jettest::MdbTables(file)) {
        std::string cmd =
            "mdb-export -b hex " + jettest::ShellQuote(file) + " " + jettest::ShellQuote(t);
        view += "table " + t + "\n" + jettest::Run(cmd + " 2>/dev/null");
        errors += ErrorsOf(cmd);
    }
    return view;
}

bool MdbReaderPresent() {
    struct stat st {};
    return ::stat((std::string(MDB_READER_MODULES) + "/mdb-reader/package.json").c_str(), &st) ==
               0 &&
           !jettest::Run("command -v node").empty();
}

std::string MdbReaderView(const std::string& file, std::string& errors) {
    std::string cmd =
        "node " +
        jettest::ShellQuote(std::string(ENGINE_SOURCE_DIR) + "/tests/tools/mdb_reader_dump.mjs") +
        " " + jettest::ShellQuote(MDB_READER_MODULES) + " " + jettest::ShellQuote(file);
    errors += ErrorsOf(cmd);
    return jettest::Run(cmd + " 2>/dev/null");
}

size_t FilesIn(const fs::path& dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

TEST(Jet4Writer, EveryGenuineFileReadsBackEqualThroughTheEngineAndMdbtools) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    for (const char* name : jettest::kJetFiles) {
        SCOPED_TRACE(name);
        std::string source = jettest::JetFile(name);
        std::string written = WriteCopy(source, dir.File(name));
        EXPECT_EQ(DescribeFile(written), DescribeFile(source));
        auto check = engine::detail::jet4check::CheckJet4File(written);
        EXPECT_TRUE(check.Ok()) << check.Text();
        std::string errors;
        std::string got = MdbtoolsView(written, errors);
        EXPECT_EQ(errors, "");
        std::string ignored;
        EXPECT_EQ(got, MdbtoolsView(source, ignored));
        EXPECT_EQ(got.find("CREATE TABLE") != std::string::npos,
                  !jettest::MdbTables(source).empty());
    }
}

TEST(Jet4Writer, MdbReaderReadsTheSameTablesColumnsAndRecordsOfEveryGenuineFile) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    if (!MdbReaderPresent())
        GTEST_SKIP() << "mdb-reader not installed in " << MDB_READER_MODULES << " (scripts/setup)";
    TempDir dir;
    for (const char* name : jettest::kJetFiles) {
        SCOPED_TRACE(name);
        std::string source = jettest::JetFile(name);
        std::string written = WriteCopy(source, dir.File(name));
        std::string errors, ignored;
        std::string got = MdbReaderView(written, errors);
        EXPECT_EQ(errors, "");
        EXPECT_EQ(got, MdbReaderView(source, ignored));
    }
}

// A native database with every type the writer takes, Nulls, empty and Japanese text, long
// values of every length class, indexes of every kind and enough records for index trees of
// more than one level.
void BuildEveryType(engine::Database& db, int records) {
    auto td = db.CreateTableDef("全部の型");
    auto id = AddField(td, "番号", dao::dbLong);
    id->SetAttributes(dao::dbAutoIncrField);
    AddField(td, "真偽", dao::dbBoolean);
    AddField(td, "バイト", dao::dbByte);
    AddField(td, "整数", dao::dbInteger);
    AddField(td, "長整数", dao::dbLong);
    AddField(td, "通貨", dao::dbCurrency);
    AddField(td, "単精度", dao::dbSingle);
    AddField(td, "倍精度", dao::dbDouble)->SetRequired(true);
    AddField(td, "日付", dao::dbDate);
    auto text = AddField(td, "テキスト", dao::dbText, 40);
    text->SetAllowZeroLength(true);
    text->SetDefaultValue("\"既定\"");
    text->Properties().Append(
        text->CreateProperty("Description", dao::dbText, engine::Variant("文字の説明")));
    td->Properties().Append(
        td->CreateProperty("Description", dao::dbText, engine::Variant("すべての型の表")));
    AddField(td, "メモ", dao::dbMemo)->SetAllowZeroLength(true);
    AddField(td, "バイナリ", dao::dbBinary, 20);
    AddField(td, "OLE", dao::dbLongBinary);
    AddField(td, "GUID", dao::dbGUID);
    db.TableDefs().Append(td);
    auto stored = db.TableDefs().Item("全部の型");
    AddIndex(stored, "主キー", {"番号"}, true);
    AddIndex(stored, "文字", {"テキスト"});
    AddIndex(stored, "複合",
             {"長整数", "-日付", "真偽", "バイト", "整数", "通貨", "単精度", "倍精度", "-テキスト",
              "GUID"});
    auto u = AddIndex(stored, "一意", {"-倍精度"}, false, true);
    auto nn = stored->CreateIndex("空欄無視");
    nn->SetIgnoreNulls(true);
    nn->Fields().Append(nn->CreateField("バイナリ"));
    stored->Indexes().Append(nn);

    Ws().BeginTrans(); // one commit, not one a record
    auto rs = db.OpenRecordset("全部の型", engine::RecordsetType::Dynaset);
    const char* texts[] = {"abc",  "ＡＢＣ", "あいう", "アイウ", "ｱｲｳ",
                           "漢字", "",       "Zürich", "a b  ",  "e\xCC\x81"};
    for (int i = 0; i < records; ++i) {
        rs->AddNew();
        bool nulls = i % 7 == 3;
        rs->SetValue("真偽", engine::Variant::Boolean(i % 2));
        auto set = [&](const char* f, engine::Variant v) {
            rs->SetValue(f, nulls ? engine::Variant::Null() : v);
        };
        set("バイト", engine::Variant::Byte(static_cast<uint8_t>(i % 256)));
        set("整数", engine::Variant::Integer(static_cast<int16_t>(i % 600 - 300)));
        set("長整数", engine::Variant::Long(i * 7919 % 100003 - 50000));
        set("通貨", engine::Variant::CurrencyScaled((i - 40) * 12345));
        set("単精度", engine::Variant::Single(static_cast<float>(i) / 8 - 3));
        rs->SetValue("倍精度", engine::Variant::Double(i * 1.25 - 1000.5));
        set("日付", engine::Variant::Date(40000.5 + i - (i % 3) * 0.25));
        set("テキスト", engine::Variant(std::string(texts[i % 10]) + std::to_string(i % 13)));
        std::string memo;
        int kind = i % 5;
        if (kind == 1) memo = "短いメモ";
        if (kind == 2) memo = std::string(1000, 'm');                   // one long-value row
        if (kind == 3 && i < 50) memo = std::string(20000, 'x') + "終"; // a chain
        set("メモ", engine::Variant(memo));
        std::string bin;
        for (int k = 0; k < i % 21; ++k) bin.push_back(static_cast<char>(k * 37 + i));
        set("バイナリ", engine::Variant(bin));
        set("OLE",
            engine::Variant(std::string(static_cast<size_t>(i % 3) * 40, static_cast<char>(i))));
        char guid[40];
        std::snprintf(guid, sizeof guid, "{%08X-1234-5678-9ABC-%012X}", i * 2654435761u, i);
        set("GUID", engine::Variant(guid));
        rs->Update();
    }
    rs->Close();
    Ws().CommitTrans();
    (void)u;
}

TEST(Jet4Writer, EveryTypeIndexKindAndLongValueRoundTripsThroughTheThreeReaders) {
    TempDir dir;
    std::string native = dir.File("native.mdb");
    {
        auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
        BuildEveryType(*db, 1000);
        db->Close();
    }
    std::string written = WriteCopy(native, dir.File("written.mdb"));
    std::string source = DescribeFile(native), back = DescribeFile(written);
    EXPECT_EQ(back, source);
    EXPECT_NE(back.find("終"), std::string::npos);
    EXPECT_NE(back.find("property Description=すべての型の表"), std::string::npos);
    auto check = engine::detail::jet4check::CheckJet4File(written);
    EXPECT_TRUE(check.Ok()) << check.Text();
    // The file gets the permissions of any new file, not those of a private temporary one.
    mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(written.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    std::string errors;
    std::string view = MdbtoolsView(written, errors);
    EXPECT_EQ(errors, "");
    // mdb-export prints a record per line: the header and 1000 records.
    EXPECT_NE(view.find("table 全部の型\n"), std::string::npos);
    if (MdbReaderPresent()) {
        std::string rerr;
        std::string r = MdbReaderView(written, rerr);
        EXPECT_EQ(rerr, "");
        EXPECT_NE(r.find("\"rowCount\":1000"), std::string::npos);
    }
}

// The records are read straight from the table: in its own order even when fields hide the
// rowid under two of its names, and as the open transaction left them.
TEST(Jet4Writer, RecordsGoOutInTableOrderWhenFieldsHideTheRowidAndAsTheOpenTransactionLeftThem) {
    TempDir dir;
    std::string written = dir.File("written.mdb");
    auto db = Ws().CreateDatabase(dir.File("native.mdb"), engine::kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "rowid", dao::dbLong);
    AddField(td, "oid", dao::dbLong);
    AddField(td, "名前", dao::dbText, 20);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("T", engine::RecordsetType::Dynaset);
    for (int n : {30, 10, 20, 40}) {
        rs->AddNew();
        rs->SetValue("rowid", engine::Variant::Long(n));
        rs->SetValue("oid", engine::Variant::Long(-n));
        rs->SetValue("名前", engine::Variant("第" + std::to_string(n)));
        rs->Update();
    }
    Ws().BeginTrans();
    rs->MoveFirst();
    rs->MoveNext();
    rs->Delete(); // 10
    rs->MoveLast();
    rs->Edit();
    rs->SetValue("名前", engine::Variant("変更"));
    rs->Update();
    rs->Close();
    std::string expected = Describe(*db);
    engine::WriteJet4(*db, written);
    Ws().Rollback();
    db->Close();
    EXPECT_EQ(DescribeFile(written), expected);
    auto back = Ws().OpenDatabase(written, false, true);
    auto names = back->OpenRecordset("T", engine::RecordsetType::Snapshot);
    std::vector<std::string> order;
    for (; !names->Eof(); names->MoveNext()) order.push_back(engine::TextOf(names->Value("名前")));
    EXPECT_EQ(order, (std::vector<std::string>{"第30", "第20", "変更"}));
    back->Close();
}

TEST(Jet4Writer, ATableOf255FieldsTakesDefinitionContinuationPagesAndReadsBackEqual) {
    TempDir dir;
    std::string native = dir.File("wide.mdb");
    {
        auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
        auto td = db->CreateTableDef("二百五十五列");
        const int types[] = {dao::dbLong, dao::dbText, dao::dbBoolean, dao::dbDouble, dao::dbMemo};
        for (int i = 0; i < 255; ++i)
            AddField(td, "フィールド番号" + std::to_string(i), types[i % 5],
                     types[i % 5] == dao::dbText ? 10 : 0);
        db->TableDefs().Append(td);
        AddIndex(db->TableDefs().Item("二百五十五列"), "索引",
                 {"フィールド番号0", "-フィールド番号1"});
        auto rs = db->OpenRecordset("二百五十五列", engine::RecordsetType::Dynaset);
        for (int r = 0; r < 3; ++r) {
            rs->AddNew();
            for (int i = 0; i < 255; i += 5) {
                rs->SetValue(static_cast<size_t>(i), engine::Variant::Long(r * 1000 + i));
                rs->SetValue(static_cast<size_t>(i + 1), engine::Variant("値" + std::to_string(r)));
                rs->SetValue(static_cast<size_t>(i + 2), engine::Variant::Boolean(r % 2));
                rs->SetValue(static_cast<size_t>(i + 4),
                             engine::Variant(std::string(static_cast<size_t>(r + 1) * 30, 'm')));
            }
            rs->Update();
        }
        rs->Close();
        db->Close();
    }
    std::string written = WriteCopy(native, dir.File("written.mdb"));
    // The definition (6,375 bytes of columns alone) runs over a continuation page.
    std::string image = jettest::ReadWhole(written);
    int continued = 0;
    for (size_t n = 6; n * 4096 < image.size(); ++n)
        if (image[n * 4096] == 0x02 && image[n * 4096 + 4] != 0) ++continued;
    EXPECT_GE(continued, 1);
    EXPECT_EQ(DescribeFile(written), DescribeFile(native));
    auto check = engine::detail::jet4check::CheckJet4File(written);
    EXPECT_TRUE(check.Ok()) << check.Text();
    std::string errors;
    MdbtoolsView(written, errors);
    EXPECT_EQ(errors, "");
}

TEST(Jet4Writer, ATableOf100000RecordsWithIndexesThreeLevelsDeepAndMegabyteMemosRoundTrips) {
    TempDir dir;
    std::string native = dir.File("large.mdb");
    {
        auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
        auto td = db->CreateTableDef("大きい表");
        AddField(td, "番号", dao::dbLong)->SetAttributes(dao::dbAutoIncrField);
        AddField(td, "名前", dao::dbText, 50);
        AddField(td, "メモ", dao::dbMemo);
        AddField(td, "値", dao::dbDouble);
        db->TableDefs().Append(td);
        auto stored = db->TableDefs().Item("大きい表");
        AddIndex(stored, "主キー", {"番号"}, true);
        AddIndex(stored, "名前順", {"名前", "-値"});
        Ws().BeginTrans();
        auto rs = db->OpenRecordset("大きい表", engine::RecordsetType::Dynaset);
        for (int i = 0; i < 100000; ++i) {
            rs->AddNew();
            rs->SetValue("名前",
                         engine::Variant("名前" + std::to_string(i * 7919 % 100000) + "ｶﾅ漢字"));
            if (i % 25000 == 0)
                rs->SetValue("メモ", engine::Variant(std::string(1 << 20, 'z') + "終"));
            else if (i % 10 == 0)
                rs->SetValue("メモ", engine::Variant("短い"));
            rs->SetValue("値", engine::Variant::Double(i * 0.5));
            rs->Update();
        }
        rs->Close();
        Ws().CommitTrans();
        db->Close();
    }
    std::string written = WriteCopy(native, dir.File("written.mdb"));
    // Some index has node pages whose children are node pages: three levels or more.
    std::string image = jettest::ReadWhole(written);
    bool deep = false;
    for (size_t n = 6; n * 4096 < image.size() && !deep; ++n) {
        if (image[n * 4096] != 0x03) continue;
        uint32_t tail = 0;
        for (int i = 0; i < 4; ++i)
            tail |=
                uint32_t(static_cast<unsigned char>(image[n * 4096 + 20 + static_cast<size_t>(i)]))
                << (8 * i);
        deep = image[size_t(tail) * 4096] == 0x03;
    }
    EXPECT_TRUE(deep);
    EXPECT_EQ(DescribeFile(written), DescribeFile(native));
    auto check = engine::detail::jet4check::CheckJet4File(written);
    EXPECT_TRUE(check.Ok()) << check.Text();
    std::string errors;
    MdbtoolsView(written, errors);
    EXPECT_EQ(errors, "");
}

TEST(Jet4Writer, KeysOfEveryIndexOfEveryGenuineJet4FileEqualTheGenuineLeafEntries) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    size_t compared = 0;
    for (const char* name : jettest::kJetFiles) {
        std::string source = jettest::JetFile(name);
        if (jettest::ReadWhole(source).substr(0x14, 1) != std::string(1, '\x01')) continue; // Jet 3
        SCOPED_TRACE(name);
        std::string written = WriteCopy(source, dir.File(name));
        auto mine = engine::detail::jet4check::ReadIndexKeys(written);
        for (const auto& genuine : engine::detail::jet4check::ReadIndexKeys(source)) {
            if (genuine.table.rfind("MSys", 0) == 0)
                continue;                         // the catalog's rows differ by design
            if (genuine.foreignKeyOnly) continue; // relationships are not kept
            SCOPED_TRACE(genuine.table + " " + genuine.signature);
            const engine::detail::jet4check::IndexKeys* match = nullptr;
            for (const auto& m : mine)
                if (m.table == genuine.table && m.signature == genuine.signature &&
                    (m.flags & 0x02) == (genuine.flags & 0x02))
                    match = &m;
            ASSERT_NE(match, nullptr);
            EXPECT_EQ(match->keys, genuine.keys);
            ++compared;
        }
    }
    // The user tables of the four genuine Jet 4 files have this many physical indexes.
    EXPECT_GE(compared, 20u);
    std::printf("compared the keys of %zu genuine indexes\n", compared);
}

TEST(Jet4Writer, WhatTheFormatCannotHoldFailsAndLeavesNoFile) {
    TempDir dir;
    std::string native = dir.File("wide.mdb");
    {
        auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
        auto td = db->CreateTableDef("wide");
        for (int i = 0; i < 20; ++i) AddField(td, "t" + std::to_string(i), dao::dbText, 255);
        db->TableDefs().Append(td);
        auto rs = db->OpenRecordset("wide", engine::RecordsetType::Dynaset);
        rs->AddNew();
        for (int i = 0; i < 20; ++i)
            rs->SetValue("t" + std::to_string(i), engine::Variant(std::string(255, 'w')));
        rs->Update();
        rs->Close();
        db->Close();
    }
    fs::create_directory(dir.Path() / "out");
    std::string target = (dir.Path() / "out" / "target.mdb").string();
    std::ofstream(target) << "old contents";
    auto db = Ws().OpenDatabase(native);
    try {
        engine::WriteJet4(*db, target);
        ADD_FAILURE() << "a record of 10,200 bytes was written";
    } catch (const engine::Error& e) {
        EXPECT_NE(e.Description().find("1 ページに収まりません"), std::string::npos)
            << e.Description();
    }
    db->Close();
    EXPECT_EQ(jettest::ReadWhole(target), "old contents");
    EXPECT_EQ(FilesIn(dir.Path() / "out"), 1u);
}

} // namespace
