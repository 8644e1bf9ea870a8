// DBEngine and Workspace: the entry to the object model.
//
// DBEngine::Instance().Workspaces(0) is the one workspace the programs use. It opens and
// creates databases and runs transactions: a transaction spans every database file open
// through the workspace, files opened while it runs included. CommitTrans lands on every file
// changed in the transaction or on none, also when the disk fails or the program is killed
// half-way; Rollback undoes every change since BeginTrans, schema changes included, in all of
// them. A Database closed inside a transaction stays part of it until CommitTrans or Rollback.
// Transactions nest up to five levels.
//
// When a statement fails in a way that made the storage roll the whole transaction back (a full
// disk, an I/O error, no memory), the workspace refuses every further change, and CommitTrans,
// with err::kTransactionLost until Rollback ends the transaction. A CommitTrans that fails
// leaves the transaction open: Rollback ends it.
//
// Native files are written through one connection of the storage (engine/doc/format.md), which
// holds at most ten native files at a time: opening an eleventh gives 3048. Genuine Jet files,
// opened as read-only copies, do not count.
#pragma once

#include <memory>
#include <string>

#include "engine/database.h"

namespace engine {

namespace detail {
struct ObjectAccess;
}

class Workspace {
  public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Opens an existing file: a native database or a genuine Jet file. A genuine Jet 4 file is
    // read into a native copy, and every change committed to it is carried into the file in
    // place; a Jet 3 file, or one that refuses changes (Database::CheckUpdatable), opens
    // read-only.
    // 3024 when the file does not exist, 3343 when it is not a database, 3045 when locked.
    DatabasePtr OpenDatabase(const std::string& path, bool exclusive = false,
                             bool readOnly = false);
    // Creates a new native database; 3204 when the file exists already.
    DatabasePtr CreateDatabase(const std::string& path, const std::string& locale);

    void BeginTrans();
    void CommitTrans();
    void Rollback();
    int TransactionLevel() const { return level_; }

    // True while any engine object (a Database, even one closed inside the open transaction,
    // a Recordset, a TableDef) still holds the file at path, so that it must not be renamed,
    // copied or deleted. Another path to the same file (a link) counts as the same file.
    bool IsFileOpen(const std::string& path) const;

    // 3045 at once when another connection, of this program or of another one, is in the
    // middle of changing the native file at path (holds its write lock, its journal beside the
    // file). Nothing for a free file, a file that is not native, or one this user cannot write.
    void RefuseFileBeingChanged(const std::string& path) const;

  private:
    friend struct detail::ObjectAccess;
    // The files open through the workspace and the connection native files share.
    struct State;
    std::unique_ptr<State> state_;
    int level_ = 0;
};

class DBEngine {
  public:
    static DBEngine& Instance();
    Workspace& Workspaces(int index);

  private:
    DBEngine() = default;
    Workspace workspace_;
};

// The locale the system creates its databases with (Japanese collation, code page 932).
inline constexpr const char* kLangJapanese = ";LANGID=0x0411;CP=932;COUNTRY=0";

} // namespace engine
