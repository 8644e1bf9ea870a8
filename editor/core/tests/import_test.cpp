// The import without a window: a table's structure as work rows, the links between target and
// source fields, the checks that refuse a run, the plan of each mode, and runs over a small
// native file that land, count, or leave the target as it was.
#include <algorithm>
#include <filesystem>
#include <functional>

#include "core/ImportLinks.h"
#include "core/ImportPlan.h"
#include "core/ImportRun.h"
#include "core/ImportStructure.h"
#include "core/TypeVocabulary.h"
#include "core_fixture.h"
#include "engine/error.h"
#include "engine/tabledef.h"
#include "engine/workspace.h"

using namespace tavorin;
using coretest::RecordedPrompts;
using engine::Variant;

namespace {

namespace dao = engine::dao;

// Answers given in turn: true for OK, false for Cancel.
std::vector<UserPrompts::Answer> Turns(const std::vector<bool>& okays) {
    std::vector<UserPrompts::Answer> turns;
    for (bool ok : okays)
        turns.push_back(ok ? UserPrompts::Answer::Ok : UserPrompts::Answer::Cancel);
    return turns;
}

class RecordedProgress : public ProgressSink {
  public:
    void Counts(long read, long written) override { last = {read, written}; }
    std::pair<long, long> last{-1, -1};
};

// The target T (ID key, NAME text 10 that refuses a blank, QTY long, NOTE memo) and the source
// S (ID key, NAME text 20, QTY text 10) in one native file; the two sides' work databases with
// their structure loaded.
class ImportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = dir.File("data.mdb");
        {
            engine::DatabasePtr db = enginetest::Ws().CreateDatabase(file, engine::kLangJapanese);
            engine::TableDefPtr t = db->CreateTableDef("T");
            enginetest::AddField(t, "ID", dao::dbLong);
            enginetest::AddField(t, "NAME", dao::dbText, 10)->SetRequired(true);
            enginetest::AddField(t, "QTY", dao::dbLong);
            enginetest::AddField(t, "NOTE", dao::dbMemo);
            enginetest::AddIndex(t, "PrimaryKey", {"ID"}, true, true);
            db->TableDefs().Append(t);
            engine::TableDefPtr s = db->CreateTableDef("S");
            enginetest::AddField(s, "ID", dao::dbLong);
            enginetest::AddField(s, "NAME", dao::dbText, 20);
            enginetest::AddField(s, "QTY", dao::dbText, 10);
            enginetest::AddIndex(s, "PrimaryKey", {"ID"}, true, true);
            db->TableDefs().Append(s);
            db->Close();
        }
        Add("T", {{Variant::Long(1), Variant("a"), Variant::Long(10)},
                  {Variant::Long(2), Variant("b"), Variant::Long(20)}});
        for (int side = 0; side < 2; ++side) {
            const std::string path = dir.File(side == 0 ? "target.mdb" : "source.mdb");
            CreateImportWorkDatabase(enginetest::Ws(), path, static_cast<ImportSide>(side));
            workDb[side] = enginetest::Ws().OpenDatabase(path);
            rows[side] =
                workDb[side]->OpenRecordset(kImportWorkSql, engine::RecordsetType::Dynaset);
        }
        loaded =
            LoadTableStructure(enginetest::Ws(), file, "T", *rows[0], ImportSide::Target, prompts);
        LoadTableStructure(enginetest::Ws(), file, "S", *rows[1], ImportSide::Source, prompts);
    }
    void TearDown() override {
        for (int side = 0; side < 2; ++side) {
            rows[side]->Close();
            workDb[side]->Close();
        }
    }

    // The files made again, for the next case to start from the same target.
    void Fresh() {
        TearDown();
        for (const char* name : {"data.mdb", "target.mdb", "source.mdb", "scratch.mdb"})
            std::filesystem::remove(dir.File(name));
        prompts = {};
        SetUp();
    }

    void Add(const std::string& table, const std::vector<std::vector<Variant>>& records) {
        engine::DatabasePtr db = enginetest::Ws().OpenDatabase(file);
        engine::RecordsetPtr rs = db->OpenRecordset(table);
        for (const auto& values : records) {
            rs->AddNew();
            for (size_t i = 0; i < values.size(); ++i) rs->SetValue(i, values[i]);
            rs->Update();
        }
        rs->Close();
        db->Close();
    }

    // The records of table as "ID NAME QTY", in key order.
    std::vector<std::string> Records(const std::string& table) {
        engine::DatabasePtr db = enginetest::Ws().OpenDatabase(file);
        engine::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM " + table + " ORDER BY ID",
                                                    engine::RecordsetType::Snapshot);
        std::vector<std::string> records;
        for (; !rs->Eof(); rs->MoveNext())
            records.push_back(engine::TextOf(rs->Value("ID")) + " " +
                              engine::TextOf(rs->Value("NAME")) + " " +
                              engine::TextOf(rs->Value("QTY")));
        return records;
    }

    // Per work row of the side "NAME:column 5" (the target's link, the source's mark).
    std::vector<std::string> Links(int side) {
        engine::RecordsetPtr rs =
            workDb[side]->OpenRecordset(kImportWorkSql, engine::RecordsetType::Snapshot);
        std::vector<std::string> links;
        for (; !rs->Eof(); rs->MoveNext())
            links.push_back(engine::TextOf(rs->Value("FLD02")) + ":" +
                            engine::TextOf(rs->Value("FLD05")));
        return links;
    }

    ImportRequest Request(ImportMode mode) {
        ImportRequest request;
        request.mode = mode;
        request.targetPath = request.sourcePath = file;
        request.scratchPath = dir.File("scratch.mdb");
        request.targetTable = "T";
        request.sourceTable = "S";
        request.key = loaded.key;
        return request;
    }

    enginetest::TempDir dir;
    std::string file;
    engine::DatabasePtr workDb[2];
    engine::RecordsetPtr rows[2];
    LoadedTable loaded;
    RecordedPrompts prompts;
};

