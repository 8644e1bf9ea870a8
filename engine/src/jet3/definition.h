// The Jet 3 table definition: a 43-byte header, 18-byte column descriptors with their sort order
// and code page, names with one-byte lengths in the code page, 39-byte real and 20-byte logical
// indexes (listed by name), the long-value columns' maps.
#pragma once

#include <string>

#include "jet4/format.h"
#include "jet4/table.h"

namespace engine::detail::jet3 {

std::string Definition(const jet4::Table& table, const jet4::DefinitionParts& parts);

} // namespace engine::detail::jet3
