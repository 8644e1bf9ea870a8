// What the designer's core has to tell the user. The core never shows anything itself: the
// window implements this with the platform's message boxes, and tests record what was said.
#pragma once

#include <string>

namespace tavorin {

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;
    // One message with an OK button.
    virtual void Say(const std::string& text) = 0;
    // One message with the information mark and an OK button.
    virtual void Inform(const std::string& text) = 0;
    // A question with OK and Cancel buttons: true for OK.
    virtual bool Ask(const std::string& question) = 0;
};

// Where a long run shows how far it is: the core calls it at screen rate while the run goes,
// and once more with the exact counts the run ended or stopped at.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void Counts(long read, long written) = 0;
};

} // namespace tavorin
