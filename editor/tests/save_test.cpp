// Saving a layout: validation and cursor placement, the questions, the table built with its
// keys and descriptions, the records carried across, and a failed or refused save leaving the
// old table exactly as it was.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <filesystem>
#include <set>
#include <sqlite3.h>

#include "engine/testing/fault_hook.h"
#include "engine/testing/jet_files.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "save_support.h"

using namespace tavorin;
using namespace savetest;
using tavorintest::TempDir;

namespace {

class SaveTest : public ::testing::Test {
  protected:
    void SetUp() override { app.Store.SetWorkBaseOverride(base.Path()); }
    void TearDown() override {
        engine::SetWriteFaultHook(nullptr);
        if (window && !window->Ended()) {
            window->LayoutChanged = 0;
            window->mnEnd_Click();
        }
        window.reset();
    }
    frmTavorin& Start(const std::string& path, const std::string& table) {
        window = std::make_unique<frmTavorin>(app);
        EXPECT_TRUE(window->Form_Load());
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        window->OpenOnStart(path, table);
        return *window;
    }
    // Saves with the usual answers: carry the data over and accept it.
    void Save() {
        prompts.answers[kInitQuestion] = platform::vbNo;
        prompts.answers[kAcceptQuestion] = platform::vbOK;
        window->SaveTable();
    }
    bool Shown(const std::string& text) const {
        return std::find(prompts.shown.begin(), prompts.shown.end(), text) != prompts.shown.end();
    }

    TempDir base, data;
    AnsweringPrompts prompts;
    tavorin::AppContext app{
        engine::DBEngine::Instance().Workspaces(0),
        {.prompts = &prompts}}; // the run's state, which the window and the test share
    Layout layout{app};
    std::unique_ptr<frmTavorin> window;
    std::string db = data.File("shop.mdb");
};

} // namespace

TEST_F(SaveTest, RenameKeepsTheDataOfTheRenamedField) {
    MakeCustomers(db, 5);
    Start(db, "CUST");
    layout.Set(layout.RowOf("NAME"), "FLD02", Variant("FULLNAME"));
    Save();
    EXPECT_EQ(window->Saving().SaveAbandoned, 0);
    auto rows = Dump(db, "CUST");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_NE(rows[0].find("FULLNAME:10:20|"), std::string::npos) << rows[0];
    EXPECT_EQ(rows[1].rfind("1|名前1|10|7|", 0), 0u) << rows[1];
    EXPECT_EQ(Tables(db), (std::vector<std::string>{"CUST"}));
    EXPECT_TRUE(Shown(kAcceptQuestion));
}

TEST_F(SaveTest, SingleFieldBecomesAGroupAndGroupsGrowShrinkAndJoin) {
    MakeCustomers(db, 3);
    Start(db, "CUST");
    layout.Set(layout.RowOf("PRICE"), "FLD05", Variant("3")); // single -> group of 3
    layout.Set(layout.RowOf("ADDR"), "FLD05", Variant("3"));  // group of 5 -> 3
    layout.Set(layout.RowOf("TEL"), "FLD05", Variant("4"));   // group of 2 -> 4
    Save();
    ASSERT_EQ(window->Saving().SaveAbandoned, 0);
    auto db1 = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(db);
    auto rs = db1->OpenRecordset("SELECT * FROM CUST ORDER BY ID", engine::RecordsetType::Snapshot);
    EXPECT_EQ(engine::CLng(rs->Value("PRICE_01")), 10);
    EXPECT_EQ(engine::CLng(rs->Value("PRICE_02")), 0);
    EXPECT_EQ(engine::CLng(rs->Value("PRICE_03")), 0);
    EXPECT_EQ(engine::TextOf(rs->Value("ADDR_03")), "a13");
    EXPECT_EQ(ErrorOfField(*rs, "ADDR_04"), engine::err::kItemNotFound);
    EXPECT_EQ(engine::CLng(rs->Value("TEL_02")), 201);
    EXPECT_EQ(engine::CLng(rs->Value("TEL_04")), 0);
    rs->Close();
    db1->Close();

    // And back: the group joins into one field with the data of its first copy.
    window->OpenOnStart(db, "CUST");
    layout.Set(layout.RowOf("PRICE"), "FLD05", Variant(""));
    Save();
    ASSERT_EQ(window->Saving().SaveAbandoned, 0);
    auto db2 = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(db);
    auto again =
        db2->OpenRecordset("SELECT * FROM CUST ORDER BY ID", engine::RecordsetType::Snapshot);
    again->MoveLast();
    EXPECT_EQ(engine::CLng(again->Value("PRICE")), 30);
}

