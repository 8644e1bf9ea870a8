// Helpers of the differential tests, which run a compiled statement and the record-by-record
// way over the same random data: random values of each field type, and every stored value of a
// file as SQLite holds it.
#pragma once

#include <sqlite3.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/types.h"
#include "engine/variant.h"
#include "modules/FuncUtility.h"

namespace difftest {

using engine::Variant;
namespace dao = engine::dao;

// Texts that convert to every type, to some, or to none.
inline const char* const kTexts[] = {"",
                                     "abc",
                                     "  pad  ",
                                     "東京都港区芝公園",
                                     "ｶﾅｶﾅｶﾅ",
                                     "123",
                                     "-45.5",
                                     "2024/01/31",
                                     "x12",
                                     "ＡＢＣ１２３",
                                     "True",
                                     "0",
                                     "3000000000",
                                     "1e40",
                                     "漢字とｶﾅとABC混在の長い文字列です",
                                     "  42 "};

inline const std::pair<const char*, int> kTypes[] = {
    {"dbBoolean", dao::dbBoolean}, {"dbByte", dao::dbByte},         {"dbInteger", dao::dbInteger},
    {"dbLong", dao::dbLong},       {"dbCurrency", dao::dbCurrency}, {"dbSingle", dao::dbSingle},
    {"dbDouble", dao::dbDouble},   {"dbDate", dao::dbDate},         {"dbText", dao::dbText},
    {"dbMemo", dao::dbMemo},
};

// A random value for a field of type (and text size), a Null one time in seven.
inline Variant RandomValue(std::mt19937& rng, int type, long size) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    if (pick(7) == 0) return Variant::Null();
    switch (type) {
    case dao::dbBoolean:
        return Variant::Boolean(pick(2) == 0);
    case dao::dbByte:
        return Variant::Byte(static_cast<uint8_t>(pick(256)));
    case dao::dbInteger:
        return Variant::Integer(static_cast<int16_t>(pick(65536) - 32768));
    case dao::dbLong:
        return Variant::Long(pick(3) == 0 ? pick(200) - 100 : static_cast<int32_t>(rng()));
    case dao::dbCurrency:
        return Variant::CurrencyScaled(static_cast<int64_t>(rng() % 2000000000u) - 1000000000);
    case dao::dbSingle:
        return Variant::Single(static_cast<float>((pick(200000) - 100000) / 7.0));
    case dao::dbDouble:
        return Variant::Double(pick(4) == 0 ? 1e12 * (pick(100) - 50)
                                            : (pick(2000000) - 1000000) / 3.0);
    case dao::dbDate:
        return Variant::Date(pick(80000) + pick(86400) / 86400.0);
    default: {
        std::string t = kTexts[pick(static_cast<int>(std::size(kTexts)))];
        if (type == dao::dbText) t = tavorin::CutToBytes(t, static_cast<int>(size));
        return Variant(t);
    }
    }
}

// Every stored value of each table in rowid order with its storage class, the tables as
// declared, and the catalog rows (fields and auto-number counters).
inline std::vector<std::string> StoredState(const std::string& path,
                                            const std::vector<std::string>& tables) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {"cannot open"};
    }
    auto run = [&](const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            out.push_back("error: " + sql);
            return;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_NULL:
                    row += "null";
                    break;
                case SQLITE_INTEGER:
                    row += "i" + std::to_string(sqlite3_column_int64(st, i));
                    break;
                case SQLITE_FLOAT: {
                    const double d = sqlite3_column_double(st, i);
                    uint64_t bits;
                    std::memcpy(&bits, &d, sizeof bits);
                    row += "r" + std::to_string(bits);
                    break;
                }
                default:
                    row += (sqlite3_column_type(st, i) == SQLITE_TEXT ? "t'" : "b'") +
                           std::string(reinterpret_cast<const char*>(sqlite3_column_blob(st, i)),
                                       static_cast<size_t>(sqlite3_column_bytes(st, i))) +
                           "'";
                }
                row += "|";
            }
            out.push_back(row);
        }
        sqlite3_finalize(st);
    };
    for (const std::string& table : tables) {
        run("SELECT sql FROM sqlite_master WHERE name = '" + table + "'");
        run("SELECT rowid, * FROM \"" + table + "\" ORDER BY rowid");
    }
    run("SELECT * FROM MSysColumns ORDER BY TableName, Ordinal");
    run("SELECT * FROM MSysTables ORDER BY Name");
    run("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    sqlite3_close(db);
    return out;
}

} // namespace difftest
