// The indexes of a Jet table, read from its table definition (libmdb matches physical and
// logical index entries by the wrong number); relationships' foreign-key indexes are left out.
#pragma once

#include <string>
#include <vector>

#include "jetread/tables.h"

namespace jetread {

// A Failure naming the table when an index names no column of it or none at all.
std::vector<IndexInfo> ReadIndexes(JetFile& file, const JetTable& table, const std::string& name);

} // namespace jetread
