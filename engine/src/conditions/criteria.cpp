// Jet criteria to SQLite SQL: tokenizer, expression parser, SQL writer, the SELECT and DELETE
// statements of the system, and the Like matcher with the SQL functions the output calls.
#include "conditions/criteria.h"
#include "engine/names.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>

#include "engine/error.h"

namespace engine::detail {
namespace {

// Deeper nesting of the text is refused rather than recursed into.
constexpr int kMaxDepth = 200;
// Subqueries inside subqueries: SQLite's parser stack holds a few levels of them at most.
constexpr int kMaxSubqueryDepth = 4;
// The height of the expression tree, which the writer recurses through; long runs of one
// operator ("a Or b Or c ...") make it grow without nesting.
constexpr int kMaxTreeHeight = 1000;
// What SQLite can read: its parser keeps 100 entries (the statement around the condition takes
// about eight) and its expression trees may be 1000 high (the caller may add a few levels).
constexpr int kMaxParserStack = 80;
constexpr int kMaxSqlHeight = 900;
// SQLite's default bound on the number of "?" placeholders in one statement.
constexpr size_t kMaxParams = 32766;
// Error texts quote the offending input; a message box has no use for more than this.
constexpr size_t kMaxDetailBytes = 255;

// ---------------------------------------------------------------------------------------------
// Text helpers

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Decodes the code point at s[i] and advances i past it. A byte that does not start a valid,
// shortest-form sequence yields nullopt and i advances by that one byte.
std::optional<char32_t> NextCodePoint(std::string_view s, size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    size_t len;
    char32_t cp;
    char32_t least;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, least = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, least = 0x10000;
    } else {
        ++i;
        return std::nullopt;
    }
    if (s.size() - i < len) {
        ++i;
        return std::nullopt;
    }
    for (size_t k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return std::nullopt;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return std::nullopt;
    }
    i += len;
    return cp;
}

// Letters of any script may form a plain name; blanks and invisible format characters of
// Unicode may not, so that a full-width space is an error rather than part of a name.
bool IsNameCodePoint(char32_t cp) {
    if (cp < 0x80) {
        auto c = static_cast<char>(cp);
        return IsAsciiLetter(c) || IsDigit(c) || c == '_';
    }
    if (cp <= 0xA0) return false; // C1 controls, no-break space
    return !(cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202F) ||
             (cp >= 0x205F && cp <= 0x206F) || cp == 0x3000 || cp == 0xFEFF ||
             (cp >= 0xFFF0 && cp <= 0xFFFF));
}

bool IsNameStartAt(std::string_view s, size_t i) {
    if (i >= s.size() || IsDigit(s[i])) return false;
    size_t j = i;
    auto cp = NextCodePoint(s, j);
    return cp && IsNameCodePoint(*cp);
}

// The input quoted in an error text: control characters as blanks, broken UTF-8 as "?", and
// cut short with "..." when long.
std::string Excerpt(std::string_view text) {
    text = Trim(text);
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        auto cp = NextCodePoint(text, i);
        if (out.size() + (i - start) > kMaxDetailBytes) {
            out += "...";
            break;
        }
        if (!cp)
            out += '?';
        else if (*cp < 0x20 || *cp == 0x7F)
            out += ' ';
        else
            out.append(text.substr(start, i - start));
    }
    return out;
}

[[noreturn]] void SyntaxError(std::string_view offending) {
    Throw(err::kSyntaxInExpression, Excerpt(offending));
}

// ---------------------------------------------------------------------------------------------
// Dates

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[static_cast<size_t>(m - 1)];
}

// Splits s at sep into parts of 1 to 4 digits; nullopt when any part is not such.
std::optional<std::vector<int>> DigitParts(std::string_view s, char sep,
                                           std::vector<size_t>* widths) {
    std::vector<int> parts;
    while (true) {
        size_t end = s.find(sep);
        std::string_view part = s.substr(0, end);
        if (part.empty() || part.size() > 4) return std::nullopt;
        int v = 0;
        for (char c : part) {
            if (!IsDigit(c)) return std::nullopt;
            v = v * 10 + (c - '0');
        }
        parts.push_back(v);
        if (widths) widths->push_back(part.size());
        if (end == std::string_view::npos) break;
        s.remove_prefix(end + 1);
    }
    return parts;
}

// The inside of a #date# literal as an OLE date: y/m/d or y-m-d with a four-digit year first,
// otherwise m/d/y as Jet reads it; an optional time h:nn[:ss] with optional AM/PM; or a time alone.
std::optional<double> ParseDateLiteral(std::string_view inside) {
    std::vector<std::string_view> words;
    inside = Trim(inside);
    while (!inside.empty()) {
        size_t end = 0;
        while (end < inside.size() && !IsSpace(inside[end])) ++end;
        words.push_back(inside.substr(0, end));
        inside = Trim(inside.substr(end));
    }
    std::optional<int64_t> days;
    std::optional<int> seconds;
    for (size_t w = 0; w < words.size(); ++w) {
        std::string_view word = words[w];
        if (word.find(':') != std::string_view::npos) {
            if (seconds) return std::nullopt;
            int half = 0; // 1 AM, 2 PM
            auto suffix = [&](std::string_view s) {
                return word.size() > 2 && NamesEqual(word.substr(word.size() - 2), s);
            };
            auto nextIs = [&](std::string_view s) {
                return w + 1 < words.size() && NamesEqual(words[w + 1], s);
            };
            if (suffix("AM") || suffix("PM")) {
                half = suffix("AM") ? 1 : 2;
                word.remove_suffix(2);
            } else if (nextIs("AM") || nextIs("PM")) {
                half = nextIs("AM") ? 1 : 2;
                ++w;
            }
            auto parts = DigitParts(word, ':', nullptr);
            if (!parts || parts->size() < 2 || parts->size() > 3) return std::nullopt;
            int h = (*parts)[0], mi = (*parts)[1], s = parts->size() == 3 ? (*parts)[2] : 0;
            if (mi > 59 || s > 59) return std::nullopt;
            if (half) {
                if (h < 1 || h > 12) return std::nullopt;
                h = (h % 12) + (half == 2 ? 12 : 0);
            } else if (h > 23) {
                return std::nullopt;
            }
            seconds = h * 3600 + mi * 60 + s;
        } else {
            if (days) return std::nullopt;
            char sep = word.find('/') != std::string_view::npos ? '/' : '-';
            std::vector<size_t> widths;
            auto parts = DigitParts(word, sep, &widths);
            if (!parts || parts->size() != 3) return std::nullopt;
            int y, m, d;
            if (widths[0] >= 3) {
                y = (*parts)[0], m = (*parts)[1], d = (*parts)[2];
            } else {
                m = (*parts)[0], d = (*parts)[1], y = (*parts)[2];
                if (widths[2] <= 2) y += y < 30 ? 2000 : 1900;
            }
            if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
                return std::nullopt;
            days = static_cast<int64_t>(DateSerial(y, m, d));
        }
    }
    if (!days && !seconds) return std::nullopt;
    double day = static_cast<double>(days.value_or(0));
    double time = seconds.value_or(0) / 86400.0;
    // Before the epoch an OLE date counts days backwards but the time still forwards.
    return day < 0 ? day - time : day + time;
}

std::string NumberText(double d);

// A date joined by "&" reads as CStr writes it; a value beyond the calendar as its number.
std::string DateText(double ole) {
    try {
        return CStr(Variant::Date(ole));
    } catch (const Error&) {
        return NumberText(ole);
    }
}

