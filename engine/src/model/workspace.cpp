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
#include <map>
#include <vector>

#include "engine/error.h"
#include "jet/jet_backing.h"
#include "jet/jet_format.h"
#include "jet/jet_reader.h"
#include "jet/write_access.h"
#include "jet4/genuine_file.h"
#include "model/object_access.h"
#include "storage/connection.h"
#include "storage/native_file.h"
#include "storage/sql_connection.h"
#include "values/value_codec.h"

namespace engine {
namespace {

constexpr int kMaxTransactionLevel = 5;

// 3051 when the user may not read the file (or reach it through its folders), 3024 when it is
// not there or not a file. A file that cannot be read is never taken for one of an unknown
// format.
void CheckReadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        Throw(errno == EACCES ? err::kNoPermission : err::kFileNotFound, path);
    if (!S_ISREG(st.st_mode)) Throw(err::kFileNotFound, path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Throw(errno == EACCES || errno == EPERM ? err::kNoPermission : err::kFileNotFound, path);
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
    if (h.size() >= 16 && h.substr(0, 16) == std::string_view("SQLite format 3\0", 16))
        return FileKind::Native;
    if (detail::HasJetSignature(h)) return FileKind::Jet;
    return FileKind::Other;
}

std::optional<detail::jet::Version> JetVersionOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[0x20] = {};
    in.read(header, sizeof header);
    const auto h =
        detail::jet::InspectHeader(std::string_view(header, static_cast<size_t>(in.gcount())));
    if (h.kind == detail::jet::Header::Kind::Jet3) return detail::jet::Version::Jet3;
    if (h.kind == detail::jet::Header::Kind::Jet4) return detail::jet::Version::Jet4;
    return std::nullopt;
}

} // namespace

struct Workspace::State {
    std::map<std::string, std::weak_ptr<detail::Connection>> connections;
    // The connection native files are attached to; it closes with the last of them.
    std::weak_ptr<detail::SqlConnection> sharedSql;
    // Every file open since the outermost BeginTrans, held until the transaction ends.
    std::vector<std::shared_ptr<detail::Connection>> inTransaction;

    std::vector<std::shared_ptr<detail::Connection>> LiveConnections() const {
        std::vector<std::shared_ptr<detail::Connection>> live;
        for (const auto& [key, weak] : connections)
            if (auto c = weak.lock()) live.push_back(std::move(c));
        return live;
    }

    std::shared_ptr<detail::SqlConnection> SharedSql(int level) {
        if (auto live = sharedSql.lock()) return live;
        auto sql = detail::SqlConnection::OpenShared();
        // A transaction that began before any native file was open covers this one too.
        for (int l = 1; l <= level; ++l) sql->Begin(l);
        sharedSql = sql;
        return sql;
    }

    void Keep(const std::shared_ptr<detail::Connection>& conn, int level) {
        connections[conn->Key()] = conn;
        if (level > 0) inTransaction.push_back(conn);
    }

    // The outermost level ended: files closed meanwhile are let go.
    void EndTransaction() {
        inTransaction.clear();
        if (auto sql = sharedSql.lock()) sql->DetachWaiting();
    }
};

