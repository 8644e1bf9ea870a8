#include "core/TableCommands.h"

#include "core/StoredFile.h"
#include "core/UserPrompts.h"
#include "engine/database.h"
#include "engine/tabledef.h"
#include "engine/workspace.h"

namespace tavorin {
namespace {

// The user's file, open for one command and closed whatever the command's end.
class OpenFile {
  public:
    OpenFile(engine::Workspace& ws, const std::string& path) : db_(ws.OpenDatabase(path)) {}
    ~OpenFile() { db_->Close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    engine::Database* operator->() { return db_.get(); }
    engine::Database* get() { return db_.get(); }

  private:
    engine::DatabasePtr db_;
};

} // namespace

bool RenameStoredTable(engine::Workspace& ws, const std::string& path, const std::string& current,
                       const std::string& requested) {
    if (!FileExists(path)) return false;
    OpenFile db(ws, path);
    const std::string stored = StoredTableName(db.get(), current);
    if (stored.empty()) return false;
    db->TableDefs().Item(stored)->SetName(requested);
    return true;
}

TableDeletion DeleteStoredTable(engine::Workspace& ws, const std::string& path,
                                const std::string& name, UserPrompts& prompts) {
    if (FileExists(path)) {
        OpenFile db(ws, path);
        if (const std::string stored = StoredTableName(db.get(), name); !stored.empty()) {
            const std::string question =
                "テーブル  [" + name +
                "]   を削除します。データはすべて失われます。よろしいですか。";
            if (prompts.Ask(question, UserPrompts::Buttons::OkCancel) != UserPrompts::Answer::Ok)
                return TableDeletion::Kept;
            db->TableDefs().Delete(stored);
            return TableDeletion::Deleted;
        }
    }
    prompts.Say("指定のファイル、又はテーブルが存在しません。");
    return TableDeletion::Missing;
}

} // namespace tavorin
