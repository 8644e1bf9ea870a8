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

#include "ToolImage.h"
#include "platform/prompts.h"

namespace tavorin {

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Widths of the grid columns in characters: key rank, name, type, size, linked name.
constexpr int kColumnChars[5] = {3, 20, 13, 5, 20};

} // namespace

frmMdbCpy::frmMdbCpy(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMdbCpy"));
    setWindowTitle(Q("データの移入"));
    platform::SetApplicationTitle(QStringLiteral("Tavorin"));

    BuildMenus();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(4);
    BuildToolbar();
    layout->addWidget(ToolBar1);

    auto* sides = new QHBoxLayout;
    sides->addWidget(BuildSide(kTarget), 1);
    sides->addWidget(BuildSide(kSource), 1);
    layout->addLayout(sides);

    // The field grids and the record view share one place; one of them is shown.
    auto* place = new QWidget(central);
    auto* stack = new QGridLayout(place);
    stack->setContentsMargins(0, 0, 0, 0);
    for (QWidget* frame : {BuildGridFrame(), BuildRecordFrame()}) {
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
    for (int side = 0; side < 2; ++side) {
        Frame2[side] = new QGroupBox(Q(side == kTarget ? "移入先テーブル一覧" : "移入元テーブル一覧"), central);
        Frame2[side]->setObjectName(QStringLiteral("Frame2_%1").arg(side));
        Frame2[side]->setAutoFillBackground(true);
        auto* listLayout = new QVBoxLayout(Frame2[side]);
        List1[side] = new QListWidget(Frame2[side]);
        List1[side]->setObjectName(QStringLiteral("List1_%1").arg(side));
        listLayout->addWidget(List1[side]);
        Frame2[side]->hide();
    }

    SetToolTips();
    ConnectCommands();
    resize(1180, minimumSizeHint().height() + 30);
}

frmMdbCpy::~frmMdbCpy() = default;

QAction* frmMdbCpy::AddCommand(QMenu* menu, const char* objectName, const char* caption) {
    QAction* action = menu->addAction(Q(caption));
    action->setObjectName(QString::fromLatin1(objectName));
    return action;
}

void frmMdbCpy::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(Q("ファイル(&F)"));
    mnCpyFolder[1] = AddCommand(file, "mnCpyFolder_1", "移入先ファイルを開く(&A)");
    mnCpyFolder[2] = AddCommand(file, "mnCpyFolder_2", "移入元ファイルを開く(&B)");
    file->addSeparator();
    mnCpyCancel = AddCommand(file, "mnCpyCancel", "フォーマット作成に戻る(&R)");
    file->addSeparator();
    mnEnd = AddCommand(file, "mnEnd", "終了(&X)");

    QMenu* links = bar->addMenu(Q("連結フィールドの操作(&E)"));
    mnCpyJoint = AddCommand(links, "mnCpyJoint", "同一フィールド名の連結(&J)");
    mnCpyJointNo = AddCommand(links, "mnCpyJointNo", "同一フィールド名の連結解除(&C)");
    mnCpyJointCan = AddCommand(links, "mnCpyJointCan", "選択行の連結解除(&D)");
    mnCpyJointCanAll = AddCommand(links, "mnCpyJointCanAll", "全フィールドの連結解除(&K)");

    QMenu* run = bar->addMenu(Q("データ移入の開始(&C)"));
    mnCpyDel = AddCommand(run, "mnCpyDel", "元のデータを消去後、全データの移入(&N)");
    QMenu* keyed = run->addMenu(Q("主キーで検索する(&K)"));
    mnCpyUpd1[1] = AddCommand(keyed, "mnCpyUpd1_1", "全データを更新(&Z)");
    mnCpyUpd1[2] = AddCommand(keyed, "mnCpyUpd1_2", "同一キー以外を更新(&U)");
    mnCpyUpd1[3] = AddCommand(keyed, "mnCpyUpd1_3", "同一キーのみ更新する(&M)");

    QMenu* help = bar->addMenu(Q("HELP(&H)"));
    mnCpyHELP = AddCommand(help, "mnCpyHELP", "操作説明");
}

