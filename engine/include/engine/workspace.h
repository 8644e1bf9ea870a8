// DBEngine and Workspace: the entry to the object model.
//
// DBEngine::Instance().Workspaces(0) is the one workspace the programs use. It opens and
// creates databases and runs transactions: BeginTrans starts a transaction on every database
// file open through the workspace (and on files opened while it runs); CommitTrans and
// Rollback end it on all of them. Rollback undoes every change since BeginTrans, schema
// changes included. Transactions nest up to five levels.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/database.h"

namespace engine {

class Workspace {
public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Opens an existing file: a native database or (read-only) a genuine Jet file.
    // 3024 when the file does not exist, 3343 when it is not a database, 3045 when locked.
    DatabasePtr OpenDatabase(const std::string& path, bool exclusive = false, bool readOnly = false);
    // Creates a new native database; 3204 when the file exists already.
    DatabasePtr CreateDatabase(const std::string& path, const std::string& locale);

    void BeginTrans();
    void CommitTrans();
    void Rollback();
    int TransactionLevel() const { return level_; }

    // Engine internals: the connection for a file, shared by its Database objects.
    std::shared_ptr<detail::Connection> ConnectionFor(const std::string& path, bool readOnly);
    void Forget(detail::Connection* conn);

private:
    std::map<std::string, std::weak_ptr<detail::Connection>> connections_;
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
