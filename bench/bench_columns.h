// The 20 fields of the benchmark tables: L1-L5 Long, D1-D3 Double, T1-T10 Text 40, W1-W2 Date.
#pragma once

#include <string>
#include <vector>

#include "engine/types.h"

struct BenchColumn {
    std::string name;
    int type;
    long size;
};

inline std::vector<BenchColumn> BenchColumns() {
    namespace dao = engine::dao;
    std::vector<BenchColumn> cols;
    for (int i = 1; i <= 5; ++i) cols.push_back({"L" + std::to_string(i), dao::dbLong, 0});
    for (int i = 1; i <= 3; ++i) cols.push_back({"D" + std::to_string(i), dao::dbDouble, 0});
    for (int i = 1; i <= 10; ++i) cols.push_back({"T" + std::to_string(i), dao::dbText, 40});
    for (int i = 1; i <= 2; ++i) cols.push_back({"W" + std::to_string(i), dao::dbDate, 0});
    return cols;
}
