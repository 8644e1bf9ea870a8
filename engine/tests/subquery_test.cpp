// Subqueries in conditions over a real engine file: the records each condition selects through
// a recordset's WHERE, FindFirst/FindNext and the import's translated selection (which names
// its table by an alias) are the records Jet selects, and what Jet refuses is refused.
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/testing/test_support.h"
#include "model/object_access.h"

using namespace engine;
using namespace enginetest;

namespace {

// The connection behind db, for statements the object model does not make.
sqlite3* SqliteOf(const Database& db) {
    return detail::ObjectAccess::SqliteHandle(db);
}

// C: customers; O: their orders (one without a customer); PICK: a table of one field.
DatabasePtr MakeShop(const TempDir& dir) {
    DatabasePtr db = Ws().CreateDatabase(dir.File("shop.mdb"), kLangJapanese);
    auto c = db->CreateTableDef("C");
    AddField(c, "ID", dao::dbLong);
    AddField(c, "NAME", dao::dbText, 20);
    AddField(c, "REGION", dao::dbText, 10);
    AddField(c, "BORN", dao::dbDate);
    AddField(c, "VIP", dao::dbBoolean);
    AddField(c, "LIMIT", dao::dbCurrency);
    db->TableDefs().Append(c);
    auto o = db->CreateTableDef("O");
    AddField(o, "OID", dao::dbLong);
    AddField(o, "CUST", dao::dbLong);
    AddField(o, "ITEM", dao::dbText, 20);
    AddField(o, "REGION", dao::dbText, 10);
    AddField(o, "AT", dao::dbDate);
    AddField(o, "AMOUNT", dao::dbCurrency);
    db->TableDefs().Append(o);
    auto pick = db->CreateTableDef("PICK");
    AddField(pick, "K", dao::dbLong);
    db->TableDefs().Append(pick);

    auto add = [&](const std::string& table, const std::vector<Variant>& values) {
        auto rs = db->OpenRecordset(table);
        rs->AddNew();
        for (size_t i = 0; i < values.size(); ++i) rs->SetValue(i, values[i]);
        rs->Update();
    };
    auto date = [](int y, int m, int d, double hours = 0) {
        return Variant::Date(DateSerial(y, m, d) + hours / 24);
    };
    auto cur = [](double v) { return Variant::CurrencyScaled(std::llround(v * 10000)); };
    const Variant null = Variant::Null();
    add("C", {Variant::Long(1), Variant("Alice"), Variant("east"), date(1990, 1, 15),
              Variant::Boolean(true), cur(100.5)});
    add("C", {Variant::Long(2), Variant("bob"), Variant("West"), date(1985, 6, 30),
              Variant::Boolean(false), cur(20)});
    add("C", {Variant::Long(3), Variant("Carol"), null, date(2000, 12, 31), Variant::Boolean(true),
              cur(0)});
    add("C", {Variant::Long(4), Variant("dave"), Variant("east"), date(1970, 3, 3),
              Variant::Boolean(false), cur(50.25)});
    add("C",
        {Variant::Long(5), Variant("Eve"), Variant("north"), null, Variant::Boolean(false), null});
    add("O", {Variant::Long(10), Variant::Long(1), Variant("apple"), Variant("EAST"),
              date(2024, 1, 31), cur(1.5)});
    add("O", {Variant::Long(11), Variant::Long(1), Variant("Banana"), Variant("west"),
              date(2024, 2, 1), cur(20)});
    add("O", {Variant::Long(12), Variant::Long(2), Variant("apple pie"), Variant("West"),
              date(2023, 12, 31, 10), cur(100.5)});
    add("O", {Variant::Long(13), Variant::Long(4), Variant("cherry"), null, date(2024, 1, 31, 23.5),
              cur(0.25)});
    add("O", {Variant::Long(14), null, Variant("APPLE"), Variant("north"), date(2024, 3, 1),
              cur(50.25)});
    add("PICK", {Variant::Long(2)});
    add("PICK", {Variant::Long(5)});
    return db;
}

std::vector<int> Sorted(std::vector<int> ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

// The IDs of C that "SELECT * FROM C WHERE condition" holds.
std::vector<int> ByRecordset(Database& db, const std::string& condition) {
    std::vector<int> ids;
    auto rs = db.OpenRecordset("SELECT * FROM C WHERE " + condition, RecordsetType::Snapshot);
    for (; !rs->Eof(); rs->MoveNext()) ids.push_back(CLng(rs->Value("ID")));
    return Sorted(ids);
}

// The IDs FindFirst and FindNext reach on a recordset of all of C.
std::vector<int> ByFind(Database& db, const std::string& condition) {
    std::vector<int> ids;
    auto rs = db.OpenRecordset("C", RecordsetType::Dynaset);
    for (rs->FindFirst(condition); !rs->NoMatch(); rs->FindNext(condition))
        ids.push_back(CLng(rs->Value("ID")));
    return Sorted(ids);
}

// The IDs the import's statement reads: the selection's SQL over C named "s", as it runs it.
std::vector<int> BySelection(Database& db, const std::string& condition) {
    const Database::Selection sel = db.TranslateSelect("SELECT * FROM [C] WHERE " + condition, "s");
    const std::string sql =
        "SELECT s.\"ID\" FROM \"" + db.SchemaName() + "\".\"C\" AS s WHERE " + sel.condition;
    sqlite3_stmt* raw = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(SqliteOf(db), sql.c_str(), -1, &raw, nullptr), SQLITE_OK)
        << sqlite3_errmsg(SqliteOf(db)) << " in " << sql;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    for (size_t i = 0; raw && i < sel.params.size(); ++i) {
        const Variant& v = sel.params[i];
        const int at = static_cast<int>(i + 1);
        if (v.IsNull())
            sqlite3_bind_null(raw, at);
        else if (v.IsString())
            sqlite3_bind_text(raw, at, v.StringValue().c_str(), -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_double(raw, at, CDbl(v));
    }
    std::vector<int> ids;
    while (raw && sqlite3_step(raw) == SQLITE_ROW) ids.push_back(sqlite3_column_int(raw, 0));
    return Sorted(ids);
}

TEST(Subqueries, ConditionsWithSubqueriesSelectTheRecordsJetSelects) {
    TempDir dir;
    DatabasePtr db = MakeShop(dir);
    struct Case {
        const char* condition;
        std::vector<int> ids;
    };
    const Case cases[] = {
        // In and Not In: a Null among the values leaves Not In true for no record.
        {"ID In (Select CUST From O)", {1, 2, 4}},
        {"ID Not In (Select CUST From O)", {}},
        {"ID Not In (Select CUST From O Where CUST Is Not Null)", {3, 5}},
        {"Not ID In (Select CUST From O Where CUST Is Not Null)", {3, 5}},
        {"ID In (Select cust From o)", {1, 2, 4}},
        {"ID In (Select * From PICK)", {2, 5}},
        {"ID = 5 Or ID In (Select CUST From O Where OID = 13)", {4, 5}},
        {"ID In (Select CUST + 1 From O Where AMOUNT = 20)", {2}},
        // Exists and Not Exists, correlated: a bare name is the inner table's, else the outer's.
        {"Exists (Select * From O Where O.CUST = C.ID)", {1, 2, 4}},
        {"Not Exists (Select * From O Where CUST = ID)", {3, 5}},
        {"Exists (Select CUST, ITEM From O Where CUST = ID)", {1, 2, 4}},
        {"Exists (Select * From O Where REGION = 'north')", {1, 2, 3, 4, 5}},
        {"Exists (Select * From O Where CUST = ID And REGION = C.REGION)", {1, 2}},
        {"Exists (Select * From PICK Where K = ID)", {2, 5}},
        // Qualified names and aliases, also of the outer table itself.
        {"[C].[ID] In (Select [O].[CUST] From [O])", {1, 2, 4}},
        {"C.ID = 3", {3}},
        {"Exists (Select * From O As x Where x.CUST = C.ID And x.AMOUNT > 10)", {1, 2}},
        {"ID In (Select o2.CUST From [O] o2 Where o2.ITEM Like 'apple*')", {1, 2}},
        {"Exists (Select * From C As c2 Where c2.REGION = C.REGION And c2.ID <> C.ID)", {1, 4}},
        {"ID In (Select ID From C Where VIP = True)", {1, 3}},
        {"ID In (Select Distinct CUST From O Where ITEM Like '*a*')", {1, 2}},
        // Nested, reaching out two levels.
        {"ID In (Select CUST From O Where ITEM In (Select ITEM From O As o3 Where o3.AMOUNT < 1))",
         {4}},
        {"Exists (Select * From O Where CUST = C.ID And Exists (Select * From C As c3 Where c3.ID "
         "= O.CUST And c3.VIP))",
         {1}},
        {"Exists (Select * From O Where CUST = ID And Exists (Select * From PICK Where K = ID))",
         {2}},
        // Text ignores letter case, Like, dates and currency as outside a subquery.
        {"REGION In (Select REGION From O)", {1, 2, 4, 5}},
        {"REGION Not In (Select REGION From O)", {}},
        {"REGION Not In (Select REGION From O Where REGION Is Not Null)", {}},
        {"NAME In (Select 'ALICE' From PICK)", {1}},
        {"ID In (Select CUST From O Where AT >= #2024/01/31# And AT < #2024/02/01#)", {1, 4}},
        {"ID In (Select CUST From O Where AT Like '2024/01/31*')", {1, 4}},
        {"Exists (Select * From O Where CUST = ID And AT > BORN + 15000)", {4}},
        {"LIMIT In (Select AMOUNT From O)", {1, 2, 4}},
        {"LIMIT = 100.5 And ID In (Select CUST From O Where AMOUNT = 1.5)", {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.condition);
        EXPECT_EQ(ByRecordset(*db, c.condition), c.ids);
        EXPECT_EQ(ByFind(*db, c.condition), c.ids);
        EXPECT_EQ(BySelection(*db, c.condition), c.ids);
    }
}

TEST(Subqueries, FaultsAndHostileSubqueriesAreRefusedNamingTheirCause) {
    TempDir dir;
    DatabasePtr db = MakeShop(dir);
    struct Case {
        const char* condition;
        long error;
        const char* named; // text the description must hold ("" for none)
    };
    const Case cases[] = {
        {"ID In (Select CUST From Nosuch)", 3078, "Nosuch"},
        {"Exists (Select * From [No Table] Where 1 = 1)", 3078, "No Table"},
        {"ID In (Select CUST From sqlite_master)", 3078, "sqlite_master"},
        {"ID In (Select CUST From MSysTables)", 3078, "MSysTables"},
        {"ID In (Select Nosuch From O)", 3061, "Nosuch"},
        {"Exists (Select * From O Where x.CUST = 1)", 3061, "x.CUST"},
        {"ID In (Select O.CUST From O As x)", 3061, "O.CUST"},
        {"O.CUST = 1", 3061, "O.CUST"},
        {"Exists (Select * From O Where O.ID = 1)", 3061, "O.ID"},
        {"ID In (Select CUST, OID From O)", 3075, ""},
        {"ID In (Select * From O)", 3075, ""},
        {"ID In (Select CUST From O; DROP TABLE O)", 3075, ""},
        {"ID In (Select CUST From O); DROP TABLE O", 3075, ""},
        {"ID In (Select CUST From O Union Select ID From C)", 3075, ""},
        {"ID In (Select CUST From O Order By CUST)", 3075, ""},
        {"Exists (Select * From O, C)", 3075, ""},
        {"Exists (Select * From [main].[O])", 3075, ""},
        {"Exists Select * From O", 3075, ""},
        {"Exists (Select From O)", 3075, ""},
        {"Exists (Select * From O As)", 3075, ""},
        {"Exists (Select * From O Where)", 3075, ""},
        {"ID In (Select CUST From O", 3075, ""},
        {"ID = (Select CUST From O)", 3075, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.condition);
        for (int path = 0; path < 3; ++path) {
            std::string description;
            long error = 0;
            try {
                if (path == 0) ByRecordset(*db, c.condition);
                if (path == 1) ByFind(*db, c.condition);
                if (path == 2)
                    db->TranslateSelect(std::string("SELECT * FROM C WHERE ") + c.condition, "s");
            } catch (const Error& e) {
                error = e.Number();
                description = e.Description();
            }
            EXPECT_EQ(error, c.error) << "path " << path;
            EXPECT_NE(description.find(c.named), std::string::npos) << description;
        }
    }
    // Nothing was run: every table is there with its records.
    EXPECT_EQ(ByRecordset(*db, "ID In (Select CUST From O)"), (std::vector<int>{1, 2, 4}));
}

// Every depth of subqueries the translation accepts also runs, however each level is written;
// deeper ones are refused with 3075 before SQLite sees them.
TEST(Subqueries, NestingIsBoundedAndEveryAcceptedDepthRuns) {
    TempDir dir;
    DatabasePtr db = MakeShop(dir);
    struct Shape {
        const char* innermost;
        const char* open; // one level around the condition inside it
        const char* close;
        const char* outer;
    };
    const Shape shapes[] = {
        {"AMOUNT > 1", "CUST In (Select CUST From O Where ", ")",
         "ID In (Select CUST From O Where "},
        {"(Not (AMOUNT < 1) Or ITEM = 'x')", "Exists (Select * From O Where ((CUST = C.ID) And (",
         ")))", "Exists (Select * From O Where ((CUST = C.ID) And ("},
    };
    for (const auto& shape : shapes) {
        int accepted = 0;
        for (int depth = 1; depth <= 12; ++depth) {
            std::string inner = shape.innermost;
            for (int i = 1; i < depth; ++i) inner = shape.open + inner + shape.close;
            const std::string condition = shape.outer + inner + shape.close;
            SCOPED_TRACE(condition);
            std::vector<int> ids;
            long error = ErrorOf([&] { ids = ByRecordset(*db, condition); });
            if (error) {
                EXPECT_EQ(error, 3075);
                continue;
            }
            ++accepted;
            EXPECT_EQ(ids, (std::vector<int>{1, 2}));
        }
        EXPECT_GE(accepted, 3) << shape.outer;
        EXPECT_LT(accepted, 12) << shape.outer;
    }
}

TEST(Subqueries, ADeleteReadsOtherTablesAndItsOwnTableAsBefore) {
    TempDir dir;
    DatabasePtr db = MakeShop(dir);
    auto oids = [&] {
        std::vector<int> ids;
        auto rs = db->OpenRecordset("O", RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) ids.push_back(CLng(rs->Value("OID")));
        return Sorted(ids);
    };
    db->Execute("DELETE * FROM O WHERE CUST In (Select ID From C Where VIP = False)");
    EXPECT_EQ(db->RecordsAffected(), 2);
    EXPECT_EQ(oids(), (std::vector<int>{10, 11, 14}));
    // Each customer's later orders: the condition sees the table as it was before the delete.
    db->Execute("DELETE FROM O WHERE Exists (Select * From O As p Where p.CUST = O.CUST And p.OID "
                "< O.OID)");
    EXPECT_EQ(oids(), (std::vector<int>{10, 14}));
}

} // namespace
