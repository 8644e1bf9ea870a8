#include "engine/names.h"

namespace engine {
namespace {

char AsciiLower(char c) {
    return static_cast<char>(FoldNameChar(static_cast<unsigned char>(c)));
}

} // namespace

std::string FoldName(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::string BracketedName(std::string_view name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    return out + "]";
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

} // namespace engine
