#include "fault_injection.h"

#include "engine/fault_hook.h"

namespace engine {
namespace {
WriteFaultHook& Hook() {
    static WriteFaultHook hook;
    return hook;
}
} // namespace

void SetWriteFaultHook(WriteFaultHook hook) { Hook() = std::move(hook); }

namespace detail {
bool WriteFaultFires(std::string_view sql) {
    const auto& hook = Hook();
    return hook && hook(sql);
}
} // namespace detail
} // namespace engine
