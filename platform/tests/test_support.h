// Shared helpers of the platform tests: readable QString failures, and driving the modal
// windows that exec() blocks on.
#pragma once

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace platformtest {

// Runs an action on the next modal window once it is shown.
inline void OnNextModal(std::function<void(QWidget*)> action, int triesLeft = 500) {
    QTimer::singleShot(10, [action = std::move(action), triesLeft]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            action(modal);
        } else if (triesLeft > 0) {
            OnNextModal(std::move(action), triesLeft - 1);
        }
    });
}

} // namespace platformtest