// A double as the host language writes it: up to 15 significant digits, no trailing zeros,
// "1E+20" beyond.
std::string NumberText(double d) {
    if (d == 0) return "0";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    return buf;
}

// ---------------------------------------------------------------------------------------------
// Tokenizer

[[noreturn]] void LexError(std::string_view text, size_t start) {
    SyntaxError(text.substr(start));
}

// Appends the valid UTF-8 code point at text[i] to out; NUL and broken UTF-8 are errors.
void TakeCodePoint(std::string_view text, size_t& i, std::string& out, size_t tokenStart) {
    size_t start = i;
    auto cp = NextCodePoint(text, i);
    if (!cp || *cp == 0) LexError(text, tokenStart);
    out.append(text.substr(start, i - start));
}

std::string ReadQuoted(std::string_view text, size_t& i) {
    const size_t start = i;
    const char quote = text[i++];
    std::string value;
    while (true) {
        if (i >= text.size()) LexError(text, start);
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                value += quote;
                i += 2;
                continue;
            }
            ++i;
            return value;
        }
        TakeCodePoint(text, i, value, start);
    }
}

std::string ReadBracketed(std::string_view text, size_t& i) {
    const size_t start = i++;
    std::string name;
    while (true) {
        if (i >= text.size()) LexError(text, start);
        if (text[i] == ']') {
            if (i + 1 < text.size() && text[i + 1] == ']') {
                name += ']';
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        TakeCodePoint(text, i, name, start);
    }
    if (name.empty()) LexError(text, start);
    return name;
}

std::string ReadName(std::string_view text, size_t& i) {
    size_t start = i;
    while (i < text.size()) {
        size_t j = i;
        auto cp = NextCodePoint(text, j);
        if (!cp || !IsNameCodePoint(*cp)) break;
        i = j;
    }
    return std::string(text.substr(start, i - start));
}

// A plain or bracketed name, with an optional "Table." part in front, kept as its qualifier.
Token ReadNameToken(std::string_view text, size_t& i) {
    const size_t start = i;
    auto readPart = [&](TokenKind& kind) {
        if (text[i] == '[') {
            kind = TokenKind::Bracketed;
            return ReadBracketed(text, i);
        }
        kind = TokenKind::Name;
        return ReadName(text, i);
    };
    auto qualifierFollows = [&] {
        return i + 1 < text.size() && text[i] == '.' &&
               (text[i + 1] == '[' || IsNameStartAt(text, i + 1));
    };
    TokenKind kind;
    std::string name = readPart(kind);
    std::string qualifier;
    if (qualifierFollows()) {
        ++i;
        qualifier = std::move(name);
        name = readPart(kind);
        if (qualifierFollows()) LexError(text, start);
    }
    return {kind, std::move(name), start, std::move(qualifier)};
}

std::string ReadNumber(std::string_view text, size_t& i) {
    const size_t start = i;
    auto digits = [&] {
        size_t n = 0;
        while (i < text.size() && IsDigit(text[i])) ++i, ++n;
        return n;
    };
    bool malformed = false;
    digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits();
    }
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) malformed = true;
    }
    if (i < text.size() && (text[i] == '.' || IsNameStartAt(text, i) || IsDigit(text[i])))
        malformed = true;
    if (malformed) {
        size_t end = i;
        while (end < text.size() && (text[end] == '.' || IsAsciiLetter(text[end]) ||
                                     IsDigit(text[end]) || text[end] == '_'))
            ++end;
        SyntaxError(text.substr(start, std::max(end, start + 1) - start));
    }
    return std::string(text.substr(start, i - start));
}

// ---------------------------------------------------------------------------------------------
// Like

struct LikeElem {
    enum class Type { Star, Any, Digit, Char, Class } type;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

// Code points of possibly broken UTF-8; a stray byte stands for itself in a private range so
// that value and pattern still compare byte for byte there.
std::vector<char32_t> CodePoints(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        size_t start = i;
        auto cp = NextCodePoint(s, i);
        out.push_back(cp ? *cp : 0x110000 + static_cast<unsigned char>(s[start]));
    }
    return out;
}

// Letters compare ignoring case as "=", keys and Seek compare them (COLLATE NOCASE): ASCII
// letters only.
char32_t FoldLower(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    return c;
}
char32_t FoldUpper(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    return c;
}

std::optional<std::vector<LikeElem>> CompileLike(std::string_view pattern) {
    std::vector<char32_t> p = CodePoints(pattern);
    std::vector<LikeElem> out;
    for (size_t i = 0; i < p.size(); ++i) {
        LikeElem e;
        switch (p[i]) {
        case '*':
            if (!out.empty() && out.back().type == LikeElem::Type::Star) continue;
            e.type = LikeElem::Type::Star;
            break;
        case '?':
            e.type = LikeElem::Type::Any;
            break;
        case '#':
            e.type = LikeElem::Type::Digit;
            break;
        case '[': {
            e.type = LikeElem::Type::Class;
            size_t j = i + 1;
            if (j < p.size() && p[j] == '!') {
                e.negated = true;
                ++j;
            }
            bool closed = false;
            while (j < p.size()) {
                if (p[j] == ']') {
                    closed = true;
                    break;
                }
                char32_t lo = p[j], hi = p[j];
                if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
                    hi = p[j + 2];
                    if (hi < lo) return std::nullopt;
                    j += 2;
                }
                e.ranges.emplace_back(lo, hi);
                ++j;
            }
            if (!closed) return std::nullopt;
            i = j;
            // "[]" matches the empty string, so it adds nothing to the pattern.
            if (e.ranges.empty() && !e.negated) continue;
            break;
        }
        default:
            e.type = LikeElem::Type::Char;
            e.ch = FoldLower(p[i]);
        }
        out.push_back(std::move(e));
    }
    return out;
}

bool ElemMatches(const LikeElem& e, char32_t c) {
    switch (e.type) {
    case LikeElem::Type::Any:
        return true;
    case LikeElem::Type::Digit:
        return c >= '0' && c <= '9';
    case LikeElem::Type::Char:
        return FoldLower(c) == e.ch;
    case LikeElem::Type::Class: {
        char32_t lower = FoldLower(c), upper = FoldUpper(c);
        bool in = false;
        for (auto [lo, hi] : e.ranges) {
            auto within = [&](char32_t x) { return x >= lo && x <= hi; };
            if (within(c) || within(lower) || within(upper)) {
                in = true;
                break;
            }
        }
        return in != e.negated;
    }
    case LikeElem::Type::Star:
        return false;
    }
    return false;
}

// Every element but "*" takes exactly one character, so on a mismatch it is enough to retry
// from the most recent star with one more character given to it: at most value x pattern steps.
bool MatchCompiled(const std::vector<LikeElem>& pat, const std::vector<char32_t>& val) {
    const size_t none = std::numeric_limits<size_t>::max();
    size_t p = 0, v = 0, starP = none, starV = 0;
    while (v < val.size()) {
        if (p < pat.size() && pat[p].type == LikeElem::Type::Star) {
            starP = ++p;
            starV = v;
        } else if (p < pat.size() && ElemMatches(pat[p], val[v])) {
            ++p;
            ++v;
        } else if (starP != none) {
            p = starP;
            v = ++starV;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p].type == LikeElem::Type::Star) ++p;
    return p == pat.size();
}

// ---------------------------------------------------------------------------------------------
// Expression tree

