// What the core tells the user, shown with the platform's message boxes (the program's title,
// an OK button or the question's buttons), as every window shows its own messages; and the
// core's progress lines on a label of the window.
#pragma once

#include <QLabel>
#include <QString>

#include "core/UserPrompts.h"
#include "platform/services.h"

namespace tavorin {

class WindowPrompts : public UserPrompts {
  public:
    explicit WindowPrompts(platform::Services& platform) : platform_(platform) {}
    void Say(const std::string& text) override { platform_.MsgBox(QString::fromStdString(text)); }
    void Inform(const std::string& text) override {
        platform_.MsgBox(QString::fromStdString(text), platform::vbInformation);
    }
    Answer Ask(const std::string& text, Buttons buttons) override {
        const int style =
            buttons == Buttons::OkCancel ? platform::vbOKCancel : platform::vbYesNoCancel;
        switch (platform_.MsgBox(QString::fromStdString(text), style)) {
        case platform::vbOK:
            return Answer::Ok;
        case platform::vbYes:
            return Answer::Yes;
        case platform::vbNo:
            return Answer::No;
        default:
            return Answer::Cancel;
        }
    }
    void SayFailure(const std::string& text, const std::string& details) override {
        platform_.MsgBoxDetails(QString::fromStdString(text), QString::fromStdString(details));
    }

  private:
    platform::Services& platform_;
};

// The progress shown on a label, painted at once (the step runs without returning to the
// event loop).
class LabelProgress : public ProgressLine {
  public:
    explicit LabelProgress(QLabel* label) : label_(label) {}
    void Show(const std::string& text) override {
        label_->setText(QString::fromStdString(text));
        label_->repaint();
    }

  private:
    QLabel* label_;
};

} // namespace tavorin
