// The command line: arguments, messages and exit status, and the module it writes.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "command_line.h"
#include "engine/testing/crafted_files.h"
#include "support.h"

using namespace vespen;
using namespace vespentest;
namespace dao = engine::dao;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = RunCommandLine(Ws(), args, out, err);
    return {status, out.str(), err.str()};
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_ = dir_.File("shop.mdb");
        auto db = Ws().CreateDatabase(db_, engine::kLangJapanese);
        AddTable(*db, "Zone", {{"Code", dao::dbText, 4}});
        AddTable(*db, "Order Line",
                 {{"No", dao::dbLong}, {"Qty_01", dao::dbInteger}, {"Qty_02", dao::dbInteger}});
        AddTable(*db, "Customer", {{"Name", dao::dbText, 20, "氏名"}});
        db->Close();
        out_ = dir_.File("out.bas");
    }

    std::vector<std::string> Module() { return SplitLines(FromCp932(ReadBytes(out_)), "\r\n"); }

    TempDir dir_;
    std::string db_;
    std::string out_;
};

TEST_F(CommandLineTest, HelpDescribesEveryOptionAndWritesNothing) {
    Outcome r = RunCli({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* option :
         {"--db", "--out", "--tables", "--record-prefix", "--read-prefix", "--write-prefix",
          "--padding", "--workspace", "--database-prefix", "--recordset-prefix", "--version"})
        EXPECT_TRUE(Contains(r.out, option)) << option;
    EXPECT_TRUE(Contains(r.out, "ウィンドウ")) << "help says it writes what the window saves";
    EXPECT_TRUE(r.err.empty());
}

TEST_F(CommandLineTest, BadArgumentsExitTwoWithAMessageAndWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--db", db_}, "--out"},
        {{"--out", out_}, "--db"},
        {{"--db", db_, "--out"}, "--out の値がありません"},
        {{"--db", db_, "--out", out_, "--colour", "red"}, "--colour"},
        {{"--db", db_, "--db", db_, "--out", out_}, "二度"},
        {{"--db", db_, "--out", out_, "--tables", " , "}, "--tables"},
        {{"--db", dir_.File("shop.txt"), "--out", out_}, ".mdbファイルを選択して下さい"},
        {{"--db", dir_.File("shop.Mdb"), "--out", out_}, ".mdbファイルを選択して下さい"},
    };
    for (const Case& c : cases) {
        Outcome r = RunCli(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    }
    EXPECT_FALSE(fs::exists(out_));
}

TEST_F(CommandLineTest, DatabaseAndTableFaultsExitOne) {
    Outcome missing = RunCli({"--db", dir_.File("none.mdb"), "--out", out_});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.err, "3024")) << missing.err;

    Outcome unknown = RunCli({"--db", db_, "--tables", "Zone,Nothing,Other", "--out", out_});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(Contains(unknown.err, "Nothing, Other")) << unknown.err;

    WriteBytes(dir_.File("junk.mdb"), "not a database at all, just text");
    Outcome junk = RunCli({"--db", dir_.File("junk.mdb"), "--out", out_});
    EXPECT_EQ(junk.status, 1);
    EXPECT_TRUE(Contains(junk.err, "3343")) << junk.err;

    auto empty = Ws().CreateDatabase(dir_.File("empty.mdb"), engine::kLangJapanese);
    empty->Close();
    Outcome none = RunCli({"--db", dir_.File("empty.mdb"), "--out", out_});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(Contains(none.err, "該当するテーブルがありません。")) << none.err;
    EXPECT_FALSE(fs::exists(out_));

    Outcome unwritable = RunCli({"--db", db_, "--out", dir_.File("no/such/out.bas")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(Contains(unwritable.err, dir_.File("no/such/out.bas"))) << unwritable.err;
}

// Files another program crafted: exit 1 with the engine's refusal and its reason, having read
// none of an endless catalog, and never the C++ library's own text.
TEST_F(CommandLineTest, CraftedFilesExitOneWithTheEnginesReason) {
    craftedfiles::RowCounter counter;
    const std::string tooManyFields =
        "INSERT INTO MSysColumns SELECT 'T', 'C' || i, i + 2, 4, 4, 1, 0, 0, '' FROM (" +
        craftedfiles::kEndless + "SELECT i FROM n LIMIT 254)";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"mark.mdb", "UPDATE MSysDatabase SET Value = NULL WHERE Key = 'Format'"},
        {"endless.mdb", "DROP TABLE MSysTables; CREATE VIEW MSysTables AS " +
                            craftedfiles::kEndless +
                            "SELECT 'T' || i AS Name, 1 AS NextAutoNumber FROM n WHERE test_row()"},
        {"fields.mdb", tooManyFields},
    };
    for (const auto& [name, sql] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir_.File(name);
        craftedfiles::MakeCraftedFile(path, sql);
        craftedfiles::RowsRead() = 0;
        Outcome crafted = RunCli({"--db", path, "--out", out_});
        EXPECT_EQ(crafted.status, 1);
        EXPECT_EQ(crafted.err.rfind("vespen: Error; 3343 データベース形式 '" + path +
                                        "' を認識できません。 (",
                                    0),
                  0u)
            << crafted.err;
        EXPECT_EQ(craftedfiles::RowsRead(), 0);
        EXPECT_FALSE(fs::exists(out_));
    }
}

