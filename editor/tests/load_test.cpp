// Loading a table's definition into the work rows: numbered groups, types and sizes, the
// indexes in the key columns, the as-loaded copies, typed table names, and genuine Jet files.
#include <QGroupBox>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <map>

#include "engine/testing/shared_test_data.h"
#include "modules/FuncUtility.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;

namespace {

const QString kSaveQuestion = "作業中のフォーマットは変更されています。保存しますか。";

class LoadTest : public WindowTest {
  protected:
    // Name and repeat count of every work row.
    std::vector<std::pair<std::string, std::string>> NamesAndRepeats() {
        std::vector<std::pair<std::string, std::string>> out;
        for (const WorkRow& row : WorkRows()) out.emplace_back(row[1], row[4]);
        return out;
    }
};

TEST_F(LoadTest, NumberedFieldsFoldIntoOneRowPerGroup) {
    using Rows = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* table;
        std::vector<FieldDef> fields;
        Rows rows;
    };
    const Case cases[] = {
        {"T1",
         TextFields({"CODE", "ADDR_01", "ADDR_02", "ADDR_03", "MEMO"}),
         {{"CODE", ""}, {"ADDR", "03"}, {"MEMO", ""}}},
        {"T2", TextFields({"ADDR_01", "ADDR_03"}), {{"ADDR", "01"}, {"ADDR_03", ""}}},
        {"T3", TextFields({"TEL_01"}), {{"TEL", "01"}}},
        {"T4",
         TextFields({"A_01", "A_02", "B_01", "X", "Q_02"}),
         {{"A", "02"}, {"B", "01"}, {"X", ""}, {"Q_02", ""}}},
        // The base is compared ignoring case; the digits must be ASCII.
        {"T5",
         TextFields({"Addr_01", "ADDR_02", "ADDR_０３"}),
         {{"Addr", "02"}, {"ADDR_０３", ""}}},
        {"T6", TextFields({"K_01", "K_02", "K_02X"}), {{"K", "02"}, {"K_02X", ""}}},
    };
    const std::string path = data.File("groups.mdb");
    for (const Case& c : cases) MakeTable(path, c.table, c.fields);
    OpenFile(path);
    for (const Case& c : cases) {
        DoubleClickTable(c.table);
        EXPECT_EQ(NamesAndRepeats(), c.rows) << c.table;
        EXPECT_EQ(W().LastRow, static_cast<int32_t>(c.rows.size())) << c.table;
    }
}

