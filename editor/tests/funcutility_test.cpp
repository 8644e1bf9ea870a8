// The text helpers that count code page 932 bytes, and the removal of folder trees.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "modules/FuncUtility.h"
#include "platform/scripted.h"
#include "test_support.h"

using namespace tavorin;
using engine::Variant;
using tavorintest::TempDir;
using tavorintest::WriteFile;
namespace fs = std::filesystem;

namespace {

TEST(IsAllDigits, AcceptsOnlyAsciiDigitsAndTheEmptyText) {
    const std::pair<const char*, int16_t> cases[] = {
        {"", 0},   {"0", 0},   {"0123456789", 0}, {"12a", 9},  {" 12", 9},
        {"-1", 9}, {"1.5", 9}, {"１２", 9},       {"12３", 9}, {"ｱ", 9},
    };
    for (const auto& [text, expected] : cases) {
        int16_t error = -1;
        IsAllDigits(text, error);
        EXPECT_EQ(error, expected) << text;
    }
}

TEST(ByteRules, CountDoubleByteCharactersTwiceAndHalfWidthKatakanaOnce) {
    struct Case {
        const char* text;
        int32_t bytes;
        int32_t firstWide;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"ABC", 3, 0},
        {"ｵｰﾄﾅﾝﾊﾞ-", 8, 0}, // half-width katakana take one byte each
        {"(ｵｰﾄﾅﾝﾊﾞ-)", 10, 0},
        {"顧客", 4, 1},
        {"A顧B", 4, 2},
        {"ｱｲうｴ", 5, 3},
        {"１２３", 6, 1}, // full-width digits
        {"　", 2, 1},     // ideographic space
        {"￥", 2, 1},
        {"\xF0\x9F\x98\x80", 2, 1}, // not in code page 932: counted as the engine counts it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ByteLength(c.text), c.bytes) << c.text;
        EXPECT_EQ(FirstWideCharPos(c.text), c.firstWide) << c.text;
    }
}

TEST(CutToBytes, NeverSplitsADoubleByteCharacter) {
    struct Case {
        const char* text;
        int n;
        const char* expected;
    };
    const Case cases[] = {
        {"あいう", 5, "あい"}, {"あいう", 6, "あいう"}, {"あいう", 7, "あいう"}, {"aあ", 2, "a"},
        {"aあ", 3, "aあ"},     {"ｱｲｳｴｵ", 3, "ｱｲｳ"},     {"abc", 0, ""},          {"abc", -1, ""},
        {"", 5, ""},           {"あ", 1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CutToBytes(c.text, c.n), c.expected) << c.text << " " << c.n;
}

TEST(FixWidth, FormatsThenFitsTheResultToThePatternLength) {
    struct Case {
        Variant value;
        const char* pattern;
        const char* expected;
    };
    const Case cases[] = {
        {Variant::Long(3), "##", " 3"},         {Variant::Long(123), "##", "23"},
        {Variant::Long(12), "##", "12"},        {Variant::Long(0), "##", "  "},
        {Variant::Long(0), "##0", "  0"},       {Variant::Long(7), "####", "   7"},
        {Variant::Long(12345), "####", "2345"}, {Variant("20"), "##", "20"},
        {Variant::Long(5), "00", "05"},
    };
    for (const Case& c : cases) EXPECT_EQ(FixWidth(c.value, c.pattern), c.expected) << c.pattern;
}

TEST(StripCrLf, RemovesCarriageReturnsAndLineFeedsOnly) {
    EXPECT_EQ(StripCrLf("顧客\r\nマスタ\r\n"), "顧客マスタ");
    EXPECT_EQ(StripCrLf("a\rb\nc d\t"), "abc d\t");
    EXPECT_EQ(StripCrLf(""), "");
}

struct WrapCase {
    const char* text;
    int16_t width;
    std::vector<std::string> lines; // the used lines, from 0
};

TEST(WrapText, SplitsAtTheByteWidthAndAtCarriageReturns) {
    const WrapCase cases[] = {
        {"", 10, {""}},
        {"abc", 10, {"abc"}},
        {"abcdef", 3, {"abc", "def"}},
        {"abcdefg", 3, {"abc", "def", "g"}},
        {"あいう", 5, {"あい", "う"}}, // the third character would need 6 bytes
        {"aあいう", 4, {"aあ", "いう"}},
        {"ab\r\ncd", 10, {"ab", "cd"}}, // the line feed is dropped
        {"ab\n\ncd", 10, {"abcd"}},
        {"ab\r\rcd", 10, {"ab", "", "cd"}},
        {"ab\r", 10, {"ab", ""}},
        {"あ", 1, {"あ"}}, // wider than the width: alone on its line
    };
    for (const WrapCase& c : cases) {
        WrappedLines lines;
        lines.fill("stale");
        int16_t last = -1;
        WrapText(c.text, c.width, lines, last);
        EXPECT_EQ(last, static_cast<int16_t>(c.lines.size() - 1)) << c.text;
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i], i < c.lines.size() ? c.lines[i] : "") << c.text << " line " << i;
    }
}

