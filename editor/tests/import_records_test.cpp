// The record view of the import window: primary-key order, headings, record numbers, the two
// scroll bars, cells cut to their width with the whole value in a tooltip, and the view's life
// as the user switches sides.
#include <QPushButton>

#include "import_support.h"

using namespace importtest;

namespace {

class ImportRecordsTest : public ImportTest {
  protected:
    void SetUp() override {
        ImportTest::SetUp();
        db = data.File("view.mdb");
        // K: a two-field key (G, N) over nine fields, records added out of key order.
        std::vector<FieldDef> fields = {{"G", dao::dbText, 2}, {"N", dao::dbLong}};
        for (int i = 3; i <= 9; ++i) fields.push_back({"C" + std::to_string(i), dao::dbText, 60});
        tavorintest::MakeTable(db, "K", fields,
                               {{"PrimaryKey", true, true, {{"G", false}, {"N", false}}}});
        std::vector<std::vector<Variant>> records;
        for (int i = 25; i >= 1; --i) {
            std::vector<Variant> r = {Variant(i % 2 ? "b" : "a"), Variant::Long(i)};
            for (int c = 3; c <= 9; ++c)
                r.push_back(c == 5 && i == 2
                                ? Variant::Null()
                                : Variant("r" + std::to_string(i) + "c" + std::to_string(c)));
            records.push_back(r);
        }
        AddRecords(db, "K", records);
    }
    std::string Cell(int row, int column) {
        return W().Text4[static_cast<size_t>(8 * row + column)]->text().toStdString();
    }
    std::string Heading(int k) { return W().Label6[static_cast<size_t>(k)]->text().toStdString(); }
    void ShowRecords(int side) {
        QTest::mouseClick(W().Command1[static_cast<size_t>(side + 2)], Qt::LeftButton);
    }
    std::string db;
};

TEST_F(ImportRecordsTest, RecordsShowInPrimaryKeyOrderTenBySeven) {
    Open(kSource, db, "K");
    ShowRecords(kSource);
    EXPECT_FALSE(W().GridFrame->isVisible());
    EXPECT_TRUE(W().RecordFrame->isVisible());
    EXPECT_EQ(W().RecordTitle->text(), "移入元テーブル：　K");
    EXPECT_EQ(W().Sides[kSource].ViewState, 9);
    EXPECT_EQ(W().Sides[kSource].RecordCount, 25);
    for (int k = 1; k <= 7; ++k)
        EXPECT_EQ(Heading(k), k == 1 ? "G" : k == 2 ? "N" : "C" + std::to_string(k)) << k;
    // G "a" holds the even numbers, ascending; then "b".
    EXPECT_EQ(Cell(0, 0), "    1");
    EXPECT_EQ(Cell(0, 1), "a");
    EXPECT_EQ(Cell(0, 2), "2");
    EXPECT_EQ(Cell(0, 5), ""); // Null
    EXPECT_EQ(Cell(0, 6), "r2c6");
    EXPECT_EQ(Cell(9, 0), "   10");
    EXPECT_EQ(Cell(9, 2), "20");
    EXPECT_EQ(W().VScroll2->maximum(), 24);
    EXPECT_EQ(W().VScroll2->pageStep(), 10);
    EXPECT_EQ(W().HScroll1->maximum(), 8);
    EXPECT_EQ(W().HScroll1->pageStep(), 8);

    // Down the records: the bar's value is the first shown record less one.
    W().VScroll2->setValue(12);
    EXPECT_EQ(Cell(0, 0), "   13");
    EXPECT_EQ(Cell(0, 1), "b");
    EXPECT_EQ(Cell(0, 2), "1");
    W().VScroll2->setValue(3);
    EXPECT_EQ(Cell(0, 2), "8");
    // To the end: the last record in the top row, the rows below empty.
    W().VScroll2->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(W().Sides[kSource].FirstRecord, 25);
    EXPECT_EQ(Cell(0, 0), "   25");
    EXPECT_EQ(Cell(0, 2), "25");
    EXPECT_EQ(Cell(1, 0), "");

    // Across the fields: the headings and values move together.
    W().HScroll1->setValue(3);
    EXPECT_EQ(Heading(1), "C4");
    EXPECT_EQ(Heading(6), "C9");
    EXPECT_EQ(Heading(7), "");
    EXPECT_EQ(Cell(0, 1), "r25c4");
    EXPECT_EQ(Cell(0, 7), "");
    W().HScroll1->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Heading(1), "C9");
    EXPECT_EQ(Heading(2), "");
}

