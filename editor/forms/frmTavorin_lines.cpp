// frmTavorin: line editing. A row is chosen with a click on its row label; cut, copy, paste,
// delete, insert and move then work on that row (CurRow) through the one-row clipboard ClipRow,
// from the menu "行の編集" or its pop-up on the labels. Also the wiring of the editing aids
// (line commands, default values, search and replace).
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "GridCells.h"
#include "engine/error.h"
#include "engine/transaction_guard.h"
#include "engine/workspace.h"
#include "frmTavorin.h"
#include "modules/WorkStore.h"

namespace tavorin {

using namespace grid;

void frmTavorin::ConnectEditingAids() {
    for (QLabel* label : Label3) label->installEventFilter(this);
    const std::pair<QAction*, void (frmTavorin::*)()> commands[] = {
        {mnLineCut, &frmTavorin::mnLineCut_Click},       {mnLineCopy, &frmTavorin::mnLineCopy_Click},
        {mnLinePast, &frmTavorin::mnLinePast_Click},     {mnLineDel, &frmTavorin::mnLineDel_Click},
        {mnLineInsert, &frmTavorin::mnLineInsert_Click}, {mnLineMove, &frmTavorin::mnLineMove_Click},
        {mnFieldSeach, &frmTavorin::mnFieldSeach_Click}, {mnFieldReplace, &frmTavorin::mnFieldReplace_Click},
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

// Whether mode can run on the row in edit: the rule the label click shows in the menu states,
// checked again when the command runs, since the row in edit may have changed since the click
// (a click into a cell of another line). A moved row waits on the clipboard until it is pasted.
bool frmTavorin::LineEditAllowed(int16_t mode) {
    if (CurRow == 0) return false;
    WorkRs->FindFirst("FLD01= " + std::to_string(CurRow));
    const bool exists = !WorkRs->NoMatch();
    switch (mode) {
    case kLineCut:
    case kLineCopy:
    case kLineMove:
        return exists && LastLineEdit != kLineMove;
    case kLinePaste:
        return LastLineEdit >= 1;
    case kLineDelete:
    case kLineInsert:
        return exists;
    default:
        return false;
    }
}

void frmTavorin::SetLineEditMenus() {
    const std::pair<QAction*, int16_t> commands[] = {
        {mnLineCut, kLineCut},       {mnLineCopy, kLineCopy},     {mnLinePast, kLinePaste},
        {mnLineDel, kLineDelete},    {mnLineInsert, kLineInsert}, {mnLineMove, kLineMove}};
    for (const auto& [action, mode] : commands) Enable(action, LineEditAllowed(mode));
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

void frmTavorin::RunLineEdit() {
    if (!CommitPendingEdit()) return;
    if (CurRow == 0 || !LineEditAllowed(LineEditMode)) return;
    LayoutChanged = 9;
    switch (LineEditMode) {
    case kLineCut:
    case kLineCopy:
    case kLineMove:
        RowBufferOp("SAV");
        if (LineEditMode != kLineMove) {
            // A cut or copied row is pasted as a new field: no keys, no description, and no
            // old field whose data a save would carry into it.
            ClipRow.Keys.fill(std::string());
            ClipRow.Description.clear();
            ClipRow.LoadedName.clear();
            ClipRow.LoadedType.clear();
            ClipRow.LoadedSize = 0;
            ClipRow.LoadedRepeat.clear();
        }
        if (LineEditMode != kLineCopy) {
            RowBufferOp("DEL");
            // The buffer now holds the empty line, so that typing there starts a new row
            // instead of bringing the removed one back.
            RowBufferOp("GET");
        }
        LastLineEdit = LineEditMode;
        break;
    case kLinePaste:
        RowBufferOp("STR");
        RowBufferOp("PUT");
        if (LastLineEdit == kLineMove) LastLineEdit = 0; // a moved row is pasted once
        break;
    case kLineDelete:
        RowBufferOp("DEL");
        RowBufferOp("GET");
        break;
    case kLineInsert:
        if (LastRow >= CurRow) InsertEmptyRow();
        break;
    default:
        return;
    }
    if (LineEditMode != kLineCopy) FillGrid(TopRow);
    FocusRowInEdit();
    SetLineEditMenus();
}

// Every row from CurRow on moves down by one, from the last backwards so that the unique row
// numbers never collide; all of them or none.
void frmTavorin::InsertEmptyRow() {
    engine::Recordset& rs = *WorkRs;
    rs.Requery();
    if (rs.Eof()) return;
    rs.MoveLast();
    const int32_t last = engine::CLng(rs.Value("FLD01"));
    engine::Workspace& ws = engine::DBEngine::Instance().Workspaces(0);
    engine::TransactionGuard renumber(ws);
    try {
        while (!rs.Bof()) {
            const int32_t row = engine::CLng(rs.Value("FLD01"));
            if (row < CurRow) break;
            rs.Edit();
            rs.SetValue("FLD01", engine::Variant::Long(row + 1));
            rs.Update();
            rs.MovePrevious();
        }
        renumber.Commit();
    } catch (...) {
        if (rs.EditMode() != engine::EditMode::None) rs.CancelUpdate();
        if (renumber.Active()) renumber.Rollback();
        rs.Requery();
        throw;
    }
    rs.Requery();
    LastRow = last + 1;
    SetScrollRange(TopRow - 1);
    RowBufferOp("GET");
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
