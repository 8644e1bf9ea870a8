#include "frmFieldEdit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <optional>

#include "GridCells.h"
#include "QtText.h"
#include "engine/workspace.h"
#include "frmTavorin.h"
#include "modules/FuncUtility.h"
#include "modules/TavorinSub.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {

namespace {

const char* const kNotFound = "検索文字列がみつかりません。";

// The buttons of each panel: find next, cancel, replace (or switch to replace), replace all.
constexpr int kFindButton[4] = {0, 3, 7, 10};
constexpr int kCancelButton[4] = {1, 4, 8, 11};
constexpr int kReplaceButton[4] = {2, 5, 9, 12};
constexpr int kReplaceAllButton[4] = {-1, 6, -1, 13};
constexpr int kSearchBox[4] = {0, 1, 3, 4};
constexpr int kReplacementBox[4] = {-1, 2, -1, 5};

// The type boxes' own colour (the host's &H80FFFF) and that of the hit (button face).
void SetBoxColour(QWidget* box, const QColor& colour) {
    QPalette pal = box->palette();
    pal.setColor(QPalette::Button, colour);
    pal.setColor(QPalette::Base, colour);
    box->setPalette(pal);
}

QColor TypeBoxColour() {
    return QColor(0xFF, 0xFF, 0x80);
}

// Lists text in box; the box keeps what it shows.
void AddToHistory(QComboBox* box, const QString& text) {
    const QSignalBlocker quiet(box);
    const QString shown = box->currentText();
    box->addItem(text);
    box->setEditText(shown);
}

} // namespace

// ---- The window ------------------------------------------------------------------------------

