// Values of SQL functions that the engine registers on a file's connection for a statement of
// its own (the copy's carry functions): read and written exactly as the engine reads and writes
// the columns of its fields.
#pragma once

#include <string_view>

#include "engine/recordset.h"
#include "engine/variant.h"

struct sqlite3_context;
struct sqlite3_value;

namespace engine {

// The argument as a recordset reads a column of a field of daoType holding it.
Variant SqlArgumentValue(sqlite3_value* argument, int daoType);

// Coerces value for field as Recordset::SetValue does (throwing its errors: 3421, 3349, 3163)
// and sets it as the function's result in the storage form of the field's column.
void SetSqlResult(sqlite3_context* context, const Variant& value, const FieldInfo& field);

// True when text is a date exactly as the engine stores one: read as a date and written back,
// it gives the same text.
bool IsStoredDateText(std::string_view text);

} // namespace engine
