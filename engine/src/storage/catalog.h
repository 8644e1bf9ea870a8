// The in-memory picture of a database file's catalog (the MSys tables), one entry per table.
#pragma once

#include "engine/names.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/types.h"
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

// What a catalog may hold: Jet's limits. The catalog is read within them, so a crafted file
// cannot make the engine read without end; a catalog beyond them is a damaged file (3343).
namespace catalog_limits {
constexpr int kMaxTables = 32768;                         // Jet's objects per database
constexpr int kMaxColumns = limits::kMaxFields;           // per table
constexpr int kMaxIndexes = limits::kMaxIndexes;          // per table
constexpr int kMaxIndexColumns = limits::kMaxIndexFields; // per index
// Jet sets no number; the programs that write Jet files set a few dozen per object at most.
constexpr int kMaxPropertiesPerObject = 256;
} // namespace catalog_limits

// The six catalog tables, in the order CreateCatalog makes them.
constexpr const char* kCatalogTables[] = {"MSysDatabase", "MSysTables",       "MSysColumns",
                                          "MSysIndexes",  "MSysIndexColumns", "MSysProperties"};

// 3343 for the file at path (the name shown), with the reason why its catalog is not taken.
[[noreturn]] void ThrowDamagedCatalog(const std::string& path, const std::string& reason);

} // namespace engine::detail
