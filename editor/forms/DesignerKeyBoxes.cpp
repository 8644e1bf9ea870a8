// The key boxes: the six index names and their duplicates choices.
#include "DesignerKeyBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "QtText.h"

namespace tavorin {

void DesignerKeyBoxes::Combo1_GotFocus(int) {
    if (FocusSuppressed) return;
    ShowTableListFrame(false);
    Label6->setText(QString::fromUtf8("キーの設定条件を選択して下さい。"));
}

void DesignerKeyBoxes::Combo1_Click(int) {
    if (GridLoading) return;
    LayoutChanged = 9;
}

void DesignerKeyBoxes::Combo1_KeyPress(int key, int keyCode) {
    if (!IsEnter(keyCode)) return;
    MoveFocus(Text1[static_cast<size_t>(key + 2)]);
}

IndexSettings DesignerKeyBoxes::ShownIndexSettings() const {
    IndexSettings settings;
    for (size_t k = 0; k < 6; ++k) {
        settings.Name[k] = Text1[k + 1]->text().toStdString();
        settings.Dup[k] = static_cast<int16_t>(Combo1[k]->currentIndex());
    }
    return settings;
}

// Only the settings that differ are set, so that no box that kept its value sees a change.
void DesignerKeyBoxes::ShowIndexSettings(const IndexSettings& settings) {
    for (size_t k = 0; k < 6; ++k) {
        const QString name = QString::fromStdString(settings.Name[k]);
        if (Text1[k + 1]->text() != name) Text1[k + 1]->setText(name);
        if (Combo1[k]->currentIndex() != settings.Dup[k])
            Combo1[k]->setCurrentIndex(settings.Dup[k]);
    }
}

void DesignerKeyBoxes::ShowLoadedIndexSettings() {
    for (size_t slot = 0; slot < LoadedIndexName.size(); ++slot) {
        if (LoadedIndexName[slot].empty()) continue;
        Text1[slot + 1]->setText(Q(LoadedIndexName[slot]));
        Combo1[slot]->setCurrentIndex(LoadedIndexDup[slot]);
    }
}

void DesignerKeyBoxes::ApplyIndexDefaults() {
    IndexSettings settings = ShownIndexSettings();
    const bool differs = App.Defaults.ApplyIndexDefaults(settings);
    for (size_t k = 0; k < 6; ++k) {
        Text1[k + 1]->setText(QString::fromStdString(settings.Name[k]));
        Combo1[k]->setCurrentIndex(settings.Dup[k]);
    }
    // The index settings belong to the layout: a table saved now takes them.
    if (differs && !CurrentTable.empty()) LayoutChanged = 9;
}

} // namespace tavorin
