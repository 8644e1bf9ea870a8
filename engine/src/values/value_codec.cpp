#include "values/value_codec.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "engine/error.h"
#include "engine/names.h"
#include "engine/text932.h"
#include "engine/types.h"
#include "values/calendar.h"

namespace engine::detail {
namespace {

constexpr int64_t kOleEpochUnixDays = -25569; // 1899-12-30
constexpr int64_t kMsPerDay = 86400000;

[[noreturn]] void ConversionFailed(const FieldInfo& field) {
    Throw(err::kConversionError, field.name);
}

template <class F> auto Converted(const FieldInfo& field, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const Error& e) {
        if (e.Number() == err::kOverflow) Throw(err::kNumericOverflow, field.name);
        ConversionFailed(field);
    }
}

} // namespace

std::string DateToStorage(double ole) {
    char buf[24];
    return std::string(buf, FormatStorageDate(ole, buf));
}

size_t FormatStorageDate(double ole, char* buf) {
    double whole = std::trunc(ole);
    int64_t days = static_cast<int64_t>(whole);
    int64_t ms = std::llround(std::fabs(ole - whole) * kMsPerDay);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += 1;
    }
    int y, m, d;
    CivilFromDays(days + kOleEpochUnixDays, y, m, d);
    const int secs = static_cast<int>(ms / 1000);
    // Two digits at a time from a table: this runs for every date of every record written.
    static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324"
                                     "25262728293031323334353637383940414243444546474849"
                                     "50515253545556575859606162636465666768697071727374"
                                     "75767778798081828384858687888990919293949596979899";
    auto put2 = [&](int at, int value) {
        buf[at] = kPairs[2 * value];
        buf[at + 1] = kPairs[2 * value + 1];
    };
    if (y >= 0 && y <= 9999) {
        put2(0, y / 100);
        put2(2, y % 100);
    } else {
        for (int k = 3, value = y; k >= 0; --k, value /= 10)
            buf[k] = static_cast<char>('0' + value % 10);
    }
    buf[4] = '-';
    put2(5, m);
    buf[7] = '-';
    put2(8, d);
    buf[10] = ' ';
    put2(11, secs / 3600);
    buf[13] = ':';
    put2(14, secs / 60 % 60);
    buf[16] = ':';
    put2(17, secs % 60);
    size_t n = 19;
    if (const int milli = static_cast<int>(ms % 1000)) {
        buf[19] = '.';
        buf[20] = static_cast<char>('0' + milli / 100);
        put2(21, milli % 100);
        n = 23;
    }
    return n;
}

namespace {
// The number written in t[pos .. pos + len), which the caller has checked lies within t.
[[gnu::always_inline]] inline bool Digits(std::string_view t, size_t pos, size_t len, int& out) {
    out = 0;
    for (size_t i = pos; i < pos + len; ++i) {
        const unsigned d = static_cast<unsigned char>(t[i]) - unsigned('0');
        if (d > 9) return false;
        out = out * 10 + static_cast<int>(d);
    }
    return true;
}
} // namespace

