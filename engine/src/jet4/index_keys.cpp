#include "jet4/index_keys.h"

#include <cctype>

#include "jet4/bytes.h"
#include "jet4/format.h"
#include "jet4/page_file.h"
#include "jet4/table.h"

namespace engine::detail::jet4 {

namespace {

void Flip(std::string& s, size_t from) {
    for (size_t i = from; i < s.size(); ++i) s[i] = static_cast<char>(~s[i]);
}

std::string BigEndian(uint64_t v, size_t bytes) {
    std::string b;
    for (size_t i = bytes; i-- > 0;) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return b;
}

// Binary data in groups of eight bytes, each followed by a length byte (9: more follows).
void AppendBinary(const std::string& data, bool ascending, std::string& out) {
    size_t pos = 0, left = data.size();
    while (left > 8) {
        std::string seg = data.substr(pos, 8);
        if (!ascending) Flip(seg, 0);
        out += seg;
        out.push_back(9);
        pos += 8;
        left -= 8;
    }
    if (left > 0) {
        std::string seg = data.substr(pos, left);
        seg.append(8 - left, '\0');
        seg.push_back(static_cast<char>(left));
        if (!ascending) Flip(seg, 0);
        out += seg;
    }
}

} // namespace

std::string GuidBytes(const std::string& text) {
    std::string hex;
    for (char c : text)
        if (c != '{' && c != '}' && c != '-') hex.push_back(c);
    if (hex.size() != 32 || text.size() != 38) Fail("GUID の値 " + text + " が正しくありません");
    std::string b;
    for (size_t i = 0; i < 32; i += 2) {
        int hi = std::isxdigit(static_cast<unsigned char>(hex[i]))
                     ? std::stoi(hex.substr(i, 2), nullptr, 16)
                     : -1;
        if (hi < 0 || !std::isxdigit(static_cast<unsigned char>(hex[i + 1])))
            Fail("GUID の値 " + text + " が正しくありません");
        b.push_back(static_cast<char>(hi));
    }
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string stored(16, '\0');
    for (int i = 0; i < 16; ++i) stored[static_cast<size_t>(order[i])] = b[static_cast<size_t>(i)];
    return stored;
}

void AppendIndexKey(uint8_t type, const Variant& v, bool ascending, std::string& out) {
    AppendIndexKey(kJet4Format, type, v, ascending, out);
}

void AppendIndexKey(const Format& fmt, uint8_t type, const Variant& v, bool ascending,
                    std::string& out) {
    if (type == kBool) {
        bool t = !v.IsNull() && !v.IsEmpty() && CBool(v);
        out.push_back(ascending ? 0x7F : static_cast<char>(0x80));
        out.push_back(static_cast<char>((t == ascending) ? 0x00 : 0xFF));
        return;
    }
    if (v.IsNull() || v.IsEmpty()) {
        out.push_back(ascending ? 0x00 : static_cast<char>(0xFF));
        return;
    }
    out.push_back(ascending ? 0x7F : static_cast<char>(0x80));
    size_t start = out.size();
    switch (type) {
    case kByte:
        out += BigEndian(CByte(v), 1);
        break;
    case kInt:
        out += BigEndian(static_cast<uint16_t>(CInt(v)) ^ 0x8000u, 2);
        break;
    case kLong:
        out += BigEndian(static_cast<uint32_t>(CLng(v)) ^ 0x80000000u, 4);
        break;
    case kMoney:
        out += BigEndian(static_cast<uint64_t>(CCurScaled(v)) ^ 0x8000000000000000ull, 8);
        break;
    case kFloat:
    case kDouble:
    case kDate: {
        std::string b = type == kFloat
                            ? BigEndian(FloatBits(CSng(v)), 4)
                            : BigEndian(DoubleBits(type == kDate ? CDate(v) : CDbl(v)), 8);
        bool negative = static_cast<unsigned char>(b[0]) & 0x80;
        if (!negative)
            b[0] = static_cast<char>(b[0] ^ 0x80);
        else
            Flip(b, 0);
        out += b;
        break;
    }
    case kGuid: {
        std::string stored = GuidBytes(CStr(v));
        // The key takes the GUID in its text order.
        static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        std::string natural(16, '\0');
        for (int i = 0; i < 16; ++i)
            natural[static_cast<size_t>(i)] = stored[static_cast<size_t>(order[i])];
        AppendBinary(natural, ascending, out);
        return;
    }
    case kBinary:
    case kOle:
        AppendBinary(v.IsString() ? v.StringValue() : CStr(v), ascending, out);
        return;
    case kText:
    case kMemo:
        if (v.IsString())
            fmt.appendTextKey(v.StringValue(), ascending, out);
        else
            fmt.appendTextKey(CStr(v), ascending, out);
        return;
    default:
        Fail("この型の列にはインデックスを作れません");
    }
    if (!ascending) Flip(out, start);
}

} // namespace engine::detail::jet4
