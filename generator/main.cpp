// vespen: the module generator. Without arguments it opens its window (on FILE.mdb when one is
// named); with "--" arguments it runs the same generation from the command line (see
// command_line.h) without a display.
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "engine/workspace.h"
#include "frmVespen.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // The one workspace of the run, handed down to what opens databases.
    engine::Workspace& workspace = engine::DBEngine::Instance().Workspaces(0);
    if (vespen::WantsCommandLine(args))
        return vespen::RunCommandLine(workspace, args, std::cout, std::cerr);

    QApplication app(argc, argv);
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                            QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslations);
    // The run's state, handed to the window.
    VespenContext context(workspace);
    context.Platform.SetTitle(QStringLiteral("Vespen"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tavorin.Vespen"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tavorin.Vespen")));
    frmVespen window(context);
    window.show();
    // A file named on the command line (the file manager's "open with") is taken as chosen.
    if (!args.empty()) window.OpenDatabase(QFile::decodeName(args.front().c_str()));
    return app.exec();
}
