// Criteria translation is checked where it matters: the SQL produced is run against a small
// SQLite table and the rows it selects are compared with the rows Jet would select.
#include "criteria.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/error.h"

namespace engine::detail {
namespace {

struct Column {
    const char* name;
    int type;
    std::string expr;
};

// Columns as the engine exposes them: text declared NOCASE, currency stored scaled by 10,000,
// dates as OLE day numbers, Boolean as -1/0.
const std::vector<Column> kColumns = {
    {"FLD01", 4, "\"FLD01\""},    {"FLD02", 10, "\"FLD02\""},
    {"FLD03", 10, "\"FLD03\""},   {"FLD05", 10, "\"FLD05\""},
    {"FLD08", 4, "\"FLD08\""},    {"Price", 5, "(\"Price\"/10000.0)"},
    {"Born", 8, "\"Born\""},      {"Flag", 1, "\"Flag\""},
    {"お名前", 10, "\"お名前\""}, {"my field", 10, "\"my field\""},
    {"a]b", 10, "\"a]b\""},       {"Memo", 12, "\"Memo\""},
};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<ColumnRef> Lookup(std::string_view name) {
    for (const auto& c : kColumns)
        if (SameName(c.name, name)) return ColumnRef{c.expr, c.type};
    return std::nullopt;
}

std::optional<ColumnRef> NoColumns(std::string_view) {
    return std::nullopt;
}

// The number of the engine::Error the call throws, 0 when it returns normally.
template <typename F> long ErrorNumber(F&& f, std::string* description = nullptr) {
    try {
        f();
    } catch (const Error& e) {
        if (description) *description = e.Description();
        return e.Number();
    }
    return 0;
}

class CriteriaDb : public ::testing::Test {
  protected:
    void SetUp() override {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
        db_.reset(raw);
        ASSERT_EQ(RegisterCriteriaFunctions(db_.get()), SQLITE_OK);
        Exec(R"(CREATE TABLE T (id INTEGER PRIMARY KEY, FLD01 INTEGER,
                  FLD02 TEXT COLLATE NOCASE, FLD03 TEXT COLLATE NOCASE, FLD05 TEXT COLLATE NOCASE,
                  FLD08 INTEGER, Price INTEGER, Born REAL, Flag INTEGER,
                  "お名前" TEXT COLLATE NOCASE, "my field" TEXT COLLATE NOCASE,
                  "a]b" TEXT COLLATE NOCASE, Memo TEXT COLLATE NOCASE))");
        // 45322 is 2024/01/31; row 2 holds the same day at 10:20:30.
        Exec(R"(INSERT INTO T VALUES
            (1, 1, 'x', '(ｵｰﾄﾅﾝﾊﾞ-)', 'x', 3, 15000, 45322, -1, '山田', 'A', 'p', 'hello world'),
            (2, 5, 'X', 'ﾃｷｽﾄ', '', 2, 100000, 45322 + 37230 / 86400.0, 0, '佐藤', 'b', 'q', NULL),
            (3, 7, 'Apple', 'Text', NULL, 1, NULL, 45000, 0, NULL, 'a b', NULL, 'O''Brien'),
            (4, 10, NULL, '(ｵｰﾄﾅﾝﾊﾞ-)', '02', 4, 0, NULL, -1, '山田太郎', NULL, 'r', '50%'))");
    }

    void Exec(const char* sql) {
        char* msg = nullptr;
        int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, &msg);
        std::string text = msg ? msg : "";
        sqlite3_free(msg);
        ASSERT_EQ(rc, SQLITE_OK) << text;
    }

    struct StmtDeleter {
        void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
    };
    using Stmt = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

