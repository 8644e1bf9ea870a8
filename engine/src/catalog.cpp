#include "catalog.h"

namespace engine::detail {

std::string FoldName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
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
