// frmTavorin: building the window (controls, menus, toolbar) and wiring its events.
#include "frmTavorin.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "ToolImage.h"
#include "frmAbout.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {

namespace {

const char* const kHeadings[12] = {"行番", "フィールド名", "データ種別", "ｻｲｽﾞ", "繰返", "主",
                                   "副１", "副２",         "副３",       "副４", "副５", "備考"};

const char* const kKeyCaptions[6] = {"主キー",   "副キー１", "副キー２",
                                     "副キー３", "副キー４", "副キー５"};

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

frmTavorin::frmTavorin(AppContext& app, QWidget* parent)
    : QMainWindow(parent), LayoutDocument(app.Store.WorkDb, app.Store.WorkRs, app.Defaults),
      App(app), saving_(*this, app.Store.WorkDb, app.Store.WorkRs) {
    setObjectName(QStringLiteral("frmTavorin"));
    setWindowTitle(Q("フォーマットの作成"));
    App.Platform.SetTitle(QStringLiteral("Tavorin"));

    BuildMenus();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(4);
    BuildToolbar();
    layout->addWidget(ToolBar1);
    auto* top = new QHBoxLayout;
    top->addWidget(BuildFileFrame(), 3);
    top->addWidget(BuildListAndIndexFrames(), 2);
    layout->addLayout(top);
    layout->addWidget(BuildGridFrame(), 1);

    Label6 = new QLabel(central);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label6->setMinimumHeight(Label6->fontMetrics().height() + 8);
    Label6->setTextFormat(Qt::PlainText);
    layout->addWidget(Label6);
    setCentralWidget(central);

    ConnectCommands();
    resize(1060, std::max(600, minimumSizeHint().height()));
}

frmTavorin::~frmTavorin() = default;

QAction* frmTavorin::AddCommand(QMenu* menu, const char* objectName, const char* caption) {
    QAction* action = menu->addAction(Q(caption));
    action->setObjectName(QString::fromLatin1(objectName));
    Enable(action, true);
    return action;
}

void frmTavorin::BuildMenus() {
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

void frmTavorin::BuildToolbar() {
    ToolBar1 = new QWidget(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    auto* row = new QHBoxLayout(ToolBar1);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(6);
    for (int i = 0; i < kToolButtons; ++i) {
        Image1[i] = new tavorin::ToolImage(ToolPicture(i), ToolBar1);
        Image1[i]->setObjectName(QStringLiteral("Image1_%1").arg(i));
        row->addWidget(Image1[i]);
        // Gaps between the groups of the toolbar: end | files | tables | data | help.
        if (i == 0 || i == 3 || i == 8 || i == 9) row->addSpacing(10);
    }
    row->addStretch(1);
    AddToolFrameLines(ToolBar1, Line1);
}

QWidget* frmTavorin::BuildFileFrame() {
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(Frame1);
    const char* const captions[4] = {"フォルダー名", "ファイル名", "テーブル名", "備　　考"};
    QLineEdit* boxes[4];
    for (int i = 0; i < 2; ++i) {
        Text2[i] = new QLineEdit(Frame1);
        Text2[i]->setObjectName(QStringLiteral("Text2_%1").arg(i));
        Text2[i]->setReadOnly(true); // filled by the file dialog only
        boxes[i] = Text2[i];
    }
    Text1[0] = new QLineEdit(Frame1);
    Text1[7] = new QLineEdit(Frame1);
    boxes[2] = Text1[0];
    boxes[3] = Text1[7];
    for (int i = 0; i < 4; ++i) {
        Label2[i] = new QLabel(Q(captions[i]), Frame1);
        Label2[i]->setBuddy(boxes[i]);
        grid->addWidget(Label2[i], i, 0);
        grid->addWidget(boxes[i], i, 1);
    }
    grid->setRowStretch(4, 1);
    return Frame1;
}

QWidget* frmTavorin::BuildListAndIndexFrames() {
    auto* place = new QWidget(this);
    auto* stack = new QGridLayout(place);
    stack->setContentsMargins(0, 0, 0, 0);

    Frame2 = new QGroupBox(Q("テーブル一覧表"), place);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* listLayout = new QVBoxLayout(Frame2);
    List1 = new QListWidget(Frame2);
    List1->setObjectName(QStringLiteral("List1"));
    listLayout->addWidget(List1);

    Frame3 = new QGroupBox(Q("インデックスキーの設定"), place);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto* keys = new QGridLayout(Frame3);
    keys->setVerticalSpacing(2);
    for (int k = 0; k < 6; ++k) {
        Label4[k] = new QLabel(Q(kKeyCaptions[k]), Frame3);
        Text1[k + 1] = new QLineEdit(Frame3);
        Combo1[k] = new QComboBox(Frame3);
        Combo1[k]->setObjectName(QStringLiteral("Combo1_%1").arg(k));
        Label4[k]->setBuddy(Text1[k + 1]);
        keys->addWidget(Label4[k], k, 0);
        keys->addWidget(Text1[k + 1], k, 1);
        keys->addWidget(Combo1[k], k, 2);
    }
    keys->setColumnStretch(1, 1);

    // The two frames share one place; exactly one of them is shown.
    for (QGroupBox* frame : {Frame2, Frame3}) {
        QSizePolicy policy = frame->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        frame->setSizePolicy(policy);
        stack->addWidget(frame, 0, 0);
    }
    return place;
}

QWidget* frmTavorin::BuildGridFrame() {
    Frame4 = new QGroupBox(this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto* grid = new QGridLayout(Frame4);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(2);
    const QFontMetrics fm = fontMetrics();
    auto chars = [&](int n) { return fm.horizontalAdvance(QString(n, QLatin1Char('0'))) + 12; };

    Label1 = new QLabel(Q("キー指定：ソート順　+ A(Ascending) or D(Descending) "), Frame4);
    Label1->setObjectName(QStringLiteral("Label1"));
    grid->addWidget(Label1, 0, 5, 1, 7);

    for (int c = 0; c < 12; ++c) {
        Label5[c] = new QLabel(Q(kHeadings[c]), Frame4);
        Label5[c]->setObjectName(QStringLiteral("Label5_%1").arg(c));
        Label5[c]->setAlignment(Qt::AlignCenter);
        grid->addWidget(Label5[c], 1, c);
    }

    const QString rowTip = Q("ｸﾘｯｸで行番を選択後、右ｸﾘｯｸで行の編集ﾒﾆｭｰが表示されます。");
    for (int r = 0; r < kGridLines; ++r) {
        const int gridRow = r + 2;
        Label3[r] = new QLabel(Frame4);
        Label3[r]->setObjectName(QStringLiteral("Label3_%1").arg(r));
        Label3[r]->setFrameStyle(QFrame::Panel | QFrame::Raised);
        Label3[r]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label3[r]->setAutoFillBackground(true);
        Label3[r]->setFixedWidth(chars(5));
        Label3[r]->setToolTip(rowTip);
        grid->addWidget(Label3[r], gridRow, 0);

        Combo2[r] = new QComboBox(Frame4);
        Combo2[r]->setObjectName(QStringLiteral("Combo2_%1").arg(r));
        Combo2[r]->setFixedWidth(chars(15));
        grid->addWidget(Combo2[r], gridRow, 2);

        const int first = 9 + 10 * r;
        for (int i = first; i <= first + 9; ++i) {
            Text1[i] = new QLineEdit(Frame4);
            const int column = i - first; // 0 name, 1 size, 2 repeat, 3..8 keys, 9 description
            const int gridColumn = column == 0 ? 1 : column + 2;
            if (column == 0)
                Text1[i]->setFixedWidth(chars(22));
            else if (column == 1)
                Text1[i]->setFixedWidth(chars(4));
            else if (column == 2)
                Text1[i]->setFixedWidth(chars(3));
            else if (column <= 8)
                Text1[i]->setFixedWidth(chars(4));
            if (column == 1) Text1[i]->setAlignment(Qt::AlignRight);
            grid->addWidget(Text1[i], gridRow, gridColumn);
        }
    }
    for (size_t i = 0; i < Text1.size(); ++i)
        if (Text1[i]) Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));

    VScroll1 = new QScrollBar(Qt::Vertical, Frame4);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setRange(0, 1);
    grid->addWidget(VScroll1, 2, 12, kGridLines, 1);
    grid->setColumnStretch(11, 1);
    grid->setRowStretch(kGridLines + 2, 1);
    return Frame4;
}

void frmTavorin::ConnectCommands() {
    connect(mnEnd, &QAction::triggered, this, [this] { RunEvent([this] { mnEnd_Click(); }); });
    connect(mnHelp, &QAction::triggered, this,
            [this] { Guarded(App.Platform, [this] { mnHelp_Click(); }); });
    connect(mnAbout, &QAction::triggered, this,
            [this] { Guarded(App.Platform, [this] { mnAbout_Click(); }); });
    connect(mnFileFolder, &QAction::triggered, this,
            [this] { RunEvent([this] { Text2_Click(); }); });
    connect(mnTableSave[0], &QAction::triggered, this,
            [this] { RunEvent([this] { mnTableSave_Click(0); }); });
    connect(mnTableRef, &QAction::triggered, this,
            [this] { RunEvent([this] { mnTableRef_Click(); }); });
    // The import command closes this window: it runs outside RunEvent, whose end would touch it.
    connect(mnCpy, &QAction::triggered, this,
            [this] { Guarded(App.Platform, [this] { mnCpy_Click(); }); });
    for (QAction* command :
         {mnEnd, mnHelp, mnAbout, mnFileFolder, mnTableSave[0], mnTableRef, mnCpy})
        MarkCommandAvailable(command);
    ConnectPrintCommands();
    ConnectFileCommands();
    ConnectTableCommands();
    ConnectCheckCommand();
    ConnectEditingAids();
    ConnectInputs();

    for (int i = 0; i < kToolButtons; ++i) {
        tavorin::ToolImage* image = Image1[i];
        connect(image, &ToolImage::Click, this,
                [this, i] { Guarded(App.Platform, [this, i] { Image1_Click(i); }); });
        connect(image, &ToolImage::MouseMove, this, [this, i] { Image1_MouseMove(i); });
        connect(image, &ToolImage::MouseDown, this, [this, i] { Image1_MouseDown(i); });
        connect(image, &ToolImage::MouseUp, this, [this, i] { Image1_MouseUp(i); });
        connect(image, &ToolImage::MouseLeave, this, [this] { HideToolFrame(*this); });
    }
}

// The window sees the focus, keys and clicks of its input boxes through its event filter.
void frmTavorin::ConnectInputs() {
    for (size_t i = 0; i < Text1.size(); ++i) {
        QLineEdit* box = Text1[i];
        if (!box) continue;
        box->installEventFilter(this);
        // Every edit counts, also those that come without a key (input method, paste).
        connect(box, &QLineEdit::textEdited, this, [this] { MarkCellEdited(); });
        // A box the user is not in shows the beginning of its text, as one left does: a text
        // set from the program puts the caret at its end, also when it equals the old text. A
        // selection (a search hit) is left as it is.
        connect(box, &QLineEdit::cursorPositionChanged, box, [box](int, int now) {
            if (now != 0 && !box->hasFocus() && !box->hasSelectedText()) box->setCursorPosition(0);
        });
    }
    for (QLineEdit* box : Text2) box->installEventFilter(this);
    for (int k = 0; k < 6; ++k) {
        Combo1[k]->installEventFilter(this);
        connect(Combo1[k], &QComboBox::activated, this,
                [this, k] { RunEvent([this, k] { Combo1_Click(k); }); });
    }
    for (int r = 0; r < kGridLines; ++r) {
        Combo2[r]->installEventFilter(this);
        connect(Combo2[r], &QComboBox::activated, this,
                [this, r] { RunEvent([this, r] { Combo2_Click(r); }); });
    }
    Frame4->installEventFilter(this);
    // The scroll bar never takes the focus: the cell being edited keeps it, and the scroll
    // handler commits it. Like the host's Change event, a drag reports once, at its end.
    VScroll1->setFocusPolicy(Qt::NoFocus);
    VScroll1->setTracking(false);
    connect(VScroll1, &QScrollBar::valueChanged, this,
            [this] { RunEvent([this] { VScroll1_Change(); }); });
    connect(List1, &QListWidget::itemDoubleClicked, this,
            [this] { RunEvent([this] { List1_DblClick(); }); });
}

// ---- Menu states ---------------------------------------------------------------------------

void frmTavorin::Enable(QAction* command, bool on) {
    command->setProperty("menuState", on);
    command->setEnabled(on && available_.count(command) > 0);
}

bool frmTavorin::MenuState(const QAction* command) const {
    return command->property("menuState").toBool();
}

void frmTavorin::MarkCommandAvailable(QAction* command) {
    available_.insert(command);
    command->setEnabled(MenuState(command));
}

// ---- Toolbar -------------------------------------------------------------------------------

QWidget* frmTavorin::ToolImage(int index) const {
    return index >= 0 && index < kToolButtons ? Image1[static_cast<size_t>(index)] : nullptr;
}

QFrame* frmTavorin::ToolLine(int index) const {
    return index >= 0 && index < 4 ? Line1[static_cast<size_t>(index)] : nullptr;
}

void frmTavorin::Image1_MouseMove(int index) {
    HighlightToolButton(*this, index);
}

void frmTavorin::Image1_MouseDown(int) {
    HideToolFrame(*this);
}

void frmTavorin::Image1_MouseUp(int index) {
    HighlightToolButton(*this, index);
}

void frmTavorin::Image1_Click(int index) {
    // Each button runs the menu command it stands for, and only while that command is enabled.
    QAction* const commands[kToolButtons] = {
        mnEnd,        mnFileFolder,  mnTableRef,     mnFileDel, mnTableDel, mnTableRename,
        mnTablePrint, mnTableCancel, mnTableSave[0], mnCpy,     mnHelp};
    if (index < 0 || index >= kToolButtons) return;
    QAction* command = commands[index];
    if (command->isEnabled()) command->trigger();
}

} // namespace tavorin
