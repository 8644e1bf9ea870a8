// The import window's two field grids: ten work rows each, the target's with its link column
// (cells 0..49, five a row), the source's without (cells 50..89, four a row), their headings
// and scroll bars, and the colours that mark the selected target row and the linked source
// rows.
#pragma once

#include <QColor>
#include <array>

class QLabel;
class QLineEdit;
class QObject;
class QScrollBar;
class QWidget;

namespace tavorin {

struct ImportFieldGrids {
    static constexpr int kGridLines = 10;
    QWidget* GridFrame = nullptr;       // the two field grids
    std::array<QLineEdit*, 90> Text3{}; // grid cells: 0..49 target, 50..89 source
    std::array<QLabel*, 9> Label5{};    // grid headings: 0..4 target, 5..8 source
    std::array<QScrollBar*, 2> VScroll1{};

    // The grids, their cells' events going to filter.
    QWidget* BuildGridFrame(QWidget* parent, QObject* filter);
    void SetGridToolTips();
    // The cell's index in Text3; -1 for another object.
    int Text3Index(const QObject* object) const;
    void PaintRow(int side, int row, const QColor& colour);
    static QColor NormalColour(int side);
    static QColor HighlightColour(int side);
};

} // namespace tavorin
