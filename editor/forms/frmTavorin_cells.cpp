// frmTavorin: the rules of each input box of the layout (ValidateCell) and the choice of a
// row's data type.
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "GridCells.h"
#include "frmTavorin.h"
#include "modules/FuncUtility.h"
#include "modules/KeyEntry.h"
#include "platform/prompts.h"

namespace tavorin {

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

std::string Trimmed(const QString& text) {
    std::string s = text.toStdString();
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

void Say(const char* text) {
    platform::MsgBox(QString::fromUtf8(text));
}

// A text longer than its work-table column holds: the work row would refuse it.
std::string TooLongMessage(const char* what, int bytes) {
    return std::string(what) + " " + std::to_string(bytes) + "バイト（全角 " +
           std::to_string(bytes / 2) + "文字）までです。";
}

// The value of a text of digits, held at 100000 so that no length of digits overflows.
long DigitsValue(const std::string& digits) {
    long value = 0;
    for (char c : digits) value = std::min(100000L, value * 10 + (c - '0'));
    return value;
}

bool HasContentBesidesName(const RowBufferType& row) {
    if (!row.TypeName.empty() || row.Size != 0 || !row.Repeat.empty() || !row.Description.empty())
        return true;
    for (const std::string& key : row.Keys)
        if (!key.empty()) return true;
    return false;
}

} // namespace

void frmTavorin::ValidateCell(int index, int16_t& error) {
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
        if (column == grid::kName) {
            ValidateName(line, text, error);
        } else if (column == grid::kSize) {
            ValidateSize(line, text, error);
        } else if (column == grid::kRepeat) {
            ValidateRepeat(line, text, error);
        } else if (grid::IsKeyColumn(column)) {
            std::string normalised;
            CheckKeyEntry(text, normalised, RowBuffer.Repeat, error);
            if (error != 0) {
                MoveFocus(Text1[static_cast<size_t>(index)], true);
                return;
            }
            RowBuffer.Keys[static_cast<size_t>(column - grid::kPrimaryKey)] = normalised;
        } else {
            ValidateDescription(line, text, error);
        }
    }
    if (error == 0) RestoreCell(index);
}

