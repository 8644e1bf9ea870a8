// Index keys of Jet 3 text in the General 97 order: one code table over the bytes of the file's
// code page (general97_codes.cpp). Each byte has inline code bytes; international letters add an
// extra nibble, written after the inline codes as a nibble stream. Text of code page 932 is keyed
// byte by byte with the same table (see engine/doc/jet3-writer.md: no source shows what a
// Japanese Jet 3 stores for its double-byte characters).
#pragma once

#include <string>
#include <string_view>

namespace engine::detail::jet3 {

extern const char kGeneral97Codes[];

// Appends the key bytes of text (code page bytes) after the entry's 7F/80 flag byte: trailing
// blanks do not count.
void AppendGeneral97Key(std::string_view bytes, bool ascending, std::string& out);

// The same for UTF-8 text, converted to code page 932 first.
void AppendTextKey(std::string_view utf8, bool ascending, std::string& out);

} // namespace engine::detail::jet3
