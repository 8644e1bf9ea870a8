// The conversion table of a save: which new field takes which old field's values, and how each
// value is converted on the way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/copy_plan.h"

namespace engine {
class Database;
}

namespace tavorin {

// FieldMap(entry, column), entries 1..999 of eight text columns: 1 entry number, 2 new field
// name, 3 new type name, 4 new size, 5 old field name, 6 old type name, 7 old size, 8 old repeat
// count. An index outside those ranges raises error 9.
class FieldMapTable {
  public:
    static constexpr int kEntries = 999;
    static constexpr int kColumns = 8;
    FieldMapTable();
    std::string& operator()(int entry, int column);
    const std::string& operator()(int entry, int column) const;
    void Clear();

  private:
    static size_t CellIndex(int entry, int column);
    std::vector<std::string> cells_;
};

// The conversion of the values of one FieldMap entry for the new layout, worked out once from
// the entry's type and size cells: a text cut to the new size in code page 932 bytes without
// splitting a double-byte character, a number or date converted to the new type, Null and the
// empty text made the empty text or zero. Apply throws the engine error of a value that does
// not convert.
using ValueConversion = engine::ValueConversion;
// The conversion between the layout's old and new type (type names, as FieldMap holds them)
// and size.
ValueConversion ConversionOf(const std::string& newType, const std::string& newSize,
                             const std::string& oldType, const std::string& oldSize);
// From the cells of map's entry (error 9 for an entry outside the table).
ValueConversion ConversionForEntry(const FieldMapTable& map, int16_t entry);

class UserPrompts;

// map from the layout rows of WKTBL in work, as a save fills it: one entry per field of the
// new layout, numbered groups expanded, each with the old field it takes its values from. False
// (its message said through prompts) when it would pass 999 entries. count receives the number
// of entries.
bool BuildFieldMap(FieldMapTable& map, engine::Database& work, UserPrompts& prompts, int& count);

// The carry-over as the engine's copy plan of map's first count entries.
engine::CopyPlan CarryPlan(const FieldMapTable& map, const std::string& oldTable,
                           const std::string& buildTable, int count);

} // namespace tavorin
