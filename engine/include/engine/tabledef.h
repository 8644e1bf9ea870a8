// TableDef: the definition of a table.
//
// Made by Database::CreateTableDef, a table definition stands alone: fields and indexes are
// created and appended to it in memory, and nothing reaches the file until the table definition
// is appended to the database's TableDefs, which builds the table with its columns, indexes
// and properties in one step (all or nothing). A table definition taken from TableDefs is
// stored: appending or deleting a field or an index, changing a field or a property and
// assigning Name (a rename) act on the file at once. A stored TableDef stays valid while its
// Database is open; after a schema change made elsewhere, take it from TableDefs again.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/field.h"
#include "engine/index.h"
#include "engine/property.h"

namespace engine {

class TableDef;

namespace detail {
class Connection;
} // namespace detail

class TableFields {
  public:
    size_t Count() const { return items_.size(); }
    FieldPtr operator[](size_t i) const { return items_.at(i); }
    FieldPtr Item(const std::string& name) const; // 3265 when missing
    bool Contains(const std::string& name) const;
    // On a stored table adds the column at once (3191 for a duplicate name).
    void Append(const FieldPtr& field);
    // On a stored table drops the column at once.
    void Delete(const std::string& name);
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    friend class TableDef;
    friend struct detail::ObjectAccess;
    TableDef* owner_ = nullptr;
    std::vector<FieldPtr> items_;
};

class TableIndexes {
  public:
    size_t Count() const { return items_.size(); }
    IndexPtr operator[](size_t i) const { return items_.at(i); }
    IndexPtr Item(const std::string& name) const; // 3265 when missing
    bool Contains(const std::string& name) const;
    // On a stored table builds the index at once.
    void Append(const IndexPtr& index);
    void Delete(const std::string& name);
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    friend class TableDef;
    friend struct detail::ObjectAccess;
    TableDef* owner_ = nullptr;
    std::vector<IndexPtr> items_;
};

class TableDef {
  public:
    explicit TableDef(std::string name);
    TableDef(const TableDef&) = delete;
    TableDef& operator=(const TableDef&) = delete;

    const std::string& Name() const { return name_; }
    // On a stored table this renames it (3010 when the new name is taken).
    void SetName(const std::string& name);

    TableFields& Fields() { return fields_; }
    TableIndexes& Indexes() { return indexes_; }
    engine::Properties& Properties() { return properties_; }

    FieldPtr CreateField(const std::string& name, int type, long size = 0) const;
    IndexPtr CreateIndex(const std::string& name) const;
    PropertyPtr CreateProperty(const std::string& name, int type, const Variant& value) const;

    bool IsStored() const { return conn_ != nullptr; }
    // Number of records of a stored table (0 for one not yet appended).
    long RecordCount() const;

  private:
    friend class TableFields;
    friend class TableIndexes;
    friend struct detail::ObjectAccess;
    std::string name_;
    TableFields fields_;
    TableIndexes indexes_;
    engine::Properties properties_;
    std::shared_ptr<detail::Connection> conn_;
};

using TableDefPtr = std::shared_ptr<TableDef>;

} // namespace engine
