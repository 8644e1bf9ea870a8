#include "jet4check/stored_keys.h"

#include <algorithm>

#include "jet4check/general97_order.h"
#include "jet4check/general_order.h"

namespace engine::detail::jet4check {

namespace {

enum : uint8_t {
    kBoolean = 1,
    kByte = 2,
    kInteger = 3,
    kLong = 4,
    kCurrency = 5,
    kSingle = 6,
    kDouble = 7,
    kDate = 8,
    kBinary = 9,
    kText = 10,
    kOle = 11,
    kMemo = 12,
    kGuid = 15,
};

constexpr char kStart = 0x7F;
constexpr char kNull = 0x00;

std::string Reversed(std::string_view littleEndian) {
    return std::string(littleEndian.rbegin(), littleEndian.rend());
}

void Invert(std::string& s, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) s[i] = static_cast<char>(~s[i]);
}

// Segments of eight bytes, each with a length byte: 9 when more follow, else the bytes used.
// Descending inverts each segment's data and the last length byte, not the 9s.
void AppendSegments(std::string_view data, bool descending, std::string& key) {
    for (size_t at = 0; at < data.size(); at += 8) {
        size_t n = std::min<size_t>(8, data.size() - at);
        size_t segment = key.size();
        key.append(data.substr(at, n));
        key.append(8 - n, '\0');
        bool last = at + 8 >= data.size();
        key.push_back(static_cast<char>(last ? n : 9));
        if (descending) Invert(key, segment, segment + (last ? 9 : 8));
    }
}

} // namespace

bool KeyedType(uint8_t type) {
    switch (type) {
    case kBoolean:
    case kByte:
    case kInteger:
    case kLong:
    case kCurrency:
    case kSingle:
    case kDouble:
    case kDate:
    case kBinary:
    case kText:
    case kOle:
    case kMemo:
    case kGuid:
        return true;
    default:
        return false;
    }
}

std::u16string StoredText(std::string_view b) {
    std::u16string out;
    auto unit = [&](size_t i) {
        return static_cast<char16_t>(static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1])
                                                                      << 8);
    };
    if (b.size() < 2 || static_cast<uint8_t>(b[0]) != 0xFF || static_cast<uint8_t>(b[1]) != 0xFE) {
        for (size_t i = 0; i + 1 < b.size(); i += 2) out.push_back(unit(i));
        return out;
    }
    bool oneByte = true; // a zero byte switches between one-byte characters and UTF-16LE
    for (size_t i = 2; i < b.size();) {
        if (b[i] == 0) {
            oneByte = !oneByte;
            ++i;
        } else if (oneByte) {
            out.push_back(static_cast<uint8_t>(b[i++]));
        } else {
            if (i + 1 >= b.size()) break;
            out.push_back(unit(i));
            i += 2;
        }
    }
    return out;
}

std::string StoredValueKey(uint8_t type, std::optional<std::string_view> stored, bool descending) {
    std::string key;
    if (type == kBoolean) { // never Null: false instead
        key = {kStart, static_cast<char>(stored ? 0x00 : 0xFF)};
        if (descending) Invert(key, 0, key.size());
        return key;
    }
    if (!stored) return std::string(1, descending ? static_cast<char>(~kNull) : kNull);
    key.push_back(kStart);
    std::string_view v = *stored;
    switch (type) {
    case kByte:
        key += v.substr(0, 1);
        break;
    case kInteger:
    case kLong:
    case kCurrency: // two's complement with the sign bit turned: negatives first
        key += Reversed(v);
        key[1] = static_cast<char>(key[1] ^ 0x80);
        break;
    case kSingle:
    case kDouble:
    case kDate: { // IEEE: positives with the sign bit turned, negatives all inverted
        key += Reversed(v);
        if (key[1] & 0x80)
            Invert(key, 1, key.size());
        else
            key[1] = static_cast<char>(key[1] ^ 0x80);
        break;
    }
    case kGuid: { // in the order of its text: the first three groups are stored little-endian
        if (v.size() != 16) return key;
        std::string text = Reversed(v.substr(0, 4)) + Reversed(v.substr(4, 2)) +
                           Reversed(v.substr(6, 2)) + std::string(v.substr(8));
        key[0] = descending ? static_cast<char>(~kStart) : kStart;
        AppendSegments(text, descending, key);
        return key;
    }
    case kBinary:
    case kOle:
        key[0] = descending ? static_cast<char>(~kStart) : kStart;
        AppendSegments(v, descending, key);
        return key;
    case kText:
    case kMemo:
        key += GeneralOrderKey(StoredText(v));
        if (descending) {
            Invert(key, 0, key.size());
            key.push_back('\0');
        }
        return key;
    default:
        break;
    }
    if (descending) Invert(key, 0, key.size());
    return key;
}

std::string Jet3StoredValueKey(uint8_t type, std::optional<std::string_view> stored,
                               bool descending) {
    if ((type != kText && type != kMemo) || !stored)
        return StoredValueKey(type, stored, descending);
    std::string key(1, kStart);
    key += General97Key(*stored);
    if (descending) Invert(key, 0, key.size());
    return key;
}

} // namespace engine::detail::jet4check
