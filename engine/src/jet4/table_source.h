// A table of a database the engine has open, as the Jet 4 writers write it: its layout, its
// properties and its records read straight from the source's file. Shared by the writer of whole
// files and the one that changes a genuine file in place.
#pragma once

#include <string>
#include <vector>

#include "jet4/catalog.h"
#include "jet4/properties.h"
#include "jet4/table.h"

namespace engine {
class Database;
class TableDef;
} // namespace engine

namespace engine::detail::jet4 {

// The layout of a table definition of the engine (refused with a message when a type cannot be
// written).
Table TableOf(TableDef& def, const Format& format = kJet4Format);

// Required, AllowZeroLength and DefaultValue of the fields, and every property of the table and
// its fields the engine keeps; the table's set comes first.
std::vector<PropertySet> PropertySetsOf(TableDef& def);

// Writes the table `name` of source (definition, records, indexes, last auto number) with its
// definition at tdefPage, in the file's format. Returns its catalog entry; sets, when given,
// receives its properties.
UserTableEntry WriteSourceTable(PageFile& file, Database& source, const std::string& name,
                                uint32_t tdefPage, std::vector<PropertySet>* sets = nullptr);

// Rows held in memory as a row source (rows must outlive it).
RowSource RowsOf(const std::vector<std::vector<Variant>>& rows);

// The present moment as a date of the format (local time).
double OleNow();

} // namespace engine::detail::jet4
