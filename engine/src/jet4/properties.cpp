#include "jet4/properties.h"

#include <strings.h>

#include "engine/types.h"
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
    const Variant& v = p.value;
    std::string b;
    switch (p.type) {
    case dao::dbBoolean: Append8(b, CBool(v) ? 1 : 0); break;
    case dao::dbByte: Append8(b, CByte(v)); break;
    case dao::dbInteger: Append16(b, static_cast<uint16_t>(CInt(v))); break;
    case dao::dbLong: Append32(b, static_cast<uint32_t>(CLng(v))); break;
    case dao::dbCurrency: Append64(b, static_cast<uint64_t>(CCurScaled(v))); break;
    case dao::dbSingle: Append32(b, FloatBits(CSng(v))); break;
    case dao::dbDouble: Append64(b, DoubleBits(CDbl(v))); break;
    case dao::dbDate: Append64(b, DoubleBits(CDate(v))); break;
    case dao::dbText:
    case dao::dbMemo: fmt.appendText(CStr(v), "プロパティ " + p.name, b); break;
    case dao::dbBinary:
    case dao::dbLongBinary: b = v.IsString() ? v.StringValue() : CStr(v); break;
    default: Fail("プロパティ " + p.name + " の型 (" + std::to_string(p.type) + ") は書けません");
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
            if (strcasecmp(names[i].c_str(), name.c_str()) == 0) return i;
        names.push_back(name);
        return names.size() - 1;
    };
    std::string values;
    for (const auto& set : sets) {
        std::string body;
        for (const auto& p : set.values) {
            if (p.value.IsNull() || p.value.IsEmpty()) continue;
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

} // namespace engine::detail::jet4
