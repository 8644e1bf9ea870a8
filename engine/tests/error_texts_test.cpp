// Every error number the engine can raise has its Japanese description; descriptions name the
// file where they speak of one, with SQLite's own message after them.
#include <sqlite3.h>

#include <set>

#include "engine/testing/test_support.h"

using namespace engine;
using namespace enginetest;

namespace {

bool HasJapanese(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0xE3) return true; // lead bytes of kana and kanji in UTF-8
    return false;
}

} // namespace

TEST(ErrorTexts, EveryNumberTheEngineRaisesHasAJapaneseDescription) {
    std::set<long> seen;
    for (long number : err::kAllNumbers) {
        SCOPED_TRACE(number);
        EXPECT_TRUE(seen.insert(number).second) << "listed twice";
        EXPECT_TRUE(HasDescription(number));
        const std::string bare = DescriptionOf(number), named = DescriptionOf(number, "X.mdb");
        EXPECT_TRUE(HasJapanese(bare)) << bare;
        EXPECT_EQ(bare.find('|'), std::string::npos) << bare;
        EXPECT_EQ(bare.find("''"), std::string::npos) << bare;
        EXPECT_EQ(named.find('|'), std::string::npos) << named;
        try {
            Throw(number, "X.mdb");
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), number);
            EXPECT_EQ(e.Description(), named);
        }
    }
    EXPECT_FALSE(HasDescription(3999));
    EXPECT_EQ(DescriptionOf(3999), "エラー番号 3999");
}

TEST(ErrorTexts, DescriptionsNameTheFileAndKeepSQLitesMessageAsTheirDetail) {
    TempDir dir;
    const std::string path = dir.File("busy.mdb");
    DatabasePtr db = Ws().CreateDatabase(path, kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "N", dao::dbLong);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("T");

    // Another program holds the file's write lock.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    rs->AddNew();
    rs->SetValue("N", Variant::Long(1));
    try {
        rs->Update();
        ADD_FAILURE() << "no error for a locked file";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), err::kLocked);
        EXPECT_EQ(e.Description(), "ファイル '" + path + "' を使用できません。既に使用中です。");
        EXPECT_EQ(e.Detail(), "database is locked");
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), 1);
}

TEST(ErrorTexts, AFailedAllocationIsShownAsTheEnginesOutOfMemoryNeverTheLibrarysText) {
    const std::string outOfMemory = "メモリが不足しています。";
    struct Case {
        std::exception_ptr thrown;
        long number; // 0: not an engine error
        std::string description;
    };
    const std::vector<Case> cases = {
        {std::make_exception_ptr(std::bad_alloc()), err::kOutOfMemory, outOfMemory},
        {std::make_exception_ptr(std::length_error("vector::reserve")), err::kOutOfMemory,
         outOfMemory},
        {std::make_exception_ptr(Error(err::kBadFormat, "x")), err::kBadFormat, "x"},
        {std::make_exception_ptr(std::runtime_error("other")), 0, ""},
    };
    for (const Case& c : cases) {
        try {
            std::rethrow_exception(c.thrown);
        } catch (const std::exception& e) {
            SCOPED_TRACE(e.what());
            const std::optional<Error> shown = AsEngineError(e);
            EXPECT_EQ(shown ? shown->Number() : 0, c.number);
            EXPECT_EQ(shown ? shown->Description() : "", c.description);
        }
    }
}
