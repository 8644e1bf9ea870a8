// Helpers of the saving tests: a user database with data, the designer started on it, and
// edits of the loaded layout made directly in WKTBL.
#pragma once

#include <QApplication>
#include <QTest>
#include <map>
#include <memory>

#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "forms/frmTavorin.h"
#include "modules/WorkStore.h"
#include "platform/scripted.h"
#include "test_support.h"

namespace savetest {

using engine::Variant;
namespace dao = engine::dao;

// Answers the questions of a save by their text; anything else is answered OK and recorded.
class AnsweringPrompts : public platform::Prompts {
  public:
    int MsgBox(const QString& text, int, const QString&) override {
        shown.push_back(text.toStdString());
        auto it = answers.find(text.toStdString());
        return it == answers.end() ? platform::vbOK : it->second;
    }
    std::map<std::string, int> answers;
    std::vector<std::string> shown;
};

inline const std::string kInitQuestion = "テーブルを初期化しますか。";
inline const std::string kAcceptQuestion = "データ変換が終了しました。更新しますか。";
inline const std::string kNoPrimaryKey = "主キーが設定されていません。続行しますか。";
inline const std::string kCopyQuestion = "もとのテーブルのデータをコピーしますか。";

// CUST: ID Long (primary key), NAME Text 20, PRICE Long, CODE Text 10, ADDR_01..05 Text 10,
// TEL_01..02 Long, NOTE Memo; records 1..count.
inline void MakeCustomers(const std::string& path, int count, bool badCode = false) {
    auto& ws = engine::DBEngine::Instance().Workspaces(0);
    auto db = ws.CreateDatabase(path, engine::kLangJapanese);
    auto td = db->CreateTableDef("CUST");
    auto add = [&](const std::string& name, int type, long size = 0) {
        auto f = td->CreateField(name, type, size);
        if (type == dao::dbText) f->SetAllowZeroLength(true);
        td->Fields().Append(f);
    };
    add("ID", dao::dbLong);
    add("NAME", dao::dbText, 20);
    add("PRICE", dao::dbLong);
    add("CODE", dao::dbText, 10);
    for (int i = 1; i <= 5; ++i) add("ADDR_0" + std::to_string(i), dao::dbText, 10);
    add("TEL_01", dao::dbLong);
    add("TEL_02", dao::dbLong);
    add("NOTE", dao::dbMemo);
    auto pk = td->CreateIndex("PrimaryKey");
    pk->SetPrimary(true);
    pk->Fields().Append(pk->CreateField("ID"));
    td->Indexes().Append(pk);
    db->TableDefs().Append(td);
    ws.BeginTrans();
    auto rs = db->OpenRecordset("CUST");
    for (int i = 1; i <= count; ++i) {
        rs->AddNew();
        rs->SetValue("ID", Variant::Long(i));
        rs->SetValue("NAME", Variant("名前" + std::to_string(i)));
        rs->SetValue("PRICE", Variant::Long(i * 10));
        rs->SetValue("CODE",
                     Variant(badCode && i == count ? std::string("x12") : std::to_string(i * 7)));
        for (int a = 1; a <= 5; ++a)
            rs->SetValue("ADDR_0" + std::to_string(a), Variant("a" + std::to_string(i * 10 + a)));
        rs->SetValue("TEL_01", Variant::Long(i + 100));
        rs->SetValue("TEL_02", Variant::Long(i + 200));
        rs->SetValue("NOTE", Variant("note " + std::to_string(i)));
        rs->Update();
    }
    ws.CommitTrans();
}

// Every record of a table as text, in the order of its first field, for before/after checks.
inline std::vector<std::string> Dump(const std::string& path, const std::string& table) {
    auto db = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(path);
    auto td = db->TableDefs().Item(table);
    auto rs = db->OpenRecordset("SELECT * FROM [" + table + "] ORDER BY [" +
                                    td->Fields()[0]->Name() + "]",
                                engine::RecordsetType::Snapshot);
    std::vector<std::string> rows;
    std::string header;
    for (size_t i = 0; i < rs->FieldCount(); ++i)
        header += rs->FieldAt(i).name + ":" + std::to_string(rs->FieldAt(i).type) + ":" +
                  std::to_string(rs->FieldAt(i).size) + "|";
    rows.push_back(header);
    while (!rs->Eof()) {
        std::string row;
        for (size_t i = 0; i < rs->FieldCount(); ++i) {
            const Variant& v = rs->Value(i);
            row += v.IsNull() ? std::string("<null>") : engine::TextOf(v);
            row += "|";
        }
        rows.push_back(row);
        rs->MoveNext();
    }
    return rows;
}

inline long ErrorOfField(engine::Recordset& rs, const char* name) {
    try {
        rs.Value(name);
    } catch (const engine::Error& e) {
        return e.Number();
    }
    return 0;
}

inline std::vector<std::string> Tables(const std::string& path) {
    return engine::DBEngine::Instance().Workspaces(0).OpenDatabase(path)->TableDefs().Names();
}

// Edits of the loaded layout, straight in the work table.
class Layout {
  public:
    explicit Layout(tavorin::AppContext& app) : app_(app) {}
    void Set(int row, const char* column, const Variant& value) {
        auto rs = app_.Store.WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
        rs->FindFirst("FLD01= " + std::to_string(row));
        ASSERT_FALSE(rs->NoMatch()) << "row " << row;
        rs->Edit();
        rs->SetValue(column, value);
        rs->Update();
    }
    int RowOf(const std::string& name) {
        auto rs = app_.Store.WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
        rs->FindFirst("FLD02 = '" + name + "'");
        return rs->NoMatch() ? 0 : engine::CLng(rs->Value("FLD01"));
    }
    void Add(int row, const std::string& name, const std::string& type, int size,
             const std::string& repeat = "") {
        auto rs = app_.Store.WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
        rs->AddNew();
        rs->SetValue("FLD01", Variant::Long(row));
        rs->SetValue("FLD02", Variant(name));
        rs->SetValue("FLD03", Variant(type));
        rs->SetValue("FLD04", Variant::Integer(static_cast<int16_t>(size)));
        rs->SetValue("FLD05", Variant(repeat));
        rs->Update();
    }
    void Delete(int row) {
        auto rs = app_.Store.WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
        rs->FindFirst("FLD01= " + std::to_string(row));
        rs->Delete();
    }
    int Count() {
        return static_cast<int>(app_.Store.WorkDb->TableDefs().Item("WKTBL")->RecordCount());
    }

  private:
    tavorin::AppContext& app_;
};

} // namespace savetest
