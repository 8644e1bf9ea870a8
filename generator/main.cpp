// vespen: the module generator. Without arguments it opens its window; with "--" arguments it
// runs the same generation from the command line (see command_line.h) without a display.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "frmVespen.h"
#include "platform/prompts.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (vespen::WantsCommandLine(args)) return vespen::RunCommandLine(args, std::cout, std::cerr);

    QApplication app(argc, argv);
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                            QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslations);
    platform::SetApplicationTitle(QStringLiteral("Vespen"));
    frmVespen window;
    window.show();
    return app.exec();
}