void frmMdbCpy::BuildToolbar() {
    ToolBar1 = new QWidget(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    auto* row = new QHBoxLayout(ToolBar1);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(6);
    for (int i = 0; i < kToolButtons; ++i) {
        if (i == 8 || i == 9) continue;
        Image1[i] = new tavorin::ToolImage(ImportToolPicture(i), ToolBar1);
        Image1[i]->setObjectName(QStringLiteral("Image1_%1").arg(i));
        row->addWidget(Image1[i]);
        // Groups: end and back | the two files | the four runs | help.
        if (i == 1 || i == 3 || i == 7) row->addSpacing(10);
    }
    row->addStretch(1);
    AddToolFrameLines(ToolBar1, Line1);
}

QWidget* frmMdbCpy::BuildSide(int side) {
    SideFrame[side] = new QGroupBox(Q(side == kTarget ? "＜移入先＞" : "＜移入元＞"), this);
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

QWidget* frmMdbCpy::BuildGridFrame() {
    GridFrame = new QGroupBox(this);
    GridFrame->setObjectName(QStringLiteral("GridFrame"));
    auto* grid = new QGridLayout(GridFrame);
    grid->setHorizontalSpacing(1);
    grid->setVerticalSpacing(1);
    const QFontMetrics fm = fontMetrics();
    auto width = [&](int chars) { return fm.horizontalAdvance(QString(chars, QLatin1Char('0'))) + 10; };
    const char* const headings[9] = {"ｷｰ", "フィールド名", "データ種別", "ｻｲｽﾞ", "連結フィールド名",
                                     "ｷｰ", "フィールド名", "データ種別", "ｻｲｽﾞ"};
    // Columns: target 0..4, its scroll bar 5, a gap 6, source 7..10, its scroll bar 11.
    for (int h = 0; h < 9; ++h) {
        Label5[h] = new QLabel(Q(headings[h]), GridFrame);
        Label5[h]->setObjectName(QStringLiteral("Label5_%1").arg(h));
        Label5[h]->setAlignment(Qt::AlignCenter);
        grid->addWidget(Label5[h], 0, h < 5 ? h : h + 2);
    }
    for (int r = 0; r < kGridLines; ++r) {
        for (int k = 0; k < 5; ++k) {
            const int index = 5 * r + k;
            Text3[index] = new QLineEdit(GridFrame);
            Text3[index]->setFixedWidth(width(kColumnChars[k]));
            grid->addWidget(Text3[index], r + 1, k);
        }
        for (int k = 0; k < 4; ++k) {
            const int index = 50 + 4 * r + k;
            Text3[index] = new QLineEdit(GridFrame);
            Text3[index]->setFixedWidth(width(kColumnChars[k]));
            grid->addWidget(Text3[index], r + 1, 7 + k);
        }
    }
    for (size_t i = 0; i < Text3.size(); ++i) {
        Text3[i]->setObjectName(QStringLiteral("Text3_%1").arg(i));
        // Links are made by clicks and menus; the cells only show the work rows.
        Text3[i]->setReadOnly(true);
        Text3[i]->setAutoFillBackground(true);
        Text3[i]->installEventFilter(this);
    }
    for (int side = 0; side < 2; ++side) {
        VScroll1[side] = new QScrollBar(Qt::Vertical, GridFrame);
        VScroll1[side]->setObjectName(QStringLiteral("VScroll1_%1").arg(side));
        VScroll1[side]->setRange(0, 1);
        VScroll1[side]->setFocusPolicy(Qt::NoFocus);
        VScroll1[side]->setTracking(false);
        grid->addWidget(VScroll1[side], 1, side == kTarget ? 5 : 11, kGridLines, 1);
    }
    grid->setColumnMinimumWidth(6, 16);
    grid->setColumnStretch(12, 1);
    grid->setRowStretch(kGridLines + 1, 1);
    return GridFrame;
}

QWidget* frmMdbCpy::BuildRecordFrame() {
    RecordFrame = new QGroupBox(this);
    RecordFrame->setObjectName(QStringLiteral("RecordFrame"));
    auto* grid = new QGridLayout(RecordFrame);
    grid->setHorizontalSpacing(1);
    grid->setVerticalSpacing(1);
    const QFontMetrics fm = fontMetrics();
    RecordTitle = new QLabel(RecordFrame);
    RecordTitle->setObjectName(QStringLiteral("RecordTitle"));
    RecordTitle->setTextFormat(Qt::PlainText);
    grid->addWidget(RecordTitle, 0, 0, 1, kRecordColumns);
    RecordNoHeading = new QLabel(Q("行番"), RecordFrame);
    RecordNoHeading->setAlignment(Qt::AlignCenter);
    grid->addWidget(RecordNoHeading, 1, 0);
    for (int k = 1; k < kRecordColumns; ++k) {
        Label6[k] = new QLabel(RecordFrame);
        Label6[k]->setObjectName(QStringLiteral("Label6_%1").arg(k));
        Label6[k]->setAlignment(Qt::AlignCenter);
        Label6[k]->setTextFormat(Qt::PlainText);
        grid->addWidget(Label6[k], 1, k);
    }
    for (int r = 0; r < kGridLines; ++r) {
        for (int k = 0; k < kRecordColumns; ++k) {
            const int index = kRecordColumns * r + k;
            Text4[index] = new QLineEdit(RecordFrame);
            Text4[index]->setObjectName(QStringLiteral("Text4_%1").arg(index));
            Text4[index]->setReadOnly(true);
            Text4[index]->setFocusPolicy(Qt::ClickFocus);
            if (k == 0) {
                Text4[index]->setFixedWidth(fm.horizontalAdvance(QStringLiteral("000000")) + 10);
                Text4[index]->setAlignment(Qt::AlignRight);
            } else {
                Text4[index]->setMinimumWidth(fm.horizontalAdvance(QString(12, QLatin1Char('0'))));
            }
            grid->addWidget(Text4[index], r + 2, k);
        }
    }
    for (int k = 1; k < kRecordColumns; ++k) grid->setColumnStretch(k, 1);
    VScroll2 = new QScrollBar(Qt::Vertical, RecordFrame);
    VScroll2->setObjectName(QStringLiteral("VScroll2"));
    HScroll1 = new QScrollBar(Qt::Horizontal, RecordFrame);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    for (QScrollBar* bar : {VScroll2, HScroll1}) {
        bar->setRange(0, 1);
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setTracking(false);
    }
    grid->addWidget(VScroll2, 2, kRecordColumns, kGridLines, 1);
    grid->addWidget(HScroll1, kGridLines + 2, 1, 1, kRecordColumns - 1);
    grid->setRowStretch(kGridLines + 3, 1);
    return RecordFrame;
}

void frmMdbCpy::SetToolTips() {
    const char* const sideName[2] = {"移入先", "移入元"};
    for (int side = 0; side < 2; ++side) {
        const QString who = Q(sideName[side]);
        for (int i : {2 * side, 2 * side + 1})
            Text2[i]->setToolTip(Q("クリックでファイル指定のダイアログボックスが開きます。"));
        Text1[2 * side]->setToolTip(
            who + Q("テーブルをテーブル一覧表の中からダブルクリックで選択します。一覧表はクリックで表示されます。"));
        Text1[2 * side + 1]->setToolTip(who + Q("テーブルの備考です。"));
        List1[side]->setToolTip(Q("ダブルクリックで") + who + Q("テーブルを選択します。"));
        for (int i : {side, side + 2}) Command1[i]->setToolTip(who + Q("テーブルの表示内容を切り換えます。"));
    }
    Text5->setToolTip(Q("移入元テーブルからレコードを抽出する条件を入力します。"));
    const char* const targetTips[5] = {
        "移入先テーブルの主キーのキー順位です。", "移入先テーブルのフィールド名です。",
        "移入先テーブルのフィールドのデータ種別です。", "移入先テーブルのフィールドのサイズです。",
        "移入元テーブルからデータを取り込むﾌｨｰﾙﾄﾞ名を入力します。又は，クリックで選択した後に移入元テーブルのフィ"
        "ールドをクリックします。"};
    const char* const sourceTips[4] = {"移入元テーブルの主キーのキー順位です。", "",
                                       "移入元テーブルのフィールドのデータ種別です。",
                                       "移入元テーブルのフィールドのサイズです。"};
    for (int r = 0; r < kGridLines; ++r) {
        for (int k = 0; k < 5; ++k) Text3[5 * r + k]->setToolTip(Q(targetTips[k]));
        for (int k = 0; k < 4; ++k) Text3[50 + 4 * r + k]->setToolTip(Q(sourceTips[k]));
    }
}

void frmMdbCpy::ConnectCommands() {
    auto on = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, [this, handler] { Guarded([this, handler] { handler(this); }); });
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
                [this, side] { Guarded([this, side] { List1_DblClick(side); }); });
        connect(VScroll1[side], &QScrollBar::valueChanged, this,
                [this, side] { Guarded([this, side] { VScroll1_Change(side); }); });
    }
    for (int i = 0; i < 4; ++i)
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Guarded([this, i] { Command1_Click(i); }); });
    connect(Check1, &QCheckBox::clicked, this, [this] { Guarded([this] { Check1_Click(); }); });
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { Guarded([this] { HScroll1_Change(); }); });
    connect(VScroll2, &QScrollBar::valueChanged, this, [this] { Guarded([this] { VScroll2_Change(); }); });

    for (int i = 0; i < kToolButtons; ++i) {
        tavorin::ToolImage* image = Image1[i];
        if (!image) continue;
        connect(image, &ToolImage::Click, this, [this, i] { Guarded([this, i] { Image1_Click(i); }); });
        connect(image, &ToolImage::MouseMove, this, [this, i] { Image1_MouseMove(i); });
        connect(image, &ToolImage::MouseDown, this, [this, i] { Image1_MouseDown(i); });
        connect(image, &ToolImage::MouseUp, this, [this, i] { Image1_MouseUp(i); });
        connect(image, &ToolImage::MouseLeave, this, [this] { HideToolFrame(*this); });
    }
}

