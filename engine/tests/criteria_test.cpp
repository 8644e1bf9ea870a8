// Conditions as the engine runs them: each one selects records of a small table through a
// recordset over "SELECT * FROM [T] WHERE ...", and the records it selects are the ones Jet
// selects; faults are refused with Jet's numbers. The tokenizer, the Like matcher and the
// statement parser are checked on their own below.
#include "conditions/criteria.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/recordset.h"
#include "engine/tabledef.h"
#include "engine/testing/test_support.h"
#include "engine/variant.h"

namespace engine::detail {
namespace {

using enginetest::AddField;
using enginetest::ErrorOf;
using enginetest::TempDir;
using enginetest::Ws;

// T: four records of every kind of field a condition meets; D: one date field for the dates'
// own cases.
class Conditions : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        db_ = Ws().CreateDatabase(dir_->File("conditions.mdb"), kLangJapanese);
        TableDefPtr t = db_->CreateTableDef("T");
        AddField(t, "id", dao::dbLong);
        AddField(t, "FLD01", dao::dbLong);
        for (const char* text : {"FLD02", "FLD03", "FLD05"})
            AddField(t, text, dao::dbText, 20)->SetAllowZeroLength(true);
        AddField(t, "FLD08", dao::dbLong);
        AddField(t, "Price", dao::dbCurrency);
        AddField(t, "Born", dao::dbDate);
        AddField(t, "Flag", dao::dbBoolean);
        AddField(t, "お名前", dao::dbText, 20);
        AddField(t, "my field", dao::dbText, 20);
        AddField(t, "Memo", dao::dbMemo);
        db_->TableDefs().Append(t);
        TableDefPtr d = db_->CreateTableDef("D");
        AddField(d, "id", dao::dbLong);
        AddField(d, "Born", dao::dbDate);
        db_->TableDefs().Append(d);

        const Variant null = Variant::Null();
        const double day = DateSerial(2024, 1, 31); // row 2 holds the same day at 10:20:30
        const std::vector<std::vector<Variant>> rows = {
            {Variant::Long(1), Variant::Long(1), Variant("x"), Variant("(ｵｰﾄﾅﾝﾊﾞ-)"), Variant("x"),
             Variant::Long(3), Variant::CurrencyScaled(15000), Variant::Date(day),
             Variant::Boolean(true), Variant("山田"), Variant("A"), Variant("hello world")},
            {Variant::Long(2), Variant::Long(5), Variant("X"), Variant("ﾃｷｽﾄ"), Variant(""),
             Variant::Long(2), Variant::CurrencyScaled(100000),
             Variant::Date(day + TimeSerial(10, 20, 30)), Variant::Boolean(false), Variant("佐藤"),
             Variant("b"), null},
            {Variant::Long(3), Variant::Long(7), Variant("Apple"), Variant("Text"), null,
             Variant::Long(1), null, Variant::Date(DateSerial(2023, 3, 15)),
             Variant::Boolean(false), null, Variant("a b"), Variant("O'Brien")},
            {Variant::Long(4), Variant::Long(10), null, Variant("(ｵｰﾄﾅﾝﾊﾞ-)"), Variant("02"),
             Variant::Long(4), Variant::CurrencyScaled(0), null, Variant::Boolean(true),
             Variant("山田太郎"), null, Variant("50%")},
        };
        RecordsetPtr rs = db_->OpenRecordset("T");
        for (const auto& row : rows) {
            rs->AddNew();
            for (size_t i = 0; i < row.size(); ++i) rs->SetValue(i, row[i]);
            rs->Update();
        }
        rs->Close();
        rs = db_->OpenRecordset("D");
        rs->AddNew();
        rs->SetValue("id", Variant::Long(1));
        rs->Update();
        rs->Close();
    }
    static void TearDownTestSuite() {
        db_->Close();
        db_.reset();
        dir_.reset();
    }

    // The ids of the records of table the condition selects.
    static std::vector<int> Rows(const std::string& condition, const char* table = "T") {
        RecordsetPtr rs = db_->OpenRecordset(std::string("SELECT * FROM [") + table + "] WHERE " +
                                                 condition + " ORDER BY id",
                                             RecordsetType::Snapshot);
        std::vector<int> ids;
        for (; !rs->Eof(); rs->MoveNext())
            ids.push_back(static_cast<int>(rs->Value("id").IntValue()));
        rs->Close();
        return ids;
    }

