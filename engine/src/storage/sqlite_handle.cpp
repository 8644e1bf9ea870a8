#include "storage/sqlite_handle.h"

#include "engine/error.h"

namespace engine::detail {

Stmt::Stmt(sqlite3* db, std::string_view sql, std::string file) : db_(db), file_(std::move(file)) {
    int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) ThrowSqlite(db, sqlite3_extended_errcode(db), file_);
}

Stmt& Stmt::operator=(Stmt&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = other.stmt_;
        db_ = other.db_;
        file_ = std::move(other.file_);
        other.stmt_ = nullptr;
    }
    return *this;
}

bool Stmt::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // Extended code of the failed step, before reset clears it.
    int ext = sqlite3_extended_errcode(db_);
    sqlite3_reset(stmt_);
    ThrowSqlite(db_, ext ? ext : rc, file_);
}

std::string Stmt::Text(int col) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string(p, static_cast<size_t>(n)) : std::string();
}

void Stmt::Check(int rc) {
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc, file_);
}

namespace {
[[noreturn]] void Raise(long number, const std::string& detail, const std::string& message) {
    throw Error(number, DescriptionOf(number, detail), message);
}
} // namespace

void ThrowSqlite(sqlite3* db, int rc, const std::string& file) {
    const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            Raise(err::kDuplicateKey, {}, message);
        // NOT NULL, CHECK, FOREIGN KEY and trigger constraints come only from files that other
        // tools changed: they are not key violations.
        Raise(err::kEngineFailure, "CONSTRAINT", message);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        Raise(err::kLocked, file, message);
    case SQLITE_FULL:
        Raise(err::kDiskFull, {}, message);
    case SQLITE_NOMEM:
        Raise(err::kOutOfMemory, {}, message);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        Raise(err::kDiskIo, {}, message);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        Raise(err::kBadFormat, file, message);
    case SQLITE_READONLY:
        Raise(err::kReadOnly, {}, message);
    default:
        Raise(err::kEngineFailure, std::to_string(rc), message);
    }
}

std::string QuoteIdent(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string QuoteText(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

} // namespace engine::detail
