// The SQL writer of conditions: the expression tree written out as an SQLite expression, every
// literal a bound parameter and every name resolved to the SQL that reads its column.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conditions/criteria.h"
#include "conditions/parser.h"
#include "conditions/syntax_tree.h"
#include "conditions/text_scan.h"
#include "engine/error.h"
#include "engine/names.h"

namespace engine::detail {

using namespace conditions;

namespace {

// What SQLite can read: its parser keeps 100 entries (the statement around the condition takes
// about eight) and its expression trees may be 1000 high (the caller may add a few levels).
constexpr int kMaxParserStack = 80;
constexpr int kMaxSqlHeight = 900;
// SQLite's default bound on the number of "?" placeholders in one statement.
constexpr size_t kMaxParams = 32766;

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
    Emitter(Scope outer,
            const std::function<std::optional<ConditionTable>(std::string_view)>* tables,
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
            return scopes_[k].table.column(n.name,
                                           k == 0 && top ? std::string() : scopes_[k].sqlName);
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

SqlCondition Translate(std::string_view text, Scope outer,
                       const std::function<std::optional<ConditionTable>(std::string_view)>* tables,
                       bool anyQualifier) {
    std::vector<Token> tokens = Tokenize(text);
    NodePtr root = ParseExpression(tokens, 0, tokens.size() - 1, text);
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
    outer.table.column = [&lookup](std::string_view field, const std::string&) {
        return lookup(field);
    };
    return Translate(text, std::move(outer), nullptr, true);
}

SqlCondition TranslateCondition(std::string_view text, const ConditionScope& scope) {
    return Translate(text, {scope.table, {}, scope.qualifier}, &scope.tables, false);
}

} // namespace engine::detail
