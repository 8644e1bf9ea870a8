// Jet 3 text: single and double bytes of the file's code page, 932 (Shift_JIS as Windows writes
// it) for the product's Japanese users.
#pragma once

#include <string>
#include <string_view>

namespace engine::detail::jet3 {

constexpr uint16_t kCodePage = 932;
constexpr uint16_t kSortOrder =
    0x0411; // Japanese (LCID 1041), the sort order of code page 932 files

// Appends utf8 as code page 932 bytes; a character the code page lacks fails the write, naming
// what (the table and field) and the character.
void AppendCp932(std::string_view utf8, const std::string& what, std::string& out);

// Appends utf8 as code page 1252 bytes (the Western files Access 97 made); a character the code
// page lacks fails the write, naming what.
void AppendCp1252(std::string_view utf8, const std::string& what, std::string& out);

} // namespace engine::detail::jet3
