// Code page 932 through glibc's iconv ("CP932", the Windows flavour of Shift_JIS).
//
// Byte counts are answered from a table of the whole BMP built once by asking iconv for every
// code point, so counting stays a table lookup per character, and it agrees with what a
// conversion writes: glibc maps a few characters one way only (U+00A5 and U+203E to 0x5C and 0x7E,
// U+301C to the same bytes as U+FF5E), and those count as the bytes they become.
#include "engine/text932.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace engine::cp932 {
namespace {

// An iconv conversion descriptor, closed when it goes out of scope.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in` into `out`. On invalid or unconvertible input returns false with
    // failedAt set to the byte offset of the offending sequence.
    bool Convert(std::string_view in, std::string& out, size_t& failedAt) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.assign(in.size() * 2 + 16, '\0');
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        size_t written = 0;
        bool flushing = false; // all input read; a stateful target may still end a shift
        for (;;) {
            char* dst = out.data() + written;
            size_t dstLeft = out.size() - written;
            size_t r = flushing ? iconv(cd_, nullptr, nullptr, &dst, &dstLeft)
                                : iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            int error = errno;
            written = static_cast<size_t>(dst - out.data());
            if (r != static_cast<size_t>(-1)) {
                if (flushing) {
                    out.resize(written);
                    return true;
                }
                flushing = true;
            } else if (error == E2BIG) {
                out.resize(out.size() * 2);
            } else {
                failedAt = in.size() - srcLeft;
                out.clear();
                return false;
            }
        }
    }

  private:
    iconv_t cd_;
};

// Two bits per BMP code point: the code page 932 byte count (0 = not encodable).
class ByteTable {
  public:
    ByteTable() {
        Iconv conv("CP932", "UTF-8");
        std::string utf8, out;
        for (char32_t cp = 0; cp <= 0xFFFF; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF) continue;
            int bytes = 0;
            if (conv.ok()) {
                utf8.clear();
                AppendUtf8(utf8, cp);
                size_t failedAt = 0;
                if (conv.Convert(utf8, out, failedAt) && (out.size() == 1 || out.size() == 2))
                    bytes = static_cast<int>(out.size());
            } else if (cp < 0x80 || (cp >= 0xFF61 && cp <= 0xFF9F)) {
                bytes = 1; // no converter: at least the single-byte ranges stay right
            }
            bits_[cp >> 2] |= static_cast<uint8_t>(bytes << ((cp & 3) * 2));
        }
        // Three-byte sequences by their first two bytes: whether they begin a valid sequence
        // (not an overlong form E0 80..9F, not a surrogate ED A0..BF) and which of the 64 code
        // points they lead to count 1.
        for (unsigned lead = 0; lead < 16; ++lead) {
            for (unsigned second = 0; second < 64; ++second) {
                if ((lead == 0 && second < 0x20) || (lead == 0xD && second >= 0x20)) continue;
                const char32_t base = (lead << 12) | (second << 6);
                uint64_t ones = 0;
                for (char32_t low = 0; low < 64; ++low)
                    if (Counted(base | low) == 1) ones |= uint64_t{1} << low;
                valid3_[(lead << 6) | second] = 1;
                ones3_[(lead << 6) | second] = ones;
            }
        }
    }

    int Get(char32_t cp) const { return (bits_[cp >> 2] >> ((cp & 3) * 2)) & 3; }
    // What a BMP code point counts in a text's length: a character code page 932 lacks counts 2.
    int Counted(char32_t cp) const {
        const int bytes = Get(cp);
        return bytes == 0 ? 2 : bytes;
    }
    // What the three-byte sequence b0 b1 b2 counts (b1 and b2 continuation bytes), or 0 when
    // b0 b1 begin no valid sequence.
    int Counted3(unsigned char b0, unsigned char b1, unsigned char b2) const {
        const unsigned block = ((b0 & 0x0Fu) << 6) | (b1 & 0x3Fu);
        if (!valid3_[block]) return 0;
        return 2 - static_cast<int>((ones3_[block] >> (b2 & 0x3F)) & 1);
    }

  private:
    std::array<uint8_t, 0x10000 / 4> bits_{};
    std::array<uint8_t, 16 * 64> valid3_{};
    std::array<uint64_t, 16 * 64> ones3_{};
};

const ByteTable& Table() {
    static const ByteTable table;
    return table;
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the run of ASCII bytes at the start of s, eight bytes at a time where possible.
size_t AsciiPrefix(std::string_view s) {
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080ULL) break;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
    return i;
}

