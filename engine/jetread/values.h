// The records of a Jet table: each value decoded from the raw bytes libmdb locates (libmdb's
// own conversion replaces what it cannot convert) and written into the native copy.
#pragma once

#include <cstdint>
#include <string>

#include "jetread/tables.h"
#include "storage/connection.h"

namespace jetread {

// Copies every record of table into the table of the same name on conn; returns the highest
// auto-number value seen. A value that does not decode is a Failure naming table, field and
// record, never a silent replacement.
int64_t CopyRows(JetFile& file, engine::detail::Connection& conn, const JetTable& table,
                 const std::string& name);

} // namespace jetread
