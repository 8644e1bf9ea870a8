// Import runs: replace all and the three keyed modes, the key-link checks and refusals, the
// conversion of each value, the counts, the final questions, and every way a run can fail
// leaving the target exactly as it was.
#include <QAction>
#include <QLabel>
#include <QPushButton>

#include "engine/jet4_writer.h"
#include "engine/testing/jet_copies.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "import_support.h"

using namespace importtest;

namespace {

const QString kAccept = "作業が終了しました。実行結果を更新しますか。";
const QString kAcceptNothing =
    "作業が終了しました。移入したデータはありませんでした。実行結果を更新しますか。";
const QString kNothingUpdated = "作業が終了しました。更新したデータはありませんでした。";
const QString kCommitted = "実行結果を更新しました。";
const QString kDiscarded = "実行結果を破棄しました。";
const QString kCancelled = "作業を取り消します。";
const QString kKeyRequired = "キーフィールドの連結フィールドは必ず指定して下さい。";
const QString kKeyQuestion = "キーフィールドの連結フィールドは必ず指定して下さい。\rもしこのまま実"
                             "行すると、未指定のキー内容は、ゼロ又は空白になり、"
                             "\r重複した値となる可能性があります。処理を続行しますか。";

// Target T: ID Long (key), NAME Text 20 (zero length allowed), QTY Long, NOTE Text 10 (zero
// length refused), MEMO Memo, SEQ auto number, FLAG Boolean; records 1..3.
// Source S: ID Long (key), NAME Text 30, QTY Text 10 (numbers as text), NOTE Text 10, SEQ Long,
// EXTRA Text 5; records 2..5.
void MakeTarget(const std::string& path) {
    tavorintest::MakeTable(path, "T",
                           {{"ID", dao::dbLong},
                            {"NAME", dao::dbText, 20},
                            {"QTY", dao::dbLong},
                            {"NOTE", dao::dbText, 10},
                            {"MEMO", dao::dbMemo},
                            {"SEQ", dao::dbLong, 0, dao::dbAutoIncrField},
                            {"FLAG", dao::dbBoolean}},
                           {{"PrimaryKey", true, true, {{"ID", false}}}});
    {
        engine::DatabasePtr db = Ws().OpenDatabase(path);
        db->TableDefs().Item("T")->Fields().Item("NAME")->SetAllowZeroLength(true);
    }
    AddRecords(path, "T",
               {{Variant::Long(1), Variant("one"), Variant::Long(10), Variant("n1"), Variant("m1"),
                 Variant(), Variant::Boolean(true)},
                {Variant::Long(2), Variant("two"), Variant::Long(20), Variant("n2"), Variant("m2"),
                 Variant(), Variant::Boolean(true)},
                {Variant::Long(3), Variant("three"), Variant::Long(30), Variant("n3"),
                 Variant("m3"), Variant(), Variant::Boolean(true)}});
}

void MakeSource(const std::string& path, const std::string& table = "S") {
    tavorintest::MakeTable(path, table,
                           {{"ID", dao::dbLong},
                            {"NAME", dao::dbText, 30},
                            {"QTY", dao::dbText, 10},
                            {"NOTE", dao::dbText, 10},
                            {"SEQ", dao::dbLong},
                            {"EXTRA", dao::dbText, 5}},
                           {{"PK", true, true, {{"ID", false}}}});
    AddRecords(path, table,
               {{Variant::Long(2), Variant("zwei"), Variant("25"), Variant("s2"),
                 Variant::Long(902), Variant("e")},
                {Variant::Long(3), Variant("drei"), Variant("35"), Variant::Null(),
                 Variant::Long(903), Variant("e")},
                {Variant::Long(4), Variant("vier"), Variant("45"), Variant("s4"),
                 Variant::Long(904), Variant("e")},
                {Variant::Long(5), Variant("fünf"), Variant(" 55 "), Variant("s5"),
                 Variant::Long(905), Variant("e")}});
}

class ImportRunTest : public ImportTest {
  protected:
    void SetUp() override {
        ImportTest::SetUp();
        target = data.File("target.mdb");
        source = data.File("source.mdb");
        MakeTarget(target);
        MakeSource(source);
    }
    // Both tables chosen and their same-named fields linked.
    void Prepare(const std::string& sourceTable = "S") {
        Open(kTarget, target, "T");
        Open(kSource, source, sourceTable);
        W().mnCpyJoint->trigger();
    }
    void Unlink(const std::string& targetField) {
        const auto rows = WorkRows(kTarget);
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i][1] == targetField) {
                W().VScroll1[kTarget]->setValue(static_cast<int>(i));
                Click(1);
                W().mnCpyJointCan->trigger();
                W().VScroll1[kTarget]->setValue(0);
                return;
            }
        FAIL() << targetField;
    }
    // The records of T as "ID|NAME|QTY|NOTE|MEMO|SEQ|FLAG|" in ID order, Null as <null>.
    std::vector<std::string> Records(const std::string& path, const std::string& table = "T") {
        return importtest::Records(path, table);
    }
    std::string Record(long id) {
        for (const std::string& row : Records(target))
            if (row.rfind(std::to_string(id) + "|", 0) == 0) return row;
        return "<none>";
    }
    bool SidesCleared() {
        return W().Text1[0]->text().isEmpty() && W().Text1[2]->text().isEmpty() &&
               WorkRows(kTarget).empty() && WorkRows(kSource).empty();
    }
    std::string target, source;
};

