// The Jet format pieces the reader decodes itself: header, table definitions, long values,
// text in both generations and the value encodings. Table definitions are taken from the real
// test files (read as plain bytes) and then damaged on purpose.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>

#include "engine/testing/shared_test_data.h"
#include "jet/jet_format.h"

using namespace engine::detail::jet;

namespace {

std::string Bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s += static_cast<char>(b);
    return s;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TestFile(const std::string& name) {
    return std::string(TESTDATA_DIR) + "/jet/" + name;
}

// Pages served from an in-memory file image.
PageSource PagesOf(const std::string& image, Version v) {
    return [&image, v](uint32_t page, std::string& out) {
        size_t size = PageSize(v);
        if (page == 0 || (uint64_t(page) + 1) * size > image.size()) return false;
        out = image.substr(page * size, size);
        return true;
    };
}

void PutU16(std::string& b, size_t at, uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void PutU32(std::string& b, size_t at, uint32_t v) {
    PutU16(b, at, v & 0xFFFF);
    PutU16(b, at + 2, v >> 16);
}

// A Jet 4 data page holding the given rows (row 0 at the page end, as Jet stores them).
std::string DataPage(const std::vector<std::string>& rows) {
    std::string page(4096, '\0');
    page[0] = 0x01;
    size_t rco = RowCountOffset(Version::Jet4);
    PutU16(page, rco, static_cast<uint32_t>(rows.size()));
    size_t end = page.size();
    for (size_t i = 0; i < rows.size(); ++i) {
        size_t start = end - rows[i].size();
        page.replace(start, rows[i].size(), rows[i]);
        PutU16(page, rco + 2 + i * 2, static_cast<uint32_t>(start));
        end = start;
    }
    return page;
}

// A long value reference: length with its kind in the top bits, then page/row.
std::string Reference(uint32_t lengthAndKind, uint32_t pgRow) {
    std::string r(12, '\0');
    PutU32(r, 0, lengthAndKind);
    PutU32(r, 4, pgRow);
    return r;
}

} // namespace

TEST(JetFormat, HeaderTellsJetGenerationsAndRefusesAce) {
    auto header = [](const char* sig, int version) {
        std::string h(0x80, '\0');
        h.replace(4, 15, sig);
        h[0x14] = static_cast<char>(version);
        return InspectHeader(h);
    };
    EXPECT_EQ(header("Standard Jet DB", 0).kind, Header::Kind::Jet3);
    EXPECT_EQ(header("Standard Jet DB", 1).kind, Header::Kind::Jet4);
    EXPECT_EQ(header("Standard Jet DB", 2).kind, Header::Kind::Ace);
    EXPECT_EQ(header("Standard ACE DB", 3).kind, Header::Kind::Ace);
    EXPECT_EQ(header("Standard ACE DB", 3).versionByte, 3);
    EXPECT_EQ(header("Something else!", 0).kind, Header::Kind::NotJet);
    EXPECT_EQ(InspectHeader("short").kind, Header::Kind::NotJet);
}

TEST(JetFormat, Jet4TextPlainCompressedAndBroken) {
    struct Case {
        std::string bytes;
        std::optional<std::string> text;
    } cases[] = {
        {Bytes({'a', 0, 'b', 0}), "ab"},
        {Bytes({0xE5, 0x65, 0x2C, 0x67}), "日本"},
        {Bytes({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80"}, // a surrogate pair (U+1F600)
        {Bytes({0xFF, 0xFE, 'r', 'o', 'w'}), "row"},
        // compressed: "a", switch to two-byte units for 日, back to one byte for "b"
        {Bytes({0xFF, 0xFE, 'a', 0, 0xE5, 0x65, 0, 'b'}), "a日b"},
        {Bytes({0xFF, 0xFE}), ""},
        {Bytes({}), ""},
        {Bytes({'a', 0, 'b'}), std::nullopt},              // odd length
        {Bytes({0x00, 0xD8, 'a', 0}), std::nullopt},       // high surrogate without its pair
        {Bytes({0x00, 0xDC}), std::nullopt},               // low surrogate alone
        {Bytes({0xFF, 0xFE, 'a', 0, 0xE5}), std::nullopt}, // half a unit at the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(DecodeJet4Text(c.bytes), c.text);
    }
}

TEST(JetFormat, CodePageDecodingIsStrict) {
    CodePageDecoder sjis(IconvNameForCodePage(932));
    ASSERT_TRUE(sjis.Ok());
    EXPECT_EQ(sjis.Decode("plain ascii"), "plain ascii");
    EXPECT_EQ(sjis.Decode(Bytes({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA})), "日本語");
    EXPECT_EQ(sjis.Decode(Bytes({0xB1})), "ｱ");
    EXPECT_EQ(sjis.Decode(Bytes({0x82, 0x20})), std::nullopt); // a lead byte with a bad trail
    EXPECT_EQ(sjis.Decode(Bytes({'x', 0x82})), std::nullopt);  // a lead byte cut off
    // The decoder is reusable after a failure.
    EXPECT_EQ(sjis.Decode(Bytes({0x82, 0xA0})), "あ");

    CodePageDecoder latin(IconvNameForCodePage(1252));
    EXPECT_EQ(latin.Decode(Bytes({0x80, 0xE9})), "€é");
    EXPECT_FALSE(CodePageDecoder("NO-SUCH-CODE-PAGE").Ok());
}

TEST(JetFormat, Jet3CodePageComesFromSettingThenHeaderThenDefault) {
    EXPECT_EQ(Jet3CodePage(nullptr, 0), "CP932");
    EXPECT_EQ(Jet3CodePage("", 1252), "CP1252");
    EXPECT_EQ(Jet3CodePage(nullptr, 932), "CP932");
    EXPECT_EQ(Jet3CodePage("1251", 1252), "CP1251");
    EXPECT_EQ(Jet3CodePage("SHIFT_JIS", 1252), "SHIFT_JIS");
}

TEST(JetFormat, DecimalGuidAndCurrencyEncodings) {
    // 123.45 with scale 2: magnitude 12345 in the least significant word (offset 13).
    std::string dec(17, '\0');
    PutU32(dec, 13, 12345);
    EXPECT_DOUBLE_EQ(*DecimalToDouble(dec, 2), 123.45);
    dec[0] = static_cast<char>(0x80);
    EXPECT_DOUBLE_EQ(*DecimalToDouble(dec, 2), -123.45);
    // The next word up counts 2^32.
    std::string big(17, '\0');
    PutU32(big, 9, 1);
    PutU32(big, 13, 5);
    EXPECT_DOUBLE_EQ(*DecimalToDouble(big, 0), 4294967301.0);
    EXPECT_EQ(DecimalToDouble(std::string(16, '\0'), 0), std::nullopt);

    std::string guid = Bytes({0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA,
                              0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
    EXPECT_EQ(GuidText(guid), "{00112233-4455-6677-8899-AABBCCDDEEFF}");

    EXPECT_EQ(ReadInt64Le(Bytes({0x18, 0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})), -30696);
}

TEST(JetFormat, LongValuesInlineOnOnePageAndChained) {
    std::map<uint32_t, std::string> pages;
    PageSource source = [&](uint32_t page, std::string& out) {
        auto it = pages.find(page);
        if (it == pages.end()) return false;
        out = it->second;
        return true;
    };
    std::string error;
    const uint64_t max = 1 << 20;

    EXPECT_EQ(ReadLongValue(Version::Jet4, "", source, max, error), "");
    EXPECT_EQ(
        ReadLongValue(Version::Jet4, Reference(0x80000000u | 5, 0) + "hello", source, max, error),
        "hello");

    pages[7] = DataPage({"first row", "single page value"});
    EXPECT_EQ(
        ReadLongValue(Version::Jet4, Reference(0x40000000u | 17, (7 << 8) | 1), source, max, error),
        "single page value");

    // Two links: page 8 row 0 -> page 9 row 0 -> end.
    std::string link1 = Bytes({0x00, 0x09, 0x00, 0x00}) + "abc";
    std::string link2 = Bytes({0x00, 0x00, 0x00, 0x00}) + "defg";
    pages[8] = DataPage({link1});
    pages[9] = DataPage({link2});
    EXPECT_EQ(ReadLongValue(Version::Jet4, Reference(7, 8 << 8), source, max, error), "abcdefg");

    struct Broken {
        const char* what;
        std::string field;
    } broken[] = {
        {"reference too short", std::string(11, '\0')},
        {"inline shorter than its length", Reference(0x80000000u | 9, 0) + "abc"},
        {"longer than allowed", Reference(0x80000000u | (max + 1), 0) + std::string(16, 'x')},
        {"missing page", Reference(0x40000000u | 3, 99 << 8)},
        {"missing row", Reference(0x40000000u | 3, (7 << 8) | 5)},
        {"single row shorter than length", Reference(0x40000000u | 100, (7 << 8) | 1)},
        {"chain ends early", Reference(50, 8 << 8)},
        {"unknown kind", Reference(0xC0000000u | 3, 0)},
    };
    for (const auto& b : broken) {
        SCOPED_TRACE(b.what);
        error.clear();
        EXPECT_EQ(ReadLongValue(Version::Jet4, b.field, source, max, error), std::nullopt);
        EXPECT_FALSE(error.empty());
    }

    // A chain pointing back at itself ends in an error, not a loop.
    pages[10] = DataPage({Bytes({0x00, 0x0A, 0x00, 0x00}) + "xy"});
    error.clear();
    EXPECT_EQ(ReadLongValue(Version::Jet4, Reference(1000, 10 << 8), source, max, error),
              std::nullopt);
    EXPECT_NE(error.find("loop"), std::string::npos);
}

// The definition of TableUnique2_temp (page 39 of the file) maps its logical indexes to
// physical ones by the physical number, not by position: DataIndex (logical number 2) is
// backed by physical index 1, a unique index over data1 and data2.
TEST(JetFormat, TableDefinitionMapsIndexesByTheirPhysicalNumber) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    std::string image = ReadWhole(TestFile("testIndexPropertiesV2000.mdb"));
    ASSERT_GT(image.size(), 40u * 4096);
    std::string error;
    auto t = ReadTdef(Version::Jet4, 39, PagesOf(image, Version::Jet4), error);
    ASSERT_TRUE(t) << error;
    EXPECT_EQ(t->rowCount, 11u);
    ASSERT_EQ(t->columns.size(), 3u);
    EXPECT_EQ(*Utf16LeToUtf8(t->columns[2].rawName), "data2");
    EXPECT_EQ(t->columns[2].type, 4);
    EXPECT_EQ(t->columns[2].number, 2);
    ASSERT_EQ(t->indexes.size(), 2u);
    const TdefIndex* data = nullptr;
    for (const auto& ix : t->indexes)
        if (*Utf16LeToUtf8(ix.rawName) == "DataIndex") data = &ix;
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->number, 2u);
    const TdefRealIndex& real = t->realIndexes.at(data->realNumber);
    ASSERT_EQ(real.columns.size(), 2u);
    EXPECT_EQ(real.columns[0].columnNumber, 1);
    EXPECT_EQ(real.columns[1].columnNumber, 2);
    EXPECT_TRUE(real.flags & kIndexUnique);
    EXPECT_FALSE(real.flags & kIndexIgnoreNulls);
}

TEST(JetFormat, DamagedTableDefinitionsAreReportedNotRead) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    const std::string original = ReadWhole(TestFile("testIndexPropertiesV2000.mdb"));
    const size_t at = 39 * 4096;
    struct Damage {
        const char* what;
        std::function<void(std::string&)> apply;
    } damages[] = {
        {"not a definition page", [&](std::string& b) { b[at] = 0x01; }},
        {"continuation loops to itself", [&](std::string& b) { PutU32(b, at + 4, 39); }},
        {"continuation is a data page", [&](std::string& b) { PutU32(b, at + 4, 50); }},
        {"no columns", [&](std::string& b) { PutU16(b, at + 45, 0); }},
        {"absurd index count", [&](std::string& b) { PutU32(b, at + 47, 100000); }},
        {"more columns than the page holds", [&](std::string& b) { PutU16(b, at + 45, 200); }},
        {"index backed by a missing physical index",
         [&](std::string& b) { PutU32(b, at + 51, 0); }},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.what);
        std::string image = original;
        d.apply(image);
        std::string error;
        EXPECT_FALSE(ReadTdef(Version::Jet4, 39, PagesOf(image, Version::Jet4), error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(JetFormat, SingleBytePagesDecodeUndefinedBytesAsTheirCodePoints) {
    CodePageDecoder latin("CP1252");
    EXPECT_EQ(latin.Decode("a\x81\x8D\x8F\x90\x9D\x80z"),
              std::optional<std::string>("a\u0081\u008D\u008F\u0090\u009D€z"));
    // A double-byte code page keeps refusing what does not decode.
    CodePageDecoder japanese("CP932");
    EXPECT_EQ(japanese.Decode("\x93\xFA"), std::optional<std::string>("日"));
    EXPECT_EQ(japanese.Decode("ab\x82"), std::nullopt);
    EXPECT_EQ(japanese.Decode("\xA0"), std::nullopt);
}