enum class Kind { Text, Number, Date, Bool, Null };

struct Node;
using NodePtr = std::unique_ptr<Node>;

// "Select [Distinct] * | expr, ... From table [[As] alias] [Where condition]" of a subquery.
struct Select {
    bool distinct = false;
    std::vector<NodePtr> columns; // empty for "*"
    std::string table;
    std::string alias; // empty when none is given
    NodePtr where;
};

struct Node {
    enum class Type { Literal, Column, Unary, Binary, Like, IsNull, Between, In, InSelect, Exists } type;
    std::string op; // upper-case operator: "=", "AND", "NEG", "&", ...
    bool negated = false;
    Variant value;
    std::string name;
    std::string qualifier; // of a column: the table or alias written in front of it
    std::vector<NodePtr> kids;
    std::unique_ptr<Select> select; // of InSelect and Exists
    int height = 1;
};

// A word of the syntax: a plain name standing alone ("T.And" names a field).
bool IsKeyword(const Token& t, std::string_view word) {
    return t.kind == TokenKind::Name && t.qualifier.empty() && NamesEqual(t.text, word);
}

// Words that can never be a plain field name in a condition: the operators of the grammar and
// the words of SQL statements, so that "a = 1 UNION SELECT ..." is a syntax error.
bool IsReservedWord(const Token& t) {
    static constexpr std::string_view kWords[] = {
        "AND",      "OR",          "NOT",     "XOR",       "EQV",        "IMP",     "MOD",
        "LIKE",     "IS",          "BETWEEN", "IN",        "SELECT",     "FROM",    "WHERE",
        "UNION",    "DROP",        "ATTACH",  "DETACH",    "PRAGMA",     "INSERT",  "UPDATE",
        "DELETE",   "CREATE",      "ALTER",   "INTO",      "VALUES",     "TABLE",   "ORDER",
        "BY",       "GROUP",       "HAVING",  "JOIN",      "ON",         "AS",      "SET",
        "DISTINCT", "DISTINCTROW", "EXISTS",  "TRANSFORM", "PARAMETERS", "EXECUTE", "WITH"};
    if (t.kind != TokenKind::Name || !t.qualifier.empty()) return false;
    for (auto w : kWords)
        if (NamesEqual(t.text, w)) return true;
    return false;
}

bool IsOperator(const Token& t, std::string_view op) {
    return t.kind == TokenKind::Operator && t.text == op;
}

class Parser {
  public:
    Parser(const std::vector<Token>& tokens, size_t first, size_t last, std::string_view source)
        : tokens_(tokens), pos_(first), last_(std::min(last, tokens.size())) {
        size_t begin = first < tokens.size() ? tokens[first].pos : source.size();
        size_t end = last < tokens.size() ? tokens[last].pos : source.size();
        begin = std::min(begin, source.size());
        end = std::clamp(end, begin, source.size());
        condition_ = source.substr(begin, end - begin);
        end_ = {TokenKind::End, {}, end, {}};
    }

    NodePtr ParseAll() {
        if (Peek().kind == TokenKind::End) Fail();
        NodePtr root = ParseImp();
        if (Peek().kind != TokenKind::End) Fail();
        return root;
    }

  private:
    // Counts nested recursion so that hostile nesting ends in an error, not a stack overflow.
    class DepthGuard {
      public:
        explicit DepthGuard(Parser& p) : p_(p) {
            if (++p_.depth_ > kMaxDepth) p_.Fail();
        }
        ~DepthGuard() { --p_.depth_; }
        DepthGuard(const DepthGuard&) = delete;
        DepthGuard& operator=(const DepthGuard&) = delete;

      private:
        Parser& p_;
    };

    [[noreturn]] void Fail() const { SyntaxError(condition_); }

    const Token& Peek(size_t ahead = 0) const {
        size_t at = pos_ + ahead;
        if (at >= last_ || tokens_[at].kind == TokenKind::End) return end_;
        return tokens_[at];
    }
    void Advance() { ++pos_; }

    NodePtr Make(Node::Type type, std::string op, std::vector<NodePtr> kids,
                 std::unique_ptr<Select> select = nullptr) {
        auto n = std::make_unique<Node>();
        n->type = type;
        n->op = std::move(op);
        for (const auto& k : kids) n->height = std::max(n->height, k->height + 1);
        if (select) {
            for (const auto& c : select->columns) n->height = std::max(n->height, c->height + 1);
            if (select->where) n->height = std::max(n->height, select->where->height + 1);
        }
        if (n->height > kMaxTreeHeight) Fail();
        n->kids = std::move(kids);
        n->select = std::move(select);
        return n;
    }

    // A plain name that is not a word of the syntax, or a bracketed one; never qualified.
    std::optional<std::string> PlainName() {
        const Token& t = Peek();
        if (!t.qualifier.empty()) return std::nullopt;
        if (t.kind != TokenKind::Bracketed && (t.kind != TokenKind::Name || IsReservedWord(t)))
            return std::nullopt;
        Advance();
        return t.text;
    }

    // The subquery after its "(", up to and with its ")".
    std::unique_ptr<Select> ParseSubquery() {
        DepthGuard guard(*this);
        if (++subqueries_ > kMaxSubqueryDepth) Fail();
        if (!IsKeyword(Peek(), "SELECT")) Fail();
        Advance();
        auto sel = std::make_unique<Select>();
        if (IsKeyword(Peek(), "DISTINCT") || IsKeyword(Peek(), "DISTINCTROW")) {
            sel->distinct = true;
            Advance();
        }
        if (Peek().kind == TokenKind::Star) {
            Advance();
        } else {
            while (true) {
                sel->columns.push_back(ParseImp());
                if (Peek().kind != TokenKind::Comma) break;
                Advance();
            }
        }
        if (!IsKeyword(Peek(), "FROM")) Fail();
        Advance();
        auto table = PlainName();
        if (!table) Fail();
        sel->table = std::move(*table);
        bool as = IsKeyword(Peek(), "AS");
        if (as) Advance();
        if (auto alias = PlainName())
            sel->alias = std::move(*alias);
        else if (as)
            Fail();
        if (IsKeyword(Peek(), "WHERE")) {
            Advance();
            sel->where = ParseImp();
        }
        if (Peek().kind != TokenKind::RParen) Fail();
        Advance();
        --subqueries_;
        return sel;
    }
    NodePtr Binary(std::string op, NodePtr l, NodePtr r) {
        std::vector<NodePtr> kids;
        kids.push_back(std::move(l));
        kids.push_back(std::move(r));
        return Make(Node::Type::Binary, std::move(op), std::move(kids));
    }
    NodePtr Unary(std::string op, NodePtr operand) {
        std::vector<NodePtr> kids;
        kids.push_back(std::move(operand));
        return Make(Node::Type::Unary, std::move(op), std::move(kids));
    }

    // Left-associative levels named by a keyword, lowest first: Imp, Eqv, Xor, Or, And.
    NodePtr ParseImp() { return ParseWordLevel(0); }
    NodePtr ParseWordLevel(size_t level) {
        static constexpr std::string_view kWords[] = {"IMP", "EQV", "XOR", "OR", "AND"};
        auto next = [&] {
            return level + 1 < std::size(kWords) ? ParseWordLevel(level + 1) : ParseNot();
        };
        NodePtr l = next();
        while (IsKeyword(Peek(), kWords[level])) {
            Advance();
            l = Binary(std::string(kWords[level]), std::move(l), next());
        }
        return l;
    }

