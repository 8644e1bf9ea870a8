// The system clipboard.
#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {
namespace {
Clipboard* g_clipboard = nullptr;
} // namespace

Clipboard& CurrentClipboard() {
    static SystemClipboard system;
    return g_clipboard ? *g_clipboard : system;
}

Clipboard* SetClipboard(Clipboard* clipboard) {
    Clipboard* previous = g_clipboard;
    g_clipboard = clipboard;
    return previous;
}

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
