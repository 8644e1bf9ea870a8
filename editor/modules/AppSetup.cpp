#include "AppSetup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

namespace tavorin {

void SetUpApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Tavorin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVORIN_VERSION));

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
