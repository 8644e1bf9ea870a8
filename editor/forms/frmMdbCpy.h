// frmMdbCpy: the data import window ("データの移入").
//
// Records of one table (the source, side 1, "移入元") are copied into another table (the target,
// side 0, "移入先"), possibly of another file, along links the user makes between their fields.
// The window takes the designer's place: it rebuilds the work folder with its own two work
// databases (FormatTemp1.MDB for the target's structure and links, FormatTemp2.MDB for the
// source's), and going back to the designer removes them again.
//
// Each side holds a file, a table, the table's structure as rows of the side's WKTBL (one row per
// field, FLD08 numbering them in field order), a ten-row grid over those rows and a record view.
// An import run copies the source records into the target inside one workspace transaction
// and ends with exactly one commit or rollback.
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/recordset.h"
#include "engine/transaction_guard.h"
#include "modules/TavorinSub.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QScrollBar;
class QWidget;

namespace tavorin {

class ToolImage;

// The pictures of the import window's toolbar (index 0..7 and 10), size x size pixels.
QPixmap ImportToolPicture(int index, int size = 24);

class frmMdbCpy : public QMainWindow, public ToolbarWindow {
    Q_OBJECT
  public:
    static constexpr int kTarget = 0;
    static constexpr int kSource = 1;
    static constexpr int kGridLines = 10;
    static constexpr int kToolButtons = 11; // Image1 0..7 and 10
    static constexpr int kRecordColumns = 8; // record number and seven fields

    explicit frmMdbCpy(QWidget* parent = nullptr);
    ~frmMdbCpy() override;

    // The window's start: a fresh work folder with the two work databases, both sides empty.
    // False when the work store could not be built (the reason has been shown).
    bool Form_Load();

    // ---- Sides, files and tables ----
    void CreateImportWorkTables();
    // A click on a file box: 0 and 1 the target's folder and file name, 2 and 3 the source's.
    void Text2_Click(int index);
    // mnCpyFolder(1) opens the target's file, (2) the source's.
    void mnCpyFolder_Click(int index);
    void ShowTableList(int side);
    // A click on a table box: 0 and 1 the target's name and remarks, 2 and 3 the source's.
    void Text1_Click(int index);
    void List1_DblClick(int side);
    void OpenSideTable(int side);
    // Writes one work row per field of the side's table into work; count is the number of rows
    // written. failed after one of the limits' messages.
    void LoadTableStructure(engine::Recordset& work, int side, int32_t& count, bool& failed);
    void ClearSideFile(int side);
    void ClearSideTable(int side);
    void EnableImportMenus(bool on);
    void mnCpyHELP_Click();
    // Back to the designer.
    void mnCpyCancel_Click();
    void mnEnd_Click();

    // ---- Field grids and links ----
    void CFLDDSP(int side, int32_t first);
    void CScrolSet(int side, int32_t position);
    // Links the current row of the target work rows to the current row of the source's.
    void LinkTargetRow();
    // Removes the link of the current target work row.
    void UnlinkTargetRow();
    void mnCpyJoint_Click();
    void mnCpyJointNo_Click();
    void mnCpyJointCan_Click();
    void mnCpyJointCanAll_Click();
    void Text3_Click(int index);
    void Text3_GotFocus(int index);
    // Returns true when the key was taken.
    bool Text3_KeyDown(int index, int key);
    void VScroll1_Change(int side);
    void Check1_Click();

    // ---- Import run ----
    // Fills FieldMap from the target work rows and the key map; false after its message.
    bool LoadFieldMap();
    void mnCpyDel_Click();
    // Keyed modes: 1 add or update, 2 add new keys only, 3 update existing keys only.
    void mnCpyUpd1_Click(int index);

    // ---- Record view ----
    void Command1_Click(int index);
    void CScrolHead(int side, int32_t position);
    void CScrolRec(int side, int32_t position);
    void ShowFieldHeadings();
    void ShowRecords();
    void HScroll1_Change();
    void VScroll2_Change();

    // ---- Toolbar ----
    void Image1_Click(int index);
    void Image1_MouseMove(int index);
    void Image1_MouseDown(int index);
    void Image1_MouseUp(int index);
    QWidget* ToolImage(int index) const override;
    QFrame* ToolLine(int index) const override;

    // True once the End command or the way back has closed the window's work.
    bool Ended() const { return ended_; }

    // ---- Controls, by the names the procedures use ----
    std::array<QGroupBox*, 2> SideFrame{};  // "＜移入先＞", "＜移入元＞"
    std::array<QLineEdit*, 4> Text2{};      // folder, file name: 0, 1 target; 2, 3 source
    std::array<QLineEdit*, 4> Text1{};      // table name, remarks: 0, 1 target; 2, 3 source
    std::array<QGroupBox*, 2> Frame2{};     // table lists
    std::array<QListWidget*, 2> List1{};
    std::array<QPushButton*, 4> Command1{}; // 0, 1 "構成"; 2, 3 "データ表示" (target, source)
    QWidget* GridFrame = nullptr;           // the two field grids
    QWidget* RecordFrame = nullptr;         // the record view, in the grids' place
    std::array<QLineEdit*, 90> Text3{};     // grid cells: 0..49 target, 50..89 source
    std::array<QLabel*, 9> Label5{};        // grid headings: 0..4 target, 5..8 source
    std::array<QScrollBar*, 2> VScroll1{};
    QLabel* RecordTitle = nullptr;          // "移入先テーブル：　" & table name
    QLabel* RecordNoHeading = nullptr;      // "行番"
    std::array<QLabel*, kRecordColumns> Label6{}; // headings of the shown fields (1..7)
    std::array<QLineEdit*, 80> Text4{};     // record cells, row r column k at 8r + k
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* VScroll2 = nullptr;
    QLineEdit* Text5 = nullptr;             // extraction condition
    QCheckBox* Check1 = nullptr;            // link same-named fields
    QLabel* Label2 = nullptr;               // status line
    QWidget* ToolBar1 = nullptr;
    std::array<tavorin::ToolImage*, kToolButtons> Image1{};
    std::array<QFrame*, 4> Line1{};

