// The compiled import run (one statement with conversion functions) against the record-by-
// record run, on random tables, links, data, conditions and modes: both must leave the same
// files, stored value for stored value with the same auto-number counters, with the same counts
// and the same messages, or stop at the same first failure with the same messages.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "differential_support.h"
#include "forms/frmMdbCpy.h"
#include "modules/WorkStore.h"
#include "platform/common_dialog.h"
#include "platform/scripted.h"
#include "save_support.h"

using engine::Variant;
using tavorin::frmMdbCpy;
using tavorintest::TempDir;
namespace dao = engine::dao;
namespace fs = std::filesystem;

namespace {

const std::string kCommitted = "実行結果を更新しました。";
const std::string kNothingUpdated = "作業が終了しました。更新したデータはありませんでした。";
const std::string kCancelled = "作業を取り消します。";

struct Field {
    std::string name;
    int type;
    long size = 0;
    bool autoNumber = false;
    bool allowZeroLength = false;
    bool required = false;
};

struct Case {
    std::vector<Field> target, source;
    int keyFields = 1;    // the first fields of the target form its primary key
    std::string uniqueOn; // a unique index of the target on this field ("" for none)
    std::vector<std::vector<Variant>> targetRecords, sourceRecords;
    int mode = 0; // 0 replace all, 1..3 the keyed modes
    std::string condition;
    bool oneFile = false; // both tables in the target's file
};

// Key values from a small range, so that source keys meet target keys, each other, and (for
// texts) each other in another letter case.
Variant KeyValue(std::mt19937& rng, const Field& f) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    if (pick(14) == 0) return Variant::Null();
    static const char* const kKeyTexts[] = {"1", "2", "3",  "01", " 2",  "a", "A",
                                            "b", "B", "ab", "aB", "x12", ""};
    switch (f.type) {
    case dao::dbText:
    case dao::dbMemo:
        return Variant(tavorin::CutToBytes(kKeyTexts[pick(static_cast<int>(std::size(kKeyTexts)))],
                                           static_cast<int>(f.size)));
    case dao::dbDate:
        return Variant::Date(40000 + pick(6));
    case dao::dbBoolean:
        return Variant::Boolean(pick(2) == 0);
    default:
        return Variant::Long(pick(12));
    }
}

Field RandomField(std::mt19937& rng, const std::string& name) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto& [typeName, type] =
        difftest::kTypes[pick(static_cast<int>(std::size(difftest::kTypes)))];
    Field f{name, type};
    if (type == dao::dbText) f.size = 1 + pick(30);
    f.allowZeroLength = (type == dao::dbText || type == dao::dbMemo) && pick(2) == 0;
    f.required = pick(10) == 0;
    return f;
}

