// The auto numbers of a connection's tables: handed out from the catalog's counter, which never
// goes back below a number used.
#include <algorithm>
#include <string>

#include "engine/error.h"
#include "storage/connection.h"

namespace engine::detail {

int64_t Connection::TakeAutoNumber(std::string_view table) {
    Tables();
    for (auto& t : tables_) {
        if (!NamesEqual(t.name, table)) continue;
        int64_t number = t.nextAutoNumber++;
        autoNumbersTaken_[FoldName(t.name)] = t.nextAutoNumber;
        return number;
    }
    Throw(err::kTableNotFound, std::string(table));
}

int64_t Connection::NextAutoNumber(std::string_view table) {
    Tables();
    for (const auto& t : tables_)
        if (NamesEqual(t.name, table)) return t.nextAutoNumber;
    Throw(err::kTableNotFound, std::string(table));
}

void Connection::NoteAutoNumber(std::string_view table, int64_t used) {
    Tables();
    for (auto& t : tables_) {
        if (!NamesEqual(t.name, table)) continue;
        if (t.nextAutoNumber <= used) t.nextAutoNumber = used + 1;
        int64_t& taken = autoNumbersTaken_[FoldName(t.name)];
        taken = std::max(taken, t.nextAutoNumber);
        if (!autoStmt_) {
            autoStmt_ = Prepare("UPDATE " + Qualified("MSysTables") +
                                " SET \"NextAutoNumber\" = ?"
                                " WHERE \"Name\" = ? AND \"NextAutoNumber\" < ?");
        }
        autoStmt_.Bind(1, t.nextAutoNumber);
        autoStmt_.Bind(2, std::string_view(t.name));
        autoStmt_.Bind(3, t.nextAutoNumber);
        NoteWritten(t.name);
        StepWrite(autoStmt_);
        return;
    }
}

} // namespace engine::detail
