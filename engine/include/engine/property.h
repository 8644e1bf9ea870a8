// Property: a named, typed value attached to a table definition or a field ("Description" is
// the one the system uses). A property made with CreateProperty lives only in memory until it
// is appended to a Properties collection; a property of a stored table or field writes through
// to the database file at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/variant.h"

namespace engine {

namespace detail {
struct ObjectAccess;
struct StoredAt; // where a stored object lives: its file, table and (for a field) field name
} // namespace detail

class Property {
  public:
    Property(std::string name, int type, Variant value)
        : name_(std::move(name)), type_(type), value_(std::move(value)) {}

    const std::string& Name() const { return name_; }
    int Type() const { return type_; }
    const Variant& Value() const { return value_; }
    // On a property of a stored object, the new value is written to the file at once.
    void SetValue(const Variant& value);

  private:
    friend class Properties;
    friend struct detail::ObjectAccess;
    std::string name_;
    int type_;
    Variant value_;
    std::shared_ptr<const detail::StoredAt> at_; // set when it belongs to a stored object
};

using PropertyPtr = std::shared_ptr<Property>;

// The user-defined properties of one table or field. Names compare ignoring case.
class Properties {
  public:
    size_t Count() const { return items_.size(); }
    PropertyPtr operator[](size_t i) const { return items_.at(i); }
    // Throws 3270 when the object has no property of that name.
    PropertyPtr Item(const std::string& name) const;
    bool Contains(const std::string& name) const;
    // Throws 3367 when a property of that name exists already.
    void Append(const PropertyPtr& property);
    void Delete(const std::string& name);

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    friend struct detail::ObjectAccess;
    std::shared_ptr<const detail::StoredAt> at_;
    std::vector<PropertyPtr> items_;
};

} // namespace engine
