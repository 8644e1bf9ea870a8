// Database files as untrusted input: crafted native files are refused (3343 with the reason) or
// opened read-only, reading a bounded part of them and leaving their bytes as they were; the
// connections run in SQLite's defensive mode without trusting the file's schema; a file the
// user may not read says so (3051).
#include <grp.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "engine/database.h"
#include "engine/recordset.h"
#include "engine/tabledef.h"
#include "engine/testing/crafted_files.h"
#include "engine/testing/test_support.h"
#include "model/object_access.h"

using namespace engine;
using namespace enginetest;
using namespace craftedfiles;

namespace {

// The connection behind db, for statements the object model does not make.
sqlite3* SqliteOf(const Database& db) {
    return detail::ObjectAccess::SqliteHandle(db);
}

// Opens the file as both programs do and lists its tables.
std::vector<std::string> OpenAndList(const std::string& path) {
    DatabasePtr db = Ws().OpenDatabase(path);
    std::vector<std::string> names;
    for (size_t i = 0; i < db->TableDefs().Count(); ++i)
        names.push_back(db->TableDefs()[i]->Name());
    db->Close();
    return names;
}

struct Refused {
    const char* what;
    std::string sql;
    const char* reason; // part of the description after the file's name
};

TEST(UntrustedFiles, CraftedCatalogsAreRefusedReadingABoundedPartAndLeftUnchanged) {
    const std::string mark = "形式の印「MSysDatabase の Format = tavorin-engine 1」がありません";
    std::string manyTables = "BEGIN;";
    manyTables += "INSERT INTO MSysTables SELECT 'X' || i, 1 FROM (" + kEndless +
                  "SELECT i FROM n LIMIT 32768);";
    manyTables += "COMMIT;";
    std::string manyColumns =
        "INSERT INTO MSysColumns SELECT 'T', 'C' || i, i + 2, 4, 4, 1, 0, 0, '' FROM (" + kEndless +
        "SELECT i FROM n LIMIT 254);";
    const std::vector<Refused> cases = {
        {"a wrong mark", "UPDATE MSysDatabase SET Value = 'tavorin-engine 2' WHERE Key = 'Format'",
         mark.c_str()},
        {"a Null mark", "UPDATE MSysDatabase SET Value = NULL WHERE Key = 'Format'", mark.c_str()},
        {"the mark as bytes",
         "UPDATE MSysDatabase SET Value = CAST('tavorin-engine 1' AS BLOB) WHERE Key = 'Format'",
         mark.c_str()},
        {"no mark", "DELETE FROM MSysDatabase WHERE Key = 'Format'", mark.c_str()},
        {"an empty MSysDatabase", "DELETE FROM MSysDatabase", mark.c_str()},
        {"no MSysDatabase", "DROP TABLE MSysDatabase", mark.c_str()},
        {"no MSysIndexes", "DROP TABLE MSysIndexes", "カタログ MSysIndexes がありません"},
        {"MSysTables an endless view",
         "DROP TABLE MSysTables; CREATE VIEW MSysTables AS " + kEndless +
             "SELECT 'T' || i AS Name, 1 AS NextAutoNumber FROM n WHERE test_row()",
         "カタログ MSysTables が通常のテーブルではありません"},
        {"MSysColumns a view of a table",
         "ALTER TABLE MSysColumns RENAME TO C2; CREATE VIEW MSysColumns AS SELECT * FROM C2 WHERE "
         "test_row()",
         "カタログ MSysColumns が通常のテーブルではありません"},
        {"MSysProperties a virtual table",
         "DROP TABLE MSysProperties; CREATE VIRTUAL TABLE MSysProperties USING fts5(TableName, "
         "FieldName, Name,"
         " Type, Value)",
         "カタログ MSysProperties が通常のテーブルではありません"},
        {"a listed table that is an endless view",
         "INSERT INTO MSysTables VALUES ('V', 1); CREATE VIEW V AS " + kEndless +
             "SELECT i AS ID FROM n WHERE test_row()",
         "テーブル 'V' が通常のテーブルではありません"},
        {"more tables than Jet allows", manyTables,
         "カタログ MSysTables が Jet の上限を超えています"},
        {"more fields in a table than Jet allows", manyColumns,
         "カタログ MSysColumns が Jet の上限を超えています"},
        {"more fields in an index than Jet allows",
         "INSERT INTO MSysIndexes VALUES ('T', 'IX', 0, 'MSysIdx9', 0, 0, 0, 0);"
         "INSERT INTO MSysIndexColumns SELECT 'T', 'IX', i, 'ID', 0 FROM (" +
             kEndless + "SELECT i FROM n LIMIT 11)",
         "カタログ MSysIndexColumns が Jet の上限を超えています"},
    };
    TempDir dir;
    RowCounter counter;
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File(std::string(c.what) + ".mdb");
        MakeCraftedFile(path, c.sql);
        const std::string before = Bytes(path);
        RowsRead() = 0;
        try {
            OpenAndList(path);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), err::kBadFormat) << e.Description();
            EXPECT_EQ(e.Description(),
                      DescriptionOf(err::kBadFormat, path) + " (" + c.reason + ")");
        }
        EXPECT_EQ(RowsRead(), 0);
        EXPECT_TRUE(Bytes(path) == before) << "the file's bytes changed";
        EXPECT_FALSE(Ws().IsFileOpen(path));
    }
}

