// Layout lines for tests: a work row of WKTBL described field by field, numbered lines to start
// from, and writing them into a work table.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/recordset.h"
#include "engine/variant.h"

namespace coretest {

// One work row as a layout line: FLD01..FLD05, the six key entries (FLD06..FLD11), the
// description (FLD12) and the stored field it was loaded from (FLD13..FLD16).
struct Line {
    int row;
    std::string name;
    std::string type = "dbLong";
    int size = 4;
    std::string repeat{};
    std::array<std::string, 6> keys{};
    std::string description{};
    std::string loadedName{};
    std::string loadedType{};
    int loadedSize = 0;
    std::string loadedRepeat{};
};

inline const char* KeyColumn(size_t key) {
    static const char* const kColumns[6] = {"FLD06", "FLD07", "FLD08", "FLD09", "FLD10", "FLD11"};
    return kColumns[key];
}

// Rows 1..count named F1, F2, ... of the default type.
inline std::vector<Line> Numbered(int count) {
    std::vector<Line> lines{};
    for (int i = 1; i <= count; ++i) lines.push_back({i, "F" + std::to_string(i)});
    return lines;
}

// lines with the line of row changed.
inline std::vector<Line> With(std::vector<Line> lines, int row,
                              const std::function<void(Line&)>& change) {
    for (Line& line : lines)
        if (line.row == row) change(line);
    return lines;
}

// Adds lines to the work table through rows; returns the highest row number written (0 when
// none).
inline int32_t WriteLines(engine::Recordset& rows, const std::vector<Line>& lines) {
    int32_t last = 0;
    for (const Line& line : lines) {
        rows.AddNew();
        rows.SetValue("FLD01", engine::Variant::Long(line.row));
        rows.SetValue("FLD02", engine::Variant(line.name));
        rows.SetValue("FLD03", engine::Variant(line.type));
        rows.SetValue("FLD04", engine::Variant::Integer(static_cast<int16_t>(line.size)));
        rows.SetValue("FLD05", engine::Variant(line.repeat));
        for (size_t k = 0; k < 6; ++k) rows.SetValue(KeyColumn(k), engine::Variant(line.keys[k]));
        rows.SetValue("FLD12", engine::Variant(line.description));
        rows.SetValue("FLD13", engine::Variant(line.loadedName));
        rows.SetValue("FLD14", engine::Variant(line.loadedType));
        rows.SetValue("FLD15", engine::Variant::Integer(static_cast<int16_t>(line.loadedSize)));
        rows.SetValue("FLD16", engine::Variant(line.loadedRepeat));
        rows.Update();
        last = std::max(last, line.row);
    }
    return last;
}

} // namespace coretest