Workspace::Workspace() : state_(std::make_unique<State>()) {
    // The engine keeps no allocation statistics; without them SQLite's allocator takes no lock.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

Workspace::~Workspace() {
    // Connections held by objects that outlive the engine (globals destroyed after it at exit)
    // must not call back into a workspace that is gone.
    for (auto& [key, weak] : state_->connections)
        if (auto c = weak.lock()) c->DetachFromWorkspace();
}

namespace detail {

void ObjectAccess::Forget(Workspace& ws, Connection* conn) {
    auto& connections = ws.state_->connections;
    for (auto it = connections.begin(); it != connections.end(); ++it) {
        auto live = it->second.lock();
        if (!live || live.get() == conn) {
            connections.erase(it);
            return;
        }
    }
}

void ObjectAccess::CompleteWalks(Workspace& ws) {
    for (const auto& c : ws.state_->LiveConnections()) c->CompleteWalks();
}

std::shared_ptr<Connection> ObjectAccess::ConnectionFor(Workspace& ws, const std::string& path,
                                                        bool readOnly) {
    CheckReadable(path);
    std::string key = FileKey(path);
    Workspace::State& state = *ws.state_;
    if (auto it = state.connections.find(key); it != state.connections.end())
        if (auto live = it->second.lock()) return live;

    std::shared_ptr<Connection> conn;
    switch (KindOf(path)) {
    case FileKind::Other:
        Throw(err::kBadFormat, path);
    case FileKind::Jet: {
        const std::string copy = NativeCopyOfJetFile(path);
        CheckNativeFile(copy, true, path);
        // The file is changed through its copy when it may be; otherwise the copy opens
        // read-only and a change is refused with the reason.
        std::unique_ptr<Error> refusal;
        const std::optional<jet::Version> version = JetVersionOf(path);
        if (!readOnly) {
            try {
                jet::CheckJetFileWritable(path);
                if (!version)
                    throw Error(err::kReadOnly, DescriptionOf(err::kReadOnly),
                                path + ": only Jet 3 and Jet 4 files are changed in place");
                // A Jet 3 copy read in another code page than the file's own would have its text
                // written back as other characters.
                if (*version == jet::Version::Jet3) {
                    const int codePage = jet4::GenuineFile(path).CodePage();
                    if (jet::Jet3CodePage(std::getenv("TAVORIN_JET3_CODEPAGE"), codePage) !=
                        jet::IconvNameForCodePage(codePage))
                        throw Error(err::kReadOnly, DescriptionOf(err::kReadOnly),
                                    path +
                                        ": read in another code page (TAVORIN_JET3_CODEPAGE) than "
                                        "the file's, " +
                                        std::to_string(codePage));
                }
            } catch (const Error& e) {
                refusal = std::make_unique<Error>(e);
            }
        }
        if (readOnly || refusal) {
            conn = std::make_shared<Connection>(ws, key, path, SqlConnection::OpenAlone(copy, path),
                                                "main", true);
            if (refusal) conn->SetRefusal(*refusal);
            break;
        }
        auto sql = state.SharedSql(ws.level_);
        std::string schema = sql->Attach(key, copy);
        // The copy is a cache of the Jet file, made again from it by the next process: its
        // commits need not wait for the disk (the Jet file's own writes do).
        sqlite3_exec(sql->Db(), ("PRAGMA " + QuoteIdent(schema) + ".synchronous = OFF").c_str(),
                     nullptr, nullptr, nullptr);
        conn =
            std::make_shared<Connection>(ws, key, path, std::move(sql), std::move(schema), false);
        conn->SetJetBacking(
            std::make_unique<jet::JetBacking>(path, copy, *version, conn->UserTableNames()));
        break;
    }
    case FileKind::Native: {
        const NativeFileFacts facts = CheckNativeFile(path, readOnly, path);
        auto sql = state.SharedSql(ws.level_);
        // A file holding another program's triggers is attached read-only: SQLite itself then
        // refuses every write, also the statements callers run through ExecuteSql.
        std::string schema = sql->Attach(key, AbsolutePath(path), facts.foreignObjects);
        const bool fileReadOnly =
            readOnly || facts.foreignObjects || sqlite3_db_readonly(sql->Db(), schema.c_str()) == 1;
        conn = std::make_shared<Connection>(ws, key, path, std::move(sql), std::move(schema),
                                            fileReadOnly);
        break;
    }
    }
    state.Keep(conn, ws.level_);
    return conn;
}

} // namespace detail

bool Workspace::IsFileOpen(const std::string& path) const {
    const std::string key = FileKey(path);
    if (auto it = state_->connections.find(key);
        it != state_->connections.end() && !it->second.expired())
        return true;
    auto sql = state_->sharedSql.lock();
    return sql && sql->Holds(key);
}

void Workspace::RefuseFileBeingChanged(const std::string& path) const {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        KindOf(path) != FileKind::Native || ::access(path.c_str(), W_OK) != 0)
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

DatabasePtr Workspace::OpenDatabase(const std::string& path, bool /*exclusive*/, bool readOnly) {
    return detail::ObjectAccess::MakeDatabase(
        detail::ObjectAccess::ConnectionFor(*this, path, readOnly));
}

DatabasePtr Workspace::CreateDatabase(const std::string& path, const std::string& locale) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) Throw(err::kDatabaseExists);
    // The new file gets its catalog on a connection of its own, committed at once: creating a
    // database is not part of a running transaction (its Rollback leaves the file).
    try {
        detail::SqliteDb db =
            detail::OpenSqlite(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, path);
        detail::CreateCatalog(db.get(), locale, path);
    } catch (...) {
        std::remove(path.c_str());
        std::remove((path + "-journal").c_str());
        throw;
    }
    try {
        return detail::ObjectAccess::MakeDatabase(
            detail::ObjectAccess::ConnectionFor(*this, path, false));
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
}

void Workspace::BeginTrans() {
    if (level_ >= kMaxTransactionLevel) Throw(err::kTooManyTransactions);
    auto sql = state_->sharedSql.lock();
    if (sql) {
        sql->CheckTransaction();
        sql->Begin(level_ + 1);
    }
    if (++level_ == 1) state_->inTransaction = state_->LiveConnections();
}

void Workspace::CommitTrans() {
    if (level_ == 0) Throw(err::kNotInTransaction);
    const int level = level_;
    const auto live = state_->LiveConnections();
    if (auto sql = state_->sharedSql.lock()) {
        sql->CheckTransaction();
        for (const auto& c : live) c->BeforeCommit();
        // The outermost commit carries the changes into the genuine Jet files first: a file that
        // refuses them leaves the level open for Rollback, as a failed commit does.
        std::vector<std::shared_ptr<detail::Connection>> applied;
        auto diverged = [&] {
            for (const auto& a : applied) a->JetDiverged();
        };
        try {
            if (level == 1)
                for (const auto& c : live)
                    if (c->ApplyToJetFile()) applied.push_back(c);
            // One COMMIT for every attached file: SQLite's super-journal makes it all or nothing.
            // When it fails the level stays open for Rollback.
            sql->Commit(level);
        } catch (...) {
            diverged();
            throw;
        }
        for (const auto& a : applied) a->JetSynced();
    }
    level_ = level - 1;
    for (const auto& c : live) c->AfterCommit(level);
    if (level_ == 0) state_->EndTransaction();
}

void Workspace::Rollback() {
    if (level_ == 0) Throw(err::kNotInTransaction);
    const int level = level_;
    const auto live = state_->LiveConnections();
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
    if (auto sql = state_->sharedSql.lock()) attempt([&] { sql->Rollback(level); });
    level_ = level - 1;
    for (const auto& c : live) c->AfterRollback(level);
    if (level_ == 0) state_->EndTransaction();
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
