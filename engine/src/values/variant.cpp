// The host's value conversions. Exact values (integers, Currency, number text) are carried as
// decimal digit strings so that rounding happens once, on the decimal value the user sees; binary
// reals are first reduced to the significant digits the host shows for them (15 for Double, 7 for
// Single), which is also what makes CCur(0.00015) and Format(2.675, "0.00") come out as written.
#include "engine/variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "engine/error.h"
#include "values/calendar.h"

namespace engine {
namespace {

[[noreturn]] void Mismatch() {
    Throw(err::kTypeMismatch);
}
[[noreturn]] void Overflow() {
    Throw(err::kOverflow);
}
[[noreturn]] void NullUse() {
    Throw(err::kInvalidUseOfNull);
}

constexpr int kDoubleDigits = 15;
constexpr int kSingleDigits = 7;
// OLE day numbers of 0100-01-01 and 9999-12-31, and the day of 1970-01-01.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958465.0;
constexpr long long kUnixEpochDay = 25569;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimWhitespace(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Decimal numbers

// sign * digits * 10^exponent; digits carries neither leading nor trailing zeros, so an empty
// digit string is zero and the last digit is never 0.
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exponent = 0;

    bool IsZero() const { return digits.empty(); }
    // Position of the decimal point counted from the first digit: the value is 0.digits * 10^it.
    long long PointPos() const { return static_cast<long long>(digits.size()) + exponent; }
};

void Normalize(Decimal& d) {
    size_t first = d.digits.find_first_not_of('0');
    if (first == std::string::npos) {
        d = Decimal{};
        return;
    }
    d.digits.erase(0, first);
    size_t last = d.digits.find_last_not_of('0');
    d.exponent += static_cast<long long>(d.digits.size() - last - 1);
    d.digits.erase(last + 1);
}

Decimal DecimalOfInteger(int64_t v, long long exponent = 0) {
    Decimal d;
    d.negative = v < 0;
    uint64_t magnitude = d.negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    d.digits = std::to_string(magnitude);
    d.exponent = exponent;
    Normalize(d);
    return d;
}

// The real as the host shows it: rounded to `significant` digits. Must be finite.
Decimal DecimalOfReal(double x, int significant) {
    Decimal d;
    if (x == 0) return d;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", significant - 1, x);
    const char* p = buf;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    for (; *p && *p != 'e'; ++p) {
        if (IsDigit(*p)) d.digits += *p;
    }
    long long exp10 = *p == 'e' ? std::strtol(p + 1, nullptr, 10) : 0;
    d.exponent = exp10 - (significant - 1);
    Normalize(d);
    return d;
}

// Text of a number as the host reads it: blanks around, a sign, digits with "," between them,
// a "." fraction and an "E" exponent; or "&H" hex / "&O" octal of at most 32 bits, which read
// as a Long (so "&HFFFFFFFF" is -1).
struct ParsedNumber {
    Decimal value;
    bool overflow = false; // hex or octal beyond 32 bits
};

std::optional<ParsedNumber> ParseNumber(std::string_view text) {
    std::string_view t = TrimWhitespace(text);
    if (t.empty()) return std::nullopt;
    ParsedNumber out;
    if (t[0] == '&') {
        if (t.size() < 3) return std::nullopt;
        int base = (t[1] == 'H' || t[1] == 'h') ? 16 : (t[1] == 'O' || t[1] == 'o') ? 8 : 0;
        if (base == 0) return std::nullopt;
        uint64_t v = 0;
        for (char c : t.substr(2)) {
            int digit = IsDigit(c)               ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : 99;
            if (digit >= base) return std::nullopt;
            v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
            if (v > 0xFFFFFFFFu) {
                out.overflow = true;
                v = 0;
            }
        }
        if (!out.overflow)
            out.value = DecimalOfInteger(static_cast<int32_t>(static_cast<uint32_t>(v)));
        return out;
    }
    size_t i = 0, n = t.size();
    Decimal& d = out.value;
    if (t[i] == '+' || t[i] == '-') d.negative = t[i++] == '-';
    bool sawDigit = false;
    for (; i < n; ++i) {
        if (IsDigit(t[i])) {
            d.digits += t[i];
            sawDigit = true;
        } else if (t[i] == ',' && sawDigit && i + 1 < n && IsDigit(t[i + 1])) {
            continue;
        } else {
            break;
        }
    }
    if (i < n && t[i] == '.') {
        for (++i; i < n && IsDigit(t[i]); ++i) {
            d.digits += t[i];
            --d.exponent;
            sawDigit = true;
        }
    }
    if (!sawDigit) return std::nullopt;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool negativeExp = false;
        if (i < n && (t[i] == '+' || t[i] == '-')) negativeExp = t[i++] == '-';
        if (i == n || !IsDigit(t[i])) return std::nullopt;
        long long e = 0;
        // Clamped far beyond any range the conversions accept, so the sums below cannot wrap.
        for (; i < n && IsDigit(t[i]); ++i) e = std::min(e * 10 + (t[i] - '0'), 100000000LL);
        d.exponent += negativeExp ? -e : e;
    }
    if (i != n) return std::nullopt;
    bool negative = d.negative;
    Normalize(d);
    d.negative = negative && !d.IsZero();
    return out;
}

// The digits of |d| * 10^decimals rounded to an integer ("" for zero).
std::string RoundedDigits(const Decimal& d, int decimals, bool halfEven) {
    long long shift = d.exponent + decimals;
    if (d.IsZero()) return {};
    if (shift >= 0) return d.digits + std::string(static_cast<size_t>(shift), '0');
    long long keep = static_cast<long long>(d.digits.size()) + shift;
    if (keep < 0) return {}; // below half a unit of the last place
    std::string all = d.digits.substr(0, static_cast<size_t>(keep));
    char dropped = d.digits[static_cast<size_t>(keep)];
    bool moreDropped = static_cast<size_t>(keep) + 1 < d.digits.size();
    bool lastOdd = !all.empty() && (all.back() - '0') % 2 == 1;
    if (dropped > '5' || (dropped == '5' && (!halfEven || moreDropped || lastOdd))) {
        size_t k = all.size();
        while (k > 0 && all[k - 1] == '9') all[--k] = '0';
        if (k == 0)
            all.insert(all.begin(), '1');
        else
            ++all[k - 1];
    }
    return all;
}

// |d| rounded to `decimals` places (half to even or half away from zero), as an integer part
// without leading zeros and a fraction part of exactly `decimals` digits. The caller bounds the
// size of the integer part.
struct Fixed {
    std::string intDigits;
    std::string fracDigits;
};

Fixed RoundToFixed(const Decimal& d, int decimals, bool halfEven) {
    std::string all = RoundedDigits(d, decimals, halfEven);
    Fixed f;
    size_t dec = static_cast<size_t>(decimals);
    if (all.size() <= dec) {
        f.fracDigits = std::string(dec - all.size(), '0') + all;
    } else {
        f.intDigits = all.substr(0, all.size() - dec);
        f.fracDigits = all.substr(all.size() - dec);
    }
    size_t first = f.intDigits.find_first_not_of('0');
    f.intDigits.erase(0, first == std::string::npos ? f.intDigits.size() : first);
    return f;
}

// d * 10^scale rounded half to even, or nullopt when it leaves the range of int64.
std::optional<int64_t> ScaledOf(const Decimal& d, int scale) {
    if (d.IsZero()) return 0;
    if (d.PointPos() + scale > 19) return std::nullopt;
    Fixed f = RoundToFixed(d, scale, true);
    std::string all = f.intDigits + f.fracDigits;
    unsigned __int128 v = 0;
    for (char c : all) v = v * 10 + static_cast<unsigned>(c - '0');
    const unsigned __int128 limit =
        static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max()) + (d.negative ? 1 : 0);
    if (v > limit) return std::nullopt;
    if (d.negative) return static_cast<int64_t>(0 - static_cast<uint64_t>(v));
    return static_cast<int64_t>(v);
}

