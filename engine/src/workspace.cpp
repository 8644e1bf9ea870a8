#include "engine/workspace.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "connection.h"
#include "sql_connection.h"
#include "engine/error.h"
#include "jet_reader.h"
#include "native_file.h"
#include "value_codec.h"

namespace engine {
namespace {

constexpr int kMaxTransactionLevel = 5;

// 3051 when the user may not read the file (or reach it through its folders), 3024 when it is
// not there or not a file. A file that cannot be read is never taken for one of an unknown
// format.
void CheckReadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) Throw(errno == EACCES ? err::kNoPermission : err::kFileNotFound, path);
    if (!S_ISREG(st.st_mode)) Throw(err::kFileNotFound, path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Throw(errno == EACCES || errno == EPERM ? err::kNoPermission : err::kFileNotFound, path);
    ::close(fd);
}

// A file's identity: one file reached by several paths (links) is opened once.
std::string FileKey(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return path;
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::string AbsolutePath(const std::string& path) {
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

std::vector<std::shared_ptr<detail::Connection>> Workspace::LiveConnections() const {
    std::vector<std::shared_ptr<detail::Connection>> live;
    for (const auto& [key, weak] : connections_)
        if (auto c = weak.lock()) live.push_back(std::move(c));
    return live;
}

bool Workspace::IsFileOpen(const std::string& path) const {
    const std::string key = FileKey(path);
    if (auto it = connections_.find(key); it != connections_.end() && !it->second.expired()) return true;
    auto sql = sharedSql_.lock();
    return sql && sql->Holds(key);
}

void Workspace::RefuseFileBeingChanged(const std::string& path) const {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || KindOf(path) != FileKind::Native ||
        ::access(path.c_str(), W_OK) != 0)
        return;
    detail::SqliteDb db;
    try {
        db = detail::OpenSqlite(path, SQLITE_OPEN_READWRITE, path);
    } catch (const Error&) {
        return; // the operation itself reports a file that cannot be opened
    }
    // Asking for the write lock without waiting: a writer holding it answers busy at once, where
    // the engine's usual wait would freeze the window for seconds before the same answer.
    sqlite3_busy_timeout(db.get(), 0);
    const int rc = sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) Throw(err::kLocked, path);
    if (rc == SQLITE_OK) sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Workspace::CompleteWalks() {
    for (const auto& c : LiveConnections()) c->CompleteWalks();
}

std::shared_ptr<detail::SqlConnection> Workspace::SharedSql() {
    if (auto live = sharedSql_.lock()) return live;
    auto sql = detail::SqlConnection::OpenShared();
    // A transaction that began before any native file was open covers this one too.
    for (int level = 1; level <= level_; ++level) sql->Begin(level);
    sharedSql_ = sql;
    return sql;
}

void Workspace::Keep(const std::shared_ptr<detail::Connection>& conn) {
    connections_[conn->Key()] = conn;
    if (level_ > 0) inTransaction_.push_back(conn);
}

std::shared_ptr<detail::Connection> Workspace::OpenNative(const std::string& path, const std::string& key,
                                                          bool readOnly) {
    const detail::NativeFileFacts facts = detail::CheckNativeFile(path, readOnly, path);
    auto sql = SharedSql();
    // A file holding another program's triggers is attached read-only: SQLite itself then
    // refuses every write, also the statements callers run through SqliteHandle.
    std::string schema = sql->Attach(key, AbsolutePath(path), facts.foreignObjects);
    readOnly = readOnly || facts.foreignObjects || sqlite3_db_readonly(sql->Db(), schema.c_str()) == 1;
    return std::make_shared<detail::Connection>(*this, key, path, std::move(sql), std::move(schema), readOnly);
}

std::shared_ptr<detail::Connection> Workspace::ConnectionFor(const std::string& path, bool readOnly) {
    CheckReadable(path);
    std::string key = FileKey(path);
    if (auto it = connections_.find(key); it != connections_.end())
        if (auto live = it->second.lock()) return live;

    std::shared_ptr<detail::Connection> conn;
    switch (KindOf(path)) {
    case FileKind::Other:
        Throw(err::kBadFormat, path);
    case FileKind::Jet: {
        const std::string copy = detail::NativeCopyOfJetFile(path);
        detail::CheckNativeFile(copy, true, path);
        conn = std::make_shared<detail::Connection>(*this, key, path, detail::SqlConnection::OpenAlone(copy, path),
                                                    "main", true);
        break;
    }
    case FileKind::Native:
        conn = OpenNative(path, key, readOnly);
        break;
    }
    Keep(conn);
    return conn;
}

DatabasePtr Workspace::OpenDatabase(const std::string& path, bool /*exclusive*/, bool readOnly) {
    return std::make_shared<Database>(ConnectionFor(path, readOnly));
}

DatabasePtr Workspace::CreateDatabase(const std::string& path, const std::string& locale) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) Throw(err::kDatabaseExists);
    // The new file gets its catalog on a connection of its own, committed at once: creating a
    // database is not part of a running transaction (its Rollback leaves the file).
    try {
        detail::SqliteDb db = detail::OpenSqlite(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, path);
        detail::CreateCatalog(db.get(), locale, path);
    } catch (...) {
        std::remove(path.c_str());
        std::remove((path + "-journal").c_str());
        throw;
    }
    try {
        return std::make_shared<Database>(ConnectionFor(path, false));
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
}

void Workspace::EndTransaction() {
    inTransaction_.clear();
    if (auto sql = sharedSql_.lock()) sql->DetachWaiting();
}

void Workspace::BeginTrans() {
    if (level_ >= kMaxTransactionLevel) Throw(err::kTooManyTransactions);
    auto sql = sharedSql_.lock();
    if (sql) {
        sql->CheckTransaction();
        sql->Begin(level_ + 1);
    }
    if (++level_ == 1) inTransaction_ = LiveConnections();
}

void Workspace::CommitTrans() {
    if (level_ == 0) Throw(err::kNotInTransaction);
    const int level = level_;
    const auto live = LiveConnections();
    if (auto sql = sharedSql_.lock()) {
        sql->CheckTransaction();
        for (const auto& c : live) c->BeforeCommit();
        // One COMMIT for every attached file: SQLite's super-journal makes it all or nothing.
        // When it fails the level stays open for Rollback.
        sql->Commit(level);
    }
    level_ = level - 1;
    for (const auto& c : live) c->AfterCommit(level);
    if (level_ == 0) EndTransaction();
}

void Workspace::Rollback() {
    if (level_ == 0) Throw(err::kNotInTransaction);
    const int level = level_;
    const auto live = LiveConnections();
    // Every step is tried whatever failed before it; the first failure is reported at the end,
    // with the others' descriptions.
    std::vector<Error> failures;
    auto attempt = [&](auto&& step) {
        try {
            step();
        } catch (const Error& e) {
            failures.push_back(e);
        }
    };
    for (const auto& c : live) attempt([&] { c->BeforeRollback(); });
    if (auto sql = sharedSql_.lock()) attempt([&] { sql->Rollback(level); });
    level_ = level - 1;
    for (const auto& c : live) c->AfterRollback(level);
    if (level_ == 0) EndTransaction();
    if (failures.empty()) return;
    std::string description = failures.front().Description();
    for (size_t i = 1; i < failures.size(); ++i)
        if (description.find(failures[i].Description()) == std::string::npos)
            description += "\n" + failures[i].Description();
    throw Error(failures.front().Number(), description);
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
