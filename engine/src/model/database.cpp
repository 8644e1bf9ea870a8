#include "engine/database.h"

#include <sqlite3.h>

#include "conditions/condition_scope.h"
#include "conditions/criteria.h"
#include "engine/error.h"
#include "engine/names.h"
#include "engine/types.h"
#include "model/object_access.h"
#include "model/recordset_impl.h"
#include "storage/connection.h"
#include "storage/schema_rules.h"
#include "values/value_codec.h"

namespace engine {
namespace {
const std::shared_ptr<detail::Connection>& Conn(const Database& db) {
    return detail::ObjectAccess::Conn(db);
}
} // namespace

// ---- TableDefs -----------------------------------------------------------------------------

size_t TableDefs::Count() const {
    return Conn(db_)->Tables().size();
}

TableDefPtr TableDefs::operator[](size_t i) const {
    const auto& tables = Conn(db_)->Tables();
    if (i >= tables.size()) Throw(err::kItemNotFound);
    auto td = std::make_shared<TableDef>(tables[i].name);
    detail::ObjectAccess::Attach(*td, Conn(db_));
    return td;
}

TableDefPtr TableDefs::Item(const std::string& name) const {
    if (!Conn(db_)->FindTable(name)) Throw(err::kItemNotFound, name);
    auto td = std::make_shared<TableDef>(name);
    detail::ObjectAccess::Attach(*td, Conn(db_));
    return td;
}

bool TableDefs::Contains(const std::string& name) const {
    return Conn(db_)->FindTable(name) != nullptr;
}

std::vector<std::string> TableDefs::Names() const {
    std::vector<std::string> names;
    for (const auto& t : Conn(db_)->Tables()) names.push_back(t.name);
    return names;
}

void TableDefs::Append(const TableDefPtr& table) {
    if (!table) Throw(err::kInvalidArgument);
    const auto& conn = Conn(db_);
    conn->CheckWritable();
    if (table->IsStored()) Throw(err::kTableExists, table->Name());
    detail::CheckTableName(table->Name());
    if (conn->FindTable(table->Name())) Throw(err::kTableExists, table->Name());
    if (table->Fields().Count() == 0) Throw(err::kNoFieldDefined);
    if (table->Fields().Count() > static_cast<size_t>(limits::kMaxFields))
        Throw(err::kTooManyFields);
    conn->CreateTable(detail::TableInfoOf(*table));
    detail::ObjectAccess::Attach(*table, conn);
}

void TableDefs::Delete(const std::string& name) {
    const auto& conn = Conn(db_);
    conn->CheckWritable();
    if (!conn->FindTable(name)) Throw(err::kItemNotFound, name);
    conn->DropTable(name);
}

// ---- Database ------------------------------------------------------------------------------

Database::Database(Key, std::shared_ptr<detail::Connection> conn)
    : conn_(std::move(conn)), tableDefs_(*this) {}

Database::~Database() = default;

namespace detail {
DatabasePtr ObjectAccess::MakeDatabase(std::shared_ptr<Connection> conn) {
    return std::make_shared<Database>(Database::Key(), std::move(conn));
}

const std::shared_ptr<Connection>& ObjectAccess::Conn(const Database& db) {
    if (!db.conn_) Throw(err::kObjectClosed);
    return db.conn_;
}

sqlite3* ObjectAccess::SqliteHandle(const Database& db) {
    return Conn(db)->Db();
}
} // namespace detail

const std::string& Database::Name() const {
    return Conn(*this)->Path();
}
bool Database::ReadOnly() const {
    return Conn(*this)->ReadOnly();
}

void Database::CheckUpdatable() const {
    Conn(*this)->CheckWritable();
}
std::string Database::Connect() const {
    return Conn(*this)->Locale();
}

TableDefPtr Database::CreateTableDef(const std::string& name) const {
    Conn(*this);
    return std::make_shared<TableDef>(name);
}

RecordsetPtr Database::OpenRecordset(std::string_view source, RecordsetType type) {
    const auto& conn = Conn(*this);
    detail::SelectStatement sel = detail::ParseSelect(source);
    if (type == RecordsetType::Table) {
        // A table-type recordset opens a table by name, never a statement.
        size_t start = source.find_first_not_of(" \t\r\n");
        std::string_view head =
            source.substr(start == std::string_view::npos ? source.size() : start, 7);
        const bool statement = head.size() == 7 && NamesEqual(head.substr(0, 6), "select") &&
                               (head[6] == ' ' || head[6] == '\t');
        if (statement || sel.where || !sel.orderBy.empty()) Throw(err::kInvalidOperation);
    }
    if (!conn->FindTable(sel.table)) Throw(err::kTableNotFound, sel.table);
    return std::make_shared<Recordset>(
        std::make_unique<detail::RecordsetImpl>(conn, type, std::move(sel)));
}

void Database::Execute(std::string_view statement) {
    const auto& conn = Conn(*this);
    detail::SelectStatement del = detail::ParseDelete(statement);
    conn->CheckWritable();
    const detail::TableInfo& t = conn->Table(del.table);
    std::string table = t.name;
    std::string sql = "DELETE FROM " + conn->Qualified(table);
    detail::SqlCondition cond;
    if (del.where && !del.where->empty()) {
        cond = detail::TranslateCondition(*del.where, detail::ConditionScopeOf(*conn, t));
        sql += " WHERE " + cond.sql;
    }
    conn->BeforeTableChange(table);
    conn->NoteWritten(table);
    detail::Stmt s = conn->Prepare(sql);
    for (size_t i = 0; i < cond.params.size(); ++i)
        detail::BindParam(s, static_cast<int>(i + 1), cond.params[i]);
    recordsAffected_ = conn->StepWrite(s);
}

void Database::Close() {
    conn_.reset();
}

const std::string& Database::SchemaName() const {
    return Conn(*this)->Schema();
}

long Database::ExecuteSql(std::string_view sql) {
    return Conn(*this)->ExecNoting(sql);
}

long Database::ExecuteSql(std::string_view sql, const std::vector<Variant>& params) {
    detail::Connection& conn = *Conn(*this);
    conn.CompleteWalks();
    detail::Stmt s = conn.PrepareNoting(sql);
    for (size_t i = 0; i < params.size(); ++i)
        detail::BindParam(s, static_cast<int>(i + 1), params[i]);
    return conn.StepWrite(s);
}

Database::Selection Database::TranslateSelect(std::string_view source, std::string_view alias) {
    const detail::SelectStatement select = detail::ParseSelect(source);
    detail::Connection& conn = *Conn(*this);
    const detail::TableInfo& t = conn.Table(select.table);
    Selection out;
    out.table = t.name;
    out.ordered = !select.orderBy.empty();
    if (select.where && !select.where->empty()) {
        detail::SqlCondition cond =
            detail::TranslateCondition(*select.where, detail::ConditionScopeOf(conn, t, alias));
        out.condition = std::move(cond.sql);
        out.params = std::move(cond.params);
    }
    return out;
}

int64_t Database::NextAutoNumber(const std::string& table) {
    return Conn(*this)->NextAutoNumber(table);
}

void Database::NoteAutoNumber(const std::string& table, int64_t used) {
    Conn(*this)->NoteAutoNumber(table, used);
}

long Database::ReleaseFreePages(long pages) {
    detail::Connection& c = *Conn(*this);
    if (c.ReadOnly()) return 0;
    const std::string schema = detail::QuoteIdent(c.Schema());
    auto number = [&](const char* pragma) -> long {
        detail::Stmt s = c.Prepare("PRAGMA " + schema + "." + pragma);
        return s.Step() ? static_cast<long>(sqlite3_column_int64(s.get(), 0)) : 0;
    };
    // Incremental auto-vacuum: the mode the engine gives the files it creates.
    if (number("auto_vacuum") != 2) return 0;
    if (pages > 0 && sqlite3_get_autocommit(c.Db()))
        c.Exec("PRAGMA " + schema + ".incremental_vacuum(" + std::to_string(pages) + ")");
    return number("freelist_count");
}

} // namespace engine
