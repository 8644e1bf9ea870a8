// Text helpers that count code page 932 bytes.
//
// Field sizes and printed widths count the bytes a text takes in code page 932: a double-byte
// character counts 2, ASCII and half-width katakana count 1. A character code page 932 cannot
// encode counts 2, as the engine counts it when it checks a text against its field.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/variant.h"

namespace tavorin {

// Bytes one character takes in a text field: 1 or 2.
int CharWeight(char32_t cp);

// error = 9 when any character is outside "0".."9" (full-width digits included), else 0.
void IsAllDigits(std::string_view text, int16_t& error);

// 1-based position (in characters) of the first double-byte character; 0 when there is none.
int32_t FirstWideCharPos(std::string_view text);

// Length in code page 932 bytes.
int32_t ByteLength(std::string_view text);

// The first characters of text that fit in n bytes; a double-byte character that would straddle
// the limit is left out, so the result may end one byte short.
std::string CutToBytes(std::string_view text, int n);
// How many bytes of text CutToBytes keeps.
size_t CutLength(std::string_view text, int n);

// value formatted with pattern, then cut to its rightmost characters or padded with blanks on
// the left to exactly the pattern's length: FixWidth(3, "##") is " 3", FixWidth(123, "##") "23".
std::string FixWidth(const engine::Variant& value, std::string_view pattern);

// Splits text into at most 11 lines of at most width bytes. Line feeds are dropped, a carriage
// return starts a new line, and a character that does not fit starts the next line. Text that
// would need a twelfth line is dropped. lastLine is the index of the last line used.
using WrappedLines = std::array<std::string, 11>;
void WrapText(std::string_view text, int16_t width, WrappedLines& lines, int16_t& lastLine);

// text without carriage returns and line feeds.
std::string StripCrLf(std::string_view text);

// text without the blanks at its start and end (the host's Trim).
std::string TrimBlanks(std::string_view text);

} // namespace tavorin
