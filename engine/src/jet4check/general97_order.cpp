#include "jet4check/general97_order.h"

#include <cstdint>
#include <sstream>
#include <vector>

#include "jet3/general97.h"

namespace engine::detail::jet4check {

namespace {

struct Entry {
    char kind = 'X';
    std::string codes;
    int extra = 0;
};

const std::vector<Entry>& Table() {
    static const std::vector<Entry> table = [] {
        std::vector<Entry> t;
        std::istringstream in(jet3::kGeneral97Codes);
        std::string word;
        while (in >> word) {
            Entry e;
            e.kind = word[0];
            std::string hex = word.substr(1), extra;
            if (auto comma = hex.find(','); comma != std::string::npos) {
                extra = hex.substr(comma + 1);
                hex.resize(comma);
            }
            for (size_t i = 0; i + 2 <= hex.size(); i += 2)
                e.codes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            if (!extra.empty()) e.extra = std::stoi(extra, nullptr, 16);
            t.push_back(e);
        }
        t.resize(256);
        return t;
    }();
    return table;
}

} // namespace

std::string General97Key(std::string_view bytes) {
    size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == ' ') --n;
    std::string key;
    std::vector<int> nibbles;
    int pendingSignificant = 0;
    for (size_t i = 0; i < n; ++i) {
        const Entry& e = Table()[static_cast<unsigned char>(bytes[i])];
        key += e.codes;
        if (e.kind == 'G') ++pendingSignificant;
        if (e.kind != 'I') continue;
        if (nibbles.empty()) nibbles.push_back(0);
        nibbles.insert(nibbles.end(), static_cast<size_t>(pendingSignificant), 2);
        pendingSignificant = 0;
        nibbles.push_back(e.extra & 0x0F);
    }
    if (nibbles.empty()) return key + '\0';
    nibbles.push_back(0);
    for (size_t i = 0; i < nibbles.size(); i += 2)
        key.push_back(
            static_cast<char>((nibbles[i] << 4) | (i + 1 < nibbles.size() ? nibbles[i + 1] : 0)));
    return key;
}

} // namespace engine::detail::jet4check