TEST_F(LoadTest, ATableLoadsWithTypesSizesDescriptionsKeysAndItsSnapshot) {
    const std::string path = data.File("shop.mdb");
    MakeTable(path, "商品",
              {{"ID", dao::dbLong, 0, dao::dbAutoIncrField, "連番"},
               {"NAME", dao::dbText, 40, 0, "商品名"},
               {"KANA", dao::dbText, 60},
               {"PRICE", dao::dbCurrency},
               {"STOCK_01", dao::dbInteger},
               {"STOCK_02", dao::dbInteger},
               {"NOTE", dao::dbMemo},
               {"FLAG", dao::dbBoolean},
               {"MADE", dao::dbDate}},
              {{"PrimaryKey", true, true, {{"ID", false}}},
               {"ByName", false, true, {{"NAME", false}, {"KANA", true}}},
               {"ByPrice", false, false, {{"PRICE", true}}}},
              "商品の台帳");
    OpenTable(path, "商品");

    const std::vector<WorkRow> expected = {
        {"1", "ID", "(ｵｰﾄﾅﾝﾊﾞ-)", "4", "", " 1A", "", "", "", "", "", "連番", "ID", "(ｵｰﾄﾅﾝﾊﾞ-)",
         "4", ""},
        {"2", "NAME", "dbText", "40", "", "", " 1A", "", "", "", "", "商品名", "NAME", "dbText",
         "40", ""},
        {"3", "KANA", "dbText", "60", "", "", " 2D", "", "", "", "", "", "KANA", "dbText", "60",
         ""},
        {"4", "PRICE", "dbCurrency", "8", "", "", "", " 1D", "", "", "", "", "PRICE", "dbCurrency",
         "8", ""},
        {"5", "STOCK", "dbInteger", "2", "02", "", "", "", "", "", "", "", "STOCK", "dbInteger",
         "2", "02"},
        {"6", "NOTE", "dbMemo", "0", "", "", "", "", "", "", "", "", "NOTE", "dbMemo", "0", ""},
        {"7", "FLAG", "dbBoolean", "1", "", "", "", "", "", "", "", "", "FLAG", "dbBoolean", "1",
         ""},
        {"8", "MADE", "dbDate", "8", "", "", "", "", "", "", "", "", "MADE", "dbDate", "8", ""},
    };
    std::vector<WorkRow> rows = WorkRows();
    // Sizes of the other fixed-size types are the engine's; the test states the text sizes
    // and the auto-number's.
    for (size_t i = 1; i < rows.size() && i < expected.size(); ++i)
        if (expected[i][2] != "dbText") rows[i][3] = rows[i][14] = expected[i][3];
    EXPECT_EQ(rows, expected);

    EXPECT_EQ(W().CurrentTable, "商品");
    EXPECT_EQ(W().Text1[0]->text(), "商品");
    EXPECT_EQ(W().Text1[7]->text(), "商品の台帳");
    EXPECT_EQ(W().TableDesc, "商品の台帳");
    const QStringList names = {"PrimaryKey", "ByName", "ByPrice", "SubKey3", "SubKey4", "SubKey5"};
    const int dups[6] = {0, 0, 1, 1, 1, 1};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(W().Text1[k + 1]->text(), names[k]);
        EXPECT_EQ(W().Combo1[k]->currentIndex(), dups[k]) << k;
    }
    // The grid shows the first ten rows.
    EXPECT_EQ(W().Label3[0]->text(), "   1");
    EXPECT_EQ(W().Label3[9]->text(), "  10");
    EXPECT_EQ(Cell(1, grid::kName)->text(), "NAME");
    EXPECT_EQ(W().Combo2[1]->currentText(), "dbText");
    EXPECT_EQ(Cell(1, grid::kSize)->text(), "  40");
    EXPECT_EQ(Cell(2, grid::kPrimaryKey + 1)->text(), " 2D");
    EXPECT_EQ(Cell(4, grid::kRepeat)->text(), "02");
    EXPECT_EQ(Cell(5, grid::kSize)->text(), "    ");
    EXPECT_EQ(Cell(0, grid::kDescription)->text(), "連番");
    EXPECT_EQ(W().Combo2[0]->currentText(), "(ｵｰﾄﾅﾝﾊﾞ-)");
    EXPECT_EQ(W().Combo2[8]->currentIndex(), -1);
    EXPECT_EQ(Cell(8, grid::kName)->text(), "");

    EXPECT_EQ(W().LastRow, 8);
    EXPECT_EQ(W().TopRow, 1);
    EXPECT_EQ(W().VScroll1->maximum(), 7);
    EXPECT_EQ(W().VScroll1->pageStep(), 7);
    EXPECT_EQ(W().LayoutChanged, 0);
    EXPECT_FALSE(W().FocusSuppressed);
    EXPECT_TRUE(W().Frame3->isVisible());
    EXPECT_FALSE(W().Frame2->isVisible());
    EXPECT_EQ(Focus(), W().Text1[7]);
    EXPECT_EQ(W().Label6->text(), "テーブルの備考を入力して下さい。");
    EXPECT_TRUE(W().MenuState(W().mnTableSave[0]));
    EXPECT_TRUE(W().MenuState(W().mnTableCancel));
    EXPECT_FALSE(W().MenuState(W().mnFileDel));
}

