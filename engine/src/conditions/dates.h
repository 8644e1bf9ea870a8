// The dates and numbers of conditions: a #date# literal read as an OLE date, and dates and
// numbers written as text the way the host language writes them (the "&" of a condition).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace engine::detail::conditions {

// The inside of a #date# literal as an OLE date: y/m/d or y-m-d with a four-digit year first,
// otherwise m/d/y as Jet reads it; an optional time h:nn[:ss] with optional AM/PM; or a time alone.
std::optional<double> ParseDateLiteral(std::string_view inside);
// A date joined by "&" reads as CStr writes it; a value beyond the calendar as its number.
std::string DateText(double ole);
// A double as the host language writes it: up to 15 significant digits, no trailing zeros,
// "1E+20" beyond.
std::string NumberText(double d);

} // namespace engine::detail::conditions
