// The Jet 3 format's description for the writer's shared pieces (jet4/format.h): 2048-byte pages,
// data rows from byte 10, one-byte record counts and offsets, 133-byte usage map rows, index
// entries from 0xF8, text in code page 932.
#pragma once

#include "jet4/format.h"

namespace engine::detail::jet3 {

extern const jet4::Format kJet3Format;

} // namespace engine::detail::jet3