// A file holding objects the engine never writes (views, triggers, virtual tables, checks) opens
// read-only: its tables read as usual, every write is refused, and the stored objects never run.
TEST(UntrustedFiles, FilesWithViewsTriggersOrVirtualTablesOpenReadOnlyAndNothingOfThemRuns) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"an endless view", "CREATE VIEW V AS " + kEndless + "SELECT i FROM n WHERE test_row()"},
        {"a trigger calling the designer's functions",
         "CREATE TABLE L(x); CREATE TRIGGER G AFTER INSERT ON T BEGIN"
         " INSERT INTO L SELECT tavorin_carry_auto(NEW.ID) WHERE test_row(); END"},
        {"a trigger on the catalog", "CREATE TABLE L(x); CREATE TRIGGER G AFTER INSERT ON "
                                     "MSysTables BEGIN INSERT INTO L VALUES (1); END"},
        {"a virtual table", "CREATE VIRTUAL TABLE F USING fts5(a)"},
        // SQLite calls a function that is not deterministic from a check, whatever its flags.
        {"a check", "CREATE TABLE K(a /* a note */ CHECK (random() IS NOT NULL))"},
    };
    TempDir dir;
    RowCounter counter;
    for (const auto& [what, sql] : cases) {
        SCOPED_TRACE(what);
        const std::string path = dir.File(std::string(what) + ".mdb");
        MakeCraftedFile(path, sql);
        const std::string before = Bytes(path);
        RowsRead() = 0;
        {
            DatabasePtr db = Ws().OpenDatabase(path);
            EXPECT_TRUE(db->ReadOnly());
            ASSERT_EQ(db->TableDefs().Count(), 1u);
            RecordsetPtr rs = db->OpenRecordset("T");
            rs->MoveLast();
            EXPECT_EQ(rs->RecordCount(), 3);
            EXPECT_EQ(ErrorOf([&] {
                          rs->AddNew();
                          rs->SetValue("ID", Variant::Long(4));
                          rs->Update();
                      }),
                      err::kReadOnly);
            rs->Close();
            TableDefPtr td = db->CreateTableDef("N");
            AddField(td, "A", dao::dbLong);
            EXPECT_EQ(ErrorOf([&] { db->TableDefs().Append(td); }), err::kReadOnly);
            // Not even a statement of the caller's own writes to it (the trigger's unknown
            // function may refuse it first).
            const std::string insert =
                "INSERT INTO \"" + db->SchemaName() + "\".\"T\" (\"ID\") VALUES (9)";
            EXPECT_NE(sqlite3_exec(SqliteOf(*db), insert.c_str(), nullptr, nullptr, nullptr),
                      SQLITE_OK);
            db->Close();
        }
        EXPECT_EQ(RowsRead(), 0);
        EXPECT_TRUE(Bytes(path) == before) << "the file's bytes changed";
    }
}

// The word only counts as a check outside names, strings and comments: a field the engine
// itself made under such a name leaves the file writable.
TEST(UntrustedFiles, ANameThatReadsCheckIsNoCheck) {
    TempDir dir;
    const std::string path = dir.File("names.mdb");
    MakeCraftedFile(path,
                    "CREATE TABLE \"Check\"(\"check\" TEXT DEFAULT 'CHECK' /* CHECK */) -- CHECK");
    {
        DatabasePtr db = Ws().OpenDatabase(path);
        TableDefPtr td = db->CreateTableDef("check list");
        AddField(td, "Check", dao::dbLong);
        db->TableDefs().Append(td);
        db->Close();
    }
    DatabasePtr db = Ws().OpenDatabase(path);
    EXPECT_FALSE(db->ReadOnly());
    db->Close();
}

