// Index: a named index of a table definition. Index names are unique within their table
// (ignoring case). A new index is built with CreateIndex, given its fields (CreateField on
// the index, Attributes = dbDescending for a descending member) and appended to the table's
// Indexes; a stored index cannot be changed, only deleted.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/field.h"

namespace engine {

class IndexFields {
  public:
    size_t Count() const { return items_.size(); }
    FieldPtr operator[](size_t i) const { return items_.at(i); }
    FieldPtr Item(const std::string& name) const; // 3265 when missing
    void Append(const FieldPtr& field);           // 3367 for a name already there
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    friend struct detail::ObjectAccess;
    bool frozen_ = false;
    std::vector<FieldPtr> items_;
};

class Index {
  public:
    explicit Index(std::string name) : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    bool Primary() const { return primary_; }
    void SetPrimary(bool primary);
    bool Unique() const { return unique_; }
    void SetUnique(bool unique);
    bool IgnoreNulls() const { return ignoreNulls_; }
    void SetIgnoreNulls(bool ignore);
    bool Required() const { return required_; }
    void SetRequired(bool required);

    IndexFields& Fields() { return fields_; }
    const IndexFields& Fields() const { return fields_; }
    FieldPtr CreateField(const std::string& name) const;

  private:
    friend struct detail::ObjectAccess;
    void CheckChangeable() const;

    std::string name_;
    bool primary_ = false;
    bool unique_ = false;
    bool ignoreNulls_ = false;
    bool required_ = false;
    IndexFields fields_;
    bool frozen_ = false; // a stored index is read-only
};

using IndexPtr = std::shared_ptr<Index>;

} // namespace engine
