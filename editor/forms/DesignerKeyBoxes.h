// The designer window's key boxes: the six index names and duplicates choices of Frame3, and
// the index settings they show.
#pragma once

#include "DesignerGrid.h"

namespace tavorin {

class DesignerKeyBoxes : public DesignerGrid {
  public:
    void Combo1_GotFocus(int key) override;
    void Combo1_Click(int key);
    void Combo1_KeyPress(int key, int keyCode) override;
    // The index settings of the layout on screen take the defaults; the layout counts as
    // changed when a table is open and a setting differs.
    void ApplyIndexDefaults();

  protected:
    using DesignerGrid::DesignerGrid;

    // The index settings on screen, and back onto it.
    IndexSettings ShownIndexSettings() const;
    void ShowIndexSettings(const IndexSettings& settings);
    // The index settings of the table as loaded.
    void ShowLoadedIndexSettings();
};

} // namespace tavorin
