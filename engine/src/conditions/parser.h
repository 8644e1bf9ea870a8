// The parser of Jet conditions: a grammar of Jet's expression syntax over the lexer's tokens,
// giving the expression tree. Also the words of the syntax, which the statement reader shares.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "conditions/criteria.h"
#include "conditions/syntax_tree.h"

namespace engine::detail::conditions {

// A word of the syntax: a plain name standing alone ("T.And" names a field).
bool IsKeyword(const Token& t, std::string_view word);
// Words that can never be a plain field name in a condition: the operators of the grammar and
// the words of SQL statements, so that "a = 1 UNION SELECT ..." is a syntax error.
bool IsReservedWord(const Token& t);
bool IsOperator(const Token& t, std::string_view op);

// The condition of tokens[first, last) of source; throws 3075 quoting the condition for a
// syntax fault, too deep a nesting or too many subqueries.
NodePtr ParseExpression(const std::vector<Token>& tokens, size_t first, size_t last,
                        std::string_view source);

} // namespace engine::detail::conditions