Case MakeCase(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Case c;
    c.mode = pick(4);
    c.oneFile = pick(3) == 0;
    static const int kKeyTypes[] = {dao::dbLong, dao::dbText,   dao::dbText,
                                    dao::dbDate, dao::dbDouble, dao::dbInteger};
    c.keyFields = pick(3) == 0 ? 2 : 1;
    for (int k = 1; k <= c.keyFields; ++k) {
        Field key{"K" + std::to_string(k), kKeyTypes[pick(static_cast<int>(std::size(kKeyTypes)))]};
        if (key.type == dao::dbText) key.size = 2 + pick(6);
        key.allowZeroLength = key.type == dao::dbText && pick(2) == 0;
        c.target.push_back(key);
    }
    if (pick(3) == 0) c.target.push_back({"AN", dao::dbLong, 4, true});
    const int others = 2 + pick(5);
    for (int i = 0; i < others; ++i) c.target.push_back(RandomField(rng, "F" + std::to_string(i)));
    if (pick(5) == 0) {
        const Field& f = c.target[c.target.size() - 1 - static_cast<size_t>(pick(others))];
        if (f.type != dao::dbMemo && f.type != dao::dbBoolean) c.uniqueOn = f.name;
    }

    // The source: most target fields under the same name (linked), of the same type or another,
    // and fields of its own, in a shuffled order. One case in four copies the target's layout,
    // which the run copies as the values are where it can.
    const bool sameLayout = seed % 4 == 0;
    for (const Field& t : c.target) {
        const bool key = t.name[0] == 'K';
        if (!(key ? (c.mode != 0 || pick(10) != 0) : pick(4) != 0)) continue;
        const bool sameType = pick(2) == 0;
        Field s = sameLayout || sameType ? t : RandomField(rng, t.name);
        s.autoNumber = false;
        s.required = false;
        if (key && s.type == dao::dbMemo) s.type = dao::dbText;
        if (s.type == dao::dbText && s.size == 0) s.size = 1 + pick(30);
        c.source.push_back(s);
    }
    for (int i = 0; i < 2; ++i) c.source.push_back(RandomField(rng, "X" + std::to_string(i)));
    for (Field& f : c.source) f.required = false;
    std::shuffle(c.source.begin(), c.source.end(), rng);
    // Half of those a copy of the target's table, field for field.
    if (seed % 8 == 0) {
        c.source = c.target;
        for (Field& f : c.source) f.autoNumber = f.required = false;
    }

    auto record = [&](const std::vector<Field>& fields) {
        std::vector<Variant> values;
        for (const Field& f : fields) {
            if (f.autoNumber)
                values.push_back(Variant());
            else if (f.name[0] == 'K')
                values.push_back(KeyValue(rng, f));
            else
                values.push_back(difftest::RandomValue(rng, f.type, f.size));
        }
        return values;
    };
    for (int n = pick(9); n > 0; --n) c.targetRecords.push_back(record(c.target));
    for (int n = pick(13); n > 0; --n) c.sourceRecords.push_back(record(c.source));

    static const char* const kConditions[] = {
        "",
        "",
        "",
        "",
        "",
        "   ",
        "K1 Is Not Null",
        "K1 Is Null Or X0 Is Not Null",
        "Not (X1 Is Null)",
        "F0 Is Not Null",
        "K1 = = 1",
        "X0 Is Not Null ORDER BY X1",
    };
    c.condition = kConditions[pick(static_cast<int>(std::size(kConditions)))];
    return c;
}

// Builds a table and adds the records the engine takes (a key taken twice, a Null where the
// field refuses it: that record is left out).
void WriteTable(const std::string& path, const std::string& name, const std::vector<Field>& fields,
                const std::vector<std::vector<Variant>>& records, int keyFields,
                const std::string& uniqueOn) {
    auto& ws = engine::DBEngine::Instance().Workspaces(0);
    auto db =
        fs::exists(path) ? ws.OpenDatabase(path) : ws.CreateDatabase(path, engine::kLangJapanese);
    auto td = db->CreateTableDef(name);
    for (const Field& f : fields) {
        auto field = td->CreateField(f.name, f.type, f.size);
        if (f.autoNumber) field->SetAttributes(dao::dbAutoIncrField);
        if (f.type == dao::dbText || f.type == dao::dbMemo)
            field->SetAllowZeroLength(f.allowZeroLength);
        field->SetRequired(f.required);
        td->Fields().Append(field);
    }
    if (keyFields > 0) {
        auto pk = td->CreateIndex("PrimaryKey");
        pk->SetPrimary(true);
        pk->SetUnique(true);
        for (int k = 0; k < keyFields; ++k)
            pk->Fields().Append(pk->CreateField(fields[static_cast<size_t>(k)].name));
        td->Indexes().Append(pk);
    }
    if (!uniqueOn.empty()) {
        auto ix = td->CreateIndex("Unique1");
        ix->SetUnique(true);
        ix->Fields().Append(ix->CreateField(uniqueOn));
        td->Indexes().Append(ix);
    }
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset(name);
    for (const auto& values : records) {
        try {
            rs->AddNew();
            for (size_t i = 0; i < fields.size(); ++i)
                if (!fields[i].autoNumber) rs->SetValue(i, values[i]);
            rs->Update();
        } catch (const engine::Error&) {
            rs->CancelUpdate();
        }
    }
    rs->Close();
    db->Close();
}

