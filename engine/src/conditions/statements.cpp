// The SELECT and DELETE statements of the system: a recordset's source and Execute's statement,
// read into their table, condition and order.
#include <optional>
#include <string>
#include <vector>

#include "conditions/criteria.h"
#include "conditions/parser.h"
#include "conditions/text_scan.h"
#include "engine/error.h"
#include "engine/names.h"

namespace engine::detail {

using namespace conditions;

namespace {

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
        ParseExpression(tokens_, first, pos_, text_);
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
    if (text.size() < word.size() || !NamesEqual(text.substr(0, word.size()), word)) return false;
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
