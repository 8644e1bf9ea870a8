#include "jet/jet_format.h"

#include "engine/text932.h"

#include <iconv.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

namespace engine::detail::jet {
namespace {

uint32_t U8(std::string_view b, size_t at) {
    return static_cast<unsigned char>(b[at]);
}
uint32_t U16(std::string_view b, size_t at) {
    return U8(b, at) | (U8(b, at + 1) << 8);
}
uint32_t U32(std::string_view b, size_t at) {
    return U16(b, at) | (U16(b, at + 2) << 16);
}

// Sequential reading of a table definition with bounds checks; the first failure sticks.
class Cursor {
  public:
    Cursor(std::string_view bytes, size_t pos) : b_(bytes), pos_(pos) {}
    bool Ok() const { return ok_; }
    size_t Pos() const { return pos_; }
    bool Has(size_t n) {
        if (ok_ && n <= b_.size() && pos_ <= b_.size() - n) return true;
        ok_ = false;
        return false;
    }
    uint32_t Byte() { return Has(1) ? U8(b_, Advance(1)) : 0; }
    uint32_t Word() { return Has(2) ? U16(b_, Advance(2)) : 0; }
    uint32_t Long() { return Has(4) ? U32(b_, Advance(4)) : 0; }
    std::string_view Bytes(size_t n) {
        return Has(n) ? b_.substr(Advance(n), n) : std::string_view();
    }
    void Skip(size_t n) {
        if (Has(n)) pos_ += n;
    }

  private:
    size_t Advance(size_t n) {
        size_t at = pos_;
        pos_ += n;
        return at;
    }
    std::string_view b_;
    size_t pos_;
    bool ok_ = true;
};

// Offsets of the table definition header and the sizes of its repeated entries.
struct TdefLayout {
    size_t rowCount, autoNumber, numCols, numIdx, numRealIdx, colsStart;
    size_t realIdxHeadSize; // per real index, before the column entries
    size_t colEntrySize, colNumber, colFlags, colLength, colPrecision, colScale;
    size_t realIdxSize, realIdxSkipBefore, realIdxFlags; // flags offset within a real index entry
    size_t idxEntrySize, idxNumber, idxRealNumber, idxType;
    size_t nameLengthSize;
};

constexpr TdefLayout kJet3{12, 16, 25, 27, 31, 43, 8, 18, 1,  13, 16,
                           11, 12, 39, 0,  38, 20, 0, 4,  19, 1};
constexpr TdefLayout kJet4{16, 20, 45, 47, 51, 63, 12, 25, 5,  15, 23,
                           11, 12, 52, 4,  46, 28, 4,  8,  23, 2};

// Table definitions are small: 255 columns with long names and 32 indexes fit in well under this.
constexpr size_t kMaxTdefPages = 64;
constexpr uint32_t kMaxTdefColumns = 256;
constexpr uint32_t kMaxTdefIndexes = 256;

std::string Describe(const char* what, uint32_t page) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s (page %u)", what, page);
    return buf;
}

// The bytes of one row of a data page: the page's row table says where it starts, and the
// previous row's start (or the page end) where it stops.
std::optional<std::string_view> RowOfPage(Version v, std::string_view page, uint32_t row) {
    size_t rco = RowCountOffset(v);
    if (page.size() != PageSize(v) || page[0] != 0x01) return std::nullopt;
    uint32_t rows = U16(page, rco);
    if (row >= rows || rco + 2 + size_t(rows) * 2 > page.size()) return std::nullopt;
    size_t start = U16(page, rco + 2 + row * 2) & 0x1FFF;
    size_t end = row == 0 ? page.size() : U16(page, rco + row * 2) & 0x1FFF;
    if (start < rco + 2 + size_t(rows) * 2 || start > end || end > page.size()) return std::nullopt;
    return page.substr(start, end - start);
}

} // namespace

size_t PageSize(Version v) {
    return v == Version::Jet3 ? 2048 : 4096;
}
size_t RowCountOffset(Version v) {
    return v == Version::Jet3 ? 0x08 : 0x0C;
}

