#include "storage/sql_connection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "conditions/criteria.h"
#include "engine/error.h"
#include "jet/process_start.h"
#include "storage/fault_injection.h"
#include "values/value_codec.h"

namespace engine::detail {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMainPrefix = "hub-";
constexpr const char* kMainSuffix = ".db";

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
        if (p && DateFromStorage(
                     std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(argv[0]))), ole))
            sqlite3_result_double(ctx, ole);
        else
            sqlite3_result_null(ctx);
    }
    }
}

bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// Main files of shared connections whose processes ended without closing them. Only the main
// files go: a super-journal ("...db-mj...") is removed by SQLite itself once no journal of an
// interrupted commit names it any more.
void RemoveStaleMainFiles(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.rfind(kMainPrefix, 0) != 0 || name.size() < 4 ||
            name.substr(name.size() - 3) != kMainSuffix)
            continue;
        unsigned long long pid = 0, start = 0;
        if (std::sscanf(name.c_str() + 4, "%llu-%llu-", &pid, &start) != 2 ||
            ProcessRuns(pid, start))
            continue;
        ::unlink(it->path().c_str());
    }
}

// "file:" URI of a path: SQLite reads '%', '?' and '#' in a URI, so every byte outside the
// plain path characters is escaped.
std::string FileUri(const std::string& path, bool readOnly) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '/' || c == '.' || c == '_' || c == '-' || c == '~';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + (readOnly ? "?mode=ro" : "?mode=rw");
}

} // namespace

std::string EngineFolder() {
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/') {
        base = state;
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        base = std::string(home) + "/.local/state";
    }
    if (!base.empty() && MakeFolder(base + "/tavorin/engine")) return base + "/tavorin/engine";
    std::error_code ec;
    std::string temp = fs::temp_directory_path(ec).string();
    return temp.empty() ? std::string("/tmp") : temp;
}

SqliteDb OpenSqlite(const std::string& path, int flags, const std::string& shownName) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw,
                             flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    SqliteDb db(raw);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_CANTOPEN) Throw(err::kDiskIo, shownName);
        ThrowSqlite(raw, rc, shownName);
    }
    // Double-quoted strings are identifiers only: a typo never becomes a string literal.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // A user's file is untrusted input: no SQL may corrupt it on purpose, and the views,
    // triggers, checks and index expressions stored in it may call only functions without side
    // effects (functions of ours with side effects are registered SQLITE_DIRECTONLY).
    if (sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK ||
        sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) != SQLITE_OK)
        ThrowSqlite(raw, sqlite3_errcode(raw), shownName);
    sqlite3_busy_timeout(raw, 2000);
    if (RegisterCriteriaFunctions(raw) != SQLITE_OK)
        ThrowSqlite(raw, sqlite3_errcode(raw), shownName);
    sqlite3_create_function(raw, "jet_datenum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            DateNumberFunction, nullptr, nullptr);
    // Freed pages are not overwritten with zeros: dropping the old copy of a large table would
    // otherwise rewrite every one of its pages (see engine/doc/format.md).
    sqlite3_exec(
        raw, "PRAGMA secure_delete = FAST; PRAGMA cache_size = -8192; PRAGMA foreign_keys = OFF",
        nullptr, nullptr, nullptr);
    return db;
}

SqlConnection::SqlConnection(SqliteDb db, bool shared, std::string mainPath)
    : db_(std::move(db)), shared_(shared), mainPath_(std::move(mainPath)) {}

