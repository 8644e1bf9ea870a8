// Saving the module: names, encoding, replacing a file whole, and refusing before writing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "module_file.h"
#include "support.h"

using namespace vespen;
using namespace vespentest;

namespace {

ModuleText Text(std::initializer_list<const char*> lines) {
    ModuleText text;
    for (const char* line : lines) text.push_back({line, {}, {}});
    return text;
}

TEST(ModuleFileNames, ProposedFileAndModuleNamesCutAtTheFirstDot) {
    EXPECT_EQ(ProposedModuleFileName("/data/shop.mdb"), "shop.bas");
    EXPECT_EQ(ProposedModuleFileName("/data/a.b.mdb"), "a.bas");
    EXPECT_EQ(ModuleNameOf("/src/Shop.Tables.bas"), "Shop");
    EXPECT_EQ(ModuleNameOf("/src.d/Module1.bas"), "Module1");
    // Without a dot the whole file name names the module.
    EXPECT_EQ(ModuleNameOf("/src.d/Tables"), "Tables");
    EXPECT_EQ(ModuleNameOf("Tables"), "Tables");
}

TEST(ModuleFile, WritesTheNameLineThenEveryLineInCodePage932) {
    TempDir dir;
    std::string target = dir.File("Shop.Tables.bas");
    SaveModuleFile(target, Text({"'   注文テーブルの定義", "", "Type T_Type"}));
    EXPECT_EQ(ReadBytes(target),
              "Attribute VB_Name = \"Shop\"\r\n'   \x92\x8D\x95\xB6\x83\x65\x81\x5B\x83\x75\x83\x8B"
              "\x82\xCC\x92\xE8\x8B\x60\r\n\r\nType T_Type\r\n");
}

TEST(ModuleFile, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string target = dir.File("m.bas");
    WriteBytes(target, std::string(10000, 'x'));
    SaveModuleFile(target, Text({"Option Compare Text"}));
    EXPECT_EQ(ReadBytes(target), "Attribute VB_Name = \"m\"\r\nOption Compare Text\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"m.bas"}));
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST(ModuleFile, WriteErrorNamesTheFileAndTheReasonAndLeavesNothingBehind) {
    TempDir dir;
    std::string missingFolder = dir.File("no/such/m.bas");
    try {
        SaveModuleFile(missingFolder, Text({"x"}));
        ADD_FAILURE() << "no error";
    } catch (const SaveError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find(missingFolder), std::string::npos) << message;
        EXPECT_NE(message.find(std::strerror(ENOENT)), std::string::npos) << message;
    }

    // A folder in the target's place stays as it is.
    fs::create_directory(dir.File("m.bas"));
    WriteBytes(dir.File("m.bas/keep"), "k");
    EXPECT_THROW(SaveModuleFile(dir.File("m.bas"), Text({"x"})), SaveError);
    EXPECT_EQ(ReadBytes(dir.File("m.bas/keep")), "k");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"m.bas"}));
}

TEST(ModuleFile, UnwritableFolderKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir dir;
    std::string target = dir.File("m.bas");
    WriteBytes(target, "old");
    fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(SaveModuleFile(target, Text({"new"})), SaveError);
    fs::permissions(dir.Path(), fs::perms::owner_all);
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"m.bas"}));
}

TEST(ModuleFile, TextOutsideCodePage932IsRefusedBeforeWritingNamingTableAndField) {
    TempDir dir;
    std::string target = dir.File("m.bas");
    WriteBytes(target, "old");
    ModuleText text = {{"Type T_Type", "Sales", ""},
                       {"    Qty As Integer     '数量 \xF0\x9F\x98\x80", "Sales", "Qty"},
                       {"End Type", "", ""}};
    try {
        SaveModuleFile(target, text);
        ADD_FAILURE() << "no error";
    } catch (const SaveError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("テーブル：Sales"), std::string::npos) << message;
        EXPECT_NE(message.find("フィールド：Qty"), std::string::npos) << message;
        EXPECT_NE(message.find("U+1F600"), std::string::npos) << message;
    }
    EXPECT_EQ(ReadBytes(target), "old");

    // A table name alone, a fixed line, and the module name are named as such.
    ModuleText tableLine = {{"Type \xE2\x82\xAC_Type", "\xE2\x82\xAC", ""}};
    try {
        SaveModuleFile(target, tableLine);
        ADD_FAILURE() << "no error";
    } catch (const SaveError& e) {
        EXPECT_NE(std::string(e.what()).find("テーブル：\xE2\x82\xAC"), std::string::npos)
            << e.what();
        EXPECT_EQ(std::string(e.what()).find("フィールド"), std::string::npos) << e.what();
    }
    try {
        SaveModuleFile(target, {{"ok", "", ""}, {"Public DB\xF0\x9F\x98\x80 As Database", "", ""}});
        ADD_FAILURE() << "no error";
    } catch (const SaveError& e) {
        EXPECT_NE(std::string(e.what()).find("2行目"), std::string::npos) << e.what();
    }
    EXPECT_THROW(SaveModuleFile(dir.File("\xF0\x9F\x98\x80.bas"), Text({"x"})), SaveError);
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"m.bas"}));
}

} // namespace