TEST_F(LoadTest, MoreThanFiveSubKeysAreReportedOnceAndThePrimaryKeyIsStillRead) {
    const std::string path = data.File("keys.mdb");
    std::vector<IndexSpec> indexes;
    for (int i = 1; i <= 7; ++i) {
        const std::string field = "F" + std::to_string(i);
        indexes.push_back({"A" + std::to_string(i), false, false, {{field, false}}});
    }
    // Listed after the sub keys (the engine lists indexes by name).
    indexes.push_back({"PrimaryKey", true, true, {{"F8", false}}});
    MakeTable(path, "T", TextFields({"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8"}), indexes);
    prompts.Expect("副キーは ５つまでしか作業できません。超えた分は無視します。");
    OpenTable(path, "T");
    EXPECT_EQ(W().LoadedIndexName[0], "PrimaryKey");
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(W().LoadedIndexName[k], "A" + std::to_string(k));
    const std::vector<WorkRow> rows = WorkRows();
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[7][5], " 1A");                                 // F8 in the primary key
    EXPECT_EQ(rows[4][10], " 1A");                                // F5 in sub key 5
    for (int c = 5; c <= 10; ++c) EXPECT_EQ(rows[5][c], "") << c; // A6 left out
}

TEST_F(LoadTest, AnIndexFieldWithoutARowIsReportedAndSkipped) {
    const std::string path = data.File("addr.mdb");
    MakeTable(path, "T", TextFields({"CODE", "ADDR_01", "ADDR_02"}),
              {{"IX", false, false, {{"ADDR_02", false}, {"CODE", true}}}});
    prompts.Expect("インデックス IX のフィールド　ADDR_02 がありません。無視します。");
    OpenTable(path, "T");
    const std::vector<WorkRow> rows = WorkRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][6], " 2D"); // CODE keeps its rank in the index
    EXPECT_EQ(rows[1][6], "");
}

TEST_F(LoadTest, NamesWithApostrophesLoadWithTheirKeys) {
    const std::string path = data.File("o'brien.mdb");
    MakeTable(path, "Customer's", TextFields({"it's", "O'Brien_01", "O'Brien_02"}),
              {{"Key's", true, true, {{"it's", true}}}});
    OpenTable(path, "Customer's");
    const std::vector<WorkRow> rows = WorkRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "it's");
    EXPECT_EQ(rows[0][5], " 1D");
    EXPECT_EQ(rows[1][1], "O'Brien");
    EXPECT_EQ(rows[1][4], "02");
    EXPECT_EQ(W().Text1[1]->text(), "Key's");
}

TEST_F(LoadTest, ATableTheWorkRowsCannotHoldIsReportedAndNotOpened) {
    // A field name of 31 double-byte characters is a valid name (up to 64 characters) but
    // longer than the 60 bytes of the work table's name column.
    std::string longName;
    for (int i = 0; i < 31; ++i) longName += "長";
    const std::string path = data.File("long.mdb");
    MakeTable(path, "T", TextFields({"A", longName.c_str()}));
    prompts.ExpectAny();
    OpenTable(path, "T");
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; 3163"))
        << prompts.Shown()[0].text.toStdString();
    EXPECT_TRUE(WorkRows().empty()) << "no half layout";
    EXPECT_EQ(W().CurrentTable, "");
    EXPECT_FALSE(W().MenuState(W().mnTableSave[0]));
    EXPECT_EQ(W().GridLoading, 0);
    // The program goes on: another table opens.
    MakeTable(path, "U", TextFields({"B"}));
    OpenTable(path, "U");
    EXPECT_EQ(W().CurrentTable, "U");
    EXPECT_EQ(WorkRows().size(), 1u);
}

TEST_F(LoadTest, ATypedNameNotInTheFileGivesAnEmptyLayoutBearingIt) {
    const std::string path = data.File("a.mdb");
    MakeTable(path, "T", TextFields({"A"}));
    OpenFile(path);
    TypeInto(W().Text1[0], "  新しい表  ");
    EXPECT_EQ(W().CurrentTable, "新しい表");
    EXPECT_EQ(W().Text1[0]->text(), "新しい表");
    EXPECT_TRUE(WorkRows().empty());
    EXPECT_EQ(W().LastRow, 0);
    EXPECT_EQ(W().Label3[0]->text(), "   1");
    EXPECT_EQ(Cell(0, grid::kName)->text(), "");
    EXPECT_EQ(W().Text1[1]->text(), "PrimaryKey");
    EXPECT_EQ(W().LayoutChanged, 0);
    EXPECT_TRUE(W().MenuState(W().mnTableSave[0]));
    EXPECT_EQ(Focus(), W().Text1[7]);

    // A typed name of a table in the file loads it, whatever its letter case.
    TypeInto(W().Text1[0], "t");
    EXPECT_EQ(W().CurrentTable, "t");
    ASSERT_EQ(WorkRows().size(), 1u);
    EXPECT_EQ(WorkRows()[0][1], "A");
}