    // The number of the engine error the condition is refused with, 0 when it runs.
    static long Refusal(const std::string& condition, std::string* description = nullptr) {
        try {
            Rows(condition);
        } catch (const Error& e) {
            if (description) *description = e.Description();
            return e.Number();
        }
        return 0;
    }

    static void SetDate(double ole) {
        RecordsetPtr rs = db_->OpenRecordset("D");
        rs->Edit();
        rs->SetValue("Born", Variant::Date(ole));
        rs->Update();
        rs->Close();
    }

    static std::unique_ptr<TempDir> dir_;
    static DatabasePtr db_;
};

std::unique_ptr<TempDir> Conditions::dir_;
DatabasePtr Conditions::db_;

const std::vector<int> kAll = {1, 2, 3, 4};

TEST_F(Conditions, SelectTheRecordsJetSelects) {
    struct Case {
        const char* condition;
        std::vector<int> rows;
    };
    const Case cases[] = {
        // The criteria of the system's own FindFirst calls, blanks as written.
        {"FLD01= 5", {2}},
        {"FLD01 >= 5", {2, 3, 4}},
        {"FLD02 = 'x'", {1, 2}},
        {"FLD02 =  'x'", {1, 2}},
        {"FLD03 = '(ｵｰﾄﾅﾝﾊﾞ-)'", {1, 4}},
        {"FLD05 =  'x'", {1}},
        {"FLD08 = 3", {1}},
        {"FLD08= 3", {1}},
        // Text ignores the case of ASCII letters; Null never compares.
        {"FLD02 = \"APPLE\"", {3}},
        {"'X' = FLD02", {1, 2}},
        {"FLD02 <> 'x'", {3}},
        {"FLD02 < 'B'", {3}},
        {"fld01 = 7", {3}},
        {"FLD05 = ''", {2}},
        // Like.
        {"FLD02 Like 'a*'", {3}},
        {"FLD02 Like '?'", {1, 2}},
        {"FLD02 Not Like 'a*'", {1, 2}},
        {"Memo Like '*O W*'", {1}},
        {"Memo Like '#0[%]'", {4}},
        {"FLD01 Like '1*'", {1, 4}},
        {"Price Like '1.5'", {1}},
        {"Born Like '2024/01/31*'", {1, 2}},
        // Dates in the forms Jet reads.
        {"Born = #2024/01/31#", {1}},
        {"Born >= #2024-01-31#", {1, 2}},
        {"Born = #2024/1/31 10:20:30#", {2}},
        {"Born = #1/31/2024#", {1}},
        {"Born = #1/31/24 10:20:30 AM#", {2}},
        {"Born < #2024/01/01#", {3}},
        // Booleans, Null tests, ranges and lists.
        {"Flag = True", {1, 4}},
        {"Flag = False", {2, 3}},
        {"Flag", {1, 4}},
        {"Not Flag", {2, 3}},
        {"FLD05 Is Null", {3}},
        {"FLD05 is not null", {1, 2, 4}},
        {"FLD01 Between 2 And 7", {2, 3}},
        {"FLD01 Not Between 2 And 7", {1, 4}},
        {"FLD02 Between 'a' And 'B'", {3}},
        {"FLD01 In (1, 7)", {1, 3}},
        {"FLD01 Not In (1, 7)", {2, 4}},
        {"FLD02 In ('APPLE', 'z')", {3}},
        {"Price = 1.5", {1}},
        {"Price > 1 And Price < 11", {1, 2}},
        // Numbers beyond a Long, with a fraction or an exponent, keep their value.
        {"FLD01 < 3000000000", kAll},
        {"FLD01 > -2147483648", kAll},
        {"FLD01 In (1.5, 1E1, Null)", {4}},
        {"FLD01 = 1E1", {4}},
        {"FLD01 + 0.5 = 7.5", {3}},
        // Logic and its precedence: Not below comparison, And above Or.
        {"Not FLD01 = 1", {2, 3, 4}},
        {"FLD01 = 1 Or FLD01 = 5 And FLD02 = 'Apple'", {1}},
        {"(FLD01 = 1 Or FLD01 = 5) And FLD02 = 'X'", {1, 2}},
        {"((((FLD01 = 7))))", {3}},
        {"FLD01 = 1 Xor FLD08 = 2", {1, 2}},
        {"FLD01 >= 5 Eqv FLD08 <= 2", {1, 2, 3}},
        {"FLD01 = 1 Imp FLD08 = 4", {2, 3, 4}},
        // Concatenation: Null joins as "", numbers in their text form.
        {"FLD02 & FLD05 = 'xx'", {1}},
        {"FLD02 & FLD05 = 'Apple'", {3}},
        {"FLD01 & '' = '5'", {2}},
        {"Price & '' = '10'", {2}},
        {"FLD02 + FLD05 = 'xX'", {1}},
        // Arithmetic.
        {"FLD01 = -5 + 10", {2}},
        {"FLD01 * 2 = 14", {3}},
        {"FLD01 / 2 = 3.5", {3}},
        {"FLD01 \\ 2 = 3", {3}},
        {"FLD01 Mod 3 = 1", {1, 3, 4}},
        {"2 ^ FLD01 = 128", {3}},
        // Names: bracketed with blanks, Japanese, qualified by the table.
        {"[my field] = 'A B'", {3}},
        {"お名前 = '山田'", {1}},
        {"お名前 Like '山田*'", {1, 4}},
        {"[T].[FLD01] = 7", {3}},
        {"T.FLD01 = 7", {3}},
        {"\tFLD01\r\n=\t7 ", {3}},
        // Quotes inside strings stay inside the value.
        {"Memo = 'O''Brien'", {3}},
        {"Memo = \"O'Brien\"", {3}},
        {"FLD02 = 'x'' Or 1=1 --'", {}},
        {"FLD02 = \"x\"\" Or \"\"1\"\"=\"\"1\"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Rows(c.condition), c.rows) << c.condition;
}

// Expressions without fields hold for every record or for none; their values follow Jet's
// arithmetic and text forms.
TEST_F(Conditions, ExpressionsFollowJetArithmetic) {
    const char* const holding[] = {
        "7 / 2 = 3.5",
        "7 \\ 2 = 3",
        "-7 \\ 2 = -3",
        "2.5 \\ 1 = 2", // operands round half to even before dividing
        "3.5 \\ 1 = 4",
        "(7 \\ 0) Is Null",
        "7 Mod 3 = 1",
        "-7 Mod 3 = -1",
        "5.5 Mod 2 = 0",
        "2 ^ 10 = 1024",
        "-2 ^ 2 = -4",
        "2 ^ -1 = 0.5",
        "2 ^ 3 ^ 2 = 64",
        "3 + 4 * 2 = 11",
        "(3 + 4) * 2 = 14",
        "10 - 2 - 3 = 5",
        "1 + 2 & 3 = '33'",
        "'a' & Null & 1 = 'a1'",
        "1.5 & '' = '1.5'",
        "1E20 & '' = '1E+20'",
        "#2024/01/31# & '' = '2024/01/31'",
        "#2024/01/31 9:05:03# & '' = '2024/01/31 9:05:03'",
        "#10:20:30 PM# & '' = '22:20:30'",
        "'ab' + 'cd' = 'abcd'",
        "(Null + 1) Is Null",
        "True = -1",
        "- -5 = 5",
    };
    for (const char* condition : holding) EXPECT_EQ(Rows(condition), kAll) << condition;
    for (const char* condition : {"7 / 2 = 3", "1 + 2 & 3 = 6", "Null = Null", "2 ^ 10 = 1025"})
        EXPECT_TRUE(Rows(condition).empty()) << condition;
}

TEST_F(Conditions, ADateJoinedAsTextReadsAsCStrWritesIt) {
    struct Case {
        const char* literal;
        double ole;
    };
    const Case cases[] = {
        {"1899/12/30", DateSerial(1899, 12, 30)},
        {"1899/12/30 12:00:00", DateSerial(1899, 12, 30) + TimeSerial(12, 0, 0)},
        {"1899/12/29", DateSerial(1899, 12, 29)},
        {"1899/12/29 6:00:00",
         DateSerial(1899, 12, 29) - TimeSerial(6, 0, 0)}, // the time runs forward
        {"1900/01/01 0:00:01", DateSerial(1900, 1, 1) + TimeSerial(0, 0, 1)},
        {"2024/01/31", DateSerial(2024, 1, 31)},
        {"9999/12/31 23:59:59", DateSerial(9999, 12, 31) + TimeSerial(23, 59, 59)},
    };
    const std::vector<int> one = {1};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.literal);
        const std::string host = CStr(Variant::Date(c.ole));
        SetDate(c.ole);
        EXPECT_EQ(Rows("Born = #" + std::string(c.literal) + "#", "D"), one);
        EXPECT_EQ(Rows("#" + std::string(c.literal) + "# & '' = '" + host + "'", "D"), one);
        EXPECT_EQ(Rows("Born & '' = '" + host + "'", "D"), one);
    }
    EXPECT_EQ(CStr(Variant::Date(0)), "0:00:00");
}

