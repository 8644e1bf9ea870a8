// frmTavorin: the save commands. The save itself is the core's (core/LayoutSave.h); the window
// gives it the index settings on screen, shows what it says, and afterwards shows its outcome:
// the settings as validated, the cursor where the save stopped, or the saved file's tables.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "engine/workspace.h"
#include "forms/frmTavorin.h"
#include "modules/TavorinSub.h"
#include "modules/WindowPrompts.h"
#include "modules/WorkStore.h"

namespace tavorin {

void frmTavorin::ReopenGridRecordset() {
    App.Store.WorkRs =
        App.Store.WorkDb->OpenRecordset(kWorkTableSql, engine::RecordsetType::Dynaset);
}

// The focus moves once the command is over, so that nothing the command started (a scroll, a
// focus move of an earlier step) takes the cursor elsewhere afterwards.
void frmTavorin::PlaceCursorOnFault(int16_t errorCode, int32_t errorRow) {
    if (errorCode == 9 && errorRow > 0) {
        // Moved without the scroll bar's own handler, which would place the focus itself.
        if (errorRow < TopRow || errorRow > TopRow + kGridLines - 1)
            ScrollTo(std::max(1, errorRow - (kGridLines - 1)));
        MoveFocus(Text1[static_cast<size_t>((errorRow - TopRow + 1) * 10 - 1)]);
    } else if (errorCode >= 1 && errorCode <= 6) {
        Frame3->setVisible(true);
        Frame2->setVisible(false);
        MoveFocus(Text1[static_cast<size_t>(errorCode)]);
    }
}

engine::TableDefPtr frmTavorin::DefineBuildTable(engine::Database& db,
                                                 const std::string& buildName) {
    return LayoutDocument::DefineBuildTable(db, buildName, ShownIndexSettings());
}

void frmTavorin::SaveTable() {
    IndexSettings settings = ShownIndexSettings();
    WindowPrompts prompts(App.Platform);
    LabelProgress progress(Label6);
    SaveOutcome outcome;
    try {
        outcome = saving_.SaveTable({*App.Store.Ws, App.CurrentFile.FullPath, prompts, progress},
                                    settings);
    } catch (...) {
        ShowIndexSettings(settings);
        throw;
    }
    ShowIndexSettings(settings);
    switch (outcome.cursor) {
    case SaveOutcome::Cursor::Stay:
        break;
    case SaveOutcome::Cursor::TableName:
        MoveFocus(Text1[0], true);
        break;
    case SaveOutcome::Cursor::FirstCell:
        MoveFocus(Text1[9]);
        break;
    case SaveOutcome::Cursor::Fault:
        PlaceCursorOnFault(outcome.errorCode, outcome.errorRow);
        break;
    }
    if (!outcome.saved) return;
    ClearLayout();
    OpenFileTables(App.CurrentFile.FullPath);
    MoveFocus(Text1[0]);
    if (outcome.carried) StartReleasingFreePages();
}

void frmTavorin::mnTableSave_Click(int Index) {
    // A table name typed but not yet taken opens that table first (after the save question of
    // the layout it leaves); nothing of the newly opened table is then to be saved.
    const bool tableNamePending = CellDirty > 0 && FocusIndex == 0;
    int16_t error = 0;
    StoreRow(error);
    if (error != 0 || tableNamePending) return;
    if (Index == 0) {
        SaveTable();
        if (saving_.SaveAbandoned != 0) CellEdited = true;
    } else {
        RequestTableName(RequestSaveAs);
    }
}

} // namespace tavorin