// A side effect another program's view could reach: the schema of a user's file is not
// trusted, so its views may call only functions marked as harmless.
TEST(UntrustedFiles, AViewStoredInAFileCannotCallAFunctionWithSideEffects) {
    TempDir dir;
    const std::string path = dir.File("view.mdb");
    MakeCraftedFile(path, "CREATE VIEW V AS SELECT test_effect() AS x");
    DatabasePtr db = Ws().OpenDatabase(path);
    int calls = 0;
    auto effect = [](sqlite3_context* ctx, int, sqlite3_value**) {
        ++*static_cast<int*>(sqlite3_user_data(ctx));
        sqlite3_result_int(ctx, 1);
    };
    ASSERT_EQ(sqlite3_create_function(SqliteOf(*db), "test_effect", 0, SQLITE_UTF8, &calls, effect,
                                      nullptr, nullptr),
              SQLITE_OK);
    const std::string direct = "SELECT test_effect()";
    EXPECT_EQ(sqlite3_exec(SqliteOf(*db), direct.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(calls, 1);
    const std::string throughView = "SELECT * FROM \"" + db->SchemaName() + "\".\"V\"";
    EXPECT_EQ(sqlite3_exec(SqliteOf(*db), throughView.c_str(), nullptr, nullptr, nullptr),
              SQLITE_ERROR);
    EXPECT_EQ(calls, 1);
    sqlite3_create_function(SqliteOf(*db), "test_effect", 0, SQLITE_UTF8, nullptr, nullptr, nullptr,
                            nullptr);
    db->Close();
}

// ---- Files the user may not read ------------------------------------------------------------

struct Outcome {
    long number = 0;
    std::string description;
};

Outcome OpenOutcome(const std::string& path) {
    try {
        Ws().OpenDatabase(path)->Close();
    } catch (const Error& e) {
        return {e.Number(), e.Description()};
    }
    return {};
}

// Opens each path as an ordinary user: in this process when it is not run by root (whom
// permissions do not bind), else in a child process that gives root up for the user nobody.
// nullopt when root cannot give its rights up here.
std::optional<std::vector<Outcome>> OpenAsOrdinaryUser(const std::vector<std::string>& paths) {
    if (::geteuid() != 0) {
        std::vector<Outcome> out;
        for (const auto& p : paths) out.push_back(OpenOutcome(p));
        return out;
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string report;
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            report = "cannot drop root";
        } else {
            for (const auto& p : paths) {
                const Outcome o = OpenOutcome(p);
                report += std::to_string(o.number) + "\t" + o.description + "\n";
            }
        }
        (void)!::write(pipeFds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (report == "cannot drop root") return std::nullopt;
    std::vector<Outcome> out;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        const size_t tab = line.find('\t');
        out.push_back({std::stol(line.substr(0, tab)), line.substr(tab + 1)});
    }
    return out;
}

TEST(UntrustedFiles, AFileTheUserMayNotReadSaysSoInsteadOfAnUnknownFormat) {
    TempDir dir;
    // The test folder itself must be open to the ordinary user.
    ::chmod(dir.Path().c_str(), 0755);
    const std::string closedFile = dir.File("closed.mdb");
    MakeCraftedFile(closedFile, "SELECT 1");
    ::chmod(closedFile.c_str(), 0);
    const std::string closedFolder = dir.File("closed");
    fs::create_directory(closedFolder);
    const std::string inClosedFolder = closedFolder + "/inside.mdb";
    MakeCraftedFile(inClosedFolder, "SELECT 1");
    ::chmod(closedFolder.c_str(), 0);
    const std::string text = dir.File("text.mdb");
    std::ofstream(text) << "not a database\n";
    ::chmod(text.c_str(), 0644);
    const std::string missing = dir.File("missing.mdb");

    const std::optional<std::vector<Outcome>> outcomes =
        OpenAsOrdinaryUser({closedFile, inClosedFolder, text, missing});
    ::chmod(closedFolder.c_str(), 0755);
    if (!outcomes) GTEST_SKIP() << "root cannot run a child process as the user nobody here";
    ASSERT_EQ(outcomes->size(), 4u);
    EXPECT_EQ((*outcomes)[0].number, err::kNoPermission);
    EXPECT_EQ((*outcomes)[0].description, DescriptionOf(err::kNoPermission, closedFile));
    EXPECT_EQ((*outcomes)[1].number, err::kNoPermission);
    EXPECT_EQ((*outcomes)[1].description, DescriptionOf(err::kNoPermission, inClosedFolder));
    EXPECT_EQ((*outcomes)[2].number, err::kBadFormat);
    EXPECT_EQ((*outcomes)[3].number, err::kFileNotFound);
}

} // namespace
