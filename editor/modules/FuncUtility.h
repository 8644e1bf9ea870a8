// Text helpers that count code page 932 bytes, and the removal of a folder tree.
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

// Deletes folder with all its files and subfolders, the deepest first subfolder first and the
// root last. A folder that does not exist is no error. On a failure the message
// "Error-" & Str(number) & CR & description is shown and errorMark is 9.
// Symbolic links are removed as links; the tree they point into is never entered.
void RemoveFolderTree(const std::string& folder, int16_t& errorMark);

// Deletes the files of folder, then the folder itself (which must have no subfolders left).
void RemoveFolderFiles(const std::string& folder, int16_t& errorMark);

// Extracts the LZH or ZIP archive at archivePath (told by the last three characters of the
// path, letter case ignored) with the archiver into destination, a folder path ending in a
// separator. errorMark is 9 when the archive is of another kind, the library is missing (after
// the message "該当するDLLがありません。"), the archive is not valid or its extraction failed;
// else 0 with fileCount the number of files in the archive.
void ExtractArchive(const std::string& archivePath, const std::string& destination,
                    int32_t& fileCount, int16_t& errorMark);

} // namespace tavorin