frmFieldEdit::frmFieldEdit(frmTavorin* owner)
    : QWidget(owner, Qt::Window), CompareMode(search_.CompareMode), owner_(owner),
      search_(*owner, owner_->App.Store.WorkRs) {
    setObjectName(QStringLiteral("frmFieldEdit"));
    setWindowTitle(Q("検索"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* kinds = new QHBoxLayout(Frame1);
    Option1[0] = new QRadioButton(Q("フィールド名"), Frame1);
    Option1[1] = new QRadioButton(Q("データ種別"), Frame1);
    Check1 = new QCheckBox(Q("大文字と小文字を区別する"), Frame1);
    for (int i = 0; i < 2; ++i) {
        Option1[static_cast<size_t>(i)]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        kinds->addWidget(Option1[static_cast<size_t>(i)]);
    }
    kinds->addSpacing(16);
    Check1->setObjectName(QStringLiteral("Check1"));
    kinds->addWidget(Check1);
    kinds->addStretch(1);
    layout->addWidget(Frame1);

    auto* panels = new QGridLayout;
    for (int p = 0; p < 4; ++p) {
        Frame2[static_cast<size_t>(p)] = BuildPanel(p);
        panels->addWidget(Frame2[static_cast<size_t>(p)], 0, 0);
    }
    layout->addLayout(panels);
    ConnectControls();
}

QGroupBox* frmFieldEdit::BuildPanel(int panel) {
    const bool replace = panel == 1 || panel == 3;
    const bool types = panel >= 2;
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame2_%1").arg(panel));
    QSizePolicy policy = frame->sizePolicy();
    policy.setRetainSizeWhenHidden(true); // the window keeps its size as panels change
    frame->setSizePolicy(policy);
    auto* grid = new QGridLayout(frame);

    auto addBox = [&](int index, const char* caption, int row) {
        auto* box = new QComboBox(frame);
        box->setObjectName(QStringLiteral("Combo2_%1").arg(index));
        box->setEditable(!types);
        box->setInsertPolicy(QComboBox::NoInsert); // the history follows its own rule
        box->setMinimumContentsLength(24);
        // No inline completion: a search for "N" must not become one for "NO" of the history.
        if (!types) box->setCompleter(nullptr);
        auto* label = new QLabel(Q(caption), frame);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        Combo2[static_cast<size_t>(index)] = box;
    };
    addBox(kSearchBox[panel], types ? "検索するデータ種別" : "検索する文字列", 0);
    if (replace) addBox(kReplacementBox[panel], types ? "置換後のデータ種別" : "置換後の文字列", 1);

    auto* direction = new QComboBox(frame);
    direction->setObjectName(QStringLiteral("Combo1_%1").arg(panel));
    auto* directionLabel = new QLabel(Q("検索の方向"), frame);
    directionLabel->setBuddy(direction);
    grid->addWidget(directionLabel, 2, 0);
    grid->addWidget(direction, 2, 1, Qt::AlignLeft);
    Combo1[static_cast<size_t>(panel)] = direction;
    grid->setRowStretch(3, 1);

    auto* buttons = new QVBoxLayout;
    auto addButton = [&](int index, const char* caption) {
        if (index < 0) return;
        auto* button = new QPushButton(Q(caption), frame);
        button->setObjectName(QStringLiteral("Command1_%1").arg(index));
        buttons->addWidget(button);
        Command1[static_cast<size_t>(index)] = button;
    };
    addButton(kFindButton[panel], "次を検索");
    addButton(kCancelButton[panel], "キャンセル");
    addButton(kReplaceButton[panel], "置換");
    addButton(kReplaceAllButton[panel], "すべて置換");
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 4, 1);
    grid->setColumnStretch(1, 1);
    return frame;
}

void frmFieldEdit::ConnectControls() {
    for (size_t i = 0; i < Command1.size(); ++i) {
        connect(Command1[i], &QPushButton::clicked, this, [this, i] {
            busy_ = true;
            Guarded(owner_->App.Platform, [this, i] { Command1_Click(static_cast<int>(i)); });
            busy_ = false;
        });
    }
    for (int i = 0; i < 3; ++i) {
        QComboBox* box = Combo2[static_cast<size_t>(i)];
        box->installEventFilter(this);
        connect(box, &QComboBox::editTextChanged, this, [this, i] {
            if (loading_) return;
            if (i < 2) ResetSearchStart();
            UpdateSearchButtons();
        });
    }
    for (int i = 3; i < 6; ++i) {
        QComboBox* box = Combo2[static_cast<size_t>(i)];
        connect(box, &QComboBox::currentIndexChanged, this, [this, i] {
            if (loading_) return;
            if (i < 5) ResetSearchStart();
            UpdateSearchButtons();
        });
        connect(box, &QComboBox::activated, this, [this, i, box] {
            (i < 5 ? search_.SearchText : search_.ReplaceText) = box->currentText().toStdString();
        });
    }
    for (QComboBox* direction : Combo1)
        connect(direction, &QComboBox::currentIndexChanged, this, [this] {
            if (!loading_) ResetSearchStart();
        });
    connect(Check1, &QCheckBox::toggled, this, [this](bool exact) {
        CompareMode = exact ? 0 : 1;
        if (!loading_) ResetSearchStart();
    });
    connect(Option1[1], &QRadioButton::toggled, this, [this] { Option1_Click(); });
}

void frmFieldEdit::Form_Load() {
    loading_ = true;
    for (QComboBox* direction : Combo1) {
        direction->clear();
        direction->addItems({Q("全体"), Q("下へ"), Q("上へ")});
        direction->setCurrentIndex(kWhole);
    }
    for (int i = 0; i < 3; ++i) {
        Combo2[static_cast<size_t>(i)]->clear();
        Combo2[static_cast<size_t>(i)]->setEditText(QString());
    }
    for (int i = 3; i < 6; ++i) {
        QComboBox* box = Combo2[static_cast<size_t>(i)];
        box->clear();
        for (const std::string& name : TypeNames())
            if (!name.empty()) box->addItem(Q(name));
        box->setCurrentIndex(-1);
    }
    Option1[0]->setChecked(true);
    Check1->setChecked(false);
    CompareMode = 1;
    loading_ = false;
    newRun_ = true;
    ShowSearchPanel();
}

void frmFieldEdit::TakeCommand(int16_t mode, const std::string& selected) {
    search_.Mode = mode;
    search_.SearchText = selected;
    search_.ReplaceText.clear();
}

void frmFieldEdit::ShowForCommand() {
    newRun_ = true;
    // The search box takes the focus with the activation. (Taken while the activation is
    // being handled, it would be taken from the main window's box as a plain focus loss.)
    ShowSearchPanel();
    SearchBox()->setFocus();
    show();
    raise();
    activateWindow();
    // Already the active window: no activation is coming.
    if (newRun_ && isActiveWindow()) {
        newRun_ = false;
        Form_Activate();
    }
}

bool frmFieldEdit::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && newRun_ && !busy_) {
        newRun_ = false;
        Guarded(owner_->App.Platform, [this] { Form_Activate(); });
    } else if (event->type() == QEvent::WindowDeactivate && !busy_ && isVisible()) {
        // The user went elsewhere (the window's own messages aside): coming back starts anew
        // from the row in edit then.
        newRun_ = true;
    }
    return QWidget::event(event);
}

