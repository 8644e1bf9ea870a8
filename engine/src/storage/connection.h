// Connection: one open database file, shared by every Database object of the workspace that
// names the same file. The file is a schema of an SqlConnection (the workspace's shared one for
// native files); every statement names its tables qualified by that schema. It owns the
// catalog picture, what the open transaction changed, and the registry of open recordsets (so
// that snapshots keep their records when the table under them changes).
//
// Its functions live by job: connection.cpp (the workspace, transactions, recordsets),
// catalog_load.cpp (the catalog picture), ddl.cpp (schema changes, a new file's catalog),
// auto_numbers.cpp and write_gate.cpp (every write's checks).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/error.h"
#include "storage/catalog.h"
#include "storage/sql_connection.h"
#include "storage/sqlite_handle.h"

namespace engine {
class Workspace;
}

namespace engine::detail {

class RecordsetImpl;
namespace jet {
class JetBacking;
}

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(Workspace& ws, std::string key, std::string path, std::shared_ptr<SqlConnection> sql,
               std::string schema, bool readOnly);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& Path() const { return path_; }
    // The workspace is being destroyed: this connection outlives it and must forget it.
    void DetachFromWorkspace() { ws_ = nullptr; }
    const std::string& Key() const { return key_; }
    sqlite3* Db() const { return sql_->Db(); }
    SqlConnection& Sql() const { return *sql_; }
    // The file's schema on its SQLite connection, and a name of it qualified by that schema.
    const std::string& Schema() const { return schema_; }
    std::string Qualified(std::string_view name) const { return prefix_ + QuoteIdent(name); }
    // A statement on this file (its errors name the file).
    Stmt Prepare(std::string_view sql) const { return Stmt(Db(), sql, path_); }
    bool ReadOnly() const { return readOnly_; }
    std::string Locale();

    // Catalog, read from the file on first use and after a rollback.
    const std::vector<TableInfo>& Tables();
    const TableInfo* FindTable(std::string_view name);
    const TableInfo& Table(std::string_view name); // 3078 when missing

    // Schema changes (each one statement group, all or nothing).
    void CreateTable(const TableInfo& table);
    void DropTable(std::string_view name);
    void RenameTable(std::string_view from, const std::string& to);
    void AddColumn(std::string_view table, const ColumnInfo& column);
    void DropColumn(std::string_view table, std::string_view column);
    void RenameColumn(std::string_view table, std::string_view from, const std::string& to);
    void UpdateColumnSettings(std::string_view table, const ColumnInfo& column);
    void CreateIndex(std::string_view table, const IndexInfo& index);
    void DropIndex(std::string_view table, std::string_view index);
    // field empty: the table's own property. Adds or replaces.
    void SetProperty(std::string_view table, std::string_view field, const PropertyInfo& prop);
    void DeleteProperty(std::string_view table, std::string_view field, std::string_view name);
    // Keeps the counter above every number handed out (never reused in the table).
    int64_t TakeAutoNumber(std::string_view table);
    // The number TakeAutoNumber would give, taking none.
    int64_t NextAutoNumber(std::string_view table);
    void NoteAutoNumber(std::string_view table, int64_t used);

    long CountRecords(std::string_view table);

    // Runs a write statement (with the fault hook); returns changed rows. Running walks are
    // finished first.
    int Exec(std::string_view sql);
    // Steps a prepared write statement through the fault hook; returns changed rows. The
    // values stay bound: bind every parameter before each call.
    int StepWrite(Stmt& stmt);
    // 3027 for a read-only file, or why the file refuses changes when that is known.
    void CheckWritable() const;
    void SetRefusal(const Error& why) { refusal_ = std::make_unique<Error>(why); }

    // A genuine Jet file behind this native copy: committed changes are carried into it
    // (jet_changes.cpp).
    void SetJetBacking(std::unique_ptr<jet::JetBacking> backing);
    bool JetBacked() const { return jet_ != nullptr; }
    std::vector<std::string> UserTableNames();
    // A table's records, shape or properties changed (or it was made).
    void NoteWritten(std::string_view table);
    void NoteDropped(std::string_view table);
    void NoteRenamed(std::string_view from, std::string_view to);
    // Runs a raw write statement (or prepares one) noting the tables it writes.
    int ExecNoting(std::string_view sql);
    Stmt PrepareNoting(std::string_view sql);
    // Outermost commit: carries the transaction's changes into the Jet file before the copy
    // commits. True when the file was changed.
    bool ApplyToJetFile();
    // The copy's commit after ApplyToJetFile failed: the file holds a state the copy does not;
    // the connection refuses every further change.
    void JetDiverged();
    // The copy committed what ApplyToJetFile carried into the file: the two agree again.
    void JetSynced();
    // Outside a transaction a change to a Jet-backed copy is a unit of its own: run in a
    // savepoint, carried into the Jet file, then released; all or nothing.
    bool NeedsJetUnit() const;
    void JetUnit(const std::function<void()>& fn);

    // The workspace's transaction steps as they concern this file.
    void BeforeCommit() { CompleteWalks(); }
    void AfterCommit(int level);
    // Lets snapshots over the tables the transaction changed keep what they show.
    void BeforeRollback();
    void AfterRollback(int level);

    // Recordsets register while open; before a table changes, snapshots over it keep a copy.
    void Register(RecordsetImpl* rs);
    void Unregister(RecordsetImpl* rs);
    void BeforeTableChange(std::string_view table) { BeforeTableChangeKey(FoldName(table)); }
    void BeforeTableChangeKey(const std::string& foldedName);
    // Finishes every recordset's running walk before a transaction or schema statement.
    void CompleteWalks();
    // Bumped by every change of a table's rows or shape; recordsets use it to refresh caches.
    uint64_t Generation() const { return generation_; }

  private:
    void LoadCatalog();
    void InvalidateCatalog() { loaded_ = false; }
    // Before every write: a read-only file refuses it, and so does a transaction that SQLite
    // ended by itself (its statements would otherwise commit one by one).
    void BeforeWrite();
    void ExecCatalog(std::string_view sql, std::initializer_list<std::string_view> args);
    std::string NewIndexSqlName();
    void BuildSqlIndex(const std::string& table, const IndexInfo& index);
    void AddColumnCatalog(const std::string& table, const ColumnInfo& column, int ordinal);
    void CreateIndexInside(const std::string& table, IndexInfo index);
    void SetPropertyInside(const std::string& table, const std::string& field,
                           const PropertyInfo& prop);

    Workspace* ws_;
    std::string key_;
    std::string path_;
    std::shared_ptr<SqlConnection> sql_;
    std::string schema_;
    std::string prefix_; // "schema". in front of every table name
    bool readOnly_;
    bool loaded_ = false;
    std::vector<TableInfo> tables_;
    // Auto numbers handed out, by folded table name: a catalog reload (after a schema change,
    // a property write or a rollback) never brings a counter back below them.
    std::map<std::string, int64_t> autoNumbersTaken_;
    std::set<RecordsetImpl*> recordsets_;
    std::set<std::string> touched_; // folded names of tables changed in the open transaction
    uint64_t generation_ = 0;
    Stmt autoStmt_;
    std::unique_ptr<Error> refusal_;
    std::unique_ptr<jet::JetBacking> jet_;
    bool inJetUnit_ = false;
};

// SQL column declaration for a DAO type (the declared type sets SQLite's affinity).
std::string SqlTypeOf(int daoType);

// Writes the catalog tables into a new, empty file on a connection of its own (the file's main
// schema), all or nothing.
void CreateCatalog(sqlite3* db, const std::string& locale, const std::string& path);

} // namespace engine::detail
