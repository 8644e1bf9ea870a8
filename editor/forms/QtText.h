// The windows' texts: the UTF-8 of the core and the engine as Qt strings, and the keys that take
// an entry.
#pragma once

#include <QString>
#include <QtCore/qnamespace.h>
#include <string>

namespace tavorin {

inline QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}
inline QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Return on the main keyboard or Enter on the keypad.
inline bool IsEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace tavorin
