// The rules of one cell of the layout grid: what a typed text makes of the row in edit, or the
// message of its fault. The checks never show anything; the view shows the fault and places
// the cursor (in the cell, or in the row's type box when the fault lies there).
#pragma once

#include <string>

#include "core/LayoutDocument.h"
#include "core/WorkTable.h"

namespace tavorin {

struct CellVerdict {
    std::string fault;            // the message of a fault; empty when the text was taken
    bool atTypeBox = false;       // the fault lies in the row's missing type
    bool noStore = false;         // the row is entirely empty: nothing is written back
    bool tookDefaultType = false; // a named row without a type took the default type
    bool Accepted() const { return fault.empty(); }
};

// text is trimmed of blanks in each of these; row is changed only when the text is taken.
// The field name: a row with content needs one; a new name takes the default type when the
// row has none (defaultType, empty = none).
CellVerdict ValidateName(RowBufferType& row, const std::string& text,
                         const std::string& defaultType);
// The size: a text field's (1..255, empty = 50); other types' sizes are fixed and ignored.
CellVerdict ValidateSize(RowBufferType& row, const std::string& text);
// The repeat count: 0 or empty for none, at most 99, none for an auto number.
CellVerdict ValidateRepeat(RowBufferType& row, const std::string& text);
// The entry of key (0 primary, 1..5 sub keys).
CellVerdict ValidateKey(RowBufferType& row, int key, const std::string& text);
CellVerdict ValidateDescription(RowBufferType& row, const std::string& text);

// The message the field-name cell gives for name as a typed name of a row with content
// (trimmed: empty, or longer than the work row holds); empty when the cell takes it.
std::string FieldNameFault(const std::string& name);

} // namespace tavorin
