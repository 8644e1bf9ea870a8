// Native files changed by another program, for the tests of untrusted input: a file made by
// the engine with one table, then changed with raw SQL; and a count of the rows crafted views
// yield, so that a test can show how much of such a file the engine read.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/database.h"
#include "engine/recordset.h"
#include "engine/tabledef.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace craftedfiles {

inline std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A native file with table T (ID Long, NAME Text 20) holding three records, then changed by
// another program with sql.
inline void MakeCraftedFile(const std::string& path, const std::string& sql) {
    {
        engine::DatabasePtr db =
            engine::DBEngine::Instance().Workspaces(0).CreateDatabase(path, engine::kLangJapanese);
        engine::TableDefPtr td = db->CreateTableDef("T");
        td->Fields().Append(td->CreateField("ID", engine::dao::dbLong));
        td->Fields().Append(td->CreateField("NAME", engine::dao::dbText, 20));
        db->TableDefs().Append(td);
        engine::RecordsetPtr rs = db->OpenRecordset("T");
        for (int i = 1; i <= 3; ++i) {
            rs->AddNew();
            rs->SetValue("ID", engine::Variant::Long(i));
            rs->SetValue("NAME", engine::Variant("name" + std::to_string(i)));
            rs->Update();
        }
        rs->Close();
        db->Close();
    }
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &message);
    EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "") << "\n" << sql;
    sqlite3_free(message);
    sqlite3_close(raw);
}

// Rows without end, for a view: kEndless + "SELECT i FROM n WHERE test_row()".
inline const std::string kEndless =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) ";

// Calls of test_row() since the last reset: the rows a crafted view yielded. Past kRowStop
// calls the function fails its statement, so that an engine reading without bound fails the
// test rather than exhausting the machine.
constexpr long kRowStop = 100000;
inline long& RowsRead() {
    static long rows = 0;
    return rows;
}

// While it lives, every SQLite connection the process opens has test_row().
class RowCounter {
  public:
    RowCounter() {
        RowsRead() = 0;
        sqlite3_auto_extension(reinterpret_cast<Entry>(&Register));
    }
    ~RowCounter() { sqlite3_cancel_auto_extension(reinterpret_cast<Entry>(&Register)); }
    RowCounter(const RowCounter&) = delete;
    RowCounter& operator=(const RowCounter&) = delete;

  private:
    using Entry = void (*)();
    static void Count(sqlite3_context* ctx, int, sqlite3_value**) {
        if (++RowsRead() > kRowStop) {
            sqlite3_result_error(ctx, "the engine read past the test's bound", -1);
            return;
        }
        sqlite3_result_int(ctx, 1);
    }
    // Innocuous, so that a connection that does not trust a file's schema may still call it
    // from there: the count then shows every row the engine asked for.
    static int Register(sqlite3* db, char**, const sqlite3_api_routines*) {
        return sqlite3_create_function(db, "test_row", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr,
                                       Count, nullptr, nullptr);
    }
};

} // namespace craftedfiles
