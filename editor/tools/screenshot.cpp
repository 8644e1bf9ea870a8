// Renders the main window as it stands after the start into a PNG file, optionally with a
// database file chosen and one of its tables loaded, as the program's command line does.
// Usage: tavorin_screenshot OUTPUT.png [FILE.mdb [TABLE]]  (run under a display, e.g.
// xvfb-run -a)
#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <string>

#include "forms/frmTavorin.h"
#include "modules/AppContext.h"
#include "modules/AppSetup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavorin::SetUpApplication(app);
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main-window.png");

    QTemporaryDir work;
    if (!work.isValid()) return 1;
    tavorin::AppContext context(engine::DBEngine::Instance().Workspaces(0));
    context.Store.SetWorkBaseOverride(work.path().toStdString());

    tavorin::frmTavorin window(context);
    if (!window.Form_Load()) return 1;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "window not exposed\n");
    if (argc > 2) {
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) std::fprintf(stderr, "window not active\n");
        const std::string file = QString::fromLocal8Bit(argv[2]).toStdString();
        const std::string table = argc > 3 ? QString::fromLocal8Bit(argv[3]).toStdString() : "";
        tavorin::Guarded(context.Platform, [&] { window.OpenOnStart(file, table); });
    }
    QTest::qWait(200);
    const bool saved = window.grab().save(output, "PNG");
    window.mnEnd_Click();
    if (!saved) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
