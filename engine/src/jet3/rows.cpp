#include "jet3/rows.h"

#include "jet4/page_file.h"

namespace engine::detail::jet3 {

void AppendVarTable(std::string& row, const std::vector<uint16_t>& offsets, size_t maskBytes) {
    const size_t n = offsets.size();
    const size_t eod = row.size();
    // The offsets with the end of data last; each entry of the jump table names the first of
    // them at or past its 256-byte boundary.
    auto at = [&](size_t i) { return i < n ? size_t(offsets[i]) : eod; };
    std::vector<uint8_t> jumps;
    for (size_t boundary = 256; boundary <= eod; boundary += 256) {
        size_t i = 0;
        while (at(i) < boundary) ++i;
        jumps.push_back(static_cast<uint8_t>(i));
    }
    // Readers take the number of entries from the record's length, (length - 1) / 256: when the
    // table itself carries the record past another boundary one unused entry (FF) fills it.
    size_t length = eod + 1 + n + jumps.size() + 1 + maskBytes;
    bool dummy = (length - 1) / 256 > jumps.size();
    if (dummy && length / 256 != jumps.size() + 1)
        jet4::Fail("レコードの可変長フィールドの表が Jet 3 の形式に収まりません");
    row.push_back(static_cast<char>(eod & 0xFF));
    for (size_t k = n; k-- > 0;) row.push_back(static_cast<char>(offsets[k] & 0xFF));
    if (dummy) row.push_back(static_cast<char>(0xFF));
    // The entry nearest the count is the first boundary's.
    for (size_t j = jumps.size(); j-- > 0;) row.push_back(static_cast<char>(jumps[j]));
    row.push_back(static_cast<char>(n));
}

} // namespace engine::detail::jet3
