// Connection: the file's place in the workspace, its transaction steps and the registry of the
// recordsets open on it. Its catalog loading, schema changes, auto numbers and write gate are
// files of their own beside this one.
#include "storage/connection.h"

#include <set>
#include <string>

#include "engine/workspace.h"
#include "jet/jet_backing.h"
#include "model/object_access.h"
#include "model/recordset_impl.h"

namespace engine::detail {

Connection::Connection(Workspace& ws, std::string key, std::string path,
                       std::shared_ptr<SqlConnection> sql, std::string schema, bool readOnly)
    : ws_(&ws), key_(std::move(key)), path_(std::move(path)), sql_(std::move(sql)),
      schema_(std::move(schema)), prefix_(QuoteIdent(schema_) + "."), readOnly_(readOnly) {}

Connection::~Connection() {
    autoStmt_ = Stmt();
    if (ws_) ObjectAccess::Forget(*ws_, this);
    if (!sql_->IsShared() || sql_->Release(key_, schema_) || !ws_) return;
    // A walk still running on another file keeps this one in a read transaction: reading the
    // rest of the walks' keys now lets the file go at once, locks and all.
    try {
        ObjectAccess::CompleteWalks(*ws_);
    } catch (...) {
        // The file stays attached until the walks end; it is taken back if opened again.
    }
    sql_->DetachWaiting();
}

std::string Connection::Locale() {
    Stmt s =
        Prepare("SELECT \"Value\" FROM " + Qualified("MSysDatabase") + " WHERE \"Key\" = 'Locale'");
    std::string v = s.Step() ? s.Text(0) : std::string();
    s.Reset();
    return v;
}

long Connection::CountRecords(std::string_view table) {
    Stmt s = Prepare("SELECT count(*) FROM " + Qualified(Table(table).name));
    s.Step();
    long n = static_cast<long>(s.Int(0));
    s.Reset();
    return n;
}

void Connection::AfterCommit(int level) {
    if (level == 1) touched_.clear();
    if (jet_) jet_->Ledger().Committed(level);
}

void Connection::BeforeRollback() {
    // The rows under open snapshots are about to change back: let them keep what they show.
    const std::set<std::string> touched = touched_;
    for (const auto& t : touched) BeforeTableChangeKey(t);
    CompleteWalks();
}

void Connection::AfterRollback(int level) {
    if (level == 1) touched_.clear();
    if (jet_) jet_->Ledger().RolledBack(level);
    InvalidateCatalog();
    ++generation_;
}

void Connection::CompleteWalks() {
    for (RecordsetImpl* rs : recordsets_) rs->CompleteKeys();
}

void Connection::Register(RecordsetImpl* rs) {
    recordsets_.insert(rs);
}

void Connection::Unregister(RecordsetImpl* rs) {
    recordsets_.erase(rs);
}

void Connection::BeforeTableChangeKey(const std::string& key) {
    ++generation_;
    if (sql_->Depth() > 0) touched_.insert(key);
    for (RecordsetImpl* rs : recordsets_)
        if (rs->TableKey() == key) rs->TableAboutToChange();
}

} // namespace engine::detail
