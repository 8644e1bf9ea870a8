// frmTavorin: opening the default-value window and applying its index defaults to the layout on
// screen.
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <algorithm>

#include "frmOption.h"
#include "frmTavorin.h"

namespace tavorin {

void frmTavorin::mnOption_Click() {
    if (!option_) {
        option_ = new frmOption(this);
        option_->Form_Load();
        // Over the index settings, which it changes.
        const QRect main = frameGeometry();
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        QPoint at(main.right() - option_->width() - 24, main.top() + 60);
        if (!area.isEmpty()) {
            at.setX(std::clamp(at.x(), area.left(),
                               std::max(area.left(), area.right() - option_->width())));
            at.setY(std::clamp(at.y(), area.top(),
                               std::max(area.top(), area.bottom() - option_->height())));
        }
        option_->move(at);
    }
    option_->show();
    option_->raise();
    option_->activateWindow();
}

frmOption* frmTavorin::OptionWindow() const {
    return option_;
}

} // namespace tavorin
