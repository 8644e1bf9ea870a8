// Tavorin, the table-layout designer.
#include <QApplication>
#include <QCommandLineParser>

#include "forms/ProgramWindows.h"
#include "forms/frmTavorin.h"
#include "modules/AppSetup.h"
#include "modules/WorkStore.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavorin::SetUpApplication(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8("フォーマットの作成"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("workdir"),
                      QString::fromUtf8("作業フォルダーを置くフォルダー"), QStringLiteral("DIR")});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QString::fromUtf8("開くデータベースファイル（.mdb）"),
                                 QStringLiteral("[FILE"));
    parser.addPositionalArgument(QStringLiteral("TABLE"), QString::fromUtf8("読み込むテーブル"),
                                 QStringLiteral("[TABLE]]"));
    parser.process(app);
    if (parser.isSet(QStringLiteral("workdir")))
        tavorin::SetWorkBaseOverride(parser.value(QStringLiteral("workdir")).toStdString());

    // The designer and the import window take turns as the program's window; whichever ends
    // the program ends the run.
    tavorin::ProgramWindows& windows = tavorin::ProgramWindows::Instance();
    QObject::connect(&windows, &tavorin::ProgramWindows::Ended, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    tavorin::frmTavorin* window = windows.ShowDesigner();
    if (!window) return 1;
    const QStringList arguments = parser.positionalArguments();
    if (!arguments.isEmpty()) {
        const std::string file = arguments.value(0).toStdString();
        const std::string table = arguments.value(1).toStdString();
        tavorin::Guarded([&] { window->OpenOnStart(file, table); });
    }
    return QApplication::exec();
}
