// frmTavorin: the main window of the layout designer ("フォーマットの作成").
//
// The user picks a database file and a table, edits the table's layout in the ten-line grid
// and saves it back; every other window is opened from the menus and the toolbar. The layout
// document (core/LayoutDocument.h) holds the layout and its rules; the window shows it and
// passes the user's keys and clicks to it.
//
// Commands whose procedures are not part of the program yet keep the menu state the menu
// routines give them (MenuState) but stay disabled on screen until their window or procedure
// exists (MarkCommandAvailable).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/LayoutDocument.h"
#include "core/LayoutSave.h"
#include "engine/database.h"
#include "modules/TavorinSub.h"

class QAction;
class QComboBox;
class QEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QScrollBar;
class QWidget;

namespace tavorin {

struct CellVerdict;
class ToolImage;
class frmAbout;
class frmRefTableList;
class frmFieldEdit;
class frmOption;
class frmConvCheck;

// map from the layout rows of store's WKTBL, as a save fills it; false (message shown through
// platform) when it would pass 999 entries. count receives the number of entries.
bool BuildFieldMap(platform::Services& platform, WorkStore& store, FieldMapTable& map, int& count);

// The window is a view of its layout document: the document's state (the rows in use, the row
// in edit, the changed flag, the key tables) is the window's.
class frmTavorin : public QMainWindow, public ToolbarWindow, public LayoutDocument {
    Q_OBJECT
  public:
    static constexpr int kGridLines = 10;
    static constexpr int kToolButtons = 11;

    // The run's work store and current file, shared with the windows this one opens.
    AppContext& App;

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
    bool SettleLayoutBeforeLeaving();
    // Asks whether the changed layout is to be saved; answer is vbYes, vbNo or vbCancel
    // (a save that fails turns Yes into Cancel).
    void AskSaveChanges(int16_t& answer);
    void SetFileMenus(int16_t state);
    void SetTableMenus(int16_t state);
    void ReleaseFile();
    void ClearLayout();
    // The import window takes this window's place (which then closes for good).
    void mnCpy_Click();

    // Saves the layout over the current table; Saving().SaveAbandoned is -1 when the save was
    // abandoned or failed.
    virtual void SaveTable();
    // The save of the layout (core/LayoutSave.h) and what it keeps between saves.
    LayoutSave& Saving() { return saving_; }

    // ---- Choosing a file and a table ----
    // A click on either file box (also the open-file command and toolbar button 1).
    void Text2_Click();
    void OpenFileTables(const std::string& path);
    void List1_DblClick();
    // error 9 (after its message) when no file or no table is chosen yet.
    void RequireFileAndTable(int16_t& error);
    void LoadTableLayout();
    // Loads the current table's definition from the user database into the work rows of work
    // (WKTBL of the editor or of printing): one row per field or numbered group, the indexes
    // in the key columns, LoadedIndexName/LoadedIndexDup, and the as-loaded copies FLD13..16.
    void ReadTableDefinition(engine::Recordset& work, int32_t& rowCount);
    // The same for a table definition at hand.
    void ReadTableDefinitionOf(engine::TableDef& table, engine::Recordset& work, int32_t& rowCount);
    // The start with a file (and a table) named on the command line.
    void OpenOnStart(const std::string& path, const std::string& table);
    // Closes the user database held since the last table load.
    void CloseUserDatabase();

    // ---- The grid ----
    // The document's RowBufferOp; the scroll bar follows a changed range of rows.
    void RowBufferOp(std::string_view command);
    void FillGrid(int32_t top);
    void SetScrollRange(int32_t value);
    void SelectRow(int line);
    // Validates and stores the cell being edited; error 9 after a fault.
    void StoreRow(int16_t& error);
    void ValidateCell(int index, int16_t& error);
    void RestoreCell(int index);
    // Events of the inputs (index as the control arrays number them).
    void Text1_GotFocus(int index);
    void Text1_LostFocus(int index);
    // Returns true when the key was taken (not passed on to the box).
    bool Text1_KeyDown(int index, int key, Qt::KeyboardModifiers modifiers);
    void Text1_KeyPress(int index, int key);
    void Combo2_GotFocus(int line);
    void Combo2_Click(int line);
    void Combo2_KeyPress(int line, int key);
    void Combo1_GotFocus(int key);
    void Combo1_Click(int key);
    void Combo1_KeyPress(int key, int keyCode);
    void VScroll1_Change();