// ---- Keyed modes -------------------------------------------------------------------------------

TEST_F(ImportRunTest, Mode1AddsAndUpdatesAndCountsBoth) {
    Prepare();
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyUpd1[1]->trigger();
    EXPECT_EQ(Status(), "読込件数 ＝  4   作業件数 ＝  4");
    EXPECT_EQ(W().ReadCount, 4);
    EXPECT_EQ(W().WorkCount, 4);
    // Updated: linked fields converted (QTY text to Long), the unlinked MEMO and FLAG kept, the
    // auto number SEQ never written; NOTE's Null lands as Null (its field refuses "").
    EXPECT_EQ(Record(1), "1|one|10|n1|m1|1|True|");
    EXPECT_EQ(Record(2), "2|zwei|25|s2|m2|2|True|");
    EXPECT_EQ(Record(3), "3|drei|35|<null>|m3|3|True|");
    // Added: unlinked MEMO is Null (zero length refused), FLAG 0 (False), SEQ numbered on.
    EXPECT_EQ(Record(4), "4|vier|45|s4|<null>|4|False|");
    EXPECT_EQ(Record(5), "5|fünf|55|s5|<null>|5|False|");
    EXPECT_TRUE(SidesCleared());
    EXPECT_EQ(QApplication::focusWidget(), W().Text1[0]);
    EXPECT_FALSE(W().mnCpyDel->isEnabled());
}

TEST_F(ImportRunTest, Mode2AddingNothingRollsBack) {
    AddRecords(target, "T", {{Variant::Long(4), Variant("x")}, {Variant::Long(5), Variant("y")}});
    const auto before = Records(target);
    Prepare();
    prompts.Expect(kNothingUpdated);
    W().mnCpyUpd1[2]->trigger();
    EXPECT_EQ(W().ReadCount, 4);
    EXPECT_EQ(W().WorkCount, 0);
    EXPECT_EQ(Records(target), before);
    EXPECT_TRUE(SidesCleared()); // a run without failure clears the sides either way
}

TEST_F(ImportRunTest, Mode2OnlyAddsNewKeysAndMode3OnlyUpdatesExistingOnes) {
    Prepare();
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyUpd1[2]->trigger();
    EXPECT_EQ(W().WorkCount, 2);
    EXPECT_EQ(Record(2), "2|two|20|n2|m2|2|True|");
    EXPECT_EQ(Record(4), "4|vier|45|s4|<null>|4|False|");

    MakeSource(source, "S2");
    AddRecords(source, "S2", {{Variant::Long(9), Variant("neun"), Variant("99")}});
    Prepare("S2");
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyUpd1[3]->trigger();
    EXPECT_EQ(W().ReadCount, 5);
    EXPECT_EQ(W().WorkCount, 4); // 2..5 exist now, 9 does not
    EXPECT_EQ(Record(2), "2|zwei|25|s2|m2|2|True|");
    EXPECT_EQ(Record(9), "<none>");
}

