// frmMdbCpy: the window's start and end, its work store, and choosing a file and a table on
// each side with the table's structure loaded into the side's work rows.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

#include "QtText.h"
#include "ToolImage.h"
#include "core/ImportStructure.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "frmMdbCpy.h"
#include "modules/FuncUtility.h"
#include "modules/WindowPrompts.h"
#include "modules/WorkStore.h"
#include "platform/program_files.h"
#include "platform/prompts.h"
#include "platform/shell.h"

namespace tavorin {

// ---- Start and end -------------------------------------------------------------------------

bool frmMdbCpy::Form_Load() {
    try {
        CenterOnScreen(*this);
        App.Store.TakeWorkFolder(App.Store.WorkBaseFolder());
        App.Store.RenewWorkFolder(App.Platform);

        Sides[kTarget].WorkPath = App.Store.WorkFolder + "/FormatTemp1.MDB";
        Sides[kSource].WorkPath = App.Store.WorkFolder + "/FormatTemp2.MDB";
        ScratchPath = App.Store.WorkFolder + "/FORMATTEMP3.MDB";
        // The file dialog refuses the two work databases by these paths.
        App.Store.WorkDbPath = Sides[kTarget].WorkPath;
        App.Store.PrintDbPath = Sides[kSource].WorkPath;
        CreateImportWorkDatabase(*App.Store.Ws, Sides[kTarget].WorkPath, ImportSide::Target);
        CreateImportWorkDatabase(*App.Store.Ws, Sides[kSource].WorkPath, ImportSide::Source);
        Work(kTarget);
        Work(kSource);

        for (QGroupBox* frame : Frame2) frame->hide();
        ShowGridFrame(true);
        static const std::pair<int, const char*> kToolTips[] = {
            {0, "このプログラムを終了します。"},
            {1, "フォーマット作成にもどります｡ "},
            {2, "移入先ファイルを開きます。"},
            {3, "移入元ファイルを開きます。"},
            {4, "元のデータをすべて消去し、全データを移入します。"},
            {5, "主キーで検索し、全データを更新します。"},
            {6, "主キーで検索し、同一キーがなかった場合のみ追加登録します。"},
            {7, "主キーで検索し、同一キーがあった場合のみ更新します。"},
            {10, "ヘルプの表示を行います。"},
        };
        for (const auto& [index, tip] : kToolTips)
            Image1[static_cast<size_t>(index)]->setToolTip(QString::fromUtf8(tip));
        HideToolFrame(*this);

        for (Side& side : Sides) {
            side.ViewState = 0;
            side.SelectedRow = -1;
        }
        EnableImportMenus(false);
        ClearSideFile(kTarget);
        ClearSideFile(kSource);
        return true;
    } catch (const std::exception& e) {
        ShowUnexpectedError(App.Platform, e);
        CloseWindowWork();
        return false;
    }
}

engine::Database& frmMdbCpy::WorkDatabase(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    if (!s.WorkDb) s.WorkDb = App.Store.Ws->OpenDatabase(s.WorkPath);
    return *s.WorkDb;
}

engine::Recordset& frmMdbCpy::Work(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    if (!s.WorkRs)
        s.WorkRs = WorkDatabase(side).OpenRecordset(kImportWorkSql, engine::RecordsetType::Dynaset);
    return *s.WorkRs;
}

void frmMdbCpy::ReopenWorkRs(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    if (s.WorkRs) s.WorkRs->Close();
    s.WorkRs.reset();
    Work(side);
}

// Record views, the sides' user databases and the work databases closed, the work folder gone.
void frmMdbCpy::CloseWindowWork() {
    for (int side = 0; side < 2; ++side) {
        Side& s = Sides[static_cast<size_t>(side)];
        CloseRecordView(side);
        s.Db.reset();
        if (s.WorkRs) s.WorkRs->Close();
        s.WorkRs.reset();
        if (s.WorkDb) s.WorkDb->Close();
        s.WorkDb.reset();
    }
    if (!App.Store.WorkFolder.empty()) {
        int16_t errorMark = 0;
        RemoveFolderTree(App.Platform, App.Store.WorkFolder, errorMark);
    }
}

void frmMdbCpy::mnCpyCancel_Click() {
    CloseWindowWork();
    ended_ = true;
    // The designer starts afresh and builds its own work store; if it cannot, the program ends.
    if (!App.Turns || !App.Turns->ShowDesigner()) {
        App.Store.ReleaseWorkFolder();
        emit ProgramEnded();
    }
    close();
}

void frmMdbCpy::mnEnd_Click() {
    CloseWindowWork();
    App.Store.ReleaseWorkFolder();
    ended_ = true;
    close();
    emit ProgramEnded();
}

void frmMdbCpy::mnCpyHELP_Click() {
    const QString manual = platform::ProgramDataFile(QStringLiteral("Help/manual.html"));
    if (!App.Platform.Shell().Open(manual))
        App.Platform.MsgBox(QString::fromUtf8("操作説明書 ") + manual +
                                QString::fromUtf8(" を表示できません。"),
                            platform::vbExclamation);
}

// ---- Choosing a file -----------------------------------------------------------------------

void frmMdbCpy::mnCpyFolder_Click(int index) {
    Text2_Click(index == 1 ? 0 : 2);
}

void frmMdbCpy::Text2_Click(int index) {
    const int side = index / 2;
    Side& s = Sides[static_cast<size_t>(side)];
    Frame2[side]->hide();
    ChosenFile chosen = s.File;
    int16_t error = 0;
    ChooseDatabaseFile(App, "G", 0, s.File.BaseName, chosen, error);
    if (error != 0) {
        Text2[index]->setFocus();
        return;
    }
    ClearSideFile(side);
    s.File = chosen;
    if (!s.File.FullPath.empty()) {
        try {
            ShowTableList(side);
        } catch (const std::exception& e) {
            // A file the engine cannot open is not taken.
            Frame2[side]->hide();
            ShowUnexpectedError(App.Platform, e);
            ClearSideFile(side);
            return;
        }
    }
    Text2[2 * side]->setText(Q(s.File.Folder));
    Text2[2 * side + 1]->setText(Q(s.File.BaseName));
    EnableImportMenus(!Sides[kTarget].TableName.empty() && !Sides[kSource].TableName.empty());
}

void frmMdbCpy::ShowTableList(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    PlaceTableLists();
    Frame2[side]->show();
    Frame2[side]->raise();
    LoadTableList(*App.Store.Ws, s.File.FullPath, List1[side], s.TableList);
    List1[side]->setFocus();
}

void frmMdbCpy::Text1_Click(int index) {
    const int side = index / 2;
    if (Frame2[side]->isVisible()) {
        Frame2[side]->hide();
    } else {
        PlaceTableLists();
        Frame2[side]->show();
        Frame2[side]->raise();
    }
}

// ---- Choosing a table ----------------------------------------------------------------------

void frmMdbCpy::List1_DblClick(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    CloseRecordView(side);
    ClearSideTable(side);
    const int line = List1[side]->currentRow();
    if (line < 0 || line >= static_cast<int>(s.TableList.size())) return;
    s.TableName = s.TableList[static_cast<size_t>(line)].Name;
    s.TableDesc = s.TableList[static_cast<size_t>(line)].Description;
    try {
        OpenSideTable(side);
    } catch (const std::exception& e) {
        // A table the engine cannot read: one message, and the list again for another pick.
        ShowUnexpectedError(App.Platform, e);
        ClearSideTable(side);
        Guarded(App.Platform, [this, side] { ShowTableList(side); });
        return;
    }
    Text1[2 * side]->setText(Q(s.TableName));
    Text1[2 * side + 1]->setText(Q(s.TableDesc));
    const bool both = !Sides[kTarget].TableName.empty() && !Sides[kSource].TableName.empty();
    if (both) EnableImportMenus(true);
    if (!s.TableName.empty()) {
        if (side == kSource) mnCpyJointCanAll_Click();
        if (Check1->isChecked()) mnCpyJoint_Click();
    }
    CFLDDSP(side, s.FirstRow);
    Label2->setText(
        QString::fromUtf8("移入先、移入元テーブルを選択後、連結フィールドを指定して下さい。"));
}

void frmMdbCpy::OpenSideTable(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    Frame2[side]->hide();
    ReopenWorkRs(side);
    WindowPrompts prompts(App.Platform);
    const LoadedTable loaded =
        LoadTableStructure(*App.Store.Ws, s.File.FullPath, s.TableName, Work(side),
                           static_cast<ImportSide>(side), prompts);
    s.ReadOnly = loaded.readOnly;
    s.Refusal = loaded.refusal;
    if (side == kTarget) Key = loaded.key;
    if (loaded.failed) {
        s.TableName.clear();
        s.TableDesc.clear();
        ShowTableList(side);
    }
    s.FirstRow = 1;
    s.FieldCount = loaded.fieldCount;
    CScrolSet(side, 0);
    CFLDDSP(side, s.FirstRow);
}

// ---- Clearing a side -----------------------------------------------------------------------

void frmMdbCpy::ClearSideFile(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    Text1[2 * side]->clear();
    Text1[2 * side + 1]->clear();
    Text2[2 * side]->clear();
    Text2[2 * side + 1]->clear();
    s.File = ChosenFile{};
    s.TableName.clear();
    s.TableDesc.clear();
    ClearSideTable(side);
    s.TableList.clear();
    List1[side]->clear();
    EnableImportMenus(false);
}

void frmMdbCpy::ClearSideTable(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    WorkDatabase(side).Execute(kClearWorkTableSql);
    ReopenWorkRs(side);
    s.TableName.clear();
    s.TableDesc.clear();
    s.ReadOnly = false;
    s.Refusal.clear();
    Text1[2 * side]->clear();
    Text1[2 * side + 1]->clear();
    const int first = side == kTarget ? 0 : 50, last = side == kTarget ? 49 : 89;
    for (int i = first; i <= last; ++i) Text3[static_cast<size_t>(i)]->clear();
    for (int row = 0; row < kGridLines; ++row) PaintRow(side, row, NormalColour(side));
    if (side == kTarget) Key = ImportKey{};
    Text5->clear();
    s.FirstRow = 0;
    s.FieldCount = 0;
    // A selection belongs to the table it was made on.
    s.SelectedRow = -1;
    ShowGridFrame(true);
    CloseRecordView(side);
    s.Db.reset();
    EnableImportMenus(false);
}

void frmMdbCpy::ShowGridFrame(bool grids) {
    GridFrame->setVisible(grids);
    RecordFrame->setVisible(!grids);
}

} // namespace tavorin
