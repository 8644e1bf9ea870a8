// Index keys the checker computes from the bytes a record stores, apart from the writer's key
// encoder, so that the two can be compared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine::detail::jet4check {

// Whether keys of a column of this type are computed (every type the writer writes).
bool KeyedType(uint8_t type);

// The key of one column of an entry. stored holds the value's bytes as the record keeps them
// (a long value's whole data; a Boolean is present when true) or nothing for Null.
std::string StoredValueKey(uint8_t type, std::optional<std::string_view> stored, bool descending);

// The same for a Jet 3 file: text and memo bytes in the General 97 order, the rest as Jet 4.
std::string Jet3StoredValueKey(uint8_t type, std::optional<std::string_view> stored,
                               bool descending);

// Jet 4 text as stored (UTF-16LE, or FF FE and runs of one-byte characters) as code units.
std::u16string StoredText(std::string_view bytes);

} // namespace engine::detail::jet4check
