// Jet 3 records keep the variable columns' offsets in one byte each. The high bytes are given by
// a jump table: for every 256 bytes of record one entry, the index of the first offset (the end
// of data counting as the last) that lies past that boundary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine::detail::jet3 {

// Appends the end of data, the offsets from the last column's to the first's, the jump table and
// the count to a record whose variable data ends at row.size(); maskBytes of null mask follow.
void AppendVarTable(std::string& row, const std::vector<uint16_t>& offsets, size_t maskBytes);

} // namespace engine::detail::jet3
