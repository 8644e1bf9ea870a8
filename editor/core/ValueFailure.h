// The words the user is given for a value the engine's record-by-record run could not convert.
#pragma once

#include <cstdint>
#include <string>

#include "engine/copy_plan.h"
#include "engine/variant.h"

namespace tavorin {

// "Error; " & Str(number) & " in " & the new field's name & CR & the description.
inline std::string ValueFailureText(const engine::RecordCopyResult& result) {
    const engine::Variant number = engine::Variant::Long(static_cast<int32_t>(result.errorNumber));
    return "Error; " + engine::Str(number) + " in " + result.failedTarget + "\r" +
           result.errorDescription;
}

} // namespace tavorin
