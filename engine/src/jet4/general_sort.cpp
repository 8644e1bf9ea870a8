#include "jet4/general_sort.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace engine::detail::jet4 {
namespace {

constexpr char kEndText = 0x01;
constexpr char kEndExtraText = 0x00;
constexpr char kExtraPlaceholder = 0x02;
constexpr size_t kMaxIndexChars = 255;

// One line of the code table per code point; surrogates are computed instead.
const std::vector<std::string>& CodeLines() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> out;
        out.reserve(0x10000 - 0x800);
        std::string_view all(kGeneralSortCodes);
        size_t at = 0;
        while (at <= all.size()) {
            size_t end = all.find('\n', at);
            if (end == std::string_view::npos) end = all.size();
            std::string_view line = all.substr(at, end - at);
            at = end + 1;
            if (!line.empty() && line[0] == '*') {
                int n = std::stoi(std::string(line.substr(1)));
                std::string prev = out.back();
                for (int i = 0; i < n; ++i) out.push_back(prev);
            } else if (!line.empty() && line[0] == '+') {
                int n = std::stoi(std::string(line.substr(1)));
                std::string prev = out.back();
                size_t width = prev.size() - 1;
                unsigned long v = std::stoul(prev.substr(1), nullptr, 16);
                for (int i = 0; i < n; ++i) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "S%0*lX", static_cast<int>(width), ++v);
                    out.emplace_back(buf);
                }
            } else {
                out.emplace_back(line);
            }
        }
        return out;
    }();
    return lines;
}

// "4D1C" (a leading zero may be left out) as bytes.
std::string HexBytes(std::string_view hex) {
    std::string h(hex);
    if (h.size() % 2) h.insert(h.begin(), '0');
    std::string out;
    for (size_t i = 0; i < h.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return out;
}

struct Codes {
    char type = 'X';
    std::string inlineBytes, extraBytes, unprintable;
    char modifier = 0;
    char crazy = 0;
};

Codes CodesOf(char16_t c) {
    Codes r;
    if (c >= 0xD800 && c <= 0xDBFF) {
        int v = int(c) - 10238;
        r.type = 'Q';
        r.inlineBytes = {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
        r.extraBytes = "\x3f";
        return r;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        int off = (int(c) - 0xDC00) % 1024;
        int base = off < 8 ? 9992 : off < 262 ? 9990 : off < 516 ? 9988 : off < 770 ? 9986 : 9984;
        int v = int(c) - base;
        r.type = 'Q';
        r.inlineBytes = {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
        r.extraBytes = "\x3f";
        return r;
    }
    size_t index = c < 0xD800 ? c : size_t(c) - 0x800;
    const std::string& line = CodeLines().at(index);
    r.type = line[0];
    std::vector<std::string_view> parts;
    std::string_view rest = std::string_view(line).substr(1);
    for (;;) {
        size_t comma = rest.find(',');
        parts.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
    }
    switch (r.type) {
    case 'S':
    case 'G':
        r.inlineBytes = HexBytes(parts[0]);
        break;
    case 'I':
        r.inlineBytes = HexBytes(parts[0]);
        r.extraBytes = HexBytes(parts[1]);
        break;
    case 'U':
        r.unprintable = HexBytes(parts[0]);
        break;
    case 'P':
        r.modifier = HexBytes(parts[0])[0];
        break;
    case 'Z':
        r.inlineBytes = HexBytes(parts[0]);
        if (!parts[1].empty()) r.extraBytes = HexBytes(parts[1]);
        r.crazy = parts[2] == "1" ? 0x02 : 0x03;
        break;
    default:
        break;
    }
    return r;
}

void TrimTrailing(std::string& s, char lo, char hi) {
    while (!s.empty() && s.back() >= lo && s.back() <= hi) s.pop_back();
}

} // namespace

void AppendGeneralTextKey(const std::u16string& input, bool ascending, std::string& out) {
    std::u16string text = input.substr(0, kMaxIndexChars);
    while (!text.empty() && text.back() == u' ') text.pop_back();

    size_t start = out.size();
    bool haveExtra = false;
    std::string extra;
    size_t extraChars = 0, unprintablePrefix = 0;
    std::string unprintable, crazy;
    size_t charOffset = 0;
    for (char16_t c : text) {
        Codes codes = CodesOf(c);
        size_t cur = charOffset;
        if (!codes.inlineBytes.empty()) {
            out += codes.inlineBytes;
            ++charOffset;
        }
        if (codes.type == 'S') continue;
        if (!codes.extraBytes.empty() || codes.modifier != 0) {
            haveExtra = true;
            if (extraChars < cur) {
                extra.append(cur - extraChars, kExtraPlaceholder);
                extraChars = cur;
            }
            if (!codes.extraBytes.empty()) {
                extra += codes.extraBytes;
                ++extraChars;
            } else if (!extra.empty()) {
                extra.back() = static_cast<char>(extra.back() + codes.modifier);
            } else {
                extra.push_back(codes.modifier);
                unprintablePrefix = 1;
            }
        }
        if (!codes.unprintable.empty()) {
            size_t pos = cur;
            if (haveExtra) pos = extra.size() + (cur - extraChars) - unprintablePrefix;
            unsigned offset = (7 + 4 * unsigned(pos)) | 0x8000;
            unprintable.push_back(static_cast<char>((offset >> 8) & 0xFF));
            unprintable.push_back(static_cast<char>(offset & 0xFF));
            unprintable.push_back(0x06);
            unprintable += codes.unprintable;
        }
        if (codes.crazy) crazy.push_back(codes.crazy);
    }
    out.push_back(kEndText);

    TrimTrailing(extra, 0, kExtraPlaceholder);
    bool hasUnprintable = !unprintable.empty(), hasCrazy = !crazy.empty();
    if (!extra.empty() || hasUnprintable || hasCrazy) {
        out += extra;
        if (hasCrazy || hasUnprintable) {
            out.push_back(kEndText);
            out.push_back(kEndText);
            if (hasCrazy) {
                TrimTrailing(crazy, 0x03, 0x03);
                // Each code takes two bits, three to a byte under the 0x80 prefix.
                unsigned char cur = 0x80;
                int n = 0;
                for (char code : crazy) {
                    cur |= static_cast<unsigned char>(code << ((2 - n) * 2));
                    if (++n == 3) {
                        out.push_back(static_cast<char>(cur));
                        cur = 0x80;
                        n = 0;
                    }
                }
                if (n > 0) out.push_back(static_cast<char>(cur));
                out += std::string("\xFF\x02\x80\xFF\x80", 5);
                if (hasUnprintable) out.push_back(static_cast<char>(0xFF));
            }
            if (hasUnprintable) {
                out.push_back(kEndText);
                out += unprintable;
            }
        }
    }
    if (!ascending) {
        out.push_back(kEndExtraText);
        for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
    }
    out.push_back(kEndExtraText);
}

} // namespace engine::detail::jet4