TEST_F(Conditions, UnknownFieldsAreRefusedWith3061NamingThem) {
    std::string description;
    EXPECT_EQ(Refusal("FLD01 = 1 And Nosuch = 2", &description), 3061);
    EXPECT_NE(description.find("Nosuch"), std::string::npos) << description;
    EXPECT_EQ(Refusal("[No such] = 1"), 3061);
    // The whole text is parsed before any name is resolved, as Jet does.
    EXPECT_EQ(Refusal("Nosuch = x'00'"), 3075);
}

TEST_F(Conditions, MalformedAndHostileInputIsRefusedWith3075) {
    const std::string cases[] = {
        "FLD01 = 1; DROP TABLE T",
        "FLD01 = 1 --",
        "FLD01 = 1 /* */",
        "FLD02 = 'x",
        "FLD02 = \"x",
        "FLD02 = 'x' ''",
        "[FLD01 = 1",
        "FLD01 = [x",
        "[] = 1",
        "Born = #2024/13/45#",
        "Born = #2024/02/30#",
        "Born = #2024/01/31",
        "Born = #1/2#",
        "Born = #25:00#",
        "Born = #Jan 1 2024#",
        "FLD01 = 1)",
        "(FLD01 = 1",
        "()",
        "FLD01 ==",
        "FLD01 =< 1",
        "FLD01 != 1",
        "FLD01 = 1 UNION SELECT * FROM T",
        "FLD01 = DROP",
        "FLD02 = x'00'",
        "FLD01 IN ()",
        "FLD01 IN 1",
        "FLD01 BETWEEN 1",
        "FLD01 BETWEEN 1 AND",
        "FLD01 Is 1",
        "Not",
        "FLD01 = 1 Not",
        "FLD01 = 1 And",
        "Or FLD01 = 1",
        "   ",
        "FLD01 = 1 FLD01 = 2",
        "FLD01 = 1.2.3",
        "FLD01 = 1E",
        "FLD01 = 1E+",
        "FLD01 = 5And",
        "FLD01 = 1E999",
        "FLD01 * * 2",
        "FLD01 = (1, 2)",
        "FLD01 = 1, 2",
        "FLD01 = ?",
        "FLD01 = :x",
        "FLD01 = @x",
        "FLD01 = $x",
        "FLD01 = !x",
        "Len(FLD02) = 1",
        "T.FLD01.x = 1",
        "FLD01\xE3\x80\x80= 1",            // full-width space
        std::string("FLD01 = 1\0", 10),    // NUL
        std::string("FLD02 = 'a\0b'", 13), // NUL inside a string
        "FLD02 = '\xff'",                  // broken UTF-8
        "FLD02 = '\xe3\x81'",              // truncated sequence
        "FLD02 = '\xc0\xaf'",              // overlong encoding
        "FLD02 Like '[a'",                 // unterminated class
        "FLD02 Like '[z-a]'",              // reversed range
    };
    for (const auto& text : cases) EXPECT_EQ(Refusal(text), 3075) << "[" << text << "]";
    // Nothing of the above reached the table.
    EXPECT_EQ(Rows("id > 0"), kAll);
}