// strtod and strtof read "<digits>e<exponent>" the same in every locale.
std::string ScientificText(const Decimal& d) {
    return (d.negative ? "-" : "") + (d.IsZero() ? std::string("0") : d.digits) + "e" +
           std::to_string(d.exponent);
}

double DoubleOf(const Decimal& d) {
    std::string text = ScientificText(d);
    errno = 0;
    double v = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE && std::isinf(v)) Overflow();
    return v;
}

float FloatOf(const Decimal& d) {
    std::string text = ScientificText(d);
    errno = 0;
    float v = std::strtof(text.c_str(), nullptr);
    if (errno == ERANGE && std::isinf(v)) Overflow();
    return v;
}

const ParsedNumber& RequireNumber(const std::optional<ParsedNumber>& parsed) {
    if (!parsed) Mismatch();
    if (parsed->overflow) Overflow();
    return *parsed;
}

// ---------------------------------------------------------------------------------------------
// Text of numbers

// Fixed notation, or d.ddE+nn when the exponent is below -4 or reaches the shown digits (the
// rule of C's %G, which is the host's: CStr(1E15) = "1E+15", CStr(0.0001) = "0.0001",
// CStr(0.00001) = "1E-05").
std::string RealText(double x, int significant) {
    if (std::isnan(x)) return "1.#QNAN";
    if (std::isinf(x)) return x < 0 ? "-1.#INF" : "1.#INF";
    Decimal d = DecimalOfReal(x, significant);
    if (d.IsZero()) return "0";
    std::string out = d.negative ? "-" : "";
    long long point = d.PointPos();
    long long exp10 = point - 1;
    const std::string& g = d.digits;
    if (exp10 < -4 || exp10 >= significant) {
        out += g[0];
        if (g.size() > 1) out.append(".").append(g, 1);
        char buf[32];
        std::snprintf(buf, sizeof buf, "E%c%02lld", exp10 < 0 ? '-' : '+', std::llabs(exp10));
        out += buf;
    } else if (point <= 0) {
        out.append("0.").append(static_cast<size_t>(-point), '0').append(g);
    } else if (point >= static_cast<long long>(g.size())) {
        out.append(g).append(static_cast<size_t>(point) - g.size(), '0');
    } else {
        out.append(g, 0, static_cast<size_t>(point))
            .append(".")
            .append(g, static_cast<size_t>(point));
    }
    return out;
}

