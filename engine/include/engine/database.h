// Database: one open database file.
//
// Opened or created through the Workspace. Several Database objects may be open on the same
// file; inside one process they share one connection, so they never block each other within
// a workspace transaction. Close (or the last reference going away) releases the object;
// recordsets opened from it stay usable until they are closed. A genuine Jet file opens
// read-only: every change raises 3027.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/recordset.h"
#include "engine/tabledef.h"

namespace engine {

class Database;

namespace detail {
class Connection;
struct ObjectAccess;
} // namespace detail

// The user tables of a database, walked in name order ignoring case. Items are taken fresh
// from the file's catalog; the catalog's own "MSys" tables are not listed (a user table whose
// name begins with "MSys" is, and the programs skip it by name as they skip Jet's).
class TableDefs {
  public:
    explicit TableDefs(Database& db) : db_(db) {}
    size_t Count() const;
    TableDefPtr operator[](size_t i) const;
    TableDefPtr Item(const std::string& name) const; // 3265 when missing
    bool Contains(const std::string& name) const;
    // Builds the table with all its columns, indexes and properties (3010 when the name is
    // taken; Jet's limits checked before anything is written).
    void Append(const TableDefPtr& table);
    // Drops the table with its indexes and properties (3265 when missing).
    void Delete(const std::string& name);
    void Refresh() {}
    std::vector<std::string> Names() const;

  private:
    Database& db_;
};

class Database {
    // Databases are made by the Workspace alone: the key that the constructor asks for is
    // private to the engine.
    struct Key {
        explicit Key() = default;
    };

  public:
    Database(Key, std::shared_ptr<detail::Connection> conn);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The path as given to OpenDatabase or CreateDatabase.
    const std::string& Name() const;
    bool ReadOnly() const;
    // Returns when the file takes changes; otherwise throws why not: 3027 read-only, or for a
    // genuine Jet file 3045 (another program holds it), 3901 (encoded or with a password),
    // 3343 (a version the engine does not write).
    void CheckUpdatable() const;
    // The locale string given at creation, e.g. ";LANGID=0x0411;CP=932;COUNTRY=0".
    std::string Connect() const;

    engine::TableDefs& TableDefs() { return tableDefs_; }
    TableDefPtr CreateTableDef(const std::string& name) const;

    // Source: a table name, or "SELECT * FROM [T] [WHERE cond] [ORDER BY f [ASC|DESC], ...]".
    // A table-type recordset needs a table name.
    RecordsetPtr OpenRecordset(std::string_view source,
                               RecordsetType type = RecordsetType::Dynaset);

    // Runs "DELETE * FROM T [WHERE cond]" (the only statement the system executes).
    void Execute(std::string_view statement);
    // Records changed by the last Execute.
    long RecordsAffected() const { return recordsAffected_; }

    // Releases this object. Inside a transaction the file stays part of it: CommitTrans or
    // Rollback of the workspace still reaches the changes made through it.
    void Close();
    bool IsOpen() const { return conn_ != nullptr; }

    // For a statement the object model does not make (one INSERT ... SELECT copying a table's
    // records): the file's schema name on the connection that reaches it. Such a statement must
    // name every table qualified by that schema ("schema"."table"), since other files share the
    // connection, and runs inside the workspace's transaction; it never begins, commits, rolls
    // back, attaches or detaches. Recordsets open on a table that such a statement changes do
    // not see the change until Requery.
    const std::string& SchemaName() const;
    // Runs such a statement with the checks of the engine's own writes (a file opened
    // read-only, a transaction the storage rolled back) and its error numbers; returns the
    // records it changed.
    long ExecuteSql(std::string_view sql);
    // ExecuteSql with values: each "?" of the statement takes the next of params, bound as a
    // condition's values are.
    long ExecuteSql(std::string_view sql, const std::vector<Variant>& params);
    // The records a recordset over source (a statement as OpenRecordset takes it) would hold,
    // for such a statement: the table, and its condition as an SQL expression that reads the
    // table's columns by their bare names, with a "?" for each of params ("" for none). The text
    // is parsed as OpenRecordset parses it, never pasted: 3075 for a syntax fault or a second
    // statement, 3061 for an unknown field, 3078 for an unknown table of a subquery. Subqueries
    // read the other tables of the file, qualified by its schema, and the table's own columns
    // through alias, the name the statement gives the table ("" when it names it by its own
    // name). ordered: the source names an order of its own.
    struct Selection {
        std::string table;
        std::string condition;
        std::vector<Variant> params;
        bool ordered = false;
    };
    Selection TranslateSelect(std::string_view source, std::string_view alias = {});
    // For such a statement that numbers an auto-number field itself, as AddNew would: the
    // number the table hands out next, and moving the table's counter past used (kept in the
    // catalog, like Update does).
    int64_t NextAutoNumber(const std::string& table);
    void NoteAutoNumber(const std::string& table, int64_t used);

    // The pages of deleted tables and records stay in the file until they are used again.
    // Files the engine creates can give them back to the file system bit by bit: this gives up
    // to `pages` of them back, in a write of its own (nothing while a transaction is open), and
    // returns how many such pages are left to give back (always 0 for a file that cannot).
    long ReleaseFreePages(long pages);

  private:
    friend struct detail::ObjectAccess;
    std::shared_ptr<detail::Connection> conn_;
    engine::TableDefs tableDefs_;
    long recordsAffected_ = 0;
};

using DatabasePtr = std::shared_ptr<Database>;

} // namespace engine
