// frmTavorin: opening the reference table window.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "frmRefTableList.h"
#include "frmTavorin.h"

namespace tavorin {

void frmTavorin::mnTableRef_Click() {
    int16_t error = 0;
    StoreRow(error);
    if (error != 0) return;
    if (!refTables_) {
        refTables_ = new frmRefTableList(this);
        refTables_->Form_Load();
        // Beside the main window where the screen has room, else at the screen's right edge.
        const QRect main = frameGeometry();
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        int left = main.right() + 1;
        if (!area.isEmpty() && left + refTables_->width() > area.right())
            left = std::max(area.left(), area.right() - refTables_->width());
        refTables_->move(left, main.top());
    }
    refTables_->show();
    refTables_->raise();
    refTables_->activateWindow();
}

frmRefTableList* frmTavorin::RefTableWindow() const {
    return refTables_;
}

} // namespace tavorin
