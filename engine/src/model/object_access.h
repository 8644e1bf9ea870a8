// The engine's own way into the objects of the model: what the public classes keep private for
// the engine's files (binding an object to the file it is stored in, the connection behind a
// database, the making of databases), so that the public headers show the object model alone.
#pragma once

#include <memory>
#include <string>

#include "engine/database.h"
#include "engine/field.h"
#include "engine/index.h"
#include "engine/property.h"
#include "engine/tabledef.h"
#include "engine/workspace.h"

struct sqlite3;

namespace engine::detail {

class Connection;

// Where a stored object lives: its file, table and (for a field) field name.
struct StoredAt {
    std::shared_ptr<Connection> conn;
    std::string table;
    std::string field; // empty for the table itself
};

struct ObjectAccess {
    // ---- Workspace: the connection for a file, shared by its Database objects.
    static std::shared_ptr<Connection> ConnectionFor(Workspace& ws, const std::string& path,
                                                     bool readOnly);
    static void Forget(Workspace& ws, Connection* conn);
    // Reads the rest of every running walk, so that no statement of the workspace stays active.
    static void CompleteWalks(Workspace& ws);

    // ---- Database
    static DatabasePtr MakeDatabase(std::shared_ptr<Connection> conn);
    // The database's connection; 3420 once it is closed.
    static const std::shared_ptr<Connection>& Conn(const Database& db);
    // The SQLite connection that reaches the file (see Database::SchemaName for its rules). The
    // connection belongs to the workspace: never close it.
    static sqlite3* SqliteHandle(const Database& db);

    // ---- TableDef: fills the definition from the file's catalog and binds every part to it.
    static void Attach(TableDef& table, std::shared_ptr<Connection> conn);
    static const std::shared_ptr<Connection>& Conn(const TableDef& table) { return table.conn_; }

    // ---- Field
    static void Attach(Field& field,
                       std::shared_ptr<const StoredAt> at); // a column of a stored table
    static void MarkStoredIndexMember(Field& field) { field.frozen_ = true; }
    static bool IsStored(const Field& field) { return field.at_ != nullptr || field.frozen_; }
    static void LoadSettings(Field& field, long attributes, bool allowZeroLength, bool required,
                             std::string defaultValue, int ordinal);

    // ---- Index: a stored index is read-only.
    static void Freeze(Index& index);
    static bool IsStored(const Index& index) { return index.frozen_; }

    // ---- Properties: bind the collection (and its items) to a stored object.
    static void Attach(Properties& properties, std::shared_ptr<const StoredAt> at);
    static void AddLoaded(Properties& properties, PropertyPtr property); // no write-through
};

} // namespace engine::detail
