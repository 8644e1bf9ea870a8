#include "engine/testing/fault_hook.h"

#include "storage/fault_injection.h"

namespace engine {

void SetWriteFaultHook(WriteFaultHook hook) {
    detail::SetWriteFaultHook(std::move(hook));
}

} // namespace engine
