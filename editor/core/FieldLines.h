// The layout lines of a table definition, as the layout grid and the reference window show
// them: one line per field, except that a numbered group of fields (NAME_01, NAME_02, ...)
// folds into one line named NAME with its repeat count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/property.h"
#include "engine/tabledef.h"

namespace tavorin {

// The "Description" property of a table definition or a field; empty when it is missing or
// cannot be read.
std::string DescriptionOf(const engine::Properties& properties);

struct FieldLine {
    std::string Name;
    std::string TypeName; // "(ｵｰﾄﾅﾝﾊﾞ-)" for an auto number; empty for a type without a name
    int16_t Size = 0;
    std::string Repeat; // two digits for a group ("01" for a lone NAME_01), else empty
    std::string Description;
};

// The lines of table in definition order. A field ending in "_01" opens a group; the fields
// that follow with the same base and the next numbers fold into it; any other field closes it.
// A group's type, size and description are its first field's.
std::vector<FieldLine> FoldFieldLines(engine::TableDef& table);

// The reference window's list line of a field line: the name padded with blanks to 20 code
// page 932 bytes (or cut to its first 20 characters when longer), two blanks, the type padded
// to 13 characters, two blanks, the size as "000", four blanks and the repeat count as "00"
// (nothing without one).
std::string FieldListLine(const FieldLine& line);

} // namespace tavorin
