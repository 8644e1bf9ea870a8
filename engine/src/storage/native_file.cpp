#include "storage/native_file.h"

#include <unistd.h>

#include <map>

#include "engine/error.h"
#include "storage/catalog.h"
#include "storage/sql_connection.h"

namespace engine::detail {
namespace {

constexpr std::string_view kFormatMark = "tavorin-engine 1";

// The first statements on a file meet whatever it is: a file another program holds locked is
// in use (3045); anything else that does not read is not a database of ours (3343).
template <class F> void FirstRead(const std::string& shownName, F&& read) {
    try {
        read();
    } catch (const Error& e) {
        if (e.Number() == err::kLocked) throw;
        Throw(err::kBadFormat, shownName);
    }
}

// Whether a CREATE TABLE statement declares a CHECK constraint: the word CHECK outside names,
// strings and comments. SQLite calls any function from such a check, whatever its flags, when
// the function is not deterministic.
bool DeclaresCheck(std::string_view sql) {
    auto isWordChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || static_cast<unsigned char>(c) >= 0x80;
    };
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            i = sql.find(close, i + 1);
            if (i == std::string_view::npos) return false;
            ++i;
        } else if (sql.substr(i, 2) == "--") {
            i = sql.find('\n', i);
            if (i == std::string_view::npos) return false;
        } else if (sql.substr(i, 2) == "/*") {
            i = sql.find("*/", i + 2);
            if (i == std::string_view::npos) return false;
            i += 2;
        } else if (isWordChar(c)) {
            const size_t start = i;
            while (i < sql.size() && isWordChar(sql[i])) ++i;
            if (NamesEqual(sql.substr(start, i - start), "CHECK")) return true;
        } else {
            ++i;
        }
    }
    return false;
}

} // namespace

void ThrowDamagedCatalog(const std::string& path, const std::string& reason) {
    throw Error(err::kBadFormat, DescriptionOf(err::kBadFormat, path) + " (" + reason + ")");
}

NativeFileFacts CheckNativeFile(const std::string& path, bool readOnly,
                                const std::string& shownName) {
    const bool writable = !readOnly && ::access(path.c_str(), W_OK) == 0;
    SqliteDb db =
        OpenSqlite(path, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, shownName);
    NativeFileFacts facts;

    // What each table-like object of the file is: "table", "view", "virtual" or "shadow" (of a
    // virtual table), by folded name.
    std::map<std::string, std::string> kinds;
    FirstRead(shownName, [&] {
        Stmt list(db.get(), "PRAGMA \"main\".table_list", shownName);
        while (list.Step()) {
            const std::string type = list.Text(2);
            if (type != "table") facts.foreignObjects = true;
            kinds.emplace(FoldName(list.TextView(1)), type);
        }
        Stmt objects(db.get(),
                     "SELECT \"type\", \"sql\" FROM \"main\".\"sqlite_schema\""
                     " WHERE \"type\" IN ('trigger', 'table')",
                     shownName);
        while (!facts.foreignObjects && objects.Step())
            facts.foreignObjects =
                objects.TextView(0) == "trigger" || DeclaresCheck(objects.TextView(1));
    });
    const std::string markMissing =
        "形式の印「MSysDatabase の Format = " + std::string(kFormatMark) + "」がありません";
    for (const char* table : kCatalogTables) {
        auto kind = kinds.find(FoldName(table));
        if (kind == kinds.end())
            ThrowDamagedCatalog(shownName,
                                std::string_view(table) == "MSysDatabase"
                                    ? markMissing
                                    : std::string("カタログ ") + table + " がありません");
        if (kind->second != "table")
            ThrowDamagedCatalog(shownName, std::string("カタログ ") + table +
                                               " が通常のテーブルではありません");
    }

    // The mark, exactly: a file of another program that happens to have such tables is not ours.
    bool marked = false;
    FirstRead(shownName, [&] {
        Stmt mark(db.get(),
                  "SELECT \"Value\" FROM \"main\".\"MSysDatabase\" WHERE \"Key\" = 'Format'",
                  shownName);
        marked =
            mark.Step() && mark.ColumnType(0) == SQLITE_TEXT && mark.TextView(0) == kFormatMark;
    });
    if (!marked) ThrowDamagedCatalog(shownName, markMissing);

    // Every table of the catalog is an ordinary table of the file: a view or a virtual table
    // under a table's name could yield rows without end, or run code of its own.
    Stmt names(db.get(),
               "SELECT \"Name\" FROM \"main\".\"MSysTables\" LIMIT " +
                   std::to_string(catalog_limits::kMaxTables + 1),
               shownName);
    long count = 0;
    while (names.Step()) {
        if (++count > catalog_limits::kMaxTables)
            ThrowDamagedCatalog(shownName, "カタログ MSysTables が Jet の上限を超えています");
        auto kind = kinds.find(FoldName(names.TextView(0)));
        if (kind != kinds.end() && kind->second != "table")
            ThrowDamagedCatalog(shownName,
                                "テーブル '" + names.Text(0) + "' が通常のテーブルではありません");
    }
    names = Stmt();

    // A file another program put in WAL mode could not share the workspace's atomic commit.
    if (writable) sqlite3_exec(db.get(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    return facts;
}

} // namespace engine::detail
