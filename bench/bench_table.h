// The benchmark table BIG of the save benchmarks (the 20 columns of bench_columns.h, N records
// of numbers, Japanese texts and dates) and the changed layout they save it with: L1 and T5
// renamed, L2 turned into Text 20 and T2 (numbers as text) into Long, T3 and T4 shortened to
// 20, D1 turned into a group of 3.
#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_fill.h"
#include "engine/database.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "platform/prompts.h"

inline void BuildBenchTable(const std::string& path, long n) {
    {
        auto db =
            engine::DBEngine::Instance().Workspaces(0).CreateDatabase(path, engine::kLangJapanese);
        AppendBenchTable(*db, "BIG");
    }
    FillBenchTable(path, "BIG", n, {.numbersInT2 = true});
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

// The changed layout, made in the loaded layout's work rows (the work database).
inline void ChangeBenchLayout(engine::Database& work) {
    using engine::Variant;
    auto set = [&work](const std::string& name, const char* column, const Variant& value) {
        auto rs = work.OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
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
