// frmTavorin: the conversion check of the table menu. It validates the layout and has the core
// plan the check as a save would carry the records (FieldMap, the table the save would build,
// without building it); frmConvCheck runs it and shows what it found.
#include <QAction>
#include <QMenu>

#include "core/ConversionCheck.h"
#include "engine/workspace.h"
#include "forms/frmConvCheck.h"
#include "forms/frmTavorin.h"
#include "modules/WindowPrompts.h"
#include "modules/WorkStore.h"

namespace tavorin {

bool BuildFieldMap(platform::Services& platform, WorkStore& store, FieldMapTable& map, int& count) {
    WindowPrompts prompts(platform);
    return BuildFieldMap(map, *store.WorkDb, prompts, count);
}

void frmTavorin::ConnectCheckCommand() {
    connect(mnConvCheck, &QAction::triggered, this,
            [this] { RunEvent([this] { mnConvCheck_Click(); }); });
    // The layout changes in many places; the command's state is settled when the menu opens.
    connect(mnTable, &QMenu::aboutToShow, this,
            [this] { Guarded(App.Platform, [this] { UpdateConvCheckCommand(); }); });
    MarkCommandAvailable(mnConvCheck);
    Enable(mnConvCheck, false);
}

void frmTavorin::UpdateConvCheckCommand() {
    Enable(mnConvCheck, LayoutChanged == 9 && !StoredTableName(UserDb.get(), CurrentTable).empty());
}

frmConvCheck* frmTavorin::ConvCheckWindow() const {
    return convCheck_;
}

void frmTavorin::mnConvCheck_Click() {
    // As for a save: the cell being typed is stored first; a table name typed but not yet
    // taken opens that table instead.
    const bool tableNamePending = CellDirty > 0 && FocusIndex == 0;
    int16_t error = 0;
    StoreRow(error);
    if (error != 0 || tableNamePending) return;
    const std::string oldTable = StoredTableName(UserDb.get(), CurrentTable);
    if (LayoutChanged != 9 || oldTable.empty()) return;

    // The grid's recordset stays closed while the check runs: the check's SQL functions are
    // removed from the connection at its end, which SQLite refuses while a statement reads.
    if (App.Store.WorkRs) App.Store.WorkRs->Close();
    int16_t errorCode = 0;
    int32_t errorRow = 0;
    try {
        ValidateLayout(errorCode, errorRow);
        if (errorCode == 0) RunConversionCheck(oldTable);
    } catch (...) {
        ReopenGridRecordset();
        throw;
    }
    ReopenGridRecordset();
    if (errorCode != 0) PlaceCursorOnFault(errorCode, errorRow);
}

void frmTavorin::RunConversionCheck(const std::string& oldTable) {
    WindowPrompts prompts(App.Platform);
    const std::optional<ConversionCheckPlan> plan =
        PlanConversionCheck(*App.Store.Ws, App.CurrentFile.FullPath, oldTable, *this,
                            *App.Store.WorkDb, ShownIndexSettings(), prompts);
    if (!plan) return;
    if (convCheck_) convCheck_->close();
    convCheck_ = new frmConvCheck(App.Platform, this, CurrentTable);
    convCheck_->SaveRequested = [this] { RunEvent([this] { mnTableSave_Click(0); }); };
    convCheck_->Run([&](const std::function<bool(long)>& progress) { return plan->Run(progress); });
}

} // namespace tavorin
