// Rules of records and names as Jet keeps them: a record that is gone gives 3167, auto numbers
// never go back, names the engine reserves are refused, one case rule for every comparison,
// and index Required and IgnoreNulls.
#include <sqlite3.h>

#include "engine/testing/test_support.h"

using namespace engine;
using namespace enginetest;

namespace {

DatabasePtr MakeTable(const TempDir& dir, const std::function<void(const TableDefPtr&)>& build) {
    DatabasePtr db = Ws().CreateDatabase(dir.File("r.mdb"), kLangJapanese);
    auto td = db->CreateTableDef("T");
    build(td);
    db->TableDefs().Append(td);
    return db;
}

void AddRecord(const DatabasePtr& db,
               std::initializer_list<std::pair<const char*, Variant>> values) {
    auto rs = db->OpenRecordset("T");
    rs->AddNew();
    for (const auto& [name, value] : values) rs->SetValue(name, value);
    rs->Update();
}

std::vector<std::string> Column(const RecordsetPtr& rs, const char* field) {
    std::vector<std::string> values;
    if (rs->Eof() && rs->Bof()) return values;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        values.push_back(rs->Value(field).IsNull() ? "Null" : CStr(rs->Value(field)));
    return values;
}

} // namespace

TEST(RecordRules, ChangingARecordAnotherRecordsetDeletedGives3167) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, [](const TableDefPtr& td) {
        AddField(td, "N", dao::dbLong);
        AddField(td, "S", dao::dbText, 10);
    });
    for (int n : {1, 2, 3}) AddRecord(db, {{"N", Variant::Long(n)}, {"S", Variant("s")}});
    auto first = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    auto second = db->OpenRecordset("SELECT * FROM T ORDER BY N");

    // Update after Edit.
    first->Edit();
    first->SetValue("S", Variant("changed"));
    second->Delete();
    EXPECT_EQ(ErrorOf([&] { first->Update(); }), err::kRecordDeleted);
    first->CancelUpdate();
    // Edit and Delete of the record the other one deleted.
    EXPECT_EQ(ErrorOf([&] { first->Edit(); }), err::kRecordDeleted);
    EXPECT_EQ(ErrorOf([&] { first->Delete(); }), err::kRecordDeleted);
    // Delete of a record deleted through the database meanwhile.
    first->MoveNext();
    EXPECT_EQ(CLng(first->Value("N")), 2);
    db->Execute("DELETE * FROM T WHERE N = 2");
    EXPECT_EQ(ErrorOf([&] { first->Delete(); }), err::kRecordDeleted);
    // Nothing else changed on the way.
    auto check = db->OpenRecordset("SELECT * FROM T ORDER BY N", RecordsetType::Snapshot);
    EXPECT_EQ(Column(check, "N"), (std::vector<std::string>{"3"}));
    EXPECT_EQ(Column(check, "S"), (std::vector<std::string>{"s"}));
}

TEST(RecordRules, AutoNumbersNeverGoBackAcrossCatalogReloadsAndRollbacks) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, [](const TableDefPtr& td) {
        AddField(td, "ID", dao::dbLong)->SetAttributes(dao::dbAutoIncrField);
        AddField(td, "S", dao::dbText, 10);
    });
    auto first = db->OpenRecordset("T");
    auto second = db->OpenRecordset("T");
    first->AddNew();
    EXPECT_EQ(CLng(first->Value("ID")), 1);
    // A property write reloads the catalog from the file, which has not seen number 1 yet.
    auto td = db->TableDefs().Item("T");
    td->Properties().Append(td->CreateProperty("Description", dao::dbText, Variant("x")));
    second->AddNew();
    EXPECT_EQ(CLng(second->Value("ID")), 2);
    // So does a schema change.
    AddIndex(db->TableDefs().Item("T"), "S", {"S"});
    auto third = db->OpenRecordset("T");
    third->AddNew();
    EXPECT_EQ(CLng(third->Value("ID")), 3);
    for (const auto& rs : {second, first, third}) {
        rs->SetValue("S", Variant("v"));
        rs->Update();
    }
    // Numbers taken inside a transaction that rolls back are not handed out again.
    Ws().BeginTrans();
    AddRecord(db, {{"S", Variant("gone")}});
    Ws().Rollback();
    AddRecord(db, {{"S", Variant("kept")}});
    auto all = db->OpenRecordset("SELECT * FROM T ORDER BY ID", RecordsetType::Snapshot);
    EXPECT_EQ(Column(all, "ID"), (std::vector<std::string>{"1", "2", "3", "5"}));
}

