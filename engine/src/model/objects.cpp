// Property, Field, Index and TableDef with their collections: in memory until appended, then
// writing through to the file's catalog.
#include <algorithm>

#include "engine/error.h"
#include "engine/tabledef.h"
#include "engine/types.h"
#include "model/object_access.h"
#include "storage/connection.h"
#include "storage/schema_rules.h"

namespace engine {
using detail::NamesEqual;
using detail::ObjectAccess;

// ---- Property ------------------------------------------------------------------------------

void Property::SetValue(const Variant& value) {
    if (at_) at_->conn->SetProperty(at_->table, at_->field, {name_, type_, value});
    value_ = value;
}

PropertyPtr Properties::Item(const std::string& name) const {
    for (const auto& p : items_)
        if (NamesEqual(p->Name(), name)) return p;
    Throw(err::kPropertyNotFound, name);
}

bool Properties::Contains(const std::string& name) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const PropertyPtr& p) { return NamesEqual(p->Name(), name); });
}

void Properties::Append(const PropertyPtr& p) {
    if (!p) Throw(err::kInvalidArgument);
    if (Contains(p->Name())) Throw(err::kPropertyExists, p->Name());
    if (at_) at_->conn->SetProperty(at_->table, at_->field, {p->Name(), p->Type(), p->Value()});
    p->at_ = at_;
    items_.push_back(p);
}

void Properties::Delete(const std::string& name) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const PropertyPtr& p) { return NamesEqual(p->Name(), name); });
    if (it == items_.end()) Throw(err::kPropertyNotFound, name);
    if (at_) at_->conn->DeleteProperty(at_->table, at_->field, (*it)->Name());
    items_.erase(it);
}

void ObjectAccess::Attach(Properties& properties, std::shared_ptr<const StoredAt> at) {
    properties.at_ = std::move(at);
    for (auto& p : properties.items_) p->at_ = properties.at_;
}

void ObjectAccess::AddLoaded(Properties& properties, PropertyPtr p) {
    p->at_ = properties.at_;
    properties.items_.push_back(std::move(p));
}

// ---- Field ---------------------------------------------------------------------------------

namespace {
detail::ColumnInfo ColumnOf(const Field& f) {
    detail::ColumnInfo c;
    c.name = f.Name();
    c.type = f.Type();
    c.size = f.Size();
    c.attributes = f.Attributes();
    c.allowZeroLength = f.AllowZeroLength();
    c.required = f.Required();
    c.defaultValue = f.DefaultValue();
    return c;
}
} // namespace

void Field::CheckChangeable() const {
    if (frozen_) Throw(err::kInvalidOperation);
}

void Field::SetName(const std::string& name) {
    CheckChangeable();
    if (at_) {
        detail::CheckObjectName(name);
        at_->conn->RenameColumn(at_->table, name_, name);
        auto at = std::make_shared<detail::StoredAt>(*at_);
        at->field = name;
        ObjectAccess::Attach(*this, at);
    }
    name_ = name;
}

void Field::SetType(int type) {
    CheckChangeable();
    if (at_) Throw(err::kInvalidOperation);
    type_ = type;
}

void Field::SetSize(long size) {
    CheckChangeable();
    if (at_) Throw(err::kInvalidOperation);
    size_ = size;
}

void Field::SetOrdinalPosition(int position) {
    CheckChangeable();
    ordinal_ = position;
}

void Field::SetAttributes(long attributes) {
    CheckChangeable();
    if (at_) Throw(err::kInvalidOperation);
    attributes_ = attributes;
}

void Field::SetAllowZeroLength(bool allow) {
    CheckChangeable();
    bool old = allowZeroLength_;
    allowZeroLength_ = allow;
    if (at_) {
        try {
            at_->conn->UpdateColumnSettings(at_->table, ColumnOf(*this));
        } catch (...) {
            allowZeroLength_ = old;
            throw;
        }
    }
}

void Field::SetRequired(bool required) {
    CheckChangeable();
    bool old = required_;
    required_ = required;
    if (at_) {
        try {
            at_->conn->UpdateColumnSettings(at_->table, ColumnOf(*this));
        } catch (...) {
            required_ = old;
            throw;
        }
    }
}