    NodePtr ParseNot() {
        if (!IsKeyword(Peek(), "NOT")) return ParseComparison();
        DepthGuard guard(*this);
        Advance();
        return Unary("NOT", ParseNot());
    }

    NodePtr ParseComparison() {
        NodePtr l = ParseConcat();
        while (true) {
            const Token& t = Peek();
            bool negated = false;
            if (t.kind == TokenKind::Operator &&
                (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" ||
                 t.text == "<=" || t.text == ">=")) {
                std::string op = t.text;
                Advance();
                l = Binary(op, std::move(l), ParseConcat());
                continue;
            }
            if (IsKeyword(t, "IS")) {
                Advance();
                if (IsKeyword(Peek(), "NOT")) {
                    negated = true;
                    Advance();
                }
                if (!IsKeyword(Peek(), "NULL")) Fail();
                Advance();
                std::vector<NodePtr> kids;
                kids.push_back(std::move(l));
                l = Make(Node::Type::IsNull, "IS", std::move(kids));
                l->negated = negated;
                continue;
            }
            size_t skip = 0;
            if (IsKeyword(t, "NOT")) {
                negated = true;
                skip = 1;
            }
            const Token& w = Peek(skip);
            if (IsKeyword(w, "LIKE")) {
                pos_ += skip + 1;
                std::vector<NodePtr> kids;
                kids.push_back(std::move(l));
                kids.push_back(ParseConcat());
                const Node& pattern = *kids[1];
                if (pattern.type == Node::Type::Literal && pattern.value.IsString() &&
                    !CompileLike(pattern.value.StringValue()))
                    Fail();
                l = Make(Node::Type::Like, "LIKE", std::move(kids));
            } else if (IsKeyword(w, "BETWEEN")) {
                pos_ += skip + 1;
                std::vector<NodePtr> kids;
                kids.push_back(std::move(l));
                kids.push_back(ParseConcat());
                if (!IsKeyword(Peek(), "AND")) Fail();
                Advance();
                kids.push_back(ParseConcat());
                l = Make(Node::Type::Between, "BETWEEN", std::move(kids));
            } else if (IsKeyword(w, "IN")) {
                pos_ += skip + 1;
                if (Peek().kind != TokenKind::LParen) Fail();
                Advance();
                std::vector<NodePtr> kids;
                kids.push_back(std::move(l));
                if (IsKeyword(Peek(), "SELECT")) {
                    std::unique_ptr<Select> sel = ParseSubquery();
                    l = Make(Node::Type::InSelect, "IN", std::move(kids), std::move(sel));
                    l->negated = negated;
                    continue;
                }
                while (true) {
                    DepthGuard guard(*this);
                    kids.push_back(ParseImp());
                    if (Peek().kind == TokenKind::Comma) {
                        Advance();
                        continue;
                    }
                    if (Peek().kind != TokenKind::RParen) Fail();
                    Advance();
                    break;
                }
                l = Make(Node::Type::In, "IN", std::move(kids));
            } else {
                return l;
            }
            l->negated = negated;
        }
    }

    NodePtr ParseConcat() {
        NodePtr l = ParseAdditive();
        while (IsOperator(Peek(), "&")) {
            Advance();
            l = Binary("&", std::move(l), ParseAdditive());
        }
        return l;
    }

    NodePtr ParseAdditive() {
        NodePtr l = ParseMod();
        while (IsOperator(Peek(), "+") || IsOperator(Peek(), "-")) {
            std::string op = Peek().text;
            Advance();
            l = Binary(op, std::move(l), ParseMod());
        }
        return l;
    }

    NodePtr ParseMod() {
        NodePtr l = ParseIntDiv();
        while (IsKeyword(Peek(), "MOD")) {
            Advance();
            l = Binary("MOD", std::move(l), ParseIntDiv());
        }
        return l;
    }

    NodePtr ParseIntDiv() {
        NodePtr l = ParseMultiplicative();
        while (IsOperator(Peek(), "\\")) {
            Advance();
            l = Binary("\\", std::move(l), ParseMultiplicative());
        }
        return l;
    }

    NodePtr ParseMultiplicative() {
        NodePtr l = ParseUnary();
        while (Peek().kind == TokenKind::Star || IsOperator(Peek(), "/")) {
            std::string op = Peek().kind == TokenKind::Star ? "*" : "/";
            Advance();
            l = Binary(op, std::move(l), ParseUnary());
        }
        return l;
    }

    // As in the host language, "^" binds tighter than a sign: -2^2 is -4, while the exponent
    // may carry a sign of its own: 2^-1.
    NodePtr ParseUnary() { return ParseSigned(&Parser::ParsePower); }

    NodePtr ParseSigned(NodePtr (Parser::*unsignedOperand)()) {
        if (!IsOperator(Peek(), "-") && !IsOperator(Peek(), "+")) return (this->*unsignedOperand)();
        DepthGuard guard(*this);
        bool minus = Peek().text == "-";
        Advance();
        NodePtr operand = ParseSigned(unsignedOperand);
        if (!minus) return operand;
        return Negate(std::move(operand));
    }

    NodePtr ParsePower() {
        NodePtr l = ParsePrimary();
        while (IsOperator(Peek(), "^")) {
            Advance();
            l = Binary("^", std::move(l), ParseSigned(&Parser::ParsePrimary));
        }
        return l;
    }

    // A sign on a number literal is folded into the literal, so "-5" is the parameter -5.
    NodePtr Negate(NodePtr operand) {
        if (operand->type == Node::Type::Literal) {
            Variant& v = operand->value;
            if (v.Type() == VarType::Long) {
                int64_t n = -v.IntValue();
                v = n > INT32_MAX ? Variant::Double(static_cast<double>(n))
                                  : Variant::Long(static_cast<int32_t>(n));
                return operand;
            }
            if (v.Type() == VarType::Double) {
                double d = -v.RealValue();
                v = d == std::numeric_limits<int32_t>::min() ? Variant::Long(INT32_MIN)
                                                             : Variant::Double(d);
                return operand;
            }
        }
        return Unary("NEG", std::move(operand));
    }

    NodePtr Literal(Variant v) {
        auto n = std::make_unique<Node>();
        n->type = Node::Type::Literal;
        n->value = std::move(v);
        return n;
    }

    NodePtr ParsePrimary() {
        const Token& t = Peek();
        switch (t.kind) {
        case TokenKind::Number: {
            Variant v = NumberValue(t.text);
            Advance();
            return Literal(std::move(v));
        }
        case TokenKind::String: {
            Variant v(t.text);
            Advance();
            return Literal(std::move(v));
        }
        case TokenKind::Date: {
            auto ole = ParseDateLiteral(t.text);
            if (!ole) Fail();
            Advance();
            return Literal(Variant::Date(*ole));
        }
        case TokenKind::Name:
            if (IsKeyword(t, "TRUE") || IsKeyword(t, "FALSE")) {
                bool v = IsKeyword(t, "TRUE");
                Advance();
                return Literal(Variant::Boolean(v));
            }
            if (IsKeyword(t, "NULL")) {
                Advance();
                return Literal(Variant::Null());
            }
            if (IsKeyword(t, "EXISTS")) {
                Advance();
                if (Peek().kind != TokenKind::LParen) Fail();
                Advance();
                return Make(Node::Type::Exists, "EXISTS", {}, ParseSubquery());
            }
            if (IsReservedWord(t)) Fail();
            [[fallthrough]];
        case TokenKind::Bracketed: {
            auto n = std::make_unique<Node>();
            n->type = Node::Type::Column;
            n->name = t.text;
            n->qualifier = t.qualifier;
            Advance();
            return n;
        }
        case TokenKind::LParen: {
            DepthGuard guard(*this);
            Advance();
            NodePtr inner = ParseImp();
            if (Peek().kind != TokenKind::RParen) Fail();
            Advance();
            return inner;
        }
        default:
            Fail();
        }
    }

