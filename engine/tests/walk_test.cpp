// Recordsets read their records lazily while they walk; changes met half-way must not lose,
// repeat or invent records.
#include "engine/testing/test_support.h"

#include "engine/testing/fault_hook.h"

using namespace engine;
using namespace enginetest;

namespace {

DatabasePtr MakeTable(const TempDir& dir, int count) {
    DatabasePtr db = Ws().CreateDatabase(dir.File("w.mdb"), kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "N", dao::dbLong);
    AddField(td, "S", dao::dbText, 10);
    AddIndex(td, "PrimaryKey", {"N"}, true);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("T");
    for (int i = 1; i <= count; ++i) {
        rs->AddNew();
        rs->SetValue("N", Variant::Long(i));
        rs->SetValue("S", Variant("s" + std::to_string(i)));
        rs->Update();
    }
    return db;
}

std::vector<int> Rest(Recordset& rs) {
    std::vector<int> out;
    while (!rs.Eof()) {
        out.push_back(CLng(rs.Value("N")));
        rs.MoveNext();
    }
    return out;
}

} // namespace

TEST(Walks, SnapshotHalfWayKeepsItsRecordsWhenTheTableChanges) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, 6);
    auto snap = db->OpenRecordset("SELECT * FROM T ORDER BY N", RecordsetType::Snapshot);
    snap->MoveNext(); // on 2; 3..6 not read yet
    auto dyn = db->OpenRecordset("T");
    dyn->AddNew();
    dyn->SetValue("N", Variant::Long(7));
    dyn->Update();
    db->Execute("DELETE * FROM T WHERE N >= 4");
    EXPECT_EQ(CLng(snap->Value("N")), 2);
    EXPECT_EQ(Rest(*snap), (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(snap->RecordCount(), 6);
}

TEST(Walks, DynasetHalfWayKeepsItsMembershipAndSkipsDeletedRecords) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, 6);
    auto walk = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    walk->MoveNext();
    auto other = db->OpenRecordset("T");
    other->AddNew();
    other->SetValue("N", Variant::Long(0)); // sorts first, added after the walk began
    other->Update();
    db->Execute("DELETE * FROM T WHERE N = 4");
    EXPECT_EQ(Rest(*walk), (std::vector<int>{2, 3, 5, 6}));
}

TEST(Walks, DeletingTheLastReadRecordDoesNotEndTheWalk) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, 3);
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    rs->Delete(); // record 1, the only one read so far
    EXPECT_FALSE(rs->Eof());
    rs->MoveNext();
    EXPECT_EQ(Rest(*rs), (std::vector<int>{2, 3}));
    EXPECT_EQ(rs->RecordCount(), 2);
}

TEST(Walks, SchemaChangeAndTransactionHalfWayLetTheWalkGoOn) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, 5);
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY N", RecordsetType::Snapshot);
    rs->MoveNext();
    Ws().BeginTrans();
    auto td = db->CreateTableDef("Other");
    AddField(td, "x", dao::dbLong);
    db->TableDefs().Append(td);
    Ws().Rollback();
    EXPECT_EQ(Rest(*rs), (std::vector<int>{2, 3, 4, 5}));
    rs->MoveFirst();
    rs->SetAbsolutePosition(3);
    EXPECT_EQ(CLng(rs->Value("N")), 4);
    EXPECT_EQ(ErrorOf([&] { rs->SetAbsolutePosition(5); }), err::kNoCurrentRecord);
}

TEST(Walks, FailedWritesLeaveTheTransactionToRollBackCleanly) {
    TempDir dir;
    DatabasePtr db = MakeTable(dir, 3);
    int writes = 0;
    SetWriteFaultHook(
        [&](std::string_view sql) { return sql.rfind("INSERT", 0) == 0 && ++writes == 2; });
    Ws().BeginTrans();
    auto rs = db->OpenRecordset("T");
    rs->AddNew();
    rs->SetValue("N", Variant::Long(10));
    rs->Update();
    rs->AddNew();
    rs->SetValue("N", Variant::Long(11));
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kDiskIo);
    SetWriteFaultHook(nullptr);
    rs->CancelUpdate();
    Ws().Rollback();
    auto check = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    EXPECT_EQ(Rest(*check), (std::vector<int>{1, 2, 3}));
}
