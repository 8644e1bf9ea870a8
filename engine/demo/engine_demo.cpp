// A small tour of the engine: creates a database with one table, writes a few records,
// reads them back in key order and prints them. Usage: engine-demo [FILE]
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"

using namespace engine;

int main(int argc, char** argv) {
    std::string path =
        argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "engine-demo.mdb").string();
    std::remove(path.c_str());
    try {
        Workspace& ws = DBEngine::Instance().Workspaces(0);
        DatabasePtr db = ws.CreateDatabase(path, kLangJapanese);
        TableDefPtr td = db->CreateTableDef("顧客");
        auto id = td->CreateField("番号", dao::dbLong);
        id->SetAttributes(dao::dbAutoIncrField);
        td->Fields().Append(id);
        td->Fields().Append(td->CreateField("氏名", dao::dbText, 20));
        td->Fields().Append(td->CreateField("入会日", dao::dbDate));
        auto pk = td->CreateIndex("PrimaryKey");
        pk->SetPrimary(true);
        pk->Fields().Append(pk->CreateField("番号"));
        td->Indexes().Append(pk);
        db->TableDefs().Append(td);

        ws.BeginTrans();
        RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [顧客]", RecordsetType::Dynaset);
        const char* names[] = {"山田太郎", "佐藤花子", "ｽｽﾞｷ"};
        for (int i = 0; i < 3; ++i) {
            rs->AddNew();
            rs->SetValue("氏名", Variant(names[i]));
            rs->SetValue("入会日", Variant::Date(DateSerial(2024, 1 + i, 15)));
            rs->Update();
        }
        ws.CommitTrans();

        RecordsetPtr snap =
            db->OpenRecordset("SELECT * FROM [顧客] ORDER BY [氏名]", RecordsetType::Snapshot);
        while (!snap->Eof()) {
            std::cout << CStr(snap->Value("番号")) << "\t" << CStr(snap->Value("氏名")) << "\t"
                      << Format(snap->Value("入会日"), "LONG DATE") << "\n";
            snap->MoveNext();
        }
        std::cout << "written to " << path << "\n";
    } catch (const Error& e) {
        std::cerr << "Error " << e.Number() << ": " << e.Description() << "\n";
        return 1;
    }
    return 0;
}