TEST_F(Conditions, TheRefusalQuotesTheConditionShortAndPrintable) {
    std::string description;
    ASSERT_EQ(Refusal("FLD01 = 1 FLD01 = 2", &description), 3075);
    EXPECT_NE(description.find("FLD01 = 1 FLD01 = 2"), std::string::npos) << description;
    ASSERT_EQ(Refusal("Born = #2024/13/45#", &description), 3075);
    EXPECT_NE(description.find("#2024/13/45#"), std::string::npos) << description;
    std::string huge = "FLD02 = '\x01" + std::string(100000, 'x');
    ASSERT_EQ(Refusal(huge, &description), 3075);
    EXPECT_LT(description.size(), 1000u);
    EXPECT_EQ(description.find('\x01'), std::string::npos);
}

TEST_F(Conditions, HostileNestingIsRefusedWithoutExhaustingTheStack) {
    auto nested = [](const std::string& open, const std::string& inner, const std::string& close,
                     int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += open;
        s += inner;
        for (int i = 0; i < n; ++i) s += close;
        return s;
    };
    const std::string cases[] = {
        nested("(", "FLD01 = 1", ")", 10000),
        std::string(1 << 20, '('),
        nested("Not ", "Flag", "", 10000),
        nested("-", "1", "", 10000),
        nested("", "FLD01 = 1", " Or FLD01 = 1", 5000),
        nested("FLD01 In (", "1", ")", 10000),
        "FLD01 = 2" + nested("", "", " ^ 2", 5000),
    };
    for (const auto& text : cases) EXPECT_EQ(Refusal(text), 3075) << text.substr(0, 40);
}

