// The file dialog's columns in Japanese.
#include "file_dialog_columns.h"

#include <QFileInfo>
#include <QFileSystemModel>
#include <QLocale>

namespace platform {
namespace {

enum Column { kName = 0, kSize = 1, kKind = 2, kDate = 3 };

QLocale Japanese() {
    return QLocale(QLocale::Japanese, QLocale::Japan);
}

} // namespace

QVariant JapaneseFileColumns::data(const QModelIndex& index, int role) const {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || !index.isValid() || index.column() == kName)
        return QIdentityProxyModel::data(index, role);
    const QFileInfo info = files->fileInfo(mapToSource(index));
    switch (index.column()) {
    case kSize:
        if (info.isDir()) return QString();
        // Traditional units (KB, MB) as the user's own system shows sizes.
        return Japanese().formattedDataSize(info.size(), 1, QLocale::DataSizeTraditionalFormat);
    case kKind:
        if (info.isDir()) return QString::fromUtf8("フォルダー");
        if (info.suffix().isEmpty()) return QString::fromUtf8("ファイル");
        return info.suffix().toUpper() + QString::fromUtf8(" ファイル");
    case kDate:
        return Japanese().toString(info.lastModified(), QStringLiteral("yyyy/MM/dd HH:mm"));
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

QVariant JapaneseFileColumns::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QIdentityProxyModel::headerData(section, orientation, role);
    switch (section) {
    case kName:
        return QString::fromUtf8("名前");
    case kSize:
        return QString::fromUtf8("サイズ");
    case kKind:
        return QString::fromUtf8("種類");
    case kDate:
        return QString::fromUtf8("更新日時");
    default:
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
}

} // namespace platform
