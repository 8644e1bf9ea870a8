// How the core reports a step that must stop. Engine failures travel as engine::Error; a rule
// of the core's own that stops a step throws StepFailed, told to the user as the engine's
// failures are ("number : description"). The 0/9 error codes remain only where a window places
// the cursor by them (ValidateLayout).
#pragma once

#include <stdexcept>
#include <string>

namespace tavorin {

class StepFailed : public std::runtime_error {
  public:
    StepFailed(long number, const std::string& description)
        : std::runtime_error(description), number_(number), description_(description) {}
    long Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }

  private:
    long number_;
    std::string description_;
};

} // namespace tavorin
