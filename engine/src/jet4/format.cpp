#include "jet4/format.h"

#include "jet4/bytes.h"
#include "jet4/catalog.h"
#include "jet4/general_sort.h"
#include "jet4/table.h"

namespace engine::detail::jet4 {

namespace {

// End of data, the offsets from the last column's to the first's, and their count, two bytes each.
void Jet4VarTable(std::string& row, const std::vector<uint16_t>& offsets, size_t) {
    Append16(row, static_cast<uint32_t>(row.size()));
    for (size_t k = offsets.size(); k-- > 0;) Append16(row, offsets[k]);
    Append16(row, static_cast<uint32_t>(offsets.size()));
}

void Jet4TextKey(std::string_view utf8, bool ascending, std::string& out) {
    AppendGeneralTextKey(ToUtf16(std::string(utf8), "インデックスのキー"), ascending, out);
}

} // namespace

const Format kJet4Format = {
    "Jet 4",
    0x01,
    4096,
    2ull * 1024 * 1024 * 1024,
    12,
    14,
    4060,
    4076,
    2,
    69,
    12,
    27,
    480,
    nullptr,
    "MR2\0",
    AppendUtf16Le,
    Jet4VarTable,
    Jet4Definition,
    Jet4TextKey,
    HeaderPage,
    GlobalMapPage,
};

} // namespace engine::detail::jet4