struct Outcome {
    std::vector<std::string> shown;
    long read = 0;
    long work = 0;
    bool compiled = false;
    bool asTheyAre = false;
    bool whole = false;
    std::string failure;
    std::vector<std::string> target, source;
};

class ImportDifferentialTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app.Store.SetWorkBaseOverride(work.Path());
        window = std::make_unique<frmMdbCpy>(app);
        ASSERT_TRUE(window->Form_Load());
    }
    void TearDown() override {
        if (window && !window->Ended()) window->mnEnd_Click();
        window.reset();
    }

    void Open(int side, const std::string& path, const std::string& table) {
        dialogs.Answer(QString::fromStdString(path));
        window->Text2_Click(2 * side + 1);
        const auto& tables = window->Sides[static_cast<size_t>(side)].TableList;
        for (size_t i = 0; i < tables.size(); ++i)
            if (tables[i].Name == table) window->List1[side]->setCurrentRow(static_cast<int>(i));
        window->List1_DblClick(side);
    }

    // Writes the case's files under prefix (then changes them with alter, when given) and runs
    // it along path.
    Outcome Run(const Case& c, const std::string& prefix, frmMdbCpy::RunPath path,
                const std::function<void(engine::Database&)>& alter = {},
                const std::function<void(engine::Database&)>& alterSource = {}) {
        const std::string targetFile = data.File(prefix + "_t.mdb");
        const std::string sourceFile = c.oneFile ? targetFile : data.File(prefix + "_s.mdb");
        WriteTable(targetFile, "T", c.target, c.targetRecords, c.keyFields, c.uniqueOn);
        WriteTable(sourceFile, "S", c.source, c.sourceRecords, 0, "");
        if (alter) alter(*engine::DBEngine::Instance().Workspaces(0).OpenDatabase(targetFile));
        if (alterSource)
            alterSource(*engine::DBEngine::Instance().Workspaces(0).OpenDatabase(sourceFile));
        Open(frmMdbCpy::kTarget, targetFile, "T");
        Open(frmMdbCpy::kSource, sourceFile, "S");
        window->mnCpyJoint_Click();
        window->Text5->setText(QString::fromStdString(c.condition));
        window->runPath = path;
        prompts.shown.clear();
        if (c.mode == 0)
            window->mnCpyDel_Click();
        else
            window->mnCpyUpd1_Click(c.mode);
        Outcome out{prompts.shown,
                    window->ReadCount,
                    window->WorkCount,
                    window->LastRun.compiled,
                    window->LastRun.asTheyAre,
                    window->LastRun.wholeRecords,
                    window->LastRun.compiledFailure,
                    {},
                    {}};
        out.target =
            difftest::StoredState(targetFile, c.oneFile ? std::vector<std::string>{"T", "S"}
                                                        : std::vector<std::string>{"T"});
        out.source = difftest::StoredState(sourceFile, {"S"});
        return out;
    }

    TempDir work, data;
    savetest::AnsweringPrompts prompts;
    platform::ScriptedFileDialogs dialogs;
    tavorin::AppContext app{
        engine::DBEngine::Instance().Workspaces(0),
        {.prompts = &prompts,
         .fileDialogs = &dialogs}}; // the run's state, which the window and the test share
    std::unique_ptr<frmMdbCpy> window;
};

// 400 cases in four runs of 100, so that ctest can run them side by side.
class ImportDifferentialRun : public ImportDifferentialTest,
                              public ::testing::WithParamInterface<unsigned> {};

