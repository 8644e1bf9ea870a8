#include "jet3/general97.h"

#include <array>
#include <cstdint>

#include "jet3/text.h"

namespace engine::detail::jet3 {

namespace {

struct Code {
    char kind = 'X';
    std::string inlineBytes;
    int extra = -1; // the extra nibble of an international letter
};

int HexDigit(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

const std::array<Code, 256>& Codes() {
    static const std::array<Code, 256> codes = [] {
        std::array<Code, 256> out;
        std::string_view all(kGeneral97Codes);
        size_t at = 0;
        for (Code& code : out) {
            size_t end = all.find(' ', at);
            if (end == std::string_view::npos) end = all.size();
            std::string_view word = all.substr(at, end - at);
            at = end + 1;
            code.kind = word.empty() ? 'X' : word[0];
            std::string_view hex = word.substr(word.empty() ? 0 : 1);
            size_t comma = hex.find(',');
            if (comma != std::string_view::npos) {
                code.extra = HexDigit(hex[comma + 1]) * 16 + HexDigit(hex[comma + 2]);
                hex = hex.substr(0, comma);
            }
            for (size_t i = 0; i + 1 < hex.size(); i += 2)
                code.inlineBytes.push_back(
                    static_cast<char>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
        }
        return out;
    }();
    return codes;
}

class Nibbles {
  public:
    void Put(int n) {
        if (high_)
            bytes_.push_back(static_cast<char>((n & 0x0F) << 4));
        else
            bytes_.back() = static_cast<char>(bytes_.back() | (n & 0x0F));
        high_ = !high_;
    }
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
    bool high_ = true;
};

} // namespace

void AppendGeneral97Key(std::string_view bytes, bool ascending, std::string& out) {
    while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
    const auto& codes = Codes();
    size_t start = out.size();
    bool anyExtra = false;
    Nibbles extra;
    int significant = 0;
    for (char ch : bytes) {
        const Code& c = codes[static_cast<unsigned char>(ch)];
        if (c.kind == 'X') continue;
        out += c.inlineBytes;
        if (c.kind == 'S') continue;
        if (c.kind == 'G') {
            ++significant;
            continue;
        }
        if (!anyExtra) extra.Put(0);
        anyExtra = true;
        for (; significant > 0; --significant) extra.Put(2);
        extra.Put(c.extra);
    }
    if (anyExtra) {
        extra.Put(0);
        out += extra.Bytes();
    } else {
        out.push_back('\0');
    }
    if (!ascending)
        for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
}

void AppendTextKey(std::string_view utf8, bool ascending, std::string& out) {
    std::string bytes;
    AppendCp932(utf8, "インデックスのキー", bytes);
    AppendGeneral97Key(bytes, ascending, out);
}

} // namespace engine::detail::jet3