void frmTavorin::ValidateTableName(const std::string& text, int16_t& error) {
    // A layout needs a file to be saved into.
    if (CurrentFile.FullPath.empty()) {
        platform::MsgBox(QString::fromUtf8("フォルダーを開いて、ファイルを指定して下さい。"));
        Text1[0]->clear();
        LayoutChanged = 0;
        MoveFocus(Text1[0], true);
        return;
    }
    // A new table's name is refused where it is typed, as the save would refuse it.
    if (!text.empty() && !IsStoredTable(text) && RefuseTableName(text)) {
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

void frmTavorin::ValidateName(int line, const std::string& text, int16_t& error) {
    QLineEdit* cell = Text1[static_cast<size_t>(grid::CellOf(line, grid::kName))];
    if (ByteLength(text) > kWorkNameBytes) {
        CellFault(TooLongMessage("フィールド名称は", kWorkNameBytes).c_str(), cell, true, error);
        return;
    }
    if (!text.empty()) {
        RowBuffer.Name = text;
        TakeDefaultTypeIfNone(line);
        return;
    }
    if (HasContentBesidesName(RowBuffer)) {
        CellFault("フィールド名称は省略できません。", cell, true, error);
        return;
    }
    noStore_ = true;
}

void frmTavorin::ValidateDescription(int line, const std::string& text, int16_t& error) {
    if (ByteLength(text) > kWorkDescriptionBytes) {
        CellFault(TooLongMessage("フィールドの備考は", kWorkDescriptionBytes).c_str(),
                  Text1[static_cast<size_t>(grid::CellOf(line, grid::kDescription))], true, error);
        return;
    }
    RowBuffer.Description = text;
}

void frmTavorin::ValidateSize(int line, const std::string& text, int16_t& error) {
    QLineEdit* cell = Text1[static_cast<size_t>(grid::CellOf(line, grid::kSize))];
    if (RowBuffer.TypeName.empty()) {
        CellFault("データ種別が未入力です。", Combo2[static_cast<size_t>(line)], false, error);
        return;
    }
    if (!SameText(RowBuffer.TypeName, "dbText")) return; // the size of other types is fixed
    if (text.empty()) {
        RowBuffer.Size = 50;
        return;
    }
    IsAllDigits(text, error);
    if (error != 0) {
        CellFault("数字以外の文字が入力されています。", cell, true, error);
        return;
    }
    const long value = DigitsValue(text);
    if (value > 255) {
        CellFault("テキストタイプのサイズは最大　'255'　です。", cell, true, error);
        return;
    }
    RowBuffer.Size = static_cast<int16_t>(value);
}

void frmTavorin::ValidateRepeat(int line, const std::string& text, int16_t& error) {
    QLineEdit* cell = Text1[static_cast<size_t>(grid::CellOf(line, grid::kRepeat))];
    if (RowBuffer.TypeName.empty()) {
        CellFault("データ種別が未入力です。", Combo2[static_cast<size_t>(line)], false, error);
        return;
    }
    IsAllDigits(text, error);
    if (error != 0) {
        CellFault("数字以外の文字が入力されています。", cell, true, error);
        return;
    }
    const long value = DigitsValue(text);
    if (value == 0) {
        RowBuffer.Repeat.clear();
        return;
    }
    const char* fault = nullptr;
    if (SameText(RowBuffer.TypeName, kAutoNumberType))
        fault = "オートナンバー型のフィールドに繰り返しは指定できません。";
    else if (value > 99)
        fault = "配列は　１次元で９９までです。";
    if (fault) {
        CellFault(fault, cell, true, error);
        return;
    }
    // Kept as typed ("05" stays "05"); leading zeros beyond the column's two characters go.
    RowBuffer.Repeat = text.size() <= 2 ? text : std::to_string(value);
}

void frmTavorin::TakeDefaultTypeIfNone(int line) {
    if (!RowBuffer.TypeName.empty() || DefaultType.empty()) return;
    RowBuffer.TypeName = DefaultType;
    DefaultTypeSize(DefaultType, RowBuffer.Size);
    const int first = grid::CellOf(line, grid::kName);
    GridLoading = 9;
    Combo2[static_cast<size_t>(line)]->setCurrentIndex(TypeListIndexOf(DefaultType));
    GridLoading = 0;
    Text1[static_cast<size_t>(first + grid::kSize)]->setText(
        Q(FixWidth(engine::Variant::Integer(RowBuffer.Size), "####")));
    MoveFocus(Text1[static_cast<size_t>(
        first + (SameText(DefaultType, "dbText") ? grid::kSize : grid::kRepeat))]);
}

void frmTavorin::ApplyType(int line, const std::string& typeName) {
    RowBuffer.TypeName = typeName;
    DefaultTypeSize(typeName, RowBuffer.Size);
    const int first = grid::CellOf(line, grid::kName);
    GridLoading = 9;
    Combo2[static_cast<size_t>(line)]->setCurrentIndex(TypeListIndexOf(typeName));
    GridLoading = 0;
    Text1[static_cast<size_t>(first + grid::kSize)]->setText(
        Q(FixWidth(engine::Variant::Integer(RowBuffer.Size), "####")));
    MoveFocus(Text1[static_cast<size_t>(
        first + (SameText(typeName, "dbText") ? grid::kSize : grid::kRepeat))]);
    if (CurRow > 0) RowBufferOp("PUT");
}

std::string frmTavorin::FieldNameFault(const std::string& name) {
    if (ByteLength(name) > kWorkNameBytes) return TooLongMessage("フィールド名称は", kWorkNameBytes);
    if (name.find_first_not_of(' ') == std::string::npos) return "フィールド名称は省略できません。";
    return {};
}

// One message for a faulty cell; the focus goes back to where the fault lies.
void frmTavorin::CellFault(const char* message, QWidget* focus, bool keepText, int16_t& error) {
    Say(message);
    error = 9;
    MoveFocus(focus, keepText);
}

} // namespace tavorin
