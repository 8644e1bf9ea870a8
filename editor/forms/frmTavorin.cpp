// frmTavorin: putting the window together from its parts and wiring its events.
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

#include "QtText.h"
#include "ToolImage.h"
#include "frmAbout.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {

frmTavorin::frmTavorin(AppContext& app, QWidget* parent)
    : DesignerFileCommands(app, parent), saving_(*this, app.Store.WorkDb, app.Store.WorkRs) {
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

// ---- Toolbar -------------------------------------------------------------------------------

} // namespace tavorin
