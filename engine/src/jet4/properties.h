// The properties of a table and its columns as Jet keeps them: one blob in the table's
// MSysObjects.LvProp ("MR2\0", a block of property names, then a block of values for the table
// and one for each column that has any).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"
#include "jet4/format.h"

namespace engine::detail::jet4 {

struct PropertyValue {
    std::string name;
    int type = 0;     // the DAO type, which the format's property types equal
    bool ddl = false; // set by table design (Required, AllowZeroLength, DefaultValue)
    Variant value;
    // The value's bytes as a file holds them, written as they are (a property read from a file
    // and kept without being understood); value is then unused.
    std::optional<std::string> raw;
};

struct PropertySet {
    std::string owner; // "" for the table itself, else the column's name
    std::vector<PropertyValue> values;
};

// The blob for the given sets; empty when no set has a value. Names and texts are stored as the
// format stores text (Jet 3: "KKD\0" and code page bytes).
std::string PropertyBlob(const std::vector<PropertySet>& sets, const Format& format = kJet4Format);

// The sets of a blob with their values' bytes as raw; nullopt when it is not one.
// Names are UTF-16LE after "MR2\0", or with another format (Jet 3: "KKD\0") text that decode
// turns into UTF-8.
std::optional<std::vector<PropertySet>>
ParsePropertyBlob(std::string_view blob, const Format& format = kJet4Format,
                  const std::function<std::optional<std::string>(std::string_view)>& decode = {});

// The sets of `fresh` with, added to each owner's set, the properties `old` holds for that owner
// whose names are not in `replaced` (the properties the engine knows and writes itself) and not
// already set. Owners not in `owners` (columns since dropped or renamed) are left out.
std::vector<PropertySet> KeepUnknownProperties(std::vector<PropertySet> fresh,
                                               const std::vector<PropertySet>& old,
                                               const std::vector<std::string>& owners,
                                               const std::vector<std::string>& replaced);

} // namespace engine::detail::jet4
