// Reading a file's catalog into the connection's picture, within Jet's limits: every query
// stops one row past what the limits allow, so that a catalog another program filled without
// end costs no more than a full legal one before it is refused as damaged (3343).
#include <algorithm>
#include <unordered_map>

#include "engine/error.h"
#include "storage/connection.h"
#include "values/value_codec.h"

namespace engine::detail {
namespace {

// Rows of one catalog table read so far, against the most the limits allow.
class RowBudget {
  public:
    RowBudget(const std::string& path, const char* table, long maxRows)
        : path_(path), table_(table), maxRows_(maxRows) {}
    // " LIMIT n": one row more than allowed, so that too many rows show.
    std::string Limit() const { return " LIMIT " + std::to_string(maxRows_ + 1); }
    void Take() {
        if (++rows_ > maxRows_) Beyond(path_, table_);
    }
    [[noreturn]] static void Beyond(const std::string& path, const char* table) {
        ThrowDamagedCatalog(path,
                            std::string("カタログ ") + table + " が Jet の上限を超えています");
    }

  private:
    const std::string& path_;
    const char* table_;
    long maxRows_;
    long rows_ = 0;
};

} // namespace

const std::vector<TableInfo>& Connection::Tables() {
    if (!loaded_) LoadCatalog();
    return tables_;
}

const TableInfo* Connection::FindTable(std::string_view name) {
    for (const auto& t : Tables())
        if (NamesEqual(t.name, name)) return &t;
    return nullptr;
}

const TableInfo& Connection::Table(std::string_view name) {
    const TableInfo* t = FindTable(name);
    if (!t) Throw(err::kTableNotFound, std::string(name));
    return *t;
}

void Connection::LoadCatalog() {
    namespace lim = catalog_limits;
    tables_.clear();
    {
        RowBudget budget(path_, "MSysTables", lim::kMaxTables);
        Stmt s = Prepare("SELECT \"Name\", \"NextAutoNumber\" FROM " + Qualified("MSysTables") +
                         budget.Limit());
        while (s.Step()) {
            budget.Take();
            TableInfo t;
            t.name = s.Text(0);
            t.nextAutoNumber = s.Int(1);
            if (auto taken = autoNumbersTaken_.find(FoldName(t.name));
                taken != autoNumbersTaken_.end())
                t.nextAutoNumber = std::max(t.nextAutoNumber, taken->second);
            tables_.push_back(std::move(t));
        }
    }
    std::sort(tables_.begin(), tables_.end(), [](const TableInfo& a, const TableInfo& b) {
        std::string fa = FoldName(a.name), fb = FoldName(b.name);
        return fa != fb ? fa < fb : a.name < b.name;
    });
    std::unordered_map<std::string, TableInfo*> byName;
    for (auto& t : tables_) byName.emplace(FoldName(t.name), &t);
    auto find = [&](const std::string& name) -> TableInfo* {
        auto it = byName.find(FoldName(name));
        return it == byName.end() ? nullptr : it->second;
    };
    const long tableCount = std::max<long>(static_cast<long>(tables_.size()), 1);
    long columnCount = 0;
    {
        RowBudget budget(path_, "MSysColumns", tableCount * lim::kMaxColumns);
        Stmt s = Prepare("SELECT \"TableName\", \"Name\", \"Type\", \"Size\", \"Attributes\","
                         " \"AllowZeroLength\", \"Required\", \"DefaultValue\" FROM " +
                         Qualified("MSysColumns") + " ORDER BY \"TableName\", \"Ordinal\"" +
                         budget.Limit());
        while (s.Step()) {
            budget.Take();
            TableInfo* t = find(s.Text(0));
            if (!t) continue;
            if (static_cast<long>(t->columns.size()) >= lim::kMaxColumns)
                RowBudget::Beyond(path_, "MSysColumns");
            ColumnInfo c;
            c.name = s.Text(1);
            c.type = static_cast<int>(s.Int(2));
            c.size = static_cast<long>(s.Int(3));
            c.attributes = static_cast<long>(s.Int(4));
            c.allowZeroLength = s.Int(5) != 0;
            c.required = s.Int(6) != 0;
            c.defaultValue = s.Text(7);
            t->columns.push_back(std::move(c));
            ++columnCount;
        }
    }
    {
        RowBudget budget(path_, "MSysIndexes", tableCount * lim::kMaxIndexes);
        Stmt s = Prepare("SELECT \"TableName\", \"Name\", \"SqlName\", \"IsPrimary\", \"IsUnique\","
                         " \"IgnoreNulls\", \"Required\" FROM " +
                         Qualified("MSysIndexes") + " ORDER BY \"TableName\", \"Ordinal\"" +
                         budget.Limit());
        while (s.Step()) {
            budget.Take();
            TableInfo* t = find(s.Text(0));
            if (!t) continue;
            if (static_cast<long>(t->indexes.size()) >= lim::kMaxIndexes)
                RowBudget::Beyond(path_, "MSysIndexes");
            IndexInfo ix;
            ix.name = s.Text(1);
            ix.sqlName = s.Text(2);
            ix.primary = s.Int(3) != 0;
            ix.unique = s.Int(4) != 0;
            ix.ignoreNulls = s.Int(5) != 0;
            ix.required = s.Int(6) != 0;
            t->indexes.push_back(std::move(ix));
        }
    }
    {
        RowBudget budget(path_, "MSysIndexColumns",
                         tableCount * lim::kMaxIndexes * lim::kMaxIndexColumns);
        Stmt s =
            Prepare("SELECT \"TableName\", \"IndexName\", \"FieldName\", \"Descending\" FROM " +
                    Qualified("MSysIndexColumns") +
                    " ORDER BY \"TableName\", \"IndexName\", \"Position\"" + budget.Limit());
        while (s.Step()) {
            budget.Take();
            TableInfo* t = find(s.Text(0));
            if (!t) continue;
            for (auto& ix : t->indexes) {
                if (!NamesEqual(ix.name, s.Text(1))) continue;
                if (static_cast<long>(ix.columns.size()) >= lim::kMaxIndexColumns)
                    RowBudget::Beyond(path_, "MSysIndexColumns");
                ix.columns.push_back({s.Text(2), s.Int(3) != 0});
            }
        }
    }
    {
        // Every table and field may carry properties.
        RowBudget budget(path_, "MSysProperties",
                         (tableCount + columnCount) * lim::kMaxPropertiesPerObject);
        Stmt s =
            Prepare("SELECT \"TableName\", \"FieldName\", \"Name\", \"Type\", \"Value\" FROM " +
                    Qualified("MSysProperties") + " ORDER BY rowid" + budget.Limit());
        while (s.Step()) {
            budget.Take();
            TableInfo* t = find(s.Text(0));
            if (!t) continue;
            PropertyInfo p;
            p.name = s.Text(2);
            p.type = static_cast<int>(s.Int(3));
            p.value = ReadValue(s, 4, p.type);
            std::string field = s.Text(1);
            if (field.empty()) {
                t->properties.push_back(std::move(p));
            } else {
                int ci = t->ColumnIndex(field);
                if (ci >= 0) t->columns[static_cast<size_t>(ci)].properties.push_back(std::move(p));
            }
        }
    }
    loaded_ = true;
}

} // namespace engine::detail
