#include "conditions/condition_scope.h"

#include "engine/names.h"
#include "storage/connection.h"
#include "values/value_codec.h"

namespace engine::detail {
namespace {

std::vector<std::pair<std::string, int>> ColumnsOf(const TableInfo& t) {
    std::vector<std::pair<std::string, int>> columns;
    for (const auto& c : t.columns) columns.emplace_back(c.name, c.type);
    return columns;
}

} // namespace

ConditionTable ConditionTableOf(std::string name, std::string from,
                                std::vector<std::pair<std::string, int>> columns) {
    ConditionTable t;
    t.name = std::move(name);
    t.from = std::move(from);
    for (const auto& c : columns) t.fields.push_back(c.first);
    t.column = [columns =
                    std::move(columns)](std::string_view field,
                                        const std::string& qualifier) -> std::optional<ColumnRef> {
        for (const auto& [name, type] : columns)
            if (NamesEqual(name, field)) return ColumnRef{ColumnExpr(name, type, qualifier), type};
        return std::nullopt;
    };
    return t;
}

ConditionScope ConditionScopeOf(Connection& conn, ConditionTable table, std::string_view alias) {
    ConditionScope scope;
    scope.qualifier = QuoteIdent(alias.empty() ? std::string_view(table.name) : alias);
    scope.table = std::move(table);
    // Only the file's own tables, through its catalog: never SQLite's or the catalog's tables.
    scope.tables = [&conn](std::string_view name) -> std::optional<ConditionTable> {
        const TableInfo* t = conn.FindTable(name);
        if (!t) return std::nullopt;
        return ConditionTableOf(t->name, conn.Qualified(t->name), ColumnsOf(*t));
    };
    return scope;
}

ConditionScope ConditionScopeOf(Connection& conn, const TableInfo& table, std::string_view alias) {
    return ConditionScopeOf(
        conn, ConditionTableOf(table.name, conn.Qualified(table.name), ColumnsOf(table)), alias);
}

} // namespace engine::detail
