// The module text: the whole text for known tables, byte for byte as saved, and the parts
// each option and each kind of field or table adds or leaves out.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "field_table.h"
#include "module_file.h"
#include "module_text.h"
#include "support.h"

using namespace vespen;
using namespace vespentest;
namespace dao = engine::dao;

namespace {

// Table Order Line (No long "line number", Item Code text, Qty_01 to Qty_03 integer) of
// shop.mdb, default options.
const char* const kOrderLineModule =
    R"BAS('***************************************************************
'
'                   　mdb File Record 定義
'
'***************************************************************
Option Compare Text
'
'   ＜宣言及び定義＞
'
Public MYWS As Workspace
Public DBshop As Database
Public RSOrder_Line As Recordset

'
'  ＜レコード領域の定義＞
'
'   Order Lineテーブルの定義
Type Order_Line_Type
    No As Long     'line number
    Item_Code As String
    Qty (1 To 03) As Integer
End Type
Public rOrder_Line As Order_Line_Type

'***************************************************************
'                   　Read Module
'***************************************************************
'
'   Order Lineテーブルから定義領域への読込ルーチン
'
Public Sub Read_Order_Line(RS As Recordset)
    Call Normal_InOut ("GET", RS, "No", rOrder_Line.No, "1", "2")
    Call Normal_InOut ("GET", RS, "Item_Code", rOrder_Line.Item_Code, "1", "1")
    Call Array_InOut ("GET", RS, "Qty", rOrder_Line.Qty, 3, "1", "2")
End Sub


'***************************************************************
'                   　Write Module
'***************************************************************
'
'   定義領域からOrder Lineテーブルへの書込ルーチン
'
Public Sub Write_Order_Line(RS As Recordset)
    Call Normal_InOut ("PUT", RS, "No", rOrder_Line.No, "1", "2")
    Call Normal_InOut ("PUT", RS, "Item_Code", rOrder_Line.Item_Code, "1", "1")
    Call Array_InOut ("PUT", RS, "Qty", rOrder_Line.Qty, 3, "1", "2")
End Sub
'
)BAS";

// Table Item Master (every type code, descriptions, an auto-number, the folding cases) and
// Sub Total (continues a numbered group of Item Master) of a.b.mdb, with every option changed.
const char* const kEveryKindModule =
    R"BAS('***************************************************************
'
'                   　mdb File Record 定義
'
'***************************************************************
Option Compare Text
'
'   ＜宣言及び定義＞
'
Public WS1 As Workspace
Public Dba As Database
Public RsItem__Master As Recordset
Public RsSub__Total As Recordset

'
'  ＜レコード領域の定義＞
'
'   Item Masterテーブルの定義
Type Item__Master_Type
    ID As Long     '番号
    Flag As Boolean
    Small As Byte
    Count As Integer
    Total As Long
    Price As Currency
    Ratio As Single
    Rate As Double
    Made__On As Date
    Raw As Variant
    Name As String     '品名
    Photo As Variant
    Note As String
    Key As Variant
    Big As Variant
    Amount As Long
    A (1 To 02) As String
    B As Long
    A (1 To 03) As String
    _12 As String
    X_1a As Integer
    Cnt (1 To 01) As Integer
End Type
Public recItem__Master As Item__Master_Type
'
'   Sub Totalテーブルの定義
Type Sub__Total_Type
    Cnt (1 To 02) As Integer
    Cnt (1 To 03) As Integer
    Line__Qty (1 To 02) As Integer     'ｻｲｽﾞ　別
End Type
Public recSub__Total As Sub__Total_Type