TEST(RecordRules, ReservedNamesAndJetsForbiddenCharactersAreInvalidNames) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, [](const TableDefPtr& td) { AddField(td, "N", dao::dbLong); });
    auto append = [&](const std::string& table, const std::string& field,
                      const std::string& index) {
        return ErrorOf([&] {
            auto td = db->CreateTableDef(table);
            AddField(td, field, dao::dbLong);
            if (!index.empty()) AddIndex(td, index, {field});
            db->TableDefs().Append(td);
        });
    };
    for (const char* reserved : {"MSysTables", "msyscolumns", "MSysIdx1", "MSYSIDX99",
                                 "MSysRename_0", "sqlite_x", "SQLITE_master"}) {
        SCOPED_TRACE(reserved);
        EXPECT_EQ(append(reserved, "F", ""), err::kInvalidName);
        EXPECT_EQ(ErrorOf([&] { db->TableDefs().Item("T")->SetName(reserved); }),
                  err::kInvalidName);
    }
    for (const char* bad : {"a.b", "a!b", "a`b", "a[b", "a]b", " lead", "tab\there"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(append(bad, "F", ""), err::kInvalidName);
        EXPECT_EQ(append("U", bad, ""), err::kInvalidName);
        EXPECT_EQ(append("U", "F", bad), err::kInvalidName);
    }
    EXPECT_EQ(db->TableDefs().Names(), (std::vector<std::string>{"T"}));
    // Names close to the reserved ones are the user's, and indexes keep working beside them.
    for (const char* fine :
         {"MSysIdx", "MSysIdxA", "MSysTablesX", "MSysRename_x", "sqlite", "it's (T) #1"})
        EXPECT_EQ(append(fine, "F", "IX"), 0) << fine;
    AddIndex(db->TableDefs().Item("T"), "N", {"N"});
    EXPECT_TRUE(db->TableDefs().Item("T")->Indexes().Contains("N"));
}

// Another program may have put a table where the engine names its next SQLite index.
TEST(RecordRules, IndexesAreBuiltPastATableOfTheEnginesIndexName) {
    TempDir dir;
    const std::string path = dir.File("r.mdb");
    MakeTable(dir, [](const TableDefPtr& td) { AddField(td, "N", dao::dbLong); })->Close();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw, "CREATE TABLE \"MSysIdx1\"(x); CREATE TABLE \"msysidx2\"(x)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    DatabasePtr db = Ws().OpenDatabase(path);
    AddIndex(db->TableDefs().Item("T"), "ByN", {"N"}, false, true);
    AddRecord(db, {{"N", Variant::Long(1)}});
    EXPECT_EQ(ErrorOf([&] { AddRecord(db, {{"N", Variant::Long(1)}}); }), err::kDuplicateKey);
}

// Text compares ignoring the case of ASCII letters only, the same in unique keys, "=", Like,
// Seek and Find, and in names.
TEST(RecordRules, OneCaseRuleForKeysEqualsLikeSeekFindAndNames) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, [](const TableDefPtr& td) {
        AddField(td, "K", dao::dbText, 10);
        AddIndex(td, "PrimaryKey", {"K"}, true);
    });
    AddRecord(db, {{"K", Variant("abc")}});
    AddRecord(db, {{"K", Variant("ＡＢＣ")}});
    // Keys: "ABC" is the key "abc" again; "ａｂｃ" is not "ＡＢＣ".
    EXPECT_EQ(ErrorOf([&] { AddRecord(db, {{"K", Variant("ABC")}}); }), err::kDuplicateKey);
    EXPECT_EQ(ErrorOf([&] { AddRecord(db, {{"K", Variant("ａｂｃ")}}); }), 0);

    struct Case {
        const char* criterion;
        std::vector<std::string> found;
    } finds[] = {
        {"K = 'ABC'", {"abc"}},       {"K = 'ａｂｃ'", {"ａｂｃ"}},  {"K Like 'AB*'", {"abc"}},
        {"K Like 'ａ*'", {"ａｂｃ"}}, {"K Like '[A-C]bc'", {"abc"}}, {"K In ('ABC', 'x')", {"abc"}},
    };
    for (const auto& c : finds) {
        SCOPED_TRACE(c.criterion);
        auto rs = db->OpenRecordset("SELECT * FROM T WHERE " + std::string(c.criterion),
                                    RecordsetType::Snapshot);
        EXPECT_EQ(Column(rs, "K"), c.found);
        auto all = db->OpenRecordset("T", RecordsetType::Dynaset);
        all->FindFirst(c.criterion);
        ASSERT_FALSE(all->NoMatch());
        EXPECT_EQ(CStr(all->Value("K")), c.found.front());
        all->FindNext(c.criterion);
        EXPECT_TRUE(all->NoMatch());
    }
    auto table = db->OpenRecordset("T", RecordsetType::Table);
    table->SetIndex("PrimaryKey");
    for (const auto& [key, found] : std::vector<std::pair<std::string, std::string>>{
             {"ABC", "abc"}, {"ａｂｃ", "ａｂｃ"}, {"ＡＢＣ", "ＡＢＣ"}, {"Ａｂｃ", ""}}) {
        SCOPED_TRACE(key);
        table->Seek("=", {Variant(key)});
        EXPECT_EQ(table->NoMatch(), found.empty());
        if (!found.empty()) {
            EXPECT_EQ(CStr(table->Value("K")), found);
        }
    }
    // Names: "t" is the table T and "k" its field K; full-width letters are other names.
    EXPECT_TRUE(db->TableDefs().Contains("t"));
    EXPECT_FALSE(db->TableDefs().Contains("Ｔ"));
    EXPECT_EQ(table->FieldIndex("k"), 0u);
    EXPECT_EQ(ErrorOf([&] { table->FieldIndex("Ｋ"); }), err::kItemNotFound);
}

