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
        {"\xEF\xBF\xBD", 2},             // a genuine U+FFFD
        {"\xFF\xFE", 2},                 // invalid bytes count one each
        {"a\xE3\x81", 3},                // truncated sequence: two invalid bytes
        {"\xED\xA0\x80", 3},             // an encoded surrogate is three invalid bytes
        {"\xE0\x9F\xBF", 3},             // overlong three-byte form: three invalid bytes
        {"\xE0\xA0\x80\xED\x9F\xBF", 4}, // the lowest and the last before the surrogates
        {std::string("a\0b", 3), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ByteLength(c.text), c.want);
    }
}

// The length by its definition: one character at a time, an invalid byte counting 1 and a
// character the code page lacks 2. ByteLength takes whole blocks of kana and kanji at once.
size_t CountedCharByChar(std::string_view text) {
    size_t total = 0;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const char32_t cp = NextCodePoint(text, pos);
        const int bytes = pos - start == 1 ? 1 : CharBytes(cp);
        total += bytes == 0 ? 2 : static_cast<size_t>(bytes);
    }
    return total;
}

TEST(Cp932ByteLength, AgreesWithTheCharacterByCharacterCount) {
    // Every three-byte sequence, alone and between ASCII: the blocks counted whole must hold
    // no character that counts otherwise (half-width katakana, U+203E, unencodable ones).
    int mismatches = 0;
    for (char32_t cp = 0x800; cp <= 0xFFFF; ++cp) {
        const std::string one = Utf8Of(cp);
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        for (const std::string& text : {one, "a" + one + "b", one + one}) {
            if (ByteLength(text) != CountedCharByChar(text) && ++mismatches <= 5)
                ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(cp) << ": "
                              << ByteLength(text) << " vs " << CountedCharByChar(text);
        }
    }
    EXPECT_EQ(mismatches, 0);

    // Every first and second byte of a three-byte form with every kind of third byte, and cut
    // short at the end: overlong forms, surrogates and stray bytes count as invalid bytes.
    for (int b0 = 0xE0; b0 <= 0xEF; ++b0) {
        for (int b1 = 0x00; b1 <= 0xFF; b1 += 1) {
            for (int b2 : {0x41, 0x80, 0xA5, 0xBF, 0xC0, 0xE3}) {
                const std::string full{static_cast<char>(b0), static_cast<char>(b1),
                                       static_cast<char>(b2)};
                for (const std::string& text :
                     {full, full.substr(0, 2), "x" + full + "\xEF\xBD\xB1"}) {
                    SCOPED_TRACE(::testing::Message() << std::hex << b0 << ' ' << b1 << ' ' << b2);
                    ASSERT_EQ(ByteLength(text), CountedCharByChar(text));
                }
            }
        }
    }

    // Texts at and around a size of 40 mixing kanji, half-width kana, ASCII runs longer than a
    // word, characters outside the code page and empty text.
    const std::vector<std::string> texts = {
        "",
        "顧客台帳東京大阪商品顧客台帳東京大阪商品",  // 20 kanji: 40 bytes
        "顧客台帳東京大阪商品顧客台帳東京大阪商品ｱ", // 41
        "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘ",  // 40 half-width, 120 UTF-8 bytes
        "é‾¥～〜ｰ－—①😀\xEF\xBF\xBD",
        "ABCDEFGHIJKLMNOP東京QRSTUVWXYZ0123456789ｶﾅ",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ByteLength(text), CountedCharByChar(text));
    }
    EXPECT_EQ(ByteLength(texts[1]), 40u);
    EXPECT_EQ(ByteLength(texts[2]), 41u);
    EXPECT_EQ(ByteLength(texts[3]), 40u);
}

// The bound that spares most counts must never be below the count, must be the count on
// ordinary Japanese text, and FitsIn must answer as the count does at every limit.
TEST(Cp932ByteLength, BoundNeverBelowTheCountAndFitsInAgrees) {
    auto check = [](const std::string& text, bool exact) {
        SCOPED_TRACE(::testing::Message() << '"' << text << "\" (" << text.size() << " bytes)");
        const size_t count = ByteLength(text), bound = ByteLengthBound(text);
        if (exact)
            ASSERT_EQ(bound, count);
        else
            ASSERT_GE(bound, count);
        for (size_t limit = 0; limit <= text.size() + 1; ++limit)
            ASSERT_EQ(FitsIn(text, limit), count <= limit);
    };
    // Japanese text of every length around the 64-byte blocks the bound works in, with a
    // sequence cut by the block's end at each offset.
    const std::string pieces[] = {"東", "ｶ", "a", "ﾟ", "｡", "あ", "ｰ"};
    std::string text;
    for (int i = 0; i < 120; ++i) {
        text += pieces[(i * 7 + i / 3) % 7];
        check(text, true);
        check("x" + text, true);
        check("xy" + text, true);
    }
    check("", true);
    check(std::string(200, 'z'), true);
    // Characters that count otherwise than their form suggests, characters outside the code
    // page, malformed and cut sequences: the bound may only be higher.
    const std::vector<std::string> odd = {
        "é",
        "¥",
        "‾",
        "～",
        "〜",
        "｠",
        "\xEF\xBD\xA0",
        "\xEF\xBE\xA0",
        "😀",
        "\xEF\xBF\xBD",
        "\xE0\x9F\xBF",
        "\xE0\xA0\x80",
        "\xED\xA0\x80",
        "\xED\x9F\xBF",
        "\xE3\x81",
        "\xE3",
        "\x81\x82",
        "\xEF\xBD",
        "\xEF\xBD\xA1\xBF",
        "\xF0\x9F\x98",
        "\xFF",
        "\xC0\xAF",
    };
    for (const std::string& o : odd) {
        check(o, false);
        for (size_t at = 55; at <= 70; ++at) check(std::string(at, 'a') + o + "顧客ｱ", false);
    }
    // Random bytes weighted towards the lead and continuation bytes of three-byte forms.
    uint32_t seed = 12345;
    const unsigned char alphabet[] = {'a',  0x80, 0x9F, 0xA0, 0xA1, 0xBD, 0xBE,
                                      0xBF, 0xC2, 0xE0, 0xE3, 0xED, 0xEF, 0xF0};
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        seed = seed * 1664525u + 1013904223u;
        const size_t length = (seed >> 16) % 150;
        for (size_t i = 0; i < length; ++i) {
            seed = seed * 1664525u + 1013904223u;
            bytes += static_cast<char>(alphabet[(seed >> 16) % sizeof alphabet]);
        }
        check(bytes, false);
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
