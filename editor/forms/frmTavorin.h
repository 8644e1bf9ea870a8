// frmTavorin: the main window of the layout designer ("フォーマットの作成").
//
// The user picks a database file and a table, edits the table's layout in the ten-line grid
// and saves it back; every other window is opened from the menus and the toolbar. The layout
// document (core/LayoutDocument.h) holds the layout and its rules; the window shows it and
// passes the user's keys and clicks to it.
//
// Its parts are layers, each in its own files: the controls, the menus and toolbar commands,
// the grid, the key boxes, the file and table commands (Designer*.h). What stays here is the
// start and end, choosing a file and a table, the save, the other windows and the wiring.
#pragma once

#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "DesignerFileCommands.h"
#include "core/LayoutSave.h"
#include "engine/database.h"

namespace tavorin {

class frmAbout;
class frmRefTableList;
class frmFieldEdit;
class frmOption;
class frmConvCheck;

// map from the layout rows of store's WKTBL, as a save fills it; false (message shown through
// platform) when it would pass 999 entries. count receives the number of entries.
bool BuildFieldMap(platform::Services& platform, WorkStore& store, FieldMapTable& map, int& count);

class frmTavorin : public DesignerFileCommands {
    Q_OBJECT
  public:
    // app outlives the window.
    explicit frmTavorin(AppContext& app, QWidget* parent = nullptr);
    ~frmTavorin() override;

    // The start sequence. False when the work store could not be built (the reason has been
    // shown); the program cannot run then.
    bool Form_Load();

    // ---- Commands and shared routines ----
    void mnEnd_Click();
    void mnHelp_Click();
    void mnAbout_Click();
    // Opens the reference table window beside this one, once the cell being edited is stored.
    void mnTableRef_Click();
    frmRefTableList* RefTableWindow() const;
    // Before a command that leaves the layout (end, release): the cell being typed is committed
    // and a changed layout offered for saving. False when the command must stop (a fault of the
    // cell, or Cancel at the question).
    bool SettleLayoutBeforeLeaving() override;
    // Asks whether the changed layout is to be saved; answer is vbYes, vbNo or vbCancel
    // (a save that fails turns Yes into Cancel).
    void AskSaveChanges(int16_t& answer) override;
    void ReleaseFile() override;
    void ClearLayout() override;
    // The import window takes this window's place (which then closes for good).
    void mnCpy_Click();

    // Saves the layout over the current table; Saving().SaveAbandoned is -1 when the save was
    // abandoned or failed.
    void SaveTable() override;
    // The save of the layout (core/LayoutSave.h) and what it keeps between saves.
    LayoutSave& Saving() override { return saving_; }

    // ---- Choosing a file and a table ----
    // A click on either file box (also the open-file command and toolbar button 1).
    void Text2_Click() override;
    void OpenFileTables(const std::string& path) override;
    void List1_DblClick();
    // error 9 (after its message) when no file or no table is chosen yet.
    void RequireFileAndTable(int16_t& error) override;
    void LoadTableLayout() override;
    // Loads the current table's definition from the user database into the work rows of work
    // (WKTBL of the editor or of printing): one row per field or numbered group, the indexes
    // in the key columns, LoadedIndexName/LoadedIndexDup, and the as-loaded copies FLD13..16.
    void ReadTableDefinition(engine::Recordset& work, int32_t& rowCount);
    // The same for a table definition at hand.
    void ReadTableDefinitionOf(engine::TableDef& table, engine::Recordset& work, int32_t& rowCount);
    // The start with a file (and a table) named on the command line.
    void OpenOnStart(const std::string& path, const std::string& table);
    // Closes the user database held since the last table load.
    void CloseUserDatabase() override;

    // True once the End command has run to its end.
    bool Ended() const { return ended_; }
    frmAbout* AboutWindow() const;

    std::vector<TableListEntry> TableList;
    // The current file, held open from a table load until ClearLayout (or CloseUserDatabase).
    // No recordset is kept on the user's table, so nothing holds it while it is rebuilt.
    engine::DatabasePtr UserDb;
    // The import window has taken this window's place: it only closes now.
    bool Unloaded = false;