TEST_F(Conditions, LongRunsOfOneOperatorStillRun) {
    std::string ors = "FLD01 = 7";
    for (int i = 0; i < 500; ++i) ors += " Or FLD01 = 7";
    EXPECT_EQ(Rows(ors), std::vector<int>{3});

    std::string concat = "FLD02";
    for (int i = 0; i < 300; ++i) concat += " & ''";
    EXPECT_EQ(Rows(concat + " = 'apple'"), std::vector<int>{3});

    std::string list = "FLD01 In (0";
    for (int i = 0; i < 5000; ++i) list += ", " + std::to_string(100 + i);
    EXPECT_EQ(Rows(list + ", 10)"), std::vector<int>{4});
}

// SQLite's parser has a small fixed stack: a condition nested too deeply for it is refused with
// 3075 like any other; one that is taken runs and selects its records.
TEST_F(Conditions, EveryAcceptedNestingRuns) {
    struct Shape {
        const char* open;
        const char* inner;
        const char* close;
        int leastAccepted; // nesting that must still be accepted
    };
    const Shape shapes[] = {
        {"FLD01 = 1 Or (", "FLD01 = 7", ")", 20},
        {"FLD02 & (", "FLD02", ")", 15},
        {"Not (", "Flag", ")", 30},
        {"Flag Xor (", "Flag", ")", 12},
        {"Flag Imp (", "Flag", ")", 20},
        {"(FLD01 = 1) = (", "Flag", ")", 20},
        {"FLD02 = (", "FLD02", ")", 20},
        {"1 + (", "Price", ")", 20},
        {"FLD01 / (", "FLD01", ")", 20},
        {"2 ^ (", "FLD01", ")", 12},
        {"FLD01 Mod (", "FLD01", ")", 12},
        {"-(", "FLD01", ")", 30},
        {"FLD01 In (1, ", "FLD01", ")", 10},
        {"FLD01 Between 0 And (", "FLD01", ")", 12},
        {"Born Like (", "Born", " & '*')", 5},
        {"FLD02 Not Like (", "'*'", ")", 9},
        {"(FLD05 & (", "FLD05", ")) Is Null", 6},
    };
    for (const auto& shape : shapes) {
        int accepted = 0;
        for (int n = 1; n <= 60; ++n) {
            std::string text;
            for (int i = 0; i < n; ++i) text += shape.open;
            text += shape.inner;
            for (int i = 0; i < n; ++i) text += shape.close;
            const long refusal = Refusal(text);
            EXPECT_TRUE(refusal == 0 || refusal == 3075)
                << refusal << ": " << shape.open << " x " << n;
            if (refusal == 0) ++accepted;
        }
        EXPECT_GE(accepted, shape.leastAccepted) << shape.open;
    }
}

