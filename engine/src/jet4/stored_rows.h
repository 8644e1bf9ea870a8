// A table's records read straight from its file for the writer: one statement over the named
// columns in rowid order (the order a snapshot of the table walks). No keyset, no recordset
// object: reading costs little beside encoding the pages. A record is captured as SQLite hands
// it out (storage classes, numbers, the bytes of texts) and decoded by the engine's storage rules
// (value_codec) later, in the thread that encodes it, so that the reading thread, which also
// steps the statement, does no more than it must.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"
#include "storage/sqlite_handle.h"
#include "values/value_codec.h"

namespace engine::detail {
class Connection;
}

namespace engine::detail::jet4 {

class StoredRows {
  public:
    // Reads the columns (names of the table's fields, in the order wanted) of table on conn.
    StoredRows(Connection& conn, const std::string& table, const std::vector<std::string>& columns);

    size_t Columns() const { return types_.size(); }
    // Captures the next record into cells[0 .. Columns()), its texts appended to arena; false at
    // the end.
    bool Capture(CapturedValue* cells, std::string& arena);
    // Decodes a captured record into values[0 .. Columns()), reusing their text storage.
    void Decode(const CapturedValue* cells, std::string_view arena, Variant* values) const;

  private:
    Stmt stmt_;
    std::vector<int> types_; // the fields' types, by which their values are decoded
    std::vector<CaptureRule> rules_;
    bool done_ = false;
};

} // namespace engine::detail::jet4
