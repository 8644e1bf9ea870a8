#include "storage/catalog.h"

namespace engine::detail {

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
