// The row buffer and line editing over the work rows: cut, copy, move, paste, delete and insert
// of the row in edit, the row range they leave and the clipboard they fill.
#include <functional>

#include "core/FieldLines.h"
#include "core_fixture.h"
#include "engine/error.h"

using namespace tavorin;
using namespace coretest;

namespace {

using Doc = LayoutDocument;

struct Step {
    int32_t row;  // the row in edit
    int16_t mode; // LineEditMode
    bool ran = true;
    bool rangeChanged = false;
};

struct LinesCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> names; // the rows afterwards, "row:name"
    int32_t lastRow;
    int16_t lastLineEdit;
    std::function<void(const LayoutDocument&)> check{};
};

// Rows 1..3 A, B, C; B holds a key, a description and the stored field it was loaded from.
std::vector<Line> ThreeRows() {
    return {{1, "A"}, {2, "B", "dbText", 10, "", {" 1"}, "memo", "OLDB"}, {3, "C"}};
}

class LineEditingTest : public DocumentTest {};

TEST_F(LineEditingTest, EachCommandLeavesItsRowsRangeAndClipboard) {
    const LinesCase cases[] = {
        {"a cut row is pasted as a new field without keys, description or old field",
         {{2, Doc::kLineCut}, {5, Doc::kLinePaste, true, true}},
         {"1:A", "3:C", "5:B"},
         5,
         Doc::kLineCut,
         [](const LayoutDocument& d) {
             EXPECT_EQ(d.RowBuffer.TypeName, "dbText");
             EXPECT_EQ(d.RowBuffer.Size, 10);
             EXPECT_EQ(d.RowBuffer.Keys[0], "");
             EXPECT_EQ(d.RowBuffer.Description, "");
             EXPECT_EQ(d.RowBuffer.LoadedName, "");
         }},
        {"a copied row stays and may be pasted again",
         {{2, Doc::kLineCopy}, {4, Doc::kLinePaste, true, true}, {6, Doc::kLinePaste, true, true}},
         {"1:A", "2:B", "3:C", "4:B", "6:B"},
         6,
         Doc::kLineCopy},
        {"a moved row keeps its old field and is pasted once",
         {{3, Doc::kLineMove, true, true},
          {1, Doc::kLineCut, false},
          {5, Doc::kLinePaste, true, true},
          {6, Doc::kLinePaste, false}},
         {"1:A", "2:B", "5:C"},
         5,
         0},
        {"a moved row with its old field",
         {{2, Doc::kLineMove}, {4, Doc::kLinePaste, true, true}},
         {"1:A", "3:C", "4:B"},
         4,
         0,
         [](const LayoutDocument& d) {
             EXPECT_EQ(d.RowBuffer.LoadedName, "OLDB");
             EXPECT_EQ(d.RowBuffer.Keys[0], " 1");
         }},
        {"a deleted row leaves an empty numbered line",
         {{2, Doc::kLineDelete}},
         {"1:A", "3:C"},
         3,
         0,
         [](const LayoutDocument& d) {
             EXPECT_EQ(d.RowBuffer.RowNo, 2);
             EXPECT_EQ(d.RowBuffer.Name, "");
         }},
        {"deleting the last row brings the range down",
         {{3, Doc::kLineDelete, true, true}, {2, Doc::kLineDelete, true, true}},
         {"1:A"},
         1,
         0},
        {"insert moves the rows from the line down",
         {{2, Doc::kLineInsert, true, true}},
         {"1:A", "3:B", "4:C"},
         4,
         0,
         [](const LayoutDocument& d) {
             EXPECT_EQ(d.RowBuffer.RowNo, 2);
             EXPECT_EQ(d.RowBuffer.Name, "");
         }},
        {"nothing acts on a line without a row",
         {{7, Doc::kLineCut, false},
          {7, Doc::kLineDelete, false},
          {7, Doc::kLineInsert, false},
          {7, Doc::kLineMove, false}},
         {"1:A", "2:B", "3:C"},
         3,
         0},
        {"nothing is pasted before a cut, copy or move",
         {{2, Doc::kLinePaste, false}},
         {"1:A", "2:B", "3:C"},
         3,
         0},
        {"nothing acts without a row in edit",
         {{0, Doc::kLineCopy, false}},
         {"1:A", "2:B", "3:C"},
         3,
         0},
    };

    for (const LinesCase& c : cases) {
        SCOPED_TRACE(c.name);
        ClearRows();
        doc.ResetLayout();
        Write(ThreeRows());
        for (const Step& step : c.steps) {
            SCOPED_TRACE("row " + std::to_string(step.row) + " mode " + std::to_string(step.mode));
            doc.LayoutChanged = 0;
            doc.CurRow = step.row;
            doc.RowBufferOp("GET");
            doc.LineEditMode = step.mode;
            const LayoutDocument::LineEditOutcome outcome = doc.RunLineEdit();
            EXPECT_EQ(outcome.ran, step.ran);
            EXPECT_EQ(outcome.rowRangeChanged, step.rangeChanged);
            EXPECT_EQ(doc.LayoutChanged, step.ran ? 9 : 0);
        }
        EXPECT_EQ(Names(), c.names);
        EXPECT_EQ(doc.LastRow, c.lastRow);
        EXPECT_EQ(doc.LastLineEdit, c.lastLineEdit);
        if (c.check) {
            doc.RowBufferOp("GET");
            c.check(doc);
        }
    }
}