TEST_F(ImportRunTest, RefusingTheResultLeavesTheTargetAsItWas) {
    const auto before = Records(target);
    Prepare();
    prompts.Expect(kAccept, platform::vbCancel);
    prompts.Expect(kDiscarded);
    W().mnCpyUpd1[1]->trigger();
    EXPECT_EQ(Records(target), before);
    EXPECT_TRUE(SidesCleared());
}

TEST_F(ImportRunTest, KeyedModesNeedTheKeyLinkedAndAPrimaryKey) {
    Prepare();
    Unlink("ID");
    prompts.Expect(kKeyRequired);
    W().mnCpyUpd1[1]->trigger();
    EXPECT_EQ(W().Text1[0]->text(), "T"); // nothing ran
    EXPECT_FALSE(fs::exists(W().ScratchPath));

    tavorintest::MakeTable(target, "NOKEY", {{"ID", dao::dbLong}, {"NAME", dao::dbText, 20}});
    Open(kTarget, target, "NOKEY");
    W().mnCpyJoint->trigger();
    for (int mode = 1; mode <= 3; ++mode) {
        prompts.Expect("移入先テーブルに主キーがありません。主キーで検索する移入はできません。");
        W().mnCpyUpd1[static_cast<size_t>(mode)]->trigger();
    }
    EXPECT_TRUE(Records(target, "NOKEY").empty());
}

TEST_F(ImportRunTest, ReplaceAllAsksOncePerUnlinkedKeyField) {
    tavorintest::MakeTable(target, "K2",
                           {{"A", dao::dbLong}, {"B", dao::dbText, 10}, {"C", dao::dbLong}},
                           {{"PrimaryKey", true, true, {{"A", false}, {"B", false}}}});
    AddRecords(target, "K2", {{Variant::Long(7), Variant("x"), Variant::Long(1)}});
    Open(kTarget, target, "K2");
    Open(kSource, source, "S");
    Link(2, 0); // C <- ID; A and B unlinked
    const auto before = Records(target, "K2");
    prompts.Expect(kKeyQuestion, platform::vbOK);
    prompts.Expect(kKeyQuestion, platform::vbCancel);
    W().mnCpyDel->trigger();
    EXPECT_EQ(Records(target, "K2"), before);
    EXPECT_EQ(W().Text1[0]->text(), "K2");

    // Going on past the questions: the unlinked key fields get 0 and, as B refuses the empty
    // text, Null, which the primary key refuses; nothing is changed.
    prompts.Expect(kKeyQuestion, platform::vbOK);
    prompts.Expect(kKeyQuestion, platform::vbOK);
    prompts.ExpectAny();
    prompts.Expect(kCancelled);
    W().mnCpyDel->trigger();
    EXPECT_TRUE(prompts.Shown()[prompts.Shown().size() - 2].text.startsWith("Error;  3058\r"));
    EXPECT_EQ(Records(target, "K2"), before);
    EXPECT_EQ(W().Text1[0]->text(), "K2"); // a failed run keeps the sides
}

// ---- Replace all -----------------------------------------------------------------------------

TEST_F(ImportRunTest, ReplaceAllPutsTheSourceRecordsInPlaceOfTheTargets) {
    Prepare();
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyDel->trigger();
    EXPECT_EQ(Records(target), (std::vector<std::string>{"2|zwei|25|s2|<null>|4|False|",
                                                         "3|drei|35|<null>|<null>|5|False|",
                                                         "4|vier|45|s4|<null>|6|False|",
                                                         "5|fünf|55|s5|<null>|7|False|"}));
    EXPECT_EQ(Status(), "読込件数 ＝  4   作業件数 ＝  4");
    EXPECT_TRUE(SidesCleared());
}

