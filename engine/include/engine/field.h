// Field: a column of a table definition, or a member of an index.
//
// A field made by TableDef::CreateField stands alone until it is appended; its settings are
// written into the table when the table definition is appended. A field of a stored table
// writes each change of AllowZeroLength, DefaultValue, Required and Name through to the file
// at once. In an index, Attributes 1 (dbDescending) marks a descending member.
#pragma once

#include <memory>
#include <string>

#include "engine/property.h"

namespace engine {

class Field {
  public:
    Field(std::string name, int type, long size)
        : name_(std::move(name)), type_(type), size_(size) {}

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    int Type() const { return type_; }
    void SetType(int type);
    // Text: maximum length in code page 932 bytes; other types: the storage size in bytes.
    long Size() const { return size_; }
    void SetSize(long size);
    long Attributes() const { return attributes_; }
    void SetAttributes(long attributes);
    bool AllowZeroLength() const { return allowZeroLength_; }
    void SetAllowZeroLength(bool allow);
    bool Required() const { return required_; }
    void SetRequired(bool required);
    // The default value as the expression text Jet keeps: "" when none, "\"\"" for the empty
    // text, "0" for zero.
    const std::string& DefaultValue() const { return defaultValue_; }
    void SetDefaultValue(const std::string& expression);
    // 0-based position in the table.
    int OrdinalPosition() const { return ordinal_; }
    void SetOrdinalPosition(int position);

    // True for an auto-number field (Attributes include dbAutoIncrField).
    bool IsAutoIncrement() const;

    engine::Properties& Properties() { return properties_; }
    PropertyPtr CreateProperty(const std::string& name, int type, const Variant& value) const;

  private:
    friend struct detail::ObjectAccess;
    void CheckChangeable() const;

    std::string name_;
    int type_;
    long size_;
    long attributes_ = 0;
    bool allowZeroLength_ = false;
    bool required_ = false;
    std::string defaultValue_;
    int ordinal_ = 0;
    engine::Properties properties_;
    std::shared_ptr<const detail::StoredAt> at_; // a column of a stored table
    bool frozen_ = false;                        // a read-only member of a stored index
};

using FieldPtr = std::shared_ptr<Field>;

} // namespace engine
