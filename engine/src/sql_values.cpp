#include "engine/sql_values.h"

#include "value_codec.h"

namespace engine {

Variant SqlArgumentValue(sqlite3_value* argument, int daoType) { return detail::ReadSqlValue(argument, daoType); }

void SetSqlResult(sqlite3_context* context, const Variant& value, const FieldInfo& field) {
    Variant stored;
    detail::CoerceForFieldInto(value, field, stored);
    detail::ResultValue(context, stored, field.type);
}

} // namespace engine