TEST_F(LoadTest, TypingATableNameOverAChangedLayoutAsksFirst) {
    const std::string path = data.File("a.mdb");
    MakeTable(path, "T", TextFields({"A"}));
    MakeTable(path, "U", TextFields({"B", "C"}));
    struct Case {
        int answer;
        bool failSave;
        const char* table;
        int saves;
    };
    const Case cases[] = {{platform::vbCancel, false, "T", 0},
                          {platform::vbYes, true, "T", 1},
                          {platform::vbNo, false, "U", 0},
                          {platform::vbYes, false, "U", 1}};
    OpenFile(path);
    for (const Case& c : cases) {
        DoubleClickTable("T");
        W().LayoutChanged = 9;
        W().saves = 0;
        W().failSave = c.failSave;
        prompts.Expect(kSaveQuestion, c.answer);
        TypeInto(W().Text1[0], "U");
        EXPECT_EQ(W().CurrentTable, c.table) << c.answer;
        EXPECT_EQ(W().Text1[0]->text().toStdString(), c.table) << c.answer;
        EXPECT_EQ(W().saves, c.saves) << c.answer;
        EXPECT_EQ(WorkRows().size(), std::string(c.table) == "T" ? 1u : 2u) << c.answer;
        W().LayoutChanged = 0;
    }
}

TEST_F(LoadTest, ATableNameWithoutAFileIsRefused) {
    TypeInto(W().Text1[0], "T", false);
    prompts.Expect("フォルダーを開いて、ファイルを指定して下さい。");
    QTest::keyClick(W().Text1[0], Qt::Key_Return);
    EXPECT_EQ(W().CurrentTable, "");
    EXPECT_EQ(W().Text1[0]->text(), "");
    EXPECT_EQ(W().LayoutChanged, 0);
    EXPECT_FALSE(W().MenuState(W().mnTableSave[0]));
}

TEST_F(LoadTest, ATableOf255FieldsLoadsCompletely) {
    const std::string path = data.File("wide.mdb");
    std::vector<FieldDef> fields;
    for (int i = 1; i <= 255; ++i) fields.push_back({"F" + std::to_string(i), dao::dbLong});
    MakeTable(path, "Wide", fields);
    OpenTable(path, "Wide");
    const std::vector<WorkRow> rows = WorkRows();
    ASSERT_EQ(rows.size(), 255u);
    EXPECT_EQ(rows[254][0], "255");
    EXPECT_EQ(rows[254][1], "F255");
    EXPECT_EQ(rows[254][12], "F255");
    EXPECT_EQ(W().LastRow, 255);
    EXPECT_EQ(W().VScroll1->maximum(), 254);
    EXPECT_EQ(W().VScroll1->pageStep(), 10);
    W().VScroll1->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(W().TopRow, 255);
    EXPECT_EQ(W().Label3[0]->text(), " 255");
    EXPECT_EQ(Cell(0, grid::kName)->text(), "F255");
    EXPECT_EQ(W().Label3[9]->text(), " 264");
    EXPECT_EQ(Cell(1, grid::kName)->text(), "");
}

// ---- Genuine Jet files -----------------------------------------------------------------------

fs::path JetTestFolder() {
    return fs::path(TESTDATA_DIR) / "jet";
}

// What mdb-schema of mdbtools, which reads Jet files without our reader, says of one table: its
// fields in order and its indexes in the file's order.
struct SchemaIndex {
    std::string name;
    bool primary = false;
    bool unique = false;
    std::vector<std::pair<std::string, bool>> members; // name, descending
};
struct TableSchema {
    std::vector<std::string> fields;
    std::vector<SchemaIndex> indexes;
    bool indexesKnown = true; // false when mdb-schema could not match an index to its columns
};

