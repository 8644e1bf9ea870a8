// Jet's rules for names, fields, indexes and tables, checked before anything is written, and
// the conversion of the public definition objects into catalog entries.
#pragma once

#include <string>
#include <vector>

#include "engine/names.h"
#include "engine/tabledef.h"
#include "storage/catalog.h"

namespace engine::detail {

using engine::CheckObjectName;
using engine::CheckTableName;
// 3001 for a text size outside 1..255 or an unknown type; auto-increment only on Long.
void CheckFieldDefinition(const Field& field);
// Index name, member fields (1..10, present in the table), one primary key, at most 32.
void CheckIndexDefinition(const Index& index, const TableFields& fields,
                          const std::vector<IndexPtr>& existing);

ColumnInfo ColumnInfoOf(const Field& field);
IndexInfo IndexInfoOf(const Index& index, const TableFields& fields);
TableInfo TableInfoOf(TableDef& table);

} // namespace engine::detail
