// Text rules that count code page 932 bytes: the checks and cuts of the layout's cells, the
// fixed-width numbers of the grid and of printing.
#include "core/TextRules.h"

#include <vector>

#include "engine/text932.h"
#include "engine/variant.h"

namespace tavorin {
namespace cp932 = engine::cp932;

int CharWeight(char32_t cp) {
    return cp932::CharBytes(cp) == 1 ? 1 : 2;
}

void IsAllDigits(std::string_view text, int16_t& error) {
    error = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            error = 9;
            return;
        }
    }
}

int32_t FirstWideCharPos(std::string_view text) {
    size_t pos = 0;
    int32_t index = 0;
    while (pos < text.size()) {
        ++index;
        if (CharWeight(cp932::NextCodePoint(text, pos)) == 2) return index;
    }
    return 0;
}

int32_t ByteLength(std::string_view text) {
    return static_cast<int32_t>(cp932::CutWeight(text));
}

size_t CutLength(std::string_view text, int n) {
    return cp932::CutLength(text, n);
}

std::string CutToBytes(std::string_view text, int n) {
    return std::string(text.substr(0, CutLength(text, n)));
}

namespace {

// Byte offsets of the characters of a UTF-8 text, with the end as the last element.
std::vector<size_t> CharOffsets(std::string_view text) {
    std::vector<size_t> offsets;
    size_t pos = 0;
    while (pos < text.size()) {
        offsets.push_back(pos);
        cp932::NextCodePoint(text, pos);
    }
    offsets.push_back(text.size());
    return offsets;
}

} // namespace

std::string FixWidth(const engine::Variant& value, std::string_view pattern) {
    const std::string formatted = engine::Format(value, pattern);
    const size_t width = CharOffsets(pattern).size() - 1;
    const std::vector<size_t> offsets = CharOffsets(formatted);
    const size_t length = offsets.size() - 1;
    if (length > width) return formatted.substr(offsets[length - width]);
    return std::string(width - length, ' ') + formatted;
}

void WrapText(std::string_view text, int16_t width, WrappedLines& lines, int16_t& lastLine) {
    for (std::string& line : lines) line.clear();
    lastLine = 0;
    int line = 0, bytes = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        const char32_t cp = cp932::NextCodePoint(text, pos);
        if (cp == U'\n') continue;
        if (cp == U'\r') {
            if (line == 10) break;
            ++line;
            bytes = 0;
            continue;
        }
        const int weight = CharWeight(cp);
        // A character wider than the whole width still goes on a line of its own.
        if (bytes + weight > width && !lines[line].empty()) {
            if (line == 10) break;
            ++line;
            bytes = 0;
        }
        lines[line].append(text.substr(start, pos - start));
        bytes += weight;
    }
    lastLine = static_cast<int16_t>(line);
}

std::string StripCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

std::string TrimBlanks(std::string_view text) {
    return engine::Trim(text);
}

} // namespace tavorin
