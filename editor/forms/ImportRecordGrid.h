// The import window's record view, shown in the field grids' place: one side's records, ten
// records by seven fields at a time, with a record number column and scroll bars through the
// fields and the records.
#pragma once

#include <array>

class QLabel;
class QLineEdit;
class QScrollBar;
class QWidget;

namespace tavorin {

struct ImportRecordGrid {
    static constexpr int kRecordColumns = 8; // record number and seven fields
    static constexpr int kRecordLines = 10;
    QWidget* RecordFrame = nullptr;
    QLabel* RecordTitle = nullptr;                // "移入先テーブル：　" & table name
    QLabel* RecordNoHeading = nullptr;            // "行番"
    std::array<QLabel*, kRecordColumns> Label6{}; // headings of the shown fields (1..7)
    std::array<QLineEdit*, 80> Text4{};           // record cells, row r column k at 8r + k
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* VScroll2 = nullptr;

    QWidget* BuildRecordFrame(QWidget* parent);
};

} // namespace tavorin
