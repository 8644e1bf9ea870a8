// The state of one run of the module generator, built by main() (or by a test) and handed to its
// window: the workspace its databases are opened in and the platform's stand-ins.
#pragma once

#include "engine/workspace.h"
#include "platform/services.h"

struct VespenContext {
    // The real platform stand-ins (the program's), or the given doubles in their place (a
    // test's).
    explicit VespenContext(engine::Workspace& ws, const platform::StandIns& doubles = {})
        : Ws(ws), Platform(doubles) {}

    engine::Workspace& Ws;
    // The message boxes, file dialogs and shell of the run.
    platform::Services Platform;
};