void frmFieldEdit::Form_Activate() {
    if (!owner_->App.Store.WorkRs) return;
    ClearHighlight();
    search_.BeginRun();
    if (TypeSearch())
        SearchBox()->setCurrentIndex(-1);
    else
        SearchBox()->setEditText(Q(search_.SearchText));
    ShowSearchPanel();
    ResetSearchStart();
}

int frmFieldEdit::Panel() const {
    return (search_.Mode == 1 ? 1 : 0) + (TypeSearch() ? 2 : 0);
}

bool frmFieldEdit::TypeSearch() const {
    return Option1[1]->isChecked();
}

QComboBox* frmFieldEdit::SearchBox() const {
    return Combo2[static_cast<size_t>(kSearchBox[Panel()])];
}

void frmFieldEdit::ShowSearchPanel() {
    const int shown = Panel();
    for (int p = 0; p < 4; ++p) Frame2[static_cast<size_t>(p)]->setVisible(p == shown);
    UpdateSearchButtons();
}

void frmFieldEdit::UpdateSearchButtons() {
    for (int p = 0; p < 4; ++p) {
        const QComboBox* search = Combo2[static_cast<size_t>(kSearchBox[p])];
        const bool types = p >= 2;
        const bool searchSet =
            types ? search->currentIndex() >= 0 : !search->currentText().isEmpty();
        Command1[static_cast<size_t>(kFindButton[p])]->setEnabled(searchSet);
        if (kReplacementBox[p] < 0) continue;
        const QComboBox* replacement = Combo2[static_cast<size_t>(kReplacementBox[p])];
        const bool replacementSet =
            types ? replacement->currentIndex() >= 0 : !replacement->currentText().isEmpty();
        Command1[static_cast<size_t>(kReplaceButton[p])]->setEnabled(searchSet && replacementSet);
        Command1[static_cast<size_t>(kReplaceAllButton[p])]->setEnabled(searchSet &&
                                                                        replacementSet);
    }
}

void frmFieldEdit::ResetSearchStart() {
    search_.ResetStart();
}

void frmFieldEdit::Option1_Click() {
    if (loading_) return;
    ClearHighlight();
    ShowSearchPanel();
    ResetSearchStart();
}

// ---- Boxes -----------------------------------------------------------------------------------

void frmFieldEdit::LeaveTextBox(int index) {
    const QString text = Combo2[static_cast<size_t>(index)]->currentText();
    if (index == 2) {
        search_.ReplaceText = text.toStdString();
        if (search_.RememberReplacement(search_.ReplaceText)) AddToHistory(Combo2[2], text);
        return;
    }
    search_.SearchText = text.toStdString();
    // Both search boxes list the one search history.
    if (search_.RememberSearch(search_.SearchText)) {
        AddToHistory(Combo2[0], text);
        AddToHistory(Combo2[1], text);
    }
}

