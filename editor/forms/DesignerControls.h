// The designer window's controls, by the names every procedure of the editor uses, and the
// building of them: the file frame, the table list and the index settings, the ten-line grid,
// the toolbar pictures and the prompt line.
#pragma once

#include <QMainWindow>
#include <array>

#include "core/LayoutDocument.h"
#include "modules/TavorinSub.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QScrollBar;
class QWidget;

namespace tavorin {

class ToolImage;

// The window is a view of its layout document: the document's state (the rows in use, the row
// in edit, the changed flag, the key tables) is the window's.
class DesignerControls : public QMainWindow, public ToolbarWindow, public LayoutDocument {
  public:
    static constexpr int kGridLines = 10;
    static constexpr int kToolButtons = 11;

    // The run's work store and current file, shared with the windows this one opens.
    AppContext& App;

    QWidget* ToolImage(int index) const override;
    QFrame* ToolLine(int index) const override;

    QGroupBox* Frame1 = nullptr;         // file
    QGroupBox* Frame2 = nullptr;         // table list
    QGroupBox* Frame3 = nullptr;         // index settings
    QGroupBox* Frame4 = nullptr;         // grid
    std::array<QLineEdit*, 2> Text2{};   // 0 folder, 1 file name
    std::array<QLineEdit*, 109> Text1{}; // 0 table, 1..6 index names, 7 description, 9..108 cells
    std::array<QComboBox*, 6> Combo1{};  // duplicates choice of the six keys
    std::array<QComboBox*, kGridLines> Combo2{}; // type of each grid line
    std::array<QLabel*, kGridLines> Label3{};    // row numbers
    std::array<QLabel*, 12> Label5{};            // grid headings
    std::array<QLabel*, 6> Label4{};             // captions of the key rows of Frame3
    std::array<QLabel*, 4> Label2{};             // captions of the file frame
    QLabel* Label1 = nullptr;                    // key hint
    QLabel* Label6 = nullptr;                    // prompt line
    QScrollBar* VScroll1 = nullptr;
    QListWidget* List1 = nullptr;
    QWidget* ToolBar1 = nullptr;
    std::array<tavorin::ToolImage*, kToolButtons> Image1{};
    std::array<QFrame*, 4> Line1{};

  protected:
    // app outlives the window. The controls are built by the window, in its order.
    DesignerControls(AppContext& app, QWidget* parent);

    void BuildToolbar();
    QWidget* BuildFileFrame();
    QWidget* BuildListAndIndexFrames();
    QWidget* BuildGridFrame();
    // The table list (true) or the index settings take the frame beside the file.
    void ShowTableListFrame(bool tableList);
};

} // namespace tavorin
