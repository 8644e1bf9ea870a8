// The tables of a Jet file and their columns, as libmdb and the table definition pages give
// them, in the engine's catalog terms.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jetread/jet_file.h"
#include "storage/catalog.h"

namespace jetread {

using engine::detail::ColumnInfo;
using engine::detail::IndexInfo;
using engine::detail::PropertyInfo;
using engine::detail::TableInfo;

struct Column {
    MdbColumn* mdb = nullptr;
    jet::TdefColumn def;
    ColumnInfo info;
};

// One user table: libmdb's definition, the table definition read from its pages, and its
// columns with their settings and "Description" properties.
struct JetTable {
    TablePtr table;
    jet::Tdef tdef;
    TableInfo info; // columns and properties; indexes are ReadIndexes'
    std::vector<Column> columns;
    std::map<uint16_t, std::string> nameOfNumber; // column names by their number
};

// Reads the table of the catalog entry, named name; a Failure naming the table when its
// definition is damaged or a name or property does not decode.
JetTable ReadTable(JetFile& file, MdbCatalogEntry* entry, const std::string& name);

} // namespace jetread
