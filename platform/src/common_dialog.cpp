// The common dialog over the FileDialogs stand-in, and the Qt file dialog behind it.
#include "platform/common_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QTreeView>

#include "file_dialog_columns.h"

namespace platform {
namespace {

// A host pattern as a Qt wildcard: "*.*" matches every name (also names without a dot), and
// letters match either case, as the host's file system does.
QString QtPatternOf(const QString& pattern) {
    const QString p = pattern.trimmed();
    if (p == QLatin1String("*.*")) return QStringLiteral("*");
    QString out;
    for (const QChar c : p) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QLatin1Char('[') + c.toUpper() + c.toLower() + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

// The host's number (from 1) of the filter the dialog shows. With the details hidden the dialog
// names a filter by its description alone.
int ShownFilterIndex(const QString& shown, const FileDialogRequest& request) {
    const QStringList filters = QtNameFilters(request.filter);
    const QStringList parts = request.filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (shown == filters[i] || shown == parts[2 * i].trimmed()) return static_cast<int>(i) + 1;
    return request.filterIndex;
}

} // namespace

QStringList QtNameFilters(const QString& filter) {
    QStringList out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << QtPatternOf(p);
        if (patterns.isEmpty()) patterns << QStringLiteral("*");
        // The dialog shows only the description (HideNameFilterDetails); Qt reads the patterns
        // from the last parenthesised group.
        out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

bool CommonDialog::ShowOpen() {
    return Show(false);
}
bool CommonDialog::ShowSave() {
    return Show(true);
}

bool CommonDialog::Show(bool save) {
    FileDialogRequest request;
    request.save = save;
    request.title = DialogTitle;
    request.initDir = InitDir;
    request.defaultExt = DefaultExt;
    request.fileName = FileName;
    request.filter = Filter;
    request.filterIndex = FilterIndex;
    request.flags = Flags;
    const std::optional<FileDialogAnswer> chosen = dialogs_.Show(request);
    if (!chosen || chosen->path.isEmpty()) {
        FileName.clear();
        FileTitle.clear();
        if (CancelError) throw DialogCancelled{};
        return false;
    }
    FileName = chosen->path;
    FileTitle = QFileInfo(chosen->path).fileName();
    FilterIndex = chosen->filterIndex;
    return true;
}

std::optional<FileDialogAnswer> QtFileDialogs::Show(const FileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // Japanese columns, each as wide as its widest text, in the detail view (the dialog owns
    // the proxy).
    dialog.setProxyModel(new JapaneseFileColumns(&dialog));
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        for (int column = 1; column < 4; ++column)
            details->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Without "file must exist" the host's open dialog also takes the name of a new file.
    dialog.setFileMode(!request.save && (request.flags & cdlOFNFileMustExist)
                           ? QFileDialog::ExistingFile
                           : QFileDialog::AnyFile);
    if (request.save && !(request.flags & cdlOFNOverwritePrompt))
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.initDir.isEmpty()) dialog.setDirectory(request.initDir);
    if (!request.defaultExt.isEmpty()) dialog.setDefaultSuffix(request.defaultExt);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const qsizetype index = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                                    ? request.filterIndex - 1
                                    : 0;
        dialog.selectNameFilter(filters[index]);
    }
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return FileDialogAnswer{QDir::toNativeSeparators(files.first()),
                            ShownFilterIndex(dialog.selectedNameFilter(), request)};
}

} // namespace platform
