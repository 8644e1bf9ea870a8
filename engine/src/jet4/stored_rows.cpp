#include "jet4/stored_rows.h"

#include "engine/error.h"
#include "storage/catalog.h"
#include "storage/connection.h"
#include "values/value_codec.h"

namespace engine::detail::jet4 {

StoredRows::StoredRows(Connection& conn, const std::string& table,
                       const std::vector<std::string>& columns) {
    const TableInfo& t = conn.Table(table);
    std::string list;
    for (const auto& name : columns) {
        int at = t.ColumnIndex(name);
        if (at < 0) Throw(err::kItemNotFound, name);
        const ColumnInfo& c = t.columns[static_cast<size_t>(at)];
        if (!list.empty()) list += ", ";
        list += QuoteIdent(c.name);
        types_.push_back(c.type);
        rules_.push_back(CaptureRuleFor(c.type));
    }
    // A field named like the rowid hides it under that name: order by one of its other names.
    std::string rowid;
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (t.ColumnIndex(name) >= 0) continue;
        rowid = name;
        break;
    }
    if (rowid.empty()) Throw(err::kOperationNotSupported);
    stmt_ = conn.Prepare("SELECT " + (list.empty() ? std::string("NULL") : list) + " FROM " +
                         conn.Qualified(t.name) + " ORDER BY " + rowid);
}

bool StoredRows::Capture(CapturedValue* cells, std::string& arena) {
    if (done_) return false;
    if (!stmt_.Step()) {
        // Done: the statement lets go of the file's read lock now, not when the writer ends.
        stmt_.Reset();
        done_ = true;
        return false;
    }
    CaptureRow(stmt_, rules_.data(), rules_.size(), cells, arena);
    return true;
}

void StoredRows::Decode(const CapturedValue* cells, std::string_view arena, Variant* values) const {
    for (size_t i = 0; i < types_.size(); ++i) ReadValueInto(cells[i], arena, types_[i], values[i]);
}

} // namespace engine::detail::jet4
