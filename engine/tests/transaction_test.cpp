// Workspace transactions span every open file; rollback undoes data and schema changes; the
// transaction guard keeps the changes of its scope only when committed.
#include <functional>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>

#include "engine/testing/test_support.h"
#include "engine/transaction_guard.h"

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

long Count(const DatabasePtr& db, const std::string& table = "T") {
    return db->TableDefs().Item(table)->RecordCount();
}

// A way of leaving a transaction guard's scope.
struct Exit {
    const char* name;
    // Runs inside the guard's scope after one record was added; may throw.
    std::function<void(TransactionGuard&, Workspace&)> leave;
    long kept; // records left once the scope is left
};

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
        EXPECT_EQ(ErrorOf([&] {
                      rs->MoveFirst();
                      rs->Edit();
                      rs->SetValue("ID", Variant::Long(9));
                  }),
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

TEST(Transactions, ADatabaseClosedInsideATransactionStaysPartOfIt) {
    TempDir dir;
    DatabasePtr a = MakeDb(dir.File("a.mdb"));
    MakeDb(dir.File("b.mdb"))->Close();
    for (bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        Ws().BeginTrans();
        DatabasePtr b = Ws().OpenDatabase(dir.File("b.mdb"));
        Add(a, 1);
        Add(b, 2);
        b->Close();
        b.reset();
        EXPECT_TRUE(Ws().IsFileOpen(dir.File("b.mdb")));
        if (commit)
            Ws().CommitTrans();
        else
            Ws().Rollback();
        EXPECT_FALSE(Ws().IsFileOpen(dir.File("b.mdb")));
        EXPECT_EQ(Count(Ws().OpenDatabase(dir.File("b.mdb"))), 1);
        EXPECT_EQ(Count(a), 1);
    }
}

TEST(Transactions, ADatabaseCreatedInsideATransactionKeepsItsCatalogAfterRollback) {
    TempDir dir;
    DatabasePtr a = MakeDb(dir.File("a.mdb"));
    Ws().BeginTrans();
    Add(a, 1);
    DatabasePtr fresh = MakeDb(dir.File("fresh.mdb"));
    Add(fresh, 2);
    Ws().Rollback();
    EXPECT_EQ(Count(a), 0);
    // Creating the file is not undone; the table made inside the transaction is.
    EXPECT_EQ(fresh->Connect(), kLangJapanese);
    EXPECT_FALSE(fresh->TableDefs().Contains("T"));
    fresh.reset();
    EXPECT_EQ(Ws().OpenDatabase(dir.File("fresh.mdb"))->TableDefs().Count(), 0u);
}

TEST(Transactions, OneFileReachedByTwoPathsIsOpenedOnce) {
    TempDir dir;
    DatabasePtr a = MakeDb(dir.File("a.mdb"));
    ASSERT_EQ(::link(dir.File("a.mdb").c_str(), dir.File("link.mdb").c_str()), 0);
    DatabasePtr viaLink = Ws().OpenDatabase(dir.File("link.mdb"));
    Ws().BeginTrans();
    Add(viaLink, 1);
    EXPECT_EQ(Count(a), 1); // the same file, not a second one waiting on the first one's lock
    Ws().CommitTrans();
    a.reset();
    EXPECT_TRUE(Ws().IsFileOpen(dir.File("a.mdb")));
    viaLink.reset();
    EXPECT_FALSE(Ws().IsFileOpen(dir.File("a.mdb")));
    EXPECT_FALSE(Ws().IsFileOpen(dir.File("link.mdb")));
}

TEST(Transactions, TenNativeFilesAtATimeThenTooManyDatabases) {
    TempDir dir;
    MakeDb(dir.File("spare.mdb"))->Close();
    std::vector<DatabasePtr> open;
    for (int i = 0; i < 10; ++i) open.push_back(MakeDb(dir.File("f" + std::to_string(i) + ".mdb")));
    EXPECT_EQ(ErrorOf([&] { MakeDb(dir.File("eleventh.mdb")); }), err::kTooManyDatabases);
    EXPECT_FALSE(
        fs::exists(dir.File("eleventh.mdb"))); // a database that could not open is not left
    EXPECT_EQ(ErrorOf([&] { Ws().OpenDatabase(dir.File("spare.mdb")); }), err::kTooManyDatabases);
    open.back()->Close();
    DatabasePtr spare = Ws().OpenDatabase(dir.File("spare.mdb"));
    // The files open together commit together.
    Ws().BeginTrans();
    for (size_t i = 0; i + 1 < open.size(); ++i) Add(open[i], static_cast<int>(i));
    Add(spare, 99);
    Ws().CommitTrans();
    EXPECT_EQ(Count(spare), 1);
    EXPECT_EQ(Count(open.front()), 1);
}

// A walk running on one file keeps every file read meanwhile in a read transaction of the
// shared connection; closing such a file still lets it go, so other programs can write it.
TEST(Transactions, AClosedFileIsLetGoWhileAWalkRunsOnAnother) {
    TempDir dir;
    DatabasePtr a = MakeDb(dir.File("a.mdb"));
    Ws().BeginTrans();
    for (int i = 0; i < 2000; ++i) Add(a, i);
    Ws().CommitTrans();
    auto walk = a->OpenRecordset("SELECT * FROM T ORDER BY N", RecordsetType::Snapshot);
    walk->MoveNext();
    {
        DatabasePtr b = MakeDb(dir.File("b.mdb"));
        Add(b, 1);
        EXPECT_EQ(Count(b), 1);
    }
    EXPECT_FALSE(Ws().IsFileOpen(dir.File("b.mdb")));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(dir.File("b.mdb").c_str(), &other), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO T VALUES (5); COMMIT", nullptr,
                           nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(other);
    sqlite3_close(other);
    // The walk goes on where it was.
    EXPECT_EQ(CLng(walk->Value("N")), 1);
    long seen = 1;
    for (walk->MoveNext(); !walk->Eof(); walk->MoveNext()) ++seen;
    EXPECT_EQ(seen, 1999);
    EXPECT_EQ(Count(Ws().OpenDatabase(dir.File("b.mdb"))), 2);
}

// ---- The transaction guard: what each way of leaving its scope keeps of the changes made in it.
TEST(TransactionGuard, KeepsTheChangesOnlyWhenCommittedWhicheverWayTheScopeIsLeft) {
    const Exit exits[] = {
        {"commit", [](TransactionGuard& g, Workspace&) { g.Commit(); }, 1},
        {"early return", [](TransactionGuard&, Workspace&) {}, 0},
        {"exception", [](TransactionGuard&, Workspace&) { throw std::runtime_error("fails"); }, 0},
        {"engine error", [](TransactionGuard&, Workspace&) { Throw(err::kEngineFailure); }, 0},
        // A level begun inside and left open by the failure goes too.
        {"exception with an inner level open",
         [](TransactionGuard&, Workspace& ws) {
             ws.BeginTrans();
             throw std::runtime_error("fails");
         },
         0},
        {"explicit rollback", [](TransactionGuard& g, Workspace&) { g.Rollback(); }, 0},
        {"moved to another guard that commits",
         [](TransactionGuard& g, Workspace&) {
             TransactionGuard taken(std::move(g));
             taken.Commit();
         },
         1},
        {"moved to another guard that is left",
         [](TransactionGuard& g, Workspace&) { TransactionGuard taken(std::move(g)); }, 0},
    };
    for (const Exit& exit : exits) {
        SCOPED_TRACE(exit.name);
        TempDir dir;
        DatabasePtr db = MakeDb(dir.File("a.mdb"));
        Workspace& ws = Ws();
        const int before = ws.TransactionLevel();
        try {
            TransactionGuard guard(ws);
            EXPECT_EQ(ws.TransactionLevel(), before + 1);
            Add(db, 1);
            exit.leave(guard, ws);
        } catch (const std::exception&) {
        }
        EXPECT_EQ(ws.TransactionLevel(), before);
        EXPECT_EQ(Count(db), exit.kept);
    }
}

TEST(TransactionGuard, CommitsOnceAndLeavesTheOuterTransactionToItsOwner) {
    TempDir dir;
    DatabasePtr db = MakeDb(dir.File("a.mdb"));
    Workspace& ws = Ws();
    ws.BeginTrans();
    {
        TransactionGuard guard(ws);
        Add(db, 1);
        guard.Commit();
        EXPECT_FALSE(guard.Active());
        EXPECT_EQ(ws.TransactionLevel(), 1);
        // Neither a second Commit nor a Rollback of the ended guard touches the outer level.
        for (auto end : {&TransactionGuard::Commit, &TransactionGuard::Rollback}) {
            try {
                (guard.*end)();
                ADD_FAILURE() << "an ended guard ended a transaction";
            } catch (const Error& e) {
                EXPECT_EQ(e.Number(), err::kNotInTransaction);
            }
            EXPECT_EQ(ws.TransactionLevel(), 1);
        }
    }
    EXPECT_EQ(ws.TransactionLevel(), 1);
    EXPECT_EQ(Count(db), 1);
    // The outer transaction is still the owner's: its rollback takes the committed inner level too.
    ws.Rollback();
    EXPECT_EQ(Count(db), 0);
}
