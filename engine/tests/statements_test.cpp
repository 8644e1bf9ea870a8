// The statements and criteria the programs use work exactly as written, and the files stay
// readable with the sqlite3 shell.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "engine/testing/test_support.h"

using namespace engine;
using namespace enginetest;

namespace {

// A work table like the layout editor's: FLD01 Long key, FLD02/FLD03/FLD05 text, FLD08 Long.
DatabasePtr MakeWork(const TempDir& dir) {
    DatabasePtr db = Ws().CreateDatabase(dir.File("work.mdb"), kLangJapanese);
    auto td = db->CreateTableDef("WKTBL");
    AddField(td, "FLD01", dao::dbLong);
    for (const char* name : {"FLD02", "FLD03", "FLD05"}) {
        auto f = AddField(td, name, dao::dbText, 20);
        f->SetAllowZeroLength(true);
        f->SetDefaultValue("\"\"");
    }
    AddField(td, "FLD08", dao::dbLong);
    AddIndex(td, "WKKEY", {"FLD01"}, true, true);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
    struct Row {
        int n;
        const char* name;
        const char* type;
        const char* rep;
        int f8;
    } rows[] = {{3, "Zeta", "dbText", "", 2},
                {1, "alpha", "(ｵｰﾄﾅﾝﾊﾞ-)", "02", 3},
                {2, "Beta", "dbLong", "x", 1},
                {4, "alpha", "dbMemo", "", 5}};
    for (const auto& r : rows) {
        rs->AddNew();
        rs->SetValue("FLD01", Variant::Long(r.n));
        rs->SetValue("FLD02", Variant(r.name));
        rs->SetValue("FLD03", Variant(r.type));
        rs->SetValue("FLD05", Variant(r.rep));
        rs->SetValue("FLD08", Variant::Long(r.f8));
        rs->Update();
    }
    return db;
}

std::vector<int> Order(const DatabasePtr& db, const std::string& sql) {
    auto rs = db->OpenRecordset(sql, RecordsetType::Dynaset);
    std::vector<int> out;
    while (!rs->Eof()) {
        out.push_back(CLng(rs->Value("FLD01")));
        rs->MoveNext();
    }
    return out;
}

} // namespace

TEST(Statements, SelectsRunExactlyAsWritten) {
    TempDir dir;
    DatabasePtr db = MakeWork(dir);
    struct Case {
        const char* sql;
        std::vector<int> rows;
    } cases[] = {
        {"SELECT * FROM WKTBL ORDER BY FLD01", {1, 2, 3, 4}},
        {"SELECT * FROM WKTBL ORDER BY FLD01 ", {1, 2, 3, 4}},
        {"SELECT * FROM WKTBL ORDER BY FLD02 ,FLD01 ", {1, 4, 2, 3}},
        {"SELECT * FROM WKTBL ORDER BY FLD08", {2, 3, 1, 4}},
        {"SELECT * FROM [WKTBL]", {1, 2, 3, 4}},
        {"SELECT * FROM [WKTBL] ORDER BY  [FLD02] , [FLD01]", {1, 4, 2, 3}},
        {"SELECT * FROM [WKTBL] ORDER BY [FLD08] DESC", {4, 1, 3, 2}},
        {"WKTBL", {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        std::vector<int> got = Order(db, c.sql);
        if (std::string(c.sql).find("ORDER BY") == std::string::npos)
            std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.rows);
    }
    std::string withWhere =
        std::string("SELECT * ") + " FROM [WKTBL] WHERE FLD08 >= 2 And FLD02 Like 'A*'";
    EXPECT_EQ(Order(db, withWhere + " ORDER BY FLD01"), (std::vector<int>{1, 4}));
}

TEST(Statements, CriteriaOfTheProgramsFindTheirRows) {
    TempDir dir;
    DatabasePtr db = MakeWork(dir);
    auto rs = db->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
    struct Case {
        const char* criteria;
        int first; // FLD01 of the first match, 0 for none
    } cases[] = {
        {"FLD01= 5", 0},
        {"FLD01= 3", 3},
        {"FLD01 >= 2", 2},
        {"FLD02 = 'ALPHA'", 1},
        {"FLD02 =  'beta'", 2},
        {"FLD03 = '(ｵｰﾄﾅﾝﾊﾞ-)'", 1},
        {"FLD05 =  'X'", 2},
        {"FLD05 =  ''", 3},
        {"FLD08 = 3", 1},
        {"FLD08= 5", 4},
        {"FLD02 = 'zeta' AND FLD08 = 2", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.criteria);
        rs->FindFirst(c.criteria);
        if (c.first == 0) {
            EXPECT_TRUE(rs->NoMatch());
        } else {
            ASSERT_FALSE(rs->NoMatch());
            EXPECT_EQ(CLng(rs->Value("FLD01")), c.first);
        }
    }
}

TEST(Statements, DeleteStatementsEmptyTheTable) {
    TempDir dir;
    DatabasePtr db = MakeWork(dir);
    db->Execute("DELETE * FROM WKTBL WHERE FLD08 > 2");
    EXPECT_EQ(db->RecordsAffected(), 2);
    db->Execute("DELETE * FROM [WKTBL]");
    EXPECT_EQ(db->TableDefs().Item("WKTBL")->RecordCount(), 0);
}

TEST(Statements, FileReadsBackInTheSqliteShell) {
    TempDir dir;
    { DatabasePtr db = MakeWork(dir); }
    std::string cmd = "sqlite3 -batch '" + dir.File("work.mdb") +
                      "' '.tables' 'SELECT FLD01, FLD02 FROM WKTBL ORDER BY FLD01;' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, pipe.get())) out += buf;
    EXPECT_NE(out.find("WKTBL"), std::string::npos) << out;
    EXPECT_NE(out.find("MSysColumns"), std::string::npos) << out;
    EXPECT_NE(out.find("1|alpha\n2|Beta\n3|Zeta\n4|alpha\n"), std::string::npos) << out;
}
