// What a condition over a table of an open file may read: that table, and the file's other
// tables for its subqueries, each column read as value_codec's ColumnExpr reads it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conditions/criteria.h"

namespace engine::detail {

class Connection;
struct TableInfo;

// A table's name and columns (name, DAO type) as a condition reads them from SQL's `from`.
ConditionTable ConditionTableOf(std::string name, std::string from,
                                std::vector<std::pair<std::string, int>> columns);

// A condition over table of conn whose statement names the table by alias (empty: by its own
// name).
ConditionScope ConditionScopeOf(Connection& conn, ConditionTable table,
                                std::string_view alias = {});
ConditionScope ConditionScopeOf(Connection& conn, const TableInfo& table,
                                std::string_view alias = {});

} // namespace engine::detail