TEST_F(SaveTest, TextToLongFailingLeavesTheOldTableWithBothMessages) {
    MakeCustomers(db, 4, /*badCode=*/true);
    const auto before = Dump(db, "CUST");
    Start(db, "CUST");
    layout.Set(layout.RowOf("CODE"), "FLD03", Variant("dbLong"));
    Save();
    EXPECT_EQ(window->Saving().SaveAbandoned, -1);
    EXPECT_TRUE(Shown("Error;  13 in CODE\r型が一致しません。"))
        << ::testing::PrintToString(prompts.shown);
    EXPECT_TRUE(Shown("データ変換ができませんでした。テーブルの保存を取り消します。"));
    EXPECT_FALSE(Shown(kAcceptQuestion));
    EXPECT_EQ(Dump(db, "CUST"), before);
    EXPECT_EQ(Tables(db), (std::vector<std::string>{"CUST"}));
}

TEST_F(SaveTest, RefusingTheConvertedDataKeepsTheOldTable) {
    MakeCustomers(db, 4);
    const auto before = Dump(db, "CUST");
    Start(db, "CUST");
    layout.Set(layout.RowOf("PRICE"), "FLD03", Variant("dbText"));
    layout.Set(layout.RowOf("PRICE"), "FLD04", Variant::Integer(8));
    prompts.answers[kInitQuestion] = platform::vbNo;
    prompts.answers[kAcceptQuestion] = platform::vbCancel;
    window->SaveTable();
    EXPECT_EQ(window->Saving().SaveAbandoned, -1);
    EXPECT_EQ(Dump(db, "CUST"), before);
    EXPECT_EQ(Tables(db), (std::vector<std::string>{"CUST"}));
}