    // Whole numbers that fit in 32 bits are Long, everything else Double.
    Variant NumberValue(const std::string& text) const {
        const char* b = text.data();
        const char* e = b + text.size();
        if (text.find_first_not_of("0123456789") == std::string::npos) {
            uint64_t n = 0;
            auto [p, ec] = std::from_chars(b, e, n);
            if (ec == std::errc() && p == e && n <= static_cast<uint64_t>(INT32_MAX))
                return Variant::Long(static_cast<int32_t>(n));
        }
        double d = 0;
        auto [p, ec] = std::from_chars(b, e, d);
        if (ec != std::errc() || p != e || !std::isfinite(d)) Fail();
        return Variant::Double(d);
    }

    const std::vector<Token>& tokens_;
    size_t pos_;
    size_t last_;
    std::string_view condition_;
    Token end_;
    int depth_ = 0;
    int subqueries_ = 0; // the subqueries the parser is inside of
};

// ---------------------------------------------------------------------------------------------
// SQL writer

// Besides the text, each piece of SQL carries upper bounds of what SQLite needs to read it: the
// entries on its parser's stack (100 in all, about eight taken by the statement around the
// condition) and the height of its expression tree. A condition past either bound is refused
// here, so that every accepted condition also prepares.
struct Emitted {
    std::string sql;
    Kind kind = Kind::Null;
    int need = 1;
    int height = 1;
    std::string chainOp; // sql is "(a op b ...)" and may be extended by " op c" in place
    bool notNull = false;
};

// Upper bound of the SQL tokens in text: words, quoted names and strings, numbers and single
// punctuation characters each count one.
int CountTokens(std::string_view text) {
    int n = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (IsSpace(c)) {
            ++i;
            continue;
        }
        ++n;
        if (c == '\'' || c == '"' || c == '`') {
            ++i;
            while (i < text.size()) {
                if (text[i] == c && !(i + 1 < text.size() && text[i + 1] == c)) break;
                i += text[i] == c ? 2 : 1;
            }
            ++i;
        } else if (c == '[') {
            size_t close = text.find(']', i);
            i = close == std::string_view::npos ? text.size() : close + 1;
        } else if (IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.') {
            while (i < text.size() &&
                   (IsAsciiLetter(text[i]) || IsDigit(text[i]) || text[i] == '_' || text[i] == '.'))
                ++i;
            // A function call's "(" also pushes the empty DISTINCT/ALL of its argument list.
            size_t j = i;
            while (j < text.size() && IsSpace(text[j])) ++j;
            if (j < text.size() && text[j] == '(') {
                n += 2;
                i = j + 1;
            }
        } else {
            ++i;
        }
    }
    return n;
}

// Assembles one construct from fixed text and the SQL of its operands, in reading order. Until
// the construct closes, every token read before an operand may still be on the parser's stack.
class SqlBuilder {
  public:
    SqlBuilder& Text(std::string_view t) {
        sql_ += t;
        pending_ += CountTokens(t);
        return *this;
    }
    SqlBuilder& Operand(const Emitted& e) {
        sql_ += e.sql;
        need_ = std::max(need_, pending_ + e.need);
        height_ = std::max(height_, e.height);
        ++pending_; // the operand is reduced to one entry
        return *this;
    }
    // The inside of a chain "(a op b)" whose opening parenthesis this construct shares.
    SqlBuilder& ChainInside(const Emitted& e) {
        sql_.append(e.sql, 1, e.sql.size() - 2);
        need_ = std::max(need_, pending_ - 1 + e.need);
        height_ = std::max(height_, e.height);
        ++pending_;
        return *this;
    }
    // Entries the parser holds for rules that read no token.
    SqlBuilder& Pad(int entries) {
        pending_ += entries;
        return *this;
    }
    // A list "a, b, c": the parser folds each item into the list as it goes.
    SqlBuilder& List(const std::vector<Emitted>& items) {
        const int base = pending_;
        for (size_t i = 0; i < items.size(); ++i) {
            if (i) sql_ += ", ";
            sql_ += items[i].sql;
            need_ = std::max(need_, base + (i ? 1 : 0) + items[i].need);
            height_ = std::max(height_, items[i].height);
        }
        pending_ = base + 1;
        return *this;
    }
    // levels: the expression nodes this construct adds above its operands.
    Emitted Done(Kind kind, int levels, std::string chainOp = {}) {
        Emitted e;
        e.sql = std::move(sql_);
        e.kind = kind;
        e.need = std::max(need_, pending_);
        e.height = height_ + levels;
        e.chainOp = std::move(chainOp);
        return e;
    }

  private:
    std::string sql_;
    int pending_ = 0;
    int need_ = 0;
    int height_ = 0;
};

Kind KindOfType(int daoType) {
    switch (daoType) {
    case 10:
    case 12:
        return Kind::Text;
    case 8:
        return Kind::Date;
    case 1:
        return Kind::Bool;
    default:
        return Kind::Number;
    }
}

Kind KindOfValue(const Variant& v) {
    switch (v.Type()) {
    case VarType::String:
        return Kind::Text;
    case VarType::Date:
        return Kind::Date;
    case VarType::Boolean:
        return Kind::Bool;
    case VarType::Null:
        return Kind::Null;
    default:
        return Kind::Number;
    }
}

bool IsComparison(const std::string& op) {
    return op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=";
}

// A table the condition reads, as the writer sees it while inside it.
struct Scope {
    ConditionTable table;
    std::string alias;   // the name the condition gives the table; empty: its own name
    std::string sqlName; // how the SQL names the table inside subqueries
};

// The parser entries of SQLite's rules that read no token (a select's DISTINCT, its column
// list's start and the marks around each column).
constexpr int kEmptyRuleEntries = 3;

class Emitter {
  public:
    // outer: the condition's own table; tables: the database's, or null where subqueries are
    // refused; anyQualifier: a qualifier in front of a field of the outer table is not checked.
    Emitter(Scope outer, const std::function<std::optional<ConditionTable>(std::string_view)>* tables,
            bool anyQualifier, std::string_view condition, std::vector<Variant>& params)
        : tables_(tables), anyQualifier_(anyQualifier), condition_(condition), params_(params) {
        scopes_.push_back(std::move(outer));
    }

