// A table's records read straight from its file for the writer: one statement over the named
// columns in rowid order (the order a snapshot of the table walks), each value decoded by the
// engine's storage rules (value_codec) into values the caller reuses from record to record. No keyset, no
// recordset object: reading costs little beside encoding the pages.
#pragma once

#include <string>
#include <vector>

#include "engine/variant.h"
#include "storage/sqlite_handle.h"

namespace engine::detail {
class Connection;
}

namespace engine::detail::jet4 {

class StoredRows {
public:
    // Reads the columns (names of the table's fields, in the order wanted) of table on conn.
    StoredRows(Connection& conn, const std::string& table, const std::vector<std::string>& columns);

    size_t Columns() const { return types_.size(); }
    // Decodes the next record into values[0 .. Columns()), reusing their text storage; false
    // at the end.
    bool Read(Variant* values);

private:
    Stmt stmt_;
    std::vector<int> types_; // the fields' types, by which their values are decoded
    bool done_ = false;
};

} // namespace engine::detail::jet4