int frmMdbCpy::Text3Index(const QObject* object) const {
    for (size_t i = 0; i < Text3.size(); ++i)
        if (Text3[i] == object) return static_cast<int>(i);
    return -1;
}

bool frmMdbCpy::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && widget && widget->rect().contains(mouse->position().toPoint())) {
            for (int i = 0; i < 4; ++i) {
                if (watched == Text2[i]) Guarded([this, i] { Text2_Click(i); });
                if (watched == Text1[i]) Guarded([this, i] { Text1_Click(i); });
            }
            if (const int cell = Text3Index(watched); cell >= 0) Guarded([this, cell] { Text3_Click(cell); });
        }
    } else if (type == QEvent::FocusIn) {
        if (const int cell = Text3Index(watched); cell >= 0) Text3_GotFocus(cell);
    } else if (type == QEvent::KeyPress) {
        if (const int cell = Text3Index(watched); cell >= 0) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            bool taken = false;
            Guarded([&] { taken = Text3_KeyDown(cell, key); });
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
    for (int side = 0; side < 2; ++side) {
        const QRect box = SideFrame[side]->geometry();
        const QWidget* place = GridFrame->parentWidget();
        const int top = box.bottom() + 2;
        const int height = std::max(120, std::min(place->geometry().bottom() - top, 300));
        Frame2[side]->setGeometry(box.left(), top, box.width(), height);
        Frame2[side]->raise();
    }
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
    case 0: mnEnd_Click(); break;
    case 1: mnCpyCancel_Click(); break;
    case 2: Text2_Click(0); break;
    case 3: Text2_Click(2); break;
    case 4: if (mnCpyDel->isEnabled()) mnCpyDel_Click(); break;
    case 5: case 6: case 7:
        if (mnCpyUpd1[static_cast<size_t>(index - 4)]->isEnabled()) mnCpyUpd1_Click(index - 4);
        break;
    case 10: mnCpyHELP_Click(); break;
    default: break;
    }
}

// ---- Closing -------------------------------------------------------------------------------

// The close box acts as the End command.
void frmMdbCpy::closeEvent(QCloseEvent* event) {
    if (!ended_) Guarded([this] { mnEnd_Click(); });
    event->accept();
}

} // namespace tavorin