TEST(RecordRules, IndexRequiredRefusesNullsAndIgnoreNullsLeavesThemOutOfTheIndex) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, [](const TableDefPtr& td) {
        AddField(td, "ID", dao::dbLong);
        AddField(td, "A", dao::dbText, 5);
        AddField(td, "B", dao::dbText, 5);
        auto required = td->CreateIndex("NeedsA");
        required->SetRequired(true);
        required->Fields().Append(required->CreateField("A"));
        td->Indexes().Append(required);
        auto sparse = td->CreateIndex("SkipsNullB");
        sparse->SetIgnoreNulls(true);
        sparse->Fields().Append(sparse->CreateField("B"));
        td->Indexes().Append(sparse);
    });
    EXPECT_EQ(ErrorOf([&] {
                  AddRecord(db, {{"ID", Variant::Long(1)}, {"B", Variant("b")}});
              }),
              err::kNullInIndex);
    AddRecord(db, {{"ID", Variant::Long(2)}, {"A", Variant("a")}, {"B", Variant("y")}});
    AddRecord(db, {{"ID", Variant::Long(3)}, {"A", Variant("a")}});
    AddRecord(db, {{"ID", Variant::Long(4)}, {"A", Variant("a")}, {"B", Variant("x")}});
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY ID");
    rs->MoveLast();
    rs->Edit();
    rs->SetValue("A", Variant::Null());
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kNullInIndex);
    rs->CancelUpdate();

    // Walking an index that ignores Nulls shows only the records that have a key in it, also
    // a record added through the walk; without an index every record shows.
    auto table = db->OpenRecordset("T", RecordsetType::Table);
    table->SetIndex("SkipsNullB");
    EXPECT_EQ(Column(table, "ID"), (std::vector<std::string>{"4", "2"}));
    table->AddNew();
    table->SetValue("ID", Variant::Long(5));
    table->SetValue("A", Variant("a"));
    table->Update();
    EXPECT_EQ(Column(table, "ID"), (std::vector<std::string>{"4", "2"}));
    table->Seek("=", {Variant("y")});
    EXPECT_FALSE(table->NoMatch());
    table->SetIndex("NeedsA");
    EXPECT_EQ(Column(table, "ID"), (std::vector<std::string>{"2", "3", "4", "5"}));
    table->SetIndex("");
    EXPECT_EQ(table->RecordCount(), 4);
}

// SQLite's rowid is hidden by a column of its name: the engine reads it by another.
TEST(RecordRules, AFieldNamedRowidKeepsRecordsApart) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, [](const TableDefPtr& td) {
        AddField(td, "rowid", dao::dbLong);
        AddField(td, "S", dao::dbText, 5);
    });
    for (int n : {7, 7, 7}) AddRecord(db, {{"rowid", Variant::Long(n)}, {"S", Variant("s")}});
    auto rs = db->OpenRecordset("T");
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->MoveFirst();
    rs->MoveNext();
    rs->Edit();
    rs->SetValue("S", Variant("mid"));
    rs->Update();
    rs->MoveLast();
    rs->Delete();
    auto check = db->OpenRecordset("T", RecordsetType::Snapshot);
    EXPECT_EQ(Column(check, "S"), (std::vector<std::string>{"s", "mid"}));
    check->FindFirst("rowid = 7 And S = 'mid'");
    EXPECT_FALSE(check->NoMatch());
}
