#include "jet3/text.h"

#include "engine/text932.h"
#include "jet4/page_file.h"

namespace engine::detail::jet3 {

void AppendCp932(std::string_view utf8, const std::string& what, std::string& out) {
    bool ascii = true;
    for (char c : utf8) ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii) { // the common case needs no conversion
        out.append(utf8);
        return;
    }
    size_t bad = 0;
    auto bytes = cp932::FromUtf8(utf8, &bad);
    if (!bytes) {
        // Name the character itself: the bad-th code point of the text.
        size_t pos = 0;
        char32_t cp = 0;
        for (size_t i = 0; i <= bad && pos < utf8.size(); ++i) cp = cp932::NextCodePoint(utf8, pos);
        std::string ch;
        cp932::AppendUtf8(ch, cp);
        jet4::Fail(what + " の値の " + std::to_string(bad + 1) + " 文字目「" + ch +
                   "」はコードページ 932 で表せません");
    }
    out += *bytes;
}

} // namespace engine::detail::jet3
