#include "core/Defaults.h"

namespace tavorin {

std::array<std::string, 6> IndexDefaultName;
std::array<int16_t, 6> IndexDefaultDup{};
std::string DefaultType;

void SetIndexDefaults() {
    IndexDefaultName = {"PrimaryKey", "SubKey1", "SubKey2", "SubKey3", "SubKey4", "SubKey5"};
    IndexDefaultDup = {0, 1, 1, 1, 1, 1};
}

void SetStartDefaults() {
    DefaultType.clear();
    SetIndexDefaults();
}

IndexSettings DefaultIndexSettings() {
    return IndexSettings{IndexDefaultName, IndexDefaultDup};
}

bool ApplyIndexDefaults(IndexSettings& settings) {
    const IndexSettings defaults = DefaultIndexSettings();
    const bool differs = settings.Name != defaults.Name || settings.Dup != defaults.Dup;
    settings = defaults;
    return differs;
}

} // namespace tavorin
