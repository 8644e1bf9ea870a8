#include "storage/fault_injection.h"

namespace engine::detail {
namespace {
WriteFaultHook& Hook() {
    static WriteFaultHook hook;
    return hook;
}
} // namespace

void SetWriteFaultHook(WriteFaultHook hook) {
    Hook() = std::move(hook);
}

bool WriteFaultFires(std::string_view sql) {
    const auto& hook = Hook();
    return hook && hook(sql);
}

bool WriteFaultFires(const char* sql) {
    const auto& hook = Hook();
    return hook && hook(sql);
}

} // namespace engine::detail
