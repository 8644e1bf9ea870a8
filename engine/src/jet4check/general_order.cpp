#include "jet4check/general_order.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace engine::detail::jet4 {
// The General order's code table (engine/src/jet4/general_sort_codes.cpp): one line per code
// point U+0000-U+FFFF without the surrogates, "+N" for N simple codes counting up from the line
// before, "*N" for N copies of the line before.
extern const char kGeneralSortCodes[];
} // namespace engine::detail::jet4

namespace engine::detail::jet4check {

namespace {

// What one UTF-16 code unit contributes to a key.
struct CharCodes {
    char kind = 'X';         // S simple, I with extra codes, U unprintable, P modifies the last
                             // extra code, Z with a "crazy" flag, X ignored, Q surrogate
    std::string main;        // bytes in the text part (one character's worth)
    std::string extra;       // bytes in the extra part
    std::string unprintable; // bytes in the unprintable part
    uint8_t modifier = 0;    // P: added to the last extra byte
    uint8_t crazy = 0;       // Z: two-bit code, 2 or 3
};

int HexDigit(char h) {
    return h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10;
}

// "4D1C" as bytes; an odd number of digits lost a leading zero.
std::string FromHex(std::string_view hex) {
    std::string out;
    size_t i = 0;
    if (hex.size() % 2) out.push_back(static_cast<char>(HexDigit(hex[i++])));
    for (; i < hex.size(); i += 2)
        out.push_back(static_cast<char>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
    return out;
}

// The bytes of a big-endian number one more.
std::string Next(std::string bytes) {
    for (size_t i = bytes.size(); i-- > 0;)
        if (++reinterpret_cast<unsigned char&>(bytes[i]) != 0) break;
    return bytes;
}

CharCodes ParseLine(std::string_view line) {
    CharCodes c;
    c.kind = line.empty() ? 'X' : line[0];
    std::vector<std::string_view> fields;
    for (std::string_view rest = line.substr(line.empty() ? 0 : 1);;) {
        size_t comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    switch (c.kind) {
    case 'S':
    case 'G':
        c.main = FromHex(fields[0]);
        break;
    case 'I':
        c.main = FromHex(fields.at(0));
        c.extra = FromHex(fields.at(1));
        break;
    case 'U':
        c.unprintable = FromHex(fields[0]);
        break;
    case 'P':
        c.modifier = static_cast<uint8_t>(FromHex(fields[0]).at(0));
        break;
    case 'Z':
        c.main = FromHex(fields.at(0));
        c.extra = FromHex(fields.at(1));
        c.crazy = fields.at(2) == "1" ? 2 : 3;
        break;
    case 'X':
        break;
    default:
        throw std::logic_error("unknown sort code line");
    }
    return c;
}

// Codes of every code unit but the surrogates, by code unit (U+E000 and up sit 0x800 lower).
const std::vector<CharCodes>& Table() {
    static const std::vector<CharCodes> table = [] {
        std::vector<CharCodes> t;
        t.reserve(0x10000 - 0x800);
        std::string_view all(jet4::kGeneralSortCodes);
        while (!all.empty()) {
            size_t nl = all.find('\n');
            std::string_view line = all.substr(0, nl);
            all.remove_prefix(nl == std::string_view::npos ? all.size() : nl + 1);
            if (!line.empty() && (line[0] == '+' || line[0] == '*')) {
                long n = std::strtol(std::string(line.substr(1)).c_str(), nullptr, 10);
                for (long k = 0; k < n; ++k) {
                    CharCodes c = t.back();
                    if (line[0] == '+') c.main = Next(c.main);
                    t.push_back(std::move(c));
                }
            } else {
                t.push_back(ParseLine(line));
            }
        }
        if (t.size() != 0x10000 - 0x800)
            throw std::logic_error("sort code table of the wrong length");
        return t;
    }();
    return table;
}

// Surrogates have computed two-byte codes and the extra code 3F.
CharCodes Surrogate(char16_t u) {
    int value;
    if (u < 0xDC00) {
        value = int(u) - 10238;
    } else {
        int inBlock = (int(u) - 0xDC00) % 1024;
        value = int(u) - (inBlock < 8     ? 9992
                          : inBlock < 262 ? 9990
                          : inBlock < 516 ? 9988
                          : inBlock < 770 ? 9986
                                          : 9984);
    }
    CharCodes c;
    c.kind = 'Q';
    c.main = {static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
    c.extra = "\x3F";
    return c;
}

void DropTrailing(std::string& s, uint8_t lo, uint8_t hi) {
    while (!s.empty() && static_cast<uint8_t>(s.back()) >= lo &&
           static_cast<uint8_t>(s.back()) <= hi)
        s.pop_back();
}

} // namespace

std::string GeneralOrderKey(std::u16string_view text) {
    if (text.size() > 255) text = text.substr(0, 255);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);

    std::string key, extra, unprintable, crazy;
    size_t mainChars = 0;  // characters that put bytes in the text part so far
    size_t extraChars = 0; // characters the extra part accounts for
    size_t extraLead = 0;  // a modifier that came before any extra code
    bool extraUsed = false;
    for (char16_t u : text) {
        CharCodes surrogate;
        const CharCodes* c;
        if (u >= 0xD800 && u <= 0xDFFF) {
            surrogate = Surrogate(u);
            c = &surrogate;
        } else {
            c = &Table()[u < 0xD800 ? u : u - 0x800];
        }
        const size_t position = mainChars;
        if (!c->main.empty()) {
            key += c->main;
            ++mainChars;
        }
        if (!c->extra.empty() || c->modifier) {
            extraUsed = true;
            // Characters without extra codes in between stand as 02.
            if (extraChars < position) {
                extra.append(position - extraChars, '\x02');
                extraChars = position;
            }
            if (!c->extra.empty()) {
                extra += c->extra;
                ++extraChars;
            } else if (extra.empty()) {
                extra.push_back(static_cast<char>(c->modifier));
                extraLead = 1;
            } else {
                extra.back() = static_cast<char>(static_cast<uint8_t>(extra.back()) + c->modifier);
            }
        }
        if (!c->unprintable.empty()) {
            size_t at = extraUsed ? extra.size() + (position - extraChars) - extraLead : position;
            unsigned mark = (7 + 4 * static_cast<unsigned>(at)) | 0x8000;
            unprintable.push_back(static_cast<char>(mark >> 8));
            unprintable.push_back(static_cast<char>(mark & 0xFF));
            unprintable.push_back('\x06');
            unprintable += c->unprintable;
        }
        if (c->crazy) crazy.push_back(static_cast<char>(c->crazy));
    }
    key.push_back('\x01');
    DropTrailing(extra, 0, 2);
    if (!extra.empty() || !unprintable.empty() || !crazy.empty()) {
        key += extra;
        if (!unprintable.empty() || !crazy.empty()) {
            key += "\x01\x01";
            if (!crazy.empty()) {
                DropTrailing(crazy, 3, 3);
                // Three two-bit codes a byte, under the bits 10.
                for (size_t i = 0; i < crazy.size(); i += 3) {
                    uint8_t b = 0x80;
                    for (size_t k = 0; k < 3 && i + k < crazy.size(); ++k)
                        b = static_cast<uint8_t>(
                            b | (static_cast<uint8_t>(crazy[i + k]) << (4 - 2 * k)));
                    key.push_back(static_cast<char>(b));
                }
                key += std::string("\xFF\x02\x80\xFF\x80", 5);
                if (!unprintable.empty()) key.push_back('\xFF');
            }
            if (!unprintable.empty()) {
                key.push_back('\x01');
                key += unprintable;
            }
        }
    }
    key.push_back('\x00');
    return key;
}

} // namespace engine::detail::jet4check
