// The type vocabulary of a layout: the type names a row may take, their DAO type codes, default
// sizes and the value type a save converts into, and the comparison of names.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/variant.h"

namespace engine {
class Field;
}

namespace tavorin {

// The pseudo type of an auto-number field (a Long with Attributes 17).
inline constexpr std::string_view kAutoNumberType = "(ｵｰﾄﾅﾝﾊﾞ-)";
inline constexpr int kTypeSlots = 31;

// Type names indexed by the DAO type code (slot 0 the auto number); slots without a name are
// empty. A constant of the vocabulary below.
const std::array<std::string, kTypeSlots>& TypeNames();

// The type code of name (case ignored); -1 for an empty or unknown name.
int16_t TypeCodeOf(std::string_view name);
// The position of name in the type drop-downs; -1 for an empty name, and the last position
// for a name that is not in the vocabulary.
int16_t TypeListIndexOf(std::string_view name);
// Sets size to the default size of type name; an unknown name leaves it unchanged.
void DefaultTypeSize(std::string_view name, int16_t& size);

// One type of the vocabulary.
struct TypeRow {
    int code;
    const char* name;
    int16_t defaultSize;
    engine::VarType conversion; // target of the value conversion (text types have their own rules)
};
// The vocabulary's row of name (case ignored); nullptr for an empty or unknown name.
const TypeRow* TypeRowOf(std::string_view name);

// The type name a layout shows for a field: "(ｵｰﾄﾅﾝﾊﾞ-)" for an auto-number Long, else the name
// of its type code ("" for a type outside the vocabulary).
std::string FieldTypeName(const engine::Field& field);

// Names, tables and type names compare as the engine compares them: ignoring the case of the
// ASCII letters alone (engine/names.h).
bool SameText(std::string_view a, std::string_view b);

} // namespace tavorin
