#include "conditions/parser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "conditions/dates.h"
#include "conditions/like.h"
#include "conditions/text_scan.h"
#include "engine/error.h"
#include "engine/names.h"

namespace engine::detail::conditions {
namespace {

// Deeper nesting of the text is refused rather than recursed into.
constexpr int kMaxDepth = 200;
// Subqueries inside subqueries: SQLite's parser stack holds a few levels of them at most.
constexpr int kMaxSubqueryDepth = 4;
// The height of the expression tree, which the writer recurses through; long runs of one
// operator ("a Or b Or c ...") make it grow without nesting.
constexpr int kMaxTreeHeight = 1000;

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

} // namespace

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

NodePtr ParseExpression(const std::vector<Token>& tokens, size_t first, size_t last,
                        std::string_view source) {
    return Parser(tokens, first, last, source).ParseAll();
}

} // namespace engine::detail::conditions
