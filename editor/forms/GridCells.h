// Where each cell of the layout grid sits in the Text1 control array: line r (0..9) holds the
// indices 9 + 10r (field name) to 18 + 10r (description).
#pragma once

namespace tavorin::grid {

inline constexpr int kFirstCell = 9;
inline constexpr int kLastCell = 108;
inline constexpr int kLines = 10;
inline constexpr int kComboBase = 1000; // FocusIndex of the type box of line r: 1000 + r

enum Column : int {
    kName = 0,
    kSize = 1,
    kRepeat = 2,
    kPrimaryKey = 3, // then sub keys 1..5 in columns 4..8
    kLastKey = 8,
    kDescription = 9,
};

constexpr bool IsCell(int index) {
    return index >= kFirstCell && index <= kLastCell;
}
constexpr int LineOf(int index) {
    return (index - kFirstCell) / 10;
}
constexpr int ColumnOf(int index) {
    return (index - kFirstCell) % 10;
}
constexpr int CellOf(int line, int column) {
    return kFirstCell + 10 * line + column;
}
constexpr bool IsKeyColumn(int column) {
    return column >= kPrimaryKey && column <= kLastKey;
}

} // namespace tavorin::grid