void Field::SetDefaultValue(const std::string& expression) {
    CheckChangeable();
    std::string old = defaultValue_;
    defaultValue_ = expression;
    if (at_) {
        try {
            at_->conn->UpdateColumnSettings(at_->table, ColumnOf(*this));
        } catch (...) {
            defaultValue_ = old;
            throw;
        }
    }
}

bool Field::IsAutoIncrement() const {
    return (attributes_ & dao::dbAutoIncrField) != 0;
}

PropertyPtr Field::CreateProperty(const std::string& name, int type, const Variant& value) const {
    return std::make_shared<Property>(name, type, value);
}

void ObjectAccess::Attach(Field& field, std::shared_ptr<const StoredAt> at) {
    field.at_ = at;
    Attach(field.properties_, std::move(at));
}

void ObjectAccess::LoadSettings(Field& field, long attributes, bool allowZeroLength, bool required,
                                std::string defaultValue, int ordinal) {
    field.attributes_ = attributes;
    field.allowZeroLength_ = allowZeroLength;
    field.required_ = required;
    field.defaultValue_ = std::move(defaultValue);
    field.ordinal_ = ordinal;
}

// ---- Index ---------------------------------------------------------------------------------

FieldPtr IndexFields::Item(const std::string& name) const {
    for (const auto& f : items_)
        if (NamesEqual(f->Name(), name)) return f;
    Throw(err::kItemNotFound, name);
}

void IndexFields::Append(const FieldPtr& f) {
    if (frozen_) Throw(err::kInvalidOperation);
    if (!f) Throw(err::kInvalidArgument);
    for (const auto& g : items_)
        if (NamesEqual(g->Name(), f->Name())) Throw(err::kFieldExists, f->Name());
    items_.push_back(f);
}

void Index::CheckChangeable() const {
    if (frozen_) Throw(err::kInvalidOperation);
}
void Index::SetName(const std::string& name) {
    CheckChangeable();
    name_ = name;
}
void Index::SetPrimary(bool v) {
    CheckChangeable();
    primary_ = v;
}
void Index::SetUnique(bool v) {
    CheckChangeable();
    unique_ = v;
}
void Index::SetIgnoreNulls(bool v) {
    CheckChangeable();
    ignoreNulls_ = v;
}
void Index::SetRequired(bool v) {
    CheckChangeable();
    required_ = v;
}

FieldPtr Index::CreateField(const std::string& name) const {
    return std::make_shared<Field>(name, 0, 0);
}

void ObjectAccess::Freeze(Index& index) {
    index.frozen_ = true;
    index.fields_.frozen_ = true;
    for (auto& f : index.fields_.items_) MarkStoredIndexMember(*f);
}

// ---- TableDef ------------------------------------------------------------------------------

TableDef::TableDef(std::string name) : name_(std::move(name)) {
    fields_.owner_ = this;
    indexes_.owner_ = this;
}

void TableDef::SetName(const std::string& name) {
    if (conn_) {
        detail::CheckTableName(name);
        conn_->RenameTable(name_, name);
        name_ = name;
        ObjectAccess::Attach(*this, conn_);
    } else {
        name_ = name;
    }
}

FieldPtr TableDef::CreateField(const std::string& name, int type, long size) const {
    return std::make_shared<Field>(name, type, size);
}

IndexPtr TableDef::CreateIndex(const std::string& name) const {
    return std::make_shared<Index>(name);
}

PropertyPtr TableDef::CreateProperty(const std::string& name, int type,
                                     const Variant& value) const {
    return std::make_shared<Property>(name, type, value);
}

long TableDef::RecordCount() const {
    return conn_ ? conn_->CountRecords(name_) : 0;
}

