// The conversion of one value from an old field to a new one (engine/copy_plan.h).
#include <string_view>

#include "engine/copy_plan.h"
#include "engine/text932.h"
#include "engine/variant.h"

namespace engine {
namespace {

int16_t SizeOf(const std::string& text) {
    return CInt(Variant(text));
}

// The number a size cell holds; plain digits are read directly (this runs for every value
// carried), anything else as the host converts it.
double SizeNumber(const std::string& text) {
    double n = 0;
    bool digits = !text.empty();
    for (char c : text) {
        if (c < '0' || c > '9') {
            digits = false;
            break;
        }
        n = n * 10 + (c - '0');
    }
    return digits ? n : CDbl(Variant(text));
}

// Null, Empty or the empty text: what the conversion treats as no value. Numbers, dates and
// Booleans always have a text form.
bool IsBlank(const Variant& v) {
    return v.IsNull() || v.IsEmpty() || (v.IsString() && v.StringValue().empty());
}

std::string CutToBytes(std::string_view text, int n) {
    return std::string(text.substr(0, cp932::CutLength(text, n)));
}

} // namespace

ValueConversion::Lazy ValueConversion::Lazy::Of(const std::function<double()>& compute) {
    Lazy lazy;
    try {
        lazy.value_ = compute();
    } catch (...) {
        lazy.error_ = std::current_exception();
    }
    return lazy;
}

double ValueConversion::Lazy::Get() const {
    if (error_) std::rethrow_exception(error_);
    return value_;
}

ValueConversion::ValueConversion(Route route, VarType numberType, const std::string& newSize,
                                 const std::string& oldSize)
    : route_(route), target_(route == Route::ToType ? numberType : VarType::Empty) {
    cutBytes_ = Lazy::Of([&] { return SizeOf(newSize); });
    if (route_ == Route::SameText)
        shorter_ = Lazy::Of([&] { return SizeNumber(newSize) < SizeNumber(oldSize) ? 1.0 : 0.0; });
}

bool ValueConversion::KeepsValues() const {
    return route_ == Route::Keep ||
           (route_ == Route::SameText && !shorter_.Failed() && shorter_.Get() == 0);
}

ValueConversion::Shape ValueConversion::Kind() const {
    switch (route_) {
    case Route::Keep:
        return Shape::Keeps;
    case Route::SameText:
        if (shorter_.Failed() || cutBytes_.Failed()) return Shape::Other;
        return shorter_.Get() == 0 ? Shape::Keeps : Shape::CutsText;
    case Route::ToText:
        return cutBytes_.Failed() ? Shape::Other : Shape::ToText;
    case Route::ToMemo:
        return Shape::ToMemo;
    case Route::ToType:
        return Shape::ToNumber;
    case Route::ToUnknownType:
        break;
    }
    return Shape::Other;
}

bool ValueConversion::MayCut() const {
    return route_ == Route::ToText || (route_ == Route::SameText && !KeepsValues());
}

bool ValueConversion::Cuts(const Variant& v) const {
    if (!MayCut() || IsBlank(v)) return false;
    if (route_ == Route::SameText && shorter_.Get() == 0) return false;
    const std::string text = route_ == Route::ToText ? Trim(CStr(v)) : CStr(v);
    // Measured as the cut counts.
    return static_cast<int32_t>(cp932::CutWeight(text)) > static_cast<int>(cutBytes_.Get());
}

Variant ValueConversion::Apply(const Variant& v) const {
    const bool blank = IsBlank(v);
    switch (route_) {
    case Route::Keep:
        return v;
    case Route::SameText: {
        if (blank) return Variant("");
        if (shorter_.Get() == 0) return v;
        const int bytes = static_cast<int>(cutBytes_.Get());
        return Variant(CutToBytes(CStr(v), bytes));
    }
    case Route::ToText: {
        if (blank) return Variant("");
        const int bytes = static_cast<int>(cutBytes_.Get());
        return Variant(CutToBytes(Trim(CStr(v)), bytes));
    }
    case Route::ToMemo:
        return blank ? Variant("") : Variant(Trim(CStr(v)));
    case Route::ToType:
        return blank ? Variant::Integer(0) : ConvertTo(v, target_);
    case Route::ToUnknownType:
        break;
    }
    return blank ? Variant::Integer(0) : v;
}

} // namespace engine