std::shared_ptr<SqlConnection> SqlConnection::OpenShared() {
    const std::string folder = EngineFolder();
    RemoveStaleMainFiles(folder);
    const pid_t pid = ::getpid();
    std::string path = folder + "/" + kMainPrefix + std::to_string(pid) + "-" +
                       std::to_string(StartTimeOf(pid).value_or(0)) + "-XXXXXX" + kMainSuffix;
    int fd = ::mkstemps(path.data(), 3);
    if (fd < 0) Throw(err::kDiskIo, folder);
    ::close(fd);
    try {
        SqliteDb db = OpenSqlite(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, path);
        return std::shared_ptr<SqlConnection>(new SqlConnection(std::move(db), true, path));
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
}

std::shared_ptr<SqlConnection> SqlConnection::OpenAlone(const std::string& path,
                                                        const std::string& shownName) {
    SqliteDb db = OpenSqlite(path, SQLITE_OPEN_READONLY, shownName);
    return std::shared_ptr<SqlConnection>(new SqlConnection(std::move(db), false, std::string()));
}

SqlConnection::~SqlConnection() {
    db_.reset();
    if (!mainPath_.empty()) ::unlink(mainPath_.c_str());
}

void SqlConnection::Run(const std::string& sql) {
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        ThrowSqlite(db_.get(), sqlite3_extended_errcode(db_.get()), std::string());
}

std::string SqlConnection::Attach(const std::string& key, const std::string& path, bool readOnly) {
    if (auto it = waiting_.find(key); it != waiting_.end()) {
        std::string schema = it->second;
        waiting_.erase(it);
        return schema;
    }
    DetachWaiting();
    if (attached_ >= sqlite3_limit(db_.get(), SQLITE_LIMIT_ATTACHED, -1))
        Throw(err::kTooManyDatabases);
    const std::string schema = "f" + std::to_string(nextSchema_++);
    const std::string q = QuoteIdent(schema);
    const bool writable = !readOnly && ::access(path.c_str(), W_OK) == 0;
    Stmt attach(db_.get(), "ATTACH ? AS " + q, path);
    attach.Bind(1, std::string_view(FileUri(path, !writable)));
    attach.Step();
    attach = Stmt();
    ++attached_;
    // The settings of OpenSqlite that belong to each file rather than to the connection.
    sqlite3_exec(
        db_.get(),
        ("PRAGMA " + q + ".secure_delete = FAST; PRAGMA " + q + ".cache_size = -8192").c_str(),
        nullptr, nullptr, nullptr);
    return schema;
}

bool SqlConnection::Detach(const std::string& schema) noexcept {
    if (sqlite3_exec(db_.get(), ("DETACH " + QuoteIdent(schema)).c_str(), nullptr, nullptr,
                     nullptr) != SQLITE_OK)
        return false;
    --attached_;
    return true;
}

bool SqlConnection::Release(const std::string& key, const std::string& schema) noexcept {
    if (Detach(schema)) return true;
    waiting_[key] = schema;
    return false;
}

void SqlConnection::DetachWaiting() noexcept {
    for (auto it = waiting_.begin(); it != waiting_.end();)
        it = Detach(it->second) ? waiting_.erase(it) : std::next(it);
}

void SqlConnection::CheckTransaction() const {
    if (TransactionLost()) Throw(err::kTransactionLost);
}

void SqlConnection::Begin(int depth) {
    if (depth == 1) ++serial_;
    Run(depth == 1 ? std::string("BEGIN") : "SAVEPOINT \"lv" + std::to_string(depth) + "\"");
    depth_ = depth;
}

void SqlConnection::Commit(int depth) {
    const std::string sql =
        depth == 1 ? std::string("COMMIT") : "RELEASE \"lv" + std::to_string(depth) + "\"";
    // The test hook can fail a commit as it fails any other write.
    if (WriteFaultFires(sql)) Throw(err::kDiskIo, "injected failure");
    Run(sql);
    depth_ = depth - 1;
}

void SqlConnection::Rollback(int depth) {
    // After SQLite rolled the transaction back by itself, its levels are gone already.
    const bool lost = TransactionLost();
    depth_ = depth - 1;
    if (lost) return;
    try {
        Run(depth == 1 ? std::string("ROLLBACK")
                       : "ROLLBACK TO \"lv" + std::to_string(depth) + "\"; RELEASE \"lv" +
                             std::to_string(depth) + "\"");
    } catch (...) {
        // A transaction must not outlive its level, or the next BeginTrans could not begin.
        if (depth == 1 && !sqlite3_get_autocommit(db_.get()))
            sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace engine::detail