// Fills the definition from the file's catalog and binds every part to it.
void ObjectAccess::Attach(TableDef& table, std::shared_ptr<Connection> conn) {
    table.conn_ = std::move(conn);
    const auto& conn_ = table.conn_;
    const TableInfo& t = conn_->Table(table.name_);
    table.name_ = t.name;
    auto tableAt = std::make_shared<StoredAt>(StoredAt{conn_, t.name, ""});
    table.properties_ = engine::Properties();
    Attach(table.properties_, tableAt);
    for (const auto& p : t.properties)
        AddLoaded(table.properties_, std::make_shared<Property>(p.name, p.type, p.value));
    auto& fields = table.fields_.items_;
    fields.clear();
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const auto& c = t.columns[i];
        auto f = std::make_shared<Field>(c.name, c.type, c.size);
        LoadSettings(*f, c.attributes, c.allowZeroLength, c.required, c.defaultValue,
                     static_cast<int>(i));
        Attach(*f, std::make_shared<StoredAt>(StoredAt{conn_, t.name, c.name}));
        for (const auto& p : c.properties)
            AddLoaded(f->Properties(), std::make_shared<Property>(p.name, p.type, p.value));
        fields.push_back(std::move(f));
    }
    auto& indexes = table.indexes_.items_;
    indexes.clear();
    for (const auto& ix : t.indexes) {
        auto index = std::make_shared<Index>(ix.name);
        index->SetPrimary(ix.primary);
        index->SetUnique(ix.unique);
        index->SetIgnoreNulls(ix.ignoreNulls);
        index->SetRequired(ix.required);
        for (const auto& ic : ix.columns) {
            auto f = std::make_shared<Field>(ic.field, 0, 0);
            int ci = t.ColumnIndex(ic.field);
            if (ci >= 0) {
                const auto& c = t.columns[static_cast<size_t>(ci)];
                f = std::make_shared<Field>(c.name, c.type, c.size);
            }
            LoadSettings(*f, ic.descending ? dao::dbDescending : 0, false, false, "", ci);
            index->Fields().Append(f);
        }
        Freeze(*index);
        indexes.push_back(std::move(index));
    }
}

FieldPtr TableFields::Item(const std::string& name) const {
    for (const auto& f : items_)
        if (NamesEqual(f->Name(), name)) return f;
    Throw(err::kItemNotFound, name);
}

bool TableFields::Contains(const std::string& name) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const FieldPtr& f) { return NamesEqual(f->Name(), name); });
}

void TableFields::Append(const FieldPtr& f) {
    if (!f) Throw(err::kInvalidArgument);
    detail::CheckObjectName(f->Name());
    if (Contains(f->Name())) Throw(err::kFieldExists, f->Name());
    if (items_.size() >= static_cast<size_t>(limits::kMaxFields)) Throw(err::kTooManyFields);
    detail::CheckFieldDefinition(*f);
    if (owner_->conn_) {
        detail::ColumnInfo c = detail::ColumnInfoOf(*f);
        for (const auto& p : f->Properties())
            c.properties.push_back({p->Name(), p->Type(), p->Value()});
        owner_->conn_->AddColumn(owner_->name_, c);
        ObjectAccess::Attach(*owner_, owner_->conn_);
        return;
    }
    f->SetOrdinalPosition(static_cast<int>(items_.size()));
    items_.push_back(f);
}

void TableFields::Delete(const std::string& name) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const FieldPtr& f) { return NamesEqual(f->Name(), name); });
    if (it == items_.end()) Throw(err::kItemNotFound, name);
    if (owner_->conn_) {
        owner_->conn_->DropColumn(owner_->name_, name);
        ObjectAccess::Attach(*owner_, owner_->conn_);
        return;
    }
    items_.erase(it);
}

IndexPtr TableIndexes::Item(const std::string& name) const {
    for (const auto& ix : items_)
        if (NamesEqual(ix->Name(), name)) return ix;
    Throw(err::kItemNotFound, name);
}

bool TableIndexes::Contains(const std::string& name) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const IndexPtr& ix) { return NamesEqual(ix->Name(), name); });
}

void TableIndexes::Append(const IndexPtr& ix) {
    if (!ix) Throw(err::kInvalidArgument);
    detail::CheckIndexDefinition(*ix, owner_->fields_, items_);
    if (owner_->conn_) {
        owner_->conn_->CreateIndex(owner_->name_, detail::IndexInfoOf(*ix, owner_->fields_));
        ObjectAccess::Attach(*owner_, owner_->conn_);
        return;
    }
    items_.push_back(ix);
}

void TableIndexes::Delete(const std::string& name) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const IndexPtr& ix) { return NamesEqual(ix->Name(), name); });
    if (it == items_.end()) Throw(err::kItemNotFound, name);
    if (owner_->conn_) {
        owner_->conn_->DropIndex(owner_->name_, name);
        ObjectAccess::Attach(*owner_, owner_->conn_);
        return;
    }
    items_.erase(it);
}

} // namespace engine
