// Variant: the value type of the host language the system was written in.
//
// A Variant holds one of Empty, Null, Boolean, Byte, Integer (16-bit), Long (32-bit),
// Currency (exact, scaled by 10,000), Single, Double, Date (days since 1899-12-30 with the
// time as the fraction, as OLE dates count) or String (UTF-8). Values are copied; there is
// no sharing. The conversions below follow the host's rules: banker's rounding to integers,
// error 6 on overflow, 13 on a type mismatch, 94 on Null where a value is needed. Text forms
// of numbers and dates follow the Japanese locale: "." as the decimal point, no grouping,
// dates "yyyy/mm/dd" with " h:nn:ss" when a time is present.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace engine {

// Codes as the host's VarType function reports them.
enum class VarType : int {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Boolean = 11,
    Byte = 17,
};

class Variant {
  public:
    Variant() = default; // Empty
    Variant(const char* text) : type_(VarType::String), s_(text) {}
    Variant(std::string text) : type_(VarType::String), s_(std::move(text)) {}
    Variant(std::string_view text) : type_(VarType::String), s_(text) {}

    static Variant Null() { return Variant(VarType::Null); }
    static Variant Boolean(bool v) {
        Variant r(VarType::Boolean);
        r.n_.i = v ? -1 : 0;
        return r;
    }
    static Variant Byte(uint8_t v) {
        Variant r(VarType::Byte);
        r.n_.i = v;
        return r;
    }
    static Variant Integer(int16_t v) {
        Variant r(VarType::Integer);
        r.n_.i = v;
        return r;
    }
    static Variant Long(int32_t v) {
        Variant r(VarType::Long);
        r.n_.i = v;
        return r;
    }
    // Currency in units of 1/10,000 (so 1.5 is 15000).
    static Variant CurrencyScaled(int64_t scaled) {
        Variant r(VarType::Currency);
        r.n_.i = scaled;
        return r;
    }
    static Variant Single(float v) {
        Variant r(VarType::Single);
        r.n_.d = v;
        return r;
    }
    static Variant Double(double v) {
        Variant r(VarType::Double);
        r.n_.d = v;
        return r;
    }
    // An OLE date: whole days since 1899-12-30, time of day as the fraction (negative days
    // count backwards, the fraction still counting forward from midnight).
    static Variant Date(double oleDate) {
        Variant r(VarType::Date);
        r.n_.d = oleDate;
        return r;
    }
    static Variant String(std::string v) { return Variant(std::move(v)); }

    // Makes this a String holding text, reusing the storage it already has.
    void SetString(std::string_view text) {
        type_ = VarType::String;
        // Text from elsewhere is appended to the emptied storage, which costs less than assign's
        // general replace; assign stays for text that lies in this very string.
        const char* const own = s_.data();
        const std::less_equal<const char*> notAfter;
        if (notAfter(own, text.data()) && notAfter(text.data(), own + s_.size())) {
            s_.assign(text.data(), text.size());
            return;
        }
        s_.clear();
        s_.append(text.data(), text.size());
    }

    // Make this Null, or a number or date of type t, in place: as Null() and the factories above
    // would give, keeping the text storage for a later SetString. SetInt takes Boolean (-1 or 0),
    // Byte, Integer, Long and Currency (scaled); SetReal Single, Double and Date.
    void SetNull() {
        type_ = VarType::Null;
        n_.i = 0;
        s_.clear();
    }
    void SetInt(VarType t, int64_t v) {
        type_ = t;
        n_.i = v;
        s_.clear();
    }
    void SetReal(VarType t, double v) {
        type_ = t;
        n_.d = v;
        s_.clear();
    }

    VarType Type() const { return type_; }
    bool IsNull() const { return type_ == VarType::Null; }
    bool IsEmpty() const { return type_ == VarType::Empty; }
    bool IsString() const { return type_ == VarType::String; }
    // True for Boolean, Byte, Integer, Long, Currency, Single, Double.
    bool IsNumber() const {
        switch (type_) {
        case VarType::Boolean:
        case VarType::Byte:
        case VarType::Integer:
        case VarType::Long:
        case VarType::Currency:
        case VarType::Single:
        case VarType::Double:
            return true;
        default:
            return false;
        }
    }

    // Raw access without conversion; only valid for the matching type.
    bool BoolValue() const { return n_.i != 0; }
    int64_t IntValue() const { return n_.i; }      // Boolean, Byte, Integer, Long
    int64_t CurrencyValue() const { return n_.i; } // scaled by 10,000
    double RealValue() const { return n_.d; }      // Single, Double, Date
    const std::string& StringValue() const { return s_; }

    // Exact equality of type and value (Null equals Null here); for tests and change checks.
    bool operator==(const Variant& other) const;

  private:
    explicit Variant(VarType t) : type_(t) {}

    VarType type_ = VarType::Empty;
    union {
        int64_t i;
        double d;
    } n_{0};
    std::string s_;
};

// Host conversions. Each throws engine::Error 13 on a type mismatch, 6 on overflow and 94 for
// Null. Empty converts to 0, False or "".
int32_t CLng(const Variant& v);
int16_t CInt(const Variant& v);
uint8_t CByte(const Variant& v);
bool CBool(const Variant& v);
int64_t CCurScaled(const Variant& v);
float CSng(const Variant& v);
double CDbl(const Variant& v);
double CDate(const Variant& v);
std::string CStr(const Variant& v);
// The host's Trim: text without the blanks (U+0020) at either end.
std::string Trim(std::string_view text);

// The same conversions returning a Variant of the target type (Empty and String included).
Variant ConvertTo(const Variant& v, VarType target);

// Text form without the 94 error: Null gives "" (the host's `v & ""`).
std::string TextOf(const Variant& v);

// The host's Str: number text with a leading blank for a non-negative number and "-" for a
// negative one. Null gives error 94; a non-numeric string error 13.
std::string Str(const Variant& v);

// The host's Format for the patterns the system uses: digit patterns of "#" and "0"
// (e.g. "##", "###", "##0", "00", "#####", "0.00") and the named formats "LONG DATE",
// "SHORT DATE", "yyyy/mm/dd", "hh:nn:ss". Null gives "". Unknown patterns give CStr.
std::string Format(const Variant& v, std::string_view pattern);

// True when the text would convert to a number (the host's IsNumeric on a string).
bool IsNumericText(std::string_view text);

// Date helpers on OLE dates.
double DateSerial(int year, int month, int day);
double TimeSerial(int hour, int minute, int second);
struct DateParts {
    int year, month, day, hour, minute, second;
};
DateParts SplitDate(double oleDate);

// Banker's rounding of a double to the nearest integer (the host's rounding of CLng etc).
double RoundHalfEven(double x);

} // namespace engine
