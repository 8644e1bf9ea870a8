// The ten-line layout grid: the row buffer through which every work row is read
// and written, filling the grid, the scroll range, the row in edit and its display.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>

#include "DesignerGrid.h"
#include "GridCells.h"
#include "QtText.h"
#include "modules/FuncUtility.h"
#include "modules/WorkStore.h"

namespace tavorin {

using engine::Variant;

namespace {

// The type boxes' back colour (the host's &H80FFFF).
QColor TypeBoxColour() {
    return QColor(0xFF, 0xFF, 0x80);
}

std::string SizeText(int16_t size) {
    return FixWidth(Variant::Integer(size), "####");
}

// The host's Val of a text that starts with blanks and digits.
long LeadingNumber(const std::string& text, size_t& end) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) i = text.size();
    long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = std::min(9999999L, value * 10 + (text[i] - '0'));
        ++i;
    }
    end = i;
    return value;
}

} // namespace

// ---- The row buffer ----------------------------------------------------------------------------

void DesignerGrid::RowBufferOp(std::string_view command) {
    if (LayoutDocument::RowBufferOp(command)) SetScrollRange(TopRow - 1);
}

// ---- Filling the grid ------------------------------------------------------------------------

void DesignerGrid::FillGrid(int32_t top) {
    GridLoading = 9;
    engine::Recordset& rs = *App.Store.WorkRs;
    const bool positioned = !rs.Eof() && !rs.Bof();
    const engine::Bookmark mark = positioned ? rs.GetBookmark() : 0;
    ClearGridCells();
    for (int line = 0; line < kGridLines; ++line) {
        const int32_t row = top + line;
        Label3[line]->setText(Q(FixWidth(Variant::Long(row), "####")));
        if (const std::optional<RowBufferType> shown = RowAt(row)) ShowRowValues(line, *shown);
    }
    if (positioned) rs.SetBookmark(mark);
    GridLoading = 0;
}

void DesignerGrid::ShowRowValues(int line, const RowBufferType& row) {
    const int first = grid::CellOf(line, grid::kName);
    Text1[first]->setText(Q(row.Name));
    Combo2[line]->setCurrentIndex(TypeListIndexOf(row.TypeName));
    Text1[first + grid::kSize]->setText(Q(SizeText(row.Size)));
    Text1[first + grid::kRepeat]->setText(Q(row.Repeat));
    for (int k = 0; k < 6; ++k)
        Text1[first + grid::kPrimaryKey + k]->setText(Q(row.Keys[static_cast<size_t>(k)]));
    Text1[first + grid::kDescription]->setText(Q(row.Description));
}

void DesignerGrid::SetScrollRange(int32_t value) {
    const QSignalBlocker quiet(VScroll1);
    VScroll1->setMinimum(0);
    VScroll1->setMaximum(LastRow < 2 ? 1 : LastRow - 1);
    VScroll1->setPageStep(LastRow > 9 ? 10 : LastRow >= 2 ? LastRow - 1 : 1);
    VScroll1->setSingleStep(1);
    VScroll1->setValue(value);
}

void DesignerGrid::ScrollTo(int32_t top) {
    TopRow = std::clamp(top, 1, std::max(LastRow, 1));
    {
        const QSignalBlocker quiet(VScroll1);
        VScroll1->setValue(TopRow - 1);
    }
    FillGrid(TopRow);
}

// ---- The row in edit -------------------------------------------------------------------------

int DesignerGrid::LineOfRow(int32_t row) const {
    const int32_t line = row - TopRow;
    return row > 0 && line >= 0 && line < kGridLines ? static_cast<int>(line) : -1;
}

void DesignerGrid::HighlightLabel(int line, bool on) {
    QLabel* label = Label3[static_cast<size_t>(line)];
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, pal.color(on ? QPalette::Highlight : QPalette::Button));
    pal.setColor(QPalette::WindowText,
                 pal.color(on ? QPalette::HighlightedText : QPalette::ButtonText));
    label->setPalette(pal);
}

void DesignerGrid::SelectRow(int line) {
    int16_t error = 0;
    RequireFileAndTable(error);
    if (error != 0) return;
    const int32_t row = Label3[static_cast<size_t>(line)]->text().trimmed().toInt();
    HighlightLabel(line, true);
    if (CurRow > 0 && CurRow != row) {
        const int old = LineOfRow(CurRow);
        if (old >= 0 && old != line) {
            HighlightLabel(old, false);
            QPalette pal = Combo2[static_cast<size_t>(old)]->palette();
            pal.setColor(QPalette::Button, QColor(0xFF, 0xFF, 0x80));
            pal.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0x80));
            Combo2[static_cast<size_t>(old)]->setPalette(pal);
        }
    }
    if (row == CurRow) return;
    CurRow = row;
    RowBufferOp("GET");
}

void DesignerGrid::StoreRow(int16_t& error) {
    error = 0;
    if (CellDirty > 0) CommitCell(FocusIndex, error);
    CellDirty = 0;
}

