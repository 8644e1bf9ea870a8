// The table menu's rename and delete on a file's tables: found under their stored spelling by
// ASCII letter case alone, asked before deleting, refused names leaving the table as it was.
#include "core/TableCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "core/StoredFile.h"
#include "core_fixture.h"
#include "engine/database.h"
#include "engine/error.h"
#include "engine/tabledef.h"

namespace {

namespace dao = engine::dao;
using Answer = tavorin::UserPrompts::Answer;
using tavorin::TableDeletion;

// A file with the tables Orders, Items, ＡＢＣ and ａｂｃ (one field each).
void MakeFile(const std::string& path) {
    engine::DatabasePtr db = enginetest::Ws().CreateDatabase(path, engine::kLangJapanese);
    for (const char* name : {"Orders", "Items", "ＡＢＣ", "ａｂｃ"}) {
        engine::TableDefPtr td = db->CreateTableDef(name);
        enginetest::AddField(td, "ID", dao::dbLong);
        db->TableDefs().Append(td);
    }
    db->Close();
}

// The user tables of the file, sorted, in one line.
std::string Tables(const std::string& path) {
    engine::DatabasePtr db = enginetest::Ws().OpenDatabase(path);
    std::vector<std::string> names;
    for (const std::string& name : db->TableDefs().Names())
        if (name.rfind("MSys", 0) != 0) names.push_back(name);
    db->Close();
    std::sort(names.begin(), names.end());
    std::string line;
    for (const std::string& name : names) line += (line.empty() ? "" : " ") + name;
    return line;
}

// What a case leaves: the engine error of a refused name (0 none), the questions and messages,
// and the file's tables ("" for a file that is not there).
struct Left {
    long error;
    std::vector<std::string> transcript;
    std::string tables;
    bool operator==(const Left&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Left& left) {
    os << "error " << left.error << ", tables [" << left.tables << "], said";
    for (const std::string& text : left.transcript) os << " [" << text << "]";
    return os;
}

TEST(TableCommands, RenameAndDeleteFindTheStoredTableAndAskBeforeDeleting) {
    const std::string all = "Items Orders ＡＢＣ ａｂｃ";
    const std::string missing = "指定のファイル、又はテーブルが存在しません。";
    auto question = [](const std::string& table) {
        return "テーブル  [" + table +
               "]   を削除します。データはすべて失われます。よろしいですか。";
    };
    struct Rename {
        const char* what;
        bool fileThere;
        const char* table; // as the user names it
        const char* requested;
        bool renamed;
        Left left;
    };
    // clang-format off
    const std::vector<Rename> renames = {
        {"by other letter case", true, "items", "Goods", true, {0, {}, "Goods Orders ＡＢＣ ａｂｃ"}},
        {"full-width lower case", true, "ａｂｃ", "ｘｙｚ", true, {0, {}, "Items Orders ＡＢＣ ｘｙｚ"}},
        {"onto another's name in other case", true, "Items", "ORDERS", false, {3010, {}, all}},
        {"a table not in the file", true, "Nothing", "Other", false, {0, {}, all}},
        {"in a file that is gone", false, "Orders", "Other", false, {0, {}, ""}},
    };
    // clang-format on
    struct Delete {
        const char* what;
        bool fileThere;
        const char* table;
        Answer answer; // to the question, when asked
        TableDeletion deletion;
        Left left;
    };
    // clang-format off
    const std::vector<Delete> deletions = {
        {"agreed", true, "orders", Answer::Ok, TableDeletion::Deleted,
         {0, {question("orders")}, "Items ＡＢＣ ａｂｃ"}},
        {"cancelled", true, "orders", Answer::Cancel, TableDeletion::Kept,
         {0, {question("orders")}, all}},
        {"full-width lower case alone", true, "ａｂｃ", Answer::Ok, TableDeletion::Deleted,
         {0, {question("ａｂｃ")}, "Items Orders ＡＢＣ"}},
        {"a table not in the file", true, "Nothing", Answer::Ok, TableDeletion::Missing,
         {0, {missing}, all}},
        {"in a file that is gone", false, "Orders", Answer::Ok, TableDeletion::Missing,
         {0, {missing}, ""}},
    };
    // clang-format on

    struct Run {
        enginetest::TempDir dir;
        std::string path = dir.File("user.mdb");
        coretest::RecordedPrompts prompts;
        Left Leaves(long error) {
            return {error, prompts.transcript, tavorin::FileExists(path) ? Tables(path) : ""};
        }
    };
    for (const Rename& c : renames) {
        SCOPED_TRACE(std::string("rename ") + c.what);
        Run run;
        if (c.fileThere) MakeFile(run.path);
        bool renamed = false;
        const long error = enginetest::ErrorOf([&] {
            renamed = tavorin::RenameStoredTable(enginetest::Ws(), run.path, c.table, c.requested);
        });
        EXPECT_EQ(renamed, c.renamed);
        EXPECT_EQ(run.Leaves(error), c.left);
    }
    for (const Delete& c : deletions) {
        SCOPED_TRACE(std::string("delete ") + c.what);
        Run run;
        if (c.fileThere) MakeFile(run.path);
        run.prompts.turns = {c.answer};
        EXPECT_EQ(tavorin::DeleteStoredTable(enginetest::Ws(), run.path, c.table, run.prompts),
                  c.deletion);
        EXPECT_EQ(run.Leaves(0), c.left);
    }
}

} // namespace
