// What the core tells the user, shown with the platform's message boxes (the program's title,
// an OK button), as every window shows its own messages.
#pragma once

#include <QString>

#include "core/UserPrompts.h"
#include "platform/prompts.h"

namespace tavorin {

class WindowPrompts : public UserPrompts {
  public:
    void Say(const std::string& text) override { platform::MsgBox(QString::fromStdString(text)); }
    void Inform(const std::string& text) override {
        platform::MsgBox(QString::fromStdString(text), platform::vbInformation);
    }
    bool Ask(const std::string& question) override {
        return platform::MsgBox(QString::fromStdString(question), platform::vbOKCancel) == platform::vbOK;
    }
};

} // namespace tavorin
