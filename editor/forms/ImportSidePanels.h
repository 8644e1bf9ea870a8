// The import window's two side panels (0 target "＜移入先＞", 1 source "＜移入元＞"): the file's
// folder and name, the table's name and remarks, the buttons that switch the side between its
// field grid and its records, and the side's table list, which opens over the grids.
#pragma once

#include <array>

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace tavorin {

struct ImportSidePanels {
    std::array<QGroupBox*, 2> SideFrame{}; // "＜移入先＞", "＜移入元＞"
    std::array<QLineEdit*, 4> Text2{};     // folder, file name: 0, 1 target; 2, 3 source
    std::array<QLineEdit*, 4> Text1{};     // table name, remarks: 0, 1 target; 2, 3 source
    std::array<QGroupBox*, 2> Frame2{};    // table lists
    std::array<QListWidget*, 2> List1{};
    std::array<QPushButton*, 4> Command1{}; // 0, 1 "構成"; 2, 3 "データ表示" (target, source)

    QWidget* BuildSide(int side, QWidget* parent);
    void BuildTableList(int side, QWidget* parent);
    void SetSideToolTips();
    // Each table list over the upper part of the grids (in place), under its side's boxes.
    void PlaceTableLists(const QWidget& place);
};

} // namespace tavorin
