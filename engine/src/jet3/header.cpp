#include "jet3/header.h"

#include "jet/jet_format.h"
#include "jet3/text.h"
#include "jet4/bytes.h"
#include "jet4/catalog.h"

namespace engine::detail::jet3 {

using namespace jet4;

namespace {
constexpr size_t kPage = 2048;
constexpr size_t kMasked = 126;
constexpr size_t kMapRow = 133;
} // namespace

std::string HeaderPage(double) { // Jet 3 keeps no creation date
    std::string p(kPage, '\0');
    p.replace(0, 4, std::string("\x00\x01\x00\x00", 4));
    p.replace(4, 16, std::string("Standard Jet DB\0", 16));
    p[0x14] = 0x00;
    // The masked settings, in the clear first.
    const uint8_t lead[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0,
                              3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    for (size_t i = 0; i < sizeof lead; ++i) p[0x18 + i] = static_cast<char>(lead[i]);
    Put16(p, 0x38, 1);
    Put16(p, 0x3A, kSortOrder);
    Put16(p, 0x3C, kCodePage);
    Put32(p, 0x3E, 0); // pages are not encrypted; the password (0x42, 20 bytes) stays empty
    Put16(p, 0x56, 0x251E);
    const auto& mask = jet::HeaderMask();
    for (size_t i = 0; i < kMasked; ++i) p[0x18 + i] = static_cast<char>(p[0x18 + i] ^ mask[i]);
    // The commit pairs: the exclusive user's first, then 00 01 for each shared user.
    p[0x600] = 0x01;
    p[0x601] = 0x01;
    for (size_t i = 0x603; i < kPage; i += 2) p[i] = 0x01;
    return p;
}

std::string GlobalMapPage(uint32_t pageCount) {
    std::string p(kPage, '\0');
    p[0] = 0x01;
    p[1] = 0x01;
    Put32(p, 4, 1);
    // Row 0: the pages that are free, every page past the end counting as free; row 1 empty.
    std::string map(kMapRow, '\0');
    constexpr uint32_t kInline = (kMapRow - 5) * 8;
    if (pageCount <= kInline) {
        for (uint32_t n = pageCount; n < kInline; ++n)
            map[5 + n / 8] = static_cast<char>(map[5 + n / 8] | (1 << (n % 8)));
    } else {
        map[0] = 0x01; // a reference map without pages: no page is free
    }
    size_t end0 = kPage - kMapRow, end1 = end0 - kMapRow;
    p.replace(end0, kMapRow, map);
    Put16(p, 8, 2);
    Put16(p, 10, static_cast<uint32_t>(end0));
    Put16(p, 12, static_cast<uint32_t>(end1));
    Put16(p, 2, static_cast<uint32_t>(kPage - 10 - 2 * (kMapRow + 2)));
    return p;
}

} // namespace engine::detail::jet3