'***************************************************************
'                   　Read Module
'***************************************************************
'
'   Item Masterテーブルから定義領域への読込ルーチン
'
Public Sub GetItem__Master(RS As Recordset)
    Call Normal_InOut ("GET", RS, "ID", recItem__Master.ID, "1", "2")
    Call Normal_InOut ("GET", RS, "Flag", recItem__Master.Flag, "1", "0")
    Call Normal_InOut ("GET", RS, "Small", recItem__Master.Small, "1", "0")
    Call Normal_InOut ("GET", RS, "Count", recItem__Master.Count, "1", "2")
    Call Normal_InOut ("GET", RS, "Total", recItem__Master.Total, "1", "2")
    Call Normal_InOut ("GET", RS, "Price", recItem__Master.Price, "1", "2")
    Call Normal_InOut ("GET", RS, "Ratio", recItem__Master.Ratio, "1", "2")
    Call Normal_InOut ("GET", RS, "Rate", recItem__Master.Rate, "1", "2")
    Call Normal_InOut ("GET", RS, "Made__On", recItem__Master.Made__On, "1", "0")
    Call Normal_InOut ("GET", RS, "Raw", recItem__Master.Raw, "1", "0")
    Call Normal_InOut ("GET", RS, "Name", recItem__Master.Name, "0", "1")
    Call Normal_InOut ("GET", RS, "Photo", recItem__Master.Photo, "1", "0")
    Call Normal_InOut ("GET", RS, "Note", recItem__Master.Note, "1", "1")
    Call Normal_InOut ("GET", RS, "Key", recItem__Master.Key, "1", "0")
    Call Normal_InOut ("GET", RS, "Big", recItem__Master.Big, "1", "0")
    Call Normal_InOut ("GET", RS, "Amount", recItem__Master.Amount, "1", "2")
    Call Array_InOut ("GET", RS, "A", recItem__Master.A, 2, "1", "1")
    Call Normal_InOut ("GET", RS, "B", recItem__Master.B, "1", "2")
    Call Array_InOut ("GET", RS, "A", recItem__Master.A, 3, "1", "1")
    Call Normal_InOut ("GET", RS, "_12", recItem__Master._12, "1", "1")
    Call Normal_InOut ("GET", RS, "X_1a", recItem__Master.X_1a, "1", "2")
    Call Array_InOut ("GET", RS, "Cnt", recItem__Master.Cnt, 1, "1", "2")
End Sub

'
'   Sub Totalテーブルから定義領域への読込ルーチン
'
Public Sub GetSub__Total(RS As Recordset)
    Call Array_InOut ("GET", RS, "Cnt", recSub__Total.Cnt, 2, "1", "2")
    Call Array_InOut ("GET", RS, "Cnt", recSub__Total.Cnt, 3, "1", "2")
    Call Array_InOut ("GET", RS, "Line__Qty", recSub__Total.Line__Qty, 2, "1", "2")
End Sub


'***************************************************************
'                   　Write Module
'***************************************************************
'
'   定義領域からItem Masterテーブルへの書込ルーチン
'
Public Sub PutItem__Master(RS As Recordset)
    Call Normal_InOut ("PUT", RS, "Flag", recItem__Master.Flag, "1", "0")
    Call Normal_InOut ("PUT", RS, "Small", recItem__Master.Small, "1", "0")
    Call Normal_InOut ("PUT", RS, "Count", recItem__Master.Count, "1", "2")
    Call Normal_InOut ("PUT", RS, "Total", recItem__Master.Total, "1", "2")
    Call Normal_InOut ("PUT", RS, "Price", recItem__Master.Price, "1", "2")
    Call Normal_InOut ("PUT", RS, "Ratio", recItem__Master.Ratio, "1", "2")
    Call Normal_InOut ("PUT", RS, "Rate", recItem__Master.Rate, "1", "2")
    Call Normal_InOut ("PUT", RS, "Made__On", recItem__Master.Made__On, "1", "0")
    Call Normal_InOut ("PUT", RS, "Raw", recItem__Master.Raw, "1", "0")
    Call Normal_InOut ("PUT", RS, "Name", recItem__Master.Name, "0", "1")
    Call Normal_InOut ("PUT", RS, "Photo", recItem__Master.Photo, "1", "0")
    Call Normal_InOut ("PUT", RS, "Note", recItem__Master.Note, "1", "1")
    Call Normal_InOut ("PUT", RS, "Key", recItem__Master.Key, "1", "0")
    Call Normal_InOut ("PUT", RS, "Big", recItem__Master.Big, "1", "0")
    Call Normal_InOut ("PUT", RS, "Amount", recItem__Master.Amount, "1", "2")
    Call Array_InOut ("PUT", RS, "A", recItem__Master.A, 2, "1", "1")
    Call Normal_InOut ("PUT", RS, "B", recItem__Master.B, "1", "2")
    Call Array_InOut ("PUT", RS, "A", recItem__Master.A, 3, "1", "1")
    Call Normal_InOut ("PUT", RS, "_12", recItem__Master._12, "1", "1")
    Call Normal_InOut ("PUT", RS, "X_1a", recItem__Master.X_1a, "1", "2")
    Call Array_InOut ("PUT", RS, "Cnt", recItem__Master.Cnt, 1, "1", "2")
