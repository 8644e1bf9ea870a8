#include "conditions/dates.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "conditions/text_scan.h"
#include "engine/error.h"
#include "engine/names.h"
#include "engine/variant.h"
#include "values/calendar.h"

namespace engine::detail::conditions {
namespace {

// Splits s at sep into parts of 1 to 4 digits; nullopt when any part is not such.
std::optional<std::vector<int>> DigitParts(std::string_view s, char sep,
                                           std::vector<size_t>* widths) {
    std::vector<int> parts;
    while (true) {
        size_t end = s.find(sep);
        std::string_view part = s.substr(0, end);
        if (part.empty() || part.size() > 4) return std::nullopt;
        int v = 0;
        for (char c : part) {
            if (!IsDigit(c)) return std::nullopt;
            v = v * 10 + (c - '0');
        }
        parts.push_back(v);
        if (widths) widths->push_back(part.size());
        if (end == std::string_view::npos) break;
        s.remove_prefix(end + 1);
    }
    return parts;
}

} // namespace

// The inside of a #date# literal as an OLE date: y/m/d or y-m-d with a four-digit year first,
// otherwise m/d/y as Jet reads it; an optional time h:nn[:ss] with optional AM/PM; or a time alone.
std::optional<double> ParseDateLiteral(std::string_view inside) {
    std::vector<std::string_view> words;
    inside = Trim(inside);
    while (!inside.empty()) {
        size_t end = 0;
        while (end < inside.size() && !IsSpace(inside[end])) ++end;
        words.push_back(inside.substr(0, end));
        inside = Trim(inside.substr(end));
    }
    std::optional<int64_t> days;
    std::optional<int> seconds;
    for (size_t w = 0; w < words.size(); ++w) {
        std::string_view word = words[w];
        if (word.find(':') != std::string_view::npos) {
            if (seconds) return std::nullopt;
            int half = 0; // 1 AM, 2 PM
            auto suffix = [&](std::string_view s) {
                return word.size() > 2 && NamesEqual(word.substr(word.size() - 2), s);
            };
            auto nextIs = [&](std::string_view s) {
                return w + 1 < words.size() && NamesEqual(words[w + 1], s);
            };
            if (suffix("AM") || suffix("PM")) {
                half = suffix("AM") ? 1 : 2;
                word.remove_suffix(2);
            } else if (nextIs("AM") || nextIs("PM")) {
                half = nextIs("AM") ? 1 : 2;
                ++w;
            }
            auto parts = DigitParts(word, ':', nullptr);
            if (!parts || parts->size() < 2 || parts->size() > 3) return std::nullopt;
            int h = (*parts)[0], mi = (*parts)[1], s = parts->size() == 3 ? (*parts)[2] : 0;
            if (mi > 59 || s > 59) return std::nullopt;
            if (half) {
                if (h < 1 || h > 12) return std::nullopt;
                h = (h % 12) + (half == 2 ? 12 : 0);
            } else if (h > 23) {
                return std::nullopt;
            }
            seconds = h * 3600 + mi * 60 + s;
        } else {
            if (days) return std::nullopt;
            char sep = word.find('/') != std::string_view::npos ? '/' : '-';
            std::vector<size_t> widths;
            auto parts = DigitParts(word, sep, &widths);
            if (!parts || parts->size() != 3) return std::nullopt;
            int y, m, d;
            if (widths[0] >= 3) {
                y = (*parts)[0], m = (*parts)[1], d = (*parts)[2];
            } else {
                m = (*parts)[0], d = (*parts)[1], y = (*parts)[2];
                if (widths[2] <= 2) y += y < 30 ? 2000 : 1900;
            }
            if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
                return std::nullopt;
            days = static_cast<int64_t>(DateSerial(y, m, d));
        }
    }
    if (!days && !seconds) return std::nullopt;
    double day = static_cast<double>(days.value_or(0));
    double time = seconds.value_or(0) / 86400.0;
    // Before the epoch an OLE date counts days backwards but the time still forwards.
    return day < 0 ? day - time : day + time;
}

// A date joined by "&" reads as CStr writes it; a value beyond the calendar as its number.
std::string DateText(double ole) {
    try {
        return CStr(Variant::Date(ole));
    } catch (const Error&) {
        return NumberText(ole);
    }
}

// A double as the host language writes it: up to 15 significant digits, no trailing zeros,
// "1E+20" beyond.
std::string NumberText(double d) {
    if (d == 0) return "0";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    return buf;
}

} // namespace engine::detail::conditions
