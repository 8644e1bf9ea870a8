#include "CarryFunctions.h"

#include <sqlite3.h>

#include <cstdint>
#include <new>

#include "engine/error.h"
#include "engine/sql_values.h"
#include "engine/types.h"

namespace tavorin {
namespace {

using engine::Variant;
namespace dao = engine::dao;

constexpr const char* kValueFunction = "tavorin_carry";
constexpr const char* kAutoFunction = "tavorin_carry_auto";
constexpr const char* kRowFunction = "tavorin_carry_row";
constexpr const char* kSkipFunction = "tavorin_carry_skip";
constexpr const char* kHitFunction = "tavorin_carry_hit";
constexpr long kReportEvery = 1024;

// A date in the form the engine writes it ("yyyy-mm-dd hh:mm:ss", a day that exists, years
// 100 to 9999, no fraction of a second): read and written again, it comes back as it is.
bool IsStoredDate(const unsigned char* t, int bytes) {
    if (bytes != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':') return false;
    auto num = [&](int at, int digits, int& out) {
        out = 0;
        for (int i = at; i < at + digits; ++i) {
            if (t[i] < '0' || t[i] > '9') return false;
            out = out * 10 + (t[i] - '0');
        }
        return true;
    };
    int y, m, d, hh, mi, ss;
    if (!num(0, 4, y) || !num(5, 2, m) || !num(8, 2, d) || !num(11, 2, hh) || !num(14, 2, mi) || !num(17, 2, ss))
        return false;
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 100 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
    return hh <= 23 && mi <= 59 && ss <= 59;
}

// True when a value of an old field of the new field's type would be read, converted,
// coerced and written back unchanged, in the same storage class: it is then handed on as it
// is. Anything else (Null where it changes or is refused, the empty text, values out of the
// type's range or stored by other tools in another form, texts near the size) takes the full
// conversion.
bool StaysAsItIs(sqlite3_value* value, const engine::FieldInfo& target, bool nullRefused) {
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return !nullRefused && !target.required && target.type != dao::dbText;
    case SQLITE_INTEGER: {
        const int64_t n = sqlite3_value_int64(value);
        switch (target.type) {
        case dao::dbBoolean:
            return n == 0 || n == -1;
        case dao::dbByte:
            return n >= 0 && n <= 255;
        case dao::dbInteger:
            return n >= INT16_MIN && n <= INT16_MAX;
        case dao::dbLong:
            return n >= INT32_MIN && n <= INT32_MAX;
        case dao::dbCurrency:
            return true;
        default:
            return false;
        }
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(value);
        if (target.type == dao::dbSingle) return static_cast<double>(static_cast<float>(d)) == d;
        return target.type == dao::dbDouble || target.type == dao::dbDecimal || target.type == dao::dbBigInt;
    }
    case SQLITE_TEXT: {
        // UTF-8 never takes fewer bytes than code page 932, so a text within the size fits.
        const int bytes = sqlite3_value_bytes(value);
        if (bytes == 0) return false;
        if (target.type == dao::dbDate) return IsStoredDate(sqlite3_value_text(value), bytes);
        if (target.type == dao::dbMemo) return true;
        return target.type == dao::dbText && (target.size <= 0 || bytes <= target.size);
    }
    default:
        return false;
    }
}

} // namespace

CarryFunctions::CarryFunctions(sqlite3* db) : db_(db) {
    struct Function {
        const char* name;
        int args;
        int flags;
        void (*call)(sqlite3_context*, int, sqlite3_value**);
    };
    const Function functions[] = {
        {kValueFunction, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &CarryFunctions::Value},
        {kAutoFunction, 1, SQLITE_UTF8, &CarryFunctions::Auto},
        {kRowFunction, 0, SQLITE_UTF8, &CarryFunctions::Row},
        {kSkipFunction, 0, SQLITE_UTF8, &CarryFunctions::Skip},
        {kHitFunction, 1, SQLITE_UTF8, &CarryFunctions::Hit},
    };
    for (const Function& f : functions) {
        if (sqlite3_create_function_v2(db_, f.name, f.args, f.flags, this, f.call, nullptr, nullptr, nullptr) !=
            SQLITE_OK)
            engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db_));
    }
}

