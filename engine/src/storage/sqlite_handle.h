// Thin RAII wrappers over the SQLite C API, used only inside the engine.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace engine::detail {

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;

// A prepared statement. Reset() after each use so that no statement stays active between
// engine calls (a commit or rollback then never meets a running statement). file is the path
// of the database file the statement works on, named by the errors it raises.
class Stmt {
  public:
    Stmt() = default;
    Stmt(sqlite3* db, std::string_view sql, std::string file = {});
    Stmt(Stmt&& other) noexcept
        : stmt_(other.stmt_), db_(other.db_), file_(std::move(other.file_)) {
        other.stmt_ = nullptr;
    }
    Stmt& operator=(Stmt&& other) noexcept;
    ~Stmt() { sqlite3_finalize(stmt_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    const char* Sql() const { return sqlite3_sql(stmt_); }

    void BindNull(int i) { Check(sqlite3_bind_null(stmt_, i)); }
    void Bind(int i, int64_t v) { Check(sqlite3_bind_int64(stmt_, i, v)); }
    void Bind(int i, double v) { Check(sqlite3_bind_double(stmt_, i, v)); }
    void Bind(int i, std::string_view v) {
        Check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }
    // The text must stay unchanged until the statement is reset.
    void BindStatic(int i, std::string_view v) {
        Check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC));
    }
    void BindBlob(int i, std::string_view v) {
        Check(sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }

    // Steps once: true when a row is available, false when done. Errors throw engine::Error.
    bool Step();
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    // Ends the step but keeps the values bound: for statements whose every parameter is bound
    // again before each step.
    void Rewind() { sqlite3_reset(stmt_); }

    int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    double Real(int col) const { return sqlite3_column_double(stmt_, col); }
    bool IsNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    int ColumnType(int col) const { return sqlite3_column_type(stmt_, col); }
    std::string Text(int col) const;
    // The column's text without a copy; valid until the next step or reset.
    std::string_view TextView(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string_view();
    }

  private:
    void Check(int rc);
    sqlite3_stmt* stmt_ = nullptr;
    sqlite3* db_ = nullptr;
    std::string file_;
};

// Throws the engine::Error that fits an SQLite result code: Jet's number and description,
// with file (the path of the database concerned, when known) where the description names a
// file, and SQLite's own message after it.
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc, const std::string& file);

// "name" with embedded quotes doubled: a safe SQLite identifier.
std::string QuoteIdent(std::string_view name);
// 'text' with embedded apostrophes doubled: a safe SQLite string literal.
std::string QuoteText(std::string_view text);

} // namespace engine::detail
