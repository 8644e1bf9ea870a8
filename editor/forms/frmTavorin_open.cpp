// frmTavorin: choosing a database file and a table, and loading the table's definition into
// the work rows of the grid.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <filesystem>

#include "QtText.h"
#include "core/DatabaseFiles.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "frmTavorin.h"
#include "modules/FuncUtility.h"
#include "modules/WindowPrompts.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
namespace fs = std::filesystem;

// ---- The file ----------------------------------------------------------------------------------

void frmTavorin::Text2_Click() {
    int16_t error = 0;
    StoreRow(error);
    if (error != 0) return;
    if (LayoutChanged > 0) {
        int16_t answer = 0;
        AskSaveChanges(answer);
        if (answer == platform::vbCancel) return;
    }
    ChosenFile chosen{App.CurrentFile.Folder, App.CurrentFile.BaseName, App.CurrentFile.Extension,
                      App.CurrentFile.FullPath};
    ChooseDatabaseFile(App, "G", 0, "", chosen, error);
    // A cancelled dialog changes nothing.
    if (error != 0) return;

    const CurrentFileState previous = App.CurrentFile;
    App.CurrentFile.Folder = chosen.Folder;
    App.CurrentFile.BaseName = chosen.BaseName;
    App.CurrentFile.Extension = chosen.Extension;
    App.CurrentFile.FullPath = chosen.FullPath;
    if (!App.CurrentFile.FullPath.empty()) {
        const std::vector<TableListEntry> previousTables = TableList;
        QStringList previousLines;
        for (int i = 0; i < List1->count(); ++i) previousLines << List1->item(i)->text();
        try {
            OpenFileTables(App.CurrentFile.FullPath);
        } catch (...) {
            // A file the engine cannot open is not taken: the previous file, its list and the
            // layout stay as they were.
            const std::string lastFolder = App.CurrentFile.LastFolder;
            App.CurrentFile = previous;
            App.CurrentFile.LastFolder = lastFolder;
            TableList = previousTables;
            List1->clear();
            List1->addItems(previousLines);
            throw;
        }
        Text2[0]->setText(Q(App.CurrentFile.Folder));
        Text2[1]->setText(Q(App.CurrentFile.BaseName + App.CurrentFile.Extension));
        ClearLayout();
    } else {
        ReleaseFile();
    }
    MoveFocus(Text1[0]);
}

void frmTavorin::OpenFileTables(const std::string& path) {
    ShowTableListFrame(true);
    List1->clear();
    LoadTableList(*App.Store.Ws, path, List1, TableList);
    SetFileMenus(1);
}

void frmTavorin::OpenOnStart(const std::string& path, const std::string& table) {
    if (path.empty()) return;
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec) full = path;
    ChosenFile chosen;
    TakeChosenName(App, full.lexically_normal().string(), 0, chosen);
    App.CurrentFile.Folder = chosen.Folder;
    App.CurrentFile.BaseName = chosen.BaseName;
    App.CurrentFile.Extension = chosen.Extension;
    App.CurrentFile.FullPath = chosen.FullPath;
    if (App.CurrentFile.FullPath.empty()) return;
    try {
        OpenFileTables(App.CurrentFile.FullPath);
    } catch (...) {
        // A file the engine cannot open is not taken.
        ReleaseFile();
        throw;
    }
    Text2[0]->setText(Q(App.CurrentFile.Folder));
    Text2[1]->setText(Q(App.CurrentFile.BaseName + App.CurrentFile.Extension));
    ClearLayout();
    if (table.empty()) {
        MoveFocus(Text1[0]);
        return;
    }
    CurrentTable = table;
    LoadTableLayout();
    SetTableMenus(1);
    LayoutChanged = 0;
    MoveFocus(Text1[7]);
}

// ---- The table -------------------------------------------------------------------------------

void frmTavorin::List1_DblClick() {
    const int line = List1->currentRow();
    if (line < 0 || static_cast<size_t>(line) >= TableList.size()) return;
    // Taken before the save question: a save may list the file's tables anew.
    const std::string table = TableList[static_cast<size_t>(line)].Name;
    if (LayoutChanged >= 1) {
        int16_t answer = 0;
        AskSaveChanges(answer);
        if (answer == platform::vbCancel) return;
    }
    ClearLayout();
    CurrentTable = table;
    LoadTableLayout();
    SetTableMenus(1);
    MoveFocus(Text1[7]);
    LayoutChanged = 0;
}