End Sub

'
'   定義領域からSub Totalテーブルへの書込ルーチン
'
Public Sub PutSub__Total(RS As Recordset)
    Call Array_InOut ("PUT", RS, "Cnt", recSub__Total.Cnt, 2, "1", "2")
    Call Array_InOut ("PUT", RS, "Cnt", recSub__Total.Cnt, 3, "1", "2")
    Call Array_InOut ("PUT", RS, "Line__Qty", recSub__Total.Line__Qty, 2, "1", "2")
End Sub
'
)BAS";

std::vector<std::string> Lines(const ModuleText& text) {
    std::vector<std::string> lines;
    for (const ModuleLine& line : text) lines.push_back(line.Text);
    return lines;
}

// The first line of the fixed routines that end every module with a read or a write section.
const char* const kHelpersStart = "'   テーブルのフィールド＜－－＞定義領域（配列）";

// A module split into what its tables and options made and the fixed routines after it (from
// the "'" line before kHelpersStart to the end; empty when there are none).
struct SplitModule {
    std::vector<std::string> body;
    std::vector<std::string> helpers;
};

SplitModule Split(const std::vector<std::string>& lines) {
    const auto start = std::find(lines.begin(), lines.end(), kHelpersStart);
    if (start == lines.end()) return {lines, {}};
    return {std::vector<std::string>(lines.begin(), start - 1),
            std::vector<std::string>(start - 1, lines.end())};
}

// The arguments of a call "Call Name (a, "b, c", ...)" or the parameters of "Public Sub Name
// (...)".
std::vector<std::string> ArgumentsOf(const std::string& line) {
    std::vector<std::string> out;
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return out;
    std::string current;
    bool quoted = false;
    for (char c : line.substr(open + 1, close - open - 1)) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            out.push_back(TrimBlanks(current));
            current.clear();
        } else {
            current += c;
        }
    }
    out.push_back(TrimBlanks(current));
    return out;
}

// The name after "Call " or "Public Sub " up to the blank or parenthesis.
std::string RoutineName(const std::string& line, const std::string& lead) {
    const size_t at = line.find(lead);
    if (at == std::string::npos) return {};
    const size_t begin = at + lead.size();
    return line.substr(begin, line.find_first_of(" (", begin) - begin);
}

void BuildOrderLine(engine::Database& db) {
    AddTable(db, "Order Line",
             {{"No", dao::dbLong, 0, "line number"},
              {"Item Code", dao::dbText, 20},
              {"Qty_01", dao::dbInteger},
              {"Qty_02", dao::dbInteger},
              {"Qty_03", dao::dbInteger}});
}

void BuildEveryKind(engine::Database& db) {
    AddTable(db, "Item Master",
             {{"ID", dao::dbLong, 0, "番号", true},
              {"Flag", dao::dbBoolean},
              {"Small", dao::dbByte},
              {"Count", dao::dbInteger},
              {"Total", dao::dbLong},
              {"Price", dao::dbCurrency},
              {"Ratio", dao::dbSingle},
              {"Rate", dao::dbDouble},
              {"Made On", dao::dbDate},
              {"Raw", dao::dbBinary, 16},
              {"Name", dao::dbText, 20, "品名", false, true},
              {"Photo", dao::dbLongBinary},
              {"Note", dao::dbMemo},
              {"Key", dao::dbGUID},
              {"Big", dao::dbBigInt},
              {"Amount", dao::dbDecimal},
              {"A_01", dao::dbText, 5},
              {"A_02", dao::dbText, 5},
              {"B", dao::dbLong},
              {"A_03", dao::dbText, 5},
              {"_12", dao::dbText, 5},
              {"X_1a", dao::dbInteger},
              {"Cnt_01", dao::dbInteger}});
    AddTable(db, "Sub Total",
             {{"Cnt_02", dao::dbInteger},
              {"Cnt_03", dao::dbInteger},
              {"Line Qty_01", dao::dbInteger, 0, "ｻｲｽﾞ　別"},
              {"Line Qty_02", dao::dbInteger}});
}

