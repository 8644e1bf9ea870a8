// A parsed condition: the expression tree the parser builds and the SQL writer walks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/variant.h"

namespace engine::detail::conditions {

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
    enum class Type {
        Literal,
        Column,
        Unary,
        Binary,
        Like,
        IsNull,
        Between,
        In,
        InSelect,
        Exists
    } type;
    std::string op; // upper-case operator: "=", "AND", "NEG", "&", ...
    bool negated = false;
    Variant value;
    std::string name;
    std::string qualifier; // of a column: the table or alias written in front of it
    std::vector<NodePtr> kids;
    std::unique_ptr<Select> select; // of InSelect and Exists
    int height = 1;
};

} // namespace engine::detail::conditions
