// The Jet 3 format's description for the writer's shared pieces (jet4/format.h): 2048-byte pages,
// data rows from byte 10, one-byte record counts and offsets, 133-byte usage map rows, index
// entries from 0xF8, text in code page 932.
#pragma once

#include "jet4/format.h"

namespace engine::detail::jet3 {

extern const jet4::Format kJet3Format;

// The description for changing a Jet 3 file of the given code page in place: code page 932 the
// writer's own; 1252 with its text in that code page, keyed in the General 97 order, and the
// General sort order (0x0409) in its column descriptors. Null for other code pages.
const jet4::Format* Jet3FormatFor(int codePage);

} // namespace engine::detail::jet3
