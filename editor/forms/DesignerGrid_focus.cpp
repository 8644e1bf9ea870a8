// The grid: focus, keys and clicks of the input boxes: the commit cycle of the grid (a cell is
// checked and written back when it loses the focus) and the keyboard navigation.
//
// Every handler runs through RunEvent. A focus move a handler asks for (MoveFocus) happens
// once the handler is over, so one handler never runs inside another; focus changes that
// happen while a handler runs (a message box taking the focus, a focus move of the handler
// itself) are noted but start no handler of their own.
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>

#include "DesignerGrid.h"
#include "GridCells.h"
#include "QtText.h"
#include "platform/prompts.h"

namespace tavorin {

using namespace grid;

namespace {

QString PromptOf(int index) {
    if (index == 0)
        return QString::fromUtf8("ファイルを選択後、テーブル名を入力するか、一覧表の中からダブル"
                                 "クリックして下さい。");
    if (index <= 6) return QString::fromUtf8("インデックス名を入力して下さい。");
    if (index == 7) return QString::fromUtf8("テーブルの備考を入力して下さい。");
    const int column = ColumnOf(index);
    switch (column) {
    case kName:
        return QString::fromUtf8("フィールド名を入力して下さい。");
    case kSize:
        return QString::fromUtf8("フィールドのサイズを入力して下さい。");
    case kRepeat:
        return QString::fromUtf8("繰返し数を入力して下さい。");
    case kPrimaryKey:
        return QString::fromUtf8("並び替えの種別（A Or D)と主キー内における順序を入力して下さい。");
    case kDescription:
        return QString::fromUtf8("フィールドの備考を入力して下さい。");
    default: {
        static const char* const kDigits[5] = {"１", "２", "３", "４", "５"};
        return QString::fromUtf8("並び替えの種別（A Or D)と副キー") +
               QString::fromUtf8(kDigits[column - kPrimaryKey - 1]) +
               QString::fromUtf8("内における順序を入力して下さい。");
    }
    }
}

// Keys that reach the host's KeyPress event: characters, Enter and Backspace.
bool IsKeyPress(const QKeyEvent& e) {
    if (IsEnter(e.key()) || e.key() == Qt::Key_Backspace) return true;
    const QString text = e.text();
    return !text.isEmpty() && text.at(0) >= QChar(' ') && text.at(0) != QChar(0x7F);
}

} // namespace

// ---- Event plumbing ----------------------------------------------------------------------------

int DesignerGrid::InputIndex(const QObject* object) const {
    if (!object) return -1;
    for (size_t i = 0; i < Text1.size(); ++i)
        if (Text1[i] == object) return static_cast<int>(i);
    for (size_t r = 0; r < Combo2.size(); ++r)
        if (Combo2[r] == object) return kComboBase + static_cast<int>(r);
    return -1;
}

int DesignerGrid::ComboKeyOf(const QObject* object) const {
    for (size_t k = 0; k < Combo1.size(); ++k)
        if (Combo1[k] == object) return static_cast<int>(k);
    return -1;
}

void DesignerGrid::RunEvent(const std::function<void()>& handler) {
    ++eventDepth_;
    Guarded(App.Platform, handler);
    --eventDepth_;
    if (eventDepth_ == 0) FinishEvent();
}

void DesignerGrid::MoveFocus(QWidget* target, bool keepText) {
    if (!target) return;
    keepTextFor_ = keepText ? target : nullptr;
    if (eventDepth_ > 0) {
        pendingFocus_ = target;
        return;
    }
    target->setFocus();
}

void DesignerGrid::FinishEvent() {
    // Each pass either applies a focus move or runs a deferred GotFocus; the handlers they
    // start finish their own work, so a few passes settle every chain.
    for (int pass = 0; pass < 8; ++pass) {
        if (QWidget* target = pendingFocus_) {
            pendingFocus_ = nullptr;
            target->setFocus();
            continue;
        }
        QWidget* current = focusedInput_;
        if (current && !gotFocusDone_ && current == QApplication::focusWidget()) {
            gotFocusDone_ = true;
            OnFocusIn(current);
            continue;
        }
        break;
    }
}

void DesignerGrid::OnFocusIn(QWidget* input) {
    focusedInput_ = input;
    const int index = InputIndex(input);
    if (index >= 0) FocusIndex = static_cast<int16_t>(index);
    if (eventDepth_ > 0) {
        gotFocusDone_ = false;
        return;
    }
    gotFocusDone_ = true;
    const int key = ComboKeyOf(input);
    RunEvent([this, index, key] {
        if (index >= kComboBase)
            Combo2_GotFocus(index - kComboBase);
        else if (index >= 0)
            Text1_GotFocus(index);
        else if (key >= 0)
            Combo1_GotFocus(key);
    });
}

void DesignerGrid::OnFocusOut(QWidget* input) {
    if (input != focusedInput_) return; // it never had the focus as far as the window saw
    focusedInput_ = nullptr;
    const bool hadGotFocus = gotFocusDone_;
    gotFocusDone_ = true;
    if (eventDepth_ > 0 || !hadGotFocus) return;
    const int index = InputIndex(input);
    if (index >= 0 && index < kComboBase) RunEvent([this, index] { Text1_LostFocus(index); });
}

void DesignerGrid::MarkCellEdited() {
    CellDirty = 9;
    CellEdited = true;
}

bool DesignerGrid::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || (InputIndex(watched) < 0 && ComboKeyOf(watched) < 0)) break;
        // Another window (a message box, a menu) taking the focus for a while is no focus
        // change of the layout, unless the focus comes back to another box than it left.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
            if (event->type() == QEvent::FocusOut) break;
            if (widget == focusedInput_ && gotFocusDone_) break;
        }
        // The box takes its own part of the change (caret, selection) first.
        static_cast<QObject*>(widget)->event(event);
        if (event->type() == QEvent::FocusIn) {
            OnFocusIn(widget);
        } else {
            // A box left shows the beginning of its text, not the end the caret was at.
            if (auto* box = qobject_cast<QLineEdit*>(widget)) box->setCursorPosition(0);
            OnFocusOut(widget);
        }
        return true;
    }
    case QEvent::KeyPress: {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int index = InputIndex(watched);
        const int key = ComboKeyOf(watched);
        bool taken = false;
        if (index >= 0 && index < kComboBase) {
            if (Text1[static_cast<size_t>(index)]->isReadOnly()) break;
            RunEvent([&] {
                taken = Text1_KeyDown(index, keyEvent->key(), keyEvent->modifiers());
                if (!taken && IsKeyPress(*keyEvent)) {
                    Text1_KeyPress(index, keyEvent->key());
                    taken = IsEnter(keyEvent->key());
                }
            });
            return taken;
        }
        if (index >= kComboBase && IsEnter(keyEvent->key())) {
            RunEvent([&] { Combo2_KeyPress(index - kComboBase, keyEvent->key()); });
            return true;
        }
        if (key >= 0 && IsEnter(keyEvent->key())) {
            RunEvent([&] { Combo1_KeyPress(key, keyEvent->key()); });
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if ((watched == Text2[0] || watched == Text2[1]) && mouse->button() == Qt::LeftButton &&
            static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint()))
            RunEvent([this] { Text2_Click(); });
        break;
    }
    case QEvent::MouseButtonPress: {
        // The row labels select a row and open the line-editing menu.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        for (int line = 0; line < kLines; ++line) {
            if (watched != Label3[static_cast<size_t>(line)]) continue;
            const QPoint at = mouse->globalPosition().toPoint();
            const Qt::MouseButton button = mouse->button();
            RunEvent([this, line, button, at] { Label3_MouseDown(line, button, at); });
            return true;
        }
        break;
    }
    case QEvent::Wheel:
        // The wheel over the grid pages its rows; it never changes a type box.
        if (watched == Frame4 || InputIndex(watched) >= kComboBase) {
            QCoreApplication::sendEvent(VScroll1, event);
            return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Focus -----------------------------------------------------------------------------------

void DesignerGrid::Text1_GotFocus(int index) {
    const bool keepText = keepTextFor_ == Text1[static_cast<size_t>(index)];
    keepTextFor_ = nullptr;
    if (FocusSuppressed) return;
    CellDirty = 0;
    FocusIndex = static_cast<int16_t>(index);
    ShowTableListFrame(index == 0);
    if (index > 0) {
        int16_t error = 0;
        RequireFileAndTable(error);
        if (error != 0) {
            MoveFocus(Text1[0]);
            return;
        }
    }
    if (IsCell(index)) {
        CurGridLine = LineOf(index);
        SelectRow(CurGridLine);
    }
    if (!keepText) ShowEditForm(index);
    SelectOnFocus(index);
    Label6->setText(PromptOf(index));
}

void DesignerGrid::Text1_LostFocus(int index) {
    if (!CellEdited || scrollHandling_) return;
    if (CellDirty == 0) {
        RestoreCell(index);
        CellEdited = false;
        return;
    }
    CellDirty = 0;
    int16_t error = 0;
    CommitCell(index, error);
}

void DesignerGrid::Combo2_GotFocus(int line) {
    if (FocusSuppressed) return;
    Label6->setText(QString::fromUtf8("データ種別を選択して下さい。"));
    ShowTableListFrame(false);
    CurGridLine = line;
    SelectRow(line);
    if (App.CurrentFile.FullPath.empty() || CurrentTable.empty()) MoveFocus(Text1[0]);
    FocusIndex = static_cast<int16_t>(kComboBase + line);
}

// ---- Keys --------------------------------------------------------------------------------------

bool DesignerGrid::Text1_KeyDown(int index, int key, Qt::KeyboardModifiers modifiers) {
    if (key == Qt::Key_Delete) {
        MarkCellEdited();
        return false;
    }
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool cell = IsCell(index);
    const int line = cell ? LineOf(index) : -1;
    const int column = cell ? ColumnOf(index) : -1;
    auto box = [this](int i) { return Text1[static_cast<size_t>(i)]; };
    auto nameFilled = [&](int l) { return !box(CellOf(l, kName))->text().trimmed().isEmpty(); };

    if (shift && key == Qt::Key_Right) {
        if (index >= 1 && index <= 6) {
            MoveFocus(Combo1[static_cast<size_t>(index - 1)]);
            return true;
        }
        if (!cell) return false;
        if (column == kName)
            MoveFocus(Combo2[static_cast<size_t>(line)]);
        else if (column != kDescription || line < kLines - 1)
            MoveFocus(box(index + 1));
        return true;
    }
    if (shift && key == Qt::Key_Left) {
        if (!cell) return false;
        if (column == kSize)
            MoveFocus(Combo2[static_cast<size_t>(line)]);
        else if (column != kName || line > 0)
            MoveFocus(box(index - 1));
        return true;
    }
    if (key == Qt::Key_Down) {
        if (index == 0) {
            MoveFocus(box(7));
            return true;
        }
        if (index >= 1 && index <= 5) {
            MoveFocus(box(index + 1));
            return true;
        }
        if (!cell) return false;
        if (line < kLines - 1)
            MoveFocus(box(nameFilled(line + 1) ? index + 10 : CellOf(line + 1, kName)));
        else if (TopRow < LastRow)
            StepScroll(index, 1);
        return true;
    }
    if (key == Qt::Key_Up) {
        if (index >= 2 && index <= 6) {
            MoveFocus(box(index - 1));
            return true;
        }
        if (!cell) return false;
        if (line > 0)
            MoveFocus(box(nameFilled(line - 1) ? index - 10 : CellOf(line - 1, kName)));
        else if (TopRow > 1)
            StepScroll(index, -1);
        return true;
    }
    return false;
}

void DesignerGrid::Text1_KeyPress(int index, int key) {
    MarkCellEdited();
    if (!IsEnter(key)) return;
    auto box = [this](int i) { return Text1[static_cast<size_t>(i)]; };
    QWidget* target = nullptr;
    if (index == 0) {
        target = box(7);
    } else if (index <= 6) {
        if (!box(index)->text().trimmed().isEmpty())
            target = Combo1[static_cast<size_t>(index - 1)];
        else
            target = box(index < 6 ? index + 1 : CellOf(0, kName));
    } else if (index == 7) {
        target = box(1);
    } else {
        const int line = LineOf(index);
        const int column = ColumnOf(index);
        if (column == kName)
            target = Combo2[static_cast<size_t>(line)];
        else if (column == kDescription)
            target = box(line < kLines - 1 ? index + 1 : CellOf(0, kName));
        else if (line < kLines - 1)
            target = box(index + 1);
    }
    if (target) {
        MoveFocus(target);
    } else {
        // The last line's cells keep the focus; Enter still confirms what was typed.
        int16_t error = 0;
        StoreRow(error);
    }
}

void DesignerGrid::StepScroll(int index, int delta) {
    int16_t error = 0;
    StoreRow(error);
    if (error != 0) return;
    ScrollTo(TopRow + delta);
    // The focus stays in its cell, which now shows another row: that row is the one in edit.
    SelectRow(LineOf(index));
    ShowEditForm(index);
    SelectOnFocus(index);
    CellDirty = 0;
    CellEdited = false;
}

// ---- Type and duplicates boxes
// -------------------------------------------------------------------

void DesignerGrid::Combo2_Click(int line) {
    if (GridLoading) return;
    LayoutChanged = 9;
    int16_t error = 0;
    StoreRow(error);
    if (error == 0 && LineOfRow(CurRow) != line) SelectRow(line);
    if (error != 0 || CurRow == 0 || LineOfRow(CurRow) != line) {
        // The choice is not taken: the box shows the row's type again.
        const QSignalBlocker quiet(Combo2[static_cast<size_t>(line)]);
        if (LineOfRow(CurRow) == line)
            Combo2[static_cast<size_t>(line)]->setCurrentIndex(TypeListIndexOf(RowBuffer.TypeName));
        return;
    }
    ApplyType(line, Combo2[static_cast<size_t>(line)]->currentText().toStdString());
}

void DesignerGrid::Combo2_KeyPress(int line, int key) {
    if (!IsEnter(key)) return;
    if (RowBuffer.TypeName.empty() && !App.Defaults.DefaultType.empty() && CurRow > 0) {
        LayoutChanged = 9;
        ApplyType(line, App.Defaults.DefaultType);
        return;
    }
    const int first = CellOf(line, kName);
    MoveFocus(Text1[static_cast<size_t>(
        first + (SameText(RowBuffer.TypeName, "dbText") ? kSize : kRepeat))]);
}

// ---- Scrolling -------------------------------------------------------------------------------

void DesignerGrid::VScroll1_Change() {
    scrollHandling_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{scrollHandling_};

    const int index = focusedInput_ ? InputIndex(focusedInput_) : -1;
    // A table name being typed is settled before the rows move, row in the buffer or not.
    if (index >= 0 && index < kComboBase && (CurRow > 0 || index == 0) && CellDirty) {
        int16_t error = 0;
        CommitCell(index, error);
        CellDirty = 0;
        if (error != 0) {
            // The rows stay where they were, with the typed text in its cell.
            const QSignalBlocker quiet(VScroll1);
            VScroll1->setValue(TopRow - 1);
            return;
        }
    }
    ScrollTo(VScroll1->value() + 1);
    if (CurRow == 0) {
        MoveFocus(Text1[7]);
        return;
    }
    const bool inGrid = index >= kComboBase || IsCell(index);
    const int line = LineOfRow(CurRow);
    if (line >= 0) {
        RowBufferOp("GET");
        HighlightLabel(line, true);
        if (inGrid) {
            QWidget* target = index >= kComboBase
                                  ? static_cast<QWidget*>(Combo2[static_cast<size_t>(line)])
                                  : Text1[static_cast<size_t>(CellOf(line, ColumnOf(index)))];
            target->setFocus();
        }
    } else if (inGrid) {
        // The row in edit has left the screen; the focused input now shows another row,
        // which becomes the one in edit, so that typing there changes the row it shows.
        SelectRow(index >= kComboBase ? index - kComboBase : LineOf(index));
        if (index < kComboBase) {
            ShowEditForm(index);
            SelectOnFocus(index);
        }
        CellEdited = false;
    }
}

} // namespace tavorin
