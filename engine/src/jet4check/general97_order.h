// The checker's own computation of Jet 3 text keys in the General 97 order, over the code page
// bytes a record stores. Only the code table is shared with the writer (data, see NOTICE).
#pragma once

#include <string>
#include <string_view>

namespace engine::detail::jet4check {

// The ascending key bytes that follow the entry's 7F flag byte: inline codes, then the extra
// codes' nibbles or a closing 00. Trailing blanks do not count.
std::string General97Key(std::string_view bytes);

} // namespace engine::detail::jet4check
