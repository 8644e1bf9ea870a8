// Giving the pages of deleted tables back to the file system, bit by bit, outside transactions.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

#include "engine/testing/test_support.h"
#include "engine/workspace.h"

namespace {

using namespace enginetest;
using engine::Variant;
namespace dao = engine::dao;
namespace fs = std::filesystem;

// A file with a table of count records of about 200 bytes each, then the table deleted.
void MakeFreedFile(const std::string& path, int count) {
    auto db = Ws().CreateDatabase(path, engine::kLangJapanese);
    auto td = db->CreateTableDef("GONE");
    AddField(td, "ID", dao::dbLong);
    AddField(td, "TEXT", dao::dbMemo);
    db->TableDefs().Append(td);
    Ws().BeginTrans();
    auto rs = db->OpenRecordset("GONE");
    for (int i = 0; i < count; ++i) {
        rs->AddNew();
        rs->SetValue("ID", Variant::Long(i));
        rs->SetValue("TEXT", Variant(std::string(200, static_cast<char>('a' + i % 26))));
        rs->Update();
    }
    rs->Close();
    Ws().CommitTrans();
    db->TableDefs().Delete("GONE");
    db->Close();
}

TEST(FreePages, GivenBackBitByBitOutsideTransactionsOnly) {
    TempDir dir;
    const std::string path = dir.File("freed.mdb");
    MakeFreedFile(path, 5000);
    const uintmax_t full = fs::file_size(path);
    auto db = Ws().OpenDatabase(path);
    const long free = db->ReleaseFreePages(0);
    ASSERT_GT(free, 200);

    Ws().BeginTrans();
    EXPECT_EQ(db->ReleaseFreePages(50), free);
    Ws().Rollback();

    EXPECT_EQ(db->ReleaseFreePages(50), free - 50);
    EXPECT_LT(fs::file_size(path), full);
    long left = free - 50;
    while (left > 0) {
        const long now = db->ReleaseFreePages(100);
        ASSERT_LT(now, left);
        left = now;
    }
    db->Close();
    EXPECT_LT(fs::file_size(path), full / 4);
    // The file still works: a new table and its records.
    db = Ws().OpenDatabase(path);
    auto td = db->CreateTableDef("NEW");
    AddField(td, "X", dao::dbLong);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("NEW");
    rs->AddNew();
    rs->SetValue("X", Variant::Long(7));
    rs->Update();
    EXPECT_EQ(db->TableDefs().Item("NEW")->RecordCount(), 1);
}

TEST(FreePages, AFileMadeWithoutTheAbilityOrOpenedReadOnlyGivesNothingBack) {
    TempDir dir;
    const std::string path = dir.File("plain.mdb");
    MakeFreedFile(path, 2000);
    {
        // As a file of another tool, or of an earlier version of the engine.
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, "PRAGMA auto_vacuum = NONE; VACUUM; PRAGMA auto_vacuum",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    auto db = Ws().OpenDatabase(path);
    auto td = db->CreateTableDef("AGAIN");
    AddField(td, "TEXT", dao::dbMemo);
    db->TableDefs().Append(td);
    Ws().BeginTrans();
    auto rs = db->OpenRecordset("AGAIN");
    for (int i = 0; i < 500; ++i) {
        rs->AddNew();
        rs->SetValue("TEXT", Variant(std::string(300, 'x')));
        rs->Update();
    }
    rs->Close();
    Ws().CommitTrans();
    db->TableDefs().Delete("AGAIN");
    const uintmax_t size = fs::file_size(path);
    EXPECT_EQ(db->ReleaseFreePages(100), 0);
    EXPECT_EQ(fs::file_size(path), size);
    db->Close();

    const std::string kept = dir.File("kept.mdb");
    MakeFreedFile(kept, 2000);
    auto readOnly = Ws().OpenDatabase(kept, false, true);
    EXPECT_EQ(readOnly->ReleaseFreePages(100), 0);
}

} // namespace