    Emitted Emit(const Node& n) {
        switch (n.type) {
        case Node::Type::Literal: {
            params_.push_back(n.value);
            Emitted e;
            e.sql = "?";
            e.kind = KindOfValue(n.value);
            return e;
        }
        case Node::Type::Column: {
            std::optional<ColumnRef> ref = Resolve(n);
            Emitted e;
            e.sql = "(" + ref->sqlExpr + ")";
            e.kind = KindOfType(ref->type);
            e.need = e.height = CountTokens(e.sql);
            return e;
        }
        case Node::Type::Unary: {
            Emitted a = Emit(*n.kids[0]);
            if (n.op == "NOT")
                return SqlBuilder().Text("(NOT ").Operand(a).Text(")").Done(Kind::Bool, 1);
            return SqlBuilder().Text("(-").Operand(a).Text(")").Done(Kind::Number, 1);
        }
        case Node::Type::Binary:
            return EmitBinary(n);
        case Node::Type::Like: {
            Emitted a = Emit(*n.kids[0]);
            Emitted p = Emit(*n.kids[1]);
            // Jet matches a date in its text form.
            if (a.kind == Kind::Date)
                a = SqlBuilder().Text("jet_text(").Operand(a).Text(", 'date')").Done(Kind::Text, 1);
            Emitted call = SqlBuilder()
                               .Text("jet_like(")
                               .Operand(a)
                               .Text(", ")
                               .Operand(p)
                               .Text(")")
                               .Done(Kind::Bool, 1);
            if (!n.negated) return call;
            return SqlBuilder().Text("(NOT ").Operand(call).Text(")").Done(Kind::Bool, 1);
        }
        case Node::Type::IsNull: {
            Emitted a = Emit(*n.kids[0]);
            return SqlBuilder()
                .Text("(")
                .Operand(a)
                .Text(n.negated ? " IS NOT NULL)" : " IS NULL)")
                .Done(Kind::Bool, 1);
        }
        case Node::Type::Between: {
            Emitted x = Emit(*n.kids[0]);
            Emitted lo = Emit(*n.kids[1]);
            Emitted hi = Emit(*n.kids[2]);
            bool text = IsText(x) || IsText(lo) || IsText(hi);
            // The collation of the tested value governs both comparisons.
            return SqlBuilder()
                .Text("(")
                .Operand(x)
                .Text(text ? " COLLATE NOCASE" : "")
                .Text(n.negated ? " NOT BETWEEN " : " BETWEEN ")
                .Operand(lo)
                .Text(" AND ")
                .Operand(hi)
                .Text(")")
                .Done(Kind::Bool, 2);
        }
        case Node::Type::In: {
            Emitted x = Emit(*n.kids[0]);
            bool text = IsText(x);
            std::vector<Emitted> items;
            for (size_t i = 1; i < n.kids.size(); ++i) {
                items.push_back(Emit(*n.kids[i]));
                text = text || IsText(items.back());
            }
            return SqlBuilder()
                .Text("(")
                .Operand(x)
                .Text(text ? " COLLATE NOCASE" : "")
                .Text(n.negated ? " NOT IN (" : " IN (")
                .List(items)
                .Text("))")
                .Done(Kind::Bool, 2);
        }
        case Node::Type::InSelect: {
            Emitted x = Emit(*n.kids[0]);
            Emitted sub = EmitSelect(*n.select, true);
            bool text = IsText(x) || IsText(sub);
            return SqlBuilder()
                .Text("(")
                .Operand(x)
                .Text(text ? " COLLATE NOCASE" : "")
                .Text(n.negated ? " NOT IN (" : " IN (")
                .Operand(sub)
                .Text("))")
                .Done(Kind::Bool, 2);
        }
        case Node::Type::Exists:
            return SqlBuilder()
                .Text("(EXISTS (")
                .Operand(EmitSelect(*n.select, false))
                .Text("))")
                .Done(Kind::Bool, 2);
        }
        return {};
    }

  private:
    // A field by its name: with a qualifier, of the innermost table that the qualifier names;
    // without, of the innermost table that has it. A table of a subquery is read through its
    // alias in SQL, the outer one bare at the top and through its SQL name inside subqueries.
    std::optional<ColumnRef> Resolve(const Node& n) const {
        const bool top = scopes_.size() == 1;
        auto read = [&](size_t k) {
            return scopes_[k].table.column(n.name, k == 0 && top ? std::string() : scopes_[k].sqlName);
        };
        if (!n.qualifier.empty()) {
            for (size_t k = scopes_.size(); k-- > 0;) {
                const Scope& s = scopes_[k];
                bool named = NamesEqual(s.alias.empty() ? s.table.name : s.alias, n.qualifier);
                if (!named && !(k == 0 && anyQualifier_)) continue;
                if (auto ref = read(k)) return ref;
                break;
            }
            Throw(err::kUnknownField, n.qualifier + "." + n.name);
        }
        for (size_t k = scopes_.size(); k-- > 0;)
            if (auto ref = read(k)) return ref;
        Throw(err::kUnknownField, n.name);
    }

    // "SELECT ... FROM table AS alias [WHERE ...]"; its kind is the kind of its one column.
    // inList: the subquery of In, which must give exactly one column.
    Emitted EmitSelect(const Select& sel, bool inList) {
        if (!tables_ || !*tables_) SyntaxError(condition_);
        std::optional<ConditionTable> table = (*tables_)(sel.table);
        if (!table) Throw(err::kTableNotFound, sel.table);
        // Names no table can have (a name may not hold "."), so that no alias hides another
        // table of the statement.
        std::string sqlName = "\"sub." + std::to_string(++subqueries_) + "\"";
        const std::string from = table->from;
        scopes_.push_back({std::move(*table), sel.alias, sqlName});
        struct Leave {
            std::vector<Scope>& scopes;
            ~Leave() { scopes.pop_back(); }
        } leave{scopes_};

        SqlBuilder sb;
        sb.Text(sel.distinct ? "SELECT DISTINCT " : "SELECT ");
        Kind kind = Kind::Bool;
        std::vector<Emitted> columns;
        if (sel.columns.empty() && inList) {
            // "*" of a table of one field is that field.
            const auto& fields = scopes_.back().table.fields;
            if (fields.size() != 1) SyntaxError(condition_);
            Node field;
            field.type = Node::Type::Column;
            field.name = fields[0];
            field.qualifier = sel.alias.empty() ? scopes_.back().table.name : sel.alias;
            columns.push_back(Emit(field));
        }
        for (const auto& c : sel.columns) columns.push_back(Emit(*c));
        if (inList && columns.size() != 1) SyntaxError(condition_);
        if (columns.empty()) {
            sb.Text("1");
        } else {
            kind = columns[0].kind;
            sb.Pad(kEmptyRuleEntries).List(columns);
        }
        sb.Text(" FROM ").Text(from).Text(" AS ").Text(sqlName);
        if (sel.where) sb.Text(" WHERE ").Operand(Emit(*sel.where));
        return sb.Done(kind, 1);
    }

    static bool IsText(const Emitted& e) { return e.kind == Kind::Text; }

    // The text "&" joins: Null as "", numbers and dates in the host's text form.
    static Emitted ConcatOperand(const Emitted& e) {
        if (e.notNull) return e;
        Emitted text = e;
        if (e.kind != Kind::Text && e.kind != Kind::Null) {
            text = SqlBuilder()
                       .Text("jet_text(")
                       .Operand(e)
                       .Text(e.kind == Kind::Date ? ", 'date')" : ")")
                       .Done(Kind::Text, 1);
        }
        return SqlBuilder().Text("COALESCE(").Operand(text).Text(", '')").Done(Kind::Text, 1);
    }

    // "(a op b)", continuing a's chain when a is "(x op y)" already, so that long runs of one
    // operator nest no deeper in the SQL than a single one.
    static Emitted Infix(const Emitted& a, const std::string& op, const Emitted& b, Kind kind,
                         std::string_view suffix = {}, int levels = 1) {
        SqlBuilder sb;
        sb.Text("(");
        bool chain = suffix.empty() && a.chainOp == op;
        if (chain)
            sb.ChainInside(a);
        else
            sb.Operand(a);
        sb.Text(" " + op + " ").Operand(b).Text(suffix).Text(")");
        return sb.Done(kind, levels, suffix.empty() ? op : std::string());
    }