Header InspectHeader(std::string_view b) {
    Header h;
    if (b.size() < 0x15) return h;
    std::string_view sig = b.substr(4, 15);
    h.versionByte = static_cast<int>(U8(b, 0x14));
    if (sig == "Standard ACE DB") {
        h.kind = Header::Kind::Ace;
    } else if (sig == "Standard Jet DB") {
        h.kind = h.versionByte == 0   ? Header::Kind::Jet3
                 : h.versionByte == 1 ? Header::Kind::Jet4
                                      : Header::Kind::Ace;
    }
    return h;
}

const std::array<uint8_t, 128>& HeaderMask() {
    static const std::array<uint8_t, 128> mask = [] {
        const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
        std::array<uint8_t, 256> s{};
        for (int i = 0; i < 256; ++i) s[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
        for (size_t i = 0, j = 0; i < 256; ++i) {
            j = (j + s[i] + key[i % 4]) & 0xFF;
            std::swap(s[i], s[j]);
        }
        std::array<uint8_t, 128> out{};
        for (size_t n = 0, i = 0, j = 0; n < out.size(); ++n) {
            i = (i + 1) & 0xFF;
            j = (j + s[i]) & 0xFF;
            std::swap(s[i], s[j]);
            out[n] = s[(s[i] + s[j]) & 0xFF];
        }
        return out;
    }();
    return mask;
}

std::optional<Tdef> ReadTdef(Version v, uint32_t firstPage, const PageSource& pages,
                             std::string& error) {
    const TdefLayout& L = v == Version::Jet3 ? kJet3 : kJet4;
    const size_t pageSize = PageSize(v);

    // The definition continues on further pages; their bytes after the 8-byte page header
    // follow on as if the first page were longer.
    std::string bytes, page;
    std::set<uint32_t> seen;
    uint32_t next = firstPage;
    while (next != 0) {
        if (!seen.insert(next).second || seen.size() > kMaxTdefPages) {
            error = Describe("table definition pages form a loop", firstPage);
            return std::nullopt;
        }
        if (!pages(next, page) || page.size() != pageSize || page[0] != 0x02) {
            error = Describe("table definition page missing or of the wrong type", next);
            return std::nullopt;
        }
        bytes.append(bytes.empty() ? std::string_view(page) : std::string_view(page).substr(8));
        next = U32(page, 4);
    }

    Tdef t;
    std::string_view b(bytes);
    if (b.size() < L.colsStart) {
        error = Describe("table definition too short", firstPage);
        return std::nullopt;
    }
    t.rowCount = U32(b, L.rowCount);
    t.nextAutoNumber = U32(b, L.autoNumber);
    uint32_t numCols = U16(b, L.numCols);
    uint32_t numIdx = U32(b, L.numIdx);
    uint32_t numRealIdx = U32(b, L.numRealIdx);
    if (numCols == 0 || numCols > kMaxTdefColumns || numIdx > kMaxTdefIndexes ||
        numRealIdx > kMaxTdefIndexes) {
        error = Describe("implausible column or index count in table definition", firstPage);
        return std::nullopt;
    }

    Cursor c(b, L.colsStart);
    c.Skip(size_t(numRealIdx) * L.realIdxHeadSize);
    t.columns.resize(numCols);
    for (auto& col : t.columns) {
        std::string_view e = c.Bytes(L.colEntrySize);
        if (!c.Ok()) break;
        col.type = static_cast<uint8_t>(U8(e, 0));
        col.number = static_cast<uint16_t>(U16(e, L.colNumber));
        col.flags = static_cast<uint8_t>(U8(e, L.colFlags));
        col.length = static_cast<uint16_t>(U16(e, L.colLength));
        col.precision = static_cast<uint8_t>(U8(e, L.colPrecision));
        col.scale = static_cast<uint8_t>(U8(e, L.colScale));
    }
    for (auto& col : t.columns) {
        size_t len = L.nameLengthSize == 1 ? c.Byte() : c.Word();
        col.rawName = std::string(c.Bytes(len));
    }
    t.realIndexes.resize(numRealIdx);
    for (auto& ri : t.realIndexes) {
        std::string_view e = c.Bytes(L.realIdxSize);
        if (!c.Ok()) break;
        for (size_t k = 0; k < 10; ++k) {
            size_t at = L.realIdxSkipBefore + k * 3;
            uint32_t number = U16(e, at);
            if (number == 0xFFFF) continue;
            ri.columns.push_back({static_cast<uint16_t>(number), (U8(e, at + 2) & 0x01) == 0});
        }
        ri.flags = static_cast<uint8_t>(U8(e, L.realIdxFlags));
    }
    t.indexes.resize(numIdx);
    for (auto& ix : t.indexes) {
        std::string_view e = c.Bytes(L.idxEntrySize);
        if (!c.Ok()) break;
        ix.number = U32(e, L.idxNumber);
        ix.realNumber = U32(e, L.idxRealNumber);
        ix.type = static_cast<uint8_t>(U8(e, L.idxType));
    }
    for (auto& ix : t.indexes) {
        size_t len = L.nameLengthSize == 1 ? c.Byte() : c.Word();
        ix.rawName = std::string(c.Bytes(len));
    }
    if (!c.Ok()) {
        error = Describe("table definition truncated", firstPage);
        return std::nullopt;
    }
    for (const auto& ix : t.indexes) {
        if (ix.type != kIndexTypeForeign && ix.realNumber >= numRealIdx) {
            error = Describe("index refers to a missing index definition", firstPage);
            return std::nullopt;
        }
    }
    return t;
}

std::optional<std::string> ReadLongValue(Version v, std::string_view field, const PageSource& pages,
                                         uint64_t maxLength, std::string& error) {
    if (field.empty()) return std::string();
    if (field.size() < 12) {
        error = "long value reference too short";
        return std::nullopt;
    }
    uint32_t head = U32(field, 0);
    uint64_t length = head & 0x3FFFFFFF;
    uint32_t kind = head >> 30;
    uint32_t pgRow = U32(field, 4);
    if (length > maxLength) {
        error = "long value longer than the file";
        return std::nullopt;
    }
    if (kind == 2) { // stored in the row itself
        if (field.size() - 12 < length) {
            error = "inline long value shorter than its length";
            return std::nullopt;
        }
        return std::string(field.substr(12, static_cast<size_t>(length)));
    }
    if (kind == 3) {
        error = "long value of unknown kind";
        return std::nullopt;
    }
    std::string out, page;
    std::set<uint32_t> seen;
    bool single = kind == 1;
    while (out.size() < length) {
        if (pgRow == 0 || !seen.insert(pgRow).second) {
            error = "long value chain broken or looping";
            return std::nullopt;
        }
        uint32_t pageNo = pgRow >> 8;
        if (!pages(pageNo, page)) {
            error = Describe("long value page missing", pageNo);
            return std::nullopt;
        }
        auto row = RowOfPage(v, page, pgRow & 0xFF);
        if (!row) {
            error = Describe("long value row missing", pageNo);
            return std::nullopt;
        }
        if (single) {
            if (row->size() < length) {
                error = Describe("long value row shorter than its length", pageNo);
                return std::nullopt;
            }
            out.assign(row->substr(0, static_cast<size_t>(length)));
            break;
        }
        if (row->size() < 4) {
            error = Describe("long value chain row too short", pageNo);
            return std::nullopt;
        }
        pgRow = U32(*row, 0);
        size_t take = std::min<uint64_t>(row->size() - 4, length - out.size());
        out.append(row->substr(4, take));
    }
    return out;
}

std::optional<std::string> Utf16LeToUtf8(std::string_view b) {
    if (b.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(b.size());
    for (size_t i = 0; i < b.size(); i += 2) {
        char32_t cp = U16(b, i);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 3 >= b.size()) return std::nullopt;
            char32_t lo = U16(b, i + 2);
            if (lo < 0xDC00 || lo > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            i += 2;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return std::nullopt;
        }
        cp932::AppendUtf8(out, cp);
    }
    return out;
}

std::optional<std::string> DecodeJet4Text(std::string_view b) {
    if (b.size() < 2 || U8(b, 0) != 0xFF || U8(b, 1) != 0xFE) return Utf16LeToUtf8(b);
    std::string units;
    units.reserve(b.size() * 2);
    bool compressed = true;
    for (size_t i = 2; i < b.size();) {
        if (b[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            units += b[i++];
            units += '\0';
        } else {
            if (i + 1 >= b.size()) return std::nullopt;
            units += b[i];
            units += b[i + 1];
            i += 2;
        }
    }
    return Utf16LeToUtf8(units);
}

CodePageDecoder::CodePageDecoder(const std::string& codePage)
    : cd_(iconv_open("UTF-8", codePage.c_str())), ok_(cd_ != reinterpret_cast<void*>(-1)),
      name_(codePage) {
    if (!ok_) return;
    // A code page is single-byte when no byte above 0x7F starts a longer sequence.
    auto cd = static_cast<iconv_t>(cd_);
    singleByte_ = true;
    for (int byte = 0x80; byte <= 0xFF && singleByte_; ++byte) {
        char in = static_cast<char>(byte), out[8];
        char* src = &in;
        char* dst = out;
        size_t srcLeft = 1, dstLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) && errno == EINVAL)
            singleByte_ = false;
    }
}

