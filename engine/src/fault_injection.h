// The engine side of the write-fault hook (see engine/fault_hook.h).
#pragma once

#include <string_view>

namespace engine::detail {

// True when the test hook asks this write statement to fail.
bool WriteFaultFires(std::string_view sql);

} // namespace engine::detail
