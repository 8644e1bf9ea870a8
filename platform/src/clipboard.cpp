// The system clipboard.
#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {
void SystemClipboard::SetText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

QString SystemClipboard::Text() const {
    return QGuiApplication::clipboard()->text();
}

void SystemClipboard::Clear() {
    QGuiApplication::clipboard()->clear();
}

} // namespace platform