TEST_F(LineEditingTest, TheRowBufferReadsWritesAndDeletesTheRowInEdit) {
    Write(ThreeRows());
    doc.CurRow = 2;
    EXPECT_FALSE(doc.RowBufferOp("get"));
    EXPECT_EQ(doc.RowBuffer.Name, "B");
    EXPECT_EQ(doc.RowBuffer.LoadedName, "OLDB");
    EXPECT_EQ(doc.RowBuffer.Exists, 1);

    // A row inside the range is rewritten in place; one past it extends the range.
    doc.RowBuffer.Name = "B2";
    EXPECT_FALSE(doc.RowBufferOp("PUT"));
    EXPECT_EQ(StoredText(2, "FLD02"), "B2");
    EXPECT_EQ(StoredText(2, "FLD13"), "OLDB");
    doc.CurRow = 9;
    EXPECT_TRUE(doc.RowBufferOp("PUT"));
    EXPECT_EQ(doc.LastRow, 9);
    EXPECT_EQ(StoredText(9, "FLD02"), "B2");

    // A row that does not exist reads as an empty numbered row.
    doc.CurRow = 7;
    doc.RowBufferOp("GET");
    EXPECT_EQ(doc.RowBuffer.RowNo, 7);
    EXPECT_EQ(doc.RowBuffer.Name, "");
    EXPECT_EQ(doc.RowBuffer.Exists, 0);

    // Deleting the last row finds the new last one; deleting all leaves no range.
    doc.CurRow = 9;
    EXPECT_TRUE(doc.RowBufferOp("DEL"));
    EXPECT_EQ(doc.LastRow, 3);
    for (int32_t row : {3, 2, 1}) {
        doc.CurRow = row;
        doc.RowBufferOp("DEL");
    }
    EXPECT_EQ(doc.LastRow, 0);
    EXPECT_TRUE(Names().empty());
}

TEST_F(LineEditingTest, TheIndexDefaultsReplaceTheSettingsAndTellWhetherAnyDiffered) {
    IndexSettings settings = defaults.DefaultIndexSettings();
    EXPECT_FALSE(defaults.ApplyIndexDefaults(settings));
    EXPECT_EQ(settings.Name[0], "PrimaryKey");
    EXPECT_EQ(settings.Dup[0], 0);
    EXPECT_EQ(settings.Name[5], "SubKey5");
    EXPECT_EQ(settings.Dup[5], 1);

    settings.Dup[3] = -1;
    EXPECT_TRUE(defaults.ApplyIndexDefaults(settings));
    EXPECT_EQ(settings.Dup[3], 1);

    defaults.IndexDefaultName[2] = "BYDATE";
    EXPECT_TRUE(defaults.ApplyIndexDefaults(settings));
    EXPECT_EQ(settings.Name[2], "BYDATE");
    defaults.SetStartDefaults();
    EXPECT_EQ(defaults.IndexDefaultName[2], "SubKey2");
    EXPECT_EQ(defaults.DefaultType, "");
}

TEST_F(LineEditingTest, FieldsCopiedFromAnotherTableAreAppendedAllOrNone) {
    const FieldLine code{"CODE", "dbLong", 4, "", "コード"};
    const FieldLine group{"NAME", "dbText", 20, "03", ""};
    // Past the 60 bytes a work row holds of a name: the engine refuses it.
    const FieldLine tooLong{std::string(61, 'x'), "dbText", 10, "", ""};

    EXPECT_EQ(doc.AppendFieldRows({code}), 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"1:CODE"}));
    ClearRows();
    Write(ThreeRows());
    EXPECT_EQ(doc.AppendFieldRows({group, code}), 6);
    EXPECT_EQ(Names(), (std::vector<std::string>{"1:A", "2:B", "3:C", "4:NAME", "5:CODE"}));
    EXPECT_EQ(StoredText(4, "FLD05"), "03");
    EXPECT_EQ(StoredText(5, "FLD12"), "コード");
    EXPECT_EQ(StoredText(5, "FLD06") + StoredText(5, "FLD13"), "");

    EXPECT_THROW(doc.AppendFieldRows({code, tooLong}), engine::Error);
    EXPECT_EQ(Names(), (std::vector<std::string>{"1:A", "2:B", "3:C", "4:NAME", "5:CODE"}));
}

} // namespace
