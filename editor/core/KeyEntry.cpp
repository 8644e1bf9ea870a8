#include "core/KeyEntry.h"

#include "core/TextRules.h"
#include "engine/variant.h"

namespace tavorin {

std::string KeyEntryFault(const std::string& entry, std::string& normalised,
                          const std::string& repeat) {
    normalised.clear();
    const std::string text = TrimBlanks(entry);
    if (text.empty()) return {};
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    const std::string letter = TrimBlanks(text.substr(digits));
    // Only the first digits matter for the range check: more than two can never be a rank.
    long rank = 0;
    for (size_t i = 0; i < digits; ++i) rank = rank > 1000 ? rank : rank * 10 + (text[i] - '0');
    if (letter.empty() && rank == 0) return {};
    if (!TrimBlanks(repeat).empty()) return "繰返しを指定したフィールドはキー指定できません。";
    if (digits == 0) return "キー順位が指定されていません。";
    if (!letter.empty() && letter != "A" && letter != "a" && letter != "D" && letter != "d")
        return "ソート種別は 'A'　又は 'D'　です。";
    if (rank > 20) return "キー順位は 20までです。";
    normalised = FixWidth(engine::Variant::Long(static_cast<int32_t>(rank)), "##") + letter;
    return {};
}

int RankOf(const std::string& normalised) {
    int rank = 0;
    for (size_t i = 0; i < normalised.size() && i < 2; ++i)
        if (normalised[i] >= '0' && normalised[i] <= '9') rank = rank * 10 + (normalised[i] - '0');
    return rank;
}

} // namespace tavorin
