#include "copy/carry_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <new>
#include <string_view>

#include "engine/error.h"
#include "engine/text932.h"
#include "engine/types.h"
#include "values/sql_values.h"

namespace engine::copy {
namespace {

namespace dao = engine::dao;

constexpr const char* kValueFunction = "tavorin_carry";
constexpr const char* kAutoFunction = "tavorin_carry_auto";
constexpr const char* kRowFunction = "tavorin_carry_row";
constexpr const char* kTryFunction = "tavorin_carry_try";
constexpr const char* kSkipFunction = "tavorin_carry_skip";
constexpr const char* kHitFunction = "tavorin_carry_hit";
constexpr const char* kSameFunction = "tavorin_carry_same";
constexpr int kReportEvery = 1024; // records between progress reports

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
        return target.type == dao::dbDouble || target.type == dao::dbDecimal ||
               target.type == dao::dbBigInt;
    }
    case SQLITE_TEXT: {
        // The bytes as stored: sqlite3_value_text would copy a column's text to end it.
        const auto* text = static_cast<const char*>(sqlite3_value_blob(value));
        const int bytes = sqlite3_value_bytes(value);
        if (bytes == 0) return false;
        if (target.type == dao::dbMemo) return true;
        const std::string_view view(text, static_cast<size_t>(bytes));
        if (target.type == dao::dbDate) return engine::IsStoredDateText(view);
        // UTF-8 never takes fewer bytes than code page 932, so a text within the size fits;
        // a longer one is counted as the field's coercion counts it.
        return target.type == dao::dbText &&
               (target.size <= 0 || bytes <= target.size ||
                engine::cp932::ByteLength(view) <= static_cast<size_t>(target.size));
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
        // Not deterministic: each call notes its refusals.
        {kTryFunction, 2, SQLITE_UTF8, &CarryFunctions::Try},
        {kSkipFunction, 0, SQLITE_UTF8, &CarryFunctions::Skip},
        {kHitFunction, 1, SQLITE_UTF8, &CarryFunctions::Hit},
        {kSameFunction, -1, SQLITE_UTF8, &CarryFunctions::Same},
    };
    // Every function counts, numbers or fails the running statement: only the program's own
    // statements may call them, never a view, trigger, check or index stored in a user's file.
    for (const Function& f : functions) {
        if (sqlite3_create_function_v2(db_, f.name, f.args, f.flags | SQLITE_DIRECTONLY, this,
                                       f.call, nullptr, nullptr, nullptr) != SQLITE_OK)
            engine::Throw(engine::err::kEngineFailure, sqlite3_errmsg(db_));
    }
}