Iconv& ToCp932() {
    thread_local Iconv conv("CP932", "UTF-8");
    return conv;
}

Iconv& FromCp932() {
    thread_local Iconv conv("UTF-8", "CP932");
    return conv;
}

} // namespace

int CharBytes(char32_t cp) {
    if (cp < 0x80) return 1;
    if (cp > 0xFFFF) return 0;
    return Table().Get(cp);
}

size_t ByteLength(std::string_view utf8) {
    const ByteTable& table = Table();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t total = 0, pos = 0;
    while (pos < n) {
        const unsigned char b0 = p[pos];
        if (b0 < 0x80) {
            const size_t start = pos++;
            for (uint64_t word; pos + 8 <= n; pos += 8) {
                std::memcpy(&word, p + pos, 8);
                if (word & 0x8080808080808080ULL) break;
            }
            while (pos < n && p[pos] < 0x80) ++pos;
            total += pos - start;
            continue;
        }
        // Runs of three-byte sequences (kana, kanji, full-width and half-width forms): the hot
        // case.
        if ((b0 & 0xF0) == 0xE0) {
            const size_t runStart = pos;
            while (n - pos >= 3) {
                const unsigned char c0 = p[pos], c1 = p[pos + 1], c2 = p[pos + 2];
                if ((c0 & 0xF0) != 0xE0 || !IsContinuation(c1) || !IsContinuation(c2)) break;
                const int bytes = table.Counted3(c0, c1, c2);
                if (bytes == 0) break;
                total += static_cast<size_t>(bytes);
                pos += 3;
            }
            if (pos != runStart) continue;
            // Not a valid sequence: an invalid byte, counted below.
        }
        const size_t start = pos;
        const char32_t cp = NextCodePoint(utf8, pos);
        if (pos - start == 1) {
            ++total; // an invalid byte (every valid non-ASCII sequence is longer)
            continue;
        }
        total += cp <= 0xFFFF ? static_cast<size_t>(table.Counted(cp)) : 2;
    }
    return total;
}

namespace {

#if defined(__SSE2__)
// Well-formed three-byte sequences and half-width katakana starting in the first `count` (at
// most 64) of the 80 bytes at p; bytes past the text are zero. Each lane of a, b and c holds a
// byte and the one and two bytes after it.
size_t Savings(const unsigned char* p, size_t count) {
    auto bytes = [](int x) { return _mm_set1_epi8(static_cast<char>(x)); };
    __m128i found = _mm_setzero_si128(); // lanes count down by one for each find
    for (size_t at = 0; at < count; at += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at + 1));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at + 2));
        const __m128i lead3 = _mm_cmpeq_epi8(_mm_and_si128(a, bytes(0xF0)), bytes(0xE0));
        const __m128i bCont = _mm_cmpeq_epi8(_mm_and_si128(b, bytes(0xC0)), bytes(0x80));
        const __m128i cCont = _mm_cmpeq_epi8(_mm_and_si128(c, bytes(0xC0)), bytes(0x80));
        const __m128i b20 = _mm_cmpeq_epi8(_mm_and_si128(b, bytes(0x20)), bytes(0x20));
        const __m128i c20 = _mm_cmpeq_epi8(_mm_and_si128(c, bytes(0x20)), bytes(0x20));
        // Overlong forms (E0 80..9F) and surrogates (ED A0..BF) are no sequences.
        const __m128i bad = _mm_or_si128(_mm_andnot_si128(b20, _mm_cmpeq_epi8(a, bytes(0xE0))),
                                         _mm_and_si128(b20, _mm_cmpeq_epi8(a, bytes(0xED))));
        const __m128i valid =
            _mm_andnot_si128(bad, _mm_and_si128(lead3, _mm_and_si128(bCont, cCont)));
        // U+FF61..U+FF9F: EF BD A1..BF and EF BE 80..9F. Continuation bytes less 0x80 (as signed
        // bytes) are 0x00..0x3F, so A1..BF are those above 0x20.
        const __m128i cFromA1 = _mm_cmpgt_epi8(_mm_xor_si128(c, bytes(0x80)), bytes(0x20));
        const __m128i kana = _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(b, bytes(0xBD)), cFromA1),
                                          _mm_andnot_si128(c20, _mm_cmpeq_epi8(b, bytes(0xBE))));
        const __m128i halfWidth =
            _mm_and_si128(valid, _mm_and_si128(_mm_cmpeq_epi8(a, bytes(0xEF)), kana));
        found = _mm_add_epi8(found, _mm_add_epi8(valid, halfWidth));
    }
    // Each lane is minus its finds (at most 8): negate and add the lanes up.
    const __m128i sums =
        _mm_sad_epu8(_mm_sub_epi8(_mm_setzero_si128(), found), _mm_setzero_si128());
    return static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
           static_cast<size_t>(_mm_extract_epi16(sums, 4));
}
#endif

} // namespace

