// frmTavorin: the search and replace commands, and what the search window asks of the grid.
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

#include "GridCells.h"
#include "frmFieldEdit.h"
#include "frmTavorin.h"
#include "modules/WorkStore.h"

namespace tavorin {

using namespace grid;

void frmTavorin::mnFieldSeach_Click() {
    OpenFieldEdit(0);
}

void frmTavorin::mnFieldReplace_Click() {
    OpenFieldEdit(1);
}

frmFieldEdit* frmTavorin::FieldEditWindow() const {
    return fieldEdit_ && !fieldEdit_->Unloaded() ? fieldEdit_.data() : nullptr;
}

void frmTavorin::OpenFieldEdit(int16_t mode) {
    // Text selected in a field-name cell is offered as the search text. It is read before the
    // commit, which shows the cell afresh.
    std::string selected;
    const int index = InputIndex(focusWidget());
    if (IsCell(index) && ColumnOf(index) == kName)
        selected = Text1[static_cast<size_t>(index)]->selectedText().toStdString();
    if (!CommitPendingEdit()) return;
    const bool fresh = !FieldEditWindow();
    if (fresh) fieldEdit_ = new frmFieldEdit(this);
    fieldEdit_->TakeCommand(mode, selected);
    if (fresh) {
        fieldEdit_->Form_Load();
        // Over the upper right of the main window, leaving the grid's rows in sight.
        const QRect main = frameGeometry();
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        const QSize size = fieldEdit_->sizeHint();
        QPoint at(main.right() - size.width() - 24, main.top() + 40);
        if (!area.isEmpty()) {
            at.setX(std::clamp(at.x(), area.left(),
                               std::max(area.left(), area.right() - size.width())));
            at.setY(std::clamp(at.y(), area.top(),
                               std::max(area.top(), area.bottom() - size.height())));
        }
        fieldEdit_->move(at);
    }
    fieldEdit_->ShowForCommand();
}

void frmTavorin::ShowRowsFrom(int32_t top) {
    const int32_t value = std::clamp(top, 1, std::max(LastRow, 1)) - 1;
    if (value == TopRow - 1) return;
    // The scroll bar's handler refills the grid and keeps the row in edit on the focused line.
    VScroll1->setValue(value);
}

void frmTavorin::ReloadShownRows() {
    App.Store.WorkRs->Requery();
    FillGrid(TopRow);
    if (CurRow == 0) return;
    RowBufferOp("GET");
    if (const int line = LineOfRow(CurRow); line >= 0) HighlightLabel(line, true);
}

void frmTavorin::FocusFromOutside(QWidget* target, bool commit, int16_t& error) {
    error = 0;
    const int index = focusedInput_ && focusedInput_ != target ? InputIndex(focusedInput_) : -1;
    if (index >= 0 && index < kComboBase) {
        if (CellDirty > 0) {
            if (!commit) return;
            StoreRow(error);
            if (error != 0) return;
        } else if (CellEdited) {
            RestoreCell(index);
            CellEdited = false;
        }
    }
    // The box is left: the activation that follows is the target's focus, not a return.
    focusedInput_ = nullptr;
    gotFocusDone_ = true;
    target->setFocus();
}

} // namespace tavorin