    // ---- Saving (frmTavorin_save.cpp) ----
    // The document's ValidateLayout over the index settings on screen.
    void ValidateLayout(int16_t& ErrorCode, int32_t& ErrorRow);
    void mnTableSave_Click(int Index) override;
    // The table a save builds from the validated layout (fields, keys), not yet appended.
    engine::TableDefPtr DefineBuildTable(engine::Database& db, const std::string& buildName);

    // ---- Conversion check (frmTavorin_check.cpp) ----
    // Runs the save's conversion over the stored table's records without writing and shows
    // what it would cut, refuse or empty in frmConvCheck.
    void mnConvCheck_Click();
    // The check command is enabled while a changed layout of a stored table is open.
    void UpdateConvCheckCommand();
    frmConvCheck* ConvCheckWindow() const;
    // After a save the old table's pages are free in the file: they are given back to the file
    // system a few at a time while the window is idle, so that the save does not wait for it.
    bool ReleasingFreePages() const;
    void StopReleasingFreePages();

    // ---- Printing (frmTavorin_print.cpp) ----
    void mnTablePrint_Click();
    void mnTablePrintAll_Click();

    // ---- Line editing (frmTavorin_lines.cpp) ----
    // A mouse press on the row label of line: the left button selects the row and sets the
    // states of the six line commands, the right button opens the line-editing menu at `at`.
    void Label3_MouseDown(int line, Qt::MouseButton button, const QPoint& at) override;
    void mnLineCut_Click();
    void mnLineCopy_Click();
    void mnLinePast_Click();
    void mnLineDel_Click();
    void mnLineInsert_Click();
    void mnLineMove_Click();
    // Runs LineEditMode on the row in edit.
    void RunLineEdit();
    // Commits the input being typed in before a command acts on the layout. False when the
    // command must not go on: a cell fault (shown), or a typed table name that has just been
    // opened in place of the layout the command was meant for.
    bool CommitPendingEdit();

    // ---- Default values (frmTavorin_options.cpp) ----
    void mnOption_Click();
    frmOption* OptionWindow() const;

    // ---- Search and replace (frmTavorin_search.cpp) ----
    void mnFieldSeach_Click();
    void mnFieldReplace_Click();
    frmFieldEdit* FieldEditWindow() const;
  signals:
    // The End command has closed the program's windows.
    void ProgramEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QTimer* freePagesTimer_ = nullptr;
    engine::DatabasePtr freePagesDb_;
    void StartReleasingFreePages();
    void ReleaseSomeFreePages();
    LayoutSave saving_;
    void PlaceCursorOnFault(int16_t errorCode, int32_t errorRow);
    void ReopenGridRecordset() override;
    void ConnectCommands();
    void ConnectInputs();
    void ConnectPrintCommands();

    // Steps of the start sequence
    void CenterWindow();
    void FillChoiceLists();
    void SetStartDefaults();
    void ResetEditState();
    void EndProgram();
    void Form_QueryUnload(QCloseEvent* event);

    // Opening and loading
    void OpenUserDatabase() override;
    void LoadTableLayoutSteps();
    bool IsStoredTable(const std::string& name) override;
    // The table name typed into box 0 taken: a changed layout is offered for saving first
    // (error 9 when the user cancels, the box showing the current table again); then the typed
    // table is opened and the focus goes on to the table description.
    void CommitTableName(int16_t& error) override;

    QPointer<frmAbout> about_;
    QPointer<frmRefTableList> refTables_;
    // Line editing, defaults and search
    void FocusRowInEdit();
    void ConnectEditingAids();
    void OpenFieldEdit(int16_t mode);
    QPointer<frmOption> option_;
    QPointer<frmFieldEdit> fieldEdit_;
    QPointer<frmConvCheck> convCheck_;
    void ConnectCheckCommand();
    // FieldMap, the table a save would build, and the check in its window.
    void RunConversionCheck(const std::string& oldTable);
    bool ended_ = false;
};

} // namespace tavorin
