// The designer window's menus, the menu routines and the toolbar commands.
#include "DesignerMenus.h"

#include <QAction>
#include <QMenuBar>
#include <filesystem>

#include "QtText.h"
#include "ToolImage.h"

namespace tavorin {

QAction* DesignerMenus::AddCommand(QMenu* menu, const char* objectName, const char* caption) {
    QAction* action = menu->addAction(Q(caption));
    action->setObjectName(QString::fromLatin1(objectName));
    Enable(action, true);
    return action;
}

void DesignerMenus::BuildMenus() {
    QMenuBar* bar = menuBar();
    mnFile = bar->addMenu(Q("ファイル(&F)　　　"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    mnFileFolder = AddCommand(mnFile, "mnFileFolder", "ファイルを開く(&O)");
    mnFileRename = AddCommand(mnFile, "mnFileRename", "ファイル名の変更(&R)");
    mnFileDel = AddCommand(mnFile, "mnFileDel", "ファイルの削除(&K)");
    mnFileCpy = AddCommand(mnFile, "mnFileCpy", "別名をつけてファイルの保存(&E)");
    mnFile->addSeparator();
    mnTablePrintAll =
        AddCommand(mnFile, "mnTablePrintAll", "指定ファイル内のすべてのレイアウトの印刷(&P)");
    mnFile->addSeparator();
    mnFileFree = AddCommand(mnFile, "mnFileFree", "ファイルの開放");
    mnFile->addSeparator();
    mnEnd = AddCommand(mnFile, "mnEnd", "終了(&X)");

    mnTable = bar->addMenu(Q("テーブル(&M)　　"));
    mnTable->setObjectName(QStringLiteral("mnTable"));
    mnTableRef = AddCommand(mnTable, "mnTableRef", "他のテーブルからフィールドのコピー(&O)");
    mnTable->addSeparator();
    mnTableDel = AddCommand(mnTable, "mnTableDel", "テーブルの削除(&K)");
    mnTableRename = AddCommand(mnTable, "mnTableRename", "テーブル名の変更(&R)");
    mnTable->addSeparator();
    mnTablePrint = AddCommand(mnTable, "mnTablePrint", "レイアウトの印刷(&P)");
    mnTable->addSeparator();
    mnTableCancel = AddCommand(mnTable, "mnTableCancel", "テーブルの開放(&R)");
    mnTable->addSeparator();
    mnTableSave[0] = AddCommand(mnTable, "mnTableSave_0", "テーブルの上書き保存(&S)");
    mnTableSave[1] = AddCommand(mnTable, "mnTableSave_1", "別前をつけてテーブルの保存(&V)");
    mnTable->addSeparator();
    mnConvCheck = AddCommand(mnTable, "mnConvCheck", "変換の確認(&C)");

    mnLineEdit = bar->addMenu(Q("行の編集(&E)　　　　"));
    mnLineEdit->setObjectName(QStringLiteral("mnLineEdit"));
    mnLineCut = AddCommand(mnLineEdit, "mnLineCut", "１行切り取り(&T)");
    mnLineCopy = AddCommand(mnLineEdit, "mnLineCopy", "１行コピー(&C)");
    mnLinePast = AddCommand(mnLineEdit, "mnLinePast", "１行貼り付け(&P)");
    mnLineDel = AddCommand(mnLineEdit, "mnLineDel", "１行削除(&D)");
    mnLineInsert = AddCommand(mnLineEdit, "mnLineInsert", "１行挿入(&I)");
    mnLineMove = AddCommand(mnLineEdit, "mnLineMove", "１行移動");
    mnLineEdit->addSeparator();
    mnFieldSeach = AddCommand(mnLineEdit, "mnFieldSeach", "検索(&F)");
    mnFieldReplace = AddCommand(mnLineEdit, "mnFieldReplace", "置換(&H)");

    mnOptions = bar->addMenu(Q("オプション(&T)"));
    mnOptions->setObjectName(QStringLiteral("mnOptions"));
    mnOption = AddCommand(mnOptions, "mnOption", "デフォルト値の設定(&T)");

    mnData = bar->addMenu(Q("データの編集(&I)"));
    mnData->setObjectName(QStringLiteral("mnData"));
    mnCpy = AddCommand(mnData, "mnCpy", "データの移入(&I)");

    mnHelpMenu = bar->addMenu(Q("ＨＥＬＰ(&H)　　　"));
    mnHelpMenu->setObjectName(QStringLiteral("mnHelpMenu"));
    mnHelp = AddCommand(mnHelpMenu, "mnHelp", "操作説明(&H)");
    mnHelpMenu->addSeparator();
    mnAbout = AddCommand(mnHelpMenu, "mnAbout", "バージョン情報(&A)");
}

void DesignerMenus::Enable(QAction* command, bool on) {
    command->setProperty("menuState", on);
    command->setEnabled(on && available_.count(command) > 0);
}

bool DesignerMenus::MenuState(const QAction* command) const {
    return command->property("menuState").toBool();
}

void DesignerMenus::MarkCommandAvailable(QAction* command) {
    available_.insert(command);
    command->setEnabled(MenuState(command));
}

void DesignerMenus::Image1_MouseMove(int index) {
    HighlightToolButton(*this, index);
}

void DesignerMenus::Image1_MouseDown(int) {
    HideToolFrame(*this);
}

void DesignerMenus::Image1_MouseUp(int index) {
    HighlightToolButton(*this, index);
}

void DesignerMenus::Image1_Click(int index) {
    // Each button runs the menu command it stands for, and only while that command is enabled.
    QAction* const commands[kToolButtons] = {
        mnEnd,        mnFileFolder,  mnTableRef,     mnFileDel, mnTableDel, mnTableRename,
        mnTablePrint, mnTableCancel, mnTableSave[0], mnCpy,     mnHelp};
    if (index < 0 || index >= kToolButtons) return;
    QAction* command = commands[index];
    if (command->isEnabled()) command->trigger();
}

void DesignerMenus::SetStartMenus() {
    for (QAction* command : {mnFileFolder, mnEnd, mnHelp, mnAbout}) Enable(command, true);
    SetFileMenus(0);
}

void DesignerMenus::SetUpToolbar() {
    static const char* const kToolTips[kToolButtons] = {
        "このプログラムを終了します。",
        "ファイルを開きます。",
        "他のテーブルからフィールドをコピーします。",
        "データベースを削除します。",
        "テーブルを削除します。",
        "テーブル名を変更します。",
        "レイアウトを印刷します。",
        "テーブルを開放します。",
        "テーブルを保存します。",
        "データの移入を行います。",
        "ヘルプの表示を行います。",
    };
    for (int i = 0; i < kToolButtons; ++i) Image1[i]->setToolTip(QString::fromUtf8(kToolTips[i]));
    HideToolFrame(*this);
}

void DesignerMenus::SetFileMenus(int16_t state) {
    if (state == 0) {
        for (QAction* command : {mnFileRename, mnFileDel, mnFileCpy, mnTablePrintAll, mnFileFree})
            Enable(command, false);
        SetTableMenus(0);
    } else if (state == 1) {
        std::error_code ec;
        const bool exists = !App.CurrentFile.FullPath.empty() &&
                            std::filesystem::is_regular_file(App.CurrentFile.FullPath, ec);
        for (QAction* command : {mnFileRename, mnFileDel, mnFileCpy, mnTablePrintAll})
            Enable(command, exists);
        Enable(mnFileFree, true);
    }
}

void DesignerMenus::SetTableMenus(int16_t state) {
    QAction* const tableCommands[] = {mnTableRef,     mnTableRename, mnTablePrint,
                                      mnTableDel,     mnTableCancel, mnTableSave[0],
                                      mnTableSave[1], mnFieldSeach,  mnFieldReplace};
    if (state == 0) {
        for (QAction* command : tableCommands) Enable(command, false);
        for (QAction* command :
             {mnLineCut, mnLineCopy, mnLinePast, mnLineDel, mnLineInsert, mnLineMove})
            Enable(command, false);
        Enable(mnCpy, true);
    } else if (state == 1) {
        for (QAction* command : tableCommands) Enable(command, true);
        for (QAction* command : {mnFileRename, mnFileDel, mnFileCpy, mnTablePrintAll, mnCpy})
            Enable(command, false);
        Enable(mnFileFree, true);
    }
}

void DesignerMenus::SetLineEditMenus() {
    const std::pair<QAction*, int16_t> commands[] = {
        {mnLineCut, kLineCut},    {mnLineCopy, kLineCopy},     {mnLinePast, kLinePaste},
        {mnLineDel, kLineDelete}, {mnLineInsert, kLineInsert}, {mnLineMove, kLineMove}};
    for (const auto& [action, mode] : commands) Enable(action, LineEditAllowed(mode));
}

} // namespace tavorin
