// Index keys of the format: each column's value as bytes that compare in the index's order.
#pragma once

#include <cstdint>
#include <string>

#include "engine/variant.h"

namespace engine::detail::jet4 {

struct Format;

// Appends the key of one column's value (Null included) for a column of the given type; text
// takes the format's text order (Jet 4's General order when no format is named).
void AppendIndexKey(uint8_t columnType, const Variant& value, bool ascending, std::string& out);
void AppendIndexKey(const Format& format, uint8_t columnType, const Variant& value, bool ascending,
                    std::string& out);

// The 16 stored bytes of a GUID given as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (the first
// three groups little-endian); fails on any other text.
std::string GuidBytes(const std::string& text);

inline uint32_t Get32BE(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

} // namespace engine::detail::jet4
