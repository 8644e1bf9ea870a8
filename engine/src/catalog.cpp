#include "catalog.h"

namespace engine::detail {

std::string FoldName(std::string_view name) {
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        } else if (c == 0xEF && i + 2 < out.size() && static_cast<unsigned char>(out[i + 1]) == 0xBC) {
            // Full-width Latin capitals U+FF21..U+FF3A are EF BC A1..BA; small ones EF BD 81..9A.
            unsigned char t = static_cast<unsigned char>(out[i + 2]);
            if (t >= 0xA1 && t <= 0xBA) {
                out[i + 1] = static_cast<char>(0xBD);
                out[i + 2] = static_cast<char>(t - 0xA1 + 0x81);
            }
            i += 2;
        }
    }
    return out;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    return FoldName(a) == FoldName(b);
}

int TableInfo::ColumnIndex(std::string_view wanted) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (NamesEqual(columns[i].name, wanted)) return static_cast<int>(i);
    return -1;
}

const IndexInfo* TableInfo::FindIndex(std::string_view wanted) const {
    for (const auto& ix : indexes)
        if (NamesEqual(ix.name, wanted)) return &ix;
    return nullptr;
}

const IndexInfo* TableInfo::PrimaryIndex() const {
    for (const auto& ix : indexes)
        if (ix.primary) return &ix;
    return nullptr;
}

} // namespace engine::detail
