// The keys of a walk held as runs, and the walks, bookmarks and seeks built on them: the same
// records in the same order as a plain list of keys would give.
#include <algorithm>
#include <random>

#include <sqlite3.h>

#include "engine/testing/test_support.h"
#include "model/key_list.h"

using namespace engine;
using namespace enginetest;
using engine::detail::KeyList;

namespace {

void ExpectSame(const KeyList& keys, const std::vector<int64_t>& model) {
    ASSERT_EQ(keys.size(), model.size());
    for (size_t i = 0; i < model.size(); ++i) ASSERT_EQ(keys[i], model[i]) << "position " << i;
    // Backwards and by jumps too: the run found last must not mislead the next search.
    for (size_t i = model.size(); i-- > 0;) ASSERT_EQ(keys[i], model[i]) << "position " << i;
    for (size_t i = 0; i < model.size(); i += 7)
        ASSERT_EQ(keys[model.size() - 1 - i], model[model.size() - 1 - i]);
}

void AddNumbered(Recordset& rs, int n, int ord, const std::string& name) {
    rs.AddNew();
    rs.SetValue("N", Variant::Long(n));
    rs.SetValue("Ord", Variant::Long(ord));
    rs.SetValue("Name", Variant(name));
    rs.Update();
}

// Table "T": N Long primary key, Ord Long (a scattered order), Name Text 20; count records added
// in N order, so that rowid order is N order and Ord order is not.
DatabasePtr MakeScattered(const TempDir& dir, int count) {
    DatabasePtr db = Ws().CreateDatabase(dir.File("s.mdb"), kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "N", dao::dbLong);
    AddField(td, "Ord", dao::dbLong);
    AddField(td, "Name", dao::dbText, 20);
    AddIndex(td, "PrimaryKey", {"N"}, true);
    AddIndex(td, "ByOrd", {"Ord"});
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("T", RecordsetType::Dynaset);
    Ws().BeginTrans();
    for (int i = 1; i <= count; ++i) {
        AddNumbered(*rs, i, (i * 37) % count, "n" + std::to_string(i));
    }
    Ws().CommitTrans();
    return db;
}

std::vector<int> WalkN(Recordset& rs) {
    std::vector<int> out;
    if (rs.RecordCount() == 0) return out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out.push_back(CLng(rs.Value("N")));
    return out;
}

} // namespace

TEST(KeyList, KeepsOrderThroughAppendsAndErasesAnywhere) {
    KeyList keys;
    std::vector<int64_t> model;
    // Runs, single keys and keys going down, as walks in index order give them.
    for (int64_t k = 10; k < 40; ++k) keys.push_back(k), model.push_back(k);
    for (int64_t k : {5, 100, 101, 102, 7, 99, 8, 41, 42}) keys.push_back(k), model.push_back(k);
    EXPECT_EQ(keys.Runs(), 7u);
    ExpectSame(keys, model);
    EXPECT_EQ(keys.Find(25), 15);
    EXPECT_EQ(keys.Find(102), 33);
    EXPECT_EQ(keys.Find(8), 36);
    EXPECT_EQ(keys.Find(9), -1);

    // The first, a middle and the last key of a run, and a run of one (whose neighbours join).
    for (size_t pos : {size_t{0}, size_t{10}, size_t{27}, size_t{32}, size_t{34}}) {
        keys.erase(pos);
        model.erase(model.begin() + static_cast<long>(pos));
        ExpectSame(keys, model);
    }
    EXPECT_EQ(keys.Runs(), 6u);
    for (size_t i = 0; i < model.size(); ++i) EXPECT_EQ(keys.Find(model[i]), static_cast<long>(i));

    // Random work against a plain list of keys.
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        if (model.empty() || random() % 3) {
            const int64_t k = random() % 2 ? (model.empty() ? 1 : model.back() + 1)
                                           : static_cast<int64_t>(random() % 5000);
            keys.push_back(k);
            model.push_back(k);
        } else {
            const size_t pos = random() % model.size();
            keys.erase(pos);
            model.erase(model.begin() + static_cast<long>(pos));
        }
        if (round % 97 == 0) ExpectSame(keys, model);
    }
    ExpectSame(keys, model);
    keys.clear();
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(keys.Runs(), 0u);
    keys.push_back(3);
    EXPECT_EQ(keys[0], 3);
}

