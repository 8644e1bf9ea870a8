// Renders the main window as it stands after the start into a PNG file.
// Usage: tavorin_screenshot OUTPUT.png  (run under a display, e.g. xvfb-run -a)
#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "forms/frmTavorin.h"
#include "modules/AppSetup.h"
#include "modules/WorkStore.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavorin::SetUpApplication(app);
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main-window.png");

    QTemporaryDir work;
    if (!work.isValid()) return 1;
    tavorin::SetWorkBaseOverride(work.path().toStdString());

    tavorin::frmTavorin window;
    if (!window.Form_Load()) return 1;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "window not exposed\n");
    QTest::qWait(200);
    const bool saved = window.grab().save(output, "PNG");
    window.mnEnd_Click();
    if (!saved) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