GeneratorOptions EveryOptionChanged() {
    GeneratorOptions o;
    o.RecordPrefix = "rec";
    o.ReadPrefix = "Get";
    o.WritePrefix = "Put";
    o.Padding = "__";
    o.WorkspaceName = "WS1";
    o.DatabasePrefix = "Db";
    o.RecordsetPrefix = "Rs";
    return o;
}

class ModuleTextTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        auto shop = Ws().CreateDatabase(dir_->File("shop.mdb"), engine::kLangJapanese);
        BuildOrderLine(*shop);
        shop->Close();
        auto every = Ws().CreateDatabase(dir_->File("a.b.mdb"), engine::kLangJapanese);
        BuildEveryKind(*every);
        every->Close();
        orderLine_ = new FieldTable(ScanTables(Ws(), dir_->File("shop.mdb"), {"Order Line"}));
    }
    static void TearDownTestSuite() {
        delete orderLine_;
        delete dir_;
    }

    static TempDir* dir_;
    static FieldTable* orderLine_;
};

TempDir* ModuleTextTest::dir_ = nullptr;
FieldTable* ModuleTextTest::orderLine_ = nullptr;

TEST_F(ModuleTextTest, OrderLineExampleIsSavedByteForByteInCodePage932WithCrLf) {
    std::string db = dir_->File("shop.mdb");
    std::string target = dir_->File("OrderLine.bas");
    SaveModuleFile(target,
                   BuildModuleText(ScanTables(Ws(), db, {"Order Line"}), db, GeneratorOptions{}));

    const SplitModule built =
        Split(Lines(BuildModuleText(ScanTables(Ws(), db, {"Order Line"}), db, GeneratorOptions{})));
    std::vector<std::string> expected = SplitLines(kOrderLineModule);
    expected.insert(expected.begin(), "Attribute VB_Name = \"OrderLine\"");
    EXPECT_EQ(built.body, std::vector<std::string>(expected.begin() + 1, expected.end()));
    ASSERT_FALSE(built.helpers.empty());
    expected.insert(expected.end(), built.helpers.begin(), built.helpers.end());
    std::string bytes = ReadBytes(target);
    EXPECT_EQ(bytes, ToCp932(WithCrLf(expected)));

    // The banner's ideographic space and the Japanese comments are double-byte code page 932;
    // every line ends in CR LF, the last one blank.
    EXPECT_EQ(bytes.rfind("Attribute VB_Name = \"OrderLine\"\r\n'****", 0), 0u);
    EXPECT_NE(bytes.find("'                   \x81\x40mdb File Record \x92\xE8\x8B\x60\r\n"),
              std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 11), "End Sub\r\n\r\n");
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
    }
}

TEST_F(ModuleTextTest, EverySectionForEveryFieldKindWithEveryOptionChanged) {
    std::string db = dir_->File("a.b.mdb");
    FieldTable rows = ScanTables(Ws(), db, {"Item Master", "Sub Total"});
    EXPECT_EQ(Split(Lines(BuildModuleText(rows, db, EveryOptionChanged()))).body,
              SplitLines(kEveryKindModule));
}

// The fixed routines close every module that reads or writes, the same whatever the tables and
// options, and every call the sections make names one of them with its parameters.
TEST_F(ModuleTextTest, EveryCallNamesAFixedRoutineWithItsParameters) {
    const std::string everyDb = dir_->File("a.b.mdb");
    const std::vector<std::vector<std::string>> modules = {
        Lines(BuildModuleText(*orderLine_, "/d/shop.mdb", GeneratorOptions{})),
        Lines(BuildModuleText(ScanTables(Ws(), everyDb, {"Item Master", "Sub Total"}), everyDb,
                              EveryOptionChanged())),
    };
    const std::vector<std::string> helpers = Split(modules[0]).helpers;
    ASSERT_FALSE(helpers.empty());
    EXPECT_EQ(helpers.front(), "'");
    EXPECT_EQ(helpers.back(), "") << "the module ends in a blank line";
    std::map<std::string, size_t> parameters;
    for (const std::string& line : helpers) {
        const std::string name = RoutineName(line, "Public Sub ");
        if (!name.empty()) {
            EXPECT_TRUE(parameters.emplace(name, ArgumentsOf(line).size()).second) << name;
        }
    }
    EXPECT_EQ(parameters.size(), 2u);
    // Each routine reads on "GET" and writes otherwise ("PUT").
    EXPECT_EQ(std::count_if(
                  helpers.begin(), helpers.end(),
                  [](const std::string& l) { return l.find("Case \"GET\"") != std::string::npos; }),
              2);

    for (const auto& module : modules) {
        const SplitModule split = Split(module);
        EXPECT_EQ(split.helpers, helpers);
        int calls = 0;
        for (const std::string& line : split.body) {
            const std::string name = RoutineName(line, "Call ");
            if (name.empty()) continue;
            ++calls;
            ASSERT_TRUE(parameters.count(name)) << line;
            const std::vector<std::string> arguments = ArgumentsOf(line);
            EXPECT_EQ(arguments.size(), parameters[name]) << line;
            EXPECT_TRUE(arguments[0] == "\"GET\"" || arguments[0] == "\"PUT\"") << line;
            EXPECT_EQ(arguments[1], "RS") << line;
        }
        EXPECT_GT(calls, 0);
    }
}