CarryFunctions::~CarryFunctions() {
    sqlite3_create_function_v2(db_, kValueFunction, 2, SQLITE_UTF8, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db_, kAutoFunction, 1, SQLITE_UTF8, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db_, kRowFunction, 0, SQLITE_UTF8, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db_, kTryFunction, 2, SQLITE_UTF8, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db_, kSkipFunction, 0, SQLITE_UTF8, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db_, kHitFunction, 1, SQLITE_UTF8, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db_, kSameFunction, -1, SQLITE_UTF8, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
}

bool CarryFunctions::CanPassAsItIs(int key) const {
    return key >= 0 && key < static_cast<int>(entries_.size()) &&
           entries_[static_cast<size_t>(key)].kind == Kind::Linked &&
           entries_[static_cast<size_t>(key)].passThrough;
}

void CarryFunctions::ResetCounts() {
    records_ = skipped_ = hits_ = 0;
    needsConversion_ = false;
    failure_.clear();
}

int CarryFunctions::AddConverted(const std::string& name, int sourceType,
                                 const ValueConversion& conversion, const engine::FieldInfo& target,
                                 bool nullRefused) {
    Entry e;
    e.name = name;
    e.sourceType = sourceType;
    e.conversion = conversion;
    e.target = target;
    e.nullRefused = nullRefused;
    e.passThrough = conversion.KeepsValues() && sourceType == target.type;
    using Shape = ValueConversion::Shape;
    const Shape shape = conversion.Kind();
    const bool intSource =
        sourceType == dao::dbByte || sourceType == dao::dbInteger || sourceType == dao::dbLong;
    const bool textSource = sourceType == dao::dbText || sourceType == dao::dbMemo;
    if ((shape == Shape::CutsText && textSource) || (shape == Shape::ToText && intSource)) {
        // Only where the cut text always fits the field as the conversion leaves it.
        const int bytes = conversion.CutBytes();
        if (target.type == dao::dbText && bytes > 0 && (target.size <= 0 || bytes <= target.size)) {
            e.quick = shape == Shape::CutsText ? Entry::Quick::CutText : Entry::Quick::NumberToText;
            e.cutBytes = bytes;
        }
    } else if (shape == Shape::ToNumber && textSource) {
        const engine::VarType to = conversion.NumberType();
        if ((to == engine::VarType::Long && target.type == dao::dbLong) ||
            (to == engine::VarType::Integer && target.type == dao::dbInteger) ||
            (to == engine::VarType::Byte && target.type == dao::dbByte) ||
            (to == engine::VarType::Double && target.type == dao::dbDouble))
            e.quick = Entry::Quick::DigitsToNumber;
    }
    entries_.push_back(std::move(e));
    return static_cast<int>(entries_.size()) - 1;
}

int CarryFunctions::AddLinked(const std::string& name, int sourceType,
                              const ValueConversion& conversion, const engine::FieldInfo& target,
                              bool nullRefused) {
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

void CarryFunctions::SetAutoNumber(int64_t next, bool keepOld, int sourceType,
                                   const engine::FieldInfo& target) {
    auto_ = {true, next, keepOld, sourceType, target};
}

void CarryFunctions::Fail(sqlite3_context* ctx, const std::string& reason) {
    if (failure_.empty()) failure_ = reason;
    sqlite3_result_error(ctx, reason.c_str(), static_cast<int>(reason.size()));
}

namespace {

// Runs one call; what it throws fails the statement with the reason.
template <class F>
void Guarded(sqlite3_context* ctx, CarryFunctions& self, F&& call,
             void (CarryFunctions::*fail)(sqlite3_context*, const std::string&)) {
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

// The common values of three conversions, given exactly as Apply and the field's coercion give
// them but without a Variant; false leaves the value to them.
bool CarryFunctions::QuickValue(sqlite3_context* ctx, const Entry& e, sqlite3_value* value) {
    const int storage = sqlite3_value_type(value);
    switch (e.quick) {
    case Entry::Quick::None:
        return false;
    case Entry::Quick::CutText: {
        if (storage != SQLITE_TEXT) return false;
        const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(value));
        const std::string_view text(data, static_cast<size_t>(sqlite3_value_bytes(value)));
        const size_t kept = cp932::CutLength(text, e.cutBytes);
        // The empty text takes the field's rules for it.
        if (kept == 0) return false;
        if (kept == text.size())
            sqlite3_result_value(ctx, value);
        else
            sqlite3_result_text(ctx, data, static_cast<int>(kept), SQLITE_TRANSIENT);
        return true;
    }
    case Entry::Quick::NumberToText: {
        if (storage != SQLITE_INTEGER) return false;
        // Read as the field's type reads it.
        const int64_t stored = sqlite3_value_int64(value);
        int64_t n = stored;
        if (e.sourceType == dao::dbLong)
            n = static_cast<int32_t>(stored);
        else if (e.sourceType == dao::dbInteger)
            n = static_cast<int16_t>(stored);
        else
            n = static_cast<uint8_t>(stored);
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        const int length = std::min(static_cast<int>(end - digits), e.cutBytes);
        sqlite3_result_text(ctx, digits, length, SQLITE_TRANSIENT);
        return true;
    }
    case Entry::Quick::DigitsToNumber: {
        if (storage != SQLITE_TEXT) return false;
        const int bytes = sqlite3_value_bytes(value);
        if (bytes < 1 || bytes > 9) return false;
        const auto* text = sqlite3_value_text(value);
        int64_t n = 0;
        for (int i = 0; i < bytes; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            n = n * 10 + (text[i] - '0');
        }
        switch (e.target.type) {
        case dao::dbByte:
            if (n > 255) return false;
            break;
        case dao::dbInteger:
            if (n > 32767) return false;
            break;
        case dao::dbDouble:
            sqlite3_result_double(ctx, static_cast<double>(n));
            return true;
        default:
            break;
        }
        sqlite3_result_int64(ctx, n);
        return true;
    }
    }
    return false;
}

void CarryFunctions::Convert(sqlite3_context* ctx, sqlite3_value** argv, Stage& stage) {
    stage = Stage::Conversion;
    const int64_t key = sqlite3_value_int64(argv[0]);
    if (key < 0 || key >= static_cast<int64_t>(entries_.size())) engine::Throw(9);
    const Entry& e = entries_[static_cast<size_t>(key)];
    if (e.kind == Kind::Linked || e.kind == Kind::Kept || e.kind == Kind::StoredWhole) {
        stage = Stage::Storing;
        ImportValue(ctx, e, argv[1]);
        return;
    }
    if (!e.conversion) {
        stage = Stage::Storing;
        engine::SetSqlResult(ctx, e.constant, e.target);
        return;
    }
    if (e.passThrough && StaysAsItIs(argv[1], e.target, e.nullRefused)) {
        sqlite3_result_value(ctx, argv[1]);
        return;
    }
    if (QuickValue(ctx, e, argv[1])) return;
    Variant v = e.conversion->Apply(engine::SqlArgumentValue(argv[1], e.sourceType));
    // As the record-by-record copy: the empty text lands as Null where the field refuses it.
    if (v.IsString() && v.StringValue().empty() && !e.target.allowZeroLength) v = Variant::Null();
    if (v.IsNull() && (e.nullRefused || e.target.required)) {
        stage = Stage::Update;
        engine::Throw(e.nullRefused ? engine::err::kNullInIndex : engine::err::kRequiredNull,
                      e.target.name);
    }
    stage = Stage::Storing;
    engine::SetSqlResult(ctx, v, e.target);
}

void CarryFunctions::Value(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto& self = *static_cast<CarryFunctions*>(sqlite3_user_data(ctx));
    Stage stage = Stage::Conversion;
    Guarded(
        ctx, self, [&] { self.Convert(ctx, argv, stage); }, &CarryFunctions::Fail);
}

void CarryFunctions::Try(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto& self = *static_cast<CarryFunctions*>(sqlite3_user_data(ctx));
    const int key = static_cast<int>(sqlite3_value_int64(argv[0]));
    Stage stage = Stage::Conversion;
    try {
        self.Convert(ctx, argv, stage);
    } catch (const engine::Error& e) {
        self.refusals_.push_back({key, stage, e.Number(), e.Description()});
        sqlite3_result_null(ctx);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        self.refusals_.push_back({key, stage, 0, e.what()});
        sqlite3_result_null(ctx);
    }
}

void CarryFunctions::ImportValue(sqlite3_context* ctx, const Entry& e, sqlite3_value* value) {
    if (e.kind == Kind::StoredWhole) {
        if (sqlite3_value_type(value) != SQLITE_INTEGER)
            engine::Throw(engine::err::kEngineFailure, e.target.name);
        sqlite3_result_value(ctx, value);
        return;
    }
    const bool isNull = sqlite3_value_type(value) == SQLITE_NULL;
    const bool textual = e.target.type == dao::dbText || e.target.type == dao::dbMemo;
    if (e.kind == Kind::Kept) {
        if (isNull && (e.nullRefused || e.target.required))
            engine::Throw(e.nullRefused ? engine::err::kNullInIndex : engine::err::kRequiredNull,
                          e.target.name);
        if (textual && !e.target.allowZeroLength && sqlite3_value_type(value) == SQLITE_TEXT &&
            sqlite3_value_bytes(value) == 0)
            engine::Throw(engine::err::kZeroLength, e.target.name);
        sqlite3_result_value(ctx, value);
        return;
    }
    if (PassesAsItIs(e, value)) {
        sqlite3_result_value(ctx, value);
        return;
    }
    Variant v = e.conversion->Apply(engine::SqlArgumentValue(value, e.sourceType));
    if (v.IsNull() || v.IsEmpty() || (v.IsString() && v.StringValue().empty()))
        v = e.target.allowZeroLength ? Variant("") : Variant::Null();
    if (v.IsNull() && (e.nullRefused || e.target.required))
        engine::Throw(e.nullRefused ? engine::err::kNullInIndex : engine::err::kRequiredNull,
                      e.target.name);
    engine::SetSqlResult(ctx, v, e.target);
}

bool CarryFunctions::PassesAsItIs(const Entry& e, sqlite3_value* value) {
    if (!e.passThrough) return false;
    // A Null stays a Null only where the field refuses the empty text and takes a Null.
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return !e.target.allowZeroLength && !e.nullRefused && !e.target.required;
    return StaysAsItIs(value, e.target, e.nullRefused);
}

void CarryFunctions::Same(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto& self = *static_cast<CarryFunctions*>(sqlite3_user_data(ctx));
    self.CountRecord();
    bool same = static_cast<size_t>(argc) == self.sameKeys_.size();
    for (int i = 0; i < argc && same; ++i) {
        const int key = self.sameKeys_[static_cast<size_t>(i)];
        same = key >= 0 && key < static_cast<int>(self.entries_.size()) &&
               self.entries_[static_cast<size_t>(key)].kind == Kind::Linked &&
               PassesAsItIs(self.entries_[static_cast<size_t>(key)], argv[i]);
    }
    if (!same) {
        self.needsConversion_ = true;
        sqlite3_result_error(ctx, "a value needs converting", -1);
        return;
    }
    sqlite3_result_int(ctx, 1);
}

void CarryFunctions::Skip(sqlite3_context* ctx, int, sqlite3_value**) {
    ++static_cast<CarryFunctions*>(sqlite3_user_data(ctx))->skipped_;
    sqlite3_result_int(ctx, 0);
}

void CarryFunctions::Hit(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_int(argv[0]) != 0)
        ++static_cast<CarryFunctions*>(sqlite3_user_data(ctx))->hits_;
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

void CarryFunctions::CountRecord() {
    ++records_;
    if (report_ && records_ % kReportEvery == 0) report_(records_);
}

void CarryFunctions::Row(sqlite3_context* ctx, int, sqlite3_value**) {
    static_cast<CarryFunctions*>(sqlite3_user_data(ctx))->CountRecord();
    sqlite3_result_int(ctx, 1);
}

} // namespace engine::copy