void frmTavorin::CommitTableName(int16_t& error) {
    error = 0;
    // Taken before the question: a completed save empties the box.
    const QString typed = Text1[0]->text();
    if (LayoutChanged > 0) {
        int16_t answer = 0;
        AskSaveChanges(answer);
        if (answer == platform::vbCancel) {
            Text1[0]->setText(Q(CurrentTable));
            error = 9;
            return;
        }
    }
    Text1[0]->setText(typed);
    ValidateCell(0, error);
    if (error == 0) MoveFocus(Text1[7]);
}

void frmTavorin::RequireFileAndTable(int16_t& error) {
    error = 0;
    if (App.CurrentFile.FullPath.empty()) {
        App.Platform.MsgBox(QString::fromUtf8("フォルダーを開いて、ファイルを指定して下さい。"));
        error = 9;
    } else if (CurrentTable.empty()) {
        App.Platform.MsgBox(QString::fromUtf8(
            "テーブルを指定して下さい。キー入力した場合にはエンタ－を押下して下さい。"));
        error = 9;
    }
}

void frmTavorin::OpenUserDatabase() {
    if (UserDb && UserDb->IsOpen() && UserDb->Name() == App.CurrentFile.FullPath) return;
    CloseUserDatabase();
    UserDb = App.Store.Ws->OpenDatabase(App.CurrentFile.FullPath);
}

void frmTavorin::CloseUserDatabase() {
    // Whoever closes the file (a file command, another file) ends the giving back of its pages.
    StopReleasingFreePages();
    if (UserDb) UserDb->Close();
    UserDb.reset();
}

void frmTavorin::LoadTableLayout() {
    try {
        LoadTableLayoutSteps();
    } catch (...) {
        // A table that cannot be read is not opened: the layout is left empty, with no table.
        GridLoading = 0;
        ClearLayout();
        throw;
    }
}

bool frmTavorin::IsStoredTable(const std::string& name) {
    if (!FileExists(App.CurrentFile.FullPath)) return false;
    OpenUserDatabase();
    return UserDb->TableDefs().Contains(name);
}

void frmTavorin::LoadTableLayoutSteps() {
    GridLoading = 9;
    ShowTableListFrame(false);
    TableDesc.clear();
    bool found = false;
    saving_.LayoutFileOnDisk = FileExists(App.CurrentFile.FullPath);
    if (saving_.LayoutFileOnDisk) {
        OpenUserDatabase();
        if (UserDb->TableDefs().Contains(CurrentTable)) {
            found = true;
            TableDesc = DescriptionOf(UserDb->TableDefs().Item(CurrentTable)->Properties());
        }
    }
    Text1[0]->setText(Q(CurrentTable));
    Text1[7]->setText(Q(TableDesc));
    if (found) {
        int32_t rowCount = 0;
        ReadTableDefinition(*App.Store.WorkRs, rowCount);
        App.Store.WorkRs->Requery();
        ShowLoadedIndexSettings();
        LastRow = rowCount;
    }
    FocusSuppressed = false;
    SetGridInputsOpen(true);
    TopRow = 1;
    SetScrollRange(0);
    FillGrid(1);
    GridLoading = 0;
}

// ---- Reading a table definition ----------------------------------------------------------------

void frmTavorin::ReadTableDefinition(engine::Recordset& work, int32_t& rowCount) {
    OpenUserDatabase();
    engine::TableDefPtr table = UserDb->TableDefs().Item(CurrentTable);
    ReadTableDefinitionOf(*table, work, rowCount);
}

void frmTavorin::ReadTableDefinitionOf(engine::TableDef& table, engine::Recordset& work,
                                       int32_t& rowCount) {
    WindowPrompts prompts(App.Platform);
    LayoutDocument::ReadTableDefinitionOf(table, work, rowCount, prompts);
}

} // namespace tavorin
