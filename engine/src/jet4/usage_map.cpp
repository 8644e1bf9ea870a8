#include "jet4/usage_map.h"

#include <algorithm>
#include <string>

#include "jet4/bytes.h"
#include "jet4/page_file.h"

namespace engine::detail::jet4 {

std::vector<uint8_t> MapRow(PageFile& file, const std::vector<uint32_t>& pages) {
    // A row is a type byte, then a start page and a bitmap, or the numbers of bitmap pages.
    const Format& fmt = file.Fmt();
    const size_t kPageSize = fmt.pageSize;
    const size_t kMapRowBytes = fmt.mapRowBytes;
    const uint32_t kInlinePages = static_cast<uint32_t>((kMapRowBytes - 5) * 8);
    const uint32_t kPagesPerMapPage = static_cast<uint32_t>((kPageSize - 4) * 8);
    const size_t kReferenceSlots = (kMapRowBytes - 1) / 4;
    std::string row(kMapRowBytes, '\0');
    uint32_t lo = pages.empty() ? 0 : *std::min_element(pages.begin(), pages.end());
    uint32_t hi = pages.empty() ? 0 : *std::max_element(pages.begin(), pages.end());
    uint32_t start = lo / 8 * 8;
    if (hi - start < kInlinePages) {
        row[0] = 0x00;
        Put32(row, 1, start);
        for (uint32_t p : pages)
            row[5 + (p - start) / 8] =
                static_cast<char>(row[5 + (p - start) / 8] | (1 << ((p - start) % 8)));
    } else {
        row[0] = 0x01;
        size_t slots = hi / kPagesPerMapPage + 1;
        if (slots > kReferenceSlots) Fail("使用ページの表が大きすぎます");
        std::vector<std::string> bitmaps(slots);
        for (uint32_t p : pages) {
            std::string& b = bitmaps[p / kPagesPerMapPage];
            if (b.empty()) {
                b.assign(kPageSize, '\0');
                b[0] = 0x05;
                b[1] = 0x01;
            }
            uint32_t bit = p % kPagesPerMapPage;
            b[4 + bit / 8] = static_cast<char>(b[4 + bit / 8] | (1 << (bit % 8)));
        }
        for (size_t k = 0; k < slots; ++k) {
            if (bitmaps[k].empty()) continue;
            uint32_t n = file.Allocate();
            file.Write(n, bitmaps[k]);
            Put32(row, 1 + 4 * k, n);
        }
    }
    return std::vector<uint8_t>(row.begin(), row.end());
}

std::vector<MapPlace> WriteUsageMaps(PageFile& file,
                                     const std::vector<std::vector<uint32_t>>& maps) {
    const Format& fmt = file.Fmt();
    const size_t kPageSize = fmt.pageSize;
    const size_t kRowsAt = fmt.rowsStart;
    std::vector<MapPlace> places;
    std::string page;
    uint32_t pageNumber = 0;
    size_t rows = 0, end = kPageSize, free = 0;
    auto flush = [&] {
        if (!page.empty()) file.Write(pageNumber, page);
        page.clear();
    };
    for (const auto& m : maps) {
        std::vector<uint8_t> row = MapRow(file, m);
        if (page.empty() || free < row.size() + 2 || rows == 255) {
            flush();
            page.assign(kPageSize, '\0');
            page[0] = 0x01;
            page[1] = 0x01;
            pageNumber = file.Allocate();
            rows = 0;
            end = kPageSize;
            free = kPageSize - kRowsAt;
        }
        end -= row.size();
        page.replace(end, row.size(), std::string(row.begin(), row.end()));
        Put16(page, kRowsAt + 2 * rows, static_cast<uint32_t>(end));
        free -= row.size() + 2;
        places.push_back({pageNumber, static_cast<uint8_t>(rows)});
        ++rows;
        Put16(page, fmt.rowCountAt, static_cast<uint32_t>(rows));
        Put16(page, 2, static_cast<uint32_t>(free));
    }
    flush();
    return places;
}

} // namespace engine::detail::jet4
