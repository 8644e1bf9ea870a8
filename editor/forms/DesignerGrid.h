// The designer window's grid and the focus handling of its inputs: the cell events, the commit
// cycle (a cell is checked and written back when it loses the focus), scrolling and storing a
// row.
//
// Every event handler of the inputs runs through RunEvent; focus moves asked for meanwhile
// (MoveFocus) happen once it is over, so a handler never runs inside another and a message box
// shown from a focus change re-triggers nothing.
#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "DesignerMenus.h"

class QEvent;

namespace tavorin {

struct CellVerdict;

class DesignerGrid : public DesignerMenus {
  public:
    // The document's RowBufferOp; the scroll bar follows a changed range of rows.
    void RowBufferOp(std::string_view command);
    void FillGrid(int32_t top);
    void SetScrollRange(int32_t value);
    void SelectRow(int line);
    // Validates and stores the cell being edited; error 9 after a fault.
    void StoreRow(int16_t& error);
    void ValidateCell(int index, int16_t& error);
    void RestoreCell(int index);
    // Events of the inputs (index as the control arrays number them).
    void Text1_GotFocus(int index);
    void Text1_LostFocus(int index);
    // Returns true when the key was taken (not passed on to the box).
    bool Text1_KeyDown(int index, int key, Qt::KeyboardModifiers modifiers);
    void Text1_KeyPress(int index, int key);
    void Combo2_GotFocus(int line);
    void Combo2_Click(int line);
    void Combo2_KeyPress(int line, int key);
    void VScroll1_Change();

    // Shows the rows from top on, as a move of the scroll bar does (the row in edit follows the
    // focused cell when it leaves the screen).
    void ShowRowsFrom(int32_t top);
    // Shows the rows on screen and the row in edit afresh from the work table, after rows were
    // changed behind the grid.
    void ReloadShownRows();
    // Gives target the focus from another window, leaving the box that has it as a user
    // leaving it would (no focus event tells it while this window is inactive): what is typed
    // there is committed (error 9 after a fault, the focus then staying in the box), or, when
    // commit is false, the box keeps the focus; a box whose fault was shown shows its stored
    // value again.
    void FocusFromOutside(QWidget* target, bool commit, int16_t& error);

    int32_t CurGridLine = 0;
    int16_t FocusIndex = 0;
    int16_t CellDirty = 0;
    bool CellEdited = false;
    int16_t GridLoading = 0;
    bool FocusSuppressed = true;

  protected:
    using DesignerMenus::DesignerMenus;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // What the grid leaves to the window: the file boxes, the row labels, the table name box,
    // loading a table and the key boxes.
    virtual void Text2_Click() = 0;
    virtual void Label3_MouseDown(int line, Qt::MouseButton button, const QPoint& at) = 0;
    virtual void RequireFileAndTable(int16_t& error) = 0;
    virtual void CommitTableName(int16_t& error) = 0;
    virtual void ClearLayout() = 0;
    virtual void LoadTableLayout() = 0;
    virtual bool IsStoredTable(const std::string& name) = 0;
    virtual void Combo1_GotFocus(int key) = 0;
    virtual void Combo1_KeyPress(int key, int keyCode) = 0;

    void ClearGridCells();
    void SetGridInputsOpen(bool open);
    void ShowRowValues(int line, const RowBufferType& row);
    void HighlightLabel(int line, bool on);
    int LineOfRow(int32_t row) const;
    void ShowEditForm(int index);
    void SelectOnFocus(int index);
    void ScrollTo(int32_t top);
    void StepScroll(int index, int delta);
    // Cell rules
    void ValidateTableName(const std::string& text, int16_t& error);
    // A fault of a grid cell's rule shown, the cursor placed where it lies.
    void ShowCellFault(int index, const CellVerdict& verdict, int16_t& error);
    // The type a named row has just taken shown, the focus on to its size or repeat cell.
    void ShowTakenType(int line);
    // An edited input committed: ValidateCell and, when it passes, the row written back; the
    // table name box through CommitTableName.
    void CommitCell(int index, int16_t& error);
    // The row of line takes typeName with its default size; the focus goes on to the size or
    // the repeat cell and the row is written back.
    void ApplyType(int line, const std::string& typeName);

    void RunEvent(const std::function<void()>& handler);
    void MoveFocus(QWidget* target, bool keepText = false);
    void CellFault(const char* message, QWidget* focus, bool keepText, int16_t& error);
    void FinishEvent();
    void OnFocusIn(QWidget* input);
    void OnFocusOut(QWidget* input);
    int InputIndex(const QObject* object) const; // Text1 index, 1000 + line for Combo2, -1
    int ComboKeyOf(const QObject* object) const; // Combo1 index, -1
    void MarkCellEdited();

  private:
    int eventDepth_ = 0;
    QPointer<QWidget> pendingFocus_;
    QPointer<QWidget> keepTextFor_; // the box a fault sends the focus back to, text and all
    QPointer<QWidget> focusedInput_;
    bool gotFocusDone_ = true;
    bool scrollHandling_ = false;
    bool noStore_ = false; // the last ValidateCell left an entirely empty row unstored
};

} // namespace tavorin
