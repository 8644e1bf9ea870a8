#include "storage/schema_rules.h"

#include "engine/error.h"
#include "engine/text932.h"
#include "engine/types.h"

namespace engine {

void CheckObjectName(const std::string& name) {
    if (name.empty() || name.front() == ' ') Throw(err::kInvalidName, name);
    size_t pos = 0, count = 0;
    while (pos < name.size()) {
        char32_t cp = cp932::NextCodePoint(name, pos);
        // Jet refuses control characters and the characters of its own name syntax.
        if (cp < 0x20 || cp == 0x7F || cp == 0xFFFD || cp == '.' || cp == '!' || cp == '`' ||
            cp == '[' || cp == ']')
            Throw(err::kInvalidName, name);
        ++count;
    }
    if (count > static_cast<size_t>(limits::kMaxNameLength)) Throw(err::kInvalidName, name);
}

namespace {
bool StartsWithIgnoringCase(const std::string& name, std::string_view prefix) {
    return name.size() >= prefix.size() &&
           NamesEqual(std::string_view(name).substr(0, prefix.size()), prefix);
}
// prefix followed by one or more digits, as the engine numbers its own objects.
bool NumberedName(const std::string& name, std::string_view prefix) {
    return name.size() > prefix.size() && StartsWithIgnoringCase(name, prefix) &&
           name.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}
} // namespace

void CheckTableName(const std::string& name) {
    CheckObjectName(name);
    // SQLite keeps "sqlite_" names for itself, and the engine's catalog tables and the SQLite
    // indexes behind the object model's indexes share the file's one namespace with the tables.
    for (std::string_view reserved : {"MSysDatabase", "MSysTables", "MSysColumns", "MSysIndexes",
                                      "MSysIndexColumns", "MSysProperties"})
        if (NamesEqual(name, reserved)) Throw(err::kInvalidName, name);
    if (StartsWithIgnoringCase(name, "sqlite_") || NumberedName(name, "MSysIdx") ||
        NumberedName(name, "MSysRename_"))
        Throw(err::kInvalidName, name);
}

namespace detail {

void CheckFieldDefinition(const Field& f) {
    switch (f.Type()) {
    case dao::dbText:
        if (f.Size() < 0 || f.Size() > limits::kMaxTextSize) Throw(err::kInvalidArgument, f.Name());
        break;
    case dao::dbBoolean:
    case dao::dbByte:
    case dao::dbInteger:
    case dao::dbLong:
    case dao::dbCurrency:
    case dao::dbSingle:
    case dao::dbDouble:
    case dao::dbDate:
    case dao::dbMemo:
    case dao::dbBinary:
    case dao::dbLongBinary:
    case dao::dbGUID:
    case dao::dbDecimal:
    case dao::dbBigInt:
        break;
    default:
        Throw(err::kInvalidArgument, f.Name());
    }
    if ((f.Attributes() & dao::dbAutoIncrField) && f.Type() != dao::dbLong)
        Throw(err::kInvalidArgument, f.Name());
}

void CheckIndexDefinition(const Index& ix, const TableFields& fields,
                          const std::vector<IndexPtr>& existing) {
    CheckObjectName(ix.Name());
    if (existing.size() >= static_cast<size_t>(limits::kMaxIndexes)) Throw(err::kTooManyIndexes);
    for (const auto& other : existing) {
        if (NamesEqual(other->Name(), ix.Name())) Throw(err::kIndexExists, ix.Name());
        if (ix.Primary() && other->Primary()) Throw(err::kPrimaryExists);
    }
    if (ix.Fields().Count() == 0) Throw(err::kNoFieldDefined);
    if (ix.Fields().Count() > static_cast<size_t>(limits::kMaxIndexFields))
        Throw(err::kTooManyIndexFields);
    for (const auto& f : ix.Fields()) {
        if (!fields.Contains(f->Name())) Throw(err::kItemNotFound, f->Name());
        int type = fields.Item(f->Name())->Type();
        if (type == dao::dbMemo || type == dao::dbLongBinary)
            Throw(err::kInvalidOperation, f->Name());
    }
}

ColumnInfo ColumnInfoOf(const Field& f) {
    ColumnInfo c;
    c.name = f.Name();
    c.type = f.Type();
    c.size = f.Size();
    c.attributes = f.Attributes() & ~(dao::dbFixedField | dao::dbVariableField);
    // Jet reports fixed-size types with attribute 1 and text, memo and binary with 2.
    bool variable = c.type == dao::dbText || c.type == dao::dbMemo || c.type == dao::dbBinary ||
                    c.type == dao::dbLongBinary;
    // A fixed-length text field (Jet's fixed text columns) keeps its attribute.
    if (c.type == dao::dbText && (f.Attributes() & dao::dbFixedField)) variable = false;
    c.attributes |= variable ? dao::dbVariableField : dao::dbFixedField;
    if (c.size <= 0 || c.type != dao::dbText) {
        switch (c.type) {
        case dao::dbBoolean:
            c.size = 1;
            break;
        case dao::dbByte:
            c.size = 1;
            break;
        case dao::dbInteger:
            c.size = 2;
            break;
        case dao::dbLong:
            c.size = 4;
            break;
        case dao::dbCurrency:
            c.size = 8;
            break;
        case dao::dbSingle:
            c.size = 4;
            break;
        case dao::dbDouble:
            c.size = 8;
            break;
        case dao::dbDate:
            c.size = 8;
            break;
        case dao::dbText:
            c.size = 255;
            break;
        case dao::dbGUID:
            c.size = 16;
            break;
        case dao::dbDecimal:
            c.size = 16;
            break;
        case dao::dbBigInt:
            c.size = 8;
            break;
        case dao::dbBinary:
            if (c.size <= 0) c.size = 255;
            break;
        default:
            c.size = 0;
            break;
        }
    }
    c.allowZeroLength = f.AllowZeroLength();
    c.required = f.Required();
    c.defaultValue = f.DefaultValue();
    return c;
}

IndexInfo IndexInfoOf(const Index& ix, const TableFields& fields) {
    IndexInfo info;
    info.name = ix.Name();
    info.primary = ix.Primary();
    info.unique = ix.Unique() || ix.Primary();
    info.ignoreNulls = ix.IgnoreNulls();
    info.required = ix.Required() || ix.Primary();
    for (const auto& f : ix.Fields())
        info.columns.push_back(
            {fields.Item(f->Name())->Name(), (f->Attributes() & dao::dbDescending) != 0});
    return info;
}

TableInfo TableInfoOf(TableDef& t) {
    TableInfo info;
    info.name = t.Name();
    for (const auto& f : t.Fields()) {
        ColumnInfo c = ColumnInfoOf(*f);
        for (const auto& p : f->Properties())
            c.properties.push_back({p->Name(), p->Type(), p->Value()});
        info.columns.push_back(std::move(c));
    }
    for (const auto& ix : t.Indexes()) info.indexes.push_back(IndexInfoOf(*ix, t.Fields()));
    for (const auto& p : t.Properties())
        info.properties.push_back({p->Name(), p->Type(), p->Value()});
    return info;
}

} // namespace detail
} // namespace engine
