// Usage maps: the rows that list a table's pages (its records, each index, each long-value
// column), kept on usage-map pages of their own. A map whose pages fit in 512 numbers from a
// start is written inline; a larger one names map pages, each a bitmap of 32,736 pages.
#pragma once

#include <cstdint>
#include <vector>

namespace engine::detail::jet4 {

class PageFile;

struct MapPlace {
    uint32_t page = 0;
    uint8_t row = 0;
    // As definitions refer to it: the row in the low byte, the page above.
    uint32_t Ref() const { return (page << 8) | row; }
};

// Writes one row per map (pages listed in any order) and returns where each went.
std::vector<MapPlace> WriteUsageMaps(PageFile& file,
                                     const std::vector<std::vector<uint32_t>>& maps);

// The bytes of one map row; reference maps get their bitmap pages written.
std::vector<uint8_t> MapRow(PageFile& file, const std::vector<uint32_t>& pages);

} // namespace engine::detail::jet4
