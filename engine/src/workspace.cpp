#include "engine/workspace.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "connection.h"
#include "criteria.h"
#include "engine/error.h"
#include "jet_reader.h"
#include "value_codec.h"

namespace engine {
namespace {

constexpr int kMaxTransactionLevel = 5;

void DateNumberFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
        return;
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        double ole;
        if (p && detail::DateFromStorage(std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(argv[0]))), ole))
            sqlite3_result_double(ctx, ole);
        else
            sqlite3_result_null(ctx);
    }
    }
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string CanonicalKey(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    return path;
}

enum class FileKind { Native, Jet, Other };

FileKind KindOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[32] = {};
    in.read(header, sizeof header);
    std::string_view h(header, static_cast<size_t>(in.gcount()));
    if (h.size() >= 16 && h.substr(0, 16) == std::string_view("SQLite format 3\0", 16)) return FileKind::Native;
    if (detail::HasJetSignature(h)) return FileKind::Jet;
    return FileKind::Other;
}

detail::SqliteDb OpenSqlite(const std::string& path, int flags, const std::string& shownName) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    detail::SqliteDb db(raw);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_CANTOPEN) Throw(err::kDiskIo, shownName);
        detail::ThrowSqlite(raw, rc);
    }
    // Double-quoted strings are identifiers only: a typo never becomes a string literal.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(raw, 2000);
    if (detail::RegisterCriteriaFunctions(raw) != SQLITE_OK) detail::ThrowSqlite(raw, sqlite3_errcode(raw));
    sqlite3_create_function(raw, "jet_datenum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            DateNumberFunction, nullptr, nullptr);
    // Freed pages are not overwritten with zeros: dropping the old copy of a large table would
    // otherwise rewrite every one of its pages (see engine/doc/format.md).
    sqlite3_exec(raw, "PRAGMA secure_delete = FAST; PRAGMA cache_size = -8192; PRAGMA foreign_keys = OFF",
                 nullptr, nullptr, nullptr);
    return db;
}

} // namespace

Workspace::Workspace() {
    // The engine keeps no allocation statistics; without them SQLite's allocator takes no lock.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}
Workspace::~Workspace() {
    // Connections held by objects that outlive the engine (globals destroyed after it at exit)
    // must not call back into a workspace that is gone.
    for (auto& [key, weak] : connections_)
        if (auto c = weak.lock()) c->DetachFromWorkspace();
}

void Workspace::Forget(detail::Connection* conn) {
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        auto live = it->second.lock();
        if (!live || live.get() == conn) {
            connections_.erase(it);
            return;
        }
    }
}

std::shared_ptr<detail::Connection> Workspace::ConnectionFor(const std::string& path, bool readOnly) {
    if (!FileExists(path)) Throw(err::kFileNotFound, path);
    std::string key = CanonicalKey(path);
    if (auto it = connections_.find(key); it != connections_.end())
        if (auto live = it->second.lock()) return live;

    std::string sqlitePath = path;
    FileKind kind = KindOf(path);
    if (kind == FileKind::Other) Throw(err::kBadFormat, path);
    if (kind == FileKind::Jet) {
        sqlitePath = detail::NativeCopyOfJetFile(path);
        readOnly = true;
    }
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    detail::SqliteDb db = OpenSqlite(sqlitePath, flags, path);
    // The catalog marks our files; anything else is an unrecognised format.
    if (sqlite3_exec(db.get(), "SELECT \"Value\" FROM \"MSysDatabase\" WHERE \"Key\" = 'Format'", nullptr,
                     nullptr, nullptr) != SQLITE_OK) {
        int rc = sqlite3_extended_errcode(db.get());
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) Throw(err::kLocked, path);
        Throw(err::kBadFormat, path);
    }
    auto conn = std::make_shared<detail::Connection>(*this, key, path, std::move(db), readOnly, std::string());
    for (int level = 1; level <= level_; ++level) conn->Begin(level);
    connections_[key] = conn;
    return conn;
}

DatabasePtr Workspace::OpenDatabase(const std::string& path, bool /*exclusive*/, bool readOnly) {
    return std::make_shared<Database>(ConnectionFor(path, readOnly));
}

DatabasePtr Workspace::CreateDatabase(const std::string& path, const std::string& locale) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) Throw(err::kDatabaseExists);
    std::shared_ptr<detail::Connection> conn;
    try {
        detail::SqliteDb db = OpenSqlite(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, path);
        conn = std::make_shared<detail::Connection>(*this, CanonicalKey(path), path, std::move(db), false, std::string());
        conn->InitCatalog(locale);
    } catch (...) {
        conn.reset();
        std::remove(path.c_str());
        throw;
    }
    connections_[conn->Key()] = conn;
    for (int level = 1; level <= level_; ++level) conn->Begin(level);
    return std::make_shared<Database>(conn);
}

void Workspace::BeginTrans() {
    if (level_ >= kMaxTransactionLevel) Throw(err::kTooManyTransactions);
    int level = level_ + 1;
    std::vector<std::shared_ptr<detail::Connection>> started;
    try {
        for (auto& [key, weak] : connections_) {
            if (auto c = weak.lock()) {
                c->Begin(level);
                started.push_back(c);
            }
        }
    } catch (...) {
        for (auto& c : started) c->Rollback(level);
        throw;
    }
    level_ = level;
}

void Workspace::CommitTrans() {
    if (level_ == 0) Throw(err::kNotInTransaction);
    int level = level_;
    std::vector<std::shared_ptr<detail::Connection>> live;
    for (auto& [key, weak] : connections_)
        if (auto c = weak.lock()) live.push_back(c);
    level_ = level - 1;
    size_t done = 0;
    try {
        for (; done < live.size(); ++done) live[done]->Commit(level);
    } catch (...) {
        // A file that could not commit, and the ones after it, are rolled back so that no
        // file is left inside a transaction nobody will end.
        for (size_t i = done; i < live.size(); ++i) {
            try {
                if (live[i]->Depth() >= level) live[i]->Rollback(level);
            } catch (...) {
            }
        }
        throw;
    }
}

void Workspace::Rollback() {
    if (level_ == 0) Throw(err::kNotInTransaction);
    int level = level_;
    level_ = level - 1;
    for (auto& [key, weak] : connections_)
        if (auto c = weak.lock()) c->Rollback(level);
}

DBEngine& DBEngine::Instance() {
    static DBEngine engine;
    return engine;
}

Workspace& DBEngine::Workspaces(int index) {
    if (index != 0) Throw(err::kItemNotFound);
    return workspace_;
}

} // namespace engine
