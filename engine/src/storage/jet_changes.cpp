// A native copy of a genuine Jet file, opened for writing: which tables each change touches, and
// carrying the changes into the Jet file at the outermost commit, or at once outside a
// transaction.
#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/error.h"
#include "jet/jet_backing.h"
#include "jet/jet_reader.h"
#include "model/object_access.h"
#include "storage/connection.h"

namespace engine::detail {
namespace {

// While a raw statement is prepared: the tables of this file it inserts into, updates or deletes
// from.
struct WriteWatch {
    const std::string* schema;
    std::vector<std::string> tables;
};

int Watch(void* data, int action, const char* table, const char*, const char* schema, const char*) {
    auto* w = static_cast<WriteWatch*>(data);
    if ((action == SQLITE_INSERT || action == SQLITE_UPDATE || action == SQLITE_DELETE) && table &&
        schema && *w->schema == schema)
        w->tables.emplace_back(table);
    return SQLITE_OK;
}

class Watching {
  public:
    Watching(sqlite3* db, WriteWatch& w) : db_(db) { sqlite3_set_authorizer(db_, Watch, &w); }
    ~Watching() { sqlite3_set_authorizer(db_, nullptr, nullptr); }
    Watching(const Watching&) = delete;
    Watching& operator=(const Watching&) = delete;

  private:
    sqlite3* db_;
};

} // namespace

void Connection::SetJetBacking(std::unique_ptr<jet::JetBacking> backing) {
    jet_ = std::move(backing);
}

void Connection::NoteWritten(std::string_view table) {
    if (jet_) jet_->Ledger().Written(table, sql_->Depth());
}

void Connection::NoteDropped(std::string_view table) {
    if (jet_) jet_->Ledger().Dropped(table, sql_->Depth());
}

void Connection::NoteRenamed(std::string_view from, std::string_view to) {
    if (jet_) jet_->Ledger().Renamed(from, to, sql_->Depth());
}

std::vector<std::string> Connection::UserTableNames() {
    std::vector<std::string> names;
    for (const auto& t : Tables()) names.push_back(t.name);
    return names;
}

bool Connection::NeedsJetUnit() const {
    return jet_ && !inJetUnit_ && sql_->Depth() == 0;
}

void Connection::JetUnit(const std::function<void()>& fn) {
    const jet::JetLedger before = jet_->Ledger();
    inJetUnit_ = true;
    auto undo = [&] {
        sqlite3_exec(Db(), "ROLLBACK TO \"jet\"; RELEASE \"jet\"", nullptr, nullptr, nullptr);
        jet_->Ledger() = before;
        inJetUnit_ = false;
        InvalidateCatalog();
        ++generation_;
    };
    // At depth 0 the savepoint is the transaction: its release commits the copy.
    if (sqlite3_exec(Db(), "SAVEPOINT \"jet\"", nullptr, nullptr, nullptr) != SQLITE_OK) {
        inJetUnit_ = false;
        ThrowSqlite(Db(), sqlite3_extended_errcode(Db()), path_);
    }
    bool applied = false;
    try {
        fn();
        applied = ApplyToJetFile();
    } catch (...) {
        undo();
        throw;
    }
    if (sqlite3_exec(Db(), "RELEASE \"jet\"", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const int code = sqlite3_extended_errcode(Db());
        undo();
        if (applied) JetDiverged();
        ThrowSqlite(Db(), code, path_);
    }
    inJetUnit_ = false;
    if (applied) jet_->Synced(UserTableNames());
}

int Connection::ExecNoting(std::string_view sql) {
    if (!jet_) return Exec(sql);
    WriteWatch watch{&schema_, {}};
    int changed = 0;
    auto run = [&] {
        {
            // Prepared apart from running, so that the watch sees the statement alone.
            Watching w(Db(), watch);
            Stmt probe = Prepare(sql);
        }
        for (const auto& t : watch.tables) NoteWritten(t);
        changed = Exec(sql);
    };
    if (NeedsJetUnit())
        JetUnit(run);
    else
        run();
    return changed;
}

Stmt Connection::PrepareNoting(std::string_view sql) {
    if (!jet_) return Prepare(sql);
    WriteWatch watch{&schema_, {}};
    Stmt s;
    {
        Watching w(Db(), watch);
        s = Prepare(sql);
    }
    for (const auto& t : watch.tables) NoteWritten(t);
    return s;
}

bool Connection::ApplyToJetFile() {
    if (!jet_) return false;
    CompleteWalks();
    // The catalog picture may predate the change that ran in this unit.
    InvalidateCatalog();
    DatabasePtr source = ObjectAccess::MakeDatabase(shared_from_this());
    return jet_->Apply(*source, UserTableNames());
}

void Connection::JetSynced() {
    if (jet_) jet_->Synced(UserTableNames());
}

void Connection::JetDiverged() {
    if (!jet_) return;
    ForgetJetCopy(jet_->Copy());
    readOnly_ = true;
    refusal_ = std::make_unique<Error>(
        err::kLocked, DescriptionOf(err::kLocked, jet_->Path()),
        "the file was changed but its copy could not take the change; open the file again");
}

} // namespace engine::detail