    // Prepares sql and binds the parameters the way the engine core binds them.
    Stmt Prepare(const std::string& sql, const std::vector<Variant>& params) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr);
        Stmt s(raw);
        EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(db_.get()) << " in " << sql;
        if (rc != SQLITE_OK) return nullptr;
        for (size_t i = 0; i < params.size(); ++i) {
            const Variant& v = params[i];
            int at = static_cast<int>(i + 1);
            switch (v.Type()) {
            case VarType::String:
                sqlite3_bind_text(raw, at, v.StringValue().c_str(), -1, SQLITE_TRANSIENT);
                break;
            case VarType::Long:
            case VarType::Boolean:
                sqlite3_bind_int64(raw, at, v.IntValue());
                break;
            case VarType::Double:
            case VarType::Date:
                sqlite3_bind_double(raw, at, v.RealValue());
                break;
            case VarType::Null:
                sqlite3_bind_null(raw, at);
                break;
            default:
                ADD_FAILURE() << "unexpected parameter type " << static_cast<int>(v.Type());
            }
        }
        return s;
    }

    // The ids of the rows the condition selects.
    std::vector<int> Rows(const std::string& condition) {
        SqlCondition c = TranslateCondition(condition, Lookup);
        Stmt s = Prepare("SELECT id FROM T WHERE " + c.sql + " ORDER BY id", c.params);
        std::vector<int> ids;
        while (s && sqlite3_step(s.get()) == SQLITE_ROW)
            ids.push_back(sqlite3_column_int(s.get(), 0));
        return ids;
    }

    // The value of a condition-syntax expression as SQLite's text of it; "NULL" for Null.
    std::string Eval(const std::string& expression) {
        SqlCondition c = TranslateCondition(expression, NoColumns);
        Stmt s = Prepare("SELECT " + c.sql, c.params);
        if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return "<no row>";
        if (sqlite3_column_type(s.get(), 0) == SQLITE_NULL) return "NULL";
        return reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
    }

    struct DbCloser {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    std::unique_ptr<sqlite3, DbCloser> db_;
};

TEST_F(CriteriaDb, ConditionsSelectTheRowsJetSelects) {
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
        // Text ignores letter case; Null never compares.
        {"FLD02 = \"APPLE\"", {3}},
        {"'X' = FLD02", {1, 2}},
        {"FLD02 <> 'x'", {3}},
        {"FLD02 < 'B'", {3}},
        {"fld01 = 7", {3}},
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
        // Names: bracketed with blanks and "]]", Japanese, qualified by the table.
        {"[my field] = 'A B'", {3}},
        {"[a]]b] = 'q'", {2}},
        {"お名前 = '山田'", {1}},
        {"お名前 Like '山田*'", {1, 4}},
        {"[T].[FLD01] = 7", {3}},
        {"T.FLD01 = 7", {3}},
        {"\tFLD01\r\n=\t7 ", {3}},
    };
    for (const auto& c : cases) EXPECT_EQ(Rows(c.condition), c.rows) << c.condition;
}

TEST_F(CriteriaDb, QuotesInsideStringsStayInsideTheValue) {
    EXPECT_EQ(Rows("Memo = 'O''Brien'"), std::vector<int>{3});
    EXPECT_EQ(Rows("Memo = \"O'Brien\""), std::vector<int>{3});
    EXPECT_TRUE(Rows("FLD02 = 'x'' Or 1=1 --'").empty());
    EXPECT_TRUE(Rows("FLD02 = \"x\"\" Or \"\"1\"\"=\"\"1\"").empty());
}

TEST_F(CriteriaDb, ExpressionsFollowJetArithmetic) {
    struct Case {
        const char* expression;
        const char* value;
    };
    const Case cases[] = {
        {"7 / 2", "3.5"},
        {"7 \\ 2", "3"},
        {"-7 \\ 2", "-3"},
        {"2.5 \\ 1", "2"}, // operands round half to even before dividing
        {"3.5 \\ 1", "4"},
        {"7 \\ 0", "NULL"},
        {"7 Mod 3", "1"},
        {"-7 Mod 3", "-1"},
        {"5.5 Mod 2", "0"},
        {"2 ^ 10", "1024.0"},
        {"-2 ^ 2", "-4.0"},
        {"2 ^ -1", "0.5"},
        {"2 ^ 3 ^ 2", "64.0"},
        {"3 + 4 * 2", "11"},
        {"(3 + 4) * 2", "14"},
        {"10 - 2 - 3", "5"},
        {"1 + 2 & 3", "33"},
        {"'a' & Null & 1", "a1"},
        {"1.5 & ''", "1.5"},
        {"1E20 & ''", "1E+20"},
        {"#2024/01/31# & ''", "2024/01/31"},
        {"#2024/01/31 9:05:03# & ''", "2024/01/31 9:05:03"},
        {"#10:20:30 PM# & ''", "22:20:30"},
        {"'ab' + 'cd'", "abcd"},
        {"Null + 1", "NULL"},
        {"True", "-1"},
        {"- -5", "5"},
    };
    for (const auto& c : cases) EXPECT_EQ(Eval(c.expression), c.value) << c.expression;
}

