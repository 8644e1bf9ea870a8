// Code page 932 (Shift_JIS as the Japanese desktop writes it) measured and converted from the
// UTF-8 text the rest of the system works in. Field sizes count code page 932 bytes: a
// double-byte character counts 2, ASCII and half-width katakana (U+FF61..U+FF9F) count 1.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace engine::cp932 {

// Bytes the code point takes in code page 932: 1 or 2, or 0 when it cannot be encoded.
int CharBytes(char32_t cp);

// Length of a UTF-8 text in code page 932 bytes. A character code page 932 lacks counts 2
// (it would be written as a double-byte replacement). Invalid UTF-8 bytes count 1 each.
size_t ByteLength(std::string_view utf8);

// A quick upper bound of ByteLength: the UTF-8 length less one for each well-formed three-byte
// sequence and one more for each half-width katakana. Equal to ByteLength for texts of ASCII,
// kana, kanji and half-width katakana.
size_t ByteLengthBound(std::string_view utf8);
// ByteLength(utf8) <= limit, counting only when the bounds leave it open.
bool FitsIn(std::string_view utf8, size_t limit);

// The length of a text as a cut to a field's size counts it: 1 for each character code page
// 932 writes in one byte, 2 for any other (an invalid byte, read as U+FFFD, included).
size_t CutWeight(std::string_view utf8);
// How many bytes of utf8 a cut to n code page 932 bytes (as CutWeight counts) keeps; a
// character is never split.
size_t CutLength(std::string_view utf8, int n);

// Decodes one code point from UTF-8 at pos and advances pos; invalid bytes yield U+FFFD and
// advance by one.
char32_t NextCodePoint(std::string_view utf8, size_t& pos);
void AppendUtf8(std::string& out, char32_t cp);

// Converts UTF-8 to code page 932 bytes. Returns nullopt when a character cannot be
// encoded; badChar (if given) receives the 0-based character index of the first such one.
std::optional<std::string> FromUtf8(std::string_view utf8, size_t* badChar = nullptr);

// Converts code page 932 bytes to UTF-8; nullopt when the bytes are not valid code page 932.
std::optional<std::string> ToUtf8(std::string_view bytes);

// Converts with any iconv code page name ("CP932", "CP1252", ...) to UTF-8.
std::optional<std::string> ToUtf8From(std::string_view bytes, const char* codePage);

} // namespace engine::cp932
