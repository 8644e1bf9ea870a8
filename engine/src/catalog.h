// The in-memory picture of a database file's catalog (the MSys tables), one entry per table.
#pragma once

#include "engine/names.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/variant.h"

namespace engine::detail {

struct PropertyInfo {
    std::string name;
    int type = 10;
    Variant value;
};

struct ColumnInfo {
    std::string name;
    int type = 10;
    long size = 0;
    long attributes = 0;
    bool allowZeroLength = false;
    bool required = false;
    std::string defaultValue;
    std::vector<PropertyInfo> properties;
};

struct IndexColumnInfo {
    std::string field;
    bool descending = false;
};

struct IndexInfo {
    std::string name;
    std::string sqlName; // the SQLite index that implements it
    bool primary = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
    std::vector<IndexColumnInfo> columns;
};

struct TableInfo {
    std::string name;
    std::vector<ColumnInfo> columns; // in ordinal order
    std::vector<IndexInfo> indexes;  // in creation order
    std::vector<PropertyInfo> properties;
    int64_t nextAutoNumber = 1;

    // Position of a column by name ignoring case, or -1.
    int ColumnIndex(std::string_view name) const;
    const IndexInfo* FindIndex(std::string_view name) const;
    const IndexInfo* PrimaryIndex() const;
};

using engine::FoldName;
using engine::NamesEqual;

} // namespace engine::detail
