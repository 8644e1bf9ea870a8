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
};

} // namespace tavorin