std::string CurrencyText(int64_t scaled) {
    Decimal d = DecimalOfInteger(scaled, -4);
    if (d.IsZero()) return "0";
    long long decimals = std::max(0LL, -d.exponent);
    Fixed f = RoundToFixed(d, static_cast<int>(decimals), true);
    std::string out = d.negative ? "-" : "";
    out += f.intDigits.empty() ? "0" : f.intDigits;
    if (!f.fracDigits.empty()) out += "." + f.fracDigits;
    return out;
}

// ---------------------------------------------------------------------------------------------
// Dates

long long FloorDiv(long long a, long long b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

using detail::CivilFromDays;
using detail::DaysFromCivil;
using detail::DaysInMonth;

bool InDateRange(double x) {
    return x > kMinDate - 1 && x < kMaxDate + 1;
}

// An OLE date from a day number and a time of day: before day 0 the whole part counts backwards
// while the time still counts forward, so 1899-12-29 06:00 is -1.25, not -0.75.
double CombineDayAndTime(long long day, double timeFraction) {
    return day < 0 ? static_cast<double>(day) - timeFraction
                   : static_cast<double>(day) + timeFraction;
}

int TwoDigitYear(int y) {
    return y < 30 ? 2000 + y : 1900 + y;
}

// Reads the date texts the host accepts in the Japanese locale: "yyyy/m/d", "yyyy-m-d",
// "yyyy年m月d日", each optionally followed by a time; or a time alone: "h:nn[:ss]" or
// "h時n分[s秒]". Years of one or two digits are windowed (00-29 -> 2000s, 30-99 -> 1900s).
class DateScanner {
  public:
    explicit DateScanner(std::string_view t) : t_(t) {}

    std::optional<double> Parse() {
        long long day = 0;
        size_t start = pos_;
        if (std::optional<long long> d = ReadDate()) {
            day = *d;
            size_t blanks = SkipBlanks();
            if (AtEnd()) return CombineDayAndTime(day, 0);
            if (blanks == 0) return std::nullopt;
        } else {
            pos_ = start;
        }
        std::optional<double> time = ReadTime();
        SkipBlanks();
        if (!time || !AtEnd()) return std::nullopt;
        return CombineDayAndTime(day, *time);
    }

  private:
    bool AtEnd() const { return pos_ >= t_.size(); }

    size_t SkipBlanks() {
        size_t n = 0;
        while (!AtEnd() && IsBlank(t_[pos_])) ++pos_, ++n;
        return n;
    }

    // 1..maxDigits digits; -1 when there are none or too many.
    int ReadNumber(size_t maxDigits, size_t* count = nullptr) {
        size_t begin = pos_;
        int v = 0;
        while (!AtEnd() && IsDigit(t_[pos_]) && pos_ - begin < maxDigits + 1)
            v = v * 10 + (t_[pos_++] - '0');
        size_t n = pos_ - begin;
        if (count) *count = n;
        return (n == 0 || n > maxDigits) ? -1 : v;
    }

    bool Accept(std::string_view s) {
        if (t_.substr(pos_, s.size()) != s) return false;
        pos_ += s.size();
        return true;
    }

    std::optional<long long> ReadDate() {
        size_t yearDigits = 0;
        int y = ReadNumber(4, &yearDigits);
        if (y < 0) return std::nullopt;
        int m = -1, d = -1;
        if (!AtEnd() && (t_[pos_] == '/' || t_[pos_] == '-')) {
            char sep = t_[pos_++];
            m = ReadNumber(2);
            if (m < 0 || AtEnd() || t_[pos_] != sep) return std::nullopt;
            ++pos_;
            d = ReadNumber(2);
        } else if (Accept("年")) {
            m = ReadNumber(2);
            if (m < 0 || !Accept("月")) return std::nullopt;
            d = ReadNumber(2);
            if (d < 0 || !Accept("日")) return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (d < 0) return std::nullopt;
        if (yearDigits <= 2) y = TwoDigitYear(y);
        if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
            return std::nullopt;
        return DaysFromCivil(y, m, d) + kUnixEpochDay;
    }

    std::optional<double> ReadTime() {
        int h = ReadNumber(2);
        if (h < 0) return std::nullopt;
        int mi = -1, s = 0;
        if (Accept(":")) {
            mi = ReadNumber(2);
            if (mi < 0) return std::nullopt;
            if (Accept(":")) {
                s = ReadNumber(2);
                if (s < 0) return std::nullopt;
            }
        } else if (Accept("時")) {
            mi = ReadNumber(2);
            if (mi < 0 || !Accept("分")) return std::nullopt;
            size_t before = pos_;
            s = ReadNumber(2);
            if (s < 0) {
                pos_ = before;
                s = 0;
            } else if (!Accept("秒")) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
        if (h > 23 || mi > 59 || s > 59) return std::nullopt;
        return (h * 3600 + mi * 60 + s) / 86400.0;
    }

    std::string_view t_;
    size_t pos_ = 0;
};

std::optional<double> ParseDateText(std::string_view text) {
    return DateScanner(TrimWhitespace(text)).Parse();
}

std::string TimeText(const DateParts& p, bool padHour) {
    char buf[32];
    std::snprintf(buf, sizeof buf, padHour ? "%02d:%02d:%02d" : "%d:%02d:%02d", p.hour, p.minute,
                  p.second);
    return buf;
}

std::string DayText(const DateParts& p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", p.year, p.month, p.day);
    return buf;
}

// "yyyy/mm/dd", "yyyy/mm/dd h:nn:ss", or "h:nn:ss" alone on day 1899/12/30 (also midnight of
// that day, which the host shows as "0:00:00").
std::string DateText(double oleDate) {
    DateParts p = SplitDate(oleDate);
    bool hasTime = p.hour != 0 || p.minute != 0 || p.second != 0;
    if (p.year == 1899 && p.month == 12 && p.day == 30) return TimeText(p, false);
    if (!hasTime) return DayText(p);
    return DayText(p) + " " + TimeText(p, false);
}

// ---------------------------------------------------------------------------------------------
// Conversions

int64_t CurrencyToInteger(int64_t scaled) {
    int64_t q = scaled / 10000, rem = scaled % 10000;
    if (rem > 5000 || (rem == 5000 && (q & 1)))
        ++q;
    else if (rem < -5000 || (rem == -5000 && (q & 1)))
        --q;
    return q;
}

// The value rounded half to even to an integer, for CLng, CInt and CByte.
int64_t RoundedInteger(const Variant& v) {
    switch (v.Type()) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        NullUse();
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return v.IntValue();
    case VarType::Currency:
        return CurrencyToInteger(v.CurrencyValue());
    case VarType::Single:
    case VarType::Double:
    case VarType::Date: {
        double r = RoundHalfEven(v.RealValue());
        if (!(std::fabs(r) < 9.0e18)) Overflow();
        return static_cast<int64_t>(r);
    }
    case VarType::String: {
        std::optional<int64_t> r = ScaledOf(RequireNumber(ParseNumber(v.StringValue())).value, 0);
        if (!r) Overflow();
        return *r;
    }
    }
    Mismatch();
}

int64_t CheckedRange(int64_t v, int64_t lo, int64_t hi) {
    if (v < lo || v > hi) Overflow();
    return v;
}

// The decimal value of a number or of numeric text, as Format and Str read it; nullopt for text
// that is not a number.
std::optional<Decimal> DecimalOf(const Variant& v) {
    switch (v.Type()) {
    case VarType::Empty:
        return Decimal{};
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return DecimalOfInteger(v.IntValue());
    case VarType::Currency:
        return DecimalOfInteger(v.CurrencyValue(), -4);
    case VarType::Single:
        return DecimalOfReal(v.RealValue(), kSingleDigits);
    case VarType::Double:
    case VarType::Date:
        return DecimalOfReal(v.RealValue(), kDoubleDigits);
    case VarType::String: {
        std::optional<ParsedNumber> p = ParseNumber(v.StringValue());
        // Text beyond the range of a Double is not a number Format could show either.
        if (!p || p->overflow || p->value.PointPos() > 309) return std::nullopt;
        return p->value;
    }
    case VarType::Null:
        break;
    }
    return std::nullopt;
}

struct DigitPattern {
    size_t minInt = 0;   // integer digits always shown ("0" positions from the first "0" on)
    size_t decimals = 0; // fraction positions
    size_t minFrac = 0;  // fraction digits always shown (up to the last "0")
    bool point = false;
};

std::optional<DigitPattern> ParseDigitPattern(std::string_view p) {
    DigitPattern d;
    size_t dot = p.find('.');
    std::string_view intPart = p.substr(0, dot);
    std::string_view fracPart =
        dot == std::string_view::npos ? std::string_view{} : p.substr(dot + 1);
    if (intPart.empty() && fracPart.empty()) return std::nullopt;
    for (std::string_view part : {intPart, fracPart}) {
        for (char c : part) {
            if (c != '#' && c != '0') return std::nullopt;
        }
    }
    size_t firstZero = intPart.find('0');
    d.minInt = firstZero == std::string_view::npos ? 0 : intPart.size() - firstZero;
    d.point = dot != std::string_view::npos;
    d.decimals = fracPart.size();
    size_t lastZero = fracPart.rfind('0');
    d.minFrac = lastZero == std::string_view::npos ? 0 : lastZero + 1;
    return d;
}

std::string FormatDigits(const Decimal& d, const DigitPattern& p) {
    Fixed f = RoundToFixed(d, static_cast<int>(p.decimals), false);
    bool zero = f.intDigits.empty() && f.fracDigits.find_first_not_of('0') == std::string::npos;
    std::string out = d.negative && !zero ? "-" : "";
    if (f.intDigits.size() < p.minInt) out.append(p.minInt - f.intDigits.size(), '0');
    out += f.intDigits;
    if (p.point) {
        std::string frac = f.fracDigits;
        while (frac.size() > p.minFrac && frac.back() == '0') frac.pop_back();
        out += "." + frac;
    }
    return out;
}

// The date a value stands for in a date format, or nullopt when it stands for none.
std::optional<double> DateForFormat(const Variant& v) {
    double x = 0;
    switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null:
        return std::nullopt;
    case VarType::String: {
        std::optional<ParsedNumber> p = ParseNumber(v.StringValue());
        if (p && !p->overflow) {
            if (p->value.PointPos() > 309) return std::nullopt;
            x = DoubleOf(p->value);
        } else if (auto d = ParseDateText(v.StringValue())) {
            x = *d;
        } else {
            return std::nullopt;
        }
        break;
    }
    default:
        x = CDbl(v);
        break;
    }
    if (!InDateRange(x)) return std::nullopt;
    return x;
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool Variant::operator==(const Variant& other) const {
    if (type_ != other.type_) return false;
    switch (type_) {
    case VarType::Empty:
    case VarType::Null:
        return true;
    case VarType::Single:
        return static_cast<float>(n_.d) == static_cast<float>(other.n_.d);
    case VarType::Double:
    case VarType::Date:
        return n_.d == other.n_.d;
    case VarType::String:
        return s_ == other.s_;
    default:
        return n_.i == other.n_.i;
    }
}

double RoundHalfEven(double x) {
    double f = std::floor(x);
    double diff = x - f;
    if (diff < 0.5) return f;
    if (diff > 0.5) return f + 1;
    return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

int32_t CLng(const Variant& v) {
    return static_cast<int32_t>(CheckedRange(RoundedInteger(v), std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max()));
}

int16_t CInt(const Variant& v) {
    return static_cast<int16_t>(CheckedRange(RoundedInteger(v), -32768, 32767));
}

uint8_t CByte(const Variant& v) {
    return static_cast<uint8_t>(CheckedRange(RoundedInteger(v), 0, 255));
}

bool CBool(const Variant& v) {
    switch (v.Type()) {
    case VarType::Empty:
        return false;
    case VarType::Null:
        NullUse();
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Currency:
        return v.IntValue() != 0;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        return v.RealValue() != 0;
    case VarType::String: {
        std::string_view t = TrimWhitespace(v.StringValue());
        if (EqualsIgnoringCase(t, "True")) return true;
        if (EqualsIgnoringCase(t, "False")) return false;
        return !RequireNumber(ParseNumber(t)).value.IsZero();
    }
    }
    Mismatch();
}

int64_t CCurScaled(const Variant& v) {
    std::optional<int64_t> r;
    switch (v.Type()) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        NullUse();
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return v.IntValue() * 10000;
    case VarType::Currency:
        return v.CurrencyValue();
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        if (!std::isfinite(v.RealValue())) Overflow();
        r = ScaledOf(DecimalOfReal(v.RealValue(),
                                   v.Type() == VarType::Single ? kSingleDigits : kDoubleDigits),
                     4);
        break;
    case VarType::String:
        r = ScaledOf(RequireNumber(ParseNumber(v.StringValue())).value, 4);
        break;
    }
    if (!r) Overflow();
    return *r;
}

double CDbl(const Variant& v) {
    switch (v.Type()) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        NullUse();
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return static_cast<double>(v.IntValue());
    case VarType::Currency:
        return static_cast<double>(v.CurrencyValue()) / 10000.0;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        return v.RealValue();
    case VarType::String:
        return DoubleOf(RequireNumber(ParseNumber(v.StringValue())).value);
    }
    Mismatch();
}

float CSng(const Variant& v) {
    if (v.IsString()) return FloatOf(RequireNumber(ParseNumber(v.StringValue())).value);
    double d = CDbl(v);
    constexpr double kMaxFloat = std::numeric_limits<float>::max();
    // Reals from there on round to infinity as a Single (half an ulp above the largest one);
    // below it they round down to the largest. The cast itself must not see them.
    constexpr double kFloatLimit = 0x1p128 - 0x1p103;
    if (std::isfinite(d) && std::fabs(d) > kMaxFloat) {
        if (std::fabs(d) >= kFloatLimit) Overflow();
        return d < 0 ? -std::numeric_limits<float>::max() : std::numeric_limits<float>::max();
    }
    return static_cast<float>(d);
}

double CDate(const Variant& v) {
    double x = 0;
    switch (v.Type()) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        NullUse();
    case VarType::String: {
        std::optional<double> d = ParseDateText(v.StringValue());
        if (!d) Mismatch();
        return *d;
    }
    default:
        x = CDbl(v);
        break;
    }
    if (!InDateRange(x)) Overflow();
    return x;
}

