// The transaction guard: what each way of leaving its scope keeps of the changes made in it.
#include <functional>
#include <stdexcept>

#include "engine/transaction_guard.h"
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

long Count(const DatabasePtr& db) { return db->TableDefs().Item("T")->RecordCount(); }

struct Exit {
    const char* name;
    // Runs inside the guard's scope after one record was added; may throw.
    std::function<void(TransactionGuard&, Workspace&)> leave;
    long kept; // records left once the scope is left
};

} // namespace

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
