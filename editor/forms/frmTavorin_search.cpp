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

} // namespace tavorin