std::string Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string CStr(const Variant& v) {
    switch (v.Type()) {
    case VarType::Empty:
        return {};
    case VarType::Null:
        NullUse();
    case VarType::Boolean:
        return v.BoolValue() ? "True" : "False";
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return std::to_string(v.IntValue());
    case VarType::Currency:
        return CurrencyText(v.CurrencyValue());
    case VarType::Single:
        return RealText(v.RealValue(), kSingleDigits);
    case VarType::Double:
        return RealText(v.RealValue(), kDoubleDigits);
    case VarType::Date:
        return DateText(v.RealValue());
    case VarType::String:
        return v.StringValue();
    }
    Mismatch();
}

std::string TextOf(const Variant& v) {
    return v.IsNull() ? std::string() : CStr(v);
}

Variant ConvertTo(const Variant& v, VarType target) {
    switch (target) {
    case VarType::Empty:
        return Variant();
    case VarType::Null:
        return Variant::Null();
    case VarType::Integer:
        return Variant::Integer(CInt(v));
    case VarType::Long:
        return Variant::Long(CLng(v));
    case VarType::Single:
        return Variant::Single(CSng(v));
    case VarType::Double:
        return Variant::Double(CDbl(v));
    case VarType::Currency:
        return Variant::CurrencyScaled(CCurScaled(v));
    case VarType::Date:
        return Variant::Date(CDate(v));
    case VarType::String:
        return Variant(CStr(v));
    case VarType::Boolean:
        return Variant::Boolean(CBool(v));
    case VarType::Byte:
        return Variant::Byte(CByte(v));
    }
    Throw(err::kInvalidProcedureCall);
}