TEST_P(ImportDifferentialRun, CompiledAndRecordByRecordRunsAgreeOnRandomCases) {
    constexpr unsigned kCases = 100;
    int compiled = 0, asTheyAre = 0, whole = 0, fellBack = 0, failedAlike = 0, byRecordOnly = 0;
    for (unsigned seed = GetParam() * kCases + 1; seed <= (GetParam() + 1) * kCases; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Case c = MakeCase(seed);
        const std::string name = std::to_string(seed);
        const Outcome byRecord = Run(c, "r" + name, frmMdbCpy::RunPath::RowByRow);
        const Outcome byStatement = Run(c, "c" + name, frmMdbCpy::RunPath::Compiled);
        EXPECT_EQ(byStatement.shown, byRecord.shown);
        EXPECT_EQ(byStatement.read, byRecord.read);
        EXPECT_EQ(byStatement.work, byRecord.work);
        EXPECT_EQ(byStatement.target, byRecord.target);
        EXPECT_EQ(byStatement.source, byRecord.source);
        EXPECT_FALSE(byRecord.compiled);

        const auto& shown = byRecord.shown;
        const bool succeeded =
            std::find(shown.begin(), shown.end(), kCommitted) != shown.end() ||
            std::find(shown.begin(), shown.end(), kNothingUpdated) != shown.end();
        const bool failed = std::find(shown.begin(), shown.end(), kCancelled) != shown.end();
        EXPECT_TRUE(byStatement.compiled || !byStatement.asTheyAre);
        EXPECT_TRUE(byStatement.asTheyAre || !byStatement.whole);
        if (byStatement.compiled) {
            EXPECT_TRUE(succeeded);
            ++compiled;
            if (byStatement.asTheyAre) ++asTheyAre;
            if (byStatement.whole) ++whole;
        } else if (!byStatement.failure.empty()) {
            // The statement met a failing value or record; the run record by record then
            // reported it, or (where the statement checks more records than the run touches)
            // went through.
            ++(failed ? failedAlike : fellBack);
        } else {
            ++byRecordOnly;
        }
        if (HasFailure()) break;
    }
    std::printf("compiled: %d (copying values as they are: %d, whole records: %d), failing alike: "
                "%d, fell back and "
                "went through: %d, record by record only: %d\n",
                compiled, asTheyAre, whole, failedAlike, fellBack, byRecordOnly);
    // The cases exercise the statement's runs and its failures, not only the layouts it leaves.
    EXPECT_GE(compiled, 30);
    EXPECT_GE(asTheyAre, 3);
    EXPECT_GE(failedAlike, 10);
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportDifferentialRun, ::testing::Range(0u, 4u));

// Tables of one layout: the run copies the values as they are while every value would pass its
// conversion unchanged (also a text whose UTF-8 bytes exceed the size its code page 932 bytes
// fill exactly), replace all copying whole records while the source's rowids run 1..N, and
// goes with the conversions as soon as one would change (a Null that the field's empty-text
// rule turns into "", a text on a field that is now shorter), giving what the record-by-record
// run gives either way.
TEST_F(ImportDifferentialTest, SameLayoutsCopyValuesAsTheyAreOnlyWhileNothingWouldChange) {
    const std::string fullSize = "漢字漢字漢字漢字漢字"; // 20 code page 932 bytes, 30 in UTF-8
    Case c;
    c.target = {{"K1", dao::dbLong},
                {"NAME", dao::dbText, 20, false, true},
                {"QTY", dao::dbDouble},
                {"AT", dao::dbDate}};
    c.source = c.target;
    c.targetRecords = {
        {Variant::Long(2), Variant("old"), Variant::Double(1), Variant::Date(40000)}};
    c.sourceRecords = {
        {Variant::Long(1), Variant(fullSize), Variant::Double(2.5), Variant::Date(40001.5)},
        {Variant::Long(2), Variant("ｶﾅ"), Variant::Null(), Variant::Date(40002)},
        {Variant::Long(3), Variant("x"), Variant::Double(-7), Variant::Null()}};
    struct Variation {
        const char* name;
        std::function<void(Case&)> change;
        bool asTheyAre;
        bool whole; // in replace all
        std::function<void(engine::Database&)> alterSource = {};
    };
    auto firstRecordDeleted = [](engine::Database& db) {
        db.Execute("DELETE * FROM S WHERE K1 = 1");
    };
    const Variation variations[] = {
        {"values pass", [](Case&) {}, true, true},
        {"a gap in the rowids", [](Case&) {}, true, false, firstRecordDeleted},
        {"a Null text", [](Case& v) { v.sourceRecords[2][1] = Variant::Null(); }, false, false},
        {"a shorter field", [](Case& v) { v.target[1].size = 19; }, false, false},
    };
    for (const Variation& variation : variations) {
        SCOPED_TRACE(variation.name);
        for (int mode : {0, 1, 3}) {
            Case v = c;
            v.mode = mode;
            variation.change(v);
            const std::string name =
                std::string(variation.name).substr(0, 5) + std::to_string(mode);
            const Outcome byRecord =
                Run(v, "r" + name, frmMdbCpy::RunPath::RowByRow, {}, variation.alterSource);
            const Outcome byStatement =
                Run(v, "c" + name, frmMdbCpy::RunPath::Compiled, {}, variation.alterSource);
            EXPECT_TRUE(byStatement.compiled);
            EXPECT_EQ(byStatement.asTheyAre, variation.asTheyAre);
            EXPECT_EQ(byStatement.whole, variation.whole && mode == 0);
            EXPECT_EQ(byStatement.shown, byRecord.shown);
            EXPECT_EQ(byStatement.read, byRecord.read);
            EXPECT_EQ(byStatement.work, byRecord.work);
            EXPECT_EQ(byStatement.target, byRecord.target);
            ASSERT_FALSE(byRecord.shown.empty());
            EXPECT_EQ(byRecord.shown.back(), kCommitted);
        }
    }
}