TEST_F(SaveTest, NewFieldsGetEmptyTextNullZeroOrAnAutoNumber) {
    MakeCustomers(db, 6);
    Start(db, "CUST");
    const int last = layout.Count();
    layout.Add(last + 1, "NEWTEXT", "dbText", 10);
    layout.Add(last + 2, "NEWMEMO", "dbMemo", 0);
    layout.Add(last + 3, "NEWNUM", "dbDouble", 8);
    layout.Add(last + 4, "SEQ", std::string(tavorin::kAutoNumberType), 4);
    Save();
    ASSERT_EQ(window->Saving().SaveAbandoned, 0);
    auto db1 = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(db);
    auto rs = db1->OpenRecordset("SELECT * FROM CUST ORDER BY ID", engine::RecordsetType::Snapshot);
    std::set<int> numbers;
    while (!rs->Eof()) {
        EXPECT_TRUE(rs->Value("NEWTEXT").IsString());
        EXPECT_EQ(engine::TextOf(rs->Value("NEWTEXT")), "");
        EXPECT_TRUE(rs->Value("NEWMEMO").IsNull());
        EXPECT_EQ(engine::CDbl(rs->Value("NEWNUM")), 0.0);
        numbers.insert(engine::CLng(rs->Value("SEQ")));
        rs->MoveNext();
    }
    EXPECT_EQ(numbers, (std::set<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(db1->TableDefs().Item("CUST")->Fields().Item("SEQ")->Attributes(), 17);
}

TEST_F(SaveTest, KeysIndexesAndDescriptionsAreBuiltAsLaidOut) {
    MakeCustomers(db, 2);
    Start(db, "CUST");
    // Primary key: CODE then ID descending; sub key 1: NAME, with duplicates allowed.
    layout.Set(layout.RowOf("ID"), "FLD06", Variant("2d"));
    layout.Set(layout.RowOf("CODE"), "FLD06", Variant("1"));
    layout.Set(layout.RowOf("NAME"), "FLD07", Variant("1A"));
    layout.Set(layout.RowOf("NAME"), "FLD12", Variant("氏名"));
    layout.Set(layout.RowOf("ADDR"), "FLD12", Variant("住所"));
    window->Text1[2]->setText("ByName");
    window->Combo1[1]->setCurrentIndex(1);
    window->TableDesc = "得意先";
    Save();
    ASSERT_EQ(window->Saving().SaveAbandoned, 0) << ::testing::PrintToString(prompts.shown);
    auto td = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(db)->TableDefs().Item("CUST");
    ASSERT_EQ(td->Indexes().Count(), 2u);
    auto pk = td->Indexes().Item("PrimaryKey");
    EXPECT_TRUE(pk->Primary());
    EXPECT_TRUE(pk->Unique());
    ASSERT_EQ(pk->Fields().Count(), 2u);
    EXPECT_EQ(pk->Fields()[0]->Name(), "CODE");
    EXPECT_EQ(pk->Fields()[0]->Attributes(), 0);
    EXPECT_EQ(pk->Fields()[1]->Name(), "ID");
    EXPECT_EQ(pk->Fields()[1]->Attributes(), dao::dbDescending);
    auto sub = td->Indexes().Item("ByName");
    EXPECT_FALSE(sub->Primary());
    EXPECT_FALSE(sub->Unique());
    EXPECT_EQ(engine::TextOf(td->Properties().Item("Description")->Value()), "得意先");
    EXPECT_EQ(td->Properties().Item("Description")->Name(), "DesCription");
    EXPECT_EQ(engine::TextOf(td->Fields().Item("NAME")->Properties().Item("Description")->Value()),
              "氏名");
    EXPECT_EQ(
        engine::TextOf(td->Fields().Item("ADDR_01")->Properties().Item("Description")->Value()),
        "住所");
    EXPECT_FALSE(td->Fields().Item("ADDR_02")->Properties().Contains("Description"));
}

TEST_F(SaveTest, QuestionsCancelInitialiseAndNewFile) {
    MakeCustomers(db, 3);
    const auto before = Dump(db, "CUST");
    Start(db, "CUST");
    layout.Set(layout.RowOf("NAME"), "FLD04", Variant::Integer(30));
    prompts.answers[kInitQuestion] = platform::vbCancel;
    window->SaveTable();
    EXPECT_EQ(window->Saving().SaveAbandoned, -1);
    EXPECT_EQ(Dump(db, "CUST"), before);

    prompts.answers[kInitQuestion] = platform::vbYes; // the table starts empty
    prompts.shown.clear();
    window->SaveTable();
    EXPECT_EQ(window->Saving().SaveAbandoned, 0);
    EXPECT_FALSE(Shown(kAcceptQuestion));
    EXPECT_EQ(Dump(db, "CUST").size(), 1u);

    // A file that does not exist yet is created with the table and no data question.
    const std::string fresh = data.File("new.mdb");
    window->OpenOnStart(fresh, "T1");
    layout.Add(1, "A", "dbText", 5);
    prompts.shown.clear();
    prompts.answers[kNoPrimaryKey] = platform::vbOK;
    window->SaveTable();
    EXPECT_EQ(window->Saving().SaveAbandoned, 0);
    EXPECT_EQ(Tables(fresh), (std::vector<std::string>{"T1"}));
    EXPECT_EQ(prompts.shown, (std::vector<std::string>{kNoPrimaryKey}));
    EXPECT_EQ(engine::DBEngine::Instance().Workspaces(0).OpenDatabase(fresh)->Connect(),
              engine::kLangJapanese);
}

TEST_F(SaveTest, SavingIntoAFileThatWasDeletedUnderTheLayoutGives3024AndCreatesNothing) {
    MakeCustomers(db, 3);
    Start(db, "CUST");
    layout.Set(layout.RowOf("NAME"), "FLD04", Variant::Integer(30));
    // Another instance deletes the file while this one holds its layout.
    ASSERT_TRUE(std::filesystem::remove(db));
    Save();
    EXPECT_EQ(window->Saving().SaveAbandoned, -1);
    EXPECT_EQ(prompts.shown,
              (std::vector<std::string>{"3024 : " +
                                        engine::DescriptionOf(engine::err::kFileNotFound, db)}));
    EXPECT_FALSE(std::filesystem::exists(db));
    EXPECT_FALSE(std::filesystem::exists(db + "-journal"));
}

TEST_F(SaveTest, NoPrimaryKeyCancelAndLeftOverBuildTable) {
    MakeCustomers(db, 2);
    {
        auto user = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(db);
        auto td = user->CreateTableDef("CUSTﾀﾞﾐ");
        td->Fields().Append(td->CreateField("X", dao::dbLong));
        user->TableDefs().Append(td);
    }
    Start(db, "CUST");
    layout.Set(layout.RowOf("ID"), "FLD06", Variant(""));
    prompts.answers[kNoPrimaryKey] = platform::vbCancel;
    window->SaveTable();
    EXPECT_EQ(window->Saving().SaveAbandoned, -1);
    EXPECT_EQ(QApplication::focusWidget(), window->Text1[9]);

    const std::string leftOver = "前回の作業テーブル　[CUSTﾀﾞﾐ] が存在してます。削除します。";
    prompts.answers[kNoPrimaryKey] = platform::vbOK;
    prompts.answers[leftOver] = platform::vbCancel;
    Save();
    EXPECT_EQ(window->Saving().SaveAbandoned, -1);
    EXPECT_EQ(Tables(db).size(), 2u); // the user kept the left-over

    prompts.answers[leftOver] = platform::vbOK;
    Save();
    EXPECT_EQ(window->Saving().SaveAbandoned, 0);
    EXPECT_EQ(Tables(db), (std::vector<std::string>{"CUST"}));
}

TEST_F(SaveTest, ValidationFaultOnRow25ShowsItAsTheBottomRow) {
    MakeCustomers(db, 1);
    Start(db, "CUST");
    for (int row = layout.Count() + 1; row <= 30; ++row)
        layout.Add(row, "F" + std::to_string(row), "dbLong", 4);
    layout.Set(25, "FLD03", Variant("dbNothing"));
    window->LastRow = 30;
    window->SetScrollRange(0);
    window->SaveTable();
    EXPECT_EQ(window->Saving().SaveAbandoned, -1);
    EXPECT_TRUE(Shown("データ種別の誤りです。"));
    EXPECT_EQ(window->TopRow, 16);
    EXPECT_EQ(QApplication::focusWidget(), window->Text1[99]);
}

// A genuine file that takes no change is refused before anything is asked, saying why, and
// keeps its bytes: a read-only one, one another program holds (its .ldb locked).
TEST_F(SaveTest, AGenuineFileThatTakesNoChangeIsRefusedUpFrontSayingWhy) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    for (bool held : {false, true}) {
        SCOPED_TRACE(held ? "held" : "read-only");
        const std::string jet = data.File(held ? "held.mdb" : "readonly.mdb");
        std::filesystem::copy_file(TESTDATA_DIR "/jet/testV1997.mdb", jet); // read-only, as shared
        std::unique_ptr<engine::HeldJetFile> otherProgram;
        if (held) {
            std::filesystem::permissions(jet, std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_write);
            otherProgram = std::make_unique<engine::HeldJetFile>(jet);
        }
        const std::string before = jettest::ReadWhole(jet);
        prompts.shown.clear();
        Start(jet, "Table1");
        window->SaveTable();
        EXPECT_EQ(window->Saving().SaveAbandoned, -1);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0], held ? engine::DescriptionOf(engine::err::kLocked, jet)
                                         : engine::DescriptionOf(engine::err::kReadOnly));
        EXPECT_EQ(jettest::ReadWhole(jet), before);
        window->LayoutChanged = 0;
        window->mnEnd_Click();
    }
}

