// The designer window's commands of the file menu that act on the current database file as a
// whole: rename, delete, save a copy under a new name (a genuine Jet file becomes a native
// copy), and release.
//
// The engine keeps every native file attached to its connection while any object holds it, so
// the work database, the grid's recordset and the user database are let go before a file
// operation, and the operation itself refuses a file the engine still holds. The current path
// only ever changes after the file on disk has its new name.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <filesystem>

#include "DesignerFileCommands.h"
#include "QtText.h"
#include "core/DatabaseFiles.h"
#include "core/NativeCopy.h"
#include "engine/database.h"
#include "engine/error.h"
#include "engine/jet4_writer.h"
#include "engine/workspace.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"
#include "platform/services.h"

namespace tavorin {
namespace {

void Say(platform::Services& platform, const char* text) {
    platform.MsgBox(QString::fromUtf8(text));
}

// The file dialog in its save mode with the current file name preset. False when it was
// cancelled or gave no usable path.
bool ChooseTarget(AppContext& app, ChosenFile& chosen) {
    int16_t error = 0;
    chosen = ChosenFile{};
    ChooseDatabaseFile(app, "W", 0, app.CurrentFile.BaseName + app.CurrentFile.Extension, chosen,
                       error);
    return error == 0 && !chosen.FullPath.empty();
}

// The save dialog of the save under a new name, which also offers the genuine Jet 4 format.
bool ChooseSaveAsTarget(AppContext& app, ChosenFile& chosen) {
    int16_t error = 0;
    chosen = ChosenFile{};
    ChooseSaveAsFile(app, app.CurrentFile.BaseName + app.CurrentFile.Extension, chosen, error);
    return error == 0 && !chosen.FullPath.empty();
}

// Takes the chosen path as the current file, as the file boxes show it.
void TakeCurrentPath(AppContext& app, const ChosenFile& chosen) {
    app.CurrentFile.Folder = chosen.Folder;
    app.CurrentFile.BaseName = chosen.BaseName;
    app.CurrentFile.Extension = chosen.Extension;
    app.CurrentFile.FullPath = chosen.FullPath;
}

// A failed file operation: one message with the system's reason.
void ShowFileError(platform::Services& platform, const engine::Error& e) {
    ShowUnexpectedError(platform, e);
}

// A file another program is in the middle of changing is refused at once, before any question
// or dialog; the file operations check again when they touch the disk.
bool RefuseFileBeingChanged(AppContext& app, const std::string& path) {
    try {
        app.Store.Ws->RefuseFileBeingChanged(path);
        return false;
    } catch (const engine::Error& e) {
        ShowFileError(app.Platform, e);
        return true;
    }
}

} // namespace

void DesignerFileCommands::ConnectFileCommands() {
    connect(mnFileRename, &QAction::triggered, this,
            [this] { RunEvent([this] { mnFileRename_Click(); }); });
    connect(mnFileDel, &QAction::triggered, this,
            [this] { RunEvent([this] { mnFileDel_Click(); }); });
    connect(mnFileCpy, &QAction::triggered, this,
            [this] { RunEvent([this] { mnFileCpy_Click(); }); });
    connect(mnFileFree, &QAction::triggered, this,
            [this] { RunEvent([this] { mnFileFree_Click(); }); });
    for (QAction* command : {mnFileRename, mnFileDel, mnFileCpy, mnFileFree})
        MarkCommandAvailable(command);
}

void DesignerFileCommands::CloseWorkStoreForFileOperation() {
    CloseUserDatabase();
    App.Store.CloseWorkStore();
}

void DesignerFileCommands::ReopenWorkStoreAfterFileOperation() {
    App.Store.WorkDb = App.Store.Ws->OpenDatabase(App.Store.WorkDbPath);
    ReopenGridRecordset();
    if (!CurrentTable.empty() && FileExists(App.CurrentFile.FullPath)) OpenUserDatabase();
}

void DesignerFileCommands::mnFileRename_Click() {
    ChosenFile chosen;
    if (!RefuseFileBeingChanged(App, App.CurrentFile.FullPath) && ChooseTarget(App, chosen)) {
        if (DatabaseNameTaken(chosen.FullPath)) {
            Say(App.Platform,
                "同じ名前のファイルが存在します。ファイル名の変更はできませんでした。");
        } else {
            CloseWorkStoreForFileOperation();
            bool moved = false;
            try {
                MoveDatabaseFile(*App.Store.Ws, App.FileHook, App.CurrentFile.FullPath,
                                 chosen.FullPath);
                moved = true;
            } catch (const engine::Error& e) {
                ShowFileError(App.Platform, e);
            }
            if (moved) {
                TakeCurrentPath(App, chosen);
                Text2[0]->setText(Q(App.CurrentFile.Folder));
                Text2[1]->setText(Q(App.CurrentFile.BaseName + App.CurrentFile.Extension));
            }
            ReopenWorkStoreAfterFileOperation();
        }
    }
    MoveFocus(Text1[0]);
}

void DesignerFileCommands::mnFileDel_Click() {
    const std::string path = App.CurrentFile.FullPath;
    if (!path.empty()) {
        if (RefuseFileBeingChanged(App, path)) {
            // Nothing is asked or deleted.
        } else if (FileExists(path)) {
            const QString question =
                QString::fromUtf8("データベース  [") + Q(path) +
                QString::fromUtf8(
                    "]  を削除します。すべてのテーブル、データは失われます。よろしいか。");
            if (App.Platform.MsgBox(question, platform::vbOKCancel) == platform::vbOK) {
                CloseUserDatabase();
                DeleteDatabaseFile(*App.Store.Ws, App.FileHook, path);
                ReleaseFile();
            }
        } else {
            Say(App.Platform, "指定のデータベースは存在しません。");
        }
    }
    MoveFocus(Text1[0]);
}

void DesignerFileCommands::mnFileCpy_Click() {
    ChosenFile chosen;
    if (RefuseFileBeingChanged(App, App.CurrentFile.FullPath) || !ChooseSaveAsTarget(App, chosen)) {
        MoveFocus(Text1[0]);
        return;
    }
    if (DatabaseNameTaken(chosen.FullPath)) {
        Say(App.Platform, "同じ名前のファイルが存在します。ファイルの保存はできませんでした。");
        MoveFocus(Text1[0]);
        return;
    }
    CloseWorkStoreForFileOperation();
    // The copy is made in the work folder and moved into place only once it is complete, so
    // that the chosen path never shows a half-written file.
    const std::string workCopy = App.Store.WorkFolder + "/" + chosen.BaseName + ".MDB";
    const bool convert = !chosen.Jet4 && IsJetFile(App.CurrentFile.FullPath);
    try {
        if (chosen.Jet4) {
            engine::DatabasePtr source = App.Store.Ws->OpenDatabase(App.CurrentFile.FullPath);
            struct Closer {
                engine::Database& db;
                ~Closer() { db.Close(); }
            } closer{*source};
            engine::WriteJet4(*source, workCopy);
        } else if (convert) {
            WriteNativeCopy(*App.Store.Ws, App.CurrentFile.FullPath, workCopy,
                            [this](const std::string& table, long records) {
                                Label6->setText(
                                    Q("   " + table + "  作業件数 ＝ " + std::to_string(records)));
                                Label6->repaint();
                            });
        } else {
            CopyDatabaseFile(*App.Store.Ws, App.FileHook, App.CurrentFile.FullPath, workCopy);
        }
    } catch (const std::exception& e) {
        Label6->clear();
        // A file that became busy meanwhile is named as such, as at the start; a database the
        // Jet 4 format cannot hold, with the writer's reason.
        const auto* failure = dynamic_cast<const engine::Error*>(&e);
        if (failure && (failure->Number() == engine::err::kLocked || chosen.Jet4))
            ShowFileError(App.Platform, *failure);
        else
            Say(App.Platform, "ファイルの保存に失敗しました。");
        ReopenWorkStoreAfterFileOperation();
        MoveFocus(Text1[0]);
        return;
    }
    Label6->clear();
    bool moved = false;
    try {
        MoveDatabaseFile(*App.Store.Ws, App.FileHook, workCopy, chosen.FullPath);
        moved = true;
    } catch (const engine::Error& e) {
        ShowFileError(App.Platform, e);
        try {
            DeleteDatabaseFile(*App.Store.Ws, App.FileHook, workCopy);
        } catch (const engine::Error&) {
            // The work folder goes with the program's end.
        }
    }
    // A genuine Jet 4 copy is written for the user's other programs; work goes on in the file
    // the designer can change.
    if (moved && !chosen.Jet4) {
        TakeCurrentPath(App, chosen);
        Text2[0]->setText(Q(App.CurrentFile.Folder));
        Text2[1]->setText(Q(App.CurrentFile.BaseName + App.CurrentFile.Extension));
    }
    ReopenWorkStoreAfterFileOperation();
    if (moved && chosen.Jet4)
        App.Platform.MsgBox(
            QString::fromUtf8("Jet 4 形式（Access 2000-2003）のファイル ") + Q(chosen.FullPath) +
            QString::fromUtf8(" を書き出しました。作業は引き続き現在のファイルで行います。"));
    if (moved && convert)
        Say(App.Platform,
            "Jet "
            "形式のファイルを、編集できる形式のデータベースに変換して保存しました。以後はこのファイ"
            "ルで作業します。");
    MoveFocus(Text1[0]);
}

void DesignerFileCommands::mnFileFree_Click() {
    if (RefuseFileBeingChanged(App, App.CurrentFile.FullPath)) {
        MoveFocus(Text1[0]);
        return;
    }
    if (!SettleLayoutBeforeLeaving()) return;
    ReleaseFile();
    MoveFocus(Text1[0]);
}

} // namespace tavorin
