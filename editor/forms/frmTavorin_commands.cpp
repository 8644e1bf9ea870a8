// frmTavorin: the start sequence, the End command, the menu routines and the commands of the
// help menu.
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <cmath>
#include <filesystem>

#include "QtText.h"
#include "ToolImage.h"
#include "frmAbout.h"
#include "frmFieldEdit.h"
#include "frmOption.h"
#include "frmRefTableList.h"
#include "frmTavorin.h"
#include "modules/FuncUtility.h"
#include "modules/WorkStore.h"
#include "platform/clipboard.h"
#include "platform/program_files.h"
#include "platform/prompts.h"
#include "platform/shell.h"

namespace tavorin {

// ---- Start ---------------------------------------------------------------------------------

bool frmTavorin::Form_Load() {
    try {
        CenterWindow();
        App.Store.OpenWorkStore(App.Platform, App.Store.WorkBaseFolder());
        FillChoiceLists();
        SetStartDefaults();
        ReleaseFile();
        ShowTableListFrame(true);
        SetUpToolbar();
        SetStartMenus();
        ResetEditState();
        return true;
    } catch (const std::exception& e) {
        ShowUnexpectedError(App.Platform, e);
        App.Store.CloseWorkStore();
        App.Store.ReleaseWorkFolder();
        return false;
    }
}

void frmTavorin::CenterWindow() {
    CenterOnScreen(*this);
}

void frmTavorin::FillChoiceLists() {
    GridLoading = 9;
    for (QComboBox* box : Combo1) {
        box->clear();
        box->addItem(QString::fromUtf8("重複なし"));
        box->addItem(QString::fromUtf8("重複あり"));
    }
    for (QComboBox* box : Combo2) {
        box->clear();
        for (const std::string& name : TypeNames())
            if (!name.empty()) box->addItem(Q(name));
    }
    GridLoading = 0;
}

void frmTavorin::SetStartDefaults() {
    App.Defaults.SetStartDefaults();
}

void frmTavorin::ResetEditState() {
    App.Platform.Clipboard().Clear();
    LineEditMode = 0;
    FocusSuppressed = true;
    saving_.SourceTableName.clear();
}

// ---- End -----------------------------------------------------------------------------------

bool frmTavorin::SettleLayoutBeforeLeaving() {
    // The cell being typed belongs to the layout the question is about. A table name typed but
    // not taken is not opened only to be left.
    if (FocusIndex != 0) {
        int16_t error = 0;
        StoreRow(error);
        if (error != 0) return false;
    }
    if (LayoutChanged > 0) {
        int16_t answer = 0;
        AskSaveChanges(answer);
        if (answer == platform::vbCancel) return false;
    }
    return true;
}

void frmTavorin::mnEnd_Click() {
    if (!SettleLayoutBeforeLeaving()) return;
    App.Store.CloseWorkStore();
    if (!App.Store.WorkFolder.empty()) {
        int16_t errorMark = 0;
        RemoveFolderTree(App.Platform, App.Store.WorkFolder, errorMark);
    }
    App.Store.ReleaseWorkFolder();
    EndProgram();
}

void frmTavorin::EndProgram() {
    ended_ = true;
    if (about_) about_->close();
    if (refTables_) refTables_->Unload();
    if (option_) option_->close();
    if (fieldEdit_) fieldEdit_->Unload();
    close();
    emit ProgramEnded();
}

void frmTavorin::closeEvent(QCloseEvent* event) {
    if (ended_ || Unloaded) {
        event->accept();
        return;
    }
    Form_QueryUnload(event);
}

// The close box runs the End command; a Cancel at its save question keeps the window open.
void frmTavorin::Form_QueryUnload(QCloseEvent* event) {
    RunEvent([this] { mnEnd_Click(); });
    if (ended_)
        event->accept();
    else
        event->ignore();
}

void frmTavorin::AskSaveChanges(int16_t& answer) {
    answer = static_cast<int16_t>(App.Platform.MsgBox(
        QString::fromUtf8("作業中のフォーマットは変更されています。保存しますか。"),
        platform::vbYesNoCancel));
    if (answer == platform::vbYes) {
        SaveTable();
        if (saving_.SaveAbandoned != 0) {
            answer = platform::vbCancel;
            CellEdited = true;
        }
    }
    ShowTableListFrame(false);
}

// ---- Menu routines ---------------------------------------------------------------------------

// ---- File and layout release -------------------------------------------------------------------

void frmTavorin::ReleaseFile() {
    Text2[0]->clear();
    Text2[1]->clear();
    App.CurrentFile.Folder.clear();
    App.CurrentFile.BaseName.clear();
    App.CurrentFile.Extension.clear();
    App.CurrentFile.FullPath.clear();
    App.CurrentFile.SavedPath.clear();
    ClearLayout();
    TableList.clear();
    List1->clear();
    SetFileMenus(0);
}

void frmTavorin::ClearLayout() {
    GridLoading = 9;
    CloseUserDatabase();
    App.Store.ClearWorkTable();
    ResetLayout();
    Text1[0]->clear();
    Text1[7]->clear();
    for (int k = 0; k < 6; ++k) {
        Text1[k + 1]->setText(Q(App.Defaults.IndexDefaultName[k]));
        Combo1[k]->setCurrentIndex(App.Defaults.IndexDefaultDup[k]);
    }
    ClearGridCells();
    CellDirty = 0;
    CellEdited = false;
    SetTableMenus(0);
    FocusSuppressed = true;
    SetGridInputsOpen(false);
    GridLoading = 0;
}

// ---- Help menu ---------------------------------------------------------------------------------

void frmTavorin::mnHelp_Click() {
    const QString manual = platform::ProgramDataFile(QStringLiteral("Help/manual.html"));
    if (!App.Platform.Shell().Open(manual))
        App.Platform.MsgBox(QString::fromUtf8("操作説明書 ") + manual +
                                QString::fromUtf8(" を表示できません。"),
                            platform::vbExclamation);
}

frmAbout* frmTavorin::AboutWindow() const {
    return about_;
}

void frmTavorin::mnAbout_Click() {
    if (!about_) about_ = new frmAbout(App.Platform, this);
    about_->show();
    about_->raise();
    about_->activateWindow();
}

} // namespace tavorin
