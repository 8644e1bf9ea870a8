// Pages 0 and 1 of a Jet 3 file: the header with its masked settings (code page 932 and its sort
// order, no encryption, no password), and the map of free pages.
#pragma once

#include <cstdint>
#include <string>

namespace engine::detail::jet3 {

std::string HeaderPage(double created);
std::string GlobalMapPage(uint32_t pageCount);

} // namespace engine::detail::jet3