TEST_F(ModuleTextTest, EmptyPrefixesLeaveOutTheirSections) {
    const std::string db = "/data/shop.mdb";
    struct Case {
        const char* name;
        void (*change)(GeneratorOptions&);
        std::vector<std::string> expectedRun; // consecutive lines the module holds
        std::vector<std::string> absent;      // lines it must not hold
        std::string lastLine;
    };
    const std::string stars = "'" + std::string(63, '*');
    const std::vector<Case> cases = {
        {"no declarations",
         [](GeneratorOptions& o) { o.WorkspaceName = o.DatabasePrefix = o.RecordsetPrefix = ""; },
         {"Option Compare Text", "'", "'  ＜レコード領域の定義＞"},
         {"'   ＜宣言及び定義＞"},
         ""},
        {"blank-only names count as empty",
         [](GeneratorOptions& o) {
             o.WorkspaceName = o.DatabasePrefix = o.RecordsetPrefix = "   ";
         },
         {"Option Compare Text", "'", "'  ＜レコード領域の定義＞"},
         {"'   ＜宣言及び定義＞"},
         ""},
        {"workspace only",
         [](GeneratorOptions& o) { o.DatabasePrefix = o.RecordsetPrefix = ""; },
         {"'   ＜宣言及び定義＞", "'", "Public MYWS As Workspace", "'",
          "'  ＜レコード領域の定義＞"},
         {"Public DBshop As Database", "Public RSOrder_Line As Recordset"},
         ""},
        {"database only",
         [](GeneratorOptions& o) { o.WorkspaceName = o.RecordsetPrefix = ""; },
         {"'", "Public DBshop As Database", "'", "'  ＜レコード領域の定義＞"},
         {"Public MYWS As Workspace"},
         ""},
        {"recordsets only",
         [](GeneratorOptions& o) { o.WorkspaceName = o.DatabasePrefix = ""; },
         {"'", "Public RSOrder_Line As Recordset", "", "'"},
         {"Public MYWS As Workspace", "Public DBshop As Database"},
         ""},
        {"no routines",
         [](GeneratorOptions& o) { o.ReadPrefix = o.WritePrefix = ""; },
         {"End Type", "Public rOrder_Line As Order_Line_Type"},
         {"End Sub", "'                   　Read Module", "'                   　Write Module"},
         "Public rOrder_Line As Order_Line_Type"},
        {"read routines only",
         [](GeneratorOptions& o) { o.WritePrefix = ""; },
         {"End Sub", "", "'", "'   テーブルのフィールド＜－－＞定義領域（配列）"},
         {"'                   　Write Module"},
         ""},
        {"write routines only",
         [](GeneratorOptions& o) { o.ReadPrefix = ""; },
         {"Public rOrder_Line As Order_Line_Type", "", stars, "'                   　Write Module",
          stars},
         {"'                   　Read Module", "Public Sub Read_Order_Line(RS As Recordset)"},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GeneratorOptions options;
        c.change(options);
        std::vector<std::string> lines = Lines(BuildModuleText(*orderLine_, db, options));
        auto run =
            std::search(lines.begin(), lines.end(), c.expectedRun.begin(), c.expectedRun.end());
        EXPECT_NE(run, lines.end());
        for (const std::string& line : c.absent)
            EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 0) << line;
        EXPECT_EQ(lines.back(), c.lastLine);
    }
}