TEST(Tokenize, SplitsNamesLiteralsAndOperators) {
    auto t = Tokenize("[T].[a]]b] >= 1.5 & 'it''s' <> #2024/01/31# * 社員.氏名");
    std::vector<std::pair<TokenKind, std::string>> expected = {
        {TokenKind::Bracketed, "a]b"},   {TokenKind::Operator, ">="},
        {TokenKind::Number, "1.5"},      {TokenKind::Operator, "&"},
        {TokenKind::String, "it's"},     {TokenKind::Operator, "<>"},
        {TokenKind::Date, "2024/01/31"}, {TokenKind::Star, "*"},
        {TokenKind::Name, "氏名"},       {TokenKind::End, ""},
    };
    ASSERT_EQ(t.size(), expected.size());
    for (size_t i = 0; i < t.size(); ++i) {
        EXPECT_EQ(t[i].kind, expected[i].first) << i;
        EXPECT_EQ(t[i].text, expected[i].second) << i;
    }
    EXPECT_EQ(t[0].pos, 0u);
    EXPECT_EQ(t[1].pos, 11u);
    EXPECT_EQ(t.back().pos,
              std::string("[T].[a]]b] >= 1.5 & 'it''s' <> #2024/01/31# * 社員.氏名").size());
}

TEST(JetLike, MatchesJetWildcards) {
    struct Case {
        const char* value;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"abc", "abc", true},
        {"ABC", "abc", true},
        {"abc", "ab", false},
        {"abc", "a*", true},
        {"abc", "*c", true},
        {"abc", "**c", true},
        {"abc", "a?c", true},
        {"ac", "a?c", false},
        {"a1c", "a#c", true},
        {"abc", "a#c", false},
        {"b", "[abc]", true},
        {"B", "[a-c]", true},
        {"d", "[a-c]", false},
        {"d", "[!a-c]", true},
        {"b", "[!a-c]", false},
        {"*", "[*]", true},
        {"x", "[*]", false},
        {"a*b", "a[*]b", true},
        {"?", "[?]", true},
        {"#", "[#]", true},
        {"-", "[a-]", true},
        {"aXb", "a[!0-9]b", true},
        {"", "*", true},
        {"", "?", false},
        {"", "", true},
        {"a", "", false},
        {"ab", "a[]b", true},
        {"a]", "a]", true},
        // Case is ignored for ASCII letters only, as "=" and keys ignore it.
        {"ＡＢＣ", "ａｂｃ", false},
        {"ＡＢＣ", "ＡＢ*", true},
        {"ｂ", "[Ａ-Ｃ]", false},
        {"山田太郎", "山田*", true},
        {"山田", "??", true},
        {"山田", "???", false},
        {"50%", "#0%", true},
        {"\xff", "?", true},
        {"abc", "a[", false},
        {"abc", "[c-a]*", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JetLikeMatch(c.value, c.pattern), c.match) << c.value << " Like " << c.pattern;
}