    // ---- Toolbar ----
    void Image1_Click(int index);
    void Image1_MouseMove(int index);
    void Image1_MouseDown(int index);
    void Image1_MouseUp(int index);
    QWidget* ToolImage(int index) const override;
    QFrame* ToolLine(int index) const override;

    // Sets a command's menu state; on screen it is enabled only once it can run.
    void Enable(QAction* command, bool on);
    // The state the menu routines gave a command, whether or not it can run yet.
    bool MenuState(const QAction* command) const;
    // Lets a command's own state show once its procedure is connected.
    void MarkCommandAvailable(QAction* command);
    // True once the End command has run to its end.
    bool Ended() const { return ended_; }
    frmAbout* AboutWindow() const;

    // ---- Controls, by the names every procedure of the editor uses ----
    QGroupBox* Frame1 = nullptr;         // file
    QGroupBox* Frame2 = nullptr;         // table list
    QGroupBox* Frame3 = nullptr;         // index settings
    QGroupBox* Frame4 = nullptr;         // grid
    std::array<QLineEdit*, 2> Text2{};   // 0 folder, 1 file name
    std::array<QLineEdit*, 109> Text1{}; // 0 table, 1..6 index names, 7 description, 9..108 cells
    std::array<QComboBox*, 6> Combo1{};  // duplicates choice of the six keys
    std::array<QComboBox*, kGridLines> Combo2{}; // type of each grid line
    std::array<QLabel*, kGridLines> Label3{};    // row numbers
    std::array<QLabel*, 12> Label5{};            // grid headings
    std::array<QLabel*, 6> Label4{};             // captions of the key rows of Frame3
    std::array<QLabel*, 4> Label2{};             // captions of the file frame
    QLabel* Label1 = nullptr;                    // key hint
    QLabel* Label6 = nullptr;                    // prompt line
    QScrollBar* VScroll1 = nullptr;
    QListWidget* List1 = nullptr;
    QWidget* ToolBar1 = nullptr;
    std::array<tavorin::ToolImage*, kToolButtons> Image1{};
    std::array<QFrame*, 4> Line1{};

    // ---- Menus ----
    QMenu* mnFile = nullptr;
    QMenu* mnTable = nullptr;
    QMenu* mnLineEdit = nullptr;
    QMenu* mnOptions = nullptr;
    QMenu* mnData = nullptr;
    QMenu* mnHelpMenu = nullptr;
    QAction* mnFileFolder = nullptr;
    QAction* mnFileRename = nullptr;
    QAction* mnFileDel = nullptr;
    QAction* mnFileCpy = nullptr;
    QAction* mnTablePrintAll = nullptr;
    QAction* mnFileFree = nullptr;
    QAction* mnEnd = nullptr;
    QAction* mnTableRef = nullptr;
    QAction* mnTableDel = nullptr;
    QAction* mnTableRename = nullptr;
    QAction* mnTablePrint = nullptr;
    QAction* mnTableCancel = nullptr;
    std::array<QAction*, 2> mnTableSave{};
    QAction* mnLineCut = nullptr;
    QAction* mnLineCopy = nullptr;
    QAction* mnLinePast = nullptr;
    QAction* mnLineDel = nullptr;
    QAction* mnLineInsert = nullptr;
    QAction* mnLineMove = nullptr;
    QAction* mnFieldSeach = nullptr;
    QAction* mnFieldReplace = nullptr;
    QAction* mnOption = nullptr;
    QAction* mnCpy = nullptr;
    QAction* mnHelp = nullptr;
    QAction* mnAbout = nullptr;

