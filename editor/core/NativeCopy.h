// Turning a database the engine can only read (a genuine Jet file) into a native database file
// that the designer can change: every table with its fields, indexes, properties and records.
#pragma once

#include <functional>
#include <string>

#include "core/StoredFile.h"
#include "engine/workspace.h"

namespace tavorin {

// Progress of a copy: the table being filled and the records written into it so far. Called at
// screen rate while records are written and once with each table's final count.
using CopyProgress = std::function<void(const std::string& table, long records)>;

// Creates the native database target (which must not exist) holding everything the engine reads
// from the database at source: each table with its fields (type, size, attributes, zero-length,
// required, default value and properties), its properties, its indexes (primary, unique,
// ignore-nulls, required, members with their order) and its records, values unchanged. The
// tables and records are written in one transaction; on any failure nothing is left at target
// and the engine's error propagates.
void WriteNativeCopy(engine::Workspace& ws, const std::string& source, const std::string& target,
                     const CopyProgress& progress = {});

} // namespace tavorin