// Text between the first pair of backquotes at or after from.
std::string Quoted(const std::string& line, size_t from, size_t* end = nullptr) {
    const size_t open = line.find('`', from);
    const size_t close = open == std::string::npos ? open : line.find('`', open + 1);
    if (close == std::string::npos) return {};
    if (end) *end = close + 1;
    return line.substr(open + 1, close - open - 1);
}

// The lines a tool of mdbtools prints, without empty ones.
std::vector<std::string> ToolLines(const QString& program, const std::vector<std::string>& args) {
    QStringList arguments;
    for (const std::string& a : args) arguments << QString::fromStdString(a);
    QProcess tool;
    tool.start(program, arguments);
    EXPECT_TRUE(tool.waitForFinished(60000)) << program.toStdString();
    std::vector<std::string> lines;
    for (const QString& line : QString::fromUtf8(tool.readAllStandardOutput()).split('\n'))
        if (!line.trimmed().isEmpty()) lines.push_back(line.toStdString());
    return lines;
}

TableSchema SchemaOf(const fs::path& file, const std::string& table) {
    QProcess tool;
    tool.start("mdb-schema", {"--indexes", "--no-relations", "-T", QString::fromStdString(table),
                              QString::fromStdString(file.string()), "mysql"});
    EXPECT_TRUE(tool.waitForFinished(60000));
    TableSchema schema;
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    if (errors.contains("ERROR") || errors.contains("CRITICAL")) schema.indexesKnown = false;
    for (const QString& text : QString::fromUtf8(tool.readAllStandardOutput()).split('\n')) {
        const std::string line = text.toStdString();
        if (line.rfind("\t`", 0) == 0) {
            schema.fields.push_back(Quoted(line, 0));
            continue;
        }
        if (line.rfind("ALTER TABLE", 0) != 0) continue;
        size_t at = 0;
        Quoted(line, 0, &at); // the table
        SchemaIndex index;
        const std::string rest = line.substr(at);
        if (rest.rfind(" ADD PRIMARY KEY", 0) == 0) {
            index.primary = index.unique = true;
        } else if (rest.rfind(" ADD UNIQUE INDEX", 0) == 0 || rest.rfind(" ADD INDEX", 0) == 0) {
            index.unique = rest.rfind(" ADD UNIQUE", 0) == 0;
            index.name = Quoted(line, at, &at);
        } else {
            continue;
        }
        const size_t close = line.rfind(')');
        for (size_t next = line.find('(', at); next != std::string::npos && next < close;) {
            size_t end = 0;
            const std::string member = Quoted(line, next, &end);
            if (member.empty() || end > close) break;
            const size_t comma = line.find(',', end);
            const std::string tail = line.substr(end, std::min(comma, close) - end);
            index.members.emplace_back(member, tail.find("DESC") != std::string::npos);
            next = comma;
        }
        if (index.members.empty()) schema.indexesKnown = false;
        schema.indexes.push_back(index);
    }
    return schema;
}

std::string ExpectedType(const engine::Field& f) {
    if (f.Attributes() == 17 && f.Type() == dao::dbLong) return "(ｵｰﾄﾅﾝﾊﾞ-)";
    if (f.Type() >= 1 && f.Type() <= 30) return TypeNames()[static_cast<size_t>(f.Type())];
    return "";
}

