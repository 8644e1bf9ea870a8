// The designer window's commands of the table menu besides saving: rename the current table,
// save the layout under a new name (both through frmRename), delete the table, release it.
#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <filesystem>

#include "DesignerFileCommands.h"
#include "QtText.h"
#include "core/DatabaseFiles.h"
#include "core/TableCommands.h"
#include "engine/error.h"
#include "engine/workspace.h"
#include "frmRename.h"
#include "modules/WindowPrompts.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {

void DesignerFileCommands::ConnectTableCommands() {
    connect(mnTableRename, &QAction::triggered, this,
            [this] { RunEvent([this] { mnTableRename_Click(); }); });
    connect(mnTableDel, &QAction::triggered, this,
            [this] { RunEvent([this] { mnTableDel_Click(); }); });
    connect(mnTableCancel, &QAction::triggered, this,
            [this] { RunEvent([this] { mnTableCancel_Click(); }); });
    connect(mnTableSave[1], &QAction::triggered, this,
            [this] { RunEvent([this] { mnTableSave_Click(1); }); });
    for (QAction* command : {mnTableRename, mnTableDel, mnTableCancel, mnTableSave[1]})
        MarkCommandAvailable(command);
}

void DesignerFileCommands::RefreshTableList() {
    OpenFileTables(App.CurrentFile.FullPath);
}

// ---- Name requests ---------------------------------------------------------------------------

void DesignerFileCommands::mnTableRename_Click() {
    RequestTableName(RequestRename);
}

void DesignerFileCommands::RequestTableName(int16_t mode) {
    RequestMode = mode;
    RequestedName = CurrentTable;
    NameRequestPending = -1;
    {
        frmRename window(*this);
        window.exec();
    }
    // The modal window is gone and this window is the active one again.
    Form_Activate();
}

void DesignerFileCommands::Form_Activate() {
    if (NameRequestPending == 0) return;
    NameRequestPending = 0;
    if (RequestedName.empty() || SameText(RequestedName, CurrentTable)) return;
    if (RequestMode == RequestRename)
        CarryOutRename();
    else
        CarryOutSaveAs();
}

void DesignerFileCommands::CarryOutRename() {
    try {
        RenameStoredTable(*App.Store.Ws, App.CurrentFile.FullPath, CurrentTable, RequestedName);
    } catch (const engine::Error& e) {
        ShowUnexpectedError(App.Platform, e);
        return;
    }
    CurrentTable = RequestedName;
    Text1[0]->setText(Q(CurrentTable));
    RefreshTableList();
    // The layout stays loaded under its new name.
    SetTableMenus(1);
}

void DesignerFileCommands::CarryOutSaveAs() {
    Saving().SourceTableName = CurrentTable;
    CurrentTable = RequestedName;
    try {
        SaveTable();
    } catch (...) {
        CurrentTable = Saving().SourceTableName;
        Text1[0]->setText(Q(CurrentTable));
        Saving().SourceTableName.clear();
        CellEdited = true;
        throw;
    }
    if (Saving().SaveAbandoned != 0) {
        CurrentTable = Saving().SourceTableName;
        Text1[0]->setText(Q(CurrentTable));
        CellEdited = true;
    }
    Saving().SourceTableName.clear();
}

// ---- Delete and release ------------------------------------------------------------------------

void DesignerFileCommands::mnTableDel_Click() {
    WindowPrompts prompts(App.Platform);
    if (DeleteStoredTable(*App.Store.Ws, App.CurrentFile.FullPath, CurrentTable, prompts) ==
        TableDeletion::Deleted) {
        ClearLayout();
        RefreshTableList();
    }
    MoveFocus(Text1[0]);
}

void DesignerFileCommands::mnTableCancel_Click() {
    if (!SettleLayoutBeforeLeaving()) return;
    ClearLayout();
    RefreshTableList();
    MoveFocus(Text1[0]);
}

} // namespace tavorin
