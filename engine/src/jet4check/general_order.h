// The checker's own computation of text index keys in the General sort order (LCID 1033, the
// legacy version Jet 4 files carry). Only the code table is shared with the writer: it is data
// generated from a published table (see NOTICE), read here by a parser of the checker's own.
#pragma once

#include <string>
#include <string_view>

namespace engine::detail::jet4check {

// The ascending key bytes of text (UTF-16 code units) that follow the entry's 7F flag byte, up
// to and including the closing 00: the first 255 units count, trailing blanks do not.
std::string GeneralOrderKey(std::u16string_view text);

} // namespace engine::detail::jet4check
