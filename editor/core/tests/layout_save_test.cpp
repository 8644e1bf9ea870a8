// A save driven through the core alone: the records carried with conversion in one transaction
// and accepted or refused as a whole, a value that does not convert named with the old table
// kept, a save under a new name, and a save into a genuine Jet 4 file.
#include <filesystem>

#include "core/LayoutSave.h"
#include "core/StoredFile.h"
#include "core_fixture.h"
#include "engine/index.h"
#include "engine/tabledef.h"
#include "engine/testing/shared_test_data.h"
#include "engine/types.h"
#include "engine/workspace.h"

using namespace tavorin;
using namespace coretest;

namespace {

namespace dao = engine::dao;
namespace fs = std::filesystem;
using engine::Variant;
using Answer = UserPrompts::Answer;

const std::string kInitQuestion = "テーブルを初期化しますか。";
const std::string kCopyQuestion = "もとのテーブルのデータをコピーしますか。";
const std::string kAcceptQuestion = "データ変換が終了しました。更新しますか。";
const std::string kNoPrimaryKey = "主キーが設定されていません。続行しますか。";
const std::string kNotConverted = "データ変換ができませんでした。テーブルの保存を取り消します。";

class LastLine : public ProgressLine {
  public:
    void Show(const std::string& text) override { last = text; }
    std::string last;
};

// CUST: ID Long (primary key), NAME Text 20, CODE Text 10 ("7", "14", ...; the last one "x12"
// when badCode); records 1..count.
void MakeCustomers(const std::string& path, int count, bool badCode) {
    engine::Workspace& ws = enginetest::Ws();
    engine::DatabasePtr db = ws.CreateDatabase(path, engine::kLangJapanese);
    engine::TableDefPtr td = db->CreateTableDef("CUST");
    td->Fields().Append(td->CreateField("ID", dao::dbLong, 0));
    td->Fields().Append(td->CreateField("NAME", dao::dbText, 20));
    td->Fields().Append(td->CreateField("CODE", dao::dbText, 10));
    engine::IndexPtr pk = td->CreateIndex("PrimaryKey");
    pk->SetPrimary(true);
    pk->Fields().Append(pk->CreateField("ID"));
    td->Indexes().Append(pk);
    db->TableDefs().Append(td);
    engine::RecordsetPtr rs = db->OpenRecordset("CUST");
    for (int i = 1; i <= count; ++i) {
        rs->AddNew();
        rs->SetValue("ID", Variant::Long(i));
        rs->SetValue("NAME", Variant("名前" + std::to_string(i)));
        rs->SetValue("CODE",
                     Variant(badCode && i == count ? std::string("x12") : std::to_string(i * 7)));
        rs->Update();
    }
    rs->Close();
    db->Close();
}

// The table as text: its fields with their types and sizes, then one line per record by ID;
// "<none>" when the file has no such table.
std::vector<std::string> TableText(const std::string& path, const std::string& table) {
    engine::DatabasePtr db = enginetest::Ws().OpenDatabase(path);
    const std::string stored = StoredTableName(db.get(), table);
    if (stored.empty()) return {"<none>"};
    std::vector<std::string> text;
    engine::TableDefPtr td = db->TableDefs().Item(stored);
    for (const auto& field : td->Fields())
        text.push_back(field->Name() + ":" + std::to_string(field->Type()) + ":" +
                       std::to_string(field->Size()));
    engine::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [" + stored + "] ORDER BY ID",
                                                engine::RecordsetType::Snapshot);
    for (; !rs->Eof(); rs->MoveNext()) {
        std::string line;
        for (size_t i = 0; i < td->Fields().Count(); ++i)
            line += engine::TextOf(rs->Value(i)) + "|";
        text.push_back(line);
    }
    rs->Close();
    db->Close();
    return text;
}

// CUST as the layout below saves it: NAME cut to 4 bytes, CODE a Long.
std::vector<std::string> ConvertedCustomers(int count) {
    std::vector<std::string> text = {"ID:4:4", "NAME:10:4", "CODE:4:4"};
    for (int i = 1; i <= count; ++i)
        text.push_back(std::to_string(i) + "|名前|" + std::to_string(i * 7) + "|");
    return text;
}

class LayoutSaveTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        settings.Name[0] = "PrimaryKey";
        settings.Dup[0] = 0;
    }

    // The loaded layout of CUST changed: NAME cut to 4 bytes, CODE made a Long.
    void WriteChangedLayout() {
        Write({{1, "ID", "dbLong", 4, "", {" 1"}, "", "ID", "dbLong", 4},
               {2, "NAME", "dbText", 4, "", {}, "", "NAME", "dbText", 20},
               {3, "CODE", "dbLong", 4, "", {}, "", "CODE", "dbText", 10}});
    }

    SaveOutcome Save(const std::string& path) {
        return save.SaveTable({enginetest::Ws(), path, prompts, progress}, settings);
    }

    // Whether a build table of table is left in the file.
    bool BuildTableLeft(const std::string& path, const std::string& table) {
        engine::DatabasePtr user = enginetest::Ws().OpenDatabase(path);
        const bool left = !StoredTableName(user.get(), BuildNameOf(table)).empty();
        user->Close();
        return left;
    }

    LayoutSave save{doc, db, rows};
    IndexSettings settings;
    LastLine progress;
};

TEST_F(LayoutSaveTest,
       RecordsAreCarriedWithConversionInOneTransactionAndReplaceTheTableOnlyWhenAccepted) {
    constexpr int kRecords = 300;
    struct Case {
        const char* name;
        LayoutSave::CarryPath path;
        std::string table, source; // source: the table a save under a new name started from
        Answer carryAnswer, accept;
        bool saved;
    };
    const Case cases[] = {
        {"compiled, accepted", LayoutSave::CarryPath::Compiled, "CUST", "", Answer::No, Answer::Ok,
         true},
        {"record by record, accepted", LayoutSave::CarryPath::RowByRow, "CUST", "", Answer::No,
         Answer::Ok, true},
        {"compiled, refused", LayoutSave::CarryPath::Compiled, "CUST", "", Answer::No,
         Answer::Cancel, false},
        {"record by record, refused", LayoutSave::CarryPath::RowByRow, "CUST", "", Answer::No,
         Answer::Cancel, false},
        {"under a new name", LayoutSave::CarryPath::Compiled, "NEWCUST", "CUST", Answer::Yes,
         Answer::Ok, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string("user ") + c.name + ".mdb");
        MakeCustomers(path, kRecords, false);
        const std::vector<std::string> before = TableText(path, "CUST");
        ClearRows();
        WriteChangedLayout();
        doc.CurrentTable = c.table;
        save.SourceTableName = c.source;
        save.carryPath = c.path;
        prompts = {};
        const std::string carryQuestion = c.source.empty() ? kInitQuestion : kCopyQuestion;
        prompts.answers = {{carryQuestion, c.carryAnswer}, {kAcceptQuestion, c.accept}};
        // When the user is asked to accept, every record is in the build table, in one
        // transaction still open.
        int levelAsked = -1;
        std::vector<std::string> builtAsked;
        prompts.onAsk = [&](const std::string& text) {
            if (text != kAcceptQuestion) return;
            levelAsked = enginetest::Ws().TransactionLevel();
            builtAsked = TableText(path, BuildNameOf(c.table));
        };

        const SaveOutcome outcome = Save(path);

        EXPECT_EQ(outcome.saved, c.saved);
        EXPECT_EQ(save.SaveAbandoned, c.saved ? 0 : -1);
        EXPECT_EQ(prompts.asked, (std::vector<std::string>{carryQuestion, kAcceptQuestion}));
        EXPECT_TRUE(prompts.said.empty()) << ::testing::PrintToString(prompts.said);
        EXPECT_EQ(levelAsked, 1);
        EXPECT_EQ(builtAsked, ConvertedCustomers(kRecords));
        EXPECT_EQ(progress.last, "   作業件数 ＝  " + std::to_string(kRecords));
        EXPECT_EQ(save.LastCarryCompiled, c.path == LayoutSave::CarryPath::Compiled);
        const std::vector<std::string> target = TableText(path, c.table);
        EXPECT_EQ(target, c.saved
                              ? ConvertedCustomers(kRecords)
                              : (c.source.empty() ? before : std::vector<std::string>{"<none>"}));
        if (!c.source.empty()) {
            EXPECT_EQ(TableText(path, c.source), before);
        }
        EXPECT_FALSE(BuildTableLeft(path, c.table));
        EXPECT_EQ(enginetest::Ws().TransactionLevel(), 0);
        ASSERT_TRUE(rows && rows->IsOpen());
    }
}

