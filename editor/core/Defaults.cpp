#include "core/Defaults.h"

namespace tavorin {

void DesignerDefaults::SetIndexDefaults() {
    IndexDefaultName = {"PrimaryKey", "SubKey1", "SubKey2", "SubKey3", "SubKey4", "SubKey5"};
    IndexDefaultDup = {0, 1, 1, 1, 1, 1};
}

void DesignerDefaults::SetStartDefaults() {
    DefaultType.clear();
    SetIndexDefaults();
}

IndexSettings DesignerDefaults::DefaultIndexSettings() const {
    return IndexSettings{IndexDefaultName, IndexDefaultDup};
}

bool DesignerDefaults::ApplyIndexDefaults(IndexSettings& settings) const {
    const IndexSettings defaults = DefaultIndexSettings();
    const bool differs = settings.Name != defaults.Name || settings.Dup != defaults.Dup;
    settings = defaults;
    return differs;
}

} // namespace tavorin
