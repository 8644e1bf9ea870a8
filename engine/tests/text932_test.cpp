#include "engine/text932.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace engine::cp932 {
namespace {

std::string Utf8Of(char32_t cp) {
    std::string s;
    AppendUtf8(s, cp);
    return s;
}

TEST(Cp932CharBytes, SingleDoubleAndUnencodable) {
    struct Case {
        char32_t cp;
        int want;
    };
    const std::vector<Case> cases = {
        {U'A', 1},   {0x0000, 1},  {0x007F, 1},   {0xFF61, 1}, // ｡
        {0xFF9F, 1}, {U'ｱ', 1},    {U'あ', 2},    {U'顧', 2},
        {U'①', 2},   {U'髙', 2},   {0xFF5E, 2},   {0x3000, 2}, // full-width tilde and blank
        {0x00E9, 0}, {0x0080, 0},  {0xFF60, 0},   {0xFFFD, 0}, // é, C1, ｠, replacement
        {0xD800, 0}, {0x1F600, 0}, {0x10FFFF, 0}, {0x110000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.cp));
        EXPECT_EQ(CharBytes(c.cp), c.want);
    }
}

// The lookup table must agree with the converter for every code point it covers.
TEST(Cp932CharBytes, AgreesWithTheConverterAcrossTheWholeBmp) {
    int mismatches = 0;
    for (char32_t cp = 0; cp <= 0xFFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        std::optional<std::string> bytes = FromUtf8(Utf8Of(cp));
        int want = bytes ? static_cast<int>(bytes->size()) : 0;
        if (CharBytes(cp) != want && ++mismatches <= 5)
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(cp) << ": " << CharBytes(cp)
                          << " vs " << want;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Cp932CharBytes, TableIsBuiltOnceForConcurrentCallers) {
    std::vector<std::thread> threads;
    std::vector<size_t> results(4);
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&results, i] { results[i] = ByteLength("顧客台帳ｵｰﾄﾅﾝﾊﾞ-"); });
    for (std::thread& t : threads) t.join();
    for (size_t r : results) EXPECT_EQ(r, 16u);
}

TEST(Cp932ByteLength, CountsDoubleByteCharactersTwice) {
    struct Case {
        std::string text;
        size_t want;
    };
    const std::vector<Case> cases = {
        {"", 0},
        {"ｵｰﾄﾅﾝﾊﾞ-", 8}, // eight half-width characters, one byte each
        {"(ｵｰﾄﾅﾝﾊﾞ-)", 10},
        {"顧客", 4},
        {"aあ", 3},
        {"abcdefghijあklmnopqrstuvwxyz", 28}, // ASCII runs on both sides of the word-wise scan
        {std::string(100, 'x'), 100},
        {"é", 2}, // not in the code page: counted as its replacement
        {"😀", 2},
        {"\xEF\xBF\xBD", 2}, // a genuine U+FFFD
        {"\xFF\xFE", 2},     // invalid bytes count one each
        {"a\xE3\x81", 3},    // truncated sequence: two invalid bytes
        {"\xED\xA0\x80", 3}, // an encoded surrogate is three invalid bytes
        {"\xE0\x9F\xBF", 3}, // overlong three-byte form: three invalid bytes
        {"\xE0\xA0\x80\xED\x9F\xBF", 4}, // the lowest and the last before the surrogates
        {std::string("a\0b", 3), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ByteLength(c.text), c.want);
    }
}