TEST_F(ImportRunTest, AConditionSelectingNothingAsksAndBothAnswersHold) {
    const auto before = Records(target);
    Prepare();
    W().Text5->setText("ID > 100");
    prompts.Expect(kAcceptNothing, platform::vbCancel);
    prompts.Expect(kDiscarded);
    W().mnCpyDel->trigger();
    EXPECT_EQ(Records(target), before);

    Prepare();
    W().Text5->setText("ID > 100");
    prompts.Expect(kAcceptNothing, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyDel->trigger();
    EXPECT_TRUE(Records(target).empty());
}

TEST_F(ImportRunTest, TheConditionSelectsTheSourceRecordsAndABlankOneSelectsAll) {
    Prepare();
    W().Text5->setText("NAME Like \"*r*\" And ID <> 3");
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyDel->trigger();
    EXPECT_EQ(W().ReadCount, 1);
    EXPECT_EQ(Records(target).size(), 1u);
    EXPECT_EQ(Record(4), "4|vier|45|s4|<null>|4|False|");

    Prepare();
    W().Text5->setText("    ");
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyDel->trigger();
    EXPECT_EQ(W().ReadCount, 4);
    EXPECT_EQ(Records(target).size(), 4u);
}

// A condition may read the source file's other tables, also correlated with the source's
// records: the compiled statement and the record-by-record run select the same records. SQLite
// tests a correlated subquery after the statement's record count, so such a condition leaves
// the statement to the record-by-record run.
TEST_F(ImportRunTest, AConditionWithASubqueryOverTheSourceFileSelectsItsRecords) {
    tavorintest::MakeTable(source, "PICK", {{"ID", dao::dbLong}, {"WHY", dao::dbText, 10}});
    AddRecords(source, "PICK",
               {{Variant::Long(4), Variant("x")},
                {Variant::Long(5), Variant("y")},
                {Variant::Long(2), Variant("z")}});
    struct Case {
        const char* condition;
        bool compiled;
    };
    const Case cases[] = {
        {"ID In (Select ID From PICK Where WHY <> 'z') And ID In (Select ID From S Where NOTE Is "
         "Not Null)",
         true},
        {"Exists (Select * From PICK As p Where p.ID = S.ID And WHY <> 'z') And NOTE Is Not Null",
         false},
    };
    for (const Case& c : cases) {
        for (frmMdbCpy::RunPath path :
             {frmMdbCpy::RunPath::Compiled, frmMdbCpy::RunPath::RowByRow}) {
            SCOPED_TRACE(std::string(c.condition) +
                         (path == frmMdbCpy::RunPath::Compiled ? " compiled" : " by record"));
            Prepare();
            W().runPath = path;
            W().Text5->setText(c.condition);
            prompts.Expect(kAccept, platform::vbOK);
            prompts.Expect(kCommitted);
            W().mnCpyDel->trigger();
            EXPECT_EQ(W().LastRun.compiled, c.compiled && path == frmMdbCpy::RunPath::Compiled)
                << W().LastRun.compiledFailure;
            EXPECT_EQ(W().ReadCount, 2);
            EXPECT_EQ(Records(target).size(), 2u);
            EXPECT_NE(Record(4), "<none>");
            EXPECT_NE(Record(5), "<none>");
        }
    }
}

TEST_F(ImportRunTest, AHostileOrMalformedConditionIsRefusedAndTheTargetUnchanged) {
    const auto before = Records(target);
    Prepare();
    for (const char* condition :
         {"1=1; DELETE * FROM T", "ID = 1) OR (1=1", "NAME = 'x' --", "ID ="}) {
        SCOPED_TRACE(condition);
        W().Text5->setText(condition);
        prompts.ExpectAny();
        prompts.Expect(kCancelled);
        W().mnCpyDel->trigger();
        ASSERT_GE(prompts.Shown().size(), 2u);
        EXPECT_TRUE(prompts.Shown()[prompts.Shown().size() - 2].text.startsWith("Error;  3075\r"))
            << prompts.Shown()[prompts.Shown().size() - 2].text.toStdString();
        EXPECT_EQ(Records(target), before);
        EXPECT_EQ(Records(source, "S").size(), 4u);
        EXPECT_EQ(W().Text1[0]->text(), "T");
        EXPECT_EQ(LinkOf("NAME"), "NAME"); // the links stay for another try
    }
    // An unknown field is the engine's other condition error.
    W().Text5->setText("NOSUCH = 1");
    prompts.ExpectAny();
    prompts.Expect(kCancelled);
    W().mnCpyUpd1[1]->trigger();
    EXPECT_TRUE(prompts.Shown()[prompts.Shown().size() - 2].text.startsWith("Error;  3061\r"));
    EXPECT_EQ(Records(target), before);
}

TEST_F(ImportRunTest, AConversionFailureRollsBackAndTheTargetIsUnchanged) {
    AddRecords(source, "S", {{Variant::Long(8), Variant("acht"), Variant("x12")}});
    const auto before = Records(target);
    Prepare();
    prompts.Expect("Error;  13 in QTY\r型が一致しません。");
    prompts.Expect(kCancelled);
    W().mnCpyDel->trigger();
    EXPECT_EQ(Records(target), before); // the deletion too is undone
    EXPECT_EQ(W().Text1[0]->text(), "T");

    prompts.Expect("Error;  13 in QTY\r型が一致しません。");
    prompts.Expect(kCancelled);
    W().mnCpyUpd1[1]->trigger();
    EXPECT_EQ(Records(target), before);
}

// Records what the progress label says whenever a message box comes up.
class LabelAtMessages : public platform::ScriptedPrompts {
  public:
    explicit LabelAtMessages(const QLabel* label) : label_(label) {}
    int MsgBox(const QString& text, int style, const QString& title) override {
        labels.push_back(label_->text());
        return ScriptedPrompts::MsgBox(text, style, title);
    }
    QStringList labels;

  private:
    const QLabel* label_;
};

TEST_F(ImportRunTest, WhileARunsErrorIsShownTheLabelHasTheCountsItStoppedAt) {
    // The fifth record in key order fails its conversion, after four read and written.
    AddRecords(source, "S", {{Variant::Long(8), Variant("acht"), Variant("x12")}});
    for (QAction* command : {W().mnCpyDel, W().mnCpyUpd1[1]}) {
        SCOPED_TRACE(command->text().toStdString());
        Prepare();
        LabelAtMessages watch(W().Label2);
        platform::ScopedStandIns installed(app.Platform, {.prompts = &watch});
        watch.Expect("Error;  13 in QTY\r型が一致しません。");
        watch.Expect(kCancelled);
        command->trigger();
        EXPECT_TRUE(watch.Unexpected().isEmpty());
        ASSERT_EQ(watch.labels.size(), 2);
        EXPECT_EQ(watch.labels[0], "読込件数 ＝  4   作業件数 ＝  4");
    }
}

TEST_F(ImportRunTest, ADuplicateKeyIsToldInJapaneseWithSQLitesWordsAsDetails) {
    tavorintest::MakeTable(
        target, "DUPT", {{"ID", dao::dbLong}, {"NAME", dao::dbText, 20}},
        {{"PrimaryKey", true, true, {{"ID", false}}}, {"UN", false, true, {{"NAME", false}}}});
    tavorintest::MakeTable(source, "D", {{"ID", dao::dbLong}, {"NAME", dao::dbText, 20}}, {});
    AddRecords(source, "D",
               {{Variant::Long(1), Variant("same")}, {Variant::Long(2), Variant("same")}});
    Open(kTarget, target, "DUPT");
    Open(kSource, source, "D");
    W().mnCpyJoint->trigger();
    prompts.Expect("Error;  3022\r" +
                   QString::fromStdString(engine::DescriptionOf(engine::err::kDuplicateKey)));
    prompts.Expect(kCancelled);
    W().mnCpyDel->trigger();
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_EQ(prompts.Shown()[0].details, "UNIQUE constraint failed: DUPT.NAME");
    EXPECT_TRUE(Records(target, "DUPT").empty());
}

TEST_F(ImportRunTest, ATextIsCutToTheTargetsSizeByItsBytes) {
    tavorintest::MakeTable(target, "SHORT", {{"ID", dao::dbLong}, {"NAME", dao::dbText, 5}});
    Open(kTarget, target, "SHORT");
    Open(kSource, source, "S");
    W().mnCpyJoint->trigger();
    AddRecords(source, "S", {{Variant::Long(6), Variant("日本語です"), Variant("1")}});
    W().Text5->setText("ID = 6");
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyDel->trigger();
    EXPECT_EQ(Records(target, "SHORT"), std::vector<std::string>{"6|日本|"});
}

TEST_F(ImportRunTest, ReplaceAllOnTheSameTableReadsAScratchCopy) {
    Open(kTarget, target, "T");
    Open(kSource, target, "T");
    W().mnCpyJoint->trigger();
    Unlink("NAME");
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyDel->trigger();
    EXPECT_TRUE(fs::exists(W().ScratchPath));
    // Its own records converted: NAME unlinked now "", SEQ renumbered, the rest as they were.
    EXPECT_EQ(Records(target),
              (std::vector<std::string>{"1||10|n1|m1|4|True|", "2||20|n2|m2|5|True|",
                                        "3||30|n3|m3|6|True|"}));
    EXPECT_EQ(Records(W().ScratchPath).size(), 3u);
}

TEST_F(ImportRunTest, TheSameFileReachedByAnotherPathIsStillReadFromACopy) {
    const std::string link = data.File("link.mdb");
    fs::create_symlink(target, link);
    const auto before = Records(target);
    Open(kTarget, target, "T");
    Open(kSource, link, "T");
    W().mnCpyJoint->trigger();
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyDel->trigger();
    EXPECT_TRUE(fs::exists(W().ScratchPath));
    // Every record back, only the auto numbers renewed: nothing deleted before it was read.
    ASSERT_EQ(Records(target).size(), before.size());
    EXPECT_EQ(Record(2), "2|two|20|n2|m2|5|True|");
}

TEST_F(ImportRunTest, KeyedModesOnTheSameTableUpdateItInPlace) {
    Open(kTarget, target, "T");
    Open(kSource, target, "T");
    Link(2, 0); // QTY <- ID
    Link(0, 0); // ID <- ID
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyUpd1[3]->trigger();
    EXPECT_EQ(W().WorkCount, 3);
    EXPECT_EQ(Records(target),
              (std::vector<std::string>{"1|one|1|n1|m1|1|True|", "2|two|2|n2|m2|2|True|",
                                        "3|three|3|n3|m3|3|True|"}));
    EXPECT_FALSE(fs::exists(W().ScratchPath));
}

TEST_F(ImportRunTest, NamesWithApostrophesAndSymbolsImport) {
    tavorintest::MakeTable(target, "it's (T)", {{"a'b", dao::dbLong}, {"c d", dao::dbText, 10}},
                           {{"PrimaryKey", true, true, {{"a'b", false}}}});
    tavorintest::MakeTable(source, "(src)'s", {{"a'b", dao::dbLong}, {"c d", dao::dbText, 10}});
    AddRecords(source, "(src)'s",
               {{Variant::Long(1), Variant("x")}, {Variant::Long(2), Variant("y")}});
    Open(kTarget, target, "it's (T)");
    Open(kSource, source, "(src)'s");
    W().mnCpyJoint->trigger();
    W().Text5->setText("[c d] <> 'q'");
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyUpd1[1]->trigger();
    EXPECT_EQ(Records(target, "it's (T)"), (std::vector<std::string>{"1|x|", "2|y|"}));
}

TEST_F(ImportRunTest, ARunClosesTheRecordViews) {
    Prepare();
    QTest::mouseClick(W().Command1[2], Qt::LeftButton);
    QTest::mouseClick(W().Command1[3], Qt::LeftButton);
    EXPECT_EQ(W().Sides[kTarget].ViewState, 9);
    EXPECT_EQ(W().Sides[kSource].ViewState, 9);
    prompts.Expect(kAccept, platform::vbCancel);
    prompts.Expect(kDiscarded);
    W().mnCpyUpd1[1]->trigger();
    EXPECT_EQ(W().Sides[kTarget].ViewState, 0);
    EXPECT_EQ(W().Sides[kSource].ViewState, 0);
}

// ---- Genuine Jet files -------------------------------------------------------------------------

// A genuine Jet target takes every mode as a native one does: the target table made in a copy
// of every genuine test file (and in a Jet 4 file of the engine's writer), then read afresh from
// the file (through the reader program, and by mdbtools), holds what the native twin holds, and
// the file keeps its version.
TEST_F(ImportRunTest, AGenuineJetTargetTakesEveryModeAsANativeOne) {
    std::vector<std::string> genuine;
    if (shareddata::Present()) {
        for (const char* f : jettest::kJetFiles) genuine.push_back(jettest::JetFile(f));
    } else {
        std::cout << shareddata::MissingLine() << " (only the engine's own Jet 4 file is tried)\n";
    }
    for (int mode = 0; mode <= 3; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const std::string native = data.File("native" + std::to_string(mode) + ".mdb");
        MakeTarget(native);
        std::vector<std::string> jets = {data.File("jet" + std::to_string(mode) + ".mdb")};
        engine::WriteJet4(*Ws().OpenDatabase(native), jets[0]);
        for (size_t i = 0; i < genuine.size(); ++i) {
            const std::string copy =
                data.File("genuine" + std::to_string(mode) + "_" + std::to_string(i) + ".mdb");
            fs::copy_file(genuine[i], copy);
            fs::permissions(copy, fs::perms::owner_read |
                                      fs::perms::owner_write); // shared files are read-only
            MakeTarget(copy); // the table lands in the file as it is made
            jets.push_back(copy);
        }
        std::vector<char> versions;
        for (const auto& jet : jets) versions.push_back(jettest::ReadWhole(jet)[0x14]);
        std::vector<std::string> files = jets;
        files.insert(files.begin(), native);
        for (const std::string& file : files) {
            SCOPED_TRACE(file);
            target = file;
            Prepare();
            prompts.Expect(kAccept, platform::vbOK);
            prompts.Expect(kCommitted);
            if (mode == 0)
                W().mnCpyDel->trigger();
            else
                W().mnCpyUpd1[static_cast<size_t>(mode)]->trigger();
        }
        engine::ForgetJetCopies();
        const auto expected = Records(native);
        for (size_t i = 0; i < jets.size(); ++i) {
            SCOPED_TRACE(jets[i]);
            EXPECT_EQ(Records(jets[i]), expected);
            EXPECT_EQ(jettest::ReadWhole(jets[i])[0x14], versions[i]);
            std::string errors =
                jettest::Run("mdb-export " + jettest::ShellQuote(jets[i]) + " T 2>&1 >/dev/null");
            EXPECT_EQ(errors, "");
            EXPECT_EQ(jettest::MdbExport(jets[i], "T").size(), expected.size() + 1); // header line
        }
    }
}

TEST_F(ImportRunTest, AReadOnlyGenuineFileIsASourceButNotATarget) {
    const std::string jet = TESTDATA_DIR "/jet/testV1997.mdb";
    if (!fs::exists(jet)) GTEST_SKIP() << "no Jet test files at " << TESTDATA_DIR;
    tavorintest::MakeTable(
        target, "J",
        {{"A", dao::dbText, 50}, {"E", dao::dbLong}, {"G", dao::dbDate}, {"I", dao::dbBoolean}});
    Open(kTarget, target, "J");
    Open(kSource, jet, "Table1");
    W().mnCpyJoint->trigger();
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    W().mnCpyDel->trigger();
    EXPECT_EQ(
        Records(target, "J"),
        (std::vector<std::string>{"a|0|1981/12/12|False|", "abcdefg|333333333|1974/09/21|True|"}));

    const auto before = Records(target);
    Open(kTarget, jet, "Table1");
    Open(kSource, target, "T");
    prompts.Expect("データベースまたはオブジェクトが読み取り専用なので、更新できません。");
    W().mnCpyDel->trigger();
    EXPECT_EQ(W().Text1[0]->text(), "Table1");
    EXPECT_EQ(Records(target), before);
}

// ---- Failure at every write ----------------------------------------------------------------

class ImportFaultTest
    : public ImportRunTest,
      public ::testing::WithParamInterface<std::tuple<int, bool, frmMdbCpy::RunPath>> {};

TEST_P(ImportFaultTest, ARunFailingAtAnyWriteLeavesTheTargetUnchanged) {
    const int mode = std::get<0>(GetParam()); // 0 replace all, 1..3 keyed
    const bool oneFile = std::get<1>(GetParam());
    W().runPath = std::get<2>(GetParam());
    // The source in the target's file, or in a file of its own whose path sorts after the
    // target's, so that a commit over both files would reach the target first.
    const std::string from = oneFile ? target : data.File("zsource.mdb");
    MakeSource(from, "S");
    auto trigger = [&] {
        if (mode == 0)
            W().mnCpyDel->trigger();
        else
            W().mnCpyUpd1[static_cast<size_t>(mode)]->trigger();
    };
    auto prepare = [&] {
        Open(kTarget, target, "T");
        Open(kSource, from, "S");
        W().mnCpyJoint->trigger();
    };
    // A complete run on a copy counts the run's writes, up to its commit.
    const std::string pristine = data.File("pristine.mdb");
    fs::copy_file(target, pristine);
    const auto before = Records(target);
    prepare();
    std::vector<std::string> writes;
    engine::SetWriteFaultHook([&](std::string_view sql) {
        writes.emplace_back(sql);
        return false;
    });
    prompts.Expect(kAccept, platform::vbOK);
    prompts.Expect(kCommitted);
    trigger();
    engine::SetWriteFaultHook(nullptr);
    // The compiled statement covers this layout, auto number included.
    EXPECT_EQ(W().LastRun.compiled, W().runPath == frmMdbCpy::RunPath::Compiled)
        << W().LastRun.compiledFailure;
    const auto after = Records(target);
    ASSERT_NE(after, before);
    size_t total = 0;
    for (size_t i = 0; i < writes.size(); ++i)
        if (writes[i] == "COMMIT") total = i + 1;
    // At least one record written before the commit.
    ASSERT_GE(total, 2u);

    for (size_t n = 1; n <= total; ++n) {
        SCOPED_TRACE("write " + std::to_string(n) + ": " + writes[n - 1]);
        fs::copy_file(pristine, target, fs::copy_options::overwrite_existing);
        prepare();
        size_t count = 0;
        engine::SetWriteFaultHook([&](std::string_view) { return ++count == n; });
        // The commit comes after the final question.
        if (writes[n - 1] == "COMMIT") prompts.Expect(kAccept, platform::vbOK);
        prompts.ExpectAny();
        prompts.Expect(kCancelled);
        trigger();
        engine::SetWriteFaultHook(nullptr);
        ASSERT_GE(prompts.Shown().size(), 2u);
        EXPECT_TRUE(prompts.Shown()[prompts.Shown().size() - 2].text.startsWith("Error;  3043\r"));
        EXPECT_EQ(Records(target), before);
        EXPECT_EQ(W().Text1[0]->text(), "T");
        // The window goes on: the same run to its end.
        prompts.Expect(kAccept, platform::vbOK);
        prompts.Expect(kCommitted);
        trigger();
        EXPECT_EQ(Records(target), after);
        if (HasFailure() || !prompts.Unexpected().isEmpty()) break;
    }
}

std::string FaultCaseName(const ::testing::TestParamInfo<ImportFaultTest::ParamType>& info) {
    static const char* const kModes[] = {"ReplaceAll", "Mode1", "Mode2", "Mode3"};
    return std::string(kModes[std::get<0>(info.param)]) +
           (std::get<1>(info.param) ? "_OneFile" : "_TwoFiles") +
           (std::get<2>(info.param) == frmMdbCpy::RunPath::Compiled ? "_Compiled"
                                                                    : "_RecordByRecord");
}

INSTANTIATE_TEST_SUITE_P(EveryMode, ImportFaultTest,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3), ::testing::Bool(),
                                            ::testing::Values(frmMdbCpy::RunPath::Compiled,
                                                              frmMdbCpy::RunPath::RowByRow)),
                         FaultCaseName);

} // namespace
