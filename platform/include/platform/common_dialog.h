// CommonDialog: the file open and save dialog as the programs drive it: they set the
// properties, call ShowOpen or ShowSave, and read FileName back.
//
// The dialog itself is a FileDialogs stand-in: QtFileDialogs in the programs, and
// ScriptedFileDialogs in tests, which records every request and answers from a queue.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// Flags of the host's common dialog that the programs set.
enum CommonDialogFlags : long {
    cdlOFNReadOnly = 0x1,
    cdlOFNOverwritePrompt = 0x2,
    cdlOFNHideReadOnly = 0x4,
    cdlOFNNoChangeDir = 0x8,
    cdlOFNPathMustExist = 0x800,
    cdlOFNFileMustExist = 0x1000,
    cdlOFNCreatePrompt = 0x2000,
    cdlOFNExplorer = 0x80000,
    cdlOFNLongNames = 0x200000,
};

// The host's error number for a cancelled dialog when CancelError is set.
constexpr long cdlCancel = 32755;

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString initDir;
    QString defaultExt;
    QString fileName;
    QString filter; // "description|pattern|description|pattern..."
    int filterIndex = 1;
    long flags = 0;
};

// What the user chose: the full path, and the filter (the file type) shown when the name was
// taken, counted from 1 in the order of the request's filter.
struct FileDialogAnswer {
    QString path;
    int filterIndex = 1;
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The user's choice, or nullopt when the user cancelled.
    virtual std::optional<FileDialogAnswer> Show(const FileDialogRequest& request) = 0;
};

// Thrown by ShowOpen/ShowSave on cancel when CancelError is true.
struct DialogCancelled {
    long number = cdlCancel;
};

class CommonDialog {
  public:
    // Shows its requests with dialogs (not owned).
    explicit CommonDialog(FileDialogs& dialogs) : dialogs_(dialogs) {}

    QString DialogTitle;
    QString InitDir;
    QString DefaultExt;
    QString FileName;  // in: the proposed name; out: the chosen full path
    QString FileTitle; // out: the chosen file name without folder
    QString Filter;
    int FilterIndex = 1; // in: the filter shown first; out: the one the user chose
    long Flags = 0;
    bool CancelError = false;

    // Each returns true when a file was chosen. On cancel: FileName is set to "" and false is
    // returned, or DialogCancelled is thrown when CancelError is true.
    bool ShowOpen();
    bool ShowSave();

  private:
    bool Show(bool save);
    FileDialogs& dialogs_;
};

// The host's filter "description|pattern;pattern|..." as Qt name filters: one entry per pair,
// the description followed by its patterns in parentheses, "*.*" as "*" and letters matching
// either case.
QStringList QtNameFilters(const QString& filter);

// The real dialog (QFileDialog, non-native so that it looks the same everywhere, with
// Japanese captions from Qt's translations).
class QtFileDialogs : public FileDialogs {
  public:
    std::optional<FileDialogAnswer> Show(const FileDialogRequest& request) override;
};

} // namespace platform
