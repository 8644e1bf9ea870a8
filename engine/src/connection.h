// Connection: one open database file, shared by every Database object of the workspace that
// names the same file. It owns the SQLite handle, the catalog picture, the transaction state
// and the registry of open recordsets (so that snapshots keep their records when the table
// under them changes).
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalog.h"
#include "sqlite_handle.h"

namespace engine {
class Workspace;
}

namespace engine::detail {

class RecordsetImpl;

class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(Workspace& ws, std::string key, std::string path, SqliteDb db, bool readOnly,
               std::string removeOnClose);
    ~Connection();

    const std::string& Path() const { return path_; }
    // The workspace is being destroyed: this connection outlives it and must forget it.
    void DetachFromWorkspace() { ws_ = nullptr; }
    const std::string& Key() const { return key_; }
    sqlite3* Db() const { return db_.get(); }
    bool ReadOnly() const { return readOnly_; }
    std::string Locale();

    // Creates the catalog tables in a new, empty file.
    void InitCatalog(const std::string& locale);

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
    void NoteAutoNumber(std::string_view table, int64_t used);

    long CountRecords(std::string_view table);

    // Runs a write statement (with the fault hook); returns changed rows. Running walks are
    // finished first unless keepWalks (statements that only open a transaction level, which
    // cannot disturb a running read).
    int Exec(std::string_view sql, bool keepWalks = false);
    // Steps a prepared write statement through the fault hook.
    void StepWrite(Stmt& stmt);
    void CheckWritable() const;

    // Transactions, driven by the workspace. depth 1 is BEGIN, deeper levels are savepoints.
    void Begin(int depth);
    void Commit(int depth);
    void Rollback(int depth);
    int Depth() const { return depth_; }

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
    void ExecCatalog(std::string_view sql, std::initializer_list<std::string_view> args);
    std::string NewIndexSqlName();
    void BuildSqlIndex(const std::string& table, const IndexInfo& index);
    void AddColumnCatalog(const std::string& table, const ColumnInfo& column, int ordinal);
    void CreateIndexInside(const std::string& table, IndexInfo index);
    void SetPropertyInside(const std::string& table, const std::string& field, const PropertyInfo& prop);

    Workspace* ws_;
    std::string key_;
    std::string path_;
    SqliteDb db_;
    bool readOnly_;
    std::string removeOnClose_;
    bool loaded_ = false;
    std::vector<TableInfo> tables_;
    int depth_ = 0;
    std::set<RecordsetImpl*> recordsets_;
    std::set<std::string> touched_; // folded names of tables changed in the open transaction
    uint64_t generation_ = 0;
    Stmt autoStmt_;
};

// SQL column declaration for a DAO type (the declared type sets SQLite's affinity).
std::string SqlTypeOf(int daoType);

// The user's SELECT/DELETE naming: quoted table identifier.
inline std::string TableIdent(std::string_view name) { return QuoteIdent(name); }

} // namespace engine::detail
