// The file dialog of the designer's windows, the table lists of a database file, and the
// quoting of names in criteria.
#include <QListWidget>
#include <QString>
#include <filesystem>

#include "FuncUtility.h"
#include "TavorinSub.h"
#include "WorkStore.h"
#include "engine/error.h"
#include "engine/workspace.h"
#include "platform/common_dialog.h"
#include "platform/prompts.h"

namespace tavorin {
namespace fs = std::filesystem;

namespace {

constexpr long kDialogFlags = platform::cdlOFNExplorer | 0x200; // explorer style, multiselect

const char* const kFilterMdb = "すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*.MDB";
// The save under a new name also offers the genuine Jet 4 format (the third type).
const char* const kFilterMdbSaveAs = "すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*.MDB|Jet 4 "
                                     "形式のＭＤＢファイル（Access 2000-2003）(*.MDB)|*.MDB";
constexpr int kJet4FilterIndex = 3;
const char* const kFilterMdbAndArchives =
    "すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*.MDB|冷凍ファイル(*.ZIP,*LZH)|*.ZIP;*.LZH";

bool SamePath(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    if (fs::path(a).lexically_normal() == fs::path(b).lexically_normal()) return true;
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

bool IsWorkDatabase(const WorkStore& store, const std::string& path) {
    return SamePath(path, store.WorkDbPath) || SamePath(path, store.PrintDbPath);
}

bool ExtensionAccepted(const std::string& extension, int16_t kind) {
    if (SameText(extension, ".MDB")) return true;
    return kind == 1 && (SameText(extension, ".ZIP") || SameText(extension, ".LZH"));
}

void Say(platform::Services& platform, const char* text) {
    platform.MsgBox(QString::fromUtf8(text));
}

} // namespace

void TakeChosenName(AppContext& app, const std::string& fullName, int16_t kind,
                    ChosenFile& chosen) {
    if (IsWorkDatabase(app.Store, fullName)) {
        Say(app.Platform, "このファイルは作業できません。");
        return;
    }
    // The extension is what follows the last dot of the file's own name: a dot in a folder
    // name (~/.local/...) is part of the folder.
    const size_t slash = fullName.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = fullName.rfind('.');
    ChosenFile result;
    result.FullPath = fullName;
    if (dot != std::string::npos && dot >= nameStart) {
        result.BaseName = fullName.substr(0, dot);
        result.Extension = fullName.substr(dot);
    } else {
        result.BaseName = fullName;
    }
    if (result.Extension == ".*") {
        result.Extension = ".MDB";
        result.FullPath = result.BaseName + ".MDB";
    }
    if (!ExtensionAccepted(result.Extension, kind)) {
        Say(app.Platform, kind == 0
                              ? "ＭＤＢファイル以外は指定できません。"
                              : "参照できないファイルです。参照可能はファイルは　*.MDB,*.ZIP,*.LZH "
                                "のみです。");
        chosen = ChosenFile{};
        return;
    }
    const size_t lastSlash = result.BaseName.find_last_of('/');
    if (lastSlash != std::string::npos) {
        result.Folder = result.BaseName.substr(0, lastSlash + 1);
        result.BaseName = result.BaseName.substr(lastSlash + 1);
    }
    if (!result.Folder.empty()) app.CurrentFile.LastFolder = result.Folder;
    chosen = std::move(result);
}

namespace {

// The dialog of ChooseDatabaseFile with the given file types; returns the type the user chose.
int ShowDatabaseDialog(AppContext& app, std::string_view mode, int16_t kind,
                       const std::string& startName, const char* filter, ChosenFile& chosen,
                       int16_t& error) {
    error = 0;
    platform::CommonDialog dialog(app.Platform.FileDialogs());
    dialog.DialogTitle = QString::fromUtf8("ファイルの指定");
    dialog.InitDir = QString::fromStdString(app.CurrentFile.LastFolder);
    dialog.DefaultExt = QStringLiteral("*");
    dialog.FileName = QString::fromStdString(startName);
    dialog.Flags = kDialogFlags;
    dialog.CancelError = true;
    dialog.Filter = QString::fromUtf8(filter);
    try {
        if (SameText(mode, "W"))
            dialog.ShowSave();
        else
            dialog.ShowOpen();
    } catch (const platform::DialogCancelled& cancelled) {
        error = static_cast<int16_t>(cancelled.number);
        return 0;
    }
    const std::string name = dialog.FileName.toStdString();
    if (!name.empty()) TakeChosenName(app, name, kind, chosen);
    return dialog.FilterIndex;
}

} // namespace

void ChooseDatabaseFile(AppContext& app, std::string_view mode, int16_t kind,
                        const std::string& startName, ChosenFile& chosen, int16_t& error) {
    ShowDatabaseDialog(app, mode, kind, startName, kind == 1 ? kFilterMdbAndArchives : kFilterMdb,
                       chosen, error);
}

void ChooseSaveAsFile(AppContext& app, const std::string& startName, ChosenFile& chosen,
                      int16_t& error) {
    const int type = ShowDatabaseDialog(app, "W", 0, startName, kFilterMdbSaveAs, chosen, error);
    chosen.Jet4 = error == 0 && !chosen.FullPath.empty() && type == kJet4FilterIndex;
}

void LoadTableList(engine::Workspace& ws, const std::string& path, QListWidget* list,
                   std::vector<TableListEntry>& tables) {
    list->clear();
    tables.clear();
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return;

    engine::DatabasePtr db = ws.OpenDatabase(path);
    struct Closer {
        engine::Database& db;
        ~Closer() { db.Close(); }
    } closer{*db};
    engine::TableDefs& defs = db->TableDefs();
    QStringList lines;
    for (size_t i = 0; i < defs.Count(); ++i) {
        engine::TableDefPtr table = defs[i];
        const std::string& name = table->Name();
        if (name.size() >= 4 && SameText(std::string_view(name).substr(0, 4), "MSys")) continue;
        TableListEntry entry{name, DescriptionOf(table->Properties())};
        const int32_t width = ByteLength(name);
        const std::string gap =
            width < 30 ? std::string(static_cast<size_t>(30 - width), ' ') : std::string("  ");
        lines << QString::fromStdString(name + gap + entry.Description);
        tables.push_back(std::move(entry));
    }
    list->addItems(lines);
}

} // namespace tavorin
