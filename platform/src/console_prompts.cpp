// Message boxes written to a stream.
#include "platform/console_prompts.h"

namespace platform {

int ConsolePrompts::MsgBox(const QString& text, int style, const QString& title) {
    shown_ << text;
    // The host's line breaks (CR, CR LF) as line breaks of the terminal.
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    out_ << (title.isEmpty() ? std::string() : title.toStdString() + ": ") << line.toStdString()
         << std::endl;
    switch (style & 7) {
    case vbOKCancel:
    case vbYesNoCancel:
    case vbRetryCancel:
        return vbCancel;
    case vbYesNo:
        return vbNo;
    case vbAbortRetryIgnore:
        return vbAbort;
    default:
        return vbOK;
    }
}

} // namespace platform