// Walks whose keys fall into many runs (a scattered index) and into few (the primary key, which
// follows the rowids): moves, deletes, bookmarks and seeks agree with the table either way.
TEST(Keyset, WalksBookmarksAndDeletesAgreeInFewOrManyRuns) {
    TempDir dir;
    const int count = 301; // more runs in Ord order than are searched run by run
    DatabasePtr db = MakeScattered(dir, count);
    for (const char* index : {"PrimaryKey", "ByOrd"}) {
        SCOPED_TRACE(index);
        auto rs = db->OpenRecordset("T", RecordsetType::Table);
        rs->SetIndex(index);
        std::vector<int> expected = WalkN(*rs);
        ASSERT_EQ(expected.size(), static_cast<size_t>(count));

        // A bookmark taken late in the walk, a seek near its start, and back to the bookmark.
        auto key = [&](int n) {
            return Variant::Long(index == std::string("ByOrd") ? (n * 37) % count : n);
        };
        rs->SetAbsolutePosition(250);
        const Bookmark late = rs->GetBookmark();
        EXPECT_EQ(CLng(rs->Value("N")), expected[250]);
        rs->Seek("=", {key(expected[3])});
        ASSERT_FALSE(rs->NoMatch());
        EXPECT_EQ(CLng(rs->Value("N")), expected[3]);
        EXPECT_EQ(rs->AbsolutePosition(), 3);
        rs->MoveNext();
        EXPECT_EQ(CLng(rs->Value("N")), expected[4]);
        rs->SetBookmark(late);
        EXPECT_EQ(CLng(rs->Value("N")), expected[250]);
        rs->MovePrevious();
        EXPECT_EQ(CLng(rs->Value("N")), expected[249]);

        // Deleting every fifth record while walking leaves the rest in order.
        Ws().BeginTrans();
        std::vector<int> kept;
        int i = 0;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext(), ++i) {
            if (i % 5 == 1)
                rs->Delete();
            else
                kept.push_back(CLng(rs->Value("N")));
        }
        Ws().CommitTrans();
        EXPECT_EQ(WalkN(*rs), kept);
        rs->MoveLast();
        std::vector<int> backwards;
        for (; !rs->Bof(); rs->MovePrevious()) backwards.push_back(CLng(rs->Value("N")));
        EXPECT_EQ(std::vector<int>(backwards.rbegin(), backwards.rend()), kept);
        // A bookmark of a deleted record is refused; the others still lead to their records.
        EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(late + 100000); }), err::kInvalidBookmark);
        rs->SetAbsolutePosition(100);
        const Bookmark mid = rs->GetBookmark();
        rs->MoveFirst();
        rs->SetBookmark(mid);
        EXPECT_EQ(CLng(rs->Value("N")), kept[100]);
        EXPECT_EQ(rs->AbsolutePosition(), 100);

        // Put the deleted records back for the next index.
        rs->Close();
        auto add = db->OpenRecordset("T", RecordsetType::Dynaset);
        Ws().BeginTrans();
        for (int n : expected) {
            if (std::find(kept.begin(), kept.end(), n) != kept.end()) continue;
            AddNumbered(*add, n, (n * 37) % count, "n" + std::to_string(n));
        }
        Ws().CommitTrans();
    }
}