TEST_F(CommandLineTest, ChosenTablesFollowTheListOrderWhateverTheArgumentOrder) {
    ASSERT_EQ(RunCli({"--db", db_, "--tables", "zone, order line", "--out", out_}).status, 0);
    std::vector<std::string> lines = Module();
    auto orderLine = std::find(lines.begin(), lines.end(), "'   Order Lineテーブルの定義");
    auto zone = std::find(lines.begin(), lines.end(), "'   Zoneテーブルの定義");
    ASSERT_NE(orderLine, lines.end());
    ASSERT_NE(zone, lines.end());
    EXPECT_LT(orderLine, zone);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "'   Customerテーブルの定義"), lines.end());
    EXPECT_EQ(lines.front(), "Attribute VB_Name = \"out\"");
}

TEST_F(CommandLineTest, OptionsShapeTheModuleAndAreTrimmed) {
    ASSERT_EQ(RunCli({"--db", db_, "--tables=Order Line", "--record-prefix", " g ",
                      "--read-prefix=", "--write-prefix", "Save", "--padding", "", "--workspace",
                      "", "--database-prefix", "", "--recordset-prefix", "", "--out", out_})
                  .status,
              0);
    std::vector<std::string> lines = Module();
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("Public gOrderLine As OrderLine_Type"));
    EXPECT_TRUE(has("Public Sub SaveOrderLine(RS As Recordset)"));
    EXPECT_TRUE(
        has("    Call Array_InOut (\"PUT\", RS, \"Qty\", gOrderLine.Qty, 2, \"1\", \"2\")"));
    EXPECT_FALSE(has("'                   　Read Module"));
    EXPECT_FALSE(has("'   ＜宣言及び定義＞"));
}

TEST_F(CommandLineTest, TheProgramRunsTheCommandLineWithoutADisplay) {
    ProcessResult help = RunVespen({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Contains(help.out, "--db"));

    ProcessResult version = RunVespen({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("Vespen [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;
    EXPECT_TRUE(version.err.empty()) << version.err;

    ProcessResult bad = RunVespen({"--db", db_});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(Contains(bad.err, "--out")) << bad.err;

    ProcessResult ok = RunVespen({"--db", db_, "--out", out_});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    std::vector<std::string> lines = Module();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Attribute VB_Name = \"out\"");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "    Name As String     '氏名"), lines.end());
    EXPECT_EQ(lines.back(), "");
}

} // namespace
