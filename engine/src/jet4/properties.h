// The properties of a table and its columns as Jet keeps them: one blob in the table's
// MSysObjects.LvProp ("MR2\0", a block of property names, then a block of values for the table
// and one for each column that has any).
#pragma once

#include <string>
#include <vector>

#include "engine/variant.h"
#include "jet4/format.h"

namespace engine::detail::jet4 {

struct PropertyValue {
    std::string name;
    int type = 0;      // the DAO type, which the format's property types equal
    bool ddl = false;  // set by table design (Required, AllowZeroLength, DefaultValue)
    Variant value;
};

struct PropertySet {
    std::string owner; // "" for the table itself, else the column's name
    std::vector<PropertyValue> values;
};

// The blob for the given sets; empty when no set has a value. Names and texts are stored as the
// format stores text (Jet 3: "KKD\0" and code page bytes).
std::string PropertyBlob(const std::vector<PropertySet>& sets, const Format& format = kJet4Format);

} // namespace engine::detail::jet4
