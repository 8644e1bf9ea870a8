#include "TavorinSub.h"

#include "engine/names.h"

#include <QFrame>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <cmath>
#include <utility>

#include "FuncUtility.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "platform/prompts.h"

namespace tavorin {

using engine::Variant;
using engine::VarType;
namespace dao = engine::dao;

void HighlightToolButton(ToolbarWindow& window, int index) {
    const QWidget* image = window.ToolImage(index);
    if (!image) return;
    const QRect r = image->geometry();
    const int left = r.left() - 2, right = r.right() + 2, top = r.top() - 2,
              bottom = r.bottom() + 2;
    const QRect sides[4] = {
        QRect(left, top, right - left + 1, 1),    // top
        QRect(left, bottom, right - left + 1, 1), // bottom
        QRect(left, top, 1, bottom - top + 1),    // left
        QRect(right, top, 1, bottom - top + 1),   // right
    };
    for (int i = 0; i < 4; ++i) {
        QFrame* line = window.ToolLine(i);
        if (!line) continue;
        line->setGeometry(sides[i]);
        line->raise();
        line->show();
    }
}

void CenterOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.left() + static_cast<int>(std::floor((area.width() - size.width()) / 2.0)),
                area.top() + static_cast<int>(std::floor((area.height() - size.height()) / 2.0)));
}

void HideToolFrame(ToolbarWindow& window) {
    for (int i = 0; i < 4; ++i)
        if (QFrame* line = window.ToolLine(i)) line->hide();
}

void ShowUnexpectedError(platform::Services& platform, const std::exception& e) {
    std::string text, details;
    if (const std::optional<engine::Error> engineError = engine::AsEngineError(e)) {
        text =
            "Error; " + std::to_string(engineError->Number()) + "\r" + engineError->Description();
        details = engineError->Detail();
    } else {
        text = std::string("Error;\r") + e.what();
    }
    platform.MsgBoxDetails(QString::fromStdString(text), QString::fromStdString(details),
                           platform::vbCritical);
}

} // namespace tavorin
