// frmMdbCpy: building the window (sides, grids, record view, menus, toolbar) and wiring its
// events.
#include "frmMdbCpy.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "QtText.h"
#include "ToolImage.h"
#include "platform/prompts.h"

namespace tavorin {

frmMdbCpy::frmMdbCpy(AppContext& app, QWidget* parent) : QMainWindow(parent), App(app) {
    setObjectName(QStringLiteral("frmMdbCpy"));
    setWindowTitle(Q("データの移入"));
    App.Platform.SetTitle(QStringLiteral("Tavorin"));

    BuildMenus(*menuBar());
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(4);
    BuildToolbar(this);
    layout->addWidget(ToolBar1);

    auto* sides = new QHBoxLayout;
    sides->addWidget(BuildSide(kTarget, this), 1);
    sides->addWidget(BuildSide(kSource, this), 1);
    layout->addLayout(sides);

    // The field grids and the record view share one place; one of them is shown.
    auto* place = new QWidget(central);
    auto* stack = new QGridLayout(place);
    stack->setContentsMargins(0, 0, 0, 0);
    for (QWidget* frame : {BuildGridFrame(this, this), BuildRecordFrame(this)}) {
        frame->setParent(place);
        QSizePolicy policy = frame->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        frame->setSizePolicy(policy);
        stack->addWidget(frame, 0, 0);
    }
    layout->addWidget(place, 1);

    auto* condition = new QHBoxLayout;
    auto* whereLabel = new QLabel(Q("<WHERE 文>"), central);
    Text5 = new QLineEdit(central);
    Text5->setObjectName(QStringLiteral("Text5"));
    whereLabel->setBuddy(Text5);
    Check1 = new QCheckBox(Q("同一ﾌｨｰﾙﾄﾞ名を連結"), central);
    Check1->setObjectName(QStringLiteral("Check1"));
    condition->addWidget(whereLabel);
    condition->addWidget(Text5, 1);
    condition->addSpacing(12);
    condition->addWidget(Check1);
    layout->addLayout(condition);

    Label2 = new QLabel(central);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label2->setMinimumHeight(Label2->fontMetrics().height() + 8);
    Label2->setTextFormat(Qt::PlainText);
    layout->addWidget(Label2);
    setCentralWidget(central);

    // The table lists open over the grids, under their side's boxes.
    for (int side = 0; side < 2; ++side) BuildTableList(side, central);

    SetSideToolTips();
    SetGridToolTips();
    Text5->setToolTip(Q("移入元テーブルからレコードを抽出する条件を入力します。"));
    ConnectCommands();
    resize(1180, minimumSizeHint().height() + 30);
}

frmMdbCpy::~frmMdbCpy() = default;

void frmMdbCpy::ConnectCommands() {
    auto on = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this,
                [this, handler] { Guarded(App.Platform, [this, handler] { handler(this); }); });
    };
    on(mnCpyFolder[1], [](frmMdbCpy* w) { w->mnCpyFolder_Click(1); });
    on(mnCpyFolder[2], [](frmMdbCpy* w) { w->mnCpyFolder_Click(2); });
    on(mnCpyCancel, [](frmMdbCpy* w) { w->mnCpyCancel_Click(); });
    on(mnEnd, [](frmMdbCpy* w) { w->mnEnd_Click(); });
    on(mnCpyJoint, [](frmMdbCpy* w) { w->mnCpyJoint_Click(); });
    on(mnCpyJointNo, [](frmMdbCpy* w) { w->mnCpyJointNo_Click(); });
    on(mnCpyJointCan, [](frmMdbCpy* w) { w->mnCpyJointCan_Click(); });
    on(mnCpyJointCanAll, [](frmMdbCpy* w) { w->mnCpyJointCanAll_Click(); });
    on(mnCpyDel, [](frmMdbCpy* w) { w->mnCpyDel_Click(); });
    on(mnCpyUpd1[1], [](frmMdbCpy* w) { w->mnCpyUpd1_Click(1); });
    on(mnCpyUpd1[2], [](frmMdbCpy* w) { w->mnCpyUpd1_Click(2); });
    on(mnCpyUpd1[3], [](frmMdbCpy* w) { w->mnCpyUpd1_Click(3); });
    on(mnCpyHELP, [](frmMdbCpy* w) { w->mnCpyHELP_Click(); });

    for (QLineEdit* box : Text2) box->installEventFilter(this);
    for (QLineEdit* box : Text1) box->installEventFilter(this);
    for (int side = 0; side < 2; ++side) {
        connect(List1[side], &QListWidget::itemDoubleClicked, this,
                [this, side] { Guarded(App.Platform, [this, side] { List1_DblClick(side); }); });
        connect(VScroll1[side], &QScrollBar::valueChanged, this,
                [this, side] { Guarded(App.Platform, [this, side] { VScroll1_Change(side); }); });
    }
    for (int i = 0; i < 4; ++i)
        connect(Command1[i], &QPushButton::clicked, this,
                [this, i] { Guarded(App.Platform, [this, i] { Command1_Click(i); }); });
    connect(Check1, &QCheckBox::clicked, this,
            [this] { Guarded(App.Platform, [this] { Check1_Click(); }); });
    connect(HScroll1, &QScrollBar::valueChanged, this,
            [this] { Guarded(App.Platform, [this] { HScroll1_Change(); }); });
    connect(VScroll2, &QScrollBar::valueChanged, this,
            [this] { Guarded(App.Platform, [this] { VScroll2_Change(); }); });

    for (int i = 0; i < kToolButtons; ++i) {
        tavorin::ToolImage* image = Image1[i];
        if (!image) continue;
        connect(image, &ToolImage::Click, this,
                [this, i] { Guarded(App.Platform, [this, i] { Image1_Click(i); }); });
        connect(image, &ToolImage::MouseMove, this, [this, i] { Image1_MouseMove(i); });
        connect(image, &ToolImage::MouseDown, this, [this, i] { Image1_MouseDown(i); });
        connect(image, &ToolImage::MouseUp, this, [this, i] { Image1_MouseUp(i); });
        connect(image, &ToolImage::MouseLeave, this, [this] { HideToolFrame(*this); });
    }
}