TEST(JetLike, PathologicalPatternFinishesQuickly) {
    const std::string value(20000, 'a');
    // A backtracking matcher would run for ages here; the linear-per-star one takes milliseconds.
    EXPECT_FALSE(JetLikeMatch(value, "*a*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(JetLikeMatch(value + "b", "*a*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(ParseSelect, AcceptsTheStatementsTheSystemWrites) {
    struct Case {
        const char* source;
        const char* table;
        std::optional<std::string> where;
        std::vector<std::pair<std::string, bool>> order;
    };
    const Case cases[] = {
        {"SELECT * FROM WKTBL ORDER BY FLD01", "WKTBL", std::nullopt, {{"FLD01", false}}},
        {"SELECT * FROM WKTBL ORDER BY FLD01 ", "WKTBL", std::nullopt, {{"FLD01", false}}},
        {"SELECT * FROM WKTBL ORDER BY FLD02 ,FLD01 ",
         "WKTBL",
         std::nullopt,
         {{"FLD02", false}, {"FLD01", false}}},
        {"SELECT * FROM WKTBL ORDER BY FLD08", "WKTBL", std::nullopt, {{"FLD08", false}}},
        {"SELECT * FROM [T]", "T", std::nullopt, {}},
        {"SELECT *  FROM [T] WHERE a = 1", "T", "a = 1", {}},
        {"SELECT * FROM [T] ORDER BY  [a] , [b]", "T", std::nullopt, {{"a", false}, {"b", false}}},
        {"SELECT *  FROM [売上 明細] WHERE  氏名 Like '山*'  ", "売上 明細", "氏名 Like '山*'", {}},
        {"SELECT * FROM [O'Brien] WHERE [O'Brien] = 'x''y' ORDER BY [O'Brien] DESC;",
         "O'Brien",
         "[O'Brien] = 'x''y'",
         {{"O'Brien", true}}},
        {"SELECT * FROM [a]]b]", "a]b", std::nullopt, {}},
        {"select * from t where (a = 1) order by b desc, [c d] asc",
         "t",
         "(a = 1)",
         {{"b", true}, {"c d", false}}},
        {"SELECT * FROM T WHERE x = 'ORDER BY y'", "T", "x = 'ORDER BY y'", {}},
        {"SELECT * FROM T WHERE [Order] = 1 ORDER BY [By]", "T", "[Order] = 1", {{"By", false}}},
        {"SELECT * FROM T WHERE a = 1; ", "T", "a = 1", {}},
        // A source that is not a statement is a table name, blanks and all.
        {"WKTBL", "WKTBL", std::nullopt, {}},
        {"  My Table  ", "My Table", std::nullopt, {}},
        {"[My Table]", "My Table", std::nullopt, {}},
        {"社員 マスタ", "社員 マスタ", std::nullopt, {}},
        {"Selection", "Selection", std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SelectStatement st = ParseSelect(c.source);
        EXPECT_EQ(st.table, c.table) << c.source;
        EXPECT_EQ(st.where, c.where) << c.source;
        std::vector<std::pair<std::string, bool>> order;
        for (const auto& o : st.orderBy) order.emplace_back(o.field, o.descending);
        EXPECT_EQ(order, c.order) << c.source;
    }
}

TEST(ParseSelect, RefusesOtherStatements) {
    struct Case {
        const char* source;
        long error;
    };
    const Case cases[] = {
        {"SELECT * FROM", 3131},
        {"SELECT * FROM T, U", 3131},
        {"SELECT * FROM T INNER JOIN U ON T.a = U.a", 3131},
        {"SELECT * FROM T WHERE", 3075},
        {"SELECT * FROM T; DROP TABLE T", 3075},
        {"SELECT * FROM T;;", 3075},
        {"SELECT a FROM T", 3075},
        {"SELECT * T", 3075},
        {"SELECT * FROM T ORDER BY", 3075},
        {"SELECT * FROM T ORDER BY a,", 3075},
        {"SELECT * FROM T ORDER BY 1", 3075},
        {"SELECT * FROM T ORDER BY a WHERE b = 1", 3075},
        {"SELECT * FROM T WHERE a = 1 UNION SELECT * FROM U", 3075},
        {"SELECT * FROM T WHERE a = 'x", 3075},
        {"SELECT * FROM T WHERE a = = 1 ORDER BY a", 3075},
        {"SELECT * FROM [T", 3075},
        {"", 3075},
        {"   ", 3075},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf([&] { ParseSelect(c.source); }), c.error) << c.source;
}

TEST(ParseDelete, ReadsTableAndCondition) {
    SelectStatement st = ParseDelete("DELETE * FROM WKTBL");
    EXPECT_EQ(st.table, "WKTBL");
    EXPECT_FALSE(st.where);
    st = ParseDelete("DELETE * FROM [作業 表]");
    EXPECT_EQ(st.table, "作業 表");
    st = ParseDelete("delete from T where a = 1 And b = 'x';");
    EXPECT_EQ(st.table, "T");
    EXPECT_EQ(st.where, "a = 1 And b = 'x'");

    for (const char* bad : {"DELETE * FROM T ORDER BY a", "DELETE FROM", "DROP TABLE T",
                            "DELETE * FROM T; DROP TABLE T", "DELETE * FROM T WHERE (a = 1"})
        EXPECT_NE(ErrorOf([&] { ParseDelete(bad); }), 0) << bad;
}

} // namespace
} // namespace engine::detail