TEST_F(LayoutSaveTest, AValueThatDoesNotConvertIsNamedAndTheOldTableStaysWithNoBuildTableLeft) {
    const std::string path = dir.File("bad.mdb");
    MakeCustomers(path, 50, true);
    const std::vector<std::string> before = TableText(path, "CUST");
    WriteChangedLayout();
    doc.CurrentTable = "CUST";
    prompts.answers = {{kInitQuestion, Answer::No}};

    const SaveOutcome outcome = Save(path);

    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(save.SaveAbandoned, -1);
    // The compiled statement failed; the record-by-record run named the value.
    EXPECT_FALSE(save.LastCarryCompiled);
    EXPECT_FALSE(save.LastCarryFailure.empty());
    ASSERT_EQ(prompts.said.size(), 2u) << ::testing::PrintToString(prompts.said);
    EXPECT_EQ(prompts.said[0].rfind("Error; ", 0), 0u) << prompts.said[0];
    EXPECT_NE(prompts.said[0].find(" in CODE\r"), std::string::npos) << prompts.said[0];
    EXPECT_EQ(prompts.said[1], kNotConverted);
    // The records read before the one that failed.
    EXPECT_EQ(progress.last, "   作業件数 ＝  49");
    EXPECT_EQ(TableText(path, "CUST"), before);
    EXPECT_FALSE(BuildTableLeft(path, "CUST"));
    EXPECT_EQ(enginetest::Ws().TransactionLevel(), 0);
}

TEST_F(LayoutSaveTest,
       AFaultOfTheLayoutIsReturnedForTheCursorBeforeAnyQuestionAndTheFileIsUntouched) {
    const std::string path = dir.File("fault.mdb");
    MakeCustomers(path, 3, false);
    const std::vector<std::string> before = TableText(path, "CUST");
    // Row 2 has a type but no name.
    Write({{1, "ID", "dbLong", 4, "", {" 1"}, "", "ID", "dbLong", 4}, {2, "", "dbLong", 4}});
    doc.CurrentTable = "CUST";

    const SaveOutcome outcome = Save(path);

    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(outcome.cursor, SaveOutcome::Cursor::Fault);
    EXPECT_EQ(outcome.errorCode, 9);
    EXPECT_EQ(outcome.errorRow, 2);
    EXPECT_EQ(save.SaveAbandoned, -1);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(prompts.said.size(), 1u);
    EXPECT_EQ(TableText(path, "CUST"), before);
}

TEST_F(LayoutSaveTest, ASaveIntoAGenuineJet4FileIsOneTransactionAndLeavesNoBuildTable) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    const std::string path = dir.File("jet4.mdb");
    fs::copy_file(shareddata::Folder() + "/jet/indexTestV2000.mdb", path);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    engine::DatabasePtr user = enginetest::Ws().OpenDatabase(path);
    ASSERT_FALSE(user->ReadOnly());
    const std::string table = user->TableDefs().Names().at(0);
    engine::TableDefPtr stored = user->TableDefs().Item(table);
    const long records = stored->RecordCount();
    ASSERT_GT(records, 0);
    std::vector<std::string> fieldsBefore;
    for (const auto& field : stored->Fields()) fieldsBefore.push_back(field->Name());
    int32_t rowCount = 0;
    doc.ReadTableDefinitionOf(*stored, *rows, rowCount, prompts);
    stored.reset();
    user->Close();
    rows->Requery();
    doc.LastRow = rowCount;
    doc.CurrentTable = table;
    for (size_t slot = 0; slot < 6; ++slot) {
        settings.Name[slot] = doc.LoadedIndexName[slot];
        settings.Dup[slot] = doc.LoadedIndexDup[slot];
    }
    prompts.said.clear();
    prompts.answers = {
        {kInitQuestion, Answer::No}, {kAcceptQuestion, Answer::Ok}, {kNoPrimaryKey, Answer::Ok}};
    int levelAsked = -1;
    prompts.onAsk = [&](const std::string& text) {
        if (text == kAcceptQuestion) levelAsked = enginetest::Ws().TransactionLevel();
    };

    const SaveOutcome outcome = Save(path);

    ASSERT_TRUE(outcome.saved) << ::testing::PrintToString(prompts.said);
    EXPECT_TRUE(prompts.said.empty()) << ::testing::PrintToString(prompts.said);
    // The whole save's transaction and the carry-over's inside it.
    EXPECT_EQ(levelAsked, 2);
    EXPECT_EQ(enginetest::Ws().TransactionLevel(), 0);
    EXPECT_TRUE(IsJetFile(path));
    user = enginetest::Ws().OpenDatabase(path);
    EXPECT_TRUE(StoredTableName(user.get(), BuildNameOf(table)).empty());
    ASSERT_FALSE(StoredTableName(user.get(), table).empty());
    stored = user->TableDefs().Item(table);
    EXPECT_EQ(stored->RecordCount(), records);
    std::vector<std::string> fieldsAfter;
    for (const auto& field : stored->Fields()) fieldsAfter.push_back(field->Name());
    stored.reset();
    EXPECT_EQ(fieldsAfter, fieldsBefore);
    user->Close();
}

} // namespace
