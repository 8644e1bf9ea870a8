#include "jetread/indexes.h"

namespace jetread {

std::vector<IndexInfo> ReadIndexes(JetFile& file, const JetTable& table, const std::string& name) {
    const jet::Tdef& tdef = table.tdef;
    const auto& nameOfNumber = table.nameOfNumber;
    std::vector<IndexInfo> indexes;
    for (const auto& ix : tdef.indexes) {
        if (ix.type == jet::kIndexTypeForeign) continue; // relationships, not user indexes
        const auto& real = tdef.realIndexes[ix.realNumber];
        IndexInfo x;
        x.name = file.Decode(ix.rawName, name, "インデックス名");
        x.primary = ix.type == jet::kIndexTypePrimary;
        x.unique = x.primary || (real.flags & jet::kIndexUnique);
        x.ignoreNulls = real.flags & jet::kIndexIgnoreNulls;
        x.required = x.primary || (real.flags & jet::kIndexRequired);
        for (const auto& ic : real.columns) {
            auto it = nameOfNumber.find(ic.columnNumber);
            if (it == nameOfNumber.end())
                throw Failure("テーブル " + Quoted(name) + " のインデックス " + Quoted(x.name) +
                              " が存在しない列を指しています");
            x.columns.push_back({it->second, ic.descending});
        }
        if (x.columns.empty())
            throw Failure("テーブル " + Quoted(name) + " のインデックス " + Quoted(x.name) +
                          " に列がありません");
        indexes.push_back(std::move(x));
    }
    return indexes;
}

} // namespace jetread
