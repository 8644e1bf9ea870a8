// Workspace transactions span every open file; rollback undoes data and schema changes.
#include "test_support.h"

using namespace engine;
using namespace enginetest;

namespace {

DatabasePtr MakeDb(const std::string& path) {
    DatabasePtr db = Ws().CreateDatabase(path, kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "N", dao::dbLong);
    db->TableDefs().Append(td);
    return db;
}

void Add(const DatabasePtr& db, int n) {
    auto rs = db->OpenRecordset("T");
    rs->AddNew();
    rs->SetValue("N", Variant::Long(n));
    rs->Update();
}

long Count(const DatabasePtr& db, const std::string& table = "T") { return db->TableDefs().Item(table)->RecordCount(); }

} // namespace

TEST(Transactions, RollbackUndoesChangesInEveryFileOfTheWorkspace) {
    TempDir dir;
    DatabasePtr a = MakeDb(dir.File("a.mdb"));
    DatabasePtr b = MakeDb(dir.File("b.mdb"));
    Add(a, 1);
    Ws().BeginTrans();
    Add(a, 2);
    Add(b, 3);
    a->Execute("DELETE * FROM T WHERE N = 1");
    auto td = b->CreateTableDef("New");
    AddField(td, "x", dao::dbText, 5);
    b->TableDefs().Append(td);
    a->TableDefs().Item("T")->SetName("Renamed");
    Ws().Rollback();

    EXPECT_EQ(Count(a), 1);
    EXPECT_EQ(Count(b), 0);
    EXPECT_FALSE(b->TableDefs().Contains("New"));
    EXPECT_TRUE(a->TableDefs().Contains("T"));
    EXPECT_FALSE(a->TableDefs().Contains("Renamed"));
}

TEST(Transactions, CommitKeepsChangesOfBothFilesAfterReopen) {
    TempDir dir;
    {
        DatabasePtr a = MakeDb(dir.File("a.mdb"));
        DatabasePtr b = MakeDb(dir.File("b.mdb"));
        Ws().BeginTrans();
        Add(a, 1);
        Add(b, 2);
        Ws().CommitTrans();
    }
    EXPECT_EQ(Count(Ws().OpenDatabase(dir.File("a.mdb"))), 1);
    EXPECT_EQ(Count(Ws().OpenDatabase(dir.File("b.mdb"))), 1);
    EXPECT_EQ(Ws().TransactionLevel(), 0);
}

TEST(Transactions, FileOpenedDuringTransactionJoinsIt) {
    TempDir dir;
    MakeDb(dir.File("late.mdb"))->Close();
    Ws().BeginTrans();
    DatabasePtr late = Ws().OpenDatabase(dir.File("late.mdb"));
    Add(late, 5);
    Ws().Rollback();
    EXPECT_EQ(Count(late), 0);
}

TEST(Transactions, NestedLevelsRollBackOnlyTheirOwnChanges) {
    TempDir dir;
    DatabasePtr a = MakeDb(dir.File("a.mdb"));
    Ws().BeginTrans();
    Add(a, 1);
    Ws().BeginTrans();
    Add(a, 2);
    Ws().Rollback();
    Ws().CommitTrans();
    EXPECT_EQ(Count(a), 1);
    EXPECT_EQ(ErrorOf([] { Ws().CommitTrans(); }), err::kNotInTransaction);
    EXPECT_EQ(ErrorOf([] { Ws().Rollback(); }), err::kNotInTransaction);
}

TEST(Transactions, TwoDatabaseObjectsOnOneFileNeverBlockEachOther) {
    TempDir dir;
    DatabasePtr first = MakeDb(dir.File("same.mdb"));
    DatabasePtr second = Ws().OpenDatabase(dir.File("same.mdb"));
    Add(first, 1);
    Ws().BeginTrans();
    Add(first, 2);
    Add(second, 3);
    auto rs = second->OpenRecordset("SELECT * FROM T ORDER BY N", RecordsetType::Snapshot);
    EXPECT_EQ(rs->RecordCount(), 3);
    first->Execute("DELETE * FROM T");
    EXPECT_EQ(rs->RecordCount(), 3);
    Ws().CommitTrans();
    EXPECT_EQ(Count(second), 0);
    second->Close();
    EXPECT_EQ(Count(first), 0);
}

TEST(Transactions, AutoNumbersAreNeverReusedInATable) {
    TempDir dir;
    std::string path = dir.File("auto.mdb");
    {
        DatabasePtr db = Ws().CreateDatabase(path, kLangJapanese);
        auto td = db->CreateTableDef("A");
        AddField(td, "ID", dao::dbLong)->SetAttributes(dao::dbAutoIncrField);
        AddField(td, "V", dao::dbText, 5);
        db->TableDefs().Append(td);
        auto rs = db->OpenRecordset("A");
        for (int i = 0; i < 3; ++i) {
            rs->AddNew();
            EXPECT_EQ(CLng(rs->Value("ID")), i + 1); // numbered at AddNew
            rs->SetValue("V", Variant("x"));
            rs->Update();
        }
        rs->MoveLast();
        rs->Delete();
        EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); rs->Edit(); rs->SetValue("ID", Variant::Long(9)); }),
                  err::kFieldNotUpdatable);
        rs->CancelUpdate();
    }
    DatabasePtr db = Ws().OpenDatabase(path);
    auto rs = db->OpenRecordset("A");
    rs->AddNew();
    rs->SetValue("V", Variant("y"));
    rs->Update();
    rs->MoveLast();
    EXPECT_EQ(CLng(rs->Value("ID")), 4);
}
