// The grid: the rules of each input box of the layout (ValidateCell) and the choice of a
// row's data type.
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "DesignerGrid.h"
#include "GridCells.h"
#include "QtText.h"
#include "core/CellRules.h"
#include "core/LayoutSave.h"
#include "modules/FuncUtility.h"
#include "platform/prompts.h"

namespace tavorin {

namespace {

std::string Trimmed(const QString& text) {
    return TrimBlanks(text.toStdString());
}

} // namespace

void DesignerGrid::ValidateCell(int index, int16_t& error) {
    error = 0;
    noStore_ = false;
    if (index < 0 || index >= static_cast<int>(Text1.size()) || !Text1[static_cast<size_t>(index)])
        return; // a type box: nothing to check
    const std::string text = Trimmed(Text1[static_cast<size_t>(index)]->text());

    if (index == 0) {
        ValidateTableName(text, error);
        if (CurrentTable.empty()) error = 9;
    } else if (index <= 6) {
        Text1[static_cast<size_t>(index)]->setText(Q(text));
        if (text.empty()) Combo1[static_cast<size_t>(index - 1)]->setCurrentIndex(-1);
        return;
    } else if (index == 7) {
        TableDesc = StripCrLf(text);
    } else {
        const int line = grid::LineOf(index);
        const int column = grid::ColumnOf(index);
        CellVerdict verdict;
        if (column == grid::kName)
            verdict = ValidateName(RowBuffer, text, App.Defaults.DefaultType);
        else if (column == grid::kSize)
            verdict = ValidateSize(RowBuffer, text);
        else if (column == grid::kRepeat)
            verdict = ValidateRepeat(RowBuffer, text);
        else if (grid::IsKeyColumn(column))
            verdict = ValidateKey(RowBuffer, column - grid::kPrimaryKey, text);
        else
            verdict = ValidateDescription(RowBuffer, text);
        if (!verdict.Accepted()) {
            ShowCellFault(index, verdict, error);
            return;
        }
        noStore_ = verdict.noStore;
        if (verdict.tookDefaultType) ShowTakenType(line);
    }
    if (error == 0) RestoreCell(index);
}

void DesignerGrid::ValidateTableName(const std::string& text, int16_t& error) {
    // A layout needs a file to be saved into.
    if (App.CurrentFile.FullPath.empty()) {
        App.Platform.MsgBox(QString::fromUtf8("フォルダーを開いて、ファイルを指定して下さい。"));
        Text1[0]->clear();
        LayoutChanged = 0;
        MoveFocus(Text1[0], true);
        return;
    }
    // A new table's name is refused where it is typed, as the save would refuse it.
    if (const std::string fault =
            text.empty() || IsStoredTable(text) ? std::string() : TableNameFault(text);
        !fault.empty()) {
        App.Platform.MsgBox(QString::fromStdString(fault));
        error = 9;
        MoveFocus(Text1[0], true);
        return;
    }
    ClearLayout();
    if (text.empty()) return; // no name, no table
    CurrentTable = text;
    LoadTableLayout();
    SetTableMenus(1);
    LayoutChanged = 0;
}

// The fault's message; the cursor goes back to the cell, text and all, or to the row's type box
// when the fault lies in its missing type.
void DesignerGrid::ShowCellFault(int index, const CellVerdict& verdict, int16_t& error) {
    QWidget* focus = verdict.atTypeBox
                         ? static_cast<QWidget*>(Combo2[static_cast<size_t>(grid::LineOf(index))])
                         : Text1[static_cast<size_t>(index)];
    CellFault(verdict.fault.c_str(), focus, !verdict.atTypeBox, error);
}

void DesignerGrid::ShowTakenType(int line) {
    const int first = grid::CellOf(line, grid::kName);
    GridLoading = 9;
    Combo2[static_cast<size_t>(line)]->setCurrentIndex(TypeListIndexOf(RowBuffer.TypeName));
    GridLoading = 0;
    Text1[static_cast<size_t>(first + grid::kSize)]->setText(
        Q(FixWidth(engine::Variant::Integer(RowBuffer.Size), "####")));
    MoveFocus(Text1[static_cast<size_t>(
        first + (SameText(RowBuffer.TypeName, "dbText") ? grid::kSize : grid::kRepeat))]);
}

void DesignerGrid::ApplyType(int line, const std::string& typeName) {
    RowBuffer.TypeName = typeName;
    DefaultTypeSize(typeName, RowBuffer.Size);
    ShowTakenType(line);
    if (CurRow > 0) RowBufferOp("PUT");
}

// One message for a faulty cell; the focus goes back to where the fault lies.
void DesignerGrid::CellFault(const char* message, QWidget* focus, bool keepText, int16_t& error) {
    App.Platform.MsgBox(QString::fromUtf8(message));
    error = 9;
    MoveFocus(focus, keepText);
}

} // namespace tavorin
