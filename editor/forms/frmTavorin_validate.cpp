// frmTavorin: the whole-layout validation before a save, over the index settings on screen.
#include <QComboBox>
#include <QLineEdit>

#include "forms/frmTavorin.h"
#include "modules/WindowPrompts.h"

namespace tavorin {

void frmTavorin::ValidateLayout(int16_t& ErrorCode, int32_t& ErrorRow) {
    IndexSettings settings = ShownIndexSettings();
    WindowPrompts prompts(App.Platform);
    LayoutDocument::ValidateLayout(settings, prompts, ErrorCode, ErrorRow);
    ShowIndexSettings(settings);
}

} // namespace tavorin