// Seek keeps its statement from call to call: what the same transaction added, changed or
// deleted is what the next Seek finds, also through another recordset and after a rollback.
TEST(Keyset, SeekFindsWhatTheTransactionChanged) {
    TempDir dir;
    DatabasePtr db = MakeScattered(dir, 50);
    auto rs = db->OpenRecordset("T", RecordsetType::Table);
    rs->SetIndex("PrimaryKey");
    auto other = db->OpenRecordset("T", RecordsetType::Dynaset);
    Ws().BeginTrans();
    rs->Seek("=", {Variant::Long(60)});
    EXPECT_TRUE(rs->NoMatch());
    AddNumbered(*rs, 60, -1, "added");
    rs->Seek("=", {Variant::Long(60)});
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(CStr(rs->Value("Name")), "added");
    // The record added last is the last of the walk, and a seek leaves it current.
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());

    rs->Seek("=", {Variant::Long(10)});
    rs->Edit();
    rs->SetValue("Name", Variant("changed"));
    rs->Update();
    rs->Seek("=", {Variant::Long(11)});
    rs->Delete();
    rs->Seek("=", {Variant::Long(11)});
    EXPECT_TRUE(rs->NoMatch());
    rs->Seek("=", {Variant::Long(10)});
    EXPECT_EQ(CStr(rs->Value("Name")), "changed");
    rs->MoveNext();
    EXPECT_EQ(CLng(rs->Value("N")), 12); // the deleted record is skipped

    // Added by another recordset after this one read its keys.
    AddNumbered(*other, 70, -2, "other");
    rs->Seek("=", {Variant::Long(70)});
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(CStr(rs->Value("Name")), "other");
    // Changed by another recordset between the seek and the edit: the edit starts from the
    // values the file holds.
    rs->Seek("=", {Variant::Long(20)});
    other->FindFirst("N = 20");
    other->Edit();
    other->SetValue("Name", Variant("elsewhere"));
    other->Update();
    rs->Edit();
    EXPECT_EQ(CStr(rs->Value("Name")), "elsewhere");
    rs->CancelUpdate();
    // Deleted by another recordset between the seek and the edit.
    rs->Seek("=", {Variant::Long(30)});
    other->FindFirst("N = 30");
    other->Delete();
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), err::kRecordDeleted);
    Ws().Rollback();

    rs->Requery();
    for (int n : {60, 70}) {
        rs->Seek("=", {Variant::Long(n)});
        EXPECT_TRUE(rs->NoMatch()) << n;
    }
    for (int n : {11, 30}) {
        rs->Seek("=", {Variant::Long(n)});
        EXPECT_FALSE(rs->NoMatch()) << n;
    }
    rs->Seek("=", {Variant::Long(10)});
    EXPECT_EQ(CStr(rs->Value("Name")), "n10");

    // Another index, then back: the statement follows the index and the number of key values.
    rs->SetIndex("ByOrd");
    rs->Seek("=", {Variant::Long((20 * 37) % 50)});
    EXPECT_EQ(CLng(rs->Value("N")), 20);
    rs->SetIndex("PrimaryKey");
    rs->Seek("=", {Variant::Long(20)});
    EXPECT_EQ(CLng(rs->Value("Ord")), (20 * 37) % 50);
}

// Edit starts from the values the file holds: a change another program made between Seek and
// Edit outside a transaction is what Edit shows. Inside one, the file stays read-locked from
// the Seek on, and the other program cannot write until it ends.
TEST(Keyset, EditAfterSeekSeesAnotherProgramsChange) {
    TempDir dir;
    DatabasePtr db = MakeScattered(dir, 5);
    auto rs = db->OpenRecordset("T", RecordsetType::Table);
    rs->SetIndex("PrimaryKey");
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(dir.File("s.mdb").c_str(), &raw), SQLITE_OK);
    sqlite3_busy_timeout(raw, 0);
    rs->Seek("=", {Variant::Long(2)});
    ASSERT_EQ(CStr(rs->Value("Name")), "n2");
    ASSERT_EQ(
        sqlite3_exec(raw, "UPDATE T SET Name = 'outside' WHERE N = 2", nullptr, nullptr, nullptr),
        SQLITE_OK);
    rs->Edit();
    EXPECT_EQ(CStr(rs->Value("Name")), "outside");
    rs->CancelUpdate();

    Ws().BeginTrans();
    rs->Seek("=", {Variant::Long(3)});
    EXPECT_EQ(
        sqlite3_exec(raw, "UPDATE T SET Name = 'refused' WHERE N = 3", nullptr, nullptr, nullptr),
        SQLITE_BUSY);
    rs->Edit();
    EXPECT_EQ(CStr(rs->Value("Name")), "n3");
    rs->SetValue("Name", Variant("mine"));
    rs->Update();
    Ws().CommitTrans();
    rs->Seek("=", {Variant::Long(3)});
    EXPECT_EQ(CStr(rs->Value("Name")), "mine");
    sqlite3_close(raw);
}
