#include "ImportMenus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace tavorin {

namespace {

QAction* AddCommand(QMenu* menu, const char* objectName, const char* caption) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(objectName));
    return action;
}

} // namespace

void ImportMenus::BuildMenus(QMenuBar& bar) {
    QMenu* file = bar.addMenu(QString::fromUtf8("ファイル(&F)"));
    mnCpyFolder[1] = AddCommand(file, "mnCpyFolder_1", "移入先ファイルを開く(&A)");
    mnCpyFolder[2] = AddCommand(file, "mnCpyFolder_2", "移入元ファイルを開く(&B)");
    file->addSeparator();
    mnCpyCancel = AddCommand(file, "mnCpyCancel", "フォーマット作成に戻る(&R)");
    file->addSeparator();
    mnEnd = AddCommand(file, "mnEnd", "終了(&X)");

    QMenu* links = bar.addMenu(QString::fromUtf8("連結フィールドの操作(&E)"));
    mnCpyJoint = AddCommand(links, "mnCpyJoint", "同一フィールド名の連結(&J)");
    mnCpyJointNo = AddCommand(links, "mnCpyJointNo", "同一フィールド名の連結解除(&C)");
    mnCpyJointCan = AddCommand(links, "mnCpyJointCan", "選択行の連結解除(&D)");
    mnCpyJointCanAll = AddCommand(links, "mnCpyJointCanAll", "全フィールドの連結解除(&K)");

    QMenu* run = bar.addMenu(QString::fromUtf8("データ移入の開始(&C)"));
    mnCpyDel = AddCommand(run, "mnCpyDel", "元のデータを消去後、全データの移入(&N)");
    QMenu* keyed = run->addMenu(QString::fromUtf8("主キーで検索する(&K)"));
    mnCpyUpd1[1] = AddCommand(keyed, "mnCpyUpd1_1", "全データを更新(&Z)");
    mnCpyUpd1[2] = AddCommand(keyed, "mnCpyUpd1_2", "同一キー以外を更新(&U)");
    mnCpyUpd1[3] = AddCommand(keyed, "mnCpyUpd1_3", "同一キーのみ更新する(&M)");

    QMenu* help = bar.addMenu(QString::fromUtf8("HELP(&H)"));
    mnCpyHELP = AddCommand(help, "mnCpyHELP", "操作説明");
}

void ImportMenus::EnableImportMenus(bool on) {
    for (QAction* command : {mnCpyJoint, mnCpyJointNo, mnCpyJointCan, mnCpyJointCanAll, mnCpyDel,
                             mnCpyUpd1[1], mnCpyUpd1[2], mnCpyUpd1[3]})
        command->setEnabled(on);
}

} // namespace tavorin
