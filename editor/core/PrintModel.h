// The print model of a table's layout: the pages of the ruled form, computed apart from any
// printer. A page is what the printer is asked to draw, in order: texts at their positions with
// their font, and rules as lines with their width. The platform's printer draws them.
//
// The form is laid out on a grid: columns of 144 twips (a tenth of an inch), lines of 240
// twips (six to the inch), the text of line n with its top at 240·n and the rule above it 40
// twips higher. Every page carries a header (date and page number, the box with file, table and
// remark); the first page of a table also the box of its six indexes; then the column headings
// and one block of lines per layout row. A page takes lines up to 61.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/variant.h"

namespace engine {
class Recordset;
}

namespace tavorin {

// One drawing of a page: a text with its top left at (x, y), or a line from (x, y) to (x2, y2)
// of width dots (1/300 inch). Positions in twips.
struct PrintItem {
    enum Kind { kText, kLine };
    Kind kind = kText;
    int x = 0, y = 0;
    int x2 = 0, y2 = 0;   // a line's end
    int width = 1;        // a line's width
    std::string text;     // a text's text
    std::string fontName; // a text's font, as the host names it
    double fontSize = 0;  // a text's size in points
};

struct PrintedPage {
    int16_t number = 0; // the page number its header carries
    std::vector<PrintItem> items;
};

// What the header of each page shows of the table: fileName is the database file's base name
// (printed followed by ".MDB"); indexNames and duplicates, slot 0 the primary key, 1..5 the sub
// keys (duplicates 0 unique, 1 duplicates allowed, -1 none chosen).
struct LayoutPrintHeader {
    std::string fileName;
    std::string tableName;
    std::string tableRemark;
    std::array<std::string, 6> indexNames{};
    std::array<int16_t, 6> duplicates{};
};

// One layout row as it is printed: the columns of a work row.
struct PrintRow {
    std::string name;                  // FLD02
    std::string typeName;              // FLD03
    engine::Variant size;              // FLD04
    std::string repeat;                // FLD05
    std::array<std::string, 6> keys{}; // FLD06..FLD11
    std::string description;           // FLD12
};

// The rows of rows (the work rows over WKTBL ordered by FLD01), requeried first.
std::vector<PrintRow> ReadPrintRows(engine::Recordset& rows);

// One print command: the tables it prints share the page counter, so their page numbers run on.
class PrintRun {
  public:
    // date: the date every page header carries, as an OLE date.
    explicit PrintRun(double date) : date_(date) {}

    // The pages of one table's layout, one document; an empty layout takes one page of header
    // and headings.
    std::vector<PrintedPage> LayOut(const LayoutPrintHeader& header,
                                    const std::vector<PrintRow>& rows);
    // The number of the last page laid out (0 before the first).
    int16_t PageNo() const { return pageNo_; }

  private:
    double date_;
    int16_t pageNo_ = 0;
};

} // namespace tavorin
