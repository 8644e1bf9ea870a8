// The state of one run of the module generator, built by main() (or by a test) and handed to its
// window: the platform's stand-ins.
#pragma once

#include "platform/services.h"

struct VespenContext {
    // The real platform stand-ins (the program's).
    VespenContext() = default;
    // The given doubles in place of the real stand-ins (a test's).
    explicit VespenContext(const platform::StandIns& doubles) : Platform(doubles) {}

    // The message boxes, file dialogs and shell of the run.
    platform::Services Platform;
};
