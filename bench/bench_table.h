// The benchmark table BIG of the save benchmarks (the 20 columns of bench_columns.h, N records
// of numbers, Japanese texts and dates) and the changed layout they save it with: L1 and T5
// renamed, L2 turned into Text 20 and T2 (numbers as text) into Long, T3 and T4 shortened to
// 20, D1 turned into a group of 3.
#pragma once

#include <QString>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_columns.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

inline void BuildBenchTable(const std::string& path, long n) {
    namespace dao = engine::dao;
    {
        auto db = engine::DBEngine::Instance().Workspaces(0).CreateDatabase(path, engine::kLangJapanese);
        auto td = db->CreateTableDef("BIG");
        for (const auto& c : BenchColumns()) {
            auto f = td->CreateField(c.name, c.type, c.size);
            if (c.type == dao::dbText) f->SetAllowZeroLength(true);
            td->Fields().Append(f);
        }
        db->TableDefs().Append(td);
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO BIG VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    static const char* words[] = {"東京都", "大阪市", "ｶﾅ", "商品名", "顧客", "台帳", "ABC", "ﾃｽﾄ"};
    for (long r = 0; r < n; ++r) {
        int c = 1;
        for (int i = 0; i < 5; ++i) sqlite3_bind_int64(st, c++, r * 5 + i);
        for (int i = 0; i < 3; ++i) sqlite3_bind_double(st, c++, r * 0.5 + i);
        for (int i = 0; i < 10; ++i) {
            std::string t = i == 1 ? std::to_string(r * 3 + 7) // T2 holds numbers
                                   : std::string(words[(r + i) % 8]) + words[(r * 7 + i) % 8] + std::to_string(r);
            sqlite3_bind_text(st, c++, t.c_str(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        }
        for (int i = 0; i < 2; ++i) {
            char date[32];
            std::snprintf(date, sizeof date, "%04ld-%02ld-%02ld 08:30:00", 1980 + r % 40, 1 + r % 12, 1 + r % 28);
            sqlite3_bind_text(st, c++, date, -1, SQLITE_TRANSIENT);
        }
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The save's questions answered: carry the data over, accept it; any other message ends the run.
class BenchAnswers : public platform::Prompts {
  public:
    int MsgBox(const QString& text, int, const QString&) override {
        if (text == QString::fromUtf8("テーブルを初期化しますか。")) return platform::vbNo;
        if (text == QString::fromUtf8("データ変換が終了しました。更新しますか。") ||
            text == QString::fromUtf8("主キーが設定されていません。続行しますか。"))
            return platform::vbOK;
        std::fprintf(stderr, "unexpected message: %s\n", text.toUtf8().constData());
        std::exit(1);
    }
};

// The changed layout, made in the loaded layout's work rows.
inline void ChangeBenchLayout() {
    using engine::Variant;
    auto set = [](const std::string& name, const char* column, const Variant& value) {
        auto rs = tavorin::WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
        rs->FindFirst("FLD02 = '" + name + "'");
        rs->Edit();
        rs->SetValue(column, value);
        rs->Update();
    };
    set("L1", "FLD02", Variant("LA"));
    set("T5", "FLD02", Variant("TE"));
    set("L2", "FLD03", Variant("dbText"));
    set("L2", "FLD04", Variant::Integer(20));
    set("T2", "FLD03", Variant("dbLong"));
    set("T3", "FLD04", Variant::Integer(20));
    set("T4", "FLD04", Variant::Integer(20));
    set("D1", "FLD05", Variant("3"));
}