    Emitted EmitBinary(const Node& n) {
        Emitted a = Emit(*n.kids[0]);
        Emitted b = Emit(*n.kids[1]);
        const std::string& op = n.op;
        if (IsComparison(op)) {
            // Text compares ignoring letter case, as Jet compares it.
            if (IsText(a) || IsText(b)) return Infix(a, op, b, Kind::Bool, " COLLATE NOCASE", 2);
            Emitted e = Infix(a, op, b, Kind::Bool);
            e.chainOp.clear();
            return e;
        }
        if (op == "AND" || op == "OR") return Infix(a, op, b, Kind::Bool);
        if (op == "XOR" || op == "EQV" || op == "IMP") {
            auto truth = [](const Emitted& e) {
                return SqlBuilder().Text("(").Operand(e).Text(" <> 0)").Done(Kind::Bool, 1);
            };
            if (op == "IMP") {
                Emitted notA = SqlBuilder().Text("(NOT ").Operand(a).Text(")").Done(Kind::Bool, 1);
                return Infix(notA, "OR", b, Kind::Bool);
            }
            Emitted e = Infix(truth(a), op == "XOR" ? "<>" : "=", truth(b), Kind::Bool);
            e.chainOp.clear();
            return e;
        }
        if (op == "&") {
            Emitted e = Infix(ConcatOperand(a), "||", ConcatOperand(b), Kind::Text);
            e.notNull = true;
            return e;
        }
        // "+" on two texts joins them, as in the host language; SQLite's "+" would add.
        if (op == "+" && IsText(a) && IsText(b)) {
            Emitted e = Infix(a, "||", b, Kind::Text);
            e.chainOp.clear();
            return e;
        }
        if (op == "+" || op == "-" || op == "*") return Infix(a, op, b, Kind::Number);
        // SQLite divides two integers as integers; Jet's "/" always gives the exact quotient.
        if (op == "/") {
            Emitted real =
                SqlBuilder().Text("CAST(").Operand(a).Text(" AS REAL)").Done(Kind::Number, 1);
            Emitted e = Infix(real, "/", b, Kind::Number);
            e.chainOp.clear();
            return e;
        }
        const char* fn = op == "\\" ? "jet_idiv(" : op == "MOD" ? "jet_mod(" : "jet_pow(";
        return SqlBuilder().Text(fn).Operand(a).Text(", ").Operand(b).Text(")").Done(Kind::Number,
                                                                                     1);
    }

    std::vector<Scope> scopes_;
    const std::function<std::optional<ConditionTable>(std::string_view)>* tables_;
    bool anyQualifier_;
    std::string_view condition_;
    int subqueries_ = 0; // aliases given so far
    std::vector<Variant>& params_;
};

// ---------------------------------------------------------------------------------------------
// SQL functions

std::optional<std::string> ValueText(sqlite3_value* v, bool asDate) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER: {
        sqlite3_int64 i = sqlite3_value_int64(v);
        return asDate ? DateText(static_cast<double>(i)) : std::to_string(i);
    }
    case SQLITE_FLOAT: {
        double d = sqlite3_value_double(v);
        return asDate ? DateText(d) : NumberText(d);
    }
    default: {
        const auto* text = sqlite3_value_text(v);
        int bytes = sqlite3_value_bytes(v);
        return std::string(text ? reinterpret_cast<const char*>(text) : "",
                           static_cast<size_t>(bytes));
    }
    }
}

template <typename F> void Guarded(sqlite3_context* ctx, F&& body) {
    try {
        body();
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqlLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Guarded(ctx, [&] {
        auto value = ValueText(argv[0], false);
        auto pattern = ValueText(argv[1], false);
        if (!value || !pattern) return sqlite3_result_null(ctx);
        sqlite3_result_int(ctx, JetLikeMatch(*value, *pattern) ? 1 : 0);
    });
}

void SqlText(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Guarded(ctx, [&] {
        bool asDate = false;
        if (argc == 2) {
            auto kind = ValueText(argv[1], false);
            asDate = kind && NamesEqual(*kind, "date");
        }
        auto text = ValueText(argv[0], asDate);
        if (!text) return sqlite3_result_null(ctx);
        ResultText(ctx, *text);
    });
}

// An operand of "\" or Mod: rounded half to even, as the host rounds; nullopt for Null or a
// value too large to hold exactly.
std::optional<int64_t> RoundedOperand(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER:
        return sqlite3_value_int64(v);
    default: {
        double d = std::nearbyint(sqlite3_value_double(v));
        if (!(std::fabs(d) <= 9007199254740992.0)) return std::nullopt;
        return static_cast<int64_t>(d);
    }
    }
}

void SqlIntegerDivision(sqlite3_context* ctx, bool remainder, sqlite3_value** argv) {
    auto a = RoundedOperand(argv[0]);
    auto b = RoundedOperand(argv[1]);
    if (!a || !b || *b == 0 || (*a == INT64_MIN && *b == -1)) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, remainder ? *a % *b : *a / *b);
}

void SqlIdiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SqlIntegerDivision(ctx, false, argv);
}
void SqlMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SqlIntegerDivision(ctx, true, argv);
}

void SqlPow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    double r = std::pow(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1]));
    if (!std::isfinite(r)) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, r);
}

// ---------------------------------------------------------------------------------------------
// Statements

// Walks the tokens of a SELECT or DELETE statement.
class StatementReader {
  public:
    explicit StatementReader(std::string_view text) : text_(text), tokens_(Tokenize(text)) {}

    const Token& Peek() const { return tokens_[pos_]; }
    bool AtWord(std::string_view w) const { return IsKeyword(Peek(), w); }
    void ExpectWord(std::string_view w) {
        if (!AtWord(w)) Fail();
        ++pos_;
    }
    void Expect(TokenKind kind) {
        if (Peek().kind != kind) Fail();
        ++pos_;
    }
    [[noreturn]] void Fail(long number = err::kSyntaxInExpression) const {
        Throw(number, Excerpt(text_));
    }

    // A name token: a bracketed name, or a plain one that is not a word of the syntax.
    std::optional<std::string> Name() {
        const Token& t = Peek();
        if (t.kind == TokenKind::Bracketed || (t.kind == TokenKind::Name && !IsReservedWord(t) &&
                                               !IsKeyword(t, "ASC") && !IsKeyword(t, "DESC"))) {
            ++pos_;
            return t.text;
        }
        return std::nullopt;
    }

    std::string TableName() {
        auto name = Name();
        if (!name) Fail(err::kSyntaxInFrom);
        // After the table only these may follow; anything else is a fault of the FROM clause.
        if (!AtWord("WHERE") && !AtWord("ORDER") && Peek().kind != TokenKind::Semicolon &&
            Peek().kind != TokenKind::End)
            Fail(err::kSyntaxInFrom);
        return *name;
    }