// An update writes the whole record again, so the fields it leaves as they are must pass the
// field's rules too: a record stored before its field refused the empty text or a Null stops
// the run at that record, whichever way it goes.
TEST_F(ImportDifferentialTest, AnUpdateStopsAtARecordWhoseUnchangedFieldBreaksTheFieldsRules) {
    Case c;
    c.target = {{"K1", dao::dbLong}, {"NAME", dao::dbText, 10, false, true}, {"QTY", dao::dbLong}};
    c.source = {{"K1", dao::dbLong}, {"QTY", dao::dbLong}};
    c.targetRecords = {{Variant::Long(1), Variant("a"), Variant::Long(5)},
                       {Variant::Long(2), Variant(""), Variant::Long(6)},
                       {Variant::Long(3), Variant::Null(), Variant::Long(7)}};
    c.sourceRecords = {{Variant::Long(1), Variant::Long(50)},
                       {Variant::Long(4), Variant::Long(80)},
                       {Variant::Long(2), Variant::Long(60)},
                       {Variant::Long(3), Variant::Long(70)}};
    struct Rule {
        const char* name;
        std::function<void(engine::Field&)> set;
        const char* error;
    };
    const Rule rules[] = {
        {"empty text refused", [](engine::Field& f) { f.SetAllowZeroLength(false); },
         "Error;  3315\r"},
        {"value required", [](engine::Field& f) { f.SetRequired(true); }, "Error;  3314\r"},
    };
    for (const Rule& rule : rules) {
        SCOPED_TRACE(rule.name);
        for (int mode : {1, 3}) {
            c.mode = mode;
            const std::string name = std::string(rule.name).substr(0, 5) + std::to_string(mode);
            auto alter = [&](engine::Database& db) {
                rule.set(*db.TableDefs().Item("T")->Fields().Item("NAME"));
            };
            const Outcome byRecord = Run(c, "r" + name, frmMdbCpy::RunPath::RowByRow, alter);
            const Outcome byStatement = Run(c, "c" + name, frmMdbCpy::RunPath::Compiled, alter);
            ASSERT_EQ(byRecord.shown.size(), 2u);
            EXPECT_EQ(byRecord.shown[0].rfind(rule.error, 0), 0u) << byRecord.shown[0];
            EXPECT_EQ(byRecord.shown[1], kCancelled);
            EXPECT_EQ(byStatement.shown, byRecord.shown);
            EXPECT_EQ(byStatement.target, byRecord.target);
            EXPECT_FALSE(byStatement.compiled);
            EXPECT_FALSE(byStatement.failure.empty());
        }
    }
}

} // namespace