TEST_F(CriteriaDb, ADateJoinedAsTextReadsAsCStrWritesIt) {
    struct Case {
        const char* literal;
        double ole;
    };
    const Case cases[] = {
        {"1899/12/30", DateSerial(1899, 12, 30)},
        {"1899/12/30 12:00:00", DateSerial(1899, 12, 30) + TimeSerial(12, 0, 0)},
        {"1899/12/29", DateSerial(1899, 12, 29)},
        {"1899/12/29 6:00:00", DateSerial(1899, 12, 29) - TimeSerial(6, 0, 0)},
        {"1900/01/01 0:00:01", DateSerial(1900, 1, 1) + TimeSerial(0, 0, 1)},
        {"2024/01/31", DateSerial(2024, 1, 31)},
        {"9999/12/31 23:59:59", DateSerial(9999, 12, 31) + TimeSerial(23, 59, 59)},
    };
    const SqlCondition joined = TranslateCondition("Born & ''", Lookup);
    for (const auto& c : cases) {
        const std::string host = CStr(Variant::Date(c.ole));
        EXPECT_EQ(Eval("#" + std::string(c.literal) + "# & ''"), host) << c.literal;
        // A stored date joins the same way.
        Stmt store = Prepare("UPDATE T SET Born = ? WHERE id = 1", {Variant::Double(c.ole)});
        ASSERT_EQ(sqlite3_step(store.get()), SQLITE_DONE);
        Stmt select = Prepare("SELECT " + joined.sql + " FROM T WHERE id = 1", joined.params);
        ASSERT_EQ(sqlite3_step(select.get()), SQLITE_ROW);
        EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0)), host) << c.literal;
    }
    EXPECT_EQ(CStr(Variant::Date(0)), "0:00:00");
}

TEST(TranslateCondition, LiteralsBecomeTypedParameters) {
    SqlCondition c = TranslateCondition("FLD01= 5", Lookup);
    EXPECT_EQ(c.sql, "((\"FLD01\") = ?)");
    ASSERT_EQ(c.params.size(), 1u);
    EXPECT_EQ(c.params[0].Type(), VarType::Long);
    EXPECT_EQ(c.params[0].IntValue(), 5);

    c = TranslateCondition("FLD02 = 'x'", Lookup);
    EXPECT_NE(c.sql.find("COLLATE NOCASE"), std::string::npos) << c.sql;
    ASSERT_EQ(c.params.size(), 1u);
    EXPECT_EQ(c.params[0].StringValue(), "x");

    c = TranslateCondition(
        "FLD01 In (3000000000, -2147483648, 1.5, 1E3, Null, True) Or Born = #2024/01/31# Or "
        "FLD02 = \"it\"\"s\"",
        Lookup);
    ASSERT_EQ(c.params.size(), 8u);
    EXPECT_EQ(c.params[0].Type(), VarType::Double);
    EXPECT_EQ(c.params[0].RealValue(), 3000000000.0);
    EXPECT_EQ(c.params[1].Type(), VarType::Long);
    EXPECT_EQ(c.params[1].IntValue(), INT32_MIN);
    EXPECT_EQ(c.params[2].Type(), VarType::Double);
    EXPECT_EQ(c.params[3].Type(), VarType::Double);
    EXPECT_EQ(c.params[3].RealValue(), 1000.0);
    EXPECT_EQ(c.params[4].Type(), VarType::Null);
    EXPECT_EQ(c.params[5].Type(), VarType::Boolean);
    EXPECT_EQ(c.params[5].IntValue(), -1);
    EXPECT_EQ(c.params[6].Type(), VarType::Date);
    EXPECT_EQ(c.params[6].RealValue(), 45322.0);
    EXPECT_EQ(c.params[7].StringValue(), "it\"s");
    for (const char* literal : {"3000000000", "2147483648", "1.5", "1E3", "True", "2024", "it"})
        EXPECT_EQ(c.sql.find(literal), std::string::npos) << literal << " in " << c.sql;
}

TEST(TranslateCondition, DatesBeforeTheEpochKeepTheTimeForward) {
    SqlCondition c = TranslateCondition("Born = #1899/12/29 6:00#", Lookup);
    ASSERT_EQ(c.params.size(), 1u);
    EXPECT_EQ(c.params[0].RealValue(), -1.25);
}