    // The condition after WHERE, up to a top-level ORDER BY, ";" or the end, as written. Its
    // syntax is checked here so that a bad statement fails when it is opened.
    std::string Condition(bool orderByEnds) {
        ExpectWord("WHERE");
        size_t first = pos_;
        int depth = 0;
        while (true) {
            const Token& t = Peek();
            if (t.kind == TokenKind::End || (t.kind == TokenKind::Semicolon && depth <= 0)) break;
            if (orderByEnds && depth <= 0 && IsKeyword(t, "ORDER") &&
                IsKeyword(tokens_[pos_ + 1], "BY"))
                break;
            if (t.kind == TokenKind::LParen) ++depth;
            if (t.kind == TokenKind::RParen) --depth;
            ++pos_;
        }
        if (pos_ == first) Fail();
        Parser(tokens_, first, pos_, text_).ParseAll();
        size_t begin = tokens_[first].pos;
        return std::string(Trim(text_.substr(begin, Peek().pos - begin)));
    }

    std::vector<OrderItem> OrderBy() {
        ExpectWord("ORDER");
        ExpectWord("BY");
        std::vector<OrderItem> items;
        while (true) {
            auto name = Name();
            if (!name) Fail();
            OrderItem item{*name, false};
            if (AtWord("ASC") || AtWord("DESC")) {
                item.descending = AtWord("DESC");
                ++pos_;
            }
            items.push_back(std::move(item));
            if (Peek().kind != TokenKind::Comma) break;
            ++pos_;
        }
        return items;
    }

    // A single trailing ";" is allowed; nothing may follow it.
    void Finish() {
        if (Peek().kind == TokenKind::Semicolon) ++pos_;
        if (Peek().kind != TokenKind::End) Fail();
    }

  private:
    std::string_view text_;
    std::vector<Token> tokens_;
    size_t pos_ = 0;
};

bool StartsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size() || !NamesEqual(text.substr(0, word.size()), word))
        return false;
    return text.size() == word.size() ||
           (!IsNameStartAt(text, word.size()) && !IsDigit(text[word.size()]));
}

// "[name]" standing alone, with "]]" for "]"; nullopt when the text is not exactly that.
std::optional<std::string> WholeBracketedName(std::string_view text) {
    if (text.size() < 3 || text.front() != '[' || text.back() != ']') return std::nullopt;
    std::string name;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == ']') {
            if (text[i + 1] != ']' || i + 2 == text.size()) return std::nullopt;
            ++i;
        }
        name += text[i];
    }
    return name;
}

} // namespace

std::vector<Token> Tokenize(std::string_view text) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const size_t start = i;
        if (IsSpace(c)) {
            ++i;
            continue;
        }
        if (c == '\'' || c == '"') {
            std::string value = ReadQuoted(text, i);
            out.push_back({TokenKind::String, std::move(value), start, {}});
            continue;
        }
        if (c == '#') {
            size_t close = text.find('#', i + 1);
            if (close == std::string_view::npos) LexError(text, start);
            std::string_view inside = text.substr(i + 1, close - i - 1);
            i = close + 1;
            if (!ParseDateLiteral(inside)) SyntaxError(text.substr(start, i - start));
            out.push_back({TokenKind::Date, std::string(inside), start, {}});
            continue;
        }
        if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
            std::string number = ReadNumber(text, i);
            out.push_back({TokenKind::Number, std::move(number), start, {}});
            continue;
        }
        if (c == '[' || IsNameStartAt(text, i)) {
            out.push_back(ReadNameToken(text, i));
            continue;
        }
        TokenKind kind = TokenKind::Operator;
        size_t len = 1;
        switch (c) {
        case '<':
            if (i + 1 < text.size() && (text[i + 1] == '>' || text[i + 1] == '=')) len = 2;
            break;
        case '>':
            if (i + 1 < text.size() && text[i + 1] == '=') len = 2;
            break;
        case '=':
        case '+':
        case '-':
        case '/':
        case '\\':
        case '&':
        case '^':
            break;
        case '*':
            kind = TokenKind::Star;
            break;
        case '(':
            kind = TokenKind::LParen;
            break;
        case ')':
            kind = TokenKind::RParen;
            break;
        case ',':
            kind = TokenKind::Comma;
            break;
        case ';':
            kind = TokenKind::Semicolon;
            break;
        default:
            LexError(text, start);
        }
        out.push_back({kind, std::string(text.substr(i, len)), start, {}});
        i += len;
    }
    out.push_back({TokenKind::End, {}, text.size(), {}});
    return out;
}

namespace {

SqlCondition Translate(std::string_view text, Scope outer,
                       const std::function<std::optional<ConditionTable>(std::string_view)>* tables,
                       bool anyQualifier) {
    std::vector<Token> tokens = Tokenize(text);
    NodePtr root = Parser(tokens, 0, tokens.size() - 1, text).ParseAll();
    SqlCondition out;
    Emitter emitter(std::move(outer), tables, anyQualifier, text, out.params);
    Emitted sql = emitter.Emit(*root);
    if (out.params.size() > kMaxParams || sql.need > kMaxParserStack || sql.height > kMaxSqlHeight)
        SyntaxError(text);
    out.sql = std::move(sql.sql);
    return out;
}

} // namespace

SqlCondition TranslateCondition(std::string_view text, const ColumnLookup& lookup) {
    Scope outer;
    outer.table.column = [&lookup](std::string_view field, const std::string&) { return lookup(field); };
    return Translate(text, std::move(outer), nullptr, true);
}

SqlCondition TranslateCondition(std::string_view text, const ConditionScope& scope) {
    return Translate(text, {scope.table, {}, scope.qualifier}, &scope.tables, false);
}

bool JetLikeMatch(std::string_view value, std::string_view pattern) {
    auto compiled = CompileLike(pattern);
    if (!compiled) return false;
    return MatchCompiled(*compiled, CodePoints(value));
}

int RegisterCriteriaFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    struct Fn {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    const Fn fns[] = {{"jet_like", 2, SqlLike}, {"jet_text", 1, SqlText}, {"jet_text", 2, SqlText},
                      {"jet_idiv", 2, SqlIdiv}, {"jet_mod", 2, SqlMod},   {"jet_pow", 2, SqlPow}};
    for (const Fn& f : fns) {
        int rc = sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr,
                                            nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

SelectStatement ParseSelect(std::string_view source) {
    std::string_view text = Trim(source);
    if (!StartsWithWord(text, "SELECT")) {
        // A table name as OpenRecordset takes it, blanks and all.
        if (text.empty()) SyntaxError(source);
        for (char c : text)
            if (c == '\0') SyntaxError(text);
        SelectStatement st;
        auto bracketed = WholeBracketedName(text);
        st.table = bracketed ? *bracketed : std::string(text);
        size_t i = 0;
        while (i < st.table.size())
            if (!NextCodePoint(st.table, i)) SyntaxError(text);
        return st;
    }
    StatementReader r(text);
    r.ExpectWord("SELECT");
    r.Expect(TokenKind::Star);
    r.ExpectWord("FROM");
    SelectStatement st;
    st.table = r.TableName();
    if (r.AtWord("WHERE")) st.where = r.Condition(true);
    if (r.AtWord("ORDER")) st.orderBy = r.OrderBy();
    r.Finish();
    return st;
}

SelectStatement ParseDelete(std::string_view statement) {
    std::string_view text = Trim(statement);
    StatementReader r(text);
    r.ExpectWord("DELETE");
    if (r.Peek().kind == TokenKind::Star) r.Expect(TokenKind::Star);
    r.ExpectWord("FROM");
    SelectStatement st;
    st.table = r.TableName();
    if (r.AtWord("ORDER")) r.Fail();
    if (r.AtWord("WHERE")) st.where = r.Condition(false);
    r.Finish();
    return st;
}

} // namespace engine::detail
