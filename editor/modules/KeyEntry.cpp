#include "modules/KeyEntry.h"

#include <QString>

#include "engine/variant.h"
#include "modules/FuncUtility.h"
#include "platform/prompts.h"

namespace tavorin {
namespace {

std::string Trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(' ');
    return s.substr(a, b - a + 1);
}

void Fault(const char* message, int16_t& error) {
    platform::MsgBox(QString::fromUtf8(message));
    error = 9;
}

} // namespace

void CheckKeyEntry(const std::string& entry, std::string& normalised, const std::string& repeat,
                   int16_t& error) {
    error = 0;
    normalised.clear();
    const std::string text = Trimmed(entry);
    if (text.empty()) return;
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    const std::string letter = Trimmed(text.substr(digits));
    // Only the first digits matter for the range check: more than two can never be a rank.
    long rank = 0;
    for (size_t i = 0; i < digits; ++i) rank = rank > 1000 ? rank : rank * 10 + (text[i] - '0');
    if (letter.empty() && rank == 0) return;
    if (!Trimmed(repeat).empty()) return Fault("繰返しを指定したフィールドはキー指定できません。", error);
    if (digits == 0) return Fault("キー順位が指定されていません。", error);
    if (!letter.empty() && letter != "A" && letter != "a" && letter != "D" && letter != "d")
        return Fault("ソート種別は 'A'　又は 'D'　です。", error);
    if (rank > 20) return Fault("キー順位は 20までです。", error);
    normalised = FixWidth(engine::Variant::Long(static_cast<int32_t>(rank)), "##") + letter;
}

int RankOf(const std::string& normalised) {
    int rank = 0;
    for (size_t i = 0; i < normalised.size() && i < 2; ++i)
        if (normalised[i] >= '0' && normalised[i] <= '9') rank = rank * 10 + (normalised[i] - '0');
    return rank;
}

} // namespace tavorin