// The boxes of the visible panel as the action finds them, also when the focus has not left the
// box (Enter in it, or a click on a button that takes no focus).
void frmFieldEdit::TakeBoxTexts() {
    const int panel = Panel();
    if (panel < 2) {
        LeaveTextBox(kSearchBox[panel]);
        if (panel == 1) LeaveTextBox(2);
    } else {
        search_.SearchText = SearchBox()->currentText().toStdString();
        if (panel == 3) search_.ReplaceText = Combo2[5]->currentText().toStdString();
    }
}

bool frmFieldEdit::eventFilter(QObject* watched, QEvent* event) {
    int index = -1;
    for (int i = 0; i < 3; ++i)
        if (watched == Combo2[static_cast<size_t>(i)]) index = i;
    if (index >= 0 && event->type() == QEvent::FocusOut) {
        LeaveTextBox(index);
    } else if (index >= 0 && event->type() == QEvent::KeyPress) {
        // Enter in a box searches on, as the panel's first button does.
        const int key = static_cast<QKeyEvent*>(event)->key();
        QPushButton* find = Command1[static_cast<size_t>(kFindButton[Panel()])];
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && find->isEnabled() &&
            find->isVisible()) {
            find->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Buttons ---------------------------------------------------------------------------------

void frmFieldEdit::Command1_Click(int index) {
    const int panel = Panel();
    if (index == kCancelButton[panel]) {
        LeaveWindow(true);
        return;
    }
    if (!owner_->App.Store.WorkRs) return; // the work store has gone with the main window's layout
    TakeBoxTexts();
    if (panel % 2 == 0 && index == kReplaceButton[panel]) {
        SwitchToReplace();
        return;
    }
    // What is being typed in the grid is committed first: the grid may be refilled below it.
    if (!owner_->CommitPendingEdit()) return;
    TakeSettings();
    if (index == kFindButton[panel])
        FindNext();
    else if (index == kReplaceButton[panel])
        ReplaceOne();
    else if (index == kReplaceAllButton[panel])
        ReplaceAll();
}

void frmFieldEdit::SwitchToReplace() {
    const bool types = TypeSearch();
    const int from = Panel();
    search_.Mode = 1;
    ShowSearchPanel();
    if (types) {
        Combo2[4]->setCurrentIndex(Combo2[static_cast<size_t>(kSearchBox[from])]->currentIndex());
        search_.ReplaceText = TrimBlanks(Combo2[5]->currentText().toStdString());
    } else {
        Combo2[1]->setEditText(Combo2[0]->currentText());
        search_.ReplaceText = TrimBlanks(Combo2[2]->currentText().toStdString());
    }
    UpdateSearchButtons();
    SearchBox()->setFocus();
}

// ---- Finding ---------------------------------------------------------------------------------

void frmFieldEdit::TakeSettings() {
    search_.Types = TypeSearch();
    search_.Direction =
        static_cast<SearchDirection>(Combo1[static_cast<size_t>(Panel())]->currentIndex());
}

void frmFieldEdit::FindNext() {
    if (const std::optional<SearchHit> hit = search_.FindNext()) {
        ShowHit(*hit);
        return;
    }
    owner_->App.Platform.MsgBox(Q(search_.HitCount == 0 ? kNotFound : "検索が終了しました。"));
    EndOfRun();
}

void frmFieldEdit::EndOfRun() {
    search_.EndRun();
    SearchBox()->setFocus();
}

void frmFieldEdit::ShowHit(const SearchHit& hit) {
    const int32_t row = hit.row;
    ClearHighlight();
    if (row < owner_->TopRow || row >= owner_->TopRow + frmTavorin::kGridLines)
        owner_->ShowRowsFrom(row);
    const int line = static_cast<int>(row - owner_->TopRow);
    if (line < 0 || line >= frmTavorin::kGridLines) return;
    HitLine = line;
    HighlightLine = line;
    highlightTypes_ = TypeSearch();
    // The grid is repainted once, with the highlight in its new place.
    owner_->setUpdatesEnabled(false);
    if (highlightTypes_)
        SetBoxColour(owner_->Combo2[static_cast<size_t>(line)],
                     owner_->palette().color(QPalette::Button));
    else
        owner_->Text1[static_cast<size_t>(grid::CellOf(line, grid::kName))]->setSelection(
            hit.at - 1, hit.length);
    owner_->setUpdatesEnabled(true);
}

void frmFieldEdit::ClearHighlight() {
    if (HighlightLine < 0) return;
    const auto line = static_cast<size_t>(HighlightLine);
    if (highlightTypes_)
        SetBoxColour(owner_->Combo2[line], TypeBoxColour());
    else
        owner_->Text1[static_cast<size_t>(grid::CellOf(HighlightLine, grid::kName))]->deselect();
    HighlightLine = -1;
}

// ---- Replacing -------------------------------------------------------------------------------

void frmFieldEdit::ReplaceOne() {
    const ReplaceOneResult result = search_.ReplaceCurrent();
    if (!result.fault.empty()) {
        owner_->App.Platform.MsgBox(Q(result.fault));
        return;
    }
    if (result.replaced) {
        HighlightLine = -1; // the refill shows the grid without it
        owner_->ReloadShownRows();
    }
    FindNext();
}

// All rows of the run, from the row it began with, in one transaction: the end question keeps
// or undoes them together, and a row that cannot be replaced undoes the rows before it.
void frmFieldEdit::ReplaceAll() {
    ClearHighlight();
    engine::Recordset& rs = *owner_->App.Store.WorkRs;
    auto finish = [&] {
        rs.Requery();
        owner_->ReloadShownRows();
        EndOfRun();
    };
    std::optional<ReplaceAllResult> result;
    try {
        result.emplace(search_.ReplaceAll(*owner_->App.Store.Ws));
    } catch (const std::exception& e) {
        finish();
        ShowUnexpectedError(owner_->App.Platform, e);
        return;
    }
    if (!result->pending) {
        finish();
        owner_->App.Platform.MsgBox(
            Q(result->fault.empty() ? std::string(kNotFound) : result->fault));
        return;
    }
    PendingReplacement& pending = *result->pending;
    // The grid shows the replaced values while the question is up, so the user sees what the
    // answer keeps or undoes.
    try {
        rs.Requery();
        owner_->ReloadShownRows();
    } catch (const std::exception& e) {
        pending.Undo();
        finish();
        ShowUnexpectedError(owner_->App.Platform, e);
        return;
    }
    const int answer = owner_->App.Platform.MsgBox(
        Q("検索が終了しました｡" + engine::Str(engine::Variant::Long(pending.Count())) +
          "個の項目を置換しました。"),
        platform::vbOKCancel);
    try {
        if (answer == platform::vbOK)
            pending.Keep();
        else
            pending.Undo();
    } catch (const std::exception& e) {
        pending.Undo();
        finish();
        ShowUnexpectedError(owner_->App.Platform, e);
        return;
    }
    finish();
}

// ---- Leaving ---------------------------------------------------------------------------------

bool frmFieldEdit::LeaveWindow(bool commit) {
    int16_t error = 0;
    owner_->FocusFromOutside(owner_->Text1[static_cast<size_t>(grid::CellOf(HitLine, grid::kName))],
                             commit, error);
    if (error != 0) return false;
    if (highlightTypes_) ClearHighlight();
    hide();
    newRun_ = true;
    owner_->activateWindow();
    return true;
}

void frmFieldEdit::closeEvent(QCloseEvent* event) {
    // The close box never refuses (the main window may be closing with it): a box still being
    // typed in keeps the focus, uncommitted.
    if (!unloading_) LeaveWindow(false);
    // Closed, not hidden: the next command loads the window anew, with empty histories.
    unloaded_ = true;
    event->accept();
}

void frmFieldEdit::Unload() {
    unloading_ = true;
    close();
}

} // namespace tavorin