TEST_F(ModuleTextTest, StatusTextsFollowTheSectionsBuilt) {
    std::vector<std::string> shown;
    auto record = [&](const std::string& s) { shown.push_back(s); };
    BuildModuleText(*orderLine_, "/d/shop.mdb", GeneratorOptions{}, record);
    EXPECT_EQ(shown, (std::vector<std::string>{kStatusTypes, kStatusRead, kStatusWrite,
                                               kStatusGenerated}));

    shown.clear();
    GeneratorOptions noRead;
    noRead.ReadPrefix = "";
    BuildModuleText(*orderLine_, "/d/shop.mdb", noRead, record);
    EXPECT_EQ(shown, (std::vector<std::string>{kStatusTypes, kStatusWrite, kStatusGenerated}));
}

TEST(ModuleTextRows, TablesWhosePaddedNamesMeetKeepTheirOwnBlocks) {
    FieldTable rows = {{"Order Line", "No", "4", "", "00", "1", "1", "2"},
                       {"Order_Line", "No", "4", "", "00", "1", "1", "2"}};
    std::vector<std::string> lines = Lines(BuildModuleText(rows, "/d/x.mdb", GeneratorOptions{}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Type Order_Line_Type"), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Public Sub Read_Order_Line(RS As Recordset)"),
              2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "'   Order Lineテーブルの定義"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "'   Order_Lineテーブルの定義"), 1);
}

TEST(ModuleTextRows, DescriptionWithLineBreaksStaysOneCommentLine) {
    FieldTable rows = {{"T", "F", "10", "first\r\nsecond\nthird", "00", "2", "1", "1"}};
    std::vector<std::string> lines = Lines(BuildModuleText(rows, "/d/x.mdb", GeneratorOptions{}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "    F As String     'first second third"), 1);
}

TEST(ModuleTextRows, AutoNumberIsReadButNeverWritten) {
    FieldTable rows = {{"T", "ID", "4", "", "00", "17", "1", "2"},
                       {"U", "ID", "4", "", "00", "17", "1", "2"}};
    std::vector<std::string> lines = Lines(BuildModuleText(rows, "/d/x.mdb", GeneratorOptions{}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "    ID As Long"), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "    Call Normal_InOut (\"GET\", RS, \"ID\", rT.ID, \"1\", \"2\")"),
              1);
    // Each table keeps its (empty) write routine.
    auto write = std::find(lines.begin(), lines.end(), "Public Sub Write_T(RS As Recordset)");
    ASSERT_NE(write, lines.end());
    EXPECT_EQ(*(write + 1), "End Sub");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Public Sub Write_U(RS As Recordset)"), 1);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.find("\"PUT\"") != std::string::npos; }),
        0);
}

TEST(ModuleTextRows, FoldedRowsAppearNowhere) {
    FieldTable rows = {{"T", "Q_01", "3", "", "02", "1", "1", "2"},
                       {"!T", "Q_02", "3", "", "02", "1", "1", "2"}};
    std::vector<std::string> lines = Lines(BuildModuleText(rows, "/d/x.mdb", GeneratorOptions{}));
    for (const std::string& line : lines) EXPECT_EQ(line.find("Q_02"), std::string::npos) << line;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "    Q (1 To 02) As Integer"), 1);
}

TEST(PadBlanks, ReplacesEachAsciiBlankOnce) {
    struct Case {
        const char* text;
        const char* padding;
        const char* expected;
    } cases[] = {
        {"Order Line", "_", "Order_Line"},
        {"a  b ", "_", "a__b_"},
        {"a b", "", "ab"},
        {"a b c", " x ", "a x b x c"}, // a padding holding blanks still ends
        {"a b", "  ", "a  b"},
        {"全角　空白", "_", "全角　空白"},
        {"品 名", "＿", "品＿名"},
        {"", "_", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PadBlanks(c.text, c.padding), c.expected) << c.text << "|" << c.padding;
}

TEST(DatabaseBaseName, CutsFolderAndEverythingFromTheFirstDot) {
    EXPECT_EQ(DatabaseBaseName("/data/shop.old.mdb"), "shop");
    EXPECT_EQ(DatabaseBaseName("shop.mdb"), "shop");
    EXPECT_EQ(DatabaseBaseName("  /a.d/b c.mdb  "), "b c");
    EXPECT_EQ(DatabaseBaseName("/data/.mdb"), "");
    EXPECT_EQ(DatabaseBaseName("/data/noext"), "noext");
}

} // namespace