TEST(Utf8Decoding, IsStrict) {
    struct Case {
        std::string bytes;
        char32_t want;
        size_t advance;
    };
    const std::vector<Case> cases = {
        {"A", U'A', 1},
        {"\xC3\xA9", 0xE9, 2},
        {"\xE3\x81\x82", 0x3042, 3},
        {"\xEF\xBF\xBF", 0xFFFF, 3},
        {"\xF0\x9F\x98\x80", 0x1F600, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
        {"\xC0\xAF", 0xFFFD, 1}, // overlong "/"
        {"\xC1\xBF", 0xFFFD, 1},
        {"\xE0\x80\xAF", 0xFFFD, 1},     // overlong, three bytes
        {"\xF0\x80\x80\xAF", 0xFFFD, 1}, // overlong, four bytes
        {"\xED\xA0\x80", 0xFFFD, 1},     // surrogate
        {"\xF4\x90\x80\x80", 0xFFFD, 1}, // above U+10FFFF
        {"\xF5\x80\x80\x80", 0xFFFD, 1},
        {"\x80", 0xFFFD, 1},         // lone continuation
        {"\xE3\x81", 0xFFFD, 1},     // truncated
        {"\xE3\x81\x41", 0xFFFD, 1}, // broken by an ASCII byte
        {"\xC2\x41", 0xFFFD, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        size_t pos = 0;
        EXPECT_EQ(NextCodePoint(c.bytes, pos), c.want);
        EXPECT_EQ(pos, c.advance);
    }
    std::string two = "a\xE3\x81\x82";
    size_t pos = 1;
    EXPECT_EQ(NextCodePoint(two, pos), 0x3042u);
    EXPECT_EQ(pos, 4u);
}

TEST(Utf8Encoding, RoundTripsAndReplacesWhatIsNoCharacter) {
    for (char32_t cp : {U'A', char32_t{0x7F}, char32_t{0x80}, char32_t{0x7FF}, char32_t{0x800},
                        char32_t{0xFFFF}, char32_t{0x10000}, char32_t{0x10FFFF}}) {
        SCOPED_TRACE(static_cast<unsigned>(cp));
        std::string s = Utf8Of(cp);
        size_t pos = 0;
        EXPECT_EQ(NextCodePoint(s, pos), cp);
        EXPECT_EQ(pos, s.size());
    }
    EXPECT_EQ(Utf8Of(0xD800), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8Of(0x110000), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8Of(U'顧'), "顧");
}

TEST(Cp932Conversion, JapaneseTextRoundTrips) {
    EXPECT_EQ(FromUtf8("顧客台帳"), std::string("\x8C\xDA\x8B\x71\x91\xE4\x92\xA0"));
    EXPECT_EQ(FromUtf8("ｵｰﾄﾅﾝﾊﾞ-"), std::string("\xB5\xB0\xC4\xC5\xDD\xCA\xDE-"));
    EXPECT_EQ(FromUtf8("①"), std::string("\x87\x40"));
    for (const char* text : {"顧客台帳", "ｵｰﾄﾅﾝﾊﾞ-", "①", "髙", "～", "∥", "－", "￠",
                             "ＡＢＣ１２３", "表示", "ソース", "abc\\~", ""}) {
        SCOPED_TRACE(text);
        std::optional<std::string> bytes = FromUtf8(text);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(ToUtf8(*bytes), std::string(text));
    }
}

TEST(Cp932Conversion, ReportsTheFirstCharacterItCannotEncode) {
    struct Case {
        std::string text;
        size_t index;
    };
    const std::vector<Case> cases = {
        {"abé", 2},
        {"顧客😀x", 2},
        {"😀", 0},
        {"ｱｲé顧é", 2},
        {"a\xFF"
         "b",
         1}, // invalid UTF-8 is refused too
        {"顧\xE3\x81", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        size_t bad = 999;
        EXPECT_FALSE(FromUtf8(c.text, &bad).has_value());
        EXPECT_EQ(bad, c.index);
    }
    EXPECT_FALSE(FromUtf8("é").has_value()); // no index wanted
}

TEST(Cp932Conversion, RejectsInvalidByteSequences) {
    for (const std::string& bytes :
         {std::string("\x81"), std::string("\x81\x20"), std::string("ab\xFF"), std::string("\x80"),
          std::string("\x8C\xDA\x8B")}) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_FALSE(ToUtf8(bytes).has_value());
    }
    EXPECT_EQ(ToUtf8(std::string("\x8C\xDA\x8B\x71")), std::string("顧客"));
    EXPECT_EQ(ToUtf8("\x5C\x7E"), std::string("\\~"));
}

TEST(Cp932Conversion, OtherCodePagesAndTheAsciiShortcut) {
    EXPECT_EQ(ToUtf8From("\x80", "CP1252"), std::string("€"));
    EXPECT_EQ(ToUtf8From("\xB1", "CP932"), std::string("ｱ"));
    EXPECT_FALSE(ToUtf8From("abc", "NO-SUCH-CODE-PAGE").has_value());
    EXPECT_FALSE(ToUtf8From("abc", nullptr).has_value());
    // ASCII skips the converter; this checks that the converter would agree.
    std::string ascii;
    for (int c = 0; c < 0x80; ++c) ascii += static_cast<char>(c);
    EXPECT_EQ(ToUtf8From(ascii, "CP932"), ascii);
    std::string longText;
    for (int i = 0; i < 5000; ++i) longText += "顧客ｱ";
    std::optional<std::string> bytes = FromUtf8(longText);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size(), ByteLength(longText));
    EXPECT_EQ(ToUtf8(*bytes), longText);
}

} // namespace
} // namespace engine::cp932
