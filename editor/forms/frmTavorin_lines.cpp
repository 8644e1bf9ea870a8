// frmTavorin: line editing. A row is chosen with a click on its row label; cut, copy, paste,
// delete, insert and move then work on that row (CurRow) through the one-row clipboard ClipRow,
// from the menu "行の編集" or its pop-up on the labels. Also the wiring of the editing aids
// (line commands, default values, search and replace).
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "GridCells.h"
#include "frmTavorin.h"

namespace tavorin {

using namespace grid;

void frmTavorin::ConnectEditingAids() {
    for (QLabel* label : Label3) label->installEventFilter(this);
    const std::pair<QAction*, void (frmTavorin::*)()> commands[] = {
        {mnLineCut, &frmTavorin::mnLineCut_Click},
        {mnLineCopy, &frmTavorin::mnLineCopy_Click},
        {mnLinePast, &frmTavorin::mnLinePast_Click},
        {mnLineDel, &frmTavorin::mnLineDel_Click},
        {mnLineInsert, &frmTavorin::mnLineInsert_Click},
        {mnLineMove, &frmTavorin::mnLineMove_Click},
        {mnFieldSeach, &frmTavorin::mnFieldSeach_Click},
        {mnFieldReplace, &frmTavorin::mnFieldReplace_Click},
        {mnOption, &frmTavorin::mnOption_Click},
    };
    for (const auto& [action, handler] : commands) {
        connect(action, &QAction::triggered, this,
                [this, handler = handler] { RunEvent([this, handler] { (this->*handler)(); }); });
        MarkCommandAvailable(action);
    }
}

// ---- The row labels --------------------------------------------------------------------------

void frmTavorin::Label3_MouseDown(int line, Qt::MouseButton button, const QPoint& at) {
    if (!CommitPendingEdit()) return;
    if (button == Qt::LeftButton) {
        SelectRow(line);
        const int32_t row = Label3[static_cast<size_t>(line)]->text().trimmed().toInt();
        if (CurRow == 0 || CurRow != row) return; // no file or table: SelectRow has said so
        SetLineEditMenus();
        // The focus follows to the row's line: typing goes to the row in edit, never to the row
        // of a cell left focused on another line.
        MoveFocus(Text1[static_cast<size_t>(CellOf(line, kName))]);
    } else if (button == Qt::RightButton) {
        mnLineEdit->popup(at);
    }
}

bool frmTavorin::CommitPendingEdit() {
    const bool tableNamePending = CellDirty > 0 && FocusIndex == 0;
    int16_t error = 0;
    StoreRow(error);
    return error == 0 && !tableNamePending;
}

// ---- The commands ----------------------------------------------------------------------------

void frmTavorin::mnLineCut_Click() {
    LineEditMode = kLineCut;
    RunLineEdit();
}

void frmTavorin::mnLineCopy_Click() {
    LineEditMode = kLineCopy;
    RunLineEdit();
}

void frmTavorin::mnLinePast_Click() {
    LineEditMode = kLinePaste;
    RunLineEdit();
}

void frmTavorin::mnLineDel_Click() {
    LineEditMode = kLineDelete;
    RunLineEdit();
}

void frmTavorin::mnLineInsert_Click() {
    LineEditMode = kLineInsert;
    RunLineEdit();
}

void frmTavorin::mnLineMove_Click() {
    LineEditMode = kLineMove;
    RunLineEdit();
}

// The menu states come from the document's rule, checked again when the command runs, since
// the row in edit may have changed since the click (a click into a cell of another line).
void frmTavorin::RunLineEdit() {
    if (!CommitPendingEdit()) return;
    const LineEditOutcome outcome = LayoutDocument::RunLineEdit();
    if (!outcome.ran) return;
    if (outcome.rowRangeChanged) SetScrollRange(TopRow - 1);
    if (LineEditMode != kLineCopy) FillGrid(TopRow);
    FocusRowInEdit();
    SetLineEditMenus();
}

// The row in edit is brought on screen (it can be off it when the command came from the menu
// while the focus was outside the grid) and its field-name cell takes the focus.
void frmTavorin::FocusRowInEdit() {
    if (LineOfRow(CurRow) < 0) ScrollTo(CurRow);
    const int line = LineOfRow(CurRow);
    if (line < 0) return;
    HighlightLabel(line, true);
    MoveFocus(Text1[static_cast<size_t>(CellOf(line, kName))]);
}

} // namespace tavorin
