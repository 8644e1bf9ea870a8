// Recordsets move, find, seek, add and delete as DAO's do where the programs rely on it.
#include "engine/testing/test_support.h"

using namespace engine;
using namespace enginetest;

namespace {

// Table "T" (N Long primary key, Name Text 20, Grp Long) with rows N = 1..count,
// Name "name<N>", Grp = N % 3.
DatabasePtr MakeNumbers(const TempDir& dir, int count, const std::string& file = "n.mdb") {
    DatabasePtr db = Ws().CreateDatabase(dir.File(file), kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "N", dao::dbLong);
    AddField(td, "Name", dao::dbText, 20)->SetAllowZeroLength(true);
    AddField(td, "Grp", dao::dbLong);
    AddIndex(td, "PrimaryKey", {"N"}, true);
    AddIndex(td, "ByGrp", {"Grp", "-N"});
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("T", RecordsetType::Dynaset);
    for (int i = 1; i <= count; ++i) {
        rs->AddNew();
        rs->SetValue("N", Variant::Long(i));
        rs->SetValue("Name", Variant("name" + std::to_string(i)));
        rs->SetValue("Grp", Variant::Long(i % 3));
        rs->Update();
    }
    return db;
}

std::vector<int> Walk(Recordset& rs, const char* field = "N") {
    std::vector<int> out;
    if (rs.RecordCount() == 0) return out;
    rs.MoveFirst();
    while (!rs.Eof()) {
        out.push_back(CLng(rs.Value(field)));
        rs.MoveNext();
    }
    return out;
}

} // namespace

TEST(Recordset, EmptyRecordsetIsAtBothEndsAndRefusesMoves) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 0);
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    EXPECT_TRUE(rs->Eof());
    EXPECT_TRUE(rs->Bof());
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), err::kNoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { rs->Value("N"); }), err::kNoCurrentRecord);
    EXPECT_EQ(rs->AbsolutePosition(), -1);
}

TEST(Recordset, MovesReachBothEndsAndOrderFollowsOrderBy) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 5);
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY Grp, N DESC", RecordsetType::Snapshot);
    EXPECT_EQ(Walk(*rs), (std::vector<int>{3, 4, 1, 5, 2}));
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kNoCurrentRecord);
    rs->MoveLast();
    EXPECT_EQ(CLng(rs->Value("n")), 2);
    EXPECT_EQ(rs->AbsolutePosition(), 4);
    rs->MovePrevious();
    EXPECT_EQ(CLng(rs->Value("N")), 5);
    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    EXPECT_FALSE(rs->Eof());
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(CLng(rs->Value("N")), 1);
}

TEST(Recordset, DynasetSeesItsOwnAdditionsAndDeletions) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 3);
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    rs->MoveNext(); // on N = 2
    rs->AddNew();
    rs->SetValue("N", Variant::Long(10));
    rs->Update();
    // The record current before AddNew stays current; the new one is at the end.
    EXPECT_EQ(CLng(rs->Value("N")), 2);
    EXPECT_EQ(rs->RecordCount(), 4);
    rs->MoveLast();
    EXPECT_EQ(CLng(rs->Value("N")), 10);

    rs->MoveFirst();
    rs->Delete();
    EXPECT_EQ(ErrorOf([&] { rs->Value("N"); }), err::kRecordDeleted);
    rs->MoveNext();
    EXPECT_EQ(CLng(rs->Value("N")), 2);
    EXPECT_EQ(Walk(*rs), (std::vector<int>{2, 3, 10}));

    rs->MoveFirst();
    rs->Edit();
    rs->SetValue("Name", Variant("changed"));
    rs->Update();
    EXPECT_EQ(CStr(rs->Value("Name")), "changed");
    rs->Edit();
    rs->SetValue("Name", Variant("dropped"));
    rs->CancelUpdate();
    EXPECT_EQ(CStr(rs->Value("Name")), "changed");
}

// The usual walk that deletes as it goes: Delete, then MoveNext, also after the last record.
TEST(Recordset, DeletingEveryRecordOfAWalkEndsAtEof) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 5);
    auto rs = db->OpenRecordset("T", RecordsetType::Dynaset);
    int deleted = 0;
    while (!rs->Eof()) {
        rs->Delete();
        ++deleted;
        rs->MoveNext();
    }
    EXPECT_EQ(deleted, 5);
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kNoCurrentRecord);
    EXPECT_EQ(db->OpenRecordset("T", RecordsetType::Snapshot)->RecordCount(), 0);

    db = MakeNumbers(dir, 3, "last.mdb");
    rs = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    rs->MoveLast();
    rs->Delete();
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    rs->MovePrevious();
    EXPECT_EQ(CLng(rs->Value("N")), 2);
}

TEST(Recordset, AddNewOnEmptyOrAtEofStaysAtEof) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 0);
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    rs->AddNew();
    rs->SetValue("N", Variant::Long(1));
    rs->Update();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->RecordCount(), 1);
    rs->MoveFirst();
    EXPECT_EQ(CLng(rs->Value("N")), 1);
}