    // ---- Menus ----
    std::array<QAction*, 3> mnCpyFolder{}; // 1 target, 2 source
    QAction* mnCpyCancel = nullptr;
    QAction* mnEnd = nullptr;
    QAction* mnCpyJoint = nullptr;
    QAction* mnCpyJointNo = nullptr;
    QAction* mnCpyJointCan = nullptr;
    QAction* mnCpyJointCanAll = nullptr;
    QAction* mnCpyDel = nullptr;
    std::array<QAction*, 4> mnCpyUpd1{}; // 1..3
    QAction* mnCpyHELP = nullptr;

    // ---- State of each side (0 target, 1 source) ----
    struct Side {
        ChosenFile File;
        std::string TableName;
        std::string TableDesc;
        std::vector<TableListEntry> TableList;
        std::string WorkPath;
        engine::DatabasePtr WorkDb;   // the side's work database, open while the window is
        engine::RecordsetPtr WorkRs;  // "SELECT * FROM WKTBL ORDER BY FLD08"
        bool ReadOnly = false;        // the table's file takes no change
        std::string Refusal;          // why (the engine's words), when ReadOnly
        int32_t FirstRow = 0;         // first grid row shown, 1-based
        int32_t FieldCount = 0;
        int SelectedRow = -1;         // screen row 0..9, -1 none
        // The side's user database: the record view's and the import run's connection.
        engine::DatabasePtr Db;
        engine::RecordsetPtr ViewRs;  // snapshot in primary-key order
        int16_t ViewState = 0;        // 0 closed, 9 open
        int32_t FirstField = 1;
        int32_t FirstRecord = 1;
        long RecordCount = 0;
        engine::Bookmark FirstBookmark = 0;
    };
    std::array<Side, 2> Sides;
    std::string ScratchPath; // FORMATTEMP3.MDB
    // The target's primary key: its fields by rank (1..20), their FieldMap entries and the
    // index's name.
    int16_t KeyCount = 0;
    std::array<std::string, 21> KeyName{};
    std::array<std::string, 21> KeyEntry{};
    std::string PrimaryIndexName;
    // The record view: the side shown, and the flag that quiets the scroll events while the
    // view is set up.
    int ShownSide = kTarget;
    bool ScrollSetup = false;
    // Read and work counts of the last run.
    long ReadCount = 0;
    long WorkCount = 0;
    // A run goes as one compiled statement where it can, and record by record where it cannot
    // or where that statement fails; RowByRow always goes record by record (tests compare the
    // two).
    enum class RunPath { Compiled, RowByRow };
    RunPath runPath = RunPath::Compiled;
    bool LastRunCompiled = false;   // the last run was done by the compiled statement
    bool LastRunAsTheyAre = false;  // ... copying the source's values as they are
    bool LastRunWholeRecords = false; // ... copying the source's records whole
    std::string LastCompiledFailure; // why the last compiled statement failed, if it did

  signals:
    // The End command has closed the window and the program is to end.
    void ProgramEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // Building the window
    void BuildMenus();
    void BuildToolbar();
    QWidget* BuildSide(int side);
    QWidget* BuildGridFrame();
    QWidget* BuildRecordFrame();
    QAction* AddCommand(QMenu* menu, const char* objectName, const char* caption);
    void ConnectCommands();
    void SetToolTips();
    void PlaceTableLists();

    void ShowGridFrame(bool grids);
    void CloseWindowWork();
    void CloseRecordView(int side);
    // The side's work database and its rows, opened again when they were closed (by a run).
    engine::Database& WorkDatabase(int side);
    engine::Recordset& Work(int side);
    void ReopenWorkRs(int side);
    void PaintRow(int side, int row, const QColor& colour);
    QColor NormalColour(int side) const;
    QColor HighlightColour(int side) const;
    bool FindWorkRow(int side, int32_t rowNumber);

    // Steps of LoadTableStructure
    bool WriteFieldRows(engine::TableDef& table, engine::Recordset& work, int side, int32_t& count);
    bool RankKeyFields(engine::TableDef& table, engine::Recordset& work, int side);

    // The import run (frmMdbCpy_run.cpp)
    enum class RunMode { ReplaceAll = 0, AddOrUpdate = 1, AddNew = 2, UpdateExisting = 3 };
    void RunImport(RunMode mode);
    bool CheckKeyLinks(RunMode mode);
    bool RefuseTarget(RunMode mode);
    void PrepareRun();
    // The run as the engine's copy plan: FieldMap's links and conversions, the mode, the
    // condition and the key entries.
    engine::CopyPlan ImportPlan(RunMode mode) const;
    // Both begin the run's transaction in transaction, for RunImport to commit or roll back.
    bool RunRecords(RunMode mode, engine::DatabasePtr& targetDb, engine::DatabasePtr& sourceDb,
                    std::optional<engine::TransactionGuard>& transaction);
    // The run as one statement (frmMdbCpy_compiled.cpp); false after declining a layout or after
    // a failing value or record, with nothing left open or changed.
    bool RunCompiled(RunMode mode, engine::DatabasePtr& targetDb, engine::DatabasePtr& sourceDb,
                     std::optional<engine::TransactionGuard>& transaction);
    void ReleaseRunConnections();
    void ShowCounts();
    std::string SourceStatement() const;

    int Text3Index(const QObject* object) const;
    bool ended_ = false;
};

} // namespace tavorin
