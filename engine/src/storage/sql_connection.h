// SqlConnection: one SQLite connection and the database files it reaches.
//
// A workspace writes every native file through one shared connection. Its main database is an
// empty file of this process in the engine's folder that is never written; each native file is
// ATTACHed to it under a schema name of its own ("f1", "f2", ..., never reused while the
// connection lives). One COMMIT then covers every file changed in the transaction: SQLite
// writes a super-journal beside the main database, so after a failure or a crash at any moment
// either every file holds the new state or every file the old one (engine/doc/format.md).
//
// The read-only copy of a genuine Jet file gets a connection of its own (schema "main"): it is
// never written, takes no part in transactions and uses no attach slot.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "storage/sqlite_handle.h"

namespace engine::detail {

class SqlConnection {
  public:
    // The shared connection of a workspace (its main file is made in EngineFolder()).
    static std::shared_ptr<SqlConnection> OpenShared();
    // A read-only connection of its own to one file, which is its schema "main".
    static std::shared_ptr<SqlConnection> OpenAlone(const std::string& path,
                                                    const std::string& shownName);
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    sqlite3* Db() const { return db_.get(); }
    bool IsShared() const { return shared_; }

    // Attaches the native file at path (which exists and holds our catalog) under a new schema
    // name, which it returns; key is the file's identity. A file still attached under key
    // (waiting to be detached) is taken back as it is. Attached read-write when the file allows
    // it and readOnly is false: read-only use is otherwise the caller's rule. 3048 when
    // SQLite's limit on attached files is reached.
    std::string Attach(const std::string& key, const std::string& path, bool readOnly = false);
    // Detaches a file no engine object uses any more; false when SQLite refuses for now. A
    // statement still running on the connection keeps every file read since it began in a read
    // transaction, which cannot be detached: such a file waits, still holding its locks, until
    // DetachWaiting succeeds (or Attach takes it back).
    bool Release(const std::string& key, const std::string& schema) noexcept;
    void DetachWaiting() noexcept;
    // True while the file with this identity waits to be detached.
    bool Holds(const std::string& key) const { return waiting_.count(key) != 0; }
    int AttachedFiles() const { return attached_; }

    // Transaction levels, driven by the workspace: level 1 is BEGIN, deeper ones savepoints.
    int Depth() const { return depth_; }
    void Begin(int depth);
    // Throws when COMMIT fails; the level stays open (TransactionLost tells whether SQLite
    // rolled it back meanwhile).
    void Commit(int depth);
    // Always closes the level, then throws when SQLite reported an error doing so.
    void Rollback(int depth);
    // True when SQLite ended the open transaction by itself (after a full disk, an I/O error or
    // running out of memory): every further statement would commit on its own.
    bool TransactionLost() const { return depth_ > 0 && sqlite3_get_autocommit(db_.get()) != 0; }
    // err::kTransactionLost when TransactionLost.
    void CheckTransaction() const;
    // A number of the open transaction, new at each BEGIN; 0 when none is open. A file read
    // inside a transaction stays read-locked until it ends, so while the number is the same,
    // no other connection can have changed what was read.
    uint64_t TransactionSerial() const {
        return depth_ > 0 && sqlite3_get_autocommit(db_.get()) == 0 ? serial_ : 0;
    }

  private:
    SqlConnection(SqliteDb db, bool shared, std::string mainPath);
    void Run(const std::string& sql);
    bool Detach(const std::string& schema) noexcept;

    SqliteDb db_;
    bool shared_;
    std::string mainPath_; // the shared connection's own main file, removed when it closes
    int depth_ = 0;
    uint64_t serial_ = 0;
    int attached_ = 0;
    unsigned long nextSchema_ = 1;
    std::map<std::string, std::string> waiting_; // file identity -> schema, to be detached
};

// The folder of the shared connections' main files and super-journals: it must outlive a crash
// of the machine as the user's files do (a super-journal lost with its folder would leave the
// files of an interrupted commit half written). $XDG_STATE_HOME/tavorin/engine, else
// ~/.local/state/tavorin/engine, else the temporary folder.
std::string EngineFolder();

// Applies the engine's connection settings to a connection just opened on a native file
// (SQL functions, no double-quoted strings, busy timeout). Used by OpenShared and OpenAlone and
// for the short-lived connections that check or create a file.
SqliteDb OpenSqlite(const std::string& path, int flags, const std::string& shownName);

} // namespace engine::detail