TEST(Recordset, FindSetsNoMatchAndKeepsPositionWhenNothingMatches) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 9);
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    rs->FindFirst("Grp = 1");
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(CLng(rs->Value("N")), 1);
    rs->FindNext("Grp = 1");
    EXPECT_EQ(CLng(rs->Value("N")), 4);
    rs->FindNext("Grp = 1");
    EXPECT_EQ(CLng(rs->Value("N")), 7);
    rs->FindNext("Grp = 1");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(CLng(rs->Value("N")), 7);
    rs->FindFirst("Name = 'NAME5'"); // text comparison ignores case
    EXPECT_EQ(CLng(rs->Value("N")), 5);
    rs->FindFirst("Name = 'nothing'");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(CLng(rs->Value("N")), 5);
    rs->FindLast("Grp = 0");
    EXPECT_EQ(CLng(rs->Value("N")), 9);
    rs->FindPrevious("Grp = 0");
    EXPECT_EQ(CLng(rs->Value("N")), 6);
    EXPECT_EQ(ErrorOf([&] { rs->FindFirst("Nope = 1"); }), err::kUnknownField);
}

TEST(Recordset, BookmarkReturnsToItsRecordAndRequeryRerunsTheSource) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 5);
    auto rs = db->OpenRecordset("SELECT * FROM T WHERE Grp <> 0 ORDER BY N");
    EXPECT_EQ(Walk(*rs), (std::vector<int>{1, 2, 4, 5}));
    rs->MoveFirst();
    rs->MoveNext();
    Bookmark b = rs->GetBookmark();
    rs->MoveLast();
    rs->SetBookmark(b);
    EXPECT_EQ(CLng(rs->Value("N")), 2);

    auto other = db->OpenRecordset("T");
    other->AddNew();
    other->SetValue("N", Variant::Long(7));
    other->SetValue("Grp", Variant::Long(1));
    other->Update();
    EXPECT_EQ(rs->RecordCount(), 4);
    rs->Requery();
    EXPECT_EQ(Walk(*rs), (std::vector<int>{1, 2, 4, 5, 7}));
}

TEST(Recordset, SnapshotKeepsTheTableAsOpenedWhenItChangesElsewhere) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 4);
    auto snap = db->OpenRecordset("SELECT * FROM T ORDER BY N", RecordsetType::Snapshot);
    EXPECT_FALSE(snap->Updatable());
    EXPECT_EQ(ErrorOf([&] { snap->Edit(); }), err::kReadOnly);
    auto dyn = db->OpenRecordset("SELECT * FROM T ORDER BY N");
    dyn->Edit();
    dyn->SetValue("Name", Variant("new1"));
    dyn->Update();
    dyn->MoveNext();
    dyn->Delete();
    dyn->AddNew();
    dyn->SetValue("N", Variant::Long(99));
    dyn->Update();
    db->Execute("DELETE * FROM T WHERE N = 3");

    EXPECT_EQ(Walk(*snap), (std::vector<int>{1, 2, 3, 4}));
    snap->MoveFirst();
    EXPECT_EQ(CStr(snap->Value("Name")), "name1");
    snap->Requery();
    EXPECT_EQ(Walk(*snap), (std::vector<int>{1, 4, 99}));
}

TEST(Recordset, TableRecordsetFollowsIndexAndSeeksKeys) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 7);
    auto rs = db->OpenRecordset("T", RecordsetType::Table);
    rs->SetIndex("ByGrp");
    EXPECT_EQ(rs->Index(), "ByGrp");
    EXPECT_EQ(Walk(*rs), (std::vector<int>{6, 3, 7, 4, 1, 5, 2}));
    rs->Seek("=", {Variant::Long(1)});
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(CLng(rs->Value("N")), 7);
    rs->MoveNext();
    EXPECT_EQ(CLng(rs->Value("N")), 4);
    rs->Seek("=", {Variant::Long(2), Variant::Long(5)});
    EXPECT_EQ(CLng(rs->Value("N")), 5);
    rs->Seek("=", {Variant::Long(2), Variant::Long(6)});
    EXPECT_TRUE(rs->NoMatch());

    rs->SetIndex("PrimaryKey");
    rs->Seek("=", {Variant("3")}); // the key converts to the field's type
    EXPECT_EQ(CStr(rs->Value("Name")), "name3");
    rs->Edit();
    rs->SetValue("Name", Variant("three"));
    rs->Update();
    rs->Seek("=", {Variant::Long(3)});
    EXPECT_EQ(CStr(rs->Value("Name")), "three");
    EXPECT_EQ(ErrorOf([&] { rs->SetIndex("Missing"); }), err::kIndexNotFound);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("SELECT * FROM T", RecordsetType::Table); }),
              err::kInvalidOperation);
}

TEST(Recordset, TextKeysSeekIgnoringCase) {
    TempDir dir;
    DatabasePtr db = Ws().CreateDatabase(dir.File("k.mdb"), kLangJapanese);
    auto td = db->CreateTableDef("K");
    AddField(td, "Code", dao::dbText, 10);
    AddField(td, "Part", dao::dbInteger);
    AddIndex(td, "PrimaryKey", {"Code", "Part"}, true);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("K", RecordsetType::Table);
    rs->AddNew();
    rs->SetValue("Code", Variant("Abc"));
    rs->SetValue("Part", Variant::Integer(2));
    rs->Update();
    rs->SetIndex("PrimaryKey");
    rs->Seek("=", {Variant("ABC"), Variant::Long(2)});
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(CStr(rs->Value("Code")), "Abc");
}

TEST(Recordset, ClosedRecordsetRefusesUse) {
    TempDir dir;
    DatabasePtr db = MakeNumbers(dir, 2);
    auto rs = db->OpenRecordset("T");
    rs->Close();
    EXPECT_FALSE(rs->IsOpen());
    EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), err::kObjectClosed);
}
