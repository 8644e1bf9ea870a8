#include "jet3/definition.h"

#include <algorithm>
#include <numeric>

#include "jet3/text.h"
#include "jet4/bytes.h"
#include "jet4/page_file.h"
#include "jet4/usage_map.h"

namespace engine::detail::jet3 {

using namespace jet4;

namespace {

bool IsLong(uint8_t type) {
    return type == kOle || type == kMemo;
}

// Names compared as Jet 3 lists its indexes: ASCII letters without case, other bytes as they are.
std::string Folded(const std::string& bytes) {
    std::string f = bytes;
    for (char& c : f)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return f;
}

} // namespace

std::string Definition(const Table& table, const DefinitionParts& parts) {
    const auto& cols = table.columns;
    const std::vector<MapPlace>& places = *parts.places;
    std::string d(43, '\0');
    d[0] = 0x02;
    d[1] = 0x01;
    d[2] = 'V';
    d[3] = 'C';
    Put32(d, 12, parts.rowCount);
    Put32(d, 16, table.lastAutoNumber);
    d[20] = table.system ? 0x53 : 0x4E;
    Put16(d, 21, static_cast<uint32_t>(cols.size()));
    Put16(d, 23, static_cast<uint32_t>(parts.varCount));
    Put16(d, 25, static_cast<uint32_t>(cols.size()));
    Put32(d, 27, static_cast<uint32_t>(table.indexes.size()));
    Put32(d, 31, static_cast<uint32_t>(table.realIndexes.size()));
    Put32(d, 35, places[0].Ref());
    Put32(d, 39, places[1].Ref());
    for (uint32_t distinct : parts.distinctKeys) {
        Append32(d, 0);
        Append32(d, distinct);
    }
    for (const auto& c : cols) {
        Append8(d, c.type);
        Append16(d, c.number);
        Append16(d, c.variable ? c.varIndex : 0);
        Append16(d, table.system ? 0 : c.number); // the system tables carry 0 here
        Append16(d, 1);
        Append16(d, kSortOrder);
        Append16(d, kCodePage);
        Append8(d, c.flags);
        Append16(d, c.fixedOffset);
        Append16(d, c.length);
    }
    auto name = [&](const std::string& utf8) {
        std::string b;
        AppendCp932(utf8, "テーブル " + table.name + " の名前 " + utf8, b);
        if (b.size() > 64)
            Fail("テーブル " + table.name + " の名前 " + utf8 + " が 64 バイトを超えます");
        return b;
    };
    for (const auto& c : cols) {
        std::string b = name(c.name);
        Append8(d, static_cast<uint32_t>(b.size()));
        d += b;
    }
    for (size_t k = 0; k < table.realIndexes.size(); ++k) {
        const RealIndex& r = table.realIndexes[k];
        for (size_t i = 0; i < 10; ++i) {
            if (i < r.columns.size()) {
                Append16(d, cols[r.columns[i].column].number);
                Append8(d, r.columns[i].descending ? 0x00 : 0x01);
            } else {
                Append16(d, 0xFFFF);
                Append8(d, 0);
            }
        }
        Append32(d, places[2 + k].Ref());
        Append32(d, parts.roots[k]);
        Append8(d, r.flags & ~kIndexAlways); // Jet 3 has no always-set bit
    }
    // The logical indexes are listed by name, each keeping its own number.
    std::vector<std::string> names;
    for (const auto& x : table.indexes) names.push_back(name(x.name));
    std::vector<size_t> order(table.indexes.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return Folded(names[a]) < Folded(names[b]); });
    for (size_t k : order) {
        const LogicalIndex& x = table.indexes[k];
        Append32(d, static_cast<uint32_t>(k));
        Append32(d, x.real);
        Append8(d, 0);
        Append32(d, 0xFFFFFFFF);
        Append32(d, 0);
        Append8(d, 0x04);
        Append8(d, 0x04);
        Append8(d, x.primary ? 0x01 : 0x00);
    }
    for (size_t k : order) {
        Append8(d, static_cast<uint32_t>(names[k].size()));
        d += names[k];
    }
    size_t lv = 2 + table.realIndexes.size();
    for (const auto& c : cols) {
        if (!IsLong(c.type)) continue;
        Append16(d, c.number);
        Append32(d, places[lv++].Ref());
        Append32(d, places[lv++].Ref());
    }
    Append16(d, 0xFFFF);
    Put32(d, 8, static_cast<uint32_t>(d.size()));
    return d;
}

} // namespace engine::detail::jet3
