// What the designer's core has to tell the user. The core never shows anything itself: the
// window implements this with the platform's message boxes, and tests record what was said.
#pragma once

#include <string>

namespace tavorin {

class UserPrompts {
  public:
    // The buttons of a question, and the answer given.
    enum class Buttons { OkCancel, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~UserPrompts() = default;
    // One message with an OK button.
    virtual void Say(const std::string& text) = 0;
    // One message with the information mark and an OK button.
    virtual void Inform(const std::string& text) = 0;
    // A question with buttons; returns the button chosen.
    virtual Answer Ask(const std::string& text, Buttons buttons) = 0;
    // A failure said as text, with what lies behind it behind a details button (empty details:
    // the plain message).
    virtual void SayFailure(const std::string& text, const std::string& details) = 0;
};

// Where a long run shows how far it is: the core calls it at screen rate while the run goes,
// and once more with the exact counts the run ended or stopped at.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void Counts(long read, long written) = 0;
};

// A line that shows how far a long step has come, refreshed while the step runs.
class ProgressLine {
  public:
    virtual ~ProgressLine() = default;
    virtual void Show(const std::string& text) = 0;
};

} // namespace tavorin
