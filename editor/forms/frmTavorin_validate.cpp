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

IndexSettings frmTavorin::ShownIndexSettings() const {
    IndexSettings settings;
    for (size_t k = 0; k < 6; ++k) {
        settings.Name[k] = Text1[k + 1]->text().toStdString();
        settings.Dup[k] = static_cast<int16_t>(Combo1[k]->currentIndex());
    }
    return settings;
}

// Only the settings that differ are set, so that no box that kept its value sees a change.
void frmTavorin::ShowIndexSettings(const IndexSettings& settings) {
    for (size_t k = 0; k < 6; ++k) {
        const QString name = QString::fromStdString(settings.Name[k]);
        if (Text1[k + 1]->text() != name) Text1[k + 1]->setText(name);
        if (Combo1[k]->currentIndex() != settings.Dup[k])
            Combo1[k]->setCurrentIndex(settings.Dup[k]);
    }
}

} // namespace tavorin
