#include "ProgramWindows.h"

#include "frmMdbCpy.h"
#include "frmTavorin.h"

namespace tavorin {

ProgramWindows::ProgramWindows(AppContext& app) : app_(app) {
    app_.Turns = this;
}

ProgramWindows::~ProgramWindows() {
    if (app_.Turns == this) app_.Turns = nullptr;
}

frmTavorin* ProgramWindows::OpenDesigner() {
    auto* window = new frmTavorin(app_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->Form_Load()) {
        delete window;
        return nullptr;
    }
    connect(window, &frmTavorin::ProgramEnded, this, &ProgramWindows::Ended);
    window->show();
    current_ = window;
    return window;
}

frmMdbCpy* ProgramWindows::OpenImport() {
    auto* window = new frmMdbCpy(app_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->Form_Load()) {
        delete window;
        return nullptr;
    }
    connect(window, &frmMdbCpy::ProgramEnded, this, &ProgramWindows::Ended);
    window->show();
    current_ = window;
    return window;
}

} // namespace tavorin
