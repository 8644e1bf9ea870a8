// Message boxes of a program run from the command line with no window: each text goes to a
// stream (standard error), one line per message, and questions get the answer that changes
// nothing: Cancel where the button set has it, else No, else the first button.
#pragma once

#include <QStringList>
#include <ostream>

#include "platform/prompts.h"

namespace platform {

class ConsolePrompts : public Prompts {
  public:
    explicit ConsolePrompts(std::ostream& out) : out_(out) {}
    int MsgBox(const QString& text, int style, const QString& title) override;
    const QStringList& Shown() const { return shown_; }

  private:
    std::ostream& out_;
    QStringList shown_;
};

} // namespace platform
