#include "ImportToolbar.h"

#include <QHBoxLayout>

#include "ToolImage.h"

namespace tavorin {

void ImportToolbar::BuildToolbar(QWidget* parent) {
    ToolBar1 = new QWidget(parent);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    auto* row = new QHBoxLayout(ToolBar1);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(6);
    for (int i = 0; i < kToolButtons; ++i) {
        if (i == 8 || i == 9) continue;
        Image1[i] = new tavorin::ToolImage(ImportToolPicture(i), ToolBar1);
        Image1[i]->setObjectName(QStringLiteral("Image1_%1").arg(i));
        row->addWidget(Image1[i]);
        // Groups: end and back | the two files | the four runs | help.
        if (i == 1 || i == 3 || i == 7) row->addSpacing(10);
    }
    row->addStretch(1);
    AddToolFrameLines(ToolBar1, Line1);
}

} // namespace tavorin