TEST(TranslateCondition, UnknownFieldIsError3061NamingIt) {
    std::string description;
    EXPECT_EQ(
        ErrorNumber([] { TranslateCondition("FLD01 = 1 And Nosuch = 2", Lookup); }, &description),
        3061);
    EXPECT_NE(description.find("Nosuch"), std::string::npos) << description;
    EXPECT_EQ(ErrorNumber([] { TranslateCondition("[No such] = 1", Lookup); }), 3061);
}

TEST(TranslateCondition, SyntaxFaultsComeBeforeUnknownNames) {
    // The whole text is parsed before any name is resolved, as Jet does.
    EXPECT_EQ(ErrorNumber([] { TranslateCondition("Nosuch = x'00'", Lookup); }), 3075);
}

TEST(TranslateCondition, MalformedAndHostileInputIsError3075) {
    const std::string cases[] = {
        "FLD01 = 1; DROP TABLE T",
        "FLD01 = 1;",
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
        "SELECT * FROM T",
        "FLD01 = 1 UNION SELECT * FROM T",
        "FLD01 = 1 ORDER BY FLD01",
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
        "",
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
    for (const auto& text : cases) {
        std::string description;
        EXPECT_EQ(ErrorNumber([&] { TranslateCondition(text, Lookup); }, &description), 3075)
            << "[" << text << "]";
    }
}

TEST(TranslateCondition, ErrorTextQuotesTheCondition) {
    std::string description;
    ASSERT_EQ(ErrorNumber([] { TranslateCondition("FLD01 = 1 FLD01 = 2", Lookup); }, &description),
              3075);
    EXPECT_NE(description.find("FLD01 = 1 FLD01 = 2"), std::string::npos) << description;
    ASSERT_EQ(ErrorNumber([] { TranslateCondition("Born = #2024/13/45#", Lookup); }, &description),
              3075);
    EXPECT_NE(description.find("#2024/13/45#"), std::string::npos) << description;
    // A huge or binary input is quoted short and printable.
    std::string huge = "FLD02 = '\x01" + std::string(100000, 'x');
    ASSERT_EQ(ErrorNumber([&] { TranslateCondition(huge, Lookup); }, &description), 3075);
    EXPECT_LT(description.size(), 1000u);
    EXPECT_EQ(description.find('\x01'), std::string::npos);
}

TEST(TranslateCondition, HostileNestingIsRefusedWithoutExhaustingTheStack) {
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
    for (const auto& text : cases)
        EXPECT_EQ(ErrorNumber([&] { TranslateCondition(text, Lookup); }), 3075)
            << text.substr(0, 40);
}

TEST_F(CriteriaDb, LongRunsOfOneOperatorStillRun) {
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

// SQLite's parser has a small fixed stack; a condition nested too deeply for it must be refused
// by the translation, never handed on as SQL that fails to prepare.
TEST_F(CriteriaDb, EveryAcceptedNestingPrepares) {
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
            SqlCondition c;
            long error = ErrorNumber([&] { c = TranslateCondition(text, Lookup); });
            if (error) {
                EXPECT_EQ(error, 3075) << text;
                continue;
            }
            ++accepted;
            Stmt s = Prepare("SELECT id FROM T WHERE " + c.sql + " ORDER BY id", c.params);
            EXPECT_TRUE(s) << shape.open << " x " << n;
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
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(JetLikeMatch(value, "*a*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(JetLikeMatch(value + "b", "*a*a*a*a*a*a*a*a*a*a*a*b"));
    // A backtracking matcher would run for ages here; the linear-per-star one takes milliseconds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
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
        EXPECT_EQ(ErrorNumber([&] { ParseSelect(c.source); }), c.error) << c.source;
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
        EXPECT_NE(ErrorNumber([&] { ParseDelete(bad); }), 0) << bad;
}

TEST_F(CriteriaDb, WhereTextOfAStatementTranslates) {
    SelectStatement st = ParseSelect("SELECT *  FROM [T] WHERE FLD02 = 'x' ORDER BY FLD01 DESC");
    ASSERT_TRUE(st.where);
    EXPECT_EQ(Rows(*st.where), (std::vector<int>{1, 2}));
}

} // namespace
} // namespace engine::detail