bool frmMdbCpy::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && widget &&
            widget->rect().contains(mouse->position().toPoint())) {
            for (int i = 0; i < 4; ++i) {
                if (watched == Text2[i]) Guarded(App.Platform, [this, i] { Text2_Click(i); });
                if (watched == Text1[i]) Guarded(App.Platform, [this, i] { Text1_Click(i); });
            }
            if (const int cell = Text3Index(watched); cell >= 0)
                Guarded(App.Platform, [this, cell] { Text3_Click(cell); });
        }
    } else if (type == QEvent::FocusIn) {
        if (const int cell = Text3Index(watched); cell >= 0) Text3_GotFocus(cell);
    } else if (type == QEvent::KeyPress) {
        if (const int cell = Text3Index(watched); cell >= 0) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            bool taken = false;
            Guarded(App.Platform, [&] { taken = Text3_KeyDown(cell, key); });
            return taken;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMdbCpy::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The layout places the sides once this event is over.
    QTimer::singleShot(0, this, [this] { PlaceTableLists(); });
}

void frmMdbCpy::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    QTimer::singleShot(0, this, [this] { PlaceTableLists(); });
}

// Each table list covers the upper part of the grids under its side's boxes.
void frmMdbCpy::PlaceTableLists() {
    ImportSidePanels::PlaceTableLists(*GridFrame->parentWidget());
}

// ---- Toolbar -------------------------------------------------------------------------------

QWidget* frmMdbCpy::ToolImage(int index) const {
    return index >= 0 && index < kToolButtons ? Image1[static_cast<size_t>(index)] : nullptr;
}

QFrame* frmMdbCpy::ToolLine(int index) const {
    return index >= 0 && index < 4 ? Line1[static_cast<size_t>(index)] : nullptr;
}

void frmMdbCpy::Image1_MouseMove(int index) {
    HighlightToolButton(*this, index);
}

void frmMdbCpy::Image1_MouseDown(int) {
    HideToolFrame(*this);
}

void frmMdbCpy::Image1_MouseUp(int index) {
    HighlightToolButton(*this, index);
}

void frmMdbCpy::Image1_Click(int index) {
    switch (index) {
    case 0:
        mnEnd_Click();
        break;
    case 1:
        mnCpyCancel_Click();
        break;
    case 2:
        Text2_Click(0);
        break;
    case 3:
        Text2_Click(2);
        break;
    case 4:
        if (mnCpyDel->isEnabled()) mnCpyDel_Click();
        break;
    case 5:
    case 6:
    case 7:
        if (mnCpyUpd1[static_cast<size_t>(index - 4)]->isEnabled()) mnCpyUpd1_Click(index - 4);
        break;
    case 10:
        mnCpyHELP_Click();
        break;
    default:
        break;
    }
}

// ---- Closing -------------------------------------------------------------------------------

// The close box acts as the End command.
void frmMdbCpy::closeEvent(QCloseEvent* event) {
    if (!ended_) Guarded(App.Platform, [this] { mnEnd_Click(); });
    event->accept();
}

} // namespace tavorin
