// The text of conditions and statements as the lexer, the parser and the statement reader walk
// it: blanks, digits, the code points of UTF-8, the characters of plain names, and the syntax
// error that quotes the offending text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace engine::detail::conditions {

bool IsSpace(char c);
bool IsDigit(char c);
bool IsAsciiLetter(char c);
std::string_view Trim(std::string_view s);
// Decodes the code point at s[i] and advances i past it. A byte that does not start a valid,
// shortest-form sequence yields nullopt and i advances by that one byte.
std::optional<char32_t> NextCodePoint(std::string_view s, size_t& i);
// Letters of any script may form a plain name; blanks and invisible format characters of
// Unicode may not, so that a full-width space is an error rather than part of a name.
bool IsNameCodePoint(char32_t cp);
bool IsNameStartAt(std::string_view s, size_t i);
// The input quoted in an error text: control characters as blanks, broken UTF-8 as "?", and
// cut short with "..." when long.
std::string Excerpt(std::string_view text);
[[noreturn]] void SyntaxError(std::string_view offending);

} // namespace engine::detail::conditions
