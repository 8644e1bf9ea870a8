#include "conditions/like.h"

#include <limits>

#include "conditions/criteria.h"
#include "conditions/text_scan.h"
#include "engine/names.h"

namespace engine::detail::conditions {
namespace {

// Code points of possibly broken UTF-8; a stray byte stands for itself in a private range so
// that value and pattern still compare byte for byte there.
std::vector<char32_t> CodePoints(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        size_t start = i;
        auto cp = NextCodePoint(s, i);
        out.push_back(cp ? *cp : 0x110000 + static_cast<unsigned char>(s[start]));
    }
    return out;
}

// Letters compare ignoring case as "=", keys and Seek compare them (COLLATE NOCASE): ASCII
// letters only.
char32_t FoldLower(char32_t c) {
    return FoldNameChar(c);
}
char32_t FoldUpper(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    return c;
}

bool ElemMatches(const LikeElem& e, char32_t c) {
    switch (e.type) {
    case LikeElem::Type::Any:
        return true;
    case LikeElem::Type::Digit:
        return c >= '0' && c <= '9';
    case LikeElem::Type::Char:
        return FoldLower(c) == e.ch;
    case LikeElem::Type::Class: {
        char32_t lower = FoldLower(c), upper = FoldUpper(c);
        bool in = false;
        for (auto [lo, hi] : e.ranges) {
            auto within = [&](char32_t x) { return x >= lo && x <= hi; };
            if (within(c) || within(lower) || within(upper)) {
                in = true;
                break;
            }
        }
        return in != e.negated;
    }
    case LikeElem::Type::Star:
        return false;
    }
    return false;
}

// Every element but "*" takes exactly one character, so on a mismatch it is enough to retry
// from the most recent star with one more character given to it: at most value x pattern steps.
bool MatchCompiled(const std::vector<LikeElem>& pat, const std::vector<char32_t>& val) {
    const size_t none = std::numeric_limits<size_t>::max();
    size_t p = 0, v = 0, starP = none, starV = 0;
    while (v < val.size()) {
        if (p < pat.size() && pat[p].type == LikeElem::Type::Star) {
            starP = ++p;
            starV = v;
        } else if (p < pat.size() && ElemMatches(pat[p], val[v])) {
            ++p;
            ++v;
        } else if (starP != none) {
            p = starP;
            v = ++starV;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p].type == LikeElem::Type::Star) ++p;
    return p == pat.size();
}

} // namespace

std::optional<std::vector<LikeElem>> CompileLike(std::string_view pattern) {
    std::vector<char32_t> p = CodePoints(pattern);
    std::vector<LikeElem> out;
    for (size_t i = 0; i < p.size(); ++i) {
        LikeElem e;
        switch (p[i]) {
        case '*':
            if (!out.empty() && out.back().type == LikeElem::Type::Star) continue;
            e.type = LikeElem::Type::Star;
            break;
        case '?':
            e.type = LikeElem::Type::Any;
            break;
        case '#':
            e.type = LikeElem::Type::Digit;
            break;
        case '[': {
            e.type = LikeElem::Type::Class;
            size_t j = i + 1;
            if (j < p.size() && p[j] == '!') {
                e.negated = true;
                ++j;
            }
            bool closed = false;
            while (j < p.size()) {
                if (p[j] == ']') {
                    closed = true;
                    break;
                }
                char32_t lo = p[j], hi = p[j];
                if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
                    hi = p[j + 2];
                    if (hi < lo) return std::nullopt;
                    j += 2;
                }
                e.ranges.emplace_back(lo, hi);
                ++j;
            }
            if (!closed) return std::nullopt;
            i = j;
            // "[]" matches the empty string, so it adds nothing to the pattern.
            if (e.ranges.empty() && !e.negated) continue;
            break;
        }
        default:
            e.type = LikeElem::Type::Char;
            e.ch = FoldLower(p[i]);
        }
        out.push_back(std::move(e));
    }
    return out;
}

} // namespace engine::detail::conditions

namespace engine::detail {

using namespace conditions;

bool JetLikeMatch(std::string_view value, std::string_view pattern) {
    auto compiled = CompileLike(pattern);
    if (!compiled) return false;
    return MatchCompiled(*compiled, CodePoints(value));
}

} // namespace engine::detail
