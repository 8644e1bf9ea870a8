#include "values/sql_values.h"

#include "values/value_codec.h"

namespace engine {

Variant SqlArgumentValue(sqlite3_value* argument, int daoType) {
    return detail::ReadSqlValue(argument, daoType);
}

void SetSqlResult(sqlite3_context* context, const Variant& value, const FieldInfo& field) {
    Variant stored;
    detail::CoerceForFieldInto(value, field, stored);
    detail::ResultValue(context, stored, field.type);
}

bool IsStoredDateText(std::string_view text) {
    // The form the engine writes: "yyyy-mm-dd hh:nn:ss", with ".fff" only for a part of a
    // second; checked by its fields rather than read and written back, as it runs for every
    // date carried over on a save.
    if (text.size() != 19 && text.size() != 23) return false;
    auto number = [&](size_t at, size_t digits, int& out) {
        out = 0;
        for (size_t i = at; i < at + digits; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int y, m, d, h, n, s;
    if (!number(0, 4, y) || text[4] != '-' || !number(5, 2, m) || text[7] != '-' ||
        !number(8, 2, d) || text[10] != ' ' || !number(11, 2, h) || text[13] != ':' ||
        !number(14, 2, n) || text[16] != ':' || !number(17, 2, s))
        return false;
    // Dates before the year 100 are out of the range a date field takes.
    if (y < 100 || m < 1 || m > 12 || d < 1 || h > 23 || n > 59 || s > 59) return false;
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
    if (text.size() == 23) {
        int ms;
        if (text[19] != '.' || !number(20, 3, ms) || ms == 0) return false;
    }
    return true;
}

} // namespace engine