CodePageDecoder::~CodePageDecoder() {
    if (ok_) iconv_close(static_cast<iconv_t>(cd_));
}

std::optional<std::string> CodePageDecoder::Decode(std::string_view bytes) {
    if (!ok_) return std::nullopt;
    size_t ascii = 0;
    while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
    if (ascii == bytes.size()) return std::string(bytes);
    auto cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(bytes.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(bytes.data());
    size_t srcLeft = bytes.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    // Every input byte yields at most 4 output bytes, so E2BIG cannot happen: any failure is
    // an invalid (EILSEQ) or incomplete (EINVAL) sequence.
    while (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
        // A byte the single-byte code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D in
        // 1252) is, as Windows reads it, the code point of the same number.
        if (errno != EILSEQ || !singleByte_) return std::nullopt;
        const auto byte = static_cast<unsigned char>(*src);
        *dst++ = static_cast<char>(0xC0 | (byte >> 6));
        *dst++ = static_cast<char>(0x80 | (byte & 0x3F));
        dstLeft -= 2;
        ++src;
        --srcLeft;
    }
    if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

std::string IconvNameForCodePage(int codePage) {
    if (codePage <= 0) return "CP932";
    return "CP" + std::to_string(codePage);
}

std::string Jet3CodePage(const char* setting, int headerCodePage) {
    if (setting && *setting) {
        std::string s(setting);
        bool digits = s.find_first_not_of("0123456789") == std::string::npos;
        return digits ? IconvNameForCodePage(std::atoi(s.c_str())) : s;
    }
    return IconvNameForCodePage(headerCodePage);
}

int64_t ReadInt64Le(std::string_view b) {
    uint64_t v = 0;
    for (size_t i = 0; i < 8 && i < b.size(); ++i) v |= uint64_t(U8(b, i)) << (8 * i);
    return static_cast<int64_t>(v);
}

std::optional<double> DecimalToDouble(std::string_view b, int scale) {
    if (b.size() != 17) return std::nullopt;
    // Words from least to most significant sit at byte offsets 13, 9, 5, 1.
    double magnitude = 0;
    for (int word = 3; word >= 0; --word)
        magnitude = magnitude * 4294967296.0 + U32(b, 1 + 4 * (3 - word));
    double value = magnitude / std::pow(10.0, scale);
    return (U8(b, 0) & 0x80) ? -value : value;
}

std::string GuidText(std::string_view b) {
    if (b.size() != 16) return std::string();
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    char hex[3];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        std::snprintf(hex, sizeof hex, "%02X", U8(b, static_cast<size_t>(order[i])));
        out += hex;
    }
    out += '}';
    return out;
}

} // namespace engine::detail::jet
