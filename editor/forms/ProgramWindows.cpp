#include "ProgramWindows.h"

#include "frmMdbCpy.h"
#include "frmTavorin.h"

namespace tavorin {

ProgramWindows& ProgramWindows::Instance() {
    static ProgramWindows windows;
    return windows;
}

frmTavorin* ProgramWindows::ShowDesigner() {
    auto* window = new frmTavorin;
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

frmMdbCpy* ProgramWindows::ShowImport() {
    auto* window = new frmMdbCpy;
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
