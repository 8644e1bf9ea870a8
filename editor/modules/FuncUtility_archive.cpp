// Extracting an LZH or ZIP archive through the archiver.
#include <QString>

#include "FuncUtility.h"
#include "TavorinSub.h"
#include "platform/archiver.h"
#include "platform/prompts.h"

namespace tavorin {

namespace {

constexpr int kReportSize = 30000;

} // namespace

void ExtractArchive(platform::Services& platform, const std::string& archivePath,
                    const std::string& destination, int32_t& fileCount, int16_t& errorMark) {
    errorMark = 0;
    const std::string kind =
        archivePath.size() >= 3 ? archivePath.substr(archivePath.size() - 3) : "";
    const bool lzh = SameText(kind, "lzh");
    if (!lzh && !SameText(kind, "zip")) {
        errorMark = 9;
        return;
    }
    platform::Archiver& archiver = platform.Archiver();
    try {
        if (lzh)
            archiver.UnlhaGetVersion();
        else
            archiver.UnZipGetVersion();
    } catch (const platform::ArchiverMissing&) {
        platform.MsgBox(QString::fromUtf8("該当するDLLがありません。"));
        errorMark = 9;
        return;
    }

    const QString path = QString::fromStdString(archivePath);
    const QString commandLine = QString::fromLatin1(lzh ? "e " : "-xs ") + QLatin1Char('"') + path +
                                QStringLiteral("\" \"") + QString::fromStdString(destination) +
                                QLatin1Char('"');
    if ((lzh ? archiver.UnlhaCheckArchive(path, 0) : archiver.UnZipCheckArchive(path, 0)) == 0) {
        errorMark = 9;
        return;
    }
    QString report;
    const int result = lzh ? archiver.Unlha(0, commandLine, report, kReportSize)
                           : archiver.UnZip(0, commandLine, report, kReportSize);
    if (result != 0) {
        errorMark = 9;
        return;
    }
    const long count = lzh ? archiver.UnlhaGetFileCount(path) : archiver.UnZipGetFileCount(path);
    fileCount = static_cast<int32_t>(count);
}

} // namespace tavorin