// Every write statement of a save fails once in turn: the file then holds the old table with
// every record unchanged, or (only when the save completed) the new table, never a build table.
TEST_F(SaveTest, AFailureAtAnyWriteLeavesTheOldTableOrTheNewOne) {
    MakeCustomers(db, 20);
    const auto before = Dump(db, "CUST");
    Start(db, "CUST");
    auto edit = [&] {
        window->OpenOnStart(db, "CUST");
        layout.Set(layout.RowOf("NAME"), "FLD02", Variant("FULLNAME"));
        layout.Set(layout.RowOf("PRICE"), "FLD05", Variant("2"));
    };
    // Count the writes of a complete save on a copy of the file first.
    const std::string copy = data.File("copy.mdb");
    std::filesystem::copy_file(db, copy);
    long total = 0;
    {
        window->OpenOnStart(copy, "CUST");
        layout.Set(layout.RowOf("NAME"), "FLD02", Variant("FULLNAME"));
        layout.Set(layout.RowOf("PRICE"), "FLD05", Variant("2"));
        engine::SetWriteFaultHook([&](std::string_view) {
            ++total;
            return false;
        });
        Save();
        engine::SetWriteFaultHook(nullptr);
        ASSERT_EQ(window->Saving().SaveAbandoned, 0);
    }
    const auto after = Dump(copy, "CUST");
    const std::string pristine = data.File("pristine.mdb");
    window->CloseUserDatabase();
    std::filesystem::copy_file(db, pristine);
    ASSERT_GT(total, 20);
    for (long n = 1; n <= total; ++n) {
        SCOPED_TRACE("write " + std::to_string(n));
        edit();
        long count = 0;
        engine::SetWriteFaultHook([&](std::string_view) { return ++count == n; });
        Guarded(app.Platform, [&] { Save(); });
        engine::SetWriteFaultHook(nullptr);
        const auto now = Dump(db, "CUST");
        EXPECT_TRUE(now == before || (now == after && window->Saving().SaveAbandoned == 0));
        EXPECT_EQ(Tables(db), (std::vector<std::string>{"CUST"}));
        if (now == after) { // a save that went through: start again from the old table
            window->CloseUserDatabase();
            std::filesystem::copy_file(pristine, db,
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
}

TEST_F(SaveTest, UnchangedFieldsKeepTheirValuesAndATextNullBecomesEmpty) {
    MakeCustomers(db, 3);
    {
        auto user = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(db);
        auto rs = user->OpenRecordset("SELECT * FROM CUST ORDER BY ID");
        rs->Edit();
        rs->SetValue("NAME", Variant::Null());
        rs->SetValue("PRICE", Variant::Null());
        rs->SetValue("NOTE", Variant::Null());
        rs->Update();
    }
    const auto before = Dump(db, "CUST");
    Start(db, "CUST");
    layout.Set(layout.RowOf("CODE"), "FLD04", Variant::Integer(12)); // a change elsewhere
    Save();
    ASSERT_EQ(window->Saving().SaveAbandoned, 0);
    auto user = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(db);
    auto rs =
        user->OpenRecordset("SELECT * FROM CUST ORDER BY ID", engine::RecordsetType::Snapshot);
    EXPECT_TRUE(rs->Value("NAME").IsString());
    EXPECT_EQ(engine::TextOf(rs->Value("NAME")), "");
    EXPECT_TRUE(rs->Value("PRICE").IsNull());
    EXPECT_TRUE(rs->Value("NOTE").IsNull());
    rs->MoveNext();
    EXPECT_EQ(engine::TextOf(rs->Value("NAME")), "名前2");
    EXPECT_EQ(engine::CLng(rs->Value("PRICE")), 20);
    EXPECT_EQ(engine::TextOf(rs->Value("NOTE")), "note 2");
    EXPECT_EQ(Dump(db, "CUST").size(), before.size());
}

namespace {

// The size of a fresh copy of a file: every table written anew, no free pages.
uintmax_t FreshCopySize(const std::string& path, const std::string& copy) {
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    EXPECT_EQ(sqlite3_exec(raw, ("VACUUM INTO '" + copy + "'").c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    return std::filesystem::file_size(copy);
}

} // namespace

// After a save the old table's pages are given back to the file system while the window is
// idle: the file ends near the size of a fresh copy, and the records are those of the save.
TEST_F(SaveTest, TheOldTablesPagesGoBackWhileIdleAndTheRecordsStay) {
    const std::string path = data.File("big.mdb");
    MakeCustomers(path, 20000);
    Start(path, "CUST");
    layout.Set(layout.RowOf("NAME"), "FLD02", Variant("FULLNAME"));
    Save();
    ASSERT_EQ(window->Saving().SaveAbandoned, 0);
    const auto saved = Dump(path, "CUST");
    const uintmax_t before = std::filesystem::file_size(path);
    ASSERT_TRUE(window->ReleasingFreePages());

    // A transaction open in the window holds the pages where they are.
    app.Store.Ws->BeginTrans();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(std::filesystem::file_size(path), before);
    EXPECT_TRUE(window->ReleasingFreePages());
    app.Store.Ws->Rollback();

    while (window->ReleasingFreePages()) QCoreApplication::processEvents();
    const uintmax_t after = std::filesystem::file_size(path),
                    fresh = FreshCopySize(path, data.File("fresh.mdb"));
    EXPECT_LT(after, before);
    EXPECT_LE(static_cast<double>(after), 1.2 * static_cast<double>(fresh))
        << after << " against " << fresh;
    EXPECT_EQ(Dump(path, "CUST"), saved);
    EXPECT_EQ(saved.size(), 20001u);
    EXPECT_NE(saved[0].find("FULLNAME"), std::string::npos);
}

TEST_F(SaveTest, TablesWhoseNamesDifferInFullWidthCaseStayTwoTablesThroughASave) {
    // The engine folds the case of A-Z alone: ＡＢＣ and ａｂｃ are two tables, CUST and cust one.
    MakeCustomers(db, 3);
    {
        auto& ws = engine::DBEngine::Instance().Workspaces(0);
        auto file = ws.OpenDatabase(db);
        file->TableDefs().Item("CUST")->SetName("ＡＢＣ");
        auto td = file->CreateTableDef("ａｂｃ");
        td->Fields().Append(td->CreateField("X", dao::dbText, 10));
        file->TableDefs().Append(td);
        auto rs = file->OpenRecordset("ａｂｃ");
        rs->AddNew();
        rs->SetValue("X", Variant("小文字"));
        rs->Update();
        const std::vector<std::pair<std::string, std::string>> lookups = {
            {"ａｂｃ", "ａｂｃ"}, {"ＡＢＣ", "ＡＢＣ"}, {"Ａｂｃ", ""}, {"abc", ""}, {"ABC", ""}};
        for (const auto& [name, stored] : lookups)
            EXPECT_EQ(StoredTableName(file.get(), name), stored) << name;
        file->TableDefs().Item("ＡＢＣ")->SetName("CUST");
        EXPECT_EQ(StoredTableName(file.get(), "cust"), "CUST");
        file->TableDefs().Item("CUST")->SetName("ＡＢＣ");
    }
    const auto upperBefore = Dump(db, "ＡＢＣ");

    Start(db, "ａｂｃ");
    layout.Set(layout.RowOf("X"), "FLD02", Variant("Y"));
    Save();
    EXPECT_EQ(window->Saving().SaveAbandoned, 0);
    EXPECT_EQ(Dump(db, "ＡＢＣ"), upperBefore);
    EXPECT_EQ(Dump(db, "ａｂｃ"), (std::vector<std::string>{"Y:10:10|", "小文字|"}));
    auto tables = Tables(db);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"ＡＢＣ", "ａｂｃ"}));
}

TEST_F(SaveTest, ATableNameTheEngineRefusesStopsTheSaveBeforeAnyQuestion) {
    MakeCustomers(db, 2);
    const auto before = Dump(db, "CUST");
    Start(db, "q[1"); // as from the command line, never typed into the name box
    Save();
    EXPECT_EQ(window->Saving().SaveAbandoned, -1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0],
              "'q[1' は正しい名前ではありません。名前に無効な文字や区切り記号が含まれていないか、"
              "名前が長すぎないかを確認してください。");
    EXPECT_EQ(Tables(db), (std::vector<std::string>{"CUST"}));
    EXPECT_EQ(Dump(db, "CUST"), before);
}
