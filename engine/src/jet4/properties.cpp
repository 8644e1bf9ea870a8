#include "jet4/properties.h"

#include "engine/names.h"
#include "engine/types.h"
#include "jet/jet_format.h"
#include "jet4/bytes.h"
#include "jet4/page_file.h"
#include "jet4/table.h"

namespace engine::detail::jet4 {

namespace {

std::string NameBytes(const Format& fmt, const std::string& name) {
    std::string b;
    fmt.appendText(name, "プロパティ名", b);
    std::string out;
    Append16(out, static_cast<uint32_t>(b.size()));
    return out + b;
}

std::string ValueBytes(const Format& fmt, const PropertyValue& p) {
    if (p.raw) return *p.raw;
    const Variant& v = p.value;
    std::string b;
    switch (p.type) {
    case dao::dbBoolean:
        Append8(b, CBool(v) ? 1 : 0);
        break;
    case dao::dbByte:
        Append8(b, CByte(v));
        break;
    case dao::dbInteger:
        Append16(b, static_cast<uint16_t>(CInt(v)));
        break;
    case dao::dbLong:
        Append32(b, static_cast<uint32_t>(CLng(v)));
        break;
    case dao::dbCurrency:
        Append64(b, static_cast<uint64_t>(CCurScaled(v)));
        break;
    case dao::dbSingle:
        Append32(b, FloatBits(CSng(v)));
        break;
    case dao::dbDouble:
        Append64(b, DoubleBits(CDbl(v)));
        break;
    case dao::dbDate:
        Append64(b, DoubleBits(CDate(v)));
        break;
    case dao::dbText:
    case dao::dbMemo:
        fmt.appendText(CStr(v), "プロパティ " + p.name, b);
        break;
    case dao::dbBinary:
    case dao::dbLongBinary:
        b = v.IsString() ? v.StringValue() : CStr(v);
        break;
    default:
        Fail("プロパティ " + p.name + " の型 (" + std::to_string(p.type) + ") は書けません");
    }
    if (b.size() > 0xFFF0) Fail("プロパティ " + p.name + " の値が長すぎます");
    return b;
}

void AppendBlock(std::string& out, uint16_t type, const std::string& body) {
    Append32(out, static_cast<uint32_t>(6 + body.size()));
    Append16(out, type);
    out += body;
}

} // namespace

std::string PropertyBlob(const std::vector<PropertySet>& sets, const Format& fmt) {
    std::vector<std::string> names;
    auto indexOf = [&](const std::string& name) {
        for (size_t i = 0; i < names.size(); ++i)
            if (NamesEqual(names[i], name)) return i;
        names.push_back(name);
        return names.size() - 1;
    };
    std::string values;
    for (const auto& set : sets) {
        std::string body;
        for (const auto& p : set.values) {
            if (!p.raw && (p.value.IsNull() || p.value.IsEmpty())) continue;
            std::string data = ValueBytes(fmt, p);
            std::string entry;
            Append16(entry, static_cast<uint32_t>(8 + data.size()));
            Append8(entry, p.ddl ? 1 : 0);
            Append8(entry, static_cast<uint32_t>(p.type));
            Append16(entry, static_cast<uint32_t>(indexOf(p.name)));
            Append16(entry, static_cast<uint32_t>(data.size()));
            body += entry + data;
        }
        if (body.empty()) continue;
        std::string owner = NameBytes(fmt, set.owner);
        std::string head;
        Append32(head, static_cast<uint32_t>(4 + owner.size()));
        AppendBlock(values, set.owner.empty() ? 0x0000 : 0x0001, head + owner + body);
    }
    if (names.empty()) return {};
    std::string nameList;
    for (const auto& n : names) nameList += NameBytes(fmt, n);
    std::string blob(fmt.propertiesMagic, 4);
    AppendBlock(blob, 0x0080, nameList);
    return blob + values;
}

std::optional<std::vector<PropertySet>>
ParsePropertyBlob(std::string_view blob, const Format& format,
                  const std::function<std::optional<std::string>(std::string_view)>& decode) {
    std::string b(blob);
    if (b.size() < 4 || b.compare(0, 4, std::string(format.propertiesMagic, 4)) != 0)
        return std::nullopt;
    std::vector<std::string> names;
    std::vector<PropertySet> sets;
    auto name = [&](size_t at, size_t end, size_t& next) -> std::optional<std::string> {
        if (at + 2 > end) return std::nullopt;
        size_t n = Get16(b, at);
        if (at + 2 + n > end) return std::nullopt;
        next = at + 2 + n;
        std::string_view bytes = std::string_view(b).substr(at + 2, n);
        return decode ? decode(bytes) : jet::Utf16LeToUtf8(bytes);
    };
    for (size_t at = 4; at < b.size();) {
        if (at + 6 > b.size()) return std::nullopt;
        size_t length = Get32(b, at), type = Get16(b, at + 4);
        if (length < 6 || at + length > b.size()) return std::nullopt;
        size_t end = at + length, p = at + 6;
        if (type == 0x80) {
            while (p < end) {
                auto n = name(p, end, p);
                if (!n) return std::nullopt;
                names.push_back(*n);
            }
        } else if (type == 0x00 || type == 0x01) {
            if (p + 4 > end) return std::nullopt;
            size_t headEnd = p + Get32(b, p);
            size_t unused;
            auto owner = name(p + 4, end, unused);
            if (!owner || headEnd > end) return std::nullopt;
            PropertySet set;
            set.owner = type == 0x00 ? std::string() : *owner;
            for (p = headEnd; p < end;) {
                if (p + 8 > end) return std::nullopt;
                size_t entry = Get16(b, p), dataLength = Get16(b, p + 6), index = Get16(b, p + 4);
                if (entry < 8 || p + entry > end || 8 + dataLength > entry || index >= names.size())
                    return std::nullopt;
                PropertyValue v;
                v.name = names[index];
                v.ddl = Get8(b, p + 2) != 0;
                v.type = static_cast<int>(Get8(b, p + 3));
                v.raw = b.substr(p + 8, dataLength);
                set.values.push_back(std::move(v));
                p += entry;
            }
            sets.push_back(std::move(set));
        } else {
            return std::nullopt;
        }
        at = end;
    }
    return sets;
}

std::vector<PropertySet> KeepUnknownProperties(std::vector<PropertySet> fresh,
                                               const std::vector<PropertySet>& old,
                                               const std::vector<std::string>& owners,
                                               const std::vector<std::string>& replaced) {
    auto in = [](const std::vector<std::string>& list, const std::string& s) {
        for (const auto& x : list)
            if (NamesEqual(x, s)) return true;
        return false;
    };
    for (const auto& o : old) {
        if (!o.owner.empty() && !in(owners, o.owner)) continue;
        PropertySet* target = nullptr;
        for (auto& f : fresh)
            if (NamesEqual(f.owner, o.owner)) target = &f;
        if (!target) {
            fresh.push_back({o.owner, {}});
            target = &fresh.back();
        }
        for (const auto& v : o.values) {
            if (in(replaced, v.name)) continue;
            bool set = false;
            for (const auto& f : target->values) set |= NamesEqual(f.name, v.name);
            if (!set) target->values.push_back(v);
        }
    }
    return fresh;
}

} // namespace engine::detail::jet4