    // ---- State of the edit ----
    std::vector<TableListEntry> TableList;
    // Grid
    int32_t CurGridLine = 0;
    int16_t FocusIndex = 0;
    int16_t CellDirty = 0;
    bool CellEdited = false;
    int16_t GridLoading = 0;
    bool FocusSuppressed = true;
    // The current file, held open from a table load until ClearLayout (or CloseUserDatabase).
    // No recordset is kept on the user's table, so nothing holds it while it is rebuilt.
    engine::DatabasePtr UserDb;
    // The import window has taken this window's place: it only closes now.
    bool Unloaded = false;

    // ---- Saving (begin) ----
    // The document's ValidateLayout over the index settings on screen.
    void ValidateLayout(int16_t& ErrorCode, int32_t& ErrorRow);
    void mnTableSave_Click(int Index);
    // The table a save builds from the validated layout (fields, keys), not yet appended.
    engine::TableDefPtr DefineBuildTable(engine::Database& db, const std::string& buildName);

    // ---- Conversion check (frmTavorin_check.cpp) ----
    QAction* mnConvCheck = nullptr;
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

  private:
    QTimer* freePagesTimer_ = nullptr;
    engine::DatabasePtr freePagesDb_;
    void StartReleasingFreePages();
    void ReleaseSomeFreePages();
    LayoutSave saving_;
    void PlaceCursorOnFault(int16_t errorCode, int32_t errorRow);
    void ReopenGridRecordset();

  public:
    // ---- Saving (end) ----

    // ---- Printing (frmTavorin_print.cpp) ----
    void mnTablePrint_Click();
    void mnTablePrintAll_Click();

    // ---- Line editing (frmTavorin_lines.cpp) ----
    // A mouse press on the row label of line: the left button selects the row and sets the
    // states of the six line commands, the right button opens the line-editing menu at `at`.
    void Label3_MouseDown(int line, Qt::MouseButton button, const QPoint& at);
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
    // The index settings of the layout on screen take the defaults; the layout counts as
    // changed when a table is open and a setting differs.
    void ApplyIndexDefaults();

    // ---- Search and replace (frmTavorin_search.cpp) ----
    void mnFieldSeach_Click();
    void mnFieldReplace_Click();
    frmFieldEdit* FieldEditWindow() const;
    // Shows the rows from top on, as a move of the scroll bar does (the row in edit follows the
    // focused cell when it leaves the screen).
    void ShowRowsFrom(int32_t top);
    // Shows the rows on screen and the row in edit afresh from the work table, after rows were
    // changed behind the grid.
    void ReloadShownRows();
    // Gives target the focus from another window, leaving the box that has it as a user
    // leaving it would (no focus event tells it while this window is inactive): what is typed
    // there is committed (error 9 after a fault, the focus then staying in the box), or, when
    // commit is false, the box keeps the focus; a box whose fault was shown shows its stored
    // value again.
    void FocusFromOutside(QWidget* target, bool commit, int16_t& error);

    // ---- File commands (frmTavorin_files.cpp) ----
    void mnFileRename_Click();
    void mnFileDel_Click();
    void mnFileCpy_Click();
    void mnFileFree_Click();

    // ---- Table commands (frmTavorin_tables.cpp) ----
    void mnTableRename_Click();
    void mnTableDel_Click();
    void mnTableCancel_Click();
    // Opens frmRename for a name request (RequestRename or RequestSaveAs) and carries the
    // request out once the main window is active again.
    void RequestTableName(int16_t mode);
    // The main window is active again: a pending name request is examined and carried out.
    void Form_Activate();
    static constexpr int16_t RequestRename = -1;
    static constexpr int16_t RequestSaveAs = 0;
    // The pending name request: the flag (-1 while frmRename is open for it), the name it asks
    // for ("" when cancelled) and its mode.
    int16_t NameRequestPending = 0;
    std::string RequestedName;
    int16_t RequestMode = RequestRename;

