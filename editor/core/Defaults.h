// The defaults of the designer: the index settings a new or released layout starts with and
// the data type a new row takes when none is chosen. The default-value window edits them; they
// hold for the run of the program (one set per run, in its context).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/LayoutDocument.h"

namespace tavorin {

struct DesignerDefaults {
    std::array<std::string, 6> IndexDefaultName;
    std::array<int16_t, 6> IndexDefaultDup{};
    // The data type a new row takes when none is chosen; empty = none.
    std::string DefaultType;

    // The index names and duplicates choices of the start.
    void SetIndexDefaults();
    // The defaults of the start: no default type, the index defaults above.
    void SetStartDefaults();
    // The index settings the defaults give.
    IndexSettings DefaultIndexSettings() const;
    // settings take the defaults; true when any of them differed.
    bool ApplyIndexDefaults(IndexSettings& settings) const;
};

} // namespace tavorin