TEST_F(ImportRecordsTest, LongValuesAreCutToTheCellWithTheWholeValueInATooltip) {
    AddRecords(db, "K", {{Variant("c"), Variant::Long(1), Variant(std::string(60, 'x'))}});
    Open(kTarget, db, "K");
    ShowRecords(kTarget);
    W().VScroll2->triggerAction(QAbstractSlider::SliderToMaximum);
    QLineEdit* cell = W().Text4[3];
    EXPECT_EQ(cell->toolTip().toStdString(), std::string(60, 'x'));
    EXPECT_LT(cell->width(), cell->fontMetrics().horizontalAdvance(cell->text()));
    EXPECT_EQ(cell->cursorPosition(), 0); // the start of the value shows
    EXPECT_TRUE(cell->isReadOnly());
    EXPECT_EQ(W().Text4[4]->toolTip(), ""); // Null: nothing to show
    EXPECT_EQ(W().RecordTitle->text(), "移入先テーブル：　K");
}

TEST_F(ImportRecordsTest, ATableWithoutKeyShowsInNaturalOrderAndAnEmptyOneShowsNothing) {
    tavorintest::MakeTable(db, "LOG", {{"AT", dao::dbLong}, {"MSG", dao::dbText, 10}});
    AddRecords(
        db, "LOG",
        {{Variant::Long(3), Variant("c")}, {Variant::Long(1), Variant("a")}, {Variant::Long(2)}});
    tavorintest::MakeTable(db, "NONE", {{"X", dao::dbLong}});
    Open(kTarget, db, "LOG");
    Open(kSource, db, "NONE");
    ShowRecords(kTarget);
    EXPECT_EQ(Cell(0, 1), "3");
    EXPECT_EQ(Cell(1, 1), "1");
    EXPECT_EQ(Cell(2, 1), "2");
    EXPECT_EQ(Cell(2, 2), "");
    EXPECT_EQ(Heading(3), ""); // fewer than seven fields
    EXPECT_EQ(Cell(0, 3), "");
    EXPECT_EQ(W().VScroll2->maximum(), 2);
    EXPECT_EQ(W().VScroll2->pageStep(), 2);

    ShowRecords(kSource);
    EXPECT_EQ(W().Sides[kSource].RecordCount, 0);
    EXPECT_EQ(Heading(1), "X");
    for (int i = 0; i < 80; ++i) EXPECT_EQ(W().Text4[static_cast<size_t>(i)]->text(), "") << i;
    EXPECT_EQ(W().VScroll2->minimum(), 0);
    EXPECT_EQ(W().VScroll2->maximum(), 1);
    EXPECT_EQ(W().HScroll1->maximum(), 1);
    W().VScroll2->setValue(1); // nothing to move to
    EXPECT_EQ(Cell(0, 0), "");
}

TEST_F(ImportRecordsTest, AViewKeepsItsPlaceUntilItsSideIsRearranged) {
    Open(kTarget, db, "K");
    Open(kSource, db, "K");
    ShowRecords(kTarget);
    W().VScroll2->setValue(5);
    W().HScroll1->setValue(2);
    ShowRecords(kSource); // the other side, from its start
    EXPECT_EQ(Cell(0, 0), "    1");
    EXPECT_EQ(Heading(1), "G");
    W().Command1[1]->click(); // 構成 for the source closes its view
    EXPECT_EQ(W().Sides[kSource].ViewState, 0);
    EXPECT_TRUE(W().GridFrame->isVisible());
    ShowRecords(kTarget); // still open where it was
    EXPECT_EQ(Cell(0, 0), "    6");
    EXPECT_EQ(Heading(1), "C3");
    EXPECT_EQ(W().VScroll2->value(), 5);
    EXPECT_EQ(W().HScroll1->value(), 2);
    // Picking the table again closes the view and shows the grids.
    PickTable(kTarget, "K");
    EXPECT_EQ(W().Sides[kTarget].ViewState, 0);
    EXPECT_TRUE(W().GridFrame->isVisible());
    ShowRecords(kTarget);
    EXPECT_EQ(Cell(0, 0), "    1");
}

TEST_F(ImportRecordsTest, RecordsOfASideWithoutATableAreNotShown) {
    ShowRecords(kSource);
    EXPECT_TRUE(W().GridFrame->isVisible());
    EXPECT_FALSE(W().RecordFrame->isVisible());
    EXPECT_EQ(W().Sides[kSource].ViewState, 0);
}

TEST_F(ImportRecordsTest, RecordNumbersPastFivePlacesAreShownWhole) {
    const std::string big = data.File("big.mdb");
    tavorintest::MakeTable(big, "R", {{"N", dao::dbLong}}, {});
    {
        engine::DatabasePtr d = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(big);
        d->ExecuteSql(
            "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 100005) "
            "INSERT INTO \"R\" (\"N\") SELECT n FROM c");
        d->Close();
    }
    Open(kSource, big, "R");
    ShowRecords(kSource);
    ASSERT_EQ(W().Sides[kSource].RecordCount, 100005);
    W().VScroll2->setValue(99994);
    const std::vector<std::string> expected = {"99995",  "99996",  "99997",  "99998",  "99999",
                                               "100000", "100001", "100002", "100003", "100004"};
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(Cell(row, 0), expected[static_cast<size_t>(row)]) << row;
        EXPECT_EQ(Cell(row, 1), expected[static_cast<size_t>(row)]) << row;
    }
}

} // namespace