std::string Str(const Variant& v) {
    std::string text;
    switch (v.Type()) {
    case VarType::Null:
        NullUse();
    case VarType::Empty:
        text = "0";
        break;
    case VarType::Boolean:
    case VarType::Date:
        return CStr(v);
    case VarType::String:
        text = RealText(CDbl(v), kDoubleDigits);
        break;
    default:
        text = CStr(v);
        break;
    }
    // The host's Str drops the zero before the point: Str(0.5) = " .5".
    if (text.starts_with("0."))
        text.erase(0, 1);
    else if (text.starts_with("-0."))
        text.erase(1, 1);
    return text.starts_with("-") ? text : " " + text;
}

std::string Format(const Variant& v, std::string_view pattern) {
    if (v.IsNull()) return {};
    enum class Named { None, LongDate, ShortDate, Time, LongTime, ShortTime, GeneralDate };
    Named named = Named::None;
    if (EqualsIgnoringCase(pattern, "Long Date"))
        named = Named::LongDate;
    else if (EqualsIgnoringCase(pattern, "Short Date") || EqualsIgnoringCase(pattern, "yyyy/mm/dd"))
        named = Named::ShortDate;
    else if (EqualsIgnoringCase(pattern, "hh:nn:ss"))
        named = Named::Time;
    else if (EqualsIgnoringCase(pattern, "Long Time"))
        named = Named::LongTime;
    else if (EqualsIgnoringCase(pattern, "Short Time"))
        named = Named::ShortTime;
    else if (EqualsIgnoringCase(pattern, "General Date"))
        named = Named::GeneralDate;

    if (named != Named::None) {
        if (v.IsEmpty()) return {};
        std::optional<double> date = DateForFormat(v);
        if (!date) return CStr(v);
        DateParts p = SplitDate(*date);
        char buf[64];
        switch (named) {
        case Named::LongDate:
            std::snprintf(buf, sizeof buf, "%d年%d月%d日", p.year, p.month, p.day);
            return buf;
        case Named::ShortDate:
            return DayText(p);
        case Named::Time:
            return TimeText(p, true);
        case Named::LongTime:
            return TimeText(p, false);
        case Named::ShortTime:
            std::snprintf(buf, sizeof buf, "%02d:%02d", p.hour, p.minute);
            return buf;
        default:
            return DateText(*date);
        }
    }
    if (std::optional<DigitPattern> digits = ParseDigitPattern(pattern)) {
        bool real =
            v.Type() == VarType::Single || v.Type() == VarType::Double || v.Type() == VarType::Date;
        if (real && !std::isfinite(v.RealValue())) return CStr(v);
        if (std::optional<Decimal> d = DecimalOf(v)) return FormatDigits(*d, *digits);
    }
    return CStr(v);
}