// ---- Structure and links ---------------------------------------------------------------------

TEST_F(ImportTest, LinksKeepEachSourceMarkedWhileATargetRowTakesIt) {
    EXPECT_EQ(loaded.fieldCount, 4);
    EXPECT_EQ(loaded.key.fields, std::vector<std::string>{"ID"});
    EXPECT_EQ(loaded.key.index, "PrimaryKey");
    EXPECT_TRUE(prompts.transcript.empty());

    engine::Workspace& ws = enginetest::Ws();
    engine::Recordset& t = *rows[0];
    engine::Recordset& s = *rows[1];
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> target, source, said;
    };
    const std::vector<Step> steps = {
        {"same names linked",
         [&] { LinkSameNames(ws, t, s); },
         {"ID:ID", "NAME:NAME", "QTY:QTY", "NOTE:"},
         {"ID:1", "NAME:1", "QTY:1"},
         {}},
        {"a row unlinked drops the mark no other row holds",
         [&] { EXPECT_TRUE(UnlinkRow(ws, t, s, 2)); },
         {"ID:ID", "NAME:", "QTY:QTY", "NOTE:"},
         {"ID:1", "NAME:0", "QTY:1"},
         {}},
        {"a second row takes the same source",
         [&] { EXPECT_TRUE(LinkRows(ws, t, s, 2, 1, prompts)); },
         {"ID:ID", "NAME:ID", "QTY:QTY", "NOTE:"},
         {"ID:1", "NAME:0", "QTY:1"},
         {}},
        {"relinking a row frees its former source",
         [&] { EXPECT_TRUE(LinkRows(ws, t, s, 3, 2, prompts)); },
         {"ID:ID", "NAME:ID", "QTY:NAME", "NOTE:"},
         {"ID:1", "NAME:1", "QTY:0"},
         {}},
        {"the mark stays while another row links it",
         [&] { EXPECT_TRUE(UnlinkRow(ws, t, s, 1)); },
         {"ID:", "NAME:ID", "QTY:NAME", "NOTE:"},
         {"ID:1", "NAME:1", "QTY:0"},
         {}},
        {"no target row chosen",
         [&] { EXPECT_FALSE(LinkRows(ws, t, s, 0, 3, prompts)); },
         {"ID:", "NAME:ID", "QTY:NAME", "NOTE:"},
         {"ID:1", "NAME:1", "QTY:0"},
         {"移入先のフィールドが選択されていません。"}},
        {"a line without a row",
         [&] { EXPECT_FALSE(UnlinkRow(ws, t, s, 9)); },
         {"ID:", "NAME:ID", "QTY:NAME", "NOTE:"},
         {"ID:1", "NAME:1", "QTY:0"},
         {}},
        {"same names unlinked only where linked so",
         [&] {
             LinkSameNames(ws, t, s);
             UnlinkSameNames(ws, t, s);
         },
         {"ID:", "NAME:", "QTY:", "NOTE:"},
         {"ID:0", "NAME:0", "QTY:0"},
         {}},
        {"everything unlinked",
         [&] {
             LinkRows(ws, t, s, 4, 3, prompts);
             UnlinkAll(ws, t, s);
         },
         {"ID:", "NAME:", "QTY:", "NOTE:"},
         {"ID:0", "NAME:0", "QTY:0"},
         {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        prompts.transcript.clear();
        step.act();
        EXPECT_EQ(Links(0), step.target);
        EXPECT_EQ(Links(1), step.source);
        EXPECT_EQ(prompts.transcript, step.said);
    }
}

// ---- The plan --------------------------------------------------------------------------------

TEST(ImportPlanTest, EachModeAndLinkKindMakesItsPlan) {
    const std::vector<ImportField> fields = {
        {"NO", std::string(kAutoNumberType), "4", "", "", ""}, // an auto number without a link
        {"ID", "dbLong", "4", "CODE", "dbText", "10"},         // a text into a number
        {"NAME", "dbText", "10", "NAME", "dbText", "20"},      // a text cut shorter
        {"NOTE", "dbMemo", "0", "", "", ""},                   // a memo without a link
        {"QTY", "dbLong", "4", "  ", "", "0"},                 // a blank link is none
    };
    using Shape = engine::ValueConversion::Shape;
    struct Expected {
        const char* target;
        const char* source;
        std::optional<Shape> conversion;
        bool autoNumber, textual;
    };
    const std::vector<Expected> expected = {
        {"NO", "", std::nullopt, true, false},
        {"ID", "CODE", Shape::ToNumber, false, false},
        {"NAME", "NAME", Shape::CutsText, false, true},
        {"NOTE", "", std::nullopt, false, true},
        {"QTY", "", std::nullopt, false, false},
    };
    struct Case {
        ImportMode mode;
        engine::CopyMode copyMode;
        const char* condition;
        const char* statement;
        std::vector<long> keyFields;
    };
    const Case cases[] = {
        {ImportMode::ReplaceAll, engine::CopyMode::ReplaceAll, "", "SELECT *  FROM [S 1]", {}},
        {ImportMode::AddOrUpdate,
         engine::CopyMode::AddOrUpdate,
         "  ",
         "SELECT *  FROM [S 1]",
         {2, 3}},
        {ImportMode::AddNew,
         engine::CopyMode::AddOnly,
         "ID > 1",
         "SELECT *  FROM [S 1] WHERE ID > 1",
         {2, 3}},
        {ImportMode::UpdateExisting,
         engine::CopyMode::UpdateOnly,
         "NAME = 'x'",
         "SELECT *  FROM [S 1] WHERE NAME = 'x'",
         {2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        ImportRequest request;
        request.mode = c.mode;
        request.targetTable = "T";
        request.sourceTable = "S 1";
        request.condition = c.condition;
        request.key = {{"id", "Name"}, "PrimaryKey"}; // matched without regard to case
        const engine::CopyPlan plan = ImportPlan(request, fields);
        EXPECT_EQ(plan.mode, c.copyMode);
        EXPECT_EQ(plan.sourceTable, "S 1");
        EXPECT_EQ(plan.targetTable, "T");
        EXPECT_EQ(plan.sourceStatement, c.statement);
        EXPECT_EQ(plan.keyIndex, "PrimaryKey");
        EXPECT_EQ(plan.keyFields, c.keyFields);
        ASSERT_EQ(plan.fields.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            const engine::CopyField& f = plan.fields[i];
            SCOPED_TRACE(f.target);
            EXPECT_EQ(f.target, expected[i].target);
            EXPECT_EQ(f.source, expected[i].source);
            EXPECT_EQ(f.conversion.has_value(), expected[i].conversion.has_value());
            if (f.conversion && expected[i].conversion) {
                EXPECT_EQ(f.conversion->Kind(), *expected[i].conversion);
            }
            EXPECT_EQ(f.autoNumber, expected[i].autoNumber);
            EXPECT_EQ(f.textual, expected[i].textual);
            EXPECT_FALSE(f.keepNumbers);
        }
    }
}

// ---- The checks before a run -----------------------------------------------------------------

TEST_F(ImportTest, ChecksRefuseARunInTheWindowsWords) {
    const std::string keyQuestion =
        "キーフィールドの連結フィールドは必ず指定して下さい。\r"
        "もしこのまま実行すると、未指定のキー内容は、ゼロ又は空白になり、\r"
        "重複した値となる可能性があります。処理を続行しますか。";
    struct Case {
        const char* what;
        ImportMode mode;
        bool readOnly;
        std::string refusal;
        bool noKey;
        bool keyLinked;
        std::vector<bool> answers;
        bool planned;
        std::vector<std::string> said;
    };
    const std::vector<Case> cases = {
        {"read-only target, in the engine's words",
         ImportMode::ReplaceAll,
         true,
         "読み取り専用です。",
         false,
         true,
         {},
         false,
         {"読み取り専用です。"}},
        {"read-only target without words",
         ImportMode::AddNew,
         true,
         "",
         false,
         true,
         {},
         false,
         {engine::DescriptionOf(engine::err::kReadOnly)}},
        {"keyed run without a primary key",
         ImportMode::AddOrUpdate,
         false,
         "",
         true,
         true,
         {},
         false,
         {"移入先テーブルに主キーがありません。主キーで検索する移入はできません。"}},
        {"keyed run with the key unlinked",
         ImportMode::UpdateExisting,
         false,
         "",
         false,
         false,
         {},
         false,
         {"キーフィールドの連結フィールドは必ず指定して下さい。"}},
        {"replace all with the key unlinked, declined",
         ImportMode::ReplaceAll,
         false,
         "",
         false,
         false,
         {false},
         false,
         {keyQuestion}},
        {"replace all with the key unlinked, accepted",
         ImportMode::ReplaceAll,
         false,
         "",
         false,
         false,
         {true},
         true,
         {keyQuestion}},
        {"replace all without a key", ImportMode::ReplaceAll, false, "", true, false, {}, true, {}},
        {"keyed run with the key linked", ImportMode::AddNew, false, "", false, true, {}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UnlinkAll(enginetest::Ws(), *rows[0], *rows[1]);
        if (c.keyLinked) LinkRows(enginetest::Ws(), *rows[0], *rows[1], 1, 1, prompts);
        ImportRequest request = Request(c.mode);
        request.targetReadOnly = c.readOnly;
        request.targetRefusal = c.refusal;
        if (c.noKey) request.key = {};
        prompts.transcript.clear();
        prompts.turns = Turns(c.answers);
        const std::optional<engine::CopyPlan> plan = PlanImport(request, *rows[0], prompts);
        EXPECT_EQ(plan.has_value(), c.planned);
        EXPECT_EQ(prompts.transcript, c.said);
        EXPECT_TRUE(prompts.turns.empty());
    }
}

// ---- Runs ------------------------------------------------------------------------------------

class ImportRunTest : public ImportTest, public ::testing::WithParamInterface<ImportPath> {
  protected:
    // The plan of mode over the same-named links, checked as the window checks it.
    engine::CopyPlan Plan(ImportMode mode) {
        LinkSameNames(enginetest::Ws(), *rows[0], *rows[1]);
        std::optional<engine::CopyPlan> plan = PlanImport(Request(mode), *rows[0], prompts);
        EXPECT_TRUE(plan.has_value());
        return plan ? *plan : engine::CopyPlan{};
    }
    // The run of mode; the user's answer to the closing question is keep.
    ImportOutcome Run(ImportMode mode, std::vector<bool> answers = {}) {
        const engine::CopyPlan plan = Plan(mode);
        prompts.transcript.clear();
        prompts.turns = Turns(answers);
        ImportOutcome outcome;
        RunImport(enginetest::Ws(), Request(mode), plan, GetParam(), prompts, progress, outcome);
        return outcome;
    }
    RecordedProgress progress;
};

TEST_P(ImportRunTest, EachModeLandsItsRecordsWithExactCountsAndOneCommit) {
    Add("S", {{Variant::Long(2), Variant("B2"), Variant("200")},
              {Variant::Long(3), Variant("C3"), Variant("300")}});
    const std::string question = "作業が終了しました。実行結果を更新しますか。";
    const std::string kept = "実行結果を更新しました。";
    struct Case {
        ImportMode mode;
        std::vector<std::string> records;
        long written;
        std::vector<std::string> said;
    };
    const std::vector<Case> cases = {
        {ImportMode::ReplaceAll, {"2 B2 200", "3 C3 300"}, 2, {question, kept}},
        {ImportMode::AddOrUpdate, {"1 a 10", "2 B2 200", "3 C3 300"}, 2, {question, kept}},
        {ImportMode::AddNew, {"1 a 10", "2 b 20", "3 C3 300"}, 1, {question, kept}},
        {ImportMode::UpdateExisting, {"1 a 10", "2 B2 200"}, 1, {question, kept}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        Fresh();
        Add("S", {{Variant::Long(2), Variant("B2"), Variant("200")},
                  {Variant::Long(3), Variant("C3"), Variant("300")}});
        const ImportOutcome outcome = Run(c.mode, {true});
        EXPECT_FALSE(outcome.failed);
        EXPECT_TRUE(outcome.committed);
        EXPECT_EQ(outcome.compiled, GetParam() == ImportPath::Compiled) << outcome.compiledFailure;
        EXPECT_EQ(outcome.counts.read, 2);
        EXPECT_EQ(outcome.counts.written, c.written);
        EXPECT_EQ(progress.last, std::make_pair(2L, c.written));
        EXPECT_EQ(prompts.transcript, c.said);
        EXPECT_EQ(Records("T"), c.records);
    }
}

TEST_P(ImportRunTest, AFailedOrDeclinedRunLeavesTheTargetAsItWas) {
    const std::vector<std::string> before = {"1 a 10", "2 b 20"};
    struct Case {
        const char* what;
        ImportMode mode;
        std::vector<std::vector<Variant>> source;
        std::vector<bool> answers;
        std::vector<std::string> said; // a prefix of each message said
        long engineError;              // the error the run ends with, 0 for none
    };
    const std::vector<Case> cases = {
        {"a value that does not convert",
         ImportMode::ReplaceAll,
         {{Variant::Long(5), Variant("e"), Variant("5")},
          {Variant::Long(6), Variant("f"), Variant("six")}},
         {},
         {"Error; ", "作業を取り消します。"},
         0},
        {"a blank the target's field refuses",
         ImportMode::AddOrUpdate,
         {{Variant::Long(7), Variant("g"), Variant("7")},
          {Variant::Long(8), Variant::Null(), Variant("8")}},
         {},
         {},
         3314},
        {"the user discards the result",
         ImportMode::AddOrUpdate,
         {{Variant::Long(9), Variant("h"), Variant("9")}},
         {false},
         {"作業が終了しました。実行結果を更新しますか。", "実行結果を破棄しました。"},
         0},
        {"a keyed run that changes nothing",
         ImportMode::UpdateExisting,
         {{Variant::Long(9), Variant("h"), Variant("9")}},
         {},
         {"作業が終了しました。更新したデータはありませんでした。"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        Add("S", c.source);
        long error = 0;
        ImportOutcome outcome;
        try {
            outcome = Run(c.mode, c.answers);
        } catch (const engine::Error& e) {
            error = e.Number();
        }
        EXPECT_EQ(error, c.engineError);
        EXPECT_FALSE(outcome.committed);
        EXPECT_EQ(Records("T"), before);
        ASSERT_EQ(prompts.transcript.size(), c.said.size());
        for (size_t i = 0; i < c.said.size(); ++i)
            EXPECT_EQ(prompts.transcript[i].rfind(c.said[i], 0), 0u) << prompts.transcript[i];
        EXPECT_TRUE(prompts.turns.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ImportRunTest,
                         ::testing::Values(ImportPath::Compiled, ImportPath::RowByRow),
                         [](const auto& info) {
                             return info.param == ImportPath::Compiled ? "Compiled"
                                                                       : "RecordByRecord";
                         });

} // namespace
