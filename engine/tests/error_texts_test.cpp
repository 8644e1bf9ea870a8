// Every error number the engine can raise has its Japanese description; descriptions name the
// file where they speak of one, with SQLite's own message after them.
#include <sqlite3.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "test_support.h"

using namespace engine;
using namespace enginetest;

namespace {

std::string ReadSource(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The numbers the engine's sources raise: every err:: constant they name (its value read from
// error.h), every number thrown as a literal, and every local error constant.
std::map<long, std::string> RaisedNumbers() {
    const fs::path root = ENGINE_SOURCE_DIR;
    std::map<std::string, long> constants;
    const std::string header = ReadSource(root / "include/engine/error.h");
    const std::regex constant(R"(constexpr long (k\w+) = (\d+);)");
    for (std::sregex_iterator it(header.begin(), header.end(), constant), end; it != end; ++it)
        constants[(*it)[1]] = std::stol((*it)[2]);

    std::map<long, std::string> raised;
    const std::regex named(R"(err::(k\w+))"), literal(R"(Throw\((\d+))"), local(R"(constexpr long k\w+ = (\d+);)");
    for (const char* folder : {"src", "jetread", "include/engine"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            if (!entry.is_regular_file()) continue; // the folders of the Jet 4 writer and checker
            const std::string text = ReadSource(entry.path());
            const std::string file = entry.path().filename().string();
            for (std::sregex_iterator it(text.begin(), text.end(), named), end; it != end; ++it) {
                auto found = constants.find((*it)[1]);
                EXPECT_NE(found, constants.end()) << (*it)[1] << " in " << file;
                if (found != constants.end()) raised.emplace(found->second, file);
            }
            for (const auto& pattern : {literal, local})
                for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
                    raised.emplace(std::stol((*it)[1]), file);
        }
    }
    return raised;
}

bool HasJapanese(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0xE3) return true; // lead bytes of kana and kanji in UTF-8
    return false;
}

} // namespace

TEST(ErrorTexts, EveryNumberTheEngineRaisesHasAJapaneseDescription) {
    const auto raised = RaisedNumbers();
    // The walk found the engine's numbers (the numbers callers test among them).
    for (long expected : {err::kPropertyNotFound, err::kDiskFull, err::kRecordDeleted, err::kTransactionLost, 3131L})
        EXPECT_TRUE(raised.count(expected)) << expected;
    for (const auto& [number, file] : raised) {
        SCOPED_TRACE(std::to_string(number) + " raised in " + file);
        EXPECT_TRUE(HasDescription(number));
        const std::string bare = DescriptionOf(number), named = DescriptionOf(number, "X.mdb");
        EXPECT_TRUE(HasJapanese(bare)) << bare;
        EXPECT_EQ(bare.find('|'), std::string::npos) << bare;
        EXPECT_EQ(bare.find("''"), std::string::npos) << bare;
        EXPECT_EQ(named.find('|'), std::string::npos) << named;
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
        {std::make_exception_ptr(std::length_error("vector::reserve")), err::kOutOfMemory, outOfMemory},
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
