// Tavorin, the table-layout designer.
#include <QApplication>
#include <QCommandLineParser>
#include <iostream>
#include <string_view>

#include "engine/workspace.h"
#include "forms/ConvertCommand.h"
#include "forms/PrintCommand.h"
#include "forms/ProgramWindows.h"
#include "forms/frmTavorin.h"
#include "modules/AppContext.h"
#include "modules/AppSetup.h"

namespace {

// The print and convert command lines and the help and version texts open no window.
bool NeedsNoWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        for (std::string_view option : {"--print", "--table", "--pdf", "--convert", "--format",
                                        "--help", "-h", "--help-all", "--version", "-v"}) {
            if (argument == option) return true;
            if (option.starts_with("--") && argument.size() > option.size() &&
                argument.starts_with(option) && argument[option.size()] == '=')
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // Printing from the command line needs no display (scripts, servers).
    if (NeedsNoWindow(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tavorin::SetUpApplication(app);
    // The one workspace of the run, and the run's state, handed to every window.
    engine::Workspace& workspace = engine::DBEngine::Instance().Workspaces(0);
    tavorin::AppContext context(workspace);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8("フォーマットの作成"));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addOption({QStringLiteral("workdir"),
                      QString::fromUtf8("作業フォルダーを置くフォルダー"), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("print"),
                      QString::fromUtf8("ウィンドウを開かずに FILE.mdb のレイアウトを印刷する"
                                        "（--table がなければすべてのテーブル）。--pdf が必要"),
                      QStringLiteral("FILE.mdb")});
    parser.addOption({QStringLiteral("table"), QString::fromUtf8("--print で印刷するテーブル"),
                      QStringLiteral("T")});
    parser.addOption({QStringLiteral("pdf"), QString::fromUtf8("--print の出力先 PDF ファイル"),
                      QStringLiteral("OUT.pdf")});
    parser.addOption(
        {QStringLiteral("convert"),
         QString::fromUtf8("ウィンドウを開かずに IN.mdb を新しいファイル OUT.mdb に書き出す"
                           "（tavorin --convert IN.mdb OUT.mdb --format jet3|jet4|native）"),
         QStringLiteral("IN.mdb")});
    parser.addOption(
        {QStringLiteral("format"),
         QString::fromUtf8(
             "--convert の形式: jet3（Jet 3 形式の .mdb、Access 97、コードページ 932）、"
             "jet4（Jet 4 形式の .mdb、Access 2000-2003）または "
             "native（このプログラムのファイル）"),
         QStringLiteral("jet3|jet4|native")});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QString::fromUtf8("開くデータベースファイル（.mdb）"),
                                 QStringLiteral("[FILE"));
    parser.addPositionalArgument(QStringLiteral("TABLE"), QString::fromUtf8("読み込むテーブル"),
                                 QStringLiteral("[TABLE]]"));
    // Parsed here rather than by process(), which ends the program with exit() for help and
    // errors, past the destructors.
    if (!parser.parse(QApplication::arguments())) {
        std::cerr << parser.errorText().toStdString() << std::endl;
        return 2;
    }
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        std::cout << parser.helpText().toStdString() << std::flush;
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::cout << QApplication::applicationName().toStdString() << ' '
                  << QApplication::applicationVersion().toStdString() << std::endl;
        return 0;
    }
    if (parser.isSet(QStringLiteral("workdir")))
        context.Store.SetWorkBaseOverride(parser.value(QStringLiteral("workdir")).toStdString());

    const bool print = parser.isSet(QStringLiteral("print"));
    if (print || parser.isSet(QStringLiteral("table")) || parser.isSet(QStringLiteral("pdf"))) {
        if (!print || !parser.isSet(QStringLiteral("pdf"))) {
            std::cerr
                << "tavorin: --print FILE.mdb [--table T] --pdf OUT.pdf の形で指定して下さい。"
                << std::endl;
            return 2;
        }
        return tavorin::RunPrintCommand(
            workspace, parser.value(QStringLiteral("workdir")).toStdString(),
            parser.value(QStringLiteral("print")).toStdString(),
            parser.value(QStringLiteral("table")).toStdString(),
            parser.value(QStringLiteral("pdf")).toStdString(), std::cerr);
    }

    if (parser.isSet(QStringLiteral("convert")) || parser.isSet(QStringLiteral("format"))) {
        const QString format = parser.value(QStringLiteral("format"));
        const QStringList rest = parser.positionalArguments();
        if (!parser.isSet(QStringLiteral("convert")) || rest.size() != 1 ||
            (format != QLatin1String("jet3") && format != QLatin1String("jet4") &&
             format != QLatin1String("native"))) {
            std::cerr << "tavorin: --convert IN.mdb OUT.mdb --format jet3|jet4|native "
                         "の形で指定して下さい。"
                      << std::endl;
            return 2;
        }
        return tavorin::RunConvertCommand(
            workspace, parser.value(QStringLiteral("convert")).toStdString(),
            rest.front().toStdString(),
            format == QLatin1String("jet3")   ? tavorin::ConvertFormat::Jet3
            : format == QLatin1String("jet4") ? tavorin::ConvertFormat::Jet4
                                              : tavorin::ConvertFormat::Native,
            std::cerr);
    }

    // The designer and the import window take turns as the program's window; whichever ends
    // the program ends the run.
    tavorin::ProgramWindows windows(context);
    QObject::connect(&windows, &tavorin::ProgramWindows::Ended, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    tavorin::frmTavorin* window = windows.OpenDesigner();
    if (!window) return 1;
    const QStringList arguments = parser.positionalArguments();
    if (!arguments.isEmpty()) {
        const std::string file = arguments.value(0).toStdString();
        const std::string table = arguments.value(1).toStdString();
        tavorin::Guarded(context.Platform, [&] { window->OpenOnStart(file, table); });
    }
    return QApplication::exec();
}
