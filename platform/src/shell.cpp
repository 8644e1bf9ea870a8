// Opening a document with the desktop's handler.
#include "platform/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace platform {
namespace {
Shell* g_shell = nullptr;
} // namespace

Shell& CurrentShell() {
    static DesktopShell desktop;
    return g_shell ? *g_shell : desktop;
}

Shell* SetShell(Shell* shell) {
    Shell* previous = g_shell;
    g_shell = shell;
    return previous;
}

bool DesktopShell::Open(const QString& path) {
    if (!QFileInfo::exists(path)) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace platform
