#include "platform/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

QString ProgramDataFile(const QString& relative) {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString beside = programFolder.filePath(relative);
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = QDir::cleanPath(
        programFolder.filePath(QStringLiteral(TAVORIN_DATA_FROM_BIN "/") + relative));
    if (QFileInfo::exists(installed)) return installed;
    return beside;
}

} // namespace platform
