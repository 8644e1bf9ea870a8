#include "AppSetup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace tavorin {

void SetUpApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Tavorin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVORIN_VERSION));
    // Ties the windows to the installed menu entry and its icon (the desktop's task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tavorin.Tavorin"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tavorin.Tavorin")));

    // Owned by the application, which the translator must outlive the use of.
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);

    const QStringList families = QFontDatabase::families();
    for (const QString& family : {QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic")}) {
        if (families.contains(family)) {
            QFont font = QApplication::font();
            font.setFamilies({family});
            QApplication::setFont(font);
            break;
        }
    }
}

} // namespace tavorin
