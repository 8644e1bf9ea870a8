// The pages a save frees (the old table's) are given back to the file system while the window
// is idle: the file ends near the size of a fresh copy, and the records are those of the save.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

#include "save_support.h"

using namespace tavorin;
using namespace savetest;
namespace fs = std::filesystem;

namespace {

uintmax_t FreshCopySize(const std::string& path, const std::string& copy) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, ("VACUUM INTO '" + copy + "'").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    return fs::file_size(copy);
}

class FreePagesTest : public ::testing::Test {
  protected:
    void SetUp() override { SetWorkBaseOverride(base.Path()); }
    void TearDown() override {
        if (window && !window->Ended()) {
            window->LayoutChanged = 0;
            window->mnEnd_Click();
        }
        window.reset();
        SetWorkBaseOverride("");
    }
    frmTavorin& Start(const std::string& path, const std::string& table) {
        window = std::make_unique<frmTavorin>();
        EXPECT_TRUE(window->Form_Load());
        window->show();
        window->OpenOnStart(path, table);
        return *window;
    }
    tavorintest::TempDir base;
    tavorintest::TempDir data;
    AnsweringPrompts prompts;
    PromptsGuard guard{&prompts};
    std::unique_ptr<frmTavorin> window;
};

TEST_F(FreePagesTest, TheOldTablesPagesGoBackWhileIdleAndTheRecordsStay) {
    const std::string path = data.File("big.mdb");
    MakeCustomers(path, 20000);
    Start(path, "CUST");
    Layout layout;
    layout.Set(layout.RowOf("NAME"), "FLD02", Variant("FULLNAME"));
    prompts.answers[kInitQuestion] = platform::vbNo;
    prompts.answers[kAcceptQuestion] = platform::vbOK;
    window->SaveTable();
    ASSERT_EQ(window->SaveAbandoned, 0);
    const auto saved = Dump(path, "CUST");
    const uintmax_t before = fs::file_size(path);
    ASSERT_TRUE(window->ReleasingFreePages());

    // A transaction open in the window holds the pages where they are.
    Ws->BeginTrans();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(fs::file_size(path), before);
    EXPECT_TRUE(window->ReleasingFreePages());
    Ws->Rollback();

    while (window->ReleasingFreePages()) QCoreApplication::processEvents();
    const uintmax_t after = fs::file_size(path), fresh = FreshCopySize(path, data.File("fresh.mdb"));
    EXPECT_LT(after, before);
    EXPECT_LE(static_cast<double>(after), 1.2 * static_cast<double>(fresh)) << after << " against " << fresh;
    EXPECT_EQ(Dump(path, "CUST"), saved);
    EXPECT_EQ(saved.size(), 20001u);
    EXPECT_NE(saved[0].find("FULLNAME"), std::string::npos);
}

} // namespace
