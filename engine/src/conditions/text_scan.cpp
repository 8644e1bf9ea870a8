#include "conditions/text_scan.h"

#include "engine/error.h"

namespace engine::detail::conditions {
namespace {

// Error texts quote the offending input; a message box has no use for more than this.
constexpr size_t kMaxDetailBytes = 255;

} // namespace

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Decodes the code point at s[i] and advances i past it. A byte that does not start a valid,
// shortest-form sequence yields nullopt and i advances by that one byte.
std::optional<char32_t> NextCodePoint(std::string_view s, size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    size_t len;
    char32_t cp;
    char32_t least;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, least = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, least = 0x10000;
    } else {
        ++i;
        return std::nullopt;
    }
    if (s.size() - i < len) {
        ++i;
        return std::nullopt;
    }
    for (size_t k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return std::nullopt;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return std::nullopt;
    }
    i += len;
    return cp;
}

// Letters of any script may form a plain name; blanks and invisible format characters of
// Unicode may not, so that a full-width space is an error rather than part of a name.
bool IsNameCodePoint(char32_t cp) {
    if (cp < 0x80) {
        auto c = static_cast<char>(cp);
        return IsAsciiLetter(c) || IsDigit(c) || c == '_';
    }
    if (cp <= 0xA0) return false; // C1 controls, no-break space
    return !(cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202F) ||
             (cp >= 0x205F && cp <= 0x206F) || cp == 0x3000 || cp == 0xFEFF ||
             (cp >= 0xFFF0 && cp <= 0xFFFF));
}

bool IsNameStartAt(std::string_view s, size_t i) {
    if (i >= s.size() || IsDigit(s[i])) return false;
    size_t j = i;
    auto cp = NextCodePoint(s, j);
    return cp && IsNameCodePoint(*cp);
}

// The input quoted in an error text: control characters as blanks, broken UTF-8 as "?", and
// cut short with "..." when long.
std::string Excerpt(std::string_view text) {
    text = Trim(text);
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        auto cp = NextCodePoint(text, i);
        if (out.size() + (i - start) > kMaxDetailBytes) {
            out += "...";
            break;
        }
        if (!cp)
            out += '?';
        else if (*cp < 0x20 || *cp == 0x7F)
            out += ' ';
        else
            out.append(text.substr(start, i - start));
    }
    return out;
}

[[noreturn]] void SyntaxError(std::string_view offending) {
    Throw(err::kSyntaxInExpression, Excerpt(offending));
}

} // namespace engine::detail::conditions
