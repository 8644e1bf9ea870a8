// frmTavorin: the main window of the layout designer ("フォーマットの作成").
//
// The user picks a database file and a table, edits the table's layout in the ten-line grid
// and saves it back; every other window is opened from the menus and the toolbar. The window
// keeps the state of the edit (current table, layout-changed flag, grid position); the layout
// itself lives as rows of WKTBL in the work database (WorkStore.h).
//
// Commands whose procedures are not part of the program yet keep the menu state the menu
// routines give them (MenuState) but stay disabled on screen until their window or procedure
// exists (MarkCommandAvailable).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "modules/TavorinSub.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QScrollBar;
class QWidget;

namespace tavorin {

class ToolImage;
class frmAbout;

// The current database file (program-wide): folder with trailing separator, base name,
// extension with its dot, full path, and the folder the file dialog starts in.
struct CurrentFileState {
    std::string Folder;
    std::string BaseName;
    std::string Extension;
    std::string FullPath;
    std::string SavedPath;
    std::string LastFolder;
};
extern CurrentFileState CurrentFile;

// One row of WKTBL as the grid holds it.
struct RowBufferType {
    int32_t RowNo = 0;
    std::string Name;
    std::string TypeName;
    int16_t Size = 0;
    std::string Repeat;
    std::array<std::string, 6> Keys;
    std::string Description;
    std::string LoadedName;
    std::string LoadedType;
    int16_t LoadedSize = 0;
    std::string LoadedRepeat;
    int16_t Exists = 0;
};

struct TableListEntry {
    std::string Name;
    std::string Description;
};

class frmTavorin : public QMainWindow, public ToolbarWindow {
    Q_OBJECT
  public:
    static constexpr int kGridLines = 10;
    static constexpr int kToolButtons = 11;

    explicit frmTavorin(QWidget* parent = nullptr);
    ~frmTavorin() override;

    // The start sequence. False when the work store could not be built (the reason has been
    // shown); the program cannot run then.
    bool Form_Load();

    // ---- Commands and shared routines ----
    void mnEnd_Click();
    void mnHelp_Click();
    void mnAbout_Click();
    // Asks whether the changed layout is to be saved; answer is vbYes, vbNo or vbCancel
    // (a save that fails turns Yes into Cancel).
    void AskSaveChanges(int16_t& answer);
    void SetFileMenus(int16_t state);
    void SetTableMenus(int16_t state);
    void ReleaseFile();
    void ClearLayout();

    // Saves the layout over the current table; sets SaveAbandoned to -1 when the save was
    // abandoned or failed.
    virtual void SaveTable();

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
    int16_t LayoutChanged = 0; // 0 unchanged, 9 the work table differs from the saved layout
    std::string CurrentTable;
    std::string TableDesc;
    std::string SourceTableName; // the table a save under a new name started from
    int16_t SaveAbandoned = 0;
    std::vector<TableListEntry> TableList;
    // Grid
    int32_t TopRow = 1;
    int32_t LastRow = 0;
    int32_t CurRow = 0;
    int32_t CurGridLine = 0;
    int16_t FocusIndex = 0;
    int16_t CellDirty = 0;
    bool CellEdited = false;
    int16_t GridLoading = 0;
    bool FocusSuppressed = true;
    RowBufferType RowBuffer;
    // Line editing
    int16_t LineEditMode = 0;
    int16_t LastLineEdit = 0;

  signals:
    // The End command has closed the program's windows.
    void ProgramEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Building the window
    void BuildMenus();
    void BuildToolbar();
    QWidget* BuildFileFrame();
    QWidget* BuildListAndIndexFrames();
    QWidget* BuildGridFrame();
    QAction* AddCommand(QMenu* menu, const char* objectName, const char* caption);
    void ConnectCommands();

    // Steps of the start sequence
    void CenterWindow();
    void FillChoiceLists();
    void SetStartDefaults();
    void ShowTableListFrame(bool tableList);
    void SetUpToolbar();
    void SetStartMenus();
    void ResetEditState();

    void ClearGridCells();
    void EndProgram();
    void Form_QueryUnload(QCloseEvent* event);

    std::set<const QAction*> available_;
    QPointer<frmAbout> about_;
    bool ended_ = false;
};

} // namespace tavorin
