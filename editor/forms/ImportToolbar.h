// The import window's toolbar: pictures 0..7 and 10 (end, back to the designer, the two files,
// the four runs, help) and the four lines that frame the picture under the mouse.
#pragma once

#include <QPixmap>
#include <array>

class QFrame;
class QWidget;

namespace tavorin {

class ToolImage;

// The pictures of the import window's toolbar (index 0..7 and 10), size x size pixels.
QPixmap ImportToolPicture(int index, int size = 24);

struct ImportToolbar {
    static constexpr int kToolButtons = 11; // Image1 0..7 and 10
    QWidget* ToolBar1 = nullptr;
    std::array<tavorin::ToolImage*, kToolButtons> Image1{};
    std::array<QFrame*, 4> Line1{};

    void BuildToolbar(QWidget* parent);
};

} // namespace tavorin