TEST_F(LoadTest, EveryTableOfEachJetTestFileLoadsTheFieldsAndKeysMdbSchemaReports) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    const fs::path folder = JetTestFolder();
    ASSERT_FALSE(QStandardPaths::findExecutable("mdb-schema").isEmpty())
        << "mdb-schema (package mdbtools, installed by scripts/setup) is needed";
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (SameText(entry.path().extension().string(), ".mdb")) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());

    int tablesLoaded = 0, keysChecked = 0;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        OpenFile(file.string());
        engine::DatabasePtr db = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(file);
        std::vector<std::string> listed;
        for (const TableListEntry& entry : W().TableList) listed.push_back(entry.Name);
        std::vector<std::string> tables = ToolLines("mdb-tables", {"-1", file.string()});
        std::sort(listed.begin(), listed.end());
        std::sort(tables.begin(), tables.end());
        ASSERT_EQ(listed, tables);
        for (const std::string& name : tables) {
            SCOPED_TRACE(name);
            const TableSchema schema = SchemaOf(file, name);
            engine::TableDefPtr td = db->TableDefs().Item(name);
            std::vector<std::string> engineFields;
            for (const engine::FieldPtr& f : td->Fields()) engineFields.push_back(f->Name());
            ASSERT_EQ(engineFields, schema.fields);
            for (const std::string& field : schema.fields)
                ASSERT_FALSE(field.size() > 3 && field.compare(field.size() - 3, 3, "_01") == 0)
                    << "a numbered group: the expectation below is one row per field";

            // One row per field; types, sizes and descriptions are the engine's.
            std::vector<WorkRow> expected;
            for (const engine::FieldPtr& f : td->Fields()) {
                WorkRow row(16);
                row[0] = std::to_string(expected.size() + 1);
                row[1] = row[12] = f->Name();
                row[2] = row[13] = ExpectedType(*f);
                row[3] = row[14] = std::to_string(f->Size());
                row[11] = DescriptionOf(f->Properties());
                expected.push_back(row);
            }
            // The keys: the primary index in FLD06, the others in FLD07.. in the file's order,
            // five at most; a member's rank and its sort letter.
            std::array<bool, 6> slotUsed{};
            std::array<std::string, 6> names{}; // of the sub keys (mdb-schema omits the primary's)
            std::array<int16_t, 6> dups{-1, -1, -1, -1, -1, -1};
            int nextSlot = 1, subKeys = 0;
            for (const SchemaIndex& ix : schema.indexes) {
                if (!ix.primary) ++subKeys;
                const int slot = ix.primary ? 0 : nextSlot++;
                if (slot > 5) continue;
                slotUsed[static_cast<size_t>(slot)] = true;
                names[static_cast<size_t>(slot)] = ix.name;
                dups[static_cast<size_t>(slot)] = ix.unique ? 0 : 1;
                for (size_t rank = 1; rank <= ix.members.size(); ++rank) {
                    const auto& [member, descending] = ix.members[rank - 1];
                    for (WorkRow& row : expected)
                        if (SameText(row[1], member))
                            row[5 + static_cast<size_t>(slot)] = (rank < 10 ? " " : "") +
                                                                 std::to_string(rank) +
                                                                 (descending ? "D" : "A");
                }
            }
            if (subKeys > 5)
                prompts.Expect("副キーは ５つまでしか作業できません。超えた分は無視します。");
            DoubleClickTable(name);
            std::vector<WorkRow> rows = WorkRows();
            if (!schema.indexesKnown) {
                // mdb-schema cannot match this table's indexes to their columns: only the
                // fields are compared.
                for (std::vector<WorkRow>* side : {&rows, &expected})
                    for (WorkRow& row : *side)
                        for (size_t c = 5; c <= 10; ++c) row[c].clear();
            } else {
                ++keysChecked;
                for (size_t slot = 0; slot < 6; ++slot) {
                    EXPECT_EQ(W().LoadedIndexName[slot].empty(), !slotUsed[slot])
                        << "slot " << slot;
                    if (slot > 0) {
                        EXPECT_EQ(W().LoadedIndexName[slot], names[slot]) << "slot " << slot;
                    }
                    EXPECT_EQ(W().LoadedIndexDup[slot], dups[slot]) << "slot " << slot;
                }
            }
            EXPECT_EQ(rows, expected);
            EXPECT_EQ(W().LastRow, static_cast<int32_t>(expected.size()));
            for (int line = 0; line < 10 && line < static_cast<int>(expected.size()); ++line) {
                EXPECT_EQ(Cell(line, grid::kName)->text().toStdString(), expected[line][1]);
                EXPECT_EQ(W().Combo2[line]->currentText().toStdString(), expected[line][2]);
            }
            ++tablesLoaded;
        }
        db->Close();
    }
    EXPECT_GE(tablesLoaded, 10);
    EXPECT_GE(keysChecked, 10);
}

} // namespace