bool IsNumericText(std::string_view text) {
    return ParseNumber(text).has_value();
}

double DateSerial(int year, int month, int day) {
    long long y = year;
    if (y >= 0 && y <= 99) y = TwoDigitYear(static_cast<int>(y));
    long long m = static_cast<long long>(month) - 1;
    y += FloorDiv(m, 12);
    m -= FloorDiv(m, 12) * 12;
    if (y < 100 - 1 || y > 9999 + 1) Throw(err::kInvalidProcedureCall);
    long long dayNumber = DaysFromCivil(y, static_cast<int>(m + 1), 1) + kUnixEpochDay +
                          (static_cast<long long>(day) - 1);
    if (dayNumber < kMinDate || dayNumber > kMaxDate) Throw(err::kInvalidProcedureCall);
    return static_cast<double>(dayNumber);
}

double TimeSerial(int hour, int minute, int second) {
    long long seconds =
        static_cast<long long>(hour) * 3600 + static_cast<long long>(minute) * 60 + second;
    return static_cast<double>(seconds) / 86400.0;
}

DateParts SplitDate(double oleDate) {
    if (!InDateRange(oleDate)) Overflow();
    double whole = std::trunc(oleDate);
    long long day = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(oleDate - whole) * 86400.0);
    if (seconds >= 86400) {
        // Rounded up to the next midnight; the last day of the range keeps its last second.
        if (day + 1 > static_cast<long long>(kMaxDate)) {
            seconds = 86399;
        } else {
            seconds = 0;
            ++day;
        }
    }
    DateParts p{};
    CivilFromDays(day - kUnixEpochDay, p.year, p.month, p.day);
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    return p;
}

} // namespace engine
