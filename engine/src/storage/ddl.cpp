// Schema changes of a connection (tables, columns, indexes, properties), each one statement
// group inside a savepoint, and the catalog tables of a new file.
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/error.h"
#include "engine/types.h"
#include "storage/connection.h"
#include "values/value_codec.h"

namespace engine::detail {
namespace {

constexpr const char* kCatalogDdl[] = {
    "CREATE TABLE \"MSysDatabase\"(\"Key\" TEXT NOT NULL PRIMARY KEY, \"Value\" TEXT)",
    "CREATE TABLE \"MSysTables\"(\"Name\" TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    " \"NextAutoNumber\" INTEGER NOT NULL DEFAULT 1)",
    "CREATE TABLE \"MSysColumns\"(\"TableName\" TEXT NOT NULL COLLATE NOCASE,"
    " \"Name\" TEXT NOT NULL COLLATE NOCASE, \"Ordinal\" INTEGER NOT NULL,"
    " \"Type\" INTEGER NOT NULL, \"Size\" INTEGER NOT NULL, \"Attributes\" INTEGER NOT NULL,"
    " \"AllowZeroLength\" INTEGER NOT NULL, \"Required\" INTEGER NOT NULL,"
    " \"DefaultValue\" TEXT NOT NULL, PRIMARY KEY(\"TableName\", \"Name\"))",
    "CREATE TABLE \"MSysIndexes\"(\"TableName\" TEXT NOT NULL COLLATE NOCASE,"
    " \"Name\" TEXT NOT NULL COLLATE NOCASE, \"Ordinal\" INTEGER NOT NULL,"
    " \"SqlName\" TEXT NOT NULL UNIQUE, \"IsPrimary\" INTEGER NOT NULL,"
    " \"IsUnique\" INTEGER NOT NULL, \"IgnoreNulls\" INTEGER NOT NULL,"
    " \"Required\" INTEGER NOT NULL, PRIMARY KEY(\"TableName\", \"Name\"))",
    "CREATE TABLE \"MSysIndexColumns\"(\"TableName\" TEXT NOT NULL COLLATE NOCASE,"
    " \"IndexName\" TEXT NOT NULL COLLATE NOCASE, \"Position\" INTEGER NOT NULL,"
    " \"FieldName\" TEXT NOT NULL, \"Descending\" INTEGER NOT NULL,"
    " PRIMARY KEY(\"TableName\", \"IndexName\", \"Position\"))",
    "CREATE TABLE \"MSysProperties\"(\"TableName\" TEXT NOT NULL COLLATE NOCASE,"
    " \"FieldName\" TEXT NOT NULL COLLATE NOCASE, \"Name\" TEXT NOT NULL COLLATE NOCASE,"
    " \"Type\" INTEGER NOT NULL, \"Value\", PRIMARY KEY(\"TableName\", \"FieldName\", \"Name\"))",
};

// Runs fn inside a savepoint: a schema change is complete or absent, in or out of a workspace
// transaction.
template <class F> void Atomically(Connection& c, F&& fn) {
    if (c.NeedsJetUnit()) {
        c.JetUnit([&] { Atomically(c, fn); });
        return;
    }
    c.Exec("SAVEPOINT \"ddl\"");
    try {
        fn();
        c.Exec("RELEASE \"ddl\"");
    } catch (...) {
        // Also when RELEASE itself failed: the savepoint must not stay open, or outside a
        // workspace transaction the connection would stay inside one.
        sqlite3_exec(c.Db(), "ROLLBACK TO \"ddl\"; RELEASE \"ddl\"", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace

std::string SqlTypeOf(int type) {
    switch (type) {
    case dao::dbBoolean:
    case dao::dbByte:
    case dao::dbInteger:
    case dao::dbLong:
    case dao::dbCurrency:
        return "INTEGER";
    case dao::dbSingle:
    case dao::dbDouble:
    case dao::dbDecimal:
    case dao::dbBigInt:
        return "REAL";
    case dao::dbBinary:
    case dao::dbLongBinary:
        return "BLOB";
    case dao::dbDate:
        return "TEXT";
    default:
        return "TEXT COLLATE NOCASE";
    }
}

void Connection::ExecCatalog(std::string_view sql, std::initializer_list<std::string_view> args) {
    Stmt s = Prepare(sql);
    int i = 1;
    for (auto a : args) s.Bind(i++, a);
    StepWrite(s);
}

void CreateCatalog(sqlite3* db, const std::string& locale, const std::string& path) {
    auto run = [&](const std::string& sql) {
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            ThrowSqlite(db, sqlite3_extended_errcode(db), path);
    };
    // Pages freed by a deleted table can then be given back to the file system without
    // rewriting the whole file (Database::ReleaseFreePages); set before the first table.
    run("PRAGMA auto_vacuum = INCREMENTAL");
    run("BEGIN");
    try {
        for (const char* ddl : kCatalogDdl) run(ddl);
        run("INSERT INTO \"MSysDatabase\" VALUES ('Format', 'tavorin-engine 1'), ('Locale', " +
            QuoteText(locale) + "), ('NextIndexId', '1')");
        run("COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::string Connection::NewIndexSqlName() {
    Stmt s = Prepare("SELECT \"Value\" FROM " + Qualified("MSysDatabase") +
                     " WHERE \"Key\" = 'NextIndexId'");
    long long id = s.Step() ? std::atoll(s.Text(0).c_str()) : 1;
    s.Reset();
    // A table or index of that name made by another program would make CREATE INDEX fail.
    Stmt taken = Prepare("SELECT 1 FROM " + Qualified("sqlite_master") +
                         " WHERE \"name\" = ? COLLATE NOCASE");
    for (id = std::max(id, 1LL);; ++id) {
        taken.Bind(1, std::string_view("MSysIdx" + std::to_string(id)));
        bool used = taken.Step();
        taken.Reset();
        if (!used) break;
    }
    ExecCatalog("UPDATE " + Qualified("MSysDatabase") +
                    " SET \"Value\" = ? WHERE \"Key\" = 'NextIndexId'",
                {std::to_string(id + 1)});
    return "MSysIdx" + std::to_string(id);
}

void Connection::BuildSqlIndex(const std::string& table, const IndexInfo& ix) {
    std::string sql = std::string("CREATE ") + (ix.unique || ix.primary ? "UNIQUE " : "") +
                      "INDEX " + prefix_ + QuoteIdent(ix.sqlName) + " ON " + QuoteIdent(table) +
                      " (";
    for (size_t i = 0; i < ix.columns.size(); ++i) {
        if (i) sql += ", ";
        sql += QuoteIdent(ix.columns[i].field);
        if (ix.columns[i].descending) sql += " DESC";
    }
    sql += ")";
    Exec(sql);
}

void Connection::CreateTable(const TableInfo& t) {
    CheckWritable();
    BeforeTableChange(t.name);
    NoteWritten(t.name);
    Atomically(*this, [&] {
        std::string sql = "CREATE TABLE " + Qualified(t.name) + " (";
        for (size_t i = 0; i < t.columns.size(); ++i) {
            if (i) sql += ", ";
            sql += QuoteIdent(t.columns[i].name) + " " + SqlTypeOf(t.columns[i].type);
        }
        sql += ")";
        Exec(sql);
        ExecCatalog("INSERT INTO " + Qualified("MSysTables") +
                        " (\"Name\", \"NextAutoNumber\") VALUES (?, 1)",
                    {t.name});
        for (size_t i = 0; i < t.columns.size(); ++i)
            AddColumnCatalog(t.name, t.columns[i], static_cast<int>(i));
        for (const auto& ix : t.indexes) CreateIndexInside(t.name, ix);
        for (const auto& p : t.properties) SetPropertyInside(t.name, "", p);
        for (const auto& c : t.columns)
            for (const auto& p : c.properties) SetPropertyInside(t.name, c.name, p);
    });
    InvalidateCatalog();
}

void Connection::AddColumnCatalog(const std::string& table, const ColumnInfo& c, int ordinal) {
    Stmt s =
        Prepare("INSERT INTO " + Qualified("MSysColumns") + " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.Bind(1, std::string_view(table));
    s.Bind(2, std::string_view(c.name));
    s.Bind(3, static_cast<int64_t>(ordinal));
    s.Bind(4, static_cast<int64_t>(c.type));
    s.Bind(5, static_cast<int64_t>(c.size));
    s.Bind(6, static_cast<int64_t>(c.attributes));
    s.Bind(7, static_cast<int64_t>(c.allowZeroLength));
    s.Bind(8, static_cast<int64_t>(c.required));
    s.Bind(9, std::string_view(c.defaultValue));
    StepWrite(s);
}

void Connection::CreateIndexInside(const std::string& table, IndexInfo ix) {
    if (ix.sqlName.empty()) ix.sqlName = NewIndexSqlName();
    Stmt count =
        Prepare("SELECT count(*) FROM " + Qualified("MSysIndexes") + " WHERE \"TableName\" = ?");
    count.Bind(1, std::string_view(table));
    count.Step();
    int64_t ordinal = count.Int(0);
    count.Reset();
    Stmt s =
        Prepare("INSERT INTO " + Qualified("MSysIndexes") + " VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    s.Bind(1, std::string_view(table));
    s.Bind(2, std::string_view(ix.name));
    s.Bind(3, ordinal);
    s.Bind(4, std::string_view(ix.sqlName));
    s.Bind(5, static_cast<int64_t>(ix.primary));
    s.Bind(6, static_cast<int64_t>(ix.unique || ix.primary));
    s.Bind(7, static_cast<int64_t>(ix.ignoreNulls));
    s.Bind(8, static_cast<int64_t>(ix.required || ix.primary));
    StepWrite(s);
    for (size_t i = 0; i < ix.columns.size(); ++i) {
        Stmt c =
            Prepare("INSERT INTO " + Qualified("MSysIndexColumns") + " VALUES (?, ?, ?, ?, ?)");
        c.Bind(1, std::string_view(table));
        c.Bind(2, std::string_view(ix.name));
        c.Bind(3, static_cast<int64_t>(i));
        c.Bind(4, std::string_view(ix.columns[i].field));
        c.Bind(5, static_cast<int64_t>(ix.columns[i].descending));
        StepWrite(c);
    }
    BuildSqlIndex(table, ix);
}

void Connection::SetPropertyInside(const std::string& table, const std::string& field,
                                   const PropertyInfo& p) {
    Stmt s = Prepare("INSERT OR REPLACE INTO " + Qualified("MSysProperties") +
                     " VALUES (?, ?, ?, ?, ?)");
    s.Bind(1, std::string_view(table));
    s.Bind(2, std::string_view(field));
    s.Bind(3, std::string_view(p.name));
    s.Bind(4, static_cast<int64_t>(p.type));
    Variant v = p.value;
    if (!v.IsNull() && !v.IsEmpty()) {
        FieldInfo f;
        f.type = p.type;
        v = CoerceForField(v, f);
    }
    BindValue(s, 5, v, p.type);
    StepWrite(s);
}

void Connection::DropTable(std::string_view name) {
    CheckWritable();
    std::string exact = Table(name).name;
    BeforeTableChange(exact);
    NoteDropped(exact);
    Atomically(*this, [&] {
        Exec("DROP TABLE " + Qualified(exact));
        for (const char* cat : {"MSysColumns", "MSysIndexes", "MSysIndexColumns", "MSysProperties"})
            ExecCatalog("DELETE FROM " + Qualified(cat) + " WHERE \"TableName\" = ?", {exact});
        ExecCatalog("DELETE FROM " + Qualified("MSysTables") + " WHERE \"Name\" = ?", {exact});
    });
    autoNumbersTaken_.erase(FoldName(exact));
    InvalidateCatalog();
}

void Connection::RenameTable(std::string_view from, const std::string& to) {
    CheckWritable();
    std::string exact = Table(from).name;
    if (!NamesEqual(exact, to) && FindTable(to)) Throw(err::kTableExists, to);
    BeforeTableChange(exact);
    NoteRenamed(exact, to);
    Atomically(*this, [&] {
        if (NamesEqual(exact, to)) {
            // SQLite refuses a rename that only changes letter case: go through a free name.
            std::string temp = "MSysRename_" + std::to_string(generation_);
            Exec("ALTER TABLE " + Qualified(exact) + " RENAME TO " + QuoteIdent(temp));
            Exec("ALTER TABLE " + Qualified(temp) + " RENAME TO " + QuoteIdent(to));
        } else {
            Exec("ALTER TABLE " + Qualified(exact) + " RENAME TO " + QuoteIdent(to));
        }
        for (const char* cat : {"MSysColumns", "MSysIndexes", "MSysIndexColumns", "MSysProperties"})
            ExecCatalog("UPDATE " + Qualified(cat) +
                            " SET \"TableName\" = ? WHERE \"TableName\" = ?",
                        {to, exact});
        ExecCatalog("UPDATE " + Qualified("MSysTables") + " SET \"Name\" = ? WHERE \"Name\" = ?",
                    {to, exact});
    });
    if (auto taken = autoNumbersTaken_.extract(FoldName(exact))) {
        taken.key() = FoldName(to);
        autoNumbersTaken_.insert(std::move(taken));
    }
    InvalidateCatalog();
}

void Connection::AddColumn(std::string_view table, const ColumnInfo& c) {
    CheckWritable();
    const TableInfo& t = Table(table);
    std::string exact = t.name;
    int ordinal = static_cast<int>(t.columns.size());
    BeforeTableChange(exact);
    NoteWritten(exact);
    Atomically(*this, [&] {
        Exec("ALTER TABLE " + Qualified(exact) + " ADD COLUMN " + QuoteIdent(c.name) + " " +
             SqlTypeOf(c.type));
        AddColumnCatalog(exact, c, ordinal);
        for (const auto& p : c.properties) SetPropertyInside(exact, c.name, p);
    });
    InvalidateCatalog();
}

void Connection::DropColumn(std::string_view table, std::string_view column) {
    CheckWritable();
    const TableInfo& t = Table(table);
    int ci = t.ColumnIndex(column);
    if (ci < 0) Throw(err::kItemNotFound, std::string(column));
    std::string exactTable = t.name, exact = t.columns[static_cast<size_t>(ci)].name;
    for (const auto& ix : t.indexes)
        for (const auto& ic : ix.columns)
            if (NamesEqual(ic.field, exact)) Throw(err::kFieldInIndex, exact);
    BeforeTableChange(exactTable);
    NoteWritten(exactTable);
    Atomically(*this, [&] {
        Exec("ALTER TABLE " + Qualified(exactTable) + " DROP COLUMN " + QuoteIdent(exact));
        ExecCatalog("DELETE FROM " + Qualified("MSysColumns") +
                        " WHERE \"TableName\" = ? AND \"Name\" = ?",
                    {exactTable, exact});
        ExecCatalog("DELETE FROM " + Qualified("MSysProperties") +
                        " WHERE \"TableName\" = ? AND \"FieldName\" = ?",
                    {exactTable, exact});
        ExecCatalog("UPDATE " + Qualified("MSysColumns") +
                        " SET \"Ordinal\" = \"Ordinal\" - 1 WHERE"
                        " \"TableName\" = ? AND \"Ordinal\" > " +
                        std::to_string(ci),
                    {exactTable});
    });
    InvalidateCatalog();
}

void Connection::RenameColumn(std::string_view table, std::string_view from,
                              const std::string& to) {
    CheckWritable();
    const TableInfo& t = Table(table);
    int ci = t.ColumnIndex(from);
    if (ci < 0) Throw(err::kItemNotFound, std::string(from));
    int other = t.ColumnIndex(to);
    if (other >= 0 && other != ci) Throw(err::kFieldExists, to);
    std::string exactTable = t.name, exact = t.columns[static_cast<size_t>(ci)].name;
    BeforeTableChange(exactTable);
    NoteWritten(exactTable);
    Atomically(*this, [&] {
        Exec("ALTER TABLE " + Qualified(exactTable) + " RENAME COLUMN " + QuoteIdent(exact) +
             " TO " + QuoteIdent(to));
        ExecCatalog("UPDATE " + Qualified("MSysColumns") +
                        " SET \"Name\" = ? WHERE \"TableName\" = ? AND \"Name\" = ?",
                    {to, exactTable, exact});
        ExecCatalog("UPDATE " + Qualified("MSysIndexColumns") +
                        " SET \"FieldName\" = ? WHERE \"TableName\" = ?"
                        " AND \"FieldName\" = ? COLLATE NOCASE",
                    {to, exactTable, exact});
        ExecCatalog("UPDATE " + Qualified("MSysProperties") +
                        " SET \"FieldName\" = ? WHERE \"TableName\" = ?"
                        " AND \"FieldName\" = ?",
                    {to, exactTable, exact});
    });
    InvalidateCatalog();
}

void Connection::UpdateColumnSettings(std::string_view table, const ColumnInfo& c) {
    CheckWritable();
    std::string exactTable = Table(table).name;
    NoteWritten(exactTable);
    Stmt s =
        Prepare("UPDATE " + Qualified("MSysColumns") +
                " SET \"Attributes\" = ?, \"AllowZeroLength\" = ?,"
                " \"Required\" = ?, \"DefaultValue\" = ? WHERE \"TableName\" = ? AND \"Name\" = ?");
    s.Bind(1, static_cast<int64_t>(c.attributes));
    s.Bind(2, static_cast<int64_t>(c.allowZeroLength));
    s.Bind(3, static_cast<int64_t>(c.required));
    s.Bind(4, std::string_view(c.defaultValue));
    s.Bind(5, std::string_view(exactTable));
    s.Bind(6, std::string_view(c.name));
    StepWrite(s);
    InvalidateCatalog();
}

void Connection::CreateIndex(std::string_view table, const IndexInfo& ix) {
    CheckWritable();
    std::string exact = Table(table).name;
    BeforeTableChange(exact);
    NoteWritten(exact);
    Atomically(*this, [&] { CreateIndexInside(exact, ix); });
    InvalidateCatalog();
}

void Connection::DropIndex(std::string_view table, std::string_view index) {
    CheckWritable();
    const TableInfo& t = Table(table);
    const IndexInfo* ix = t.FindIndex(index);
    if (!ix) Throw(err::kItemNotFound, std::string(index));
    std::string exactTable = t.name, exact = ix->name, sqlName = ix->sqlName;
    BeforeTableChange(exactTable);
    NoteWritten(exactTable);
    Atomically(*this, [&] {
        Exec("DROP INDEX " + prefix_ + QuoteIdent(sqlName));
        ExecCatalog("DELETE FROM " + Qualified("MSysIndexes") +
                        " WHERE \"TableName\" = ? AND \"Name\" = ?",
                    {exactTable, exact});
        ExecCatalog("DELETE FROM " + Qualified("MSysIndexColumns") +
                        " WHERE \"TableName\" = ? AND \"IndexName\" = ?",
                    {exactTable, exact});
    });
    InvalidateCatalog();
}

void Connection::SetProperty(std::string_view table, std::string_view field,
                             const PropertyInfo& p) {
    CheckWritable();
    const TableInfo& t = Table(table);
    std::string exactTable = t.name, exactField;
    if (!field.empty()) {
        int ci = t.ColumnIndex(field);
        if (ci < 0) Throw(err::kItemNotFound, std::string(field));
        exactField = t.columns[static_cast<size_t>(ci)].name;
    }
    Atomically(*this, [&] { SetPropertyInside(exactTable, exactField, p); });
    InvalidateCatalog();
}

void Connection::DeleteProperty(std::string_view table, std::string_view field,
                                std::string_view name) {
    CheckWritable();
    std::string exactTable = Table(table).name;
    NoteWritten(exactTable);
    NoteWritten(exactTable);
    ExecCatalog("DELETE FROM " + Qualified("MSysProperties") +
                    " WHERE \"TableName\" = ? AND \"FieldName\" = ?"
                    " AND \"Name\" = ?",
                {exactTable, field, name});
    InvalidateCatalog();
}

} // namespace engine::detail
