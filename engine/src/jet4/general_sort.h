// Index keys of text in the Jet General sort order (LCID 1033, the legacy version Jet 4 files
// carry): each character has inline codes, and some have extra, "crazy" or unprintable codes
// that follow the inline ones. The codes come from a table (general_sort_codes.cpp).
#pragma once

#include <string>

namespace engine::detail::jet4 {

extern const char kGeneralSortCodes[];

// Appends the key bytes of text (UTF-16 code units) after the entry's 7F/80 flag byte:
// at most the first 255 characters count and trailing blanks do not.
void AppendGeneralTextKey(const std::u16string& text, bool ascending, std::string& out);

} // namespace engine::detail::jet4
