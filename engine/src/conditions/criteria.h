// Jet criteria and the SELECT statements of the system, translated into SQLite SQL.
//
// Nothing of the caller's text reaches SQLite unparsed: the text is tokenized, parsed by a
// grammar of Jet's expression syntax, and written out again with every literal as a bound
// parameter and every name resolved through the caller's lookup to the SQL expression that
// reads that column. Anything outside the grammar, or a second statement, is error 3075
// naming the offending text.
//
// The parts, each a file of conditions/: the lexer (Tokenize), the parser (the expression
// tree), the SQL writer (TranslateCondition), Like matching, dates and numbers as text, the SQL
// functions the output calls, and the statements (ParseSelect, ParseDelete).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"

struct sqlite3;

namespace engine::detail {

enum class TokenKind {
    Name,      // plain identifier: letters (any script), digits, "_"; may not start with a digit
    Bracketed, // [any text] with "]]" for a literal "]"; text holds the name without brackets
    Number,    // 12, 1.5, .5, 1E3 (text as written)
    String,    // 'x' or "x", doubled quote inside; text holds the value
    Date,      // #2024/01/31#, #2024-01-31 10:00#, #1/31/2024#; text holds the inside
    Operator,  // = <> < > <= >= + - * / \ & ^ and the word operators below are Name tokens
    LParen,
    RParen,
    Comma,
    Star, // "*" where it stands for all columns (also a multiplication operator)
    Semicolon,
    End,
};

struct Token {
    TokenKind kind;
    std::string text;
    size_t pos;            // byte offset in the source text
    std::string qualifier; // "T" of "T.Field" or "[T].[Field]"; empty when there is none
};

// Splits text into tokens; throws Error 3075 on an unterminated string, date or bracket, or a
// character outside the syntax. The last token is End.
std::vector<Token> Tokenize(std::string_view text);

// How a column is read in SQL. sqlExpr is what the condition uses for the column, e.g.
// "\"Price\"" or "jet_cur(\"Price\")"; type is the DAO type code.
struct ColumnRef {
    std::string sqlExpr;
    int type;
};
// Resolves a field name (ignoring case); nullopt for an unknown name.
using ColumnLookup = std::function<std::optional<ColumnRef>(std::string_view name)>;

struct SqlCondition {
    std::string sql;             // an SQLite expression with "?" placeholders
    std::vector<Variant> params; // in placeholder order: String, Long, Double, Date, Boolean, Null
};

// A table a condition reads: the statement's own table, or the table of a subquery.
struct ConditionTable {
    std::string name;                // as stored; "name.Field" names a field of it
    std::string from;                // the table as SQL names it after FROM, e.g. "\"main\".\"T\""
    std::vector<std::string> fields; // its field names, in order
    // A field read through qualifier (an SQL name of the table; "" for the bare column name);
    // nullopt for an unknown field.
    std::function<std::optional<ColumnRef>(std::string_view field, const std::string& qualifier)>
        column;
};

// What a condition may read: its own table and, in subqueries, the other tables of the file.
struct ConditionScope {
    ConditionTable table;
    // How the statement around the condition names its table, for a subquery that reads the
    // table's fields: the quoted table name, or the alias the statement gives it.
    std::string qualifier;
    // The tables of the database by name (the engine's name rule); nullopt for an unknown one.
    std::function<std::optional<ConditionTable>(std::string_view name)> tables;
};

// Translates one Jet condition (the text after WHERE, or a FindFirst criterion).
// Errors: 3075 for a syntax fault or a second statement, 3061 naming an unknown field.
// Qualifiers are ignored and subqueries refused (3075): no tables are known.
SqlCondition TranslateCondition(std::string_view text, const ColumnLookup& lookup);

// The same over a table of a database: "T.Field" must name the table itself, and
// "x [Not] In (Select ...)" and "[Not] Exists (Select ...)" read other tables of the database
// (3078 naming an unknown one; 3075 for a subquery in In that gives more than one column).
SqlCondition TranslateCondition(std::string_view text, const ConditionScope& scope);

// Jet's Like: "*" any run, "?" one character, "#" one digit, "[abc]", "[a-z]", "[!a-z]";
// ASCII letters compare ignoring case (as "=" does); characters are whole code points of the
// UTF-8 text.
// The engine registers it with SQLite as jet_like(value, pattern).
bool JetLikeMatch(std::string_view value, std::string_view pattern);

// Registers on a connection every SQL function that translated conditions call, each returning
// NULL when an argument is NULL:
//   jet_like(value, pattern)  JetLikeMatch, 1 or 0; numbers are matched in their text form
//   jet_text(value [, 'date']) the text "&" joins: numbers as the host writes them ("3", "1.5",
//                             "1E+20"), with 'date' an OLE date as "yyyy/mm/dd[ h:nn:ss]"
//   jet_idiv(a, b), jet_mod(a, b)  "\" and Mod: both operands rounded half to even first, the
//                             quotient truncated, the remainder signed as a; NULL dividing by 0
//   jet_pow(a, b)             "^" as a double; NULL where the result is not a finite number
// Returns the SQLite result code of the first registration that fails, else SQLITE_OK.
int RegisterCriteriaFunctions(sqlite3* db);

// "SELECT * FROM [T] [WHERE cond] [ORDER BY f [ASC|DESC], ...] [;]" or a bare table name.
struct OrderItem {
    std::string field;
    bool descending = false;
};
struct SelectStatement {
    std::string table;
    std::optional<std::string> where; // the condition text exactly as written
    std::vector<OrderItem> orderBy;
};
// Parses a recordset source. Throws 3075 (or 3131 for a bad FROM clause) on anything else.
SelectStatement ParseSelect(std::string_view source);

// "DELETE * FROM T [WHERE cond]" and "DELETE FROM T ..."; the table and condition.
SelectStatement ParseDelete(std::string_view statement);

} // namespace engine::detail
