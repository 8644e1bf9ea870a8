#include "core/CellRules.h"

#include <algorithm>

#include "core/KeyEntry.h"
#include "core/TextRules.h"
#include "core/TypeVocabulary.h"

namespace tavorin {
namespace {

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

CellVerdict Fault(std::string message, bool atTypeBox = false) {
    CellVerdict verdict;
    verdict.fault = std::move(message);
    verdict.atTypeBox = atTypeBox;
    return verdict;
}

const char* const kNoType = "データ種別が未入力です。";
const char* const kNotDigits = "数字以外の文字が入力されています。";

bool AllDigits(const std::string& text) {
    int16_t error = 0;
    IsAllDigits(text, error);
    return error == 0;
}

} // namespace

CellVerdict ValidateName(RowBufferType& row, const std::string& text,
                         const std::string& defaultType) {
    if (ByteLength(text) > kWorkNameBytes)
        return Fault(TooLongMessage("フィールド名称は", kWorkNameBytes));
    CellVerdict verdict;
    if (!text.empty()) {
        row.Name = text;
        if (row.TypeName.empty() && !defaultType.empty()) {
            row.TypeName = defaultType;
            DefaultTypeSize(defaultType, row.Size);
            verdict.tookDefaultType = true;
        }
        return verdict;
    }
    if (HasContentBesidesName(row)) return Fault("フィールド名称は省略できません。");
    verdict.noStore = true;
    return verdict;
}

CellVerdict ValidateDescription(RowBufferType& row, const std::string& text) {
    if (ByteLength(text) > kWorkDescriptionBytes)
        return Fault(TooLongMessage("フィールドの備考は", kWorkDescriptionBytes));
    row.Description = text;
    return {};
}

CellVerdict ValidateSize(RowBufferType& row, const std::string& text) {
    if (row.TypeName.empty()) return Fault(kNoType, true);
    if (!SameText(row.TypeName, "dbText")) return {}; // the size of other types is fixed
    if (text.empty()) {
        row.Size = 50;
        return {};
    }
    if (!AllDigits(text)) return Fault(kNotDigits);
    const long value = DigitsValue(text);
    if (value > 255) return Fault("テキストタイプのサイズは最大　'255'　です。");
    row.Size = static_cast<int16_t>(value);
    return {};
}

CellVerdict ValidateRepeat(RowBufferType& row, const std::string& text) {
    if (row.TypeName.empty()) return Fault(kNoType, true);
    if (!AllDigits(text)) return Fault(kNotDigits);
    const long value = DigitsValue(text);
    if (value == 0) {
        row.Repeat.clear();
        return {};
    }
    if (SameText(row.TypeName, kAutoNumberType))
        return Fault("オートナンバー型のフィールドに繰り返しは指定できません。");
    if (value > 99) return Fault("配列は　１次元で９９までです。");
    // Kept as typed ("05" stays "05"); leading zeros beyond the column's two characters go.
    row.Repeat = text.size() <= 2 ? text : std::to_string(value);
    return {};
}

CellVerdict ValidateKey(RowBufferType& row, int key, const std::string& text) {
    std::string normalised;
    std::string fault = KeyEntryFault(text, normalised, row.Repeat);
    if (!fault.empty()) return Fault(std::move(fault));
    row.Keys[static_cast<size_t>(key)] = normalised;
    return {};
}

std::string FieldNameFault(const std::string& name) {
    if (ByteLength(name) > kWorkNameBytes)
        return TooLongMessage("フィールド名称は", kWorkNameBytes);
    if (name.find_first_not_of(' ') == std::string::npos) return "フィールド名称は省略できません。";
    return {};
}

} // namespace tavorin
