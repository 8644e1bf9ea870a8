// The engine side of the write-fault hook that tests set (engine/testing/fault_hook.h).
#pragma once

#include <functional>
#include <string_view>

namespace engine::detail {

// Returning true makes the write statement sql fail with a disk error (3043).
using WriteFaultHook = std::function<bool(std::string_view sql)>;
void SetWriteFaultHook(WriteFaultHook hook);

// True when the test hook asks this write statement to fail.
bool WriteFaultFires(std::string_view sql);
// The same for a statement's text, measured only when a hook is set (it runs for every write).
bool WriteFaultFires(const char* sql);

} // namespace engine::detail
