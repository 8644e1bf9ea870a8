// Making the benchmark tables: the 20 fields of bench_columns.h appended as a table, and records
// written straight into the native file (SQLite, outside the engine, so that building the data
// costs no time of the figures).
//
// Record r of a fill: L1 = r·step, L2..L5 = L1·5 + k + salt, D1..D3 = L1/2 + k + salt, T1..T10
// two Japanese words and the number (T2 a number alone when asked, or a text of the caller's),
// W1..W2 a date at 08:30 between 1980 and 2019.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_columns.h"
#include "engine/database.h"
#include "engine/types.h"

struct BenchRows {
    long step = 1;            // L1 of record r is r·step
    long salt = 0;            // other values for the same keys
    bool numbersInT2 = false; // T2 holds numbers as text (a conversion to Long has work to do)
    std::string (*text)(long r, int k) = nullptr; // the caller's texts instead of the words
};

// Appends the table name with the 20 fields (texts may be empty); keyOnL1 adds a primary key
// on L1.
inline void AppendBenchTable(engine::Database& db, const std::string& name, bool keyOnL1 = false) {
    namespace dao = engine::dao;
    auto td = db.CreateTableDef(name);
    for (const auto& c : BenchColumns()) {
        auto f = td->CreateField(c.name, c.type, c.size);
        if (c.type == dao::dbText) f->SetAllowZeroLength(true);
        td->Fields().Append(f);
    }
    if (keyOnL1) {
        auto pk = td->CreateIndex("PrimaryKey");
        pk->SetPrimary(true);
        pk->SetUnique(true);
        pk->Fields().Append(pk->CreateField("L1"));
        td->Indexes().Append(pk);
    }
    db.TableDefs().Append(td);
}

// Writes count records into table through db, inside the caller's transaction.
inline void FillBenchRows(sqlite3* db, const std::string& table, long count,
                          const BenchRows& rows = {}) {
    static const char* words[] = {"東京都", "大阪市", "ｶﾅ", "商品名", "顧客", "台帳", "ABC", "ﾃｽﾄ"};
    sqlite3_stmt* st = nullptr;
    const std::string sql =
        "INSERT INTO \"" + table + "\" VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "filling %s: %s\n", table.c_str(), sqlite3_errmsg(db));
        std::exit(1);
    }
    const long salt = rows.salt;
    for (long i = 0; i < count; ++i) {
        const long r = i * rows.step;
        int c = 1;
        sqlite3_bind_int64(st, c++, r);
        for (int k = 1; k < 5; ++k) sqlite3_bind_int64(st, c++, r * 5 + k + salt);
        for (int k = 0; k < 3; ++k) sqlite3_bind_double(st, c++, r * 0.5 + k + salt);
        for (int k = 0; k < 10; ++k) {
            const std::string t = rows.text ? rows.text(r, k)
                                  : rows.numbersInT2 && k == 1
                                      ? std::to_string(r * 3 + 7)
                                      : std::string(words[(r + k + salt) % 8]) +
                                            words[(r * 7 + k) % 8] + std::to_string(r);
            sqlite3_bind_text(st, c++, t.c_str(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        }
        char date[32];
        std::snprintf(date, sizeof date, "%04ld-%02ld-%02ld 08:30:00", 1980 + (r + salt) % 40,
                      1 + r % 12, 1 + r % 28);
        for (int k = 0; k < 2; ++k) sqlite3_bind_text(st, c++, date, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) != SQLITE_DONE) {
            std::fprintf(stderr, "filling %s: %s\n", table.c_str(), sqlite3_errmsg(db));
            std::exit(1);
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

// Writes count records into table of the native file at path in one transaction.
inline void FillBenchTable(const std::string& path, const std::string& table, long count,
                           const BenchRows& rows = {}) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    FillBenchRows(db, table, count, rows);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}
