#include "core/TypeVocabulary.h"

#include "engine/field.h"
#include "engine/names.h"
#include "engine/types.h"

namespace tavorin {

using engine::VarType;
namespace dao = engine::dao;

namespace {

constexpr TypeRow kTypeRows[] = {
    {0, "(ｵｰﾄﾅﾝﾊﾞ-)", 4, VarType::Long},
    {dao::dbBoolean, "dbBoolean", 2, VarType::Boolean},
    {dao::dbByte, "dbByte", 1, VarType::Byte},
    {dao::dbInteger, "dbInteger", 2, VarType::Integer},
    {dao::dbLong, "dbLong", 4, VarType::Long},
    {dao::dbCurrency, "dbCurrency", 8, VarType::Currency},
    {dao::dbSingle, "dbSingle", 4, VarType::Single},
    {dao::dbDouble, "dbDouble", 8, VarType::Double},
    {dao::dbDate, "dbDate", 8, VarType::Date},
    {dao::dbText, "dbText", 50, VarType::String},
    {dao::dbMemo, "dbMemo", 0, VarType::String},
};

} // namespace

const TypeRow* TypeRowOf(std::string_view name) {
    if (name.empty()) return nullptr;
    for (const TypeRow& row : kTypeRows)
        if (SameText(name, row.name)) return &row;
    return nullptr;
}

bool SameText(std::string_view a, std::string_view b) {
    return engine::NamesEqual(a, b);
}

const std::array<std::string, kTypeSlots>& TypeNames() {
    static const std::array<std::string, kTypeSlots> names = [] {
        std::array<std::string, kTypeSlots> slots;
        for (const TypeRow& row : kTypeRows) slots[static_cast<size_t>(row.code)] = row.name;
        return slots;
    }();
    return names;
}

std::string FieldTypeName(const engine::Field& field) {
    // Only a Long field is an auto-number: Jet also marks generated GUIDs with Attributes 17.
    if (field.Attributes() == 17 && field.Type() == dao::dbLong)
        return std::string(kAutoNumberType);
    if (field.Type() >= 1 && field.Type() < kTypeSlots)
        return TypeNames()[static_cast<size_t>(field.Type())];
    return {};
}

int16_t TypeCodeOf(std::string_view name) {
    if (name.empty()) return -1;
    for (int slot = 0; slot < kTypeSlots; ++slot) {
        const std::string& slotName = TypeNames()[static_cast<size_t>(slot)];
        if (!slotName.empty() && SameText(slotName, name)) return static_cast<int16_t>(slot);
    }
    return -1;
}

int16_t TypeListIndexOf(std::string_view name) {
    if (name.empty()) return -1;
    int16_t position = -1;
    for (const std::string& slotName : TypeNames()) {
        if (slotName.empty()) continue;
        ++position;
        if (SameText(slotName, name)) break;
    }
    return position;
}

void DefaultTypeSize(std::string_view name, int16_t& size) {
    if (const TypeRow* row = TypeRowOf(name)) size = row->defaultSize;
}

} // namespace tavorin