// Read for every date of every record read: no call per field, every length checked once.
bool DateFromStorage(std::string_view t, double& ole) {
    int y, m, d, hh = 0, mi = 0, ss = 0, ms = 0;
    if (t.size() < 10 || !Digits(t, 0, 4, y) || t[4] != '-' || !Digits(t, 5, 2, m) || t[7] != '-' ||
        !Digits(t, 8, 2, d) || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    if (t.size() > 10) {
        if (t.size() < 19 || t[10] != ' ' || !Digits(t, 11, 2, hh) || t[13] != ':' ||
            !Digits(t, 14, 2, mi) || t[16] != ':' || !Digits(t, 17, 2, ss))
            return false;
        // Milliseconds: a point and three digits; what follows them is not read.
        if (t.size() > 19 && (t.size() < 23 || t[19] != '.' || !Digits(t, 20, 3, ms))) return false;
    }
    int64_t days = DaysFromCivil(y, m, d) - kOleEpochUnixDays;
    double frac = ((hh * 3600.0 + mi * 60.0 + ss) * 1000.0 + ms) / kMsPerDay;
    ole = days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
    return true;
}

Variant CoerceForField(const Variant& v, const FieldInfo& f) {
    if (v.IsNull() || v.IsEmpty()) return Variant::Null();
    switch (f.type) {
    case dao::dbBoolean:
        return Variant::Boolean(Converted(f, [&] { return CBool(v); }));
    case dao::dbByte:
        return Variant::Byte(Converted(f, [&] { return CByte(v); }));
    case dao::dbInteger:
        return Variant::Integer(Converted(f, [&] { return CInt(v); }));
    case dao::dbLong:
        return Variant::Long(Converted(f, [&] { return CLng(v); }));
    case dao::dbCurrency:
        return Variant::CurrencyScaled(Converted(f, [&] { return CCurScaled(v); }));
    case dao::dbSingle:
        return Variant::Single(Converted(f, [&] { return CSng(v); }));
    case dao::dbDouble:
    case dao::dbDecimal:
    case dao::dbBigInt:
        return Variant::Double(Converted(f, [&] { return CDbl(v); }));
    case dao::dbDate:
        return Variant::Date(Converted(f, [&] { return CDate(v); }));
    case dao::dbText: {
        std::string s = v.IsString() ? v.StringValue() : Converted(f, [&] { return CStr(v); });
        if (f.size > 0 && cp932::ByteLength(s) > static_cast<size_t>(f.size))
            Throw(err::kTextTooLong, f.name);
        return Variant(std::move(s));
    }
    default: // memo, GUID, binary
        return Variant(v.IsString() ? v.StringValue() : Converted(f, [&] { return CStr(v); }));
    }
}

namespace {

// Where a value goes in its storage form: a statement's parameter, or an SQL function's result.
struct ParamSink {
    Stmt& stmt;
    int i;
    char* dateText = nullptr; // where a date's text is kept while the statement runs, if given
    void Null() { stmt.BindNull(i); }
    void Int(int64_t v) { stmt.Bind(i, v); }
    void Real(double v) { stmt.Bind(i, v); }
    void Text(std::string_view v) { stmt.Bind(i, v); }
    void Blob(std::string_view v) { stmt.BindBlob(i, v); }
    // The value outlives the statement's step (callers bind from their record buffers).
    void LastingText(std::string_view v) { stmt.BindStatic(i, v); }
    void Date(double ole) {
        if (dateText)
            return LastingText(std::string_view(dateText, FormatStorageDate(ole, dateText)));
        char buf[24];
        Text(std::string_view(buf, FormatStorageDate(ole, buf)));
    }
};

struct ResultSink {
    sqlite3_context* ctx;
    void Null() { sqlite3_result_null(ctx); }
    void Int(int64_t v) { sqlite3_result_int64(ctx, v); }
    void Real(double v) { sqlite3_result_double(ctx, v); }
    void Text(std::string_view v) {
        sqlite3_result_text(ctx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void Blob(std::string_view v) {
        sqlite3_result_blob(ctx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void LastingText(std::string_view v) { Text(v); }
    void Date(double ole) {
        char buf[24];
        Text(std::string_view(buf, FormatStorageDate(ole, buf)));
    }
};

template <class Sink> void StoreInto(Sink&& sink, const Variant& v, int type) {
    if (v.IsNull() || v.IsEmpty()) {
        sink.Null();
        return;
    }
    switch (type) {
    case dao::dbBoolean:
    case dao::dbByte:
    case dao::dbInteger:
    case dao::dbLong:
    case dao::dbCurrency:
        sink.Int(static_cast<int64_t>(v.IntValue()));
        break;
    case dao::dbSingle:
    case dao::dbDouble:
    case dao::dbDecimal:
    case dao::dbBigInt:
        sink.Real(v.RealValue());
        break;
    case dao::dbDate:
        sink.Date(v.RealValue());
        break;
    case dao::dbBinary:
    case dao::dbLongBinary:
        sink.Blob(v.StringValue());
        break;
    default:
        sink.LastingText(v.StringValue());
    }
}

} // namespace

void BindValue(Stmt& stmt, int i, const Variant& v, int type) {
    StoreInto(ParamSink{stmt, i}, v, type);
}

void BindValue(Stmt& stmt, int i, const Variant& v, int type, char* dateText) {
    StoreInto(ParamSink{stmt, i, dateText}, v, type);
}

void ResultValue(sqlite3_context* ctx, const Variant& v, int type) {
    StoreInto(ResultSink{ctx}, v, type);
}

void BindParam(Stmt& stmt, int i, const Variant& v) {
    switch (v.Type()) {
    case VarType::Null:
    case VarType::Empty:
        stmt.BindNull(i);
        break;
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        stmt.Bind(i, static_cast<int64_t>(v.IntValue()));
        break;
    case VarType::Currency:
        stmt.Bind(i, static_cast<double>(v.CurrencyValue()) / 10000.0);
        break;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        stmt.Bind(i, v.RealValue());
        break;
    case VarType::String:
        stmt.Bind(i, std::string_view(v.StringValue()));
        break;
    }
}

void CoerceForFieldInto(const Variant& v, const FieldInfo& f, Variant& out) {
    if (v.IsNull() || v.IsEmpty()) {
        out.SetNull();
        return;
    }
    // The common types in place; a conversion that fails throws before out changes.
    switch (f.type) {
    case dao::dbText:
    case dao::dbMemo:
        if (!v.IsString()) break;
        {
            const std::string& s = v.StringValue();
            if (f.type == dao::dbText && f.size > 0 &&
                !cp932::FitsIn(s, static_cast<size_t>(f.size)))
                Throw(err::kTextTooLong, f.name);
            out.SetString(s);
        }
        return;
    case dao::dbLong:
        out.SetInt(VarType::Long, Converted(f, [&] { return CLng(v); }));
        return;
    case dao::dbDouble:
    case dao::dbDecimal:
    case dao::dbBigInt:
        out.SetReal(VarType::Double, Converted(f, [&] { return CDbl(v); }));
        return;
    case dao::dbDate:
        out.SetReal(VarType::Date, Converted(f, [&] { return CDate(v); }));
        return;
    default:
        break;
    }
    out = CoerceForField(v, f);
}

namespace {

// A result column of a statement, or a value handed to an SQL function: ReadInto reads both
// by one rule.
struct StmtColumn {
    const Stmt& stmt;
    int col;
    int Type() const { return stmt.ColumnType(col); }
    int64_t Int() const { return stmt.Int(col); }
    double Real() const { return stmt.Real(col); }
    std::string Text() const { return stmt.Text(col); }
    std::string_view TextView() const { return stmt.TextView(col); }
};

struct SqlValue {
    sqlite3_value* value;
    int Type() const { return sqlite3_value_type(value); }
    int64_t Int() const { return sqlite3_value_int64(value); }
    double Real() const { return sqlite3_value_double(value); }
    std::string Text() const { return std::string(TextView()); }
    std::string_view TextView() const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
        return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(value)))
                 : std::string_view();
    }
};

// Values written by other tools may sit in another storage class: convert, or keep text.
template <class Source>
[[gnu::noinline]] void ReadConverted(const Source& src, int type, Variant& out) {
    Variant text(src.Text());
    FieldInfo f;
    f.type = type;
    try {
        out = CoerceForField(text, f);
    } catch (const Error&) {
        out = std::move(text);
    }
}

// Reads into out, reusing its text storage. Inlined: it runs for every field of every record read.
template <class Source>
[[gnu::always_inline]] inline void ReadInto(const Source& src, int type, Variant& out) {
    const int storage = src.Type();
    if (storage == SQLITE_NULL) {
        out.SetNull();
        return;
    }
    auto fromText = [&] { ReadConverted(src, type, out); };
    const bool integer = storage == SQLITE_INTEGER, number = integer || storage == SQLITE_FLOAT;
    switch (type) {
    case dao::dbBoolean:
        if (!integer) return fromText();
        return out.SetInt(VarType::Boolean, src.Int() != 0 ? -1 : 0);
    case dao::dbByte:
        if (!integer) return fromText();
        return out.SetInt(VarType::Byte, static_cast<uint8_t>(src.Int()));
    case dao::dbInteger:
        if (!integer) return fromText();
        return out.SetInt(VarType::Integer, static_cast<int16_t>(src.Int()));
    case dao::dbLong:
        if (!integer) return fromText();
        return out.SetInt(VarType::Long, static_cast<int32_t>(src.Int()));
    case dao::dbCurrency:
        if (!integer) return fromText();
        return out.SetInt(VarType::Currency, src.Int());
    case dao::dbSingle:
        if (!number) return fromText();
        return out.SetReal(VarType::Single, static_cast<float>(src.Real()));
    case dao::dbDouble:
    case dao::dbDecimal:
    case dao::dbBigInt:
        if (!number) return fromText();
        return out.SetReal(VarType::Double, src.Real());
    case dao::dbDate: {
        double ole;
        if (storage == SQLITE_TEXT && DateFromStorage(src.TextView(), ole))
            return out.SetReal(VarType::Date, ole);
        if (number) return out.SetReal(VarType::Date, src.Real());
        return out.SetString(src.TextView());
    }
    default:
        return out.SetString(src.TextView());
    }
}

} // namespace

Variant ReadValue(const Stmt& stmt, int col, int type) {
    Variant v;
    ReadInto(StmtColumn{stmt, col}, type, v);
    return v;
}

Variant ReadSqlValue(sqlite3_value* value, int type) {
    Variant v;
    ReadInto(SqlValue{value}, type, v);
    return v;
}

namespace {

// A captured value, read by the same rule as a live one: the number as SQLite would hand it out
// (an integer read as a real converts), the text as captured.
struct CapturedSource {
    const CapturedValue& value;
    std::string_view arena;
    int Type() const { return value.storage; }
    int64_t Int() const { return value.integer; }
    double Real() const {
        return value.storage == SQLITE_INTEGER ? static_cast<double>(value.integer) : value.real;
    }
    std::string Text() const { return std::string(TextView()); }
    std::string_view TextView() const {
        return value.hasText ? arena.substr(value.at, value.size) : std::string_view();
    }
};

// Asks the reading rules whether they read a number of this storage class by its text, by
// reading one: the answer comes from the rules themselves, not from a copy of them.
struct TextProbe {
    int storage;
    mutable bool readText = false;
    int Type() const { return storage; }
    int64_t Int() const { return 0; }
    double Real() const { return 0; }
    std::string Text() const { return std::string(TextView()); }
    std::string_view TextView() const {
        readText = true;
        return "0";
    }
};

bool ReadsAsText(int type, int storage) {
    TextProbe probe{storage};
    Variant v;
    ReadInto(probe, type, v);
    return probe.readText;
}

} // namespace

CaptureRule CaptureRuleFor(int type) {
    return {ReadsAsText(type, SQLITE_INTEGER), ReadsAsText(type, SQLITE_FLOAT)};
}

// One loop for the whole row: this runs for every field of every record the writer reads.
void CaptureRow(const Stmt& stmt, const CaptureRule* rules, size_t count, CapturedValue* values,
                std::string& arena) {
    for (size_t col = 0; col < count; ++col) {
        CapturedValue& out = values[col];
        sqlite3_value* value = sqlite3_column_value(stmt.get(), static_cast<int>(col));
        out.storage = sqlite3_value_type(value);
        bool text = out.storage == SQLITE_TEXT || out.storage == SQLITE_BLOB;
        if (out.storage == SQLITE_INTEGER) {
            out.integer = sqlite3_value_int64(value);
            text = rules[col].integerText;
        } else if (out.storage == SQLITE_FLOAT) {
            out.real = sqlite3_value_double(value);
            text = rules[col].realText;
        }
        out.hasText = text;
        if (!text) continue;
        std::string_view bytes = SqlValue{value}.TextView();
        out.at = arena.size();
        out.size = bytes.size();
        arena.append(bytes);
    }
}

void ReadValueInto(const CapturedValue& value, std::string_view arena, int type, Variant& out) {
    ReadInto(CapturedSource{value, arena}, type, out);
}

void ReadValueInto(const Stmt& stmt, int col, int type, Variant& out) {
    // The column is read as one value rather than by sqlite3_column_* calls, each of which looks
    // the column up again. The engine's connections are opened without mutexes, so the
    // unprotected value reads as a protected one would.
    ReadInto(SqlValue{sqlite3_column_value(stmt.get(), col)}, type, out);
}

std::string ColumnExpr(const std::string& name, int type, const std::string& qualifier) {
    std::string q = qualifier.empty() ? QuoteIdent(name) : qualifier + "." + QuoteIdent(name);
    if (type == dao::dbCurrency) return "(" + q + "/10000.0)";
    if (type == dao::dbDate) return "jet_datenum(" + q + ")";
    return q;
}

Variant EvaluateDefault(const std::string& expr, const FieldInfo& field) {
    std::string e = expr;
    while (!e.empty() && e.front() == ' ') e.erase(0, 1);
    while (!e.empty() && e.back() == ' ') e.pop_back();
    if (!e.empty() && e.front() == '=') e.erase(0, 1);
    if (e.empty()) return Variant::Null();
    if (e.size() >= 2 && (e.front() == '"' || e.front() == '\'') && e.back() == e.front()) {
        std::string inner;
        for (size_t i = 1; i + 1 < e.size(); ++i) {
            inner += e[i];
            if (e[i] == e.front() && i + 2 < e.size() && e[i + 1] == e.front()) ++i;
        }
        e = inner;
    } else {
        const std::string lower = FoldName(e);
        if (lower == "date()" || lower == "now()") {
            std::time_t now = std::time(nullptr);
            std::tm tm{};
            localtime_r(&now, &tm);
            double d = DateSerial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
            if (lower == "now()") d += TimeSerial(tm.tm_hour, tm.tm_min, tm.tm_sec);
            return Variant::Date(d);
        }
        if (lower == "yes" || lower == "true" || lower == "on")
            return CoerceForField(Variant::Boolean(true), field);
        if (lower == "no" || lower == "false" || lower == "off")
            return CoerceForField(Variant::Boolean(false), field);
    }
    try {
        return CoerceForField(Variant(e), field);
    } catch (const Error&) {
        return Variant::Null();
    }
}

} // namespace engine::detail
