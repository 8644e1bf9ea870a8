// frmMdbCpy: the data import window ("データの移入").
//
// Records of one table (the source, side 1, "移入元") are copied into another table (the target,
// side 0, "移入先"), possibly of another file, along links the user makes between their fields.
// The window takes the designer's place: it rebuilds the work folder with its own two work
// databases (FormatTemp1.MDB for the target's structure and links, FormatTemp2.MDB for the
// source's), and going back to the designer removes them again.
//
// The rules live in the core: the work rows and a table's structure (core/ImportStructure.h),
// the links (core/ImportLinks.h), the checks and the plan (core/ImportPlan.h) and the run
// (core/ImportRun.h). The window shows the sides, the field grids and the record view, and
// passes the user's clicks and keys to the core. Its controls are grouped in the parts it
// derives from, by the names the procedures use.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <string>

#include "ImportFieldGrids.h"
#include "ImportMenus.h"
#include "ImportRecordGrid.h"
#include "ImportSidePanels.h"
#include "ImportSideState.h"
#include "ImportToolbar.h"
#include "core/ImportRun.h"
#include "modules/AppContext.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;

namespace tavorin {

class frmMdbCpy : public QMainWindow,
                  public ToolbarWindow,
                  public ImportMenus,
                  public ImportToolbar,
                  public ImportSidePanels,
                  public ImportFieldGrids,
                  public ImportRecordGrid {
    Q_OBJECT
  public:
    static constexpr int kTarget = 0;
    static constexpr int kSource = 1;

    // The run's work store and current file, taken over from the designer; it outlives the
    // window.
    AppContext& App;

    explicit frmMdbCpy(AppContext& app, QWidget* parent = nullptr);
    ~frmMdbCpy() override;

    // The window's start: a fresh work folder with the two work databases, both sides empty.
    // False when the work store could not be built (the reason has been shown).
    bool Form_Load();

    // ---- Sides, files and tables (frmMdbCpy_sides.cpp) ----
    // A click on a file box: 0 and 1 the target's folder and file name, 2 and 3 the source's.
    void Text2_Click(int index);
    // mnCpyFolder(1) opens the target's file, (2) the source's.
    void mnCpyFolder_Click(int index);
    void ShowTableList(int side);
    // A click on a table box: 0 and 1 the target's name and remarks, 2 and 3 the source's.
    void Text1_Click(int index);
    void List1_DblClick(int side);
    void OpenSideTable(int side);
    void ClearSideFile(int side);
    void ClearSideTable(int side);
    void mnCpyHELP_Click();
    // Back to the designer.
    void mnCpyCancel_Click();
    void mnEnd_Click();

    // ---- Field grids and links (frmMdbCpy_links.cpp) ----
    void CFLDDSP(int side, int32_t first);
    void CScrolSet(int side, int32_t position);
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

    // ---- Import run (frmMdbCpy_run.cpp) ----
    void mnCpyDel_Click();
    // Keyed modes: 1 add or update, 2 add new keys only, 3 update existing keys only.
    void mnCpyUpd1_Click(int index);
    // "読込件数 ＝ n   作業件数 ＝ m" on the status line.
    void ShowCounts();

    // ---- Record view (frmMdbCpy_records.cpp) ----
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

    // ---- Controls outside the parts ----
    QLineEdit* Text5 = nullptr;  // extraction condition
    QCheckBox* Check1 = nullptr; // link same-named fields
    QLabel* Label2 = nullptr;    // status line

    // ---- State ----
    using Side = ImportSideState;
    std::array<Side, 2> Sides;
    std::string ScratchPath; // FORMATTEMP3.MDB
    ImportKey Key;           // the target's primary key
    // The record view: the side shown, and the flag that quiets the scroll events while the
    // view is set up.
    int ShownSide = kTarget;
    bool ScrollSetup = false;
    // The counts shown: of the last run, as it goes.
    long ReadCount = 0;
    long WorkCount = 0;
    using RunPath = ImportPath;
    RunPath runPath = RunPath::Compiled;
    ImportOutcome LastRun; // how the last run went

  signals:
    // The End command has closed the window and the program is to end.
    void ProgramEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void ConnectCommands();
    void PlaceTableLists();
    void ShowGridFrame(bool grids);
    void CloseWindowWork();
    void CloseRecordView(int side);
    // The side's work database and its rows, opened again when they were closed (by a run).
    engine::Database& WorkDatabase(int side);
    engine::Recordset& Work(int side);
    void ReopenWorkRs(int side);
    void RunImport(ImportMode mode);
    ImportRequest Request(ImportMode mode) const;

    bool ended_ = false;
};

} // namespace tavorin
