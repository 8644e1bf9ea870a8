#include "ImportSidePanels.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "QtText.h"

namespace tavorin {

QWidget* ImportSidePanels::BuildSide(int side, QWidget* parent) {
    SideFrame[side] = new QGroupBox(Q(side == 0 ? "＜移入先＞" : "＜移入元＞"), parent);
    SideFrame[side]->setObjectName(QStringLiteral("SideFrame_%1").arg(side));
    auto* grid = new QGridLayout(SideFrame[side]);
    grid->setVerticalSpacing(2);
    const char* const captions[4] = {"フォルダー名", "ファイル名", "テーブル名", "備　　考"};
    for (int i = 0; i < 4; ++i) {
        auto* box = new QLineEdit(SideFrame[side]);
        box->setReadOnly(true); // filled by the file dialog and the table list only
        box->setFocusPolicy(Qt::ClickFocus);
        if (i < 2) {
            Text2[2 * side + i] = box;
            box->setObjectName(QStringLiteral("Text2_%1").arg(2 * side + i));
        } else {
            Text1[2 * side + i - 2] = box;
            box->setObjectName(QStringLiteral("Text1_%1").arg(2 * side + i - 2));
        }
        auto* label = new QLabel(Q(captions[i]), SideFrame[side]);
        label->setBuddy(box);
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1, 1, 3);
    }
    Command1[side] = new QPushButton(Q("構成"), SideFrame[side]);
    Command1[side + 2] = new QPushButton(Q("データ表示"), SideFrame[side]);
    for (int i : {side, side + 2}) {
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setFocusPolicy(Qt::ClickFocus);
    }
    grid->addWidget(Command1[side], 4, 2);
    grid->addWidget(Command1[side + 2], 4, 3);
    grid->setColumnStretch(1, 1);
    return SideFrame[side];
}

void ImportSidePanels::BuildTableList(int side, QWidget* parent) {
    Frame2[side] =
        new QGroupBox(Q(side == 0 ? "移入先テーブル一覧" : "移入元テーブル一覧"), parent);
    Frame2[side]->setObjectName(QStringLiteral("Frame2_%1").arg(side));
    Frame2[side]->setAutoFillBackground(true);
    auto* listLayout = new QVBoxLayout(Frame2[side]);
    List1[side] = new QListWidget(Frame2[side]);
    List1[side]->setObjectName(QStringLiteral("List1_%1").arg(side));
    listLayout->addWidget(List1[side]);
    Frame2[side]->hide();
}

void ImportSidePanels::SetSideToolTips() {
    const char* const sideName[2] = {"移入先", "移入元"};
    for (int side = 0; side < 2; ++side) {
        const QString who = Q(sideName[side]);
        for (int i : {2 * side, 2 * side + 1})
            Text2[i]->setToolTip(Q("クリックでファイル指定のダイアログボックスが開きます。"));
        Text1[2 * side]->setToolTip(who + Q("テーブルをテーブル一覧表の中からダブルクリックで選択し"
                                            "ます。一覧表はクリックで表示されます。"));
        Text1[2 * side + 1]->setToolTip(who + Q("テーブルの備考です。"));
        List1[side]->setToolTip(Q("ダブルクリックで") + who + Q("テーブルを選択します。"));
        for (int i : {side, side + 2})
            Command1[i]->setToolTip(who + Q("テーブルの表示内容を切り換えます。"));
    }
}

void ImportSidePanels::PlaceTableLists(const QWidget& place) {
    for (int side = 0; side < 2; ++side) {
        const QRect box = SideFrame[side]->geometry();
        const int top = box.bottom() + 2;
        const int height = std::max(120, std::min(place.geometry().bottom() - top, 300));
        Frame2[side]->setGeometry(box.left(), top, box.width(), height);
        Frame2[side]->raise();
    }
}

} // namespace tavorin
