// Progress shown at screen rate rather than once per record: a long run asks Due() for every
// record and refreshes what it shows only when it says so; the exact final count is shown
// whatever the time.
#pragma once

#include <chrono>

namespace tavorin {

class ScreenRate {
  public:
    // True at most once every 50 ms (not at the start: the first refresh waits its turn too).
    bool Due() {
        const auto now = Clock::now();
        if (now - shown_ < std::chrono::milliseconds(50)) return false;
        shown_ = now;
        return true;
    }

  private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point shown_ = Clock::now();
};

} // namespace tavorin