TEST(WrapText, StopsAtTheEleventhLine) {
    WrappedLines lines;
    int16_t last = 0;
    WrapText("0123456789abcdefghijklmnop", 2, lines, last); // 13 lines' worth
    EXPECT_EQ(last, 10);
    EXPECT_EQ(lines[0], "01");
    EXPECT_EQ(lines[10], "kl");

    std::string returns(15, '\r');
    WrapText("a" + returns + "b", 10, lines, last);
    EXPECT_EQ(last, 10);
    EXPECT_EQ(lines[0], "a");
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(lines[static_cast<size_t>(i)], "");
}

// ---- Folder removal ------------------------------------------------------------------------

class FolderRemoval : public ::testing::Test {
  protected:
    platform::ScriptedPrompts prompts;
    platform::Services services{{.prompts = &prompts}};
    TempDir tmp;
};

TEST_F(FolderRemoval, RemovesANestedTreeWithItsFilesAndFolders) {
    const std::string root = tmp.File("MdbTempDir");
    WriteFile(root + "/FormatTemp1.MDB");
    WriteFile(root + "/noextension");
    WriteFile(root + "/.hidden");
    WriteFile(root + "/MeltDir/a/b/deep.mdb");
    WriteFile(root + "/MeltDir/a/other.txt");
    WriteFile(root + "/MeltDir/c/x.lzh");
    fs::create_directories(root + "/empty/inner");
    int16_t mark = -1;
    RemoveFolderTree(services, root, mark);
    EXPECT_EQ(mark, 0);
    EXPECT_FALSE(fs::exists(root));
    EXPECT_TRUE(fs::exists(tmp.Path()));
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(FolderRemoval, AMissingFolderIsNoError) {
    int16_t mark = -1;
    RemoveFolderTree(services, tmp.File("nothing"), mark);
    EXPECT_EQ(mark, 0);
    RemoveFolderFiles(services, tmp.File("nothing"), mark);
    EXPECT_EQ(mark, 0);
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(FolderRemoval, LinksAreRemovedWithoutEnteringWhatTheyPointTo) {
    const std::string outside = tmp.File("outside");
    WriteFile(outside + "/keep.txt");
    WriteFile(outside + "/sub/keep2.txt");
    const std::string root = tmp.File("work");
    fs::create_directories(root + "/sub");
    fs::create_directory_symlink(outside, root + "/linkdir");
    fs::create_directory_symlink(outside, root + "/sub/linkdir2");
    fs::create_symlink(outside + "/keep.txt", root + "/linkfile");
    int16_t mark = -1;
    RemoveFolderTree(services, root, mark);
    EXPECT_EQ(mark, 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_TRUE(fs::exists(outside + "/keep.txt"));
    EXPECT_TRUE(fs::exists(outside + "/sub/keep2.txt"));

    // A root that is itself a link: only the link goes.
    fs::create_directory_symlink(outside, tmp.File("rootlink"));
    RemoveFolderTree(services, tmp.File("rootlink"), mark);
    EXPECT_EQ(mark, 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmp.File("rootlink"))));
    EXPECT_TRUE(fs::exists(outside + "/keep.txt"));
}

TEST_F(FolderRemoval, AFileInPlaceOfTheFolderIsReportedAndKept) {
    const std::string file = tmp.File("plain.txt");
    WriteFile(file);
    prompts.Expect("Error- 75\rパス名が無効です。");
    int16_t mark = 0;
    RemoveFolderFiles(services, file, mark);
    EXPECT_EQ(mark, 9);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(prompts.Unexpected().isEmpty()) << prompts.Unexpected().join("\n").toStdString();
}

TEST_F(FolderRemoval, AnUnlistableFolderStopsTheRemovalWithItsErrorMark) {
    // A path longer than the system allows cannot be listed.
    const std::string tooLong = tmp.File(std::string(5000, 'a'));
    prompts.ExpectAny();
    int16_t mark = 0;
    RemoveFolderTree(services, tooLong, mark);
    EXPECT_EQ(mark, 9);
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error- 75\r"));
}

TEST_F(FolderRemoval, APermissionDeniedFileGivesError70) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may delete anything";
    const std::string root = tmp.File("locked");
    WriteFile(root + "/inner/file.txt");
    fs::permissions(root + "/inner", fs::perms::owner_read | fs::perms::owner_exec);
    prompts.Expect("Error- 70\r書き込みできません。");
    int16_t mark = 0;
    RemoveFolderTree(services, root, mark);
    EXPECT_EQ(mark, 9);
    EXPECT_TRUE(fs::exists(root + "/inner/file.txt"));
    fs::permissions(root + "/inner", fs::perms::owner_all);
    EXPECT_TRUE(prompts.Unexpected().isEmpty());
}

} // namespace
