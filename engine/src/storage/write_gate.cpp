// The gate every write of a connection passes: a read-only file refuses it, a transaction that
// SQLite ended by itself is reported, and the tests' fault hook may make it fail.
#include <sqlite3.h>

#include <string>

#include "engine/error.h"
#include "storage/connection.h"
#include "storage/fault_injection.h"

namespace engine::detail {

void Connection::CheckWritable() const {
    if (!readOnly_) return;
    if (refusal_) throw *refusal_;
    Throw(err::kReadOnly);
}

void Connection::BeforeWrite() {
    CheckWritable();
    if (sql_->TransactionLost()) {
        // What the catalog picture shows may have been rolled back with the transaction.
        InvalidateCatalog();
        sql_->CheckTransaction();
    }
}

int Connection::Exec(std::string_view sql) {
    CompleteWalks();
    BeforeWrite();
    std::string text(sql);
    if (WriteFaultFires(text)) Throw(err::kDiskIo, "injected failure");
    int rc = sqlite3_exec(Db(), text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) ThrowSqlite(Db(), sqlite3_extended_errcode(Db()), path_);
    return sqlite3_changes(Db());
}

int Connection::StepWrite(Stmt& stmt) {
    if (NeedsJetUnit()) {
        int changed = 0;
        JetUnit([&] { changed = StepWrite(stmt); });
        return changed;
    }
    BeforeWrite();
    if (WriteFaultFires(stmt.Sql())) {
        stmt.Reset();
        Throw(err::kDiskIo, "injected failure");
    }
    try {
        while (stmt.Step()) {
        }
    } catch (...) {
        stmt.Reset();
        throw;
    }
    // Every caller binds all the parameters before each step: clearing them would be wasted.
    stmt.Rewind();
    return sqlite3_changes(Db());
}

} // namespace engine::detail
