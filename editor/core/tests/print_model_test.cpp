// The print model: how many pages a layout takes, where a long layout breaks, and the page
// numbers of the tables of one print run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/PrintModel.h"
#include "engine/variant.h"

namespace {

using tavorin::PrintedPage;
using tavorin::PrintItem;
using tavorin::PrintRow;
using tavorin::PrintRun;

const double kDate = engine::DateSerial(2024, 1, 5);

std::vector<PrintRow> OneLineRows(int count) {
    std::vector<PrintRow> rows;
    for (int i = 1; i <= count; ++i) {
        PrintRow row;
        row.name = "F" + std::to_string(i);
        row.typeName = "dbLong";
        row.size = engine::Variant::Integer(4);
        rows.push_back(row);
    }
    return rows;
}

tavorin::LayoutPrintHeader Header(const std::string& table) {
    tavorin::LayoutPrintHeader header;
    header.fileName = "shop";
    header.tableName = table;
    header.indexNames[0] = "PrimaryKey";
    return header;
}

// The text a page prints at (x, line); "" when none.
std::string TextAt(const PrintedPage& page, int x, int line) {
    for (const PrintItem& item : page.items)
        if (item.kind == PrintItem::kText && item.x == x && item.y == 240 * line) return item.text;
    return {};
}

TEST(PrintModel, APageTakesLinesUpToTheSixtyFirstTheFirstPageLessTheKeyBox) {
    // The first page's rows begin on line 11 (under the key box), the others' on line 7.
    struct Case {
        int rows;
        size_t pages;
        std::string lastNumber; // the row number the last page ends with (the headings' when none)
    };
    const Case cases[] = {
        {0, 1, "No."}, {51, 1, " 51"}, {52, 2, " 52"}, {106, 2, "106"}, {107, 3, "107"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        PrintRun run(kDate);
        const std::vector<PrintedPage> pages = run.LayOut(Header("T"), OneLineRows(c.rows));
        ASSERT_EQ(pages.size(), c.pages);
        const PrintedPage& last = pages.back();
        const int firstLine = pages.size() == 1 ? 11 : 7;
        const int rowsOnLast = c.rows == 0 ? 0 : (c.rows - 51 - 1) % 55 + 1;
        const int lastLine = pages.size() == 1 ? 10 + c.rows : firstLine - 1 + rowsOnLast;
        EXPECT_EQ(TextAt(last, 720, lastLine), c.lastNumber);
        // The page ends with the thick rule under its last line.
        const PrintItem& closing = last.items.back();
        EXPECT_EQ(closing.kind, PrintItem::kLine);
        EXPECT_EQ(closing.y, 240 * lastLine + 200);
        EXPECT_EQ(closing.width, 5);
    }
}

TEST(PrintModel, ARowOfSeveralLinesGoesOnUnderTheNextPagesHeaderWithoutItsNumber) {
    std::vector<PrintRow> rows = OneLineRows(50); // lines 11 .. 60
    PrintRow wide;
    wide.name = "WIDE";
    wide.typeName = "dbText";
    wide.size = engine::Variant::Integer(10);
    wide.description = std::string(37, 'a') + std::string(37, 'b') + "c"; // three lines
    rows.push_back(wide);
    rows.push_back(OneLineRows(1)[0]);
    PrintRun run(kDate);
    const std::vector<PrintedPage> pages = run.LayOut(Header("T"), rows);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(TextAt(pages[0], 720, 61), " 51");
    EXPECT_EQ(TextAt(pages[0], 7776, 61), std::string(37, 'a'));
    // Page 2: no key box; the headings on line 6, the rest of the row on 7 and 8, then row 52.
    EXPECT_EQ(TextAt(pages[1], 1152, 6), "フィールド名");
    EXPECT_EQ(TextAt(pages[1], 7776, 7), std::string(37, 'b'));
    EXPECT_EQ(TextAt(pages[1], 720, 7), "");
    EXPECT_EQ(TextAt(pages[1], 7776, 8), "c");
    EXPECT_EQ(TextAt(pages[1], 720, 9), " 52");
}

TEST(PrintModel, TheTablesOfOneRunNumberTheirPagesOnEachWithItsKeyBox) {
    PrintRun run(kDate);
    std::vector<PrintedPage> pages = run.LayOut(Header("A"), OneLineRows(52));
    for (PrintedPage& page : run.LayOut(Header("B"), OneLineRows(1)))
        pages.push_back(std::move(page));
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(run.PageNo(), 3);
    const std::string numbers[3] = {"  1)", "  2)", "  3)"};
    // Line 6 holds the key box on a table's first page, the headings on the others.
    const std::string keyBox[3] = {"主キー", "フィールド名", "主キー"};
    for (size_t p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(pages[p].number, static_cast<int16_t>(p + 1));
        EXPECT_EQ(TextAt(pages[p], 10656, 1), numbers[p]);
        EXPECT_EQ(TextAt(pages[p], 8496, 1), "2024年1月5日作成 (Page");
        EXPECT_EQ(TextAt(pages[p], 1152, 6), keyBox[p]);
    }
    EXPECT_EQ(TextAt(pages[2], 4032, 4), "B");
}

} // namespace