// Every commit of a typed edit comes here, whether the box loses the focus or a command, the
// scroll bar or the wheel acts while it is being typed in.
void DesignerGrid::CommitCell(int index, int16_t& error) {
    if (index == 0) {
        CommitTableName(error);
        return;
    }
    LayoutChanged = 9;
    ValidateCell(index, error);
    if (error != 0) return;
    CellEdited = false;
    if (CurRow > 0 && !noStore_) RowBufferOp("PUT");
}

void DesignerGrid::RestoreCell(int index) {
    if (index == 0) {
        Text1[0]->setText(Q(CurrentTable));
        return;
    }
    if (index == 7) {
        Text1[7]->setText(Q(TableDesc));
        return;
    }
    if (!grid::IsCell(index)) return;
    QLineEdit* cell = Text1[static_cast<size_t>(index)];
    const int column = grid::ColumnOf(index);
    if (column == grid::kName)
        cell->setText(Q(RowBuffer.Name));
    else if (column == grid::kSize)
        cell->setText(Q(SizeText(RowBuffer.Size)));
    else if (column == grid::kRepeat)
        cell->setText(Q(RowBuffer.Repeat));
    else if (grid::IsKeyColumn(column))
        cell->setText(Q(RowBuffer.Keys[static_cast<size_t>(column - grid::kPrimaryKey)]));
    else
        cell->setText(Q(RowBuffer.Description));
}

// The text a cell is edited in: sizes and repeat counts as plain numbers, a key entry as its
// rank and letter without the padding (" 3A" is edited as "3A").
void DesignerGrid::ShowEditForm(int index) {
    if (!grid::IsCell(index)) return;
    const int column = grid::ColumnOf(index);
    if (column != grid::kSize && column != grid::kRepeat && !grid::IsKeyColumn(column)) return;
    QLineEdit* cell = Text1[static_cast<size_t>(index)];
    const std::string text = cell->text().toStdString();
    size_t end = 0;
    const long value = LeadingNumber(text, end);
    if (grid::IsKeyColumn(column)) {
        const std::string rest = text.size() > 2 ? text.substr(2) : std::string();
        cell->setText(Q(engine::Format(Variant::Long(static_cast<int32_t>(value)), "##") + rest));
    } else if (end == text.size()) {
        cell->setText(Q(engine::Format(Variant::Long(static_cast<int32_t>(value)), "####")));
    }
}

void DesignerGrid::SelectOnFocus(int index) {
    int length = 0;
    if (index >= 0 && index <= 6) {
        length = 50;
    } else if (index == 7) {
        length = 255;
    } else if (grid::IsCell(index)) {
        const int column = grid::ColumnOf(index);
        if (column == grid::kName) return;
        length = column == grid::kSize          ? 4
                 : column == grid::kRepeat      ? 2
                 : column == grid::kDescription ? 255
                                                : 4;
    } else {
        return;
    }
    QLineEdit* box = Text1[static_cast<size_t>(index)];
    box->setSelection(0, std::min(length, static_cast<int>(box->text().size())));
}

void DesignerGrid::SetGridInputsOpen(bool open) {
    for (size_t i = 1; i < Text1.size(); ++i)
        if (Text1[i]) Text1[i]->setReadOnly(!open);
    for (QComboBox* box : Combo1) box->setEnabled(open);
    for (QComboBox* box : Combo2) box->setEnabled(open);
    VScroll1->setEnabled(open);
}

void DesignerGrid::ClearGridCells() {
    for (int r = 0; r < kGridLines; ++r) {
        for (int i = 9 + 10 * r; i <= 18 + 10 * r; ++i) Text1[i]->clear();
        Combo2[r]->setCurrentIndex(-1);
        QPalette boxPalette = Combo2[r]->palette();
        boxPalette.setColor(QPalette::Button, TypeBoxColour());
        boxPalette.setColor(QPalette::Base, TypeBoxColour());
        Combo2[r]->setPalette(boxPalette);
        Label3[r]->clear();
        // Back and text colour together: a label left with the highlight's text colour on the
        // button face would hide its number.
        HighlightLabel(r, false);
    }
}

void DesignerGrid::ShowRowsFrom(int32_t top) {
    const int32_t value = std::clamp(top, 1, std::max(LastRow, 1)) - 1;
    if (value == TopRow - 1) return;
    // The scroll bar's handler refills the grid and keeps the row in edit on the focused line.
    VScroll1->setValue(value);
}

void DesignerGrid::ReloadShownRows() {
    App.Store.WorkRs->Requery();
    FillGrid(TopRow);
    if (CurRow == 0) return;
    RowBufferOp("GET");
    if (const int line = LineOfRow(CurRow); line >= 0) HighlightLabel(line, true);
}

void DesignerGrid::FocusFromOutside(QWidget* target, bool commit, int16_t& error) {
    error = 0;
    const int index = focusedInput_ && focusedInput_ != target ? InputIndex(focusedInput_) : -1;
    if (index >= 0 && index < grid::kComboBase) {
        if (CellDirty > 0) {
            if (!commit) return;
            StoreRow(error);
            if (error != 0) return;
        } else if (CellEdited) {
            RestoreCell(index);
            CellEdited = false;
        }
    }
    // The box is left: the activation that follows is the target's focus, not a return.
    focusedInput_ = nullptr;
    gotFocusDone_ = true;
    target->setFocus();
}

} // namespace tavorin