CarryFunctions::~CarryFunctions() {
    sqlite3_create_function_v2(db_, kValueFunction, 2, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db_, kAutoFunction, 1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db_, kRowFunction, 0, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db_, kSkipFunction, 0, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db_, kHitFunction, 1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
}

int CarryFunctions::AddConverted(const std::string& name, int sourceType, const ValueConversion& conversion,
                                 const engine::FieldInfo& target, bool nullRefused) {
    Entry e;
    e.name = name;
    e.sourceType = sourceType;
    e.conversion = conversion;
    e.target = target;
    e.nullRefused = nullRefused;
    e.passThrough = conversion.KeepsValues() && sourceType == target.type;
    entries_.push_back(std::move(e));
    return static_cast<int>(entries_.size()) - 1;
}

int CarryFunctions::AddLinked(const std::string& name, int sourceType, const ValueConversion& conversion,
                              const engine::FieldInfo& target, bool nullRefused) {
    const int key = AddConverted(name, sourceType, conversion, target, nullRefused);
    entries_.back().kind = Kind::Linked;
    return key;
}

int CarryFunctions::AddKept(const engine::FieldInfo& target, bool nullRefused) {
    Entry e;
    e.kind = Kind::Kept;
    e.name = target.name;
    e.target = target;
    e.nullRefused = nullRefused;
    entries_.push_back(std::move(e));
    return static_cast<int>(entries_.size()) - 1;
}

int CarryFunctions::AddStoredWhole(const engine::FieldInfo& target) {
    const int key = AddKept(target, false);
    entries_.back().kind = Kind::StoredWhole;
    return key;
}

int CarryFunctions::AddConstant(const Variant& value, const engine::FieldInfo& target) {
    Entry e;
    e.name = target.name;
    e.constant = value;
    e.target = target;
    entries_.push_back(std::move(e));
    return static_cast<int>(entries_.size()) - 1;
}

void CarryFunctions::SetAutoNumber(int64_t next, bool keepOld, int sourceType, const engine::FieldInfo& target) {
    auto_ = {true, next, keepOld, sourceType, target};
}

void CarryFunctions::Fail(sqlite3_context* ctx, const std::string& reason) {
    if (failure_.empty()) failure_ = reason;
    sqlite3_result_error(ctx, reason.c_str(), static_cast<int>(reason.size()));
}

namespace {

// Runs one call; what it throws fails the statement with the reason.
template <class F>
void Guarded(sqlite3_context* ctx, CarryFunctions& self, F&& call, void (CarryFunctions::*fail)(sqlite3_context*,
                                                                                                 const std::string&)) {
    try {
        call();
    } catch (const engine::Error& e) {
        (self.*fail)(ctx, "Error; " + std::to_string(e.Number()) + " " + e.Description());
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        (self.*fail)(ctx, e.what());
    }
}

} // namespace

void CarryFunctions::Value(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto& self = *static_cast<CarryFunctions*>(sqlite3_user_data(ctx));
    Guarded(
        ctx, self,
        [&] {
            const int64_t key = sqlite3_value_int64(argv[0]);
            if (key < 0 || key >= static_cast<int64_t>(self.entries_.size())) engine::Throw(9);
            const Entry& e = self.entries_[static_cast<size_t>(key)];
            if (e.kind == Kind::Linked || e.kind == Kind::Kept || e.kind == Kind::StoredWhole) {
                ImportValue(ctx, e, argv[1]);
                return;
            }
            if (!e.conversion) {
                engine::SetSqlResult(ctx, e.constant, e.target);
                return;
            }
            if (e.passThrough && StaysAsItIs(argv[1], e.target, e.nullRefused)) {
                sqlite3_result_value(ctx, argv[1]);
                return;
            }
            Variant v = e.conversion->Apply(engine::SqlArgumentValue(argv[1], e.sourceType));
            // As the record-by-record copy: the empty text lands as Null where the field refuses it.
            if (v.IsString() && v.StringValue().empty() && !e.target.allowZeroLength) v = Variant::Null();
            if (v.IsNull() && (e.nullRefused || e.target.required))
                engine::Throw(e.nullRefused ? engine::err::kNullInIndex : engine::err::kRequiredNull, e.target.name);
            engine::SetSqlResult(ctx, v, e.target);
        },
        &CarryFunctions::Fail);
}

void CarryFunctions::ImportValue(sqlite3_context* ctx, const Entry& e, sqlite3_value* value) {
    if (e.kind == Kind::StoredWhole) {
        if (sqlite3_value_type(value) != SQLITE_INTEGER) engine::Throw(engine::err::kEngineFailure, e.target.name);
        sqlite3_result_value(ctx, value);
        return;
    }
    const bool isNull = sqlite3_value_type(value) == SQLITE_NULL;
    const bool textual = e.target.type == dao::dbText || e.target.type == dao::dbMemo;
    if (e.kind == Kind::Kept) {
        if (isNull && (e.nullRefused || e.target.required))
            engine::Throw(e.nullRefused ? engine::err::kNullInIndex : engine::err::kRequiredNull, e.target.name);
        if (textual && !e.target.allowZeroLength && sqlite3_value_type(value) == SQLITE_TEXT &&
            sqlite3_value_bytes(value) == 0)
            engine::Throw(engine::err::kZeroLength, e.target.name);
        sqlite3_result_value(ctx, value);
        return;
    }
    // A Null stays a Null only where the field refuses the empty text and takes a Null.
    if (e.passThrough && (isNull ? !e.target.allowZeroLength && !e.nullRefused && !e.target.required
                                 : StaysAsItIs(value, e.target, e.nullRefused))) {
        sqlite3_result_value(ctx, value);
        return;
    }
    Variant v = e.conversion->Apply(engine::SqlArgumentValue(value, e.sourceType));
    if (v.IsNull() || v.IsEmpty() || (v.IsString() && v.StringValue().empty()))
        v = e.target.allowZeroLength ? Variant("") : Variant::Null();
    if (v.IsNull() && (e.nullRefused || e.target.required))
        engine::Throw(e.nullRefused ? engine::err::kNullInIndex : engine::err::kRequiredNull, e.target.name);
    engine::SetSqlResult(ctx, v, e.target);
}

void CarryFunctions::Skip(sqlite3_context* ctx, int, sqlite3_value**) {
    ++static_cast<CarryFunctions*>(sqlite3_user_data(ctx))->skipped_;
    sqlite3_result_int(ctx, 0);
}

void CarryFunctions::Hit(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_int(argv[0]) != 0) ++static_cast<CarryFunctions*>(sqlite3_user_data(ctx))->hits_;
    sqlite3_result_value(ctx, argv[0]);
}

void CarryFunctions::Auto(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto& self = *static_cast<CarryFunctions*>(sqlite3_user_data(ctx));
    Guarded(
        ctx, self,
        [&] {
            AutoNumber& a = self.auto_;
            // Every record takes a number, as AddNew does, also one that keeps its old number.
            const int64_t taken = a.next++;
            int64_t used = taken;
            if (a.keepOld) {
                const Variant old = engine::SqlArgumentValue(argv[0], a.sourceType);
                // A record without a number is left to the record-by-record copy.
                if (old.IsNull()) engine::Throw(engine::err::kNullInIndex, a.target.name);
                used = engine::CLng(old);
            }
            if (a.next <= used) a.next = used + 1;
            engine::SetSqlResult(ctx, Variant::Long(static_cast<int32_t>(used)), a.target);
        },
        &CarryFunctions::Fail);
}

void CarryFunctions::Row(sqlite3_context* ctx, int, sqlite3_value**) {
    auto& self = *static_cast<CarryFunctions*>(sqlite3_user_data(ctx));
    ++self.records_;
    if (self.report_ && self.records_ % kReportEvery == 0) self.report_(self.records_);
    sqlite3_result_int(ctx, 1);
}

} // namespace tavorin