namespace {

int CutWeightOf(char32_t cp) {
    return CharBytes(cp) == 1 ? 1 : 2;
}

} // namespace

size_t CutWeight(std::string_view utf8) {
    size_t pos = 0, bytes = 0;
    while (pos < utf8.size()) bytes += static_cast<size_t>(CutWeightOf(NextCodePoint(utf8, pos)));
    return bytes;
}

size_t CutLength(std::string_view utf8, int n) {
    int count = 0;
    size_t pos = 0;
    while (count < n && pos < utf8.size()) {
        // An ASCII character is one byte in code page 932 too.
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++pos;
            ++count;
            continue;
        }
        const size_t start = pos;
        const int weight = CutWeightOf(NextCodePoint(utf8, pos));
        if (count + weight > n) return start;
        count += weight;
    }
    return pos;
}

size_t ByteLengthBound(std::string_view utf8) {
    const size_t n = utf8.size();
#if defined(__SSE2__)
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    size_t saved = 0;
    for (size_t start = 0; start < n; start += 64) {
        const size_t count = std::min<size_t>(n - start, 64);
        if (n - start >= 80) {
            saved += Savings(p + start, count);
        } else {
            unsigned char tail[80] = {};
            std::memcpy(tail, p + start, n - start);
            saved += Savings(tail, count);
        }
    }
    return n - saved;
#else
    return n;
#endif
}

bool FitsIn(std::string_view utf8, size_t limit) {
    // No character takes more code page 932 bytes than UTF-8 bytes.
    if (utf8.size() <= limit) return true;
    if (ByteLengthBound(utf8) <= limit) return true;
    return ByteLength(utf8) <= limit;
}

char32_t NextCodePoint(std::string_view utf8, size_t& pos) {
    constexpr char32_t kReplacement = 0xFFFD;
    if (pos >= utf8.size()) return kReplacement;
    auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
    unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    size_t length;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0; // overlong
        else if (b0 == 0xED)
            hi = 0x9F; // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90; // overlong
        else if (b0 == 0xF4)
            hi = 0x8F; // above U+10FFFF
    } else {
        ++pos;
        return kReplacement;
    }
    if (utf8.size() - pos < length || byte(pos + 1) < lo || byte(pos + 1) > hi) {
        ++pos;
        return kReplacement;
    }
    for (size_t i = 1; i < length; ++i) {
        unsigned char c = byte(pos + i);
        if (!IsContinuation(c)) {
            ++pos;
            return kReplacement;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    pos += length;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::optional<std::string> FromUtf8(std::string_view utf8, size_t* badChar) {
    // ASCII is the same in both; most field names and many values are nothing else.
    if (AsciiPrefix(utf8) == utf8.size()) return std::string(utf8);
    Iconv& conv = ToCp932();
    std::string out;
    size_t failedAt = 0;
    if (conv.ok() && conv.Convert(utf8, out, failedAt)) return out;
    if (badChar) {
        size_t index = 0;
        for (size_t pos = 0; pos < failedAt && pos < utf8.size(); ++index) NextCodePoint(utf8, pos);
        *badChar = conv.ok() ? index : 0;
    }
    return std::nullopt;
}

std::optional<std::string> ToUtf8(std::string_view bytes) {
    if (AsciiPrefix(bytes) == bytes.size()) return std::string(bytes);
    Iconv& conv = FromCp932();
    std::string out;
    size_t failedAt = 0;
    if (conv.ok() && conv.Convert(bytes, out, failedAt)) return out;
    return std::nullopt;
}

std::optional<std::string> ToUtf8From(std::string_view bytes, const char* codePage) {
    if (codePage == nullptr) return std::nullopt;
    Iconv conv("UTF-8", codePage);
    std::string out;
    size_t failedAt = 0;
    if (conv.ok() && conv.Convert(bytes, out, failedAt)) return out;
    return std::nullopt;
}

} // namespace engine::cp932
