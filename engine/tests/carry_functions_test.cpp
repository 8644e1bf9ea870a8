// The SQL functions of the copy (the designer's save and import) against untrusted input: they
// run only in the engine's own statements, never from a view, trigger or default stored in a
// file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "copy/carry_functions.h"
#include "engine/testing/test_support.h"
#include "engine/types.h"

namespace {

using engine::copy::CarryFunctions;

struct Db {
    explicit Db(const std::string& path) { sqlite3_open(path.c_str(), &raw); }
    ~Db() { sqlite3_close(raw); }
    int Run(const std::string& sql) {
        return sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr);
    }
    sqlite3* raw = nullptr;
};

struct Carried {
    const char* call;
    std::function<long(const CarryFunctions&)> count; // what one call of it changes
};

// A file whose view, trigger and default another program wrote to call the functions, opened
// on a plain SQLite connection that trusts its schema: only the functions' own registration
// keeps the stored SQL from calling them. (A check could still call them: SQLite lets a check
// call any function that is not deterministic, so the engine opens files with checks read-only.)
TEST(CarryFunctionsAndStoredSql, OnlyTheProgramsOwnStatementsCallTheCarryFunctions) {
    enginetest::TempDir dir;
    const std::vector<Carried> cases = {
        {"tavorin_carry_row()", [](const CarryFunctions& f) { return f.RecordsRead(); }},
        {"tavorin_carry_skip()", [](const CarryFunctions& f) { return f.Skipped(); }},
        {"tavorin_carry_hit(1)", [](const CarryFunctions& f) { return f.Hits(); }},
        {"tavorin_carry_auto(1)",
         [](const CarryFunctions& f) { return static_cast<long>(f.NextAutoNumber()); }},
    };
    for (const Carried& c : cases) {
        SCOPED_TRACE(c.call);
        const std::string call = c.call;
        const std::string path = dir.File(call.substr(0, call.find('(')) + ".db");
        {
            Db other(path);
            CarryFunctions known(other.raw); // the names resolve when the schema is written
            ASSERT_EQ(other.Run("CREATE TABLE T(a); CREATE TABLE L(x); CREATE VIEW V AS SELECT " +
                                call +
                                " AS x;"
                                "CREATE TRIGGER G AFTER INSERT ON T BEGIN INSERT INTO L SELECT " +
                                call +
                                "; END;"
                                "CREATE TABLE C(a, b DEFAULT (" +
                                call + "));"),
                      SQLITE_OK)
                << sqlite3_errmsg(other.raw);
        }
        Db db(path);
        CarryFunctions functions(db.raw);
        engine::FieldInfo number;
        number.name = "ID";
        number.type = engine::dao::dbLong;
        functions.SetAutoNumber(1, false, engine::dao::dbLong, number);
        const long before = c.count(functions);
        EXPECT_EQ(db.Run("SELECT * FROM V"), SQLITE_ERROR);
        EXPECT_EQ(db.Run("INSERT INTO T VALUES (1)"), SQLITE_ERROR);
        EXPECT_EQ(db.Run("INSERT INTO C(a) VALUES (1)"), SQLITE_ERROR);
        EXPECT_EQ(c.count(functions), before);
        // The program's own statement.
        EXPECT_EQ(db.Run("SELECT " + call), SQLITE_OK) << sqlite3_errmsg(db.raw);
        EXPECT_EQ(c.count(functions), before + 1);
    }
}

} // namespace