  signals:
    // The End command has closed the program's windows.
    void ProgramEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Building the window
    void BuildMenus();
    void BuildToolbar();
    QWidget* BuildFileFrame();
    QWidget* BuildListAndIndexFrames();
    QWidget* BuildGridFrame();
    QAction* AddCommand(QMenu* menu, const char* objectName, const char* caption);
    void ConnectCommands();
    void ConnectInputs();
    void ConnectPrintCommands();
    void ConnectFileCommands();
    void ConnectTableCommands();
    // The work database and the grid's recordset are closed while a file operation runs.
    void CloseWorkStoreForFileOperation();
    void ReopenWorkStoreAfterFileOperation();
    void RefreshTableList();
    void CarryOutRename();
    void CarryOutSaveAs();
    bool FileOperationAllowed();

    // Steps of the start sequence
    void CenterWindow();
    void FillChoiceLists();
    void SetStartDefaults();
    void ShowTableListFrame(bool tableList);
    void SetUpToolbar();
    void SetStartMenus();
    void ResetEditState();

    void ClearGridCells();
    void SetGridInputsOpen(bool open);
    void EndProgram();

    // Opening and loading
    void OpenUserDatabase();
    void LoadTableLayoutSteps();
    void ShowLoadedIndexSettings();

    // Grid helpers
    void ShowRowValues(int line, const RowBufferType& row);
    void HighlightLabel(int line, bool on);
    int LineOfRow(int32_t row) const;
    void ShowEditForm(int index);
    void SelectOnFocus(int index);
    void ScrollTo(int32_t top);
    void StepScroll(int index, int delta);
    // Cell rules
    void ValidateTableName(const std::string& text, int16_t& error);
    bool IsStoredTable(const std::string& name);
    // A fault of a grid cell's rule shown, the cursor placed where it lies.
    void ShowCellFault(int index, const CellVerdict& verdict, int16_t& error);
    // The type a named row has just taken shown, the focus on to its size or repeat cell.
    void ShowTakenType(int line);
    // The index settings on screen, and back onto it.
    IndexSettings ShownIndexSettings() const;
    void ShowIndexSettings(const IndexSettings& settings);
    // An edited input committed: ValidateCell and, when it passes, the row written back; the
    // table name box through CommitTableName.
    void CommitCell(int index, int16_t& error);
    // The table name typed into box 0 taken: a changed layout is offered for saving first
    // (error 9 when the user cancels, the box showing the current table again); then the typed
    // table is opened and the focus goes on to the table description.
    void CommitTableName(int16_t& error);
    // The row of line takes typeName with its default size; the focus goes on to the size or
    // the repeat cell and the row is written back.
    void ApplyType(int line, const std::string& typeName);

    // Focus handling: every event handler of the inputs runs through RunEvent; focus moves
    // asked for meanwhile (MoveFocus) happen once it is over, so a handler never runs inside
    // another and a message box shown from a focus change re-triggers nothing.
    void RunEvent(const std::function<void()>& handler);
    void MoveFocus(QWidget* target, bool keepText = false);
    void CellFault(const char* message, QWidget* focus, bool keepText, int16_t& error);
    void FinishEvent();
    void OnFocusIn(QWidget* input);
    void OnFocusOut(QWidget* input);
    int InputIndex(const QObject* object) const; // Text1 index, 1000 + line for Combo2, -1
    int ComboKeyOf(const QObject* object) const; // Combo1 index, -1
    void MarkCellEdited();

    int eventDepth_ = 0;
    QPointer<QWidget> pendingFocus_;
    QPointer<QWidget> keepTextFor_; // the box a fault sends the focus back to, text and all
    QPointer<QWidget> focusedInput_;
    bool gotFocusDone_ = true;
    bool scrollHandling_ = false;
    bool noStore_ = false; // the last ValidateCell left an entirely empty row unstored
    void Form_QueryUnload(QCloseEvent* event);

    std::set<const QAction*> available_;
    QPointer<frmAbout> about_;
    QPointer<frmRefTableList> refTables_;
    // Line editing, defaults and search
    void SetLineEditMenus();
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
