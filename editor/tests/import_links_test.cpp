// Field links of the import window: the two grids, selecting and linking by clicks, the link
// marks and colours of the source rows, the same-name and unlink commands, scrolling and keys.
#include <QAction>

#include "import_support.h"

using namespace importtest;

namespace {

class ImportLinksTest : public ImportTest {
  protected:
    // Target T: ID, NAME, CITY, TEL, NOTE; source S: CODE, NAME, TOWN, TEL.
    void SetUp() override {
        ImportTest::SetUp();
        db = data.File("links.mdb");
        tavorintest::MakeTable(db, "T",
                               tavorintest::TextFields({"ID", "NAME", "CITY", "TEL", "NOTE"}),
                               {{"PK", true, true, {{"ID", false}}}});
        tavorintest::MakeTable(db, "S", tavorintest::TextFields({"CODE", "NAME", "TOWN", "TEL"}));
        Open(kTarget, db, "T");
        Open(kSource, db, "S");
    }
    std::string db;
};

TEST_F(ImportLinksTest, ClickingATargetRowThenASourceRowLinksThem) {
    Click(5 * 2 + 1); // CITY
    EXPECT_EQ(CellColour(10), kOlive);
    EXPECT_EQ(CellColour(14), kOlive);
    EXPECT_EQ(CellColour(0), kLightYellow);
    EXPECT_EQ(W().Sides[kTarget].SelectedRow, 2);
    EXPECT_EQ(Status(), "移入元から連結フィールドをクリックして下さい。");
    Click(50 + 4 * 2 + 2); // TOWN, its type cell
    EXPECT_EQ(LinkOf("CITY"), "TOWN");
    const Row city = WorkRows(kTarget)[2];
    EXPECT_EQ(city[5], "dbText");
    EXPECT_EQ(city[6], "10");
    EXPECT_EQ(MarkOf("TOWN"), "1");
    EXPECT_EQ(MarkOf("NAME"), "0"); // picking the source unlinked everything
    EXPECT_EQ(CellText(14), "TOWN");
    // The linked target row stays marked; the source row that feeds it is highlighted.
    EXPECT_EQ(CellColour(10), kOlive);
    EXPECT_EQ(CellColour(58), kLightYellow);
    EXPECT_EQ(CellColour(61), kLightYellow);
    EXPECT_EQ(CellColour(54), kOlive);
    EXPECT_EQ(W().Sides[kSource].SelectedRow, 2);
}

TEST_F(ImportLinksTest, ASourceClickWithoutATargetRowSaysSo) {
    prompts.Expect("移入先のフィールドが選択されていません。");
    Click(51);
    EXPECT_EQ(LinkOf("ID"), "");
    // A click on a line below the last row selects it but links nothing.
    Click(5 * 7 + 1);
    Click(51);
    for (const Row& row : WorkRows(kTarget)) EXPECT_EQ(row[4], "") << row[1];
    EXPECT_EQ(MarkOf("CODE"), "0");
}

TEST_F(ImportLinksTest, TheMarkStaysWhileAnyTargetRowTakesTheField) {
    Link(0, 0); // ID <- CODE
    Link(4, 0); // NOTE <- CODE
    EXPECT_EQ(MarkOf("CODE"), "1");
    // Unlinking one keeps the mark, unlinking both removes it (Delete on the selected row).
    QTest::keyClick(W().Text3[21], Qt::Key_Delete);
    EXPECT_EQ(LinkOf("NOTE"), "");
    EXPECT_EQ(LinkOf("ID"), "CODE");
    EXPECT_EQ(MarkOf("CODE"), "1");
    EXPECT_EQ(CellColour(50), kLightYellow);
    Click(1);
    W().mnCpyJointCan->trigger();
    EXPECT_EQ(LinkOf("ID"), "");
    EXPECT_EQ(MarkOf("CODE"), "0");
    EXPECT_EQ(CellColour(50), kOlive);
    EXPECT_EQ(CellText(4), "");
}

TEST_F(ImportLinksTest, UnlinkingALineWithoutARowUnlinksNothing) {
    Link(4, 0);       // NOTE <- CODE: the target rows now stand on NOTE
    Click(5 * 8 + 1); // a line below the last row
    QTest::keyClick(W().Text3[41], Qt::Key_Delete);
    EXPECT_EQ(LinkOf("NOTE"), "CODE");
    EXPECT_EQ(MarkOf("CODE"), "1");
}

TEST_F(ImportLinksTest, RelinkingClearsTheOldFieldsMarkWhenNothingElseUsesIt) {
    Link(2, 2); // CITY <- TOWN
    Link(3, 2); // TEL <- TOWN
    Link(2, 3); // CITY <- TEL: TOWN still feeds TEL
    EXPECT_EQ(MarkOf("TOWN"), "1");
    Link(3, 1); // TEL <- NAME: TOWN feeds nothing now
    EXPECT_EQ(MarkOf("TOWN"), "0");
    EXPECT_EQ(MarkOf("TEL"), "1");
    EXPECT_EQ(MarkOf("NAME"), "1");
    EXPECT_EQ(LinkOf("CITY"), "TEL");
    EXPECT_EQ(LinkOf("TEL"), "NAME");
    EXPECT_EQ(CellColour(58), kOlive);
}

TEST_F(ImportLinksTest, SameNamedFieldsAreLinkedAndUnlinked) {
    Link(3, 2); // TEL <- TOWN, to be relinked to its namesake
    Link(4, 0); // NOTE <- CODE, stays
    W().mnCpyJoint->trigger();
    EXPECT_EQ(LinkOf("NAME"), "NAME");
    EXPECT_EQ(LinkOf("TEL"), "TEL");
    EXPECT_EQ(LinkOf("NOTE"), "CODE");
    EXPECT_EQ(LinkOf("ID"), "");
    EXPECT_EQ(MarkOf("TOWN"), "0");
    EXPECT_EQ(CellText(9), "NAME");
    EXPECT_EQ(CellText(19), "TEL");

    // Unlinking takes, for each source field, the first target row it feeds.
    Link(1, 1); // NAME <- NAME again (no change)
    Link(0, 1); // ID <- NAME: a second taker of NAME
    W().mnCpyJointNo->trigger();
    EXPECT_EQ(LinkOf("ID"), "");
    EXPECT_EQ(LinkOf("TEL"), "");
    EXPECT_EQ(LinkOf("NOTE"), "");
    // NAME fed ID and NAME: the first is unlinked, the other still takes it and keeps it marked.
    EXPECT_EQ(LinkOf("NAME"), "NAME");
    EXPECT_EQ(MarkOf("NAME"), "1");
    EXPECT_EQ(MarkOf("CODE"), "0");

    W().mnCpyJointCanAll->trigger();
    for (const Row& row : WorkRows(kTarget)) {
        EXPECT_EQ(row[4], "");
        EXPECT_EQ(row[5], "");
        EXPECT_EQ(row[6], "0");
    }
    for (const Row& row : WorkRows(kSource)) EXPECT_EQ(row[4], "0");
}

TEST_F(ImportLinksTest, TablesWithoutCommonNamesLinkNothing) {
    const std::string other = data.File("other.mdb");
    tavorintest::MakeTable(other, "X", tavorintest::TextFields({"A1", "B2"}));
    Open(kSource, other, "X");
    W().mnCpyJoint->trigger();
    for (const Row& row : WorkRows(kTarget)) EXPECT_EQ(row[4], "");
    for (const Row& row : WorkRows(kSource)) EXPECT_EQ(row[4], "0");
}

TEST_F(ImportLinksTest, TheCheckBoxLinksAndUnlinksAndIsConsultedOnEveryPick) {
    QTest::mouseClick(W().Check1, Qt::LeftButton);
    EXPECT_TRUE(W().Check1->isChecked());
    EXPECT_EQ(LinkOf("NAME"), "NAME");
    EXPECT_EQ(LinkOf("TEL"), "TEL");
    QTest::mouseClick(W().Check1, Qt::LeftButton);
    EXPECT_EQ(LinkOf("NAME"), "");
    EXPECT_EQ(MarkOf("TEL"), "0");

    // Picking the target again rebuilds its rows: links gone; with the box on, namesakes anew.
    Link(0, 0);
    PickTable(kTarget, "T");
    EXPECT_EQ(LinkOf("ID"), "");
    QTest::mouseClick(W().Check1, Qt::LeftButton);
    Link(0, 0);
    PickTable(kTarget, "T");
    EXPECT_EQ(LinkOf("ID"), "");
    EXPECT_EQ(LinkOf("NAME"), "NAME");
    // Picking the source again unlinks every target row, then links namesakes.
    Link(4, 2); // NOTE <- TOWN
    PickTable(kSource, "S");
    EXPECT_EQ(LinkOf("NOTE"), "");
    EXPECT_EQ(LinkOf("TEL"), "TEL");
    EXPECT_EQ(MarkOf("TOWN"), "0");
    QTest::mouseClick(W().Check1, Qt::LeftButton);
    PickTable(kSource, "S");
    for (const Row& row : WorkRows(kTarget)) EXPECT_EQ(row[4], "") << row[1];
}

TEST_F(ImportLinksTest, NamesWithApostrophesAndSymbolsLinkAndUnlink) {
    const std::string odd = data.File("odd.mdb");
    tavorintest::MakeTable(odd, "it's (T)", tavorintest::TextFields({"O'Brien", "a#b", "x"}));
    tavorintest::MakeTable(odd, "src's", tavorintest::TextFields({"x", "O'Brien", "a#b"}));
    Open(kTarget, odd, "it's (T)");
    Open(kSource, odd, "src's");
    W().mnCpyJoint->trigger();
    EXPECT_EQ(LinkOf("O'Brien"), "O'Brien");
    EXPECT_EQ(LinkOf("a#b"), "a#b");
    EXPECT_EQ(MarkOf("O'Brien"), "1");
    Click(1);
    W().mnCpyJointCan->trigger();
    EXPECT_EQ(LinkOf("O'Brien"), "");
    EXPECT_EQ(MarkOf("O'Brien"), "0");
    W().mnCpyJointNo->trigger();
    EXPECT_EQ(LinkOf("a#b"), "");
    EXPECT_EQ(MarkOf("a#b"), "0");
}

// ---- Scrolling and keys --------------------------------------------------------------------

class ImportScrollTest : public ImportTest {
  protected:
    void SetUp() override {
        ImportTest::SetUp();
        const std::string db = data.File("wide.mdb");
        MakeWideTable(db, "W", 25, 1);
        MakeWideTable(db, "V", 12, 0);
        Open(kTarget, db, "W");
        Open(kSource, db, "V");
    }
};

TEST_F(ImportScrollTest, TheBarShowsTheRowsFromItsPosition) {
    EXPECT_EQ(W().VScroll1[kTarget]->maximum(), 24);
    EXPECT_EQ(W().VScroll1[kTarget]->pageStep(), 10);
    EXPECT_EQ(W().VScroll1[kSource]->maximum(), 11);
    W().VScroll1[kTarget]->setValue(20);
    EXPECT_EQ(W().Sides[kTarget].FirstRow, 21);
    EXPECT_EQ(CellText(1), "F0021");
    EXPECT_EQ(CellText(5 * 4 + 1), "F0025");
    EXPECT_EQ(CellText(5 * 5 + 1), "");
    W().VScroll1[kTarget]->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(CellText(1), "F0025");
}

TEST_F(ImportScrollTest, TheSelectionIsAScreenLineThatScrollingKeeps) {
    Click(5 * 3 + 1); // F0004
    W().VScroll1[kTarget]->setValue(10);
    // The redraw paints the grid in its normal colours; the line number stays selected.
    EXPECT_EQ(CellColour(15), kLightYellow);
    EXPECT_EQ(W().Sides[kTarget].SelectedRow, 3);
    Click(50 + 1); // links the row now on line 3, F0014
    EXPECT_EQ(LinkOf("F0014"), "F0001");
    EXPECT_EQ(LinkOf("F0004"), "");
}

TEST_F(ImportScrollTest, ArrowKeysMoveTheFocusAndScrollAtTheEdges) {
    QTest::mouseClick(W().Text3[46], Qt::LeftButton); // bottom line, selected by the click
    QTest::keyClick(W().Text3[46], Qt::Key_Down);
    EXPECT_EQ(W().Sides[kTarget].FirstRow, 2);
    EXPECT_EQ(CellText(46), "F0011");
    EXPECT_EQ(W().VScroll1[kTarget]->value(), 1);
    EXPECT_EQ(QApplication::focusWidget(), W().Text3[46]);
    QTest::keyClick(W().Text3[46], Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), W().Text3[41]);
    EXPECT_EQ(W().Sides[kTarget].SelectedRow, 9); // keys do not select
    QTest::keyClick(W().Text3[41], Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), W().Text3[46]);
    W().Text3[1]->setFocus();
    QTest::keyClick(W().Text3[1], Qt::Key_Up);
    EXPECT_EQ(W().Sides[kTarget].FirstRow, 1);
    QTest::keyClick(W().Text3[1], Qt::Key_Up); // already at the top
    EXPECT_EQ(W().Sides[kTarget].FirstRow, 1);

    // The source grid: four cells a line.
    W().Text3[87]->setFocus();
    for (int i = 0; i < 5; ++i) QTest::keyClick(W().Text3[87], Qt::Key_Down);
    EXPECT_EQ(W().Sides[kSource].FirstRow, 6);
    EXPECT_EQ(CellText(51), "F0006");
    EXPECT_EQ(CellText(50 + 4 * 6 + 1), "F0012");
    EXPECT_EQ(CellText(50 + 4 * 7 + 1), "");
    QTest::keyClick(W().Text3[87], Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), W().Text3[83]);
    W().Text3[51]->setFocus();
    QTest::keyClick(W().Text3[51], Qt::Key_Up);
    EXPECT_EQ(W().Sides[kSource].FirstRow, 5);
}

} // namespace
