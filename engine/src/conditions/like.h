// Jet's Like patterns compiled into elements: "*" any run, "?" one character, "#" one digit,
// "[abc]", "[a-z]", "[!a-z]". The parser compiles a pattern to refuse a bad one; JetLikeMatch
// (criteria.h) matches with it.
#pragma once

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace engine::detail::conditions {

struct LikeElem {
    enum class Type { Star, Any, Digit, Char, Class } type;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

// nullopt for a pattern Jet refuses (an open "[", a range running backwards).
std::optional<std::vector<LikeElem>> CompileLike(std::string_view pattern);

} // namespace engine::detail::conditions
