// The words the windows give a value the engine's record-by-record run could not convert.
#pragma once

#include <QString>

#include "core/ValueFailure.h"

namespace tavorin {

inline QString ValueFailureMessage(const engine::RecordCopyResult& result) {
    return QString::fromStdString(ValueFailureText(result));
}

} // namespace tavorin
