// Text and path helpers shared by the import run's two ways: record by record
// (frmMdbCpy_run.cpp) and as one statement (frmMdbCpy_compiled.cpp).
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "modules/TavorinSub.h"

namespace tavorin::importrun {

inline std::string Trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// A size cell of FieldMap as a number; -1 when it is not plain digits.
inline long SizeNumber(const std::string& text) {
    const std::string digits = Trimmed(text);
    if (digits.empty()) return -1;
    long n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Two paths name the same file: the same text, or the same file reached another way.
inline bool SameFile(const std::string& a, const std::string& b) {
    if (SameText(a, b)) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

} // namespace tavorin::importrun
