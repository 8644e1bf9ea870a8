#include "jet3/text.h"

#include <map>
#include <vector>

#include "engine/text932.h"
#include "jet/jet_format.h"
#include "jet4/page_file.h"

namespace engine::detail::jet3 {

namespace {

// The code page 932 bytes of every character of the Basic Multilingual Plane, asked of the
// engine's converter once: a large write converts millions of texts, and a call to iconv for
// each cost more than the rest of their encoding. 0: the code page lacks the character; below
// 0x100 one byte, else two (lead byte high).
const std::vector<uint16_t>& Cp932Bytes() {
    static const std::vector<uint16_t> table = [] {
        std::vector<uint16_t> t(0x10000, 0);
        for (char32_t cp = 1; cp < 0x10000; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF) continue;
            std::string utf8;
            cp932::AppendUtf8(utf8, cp);
            auto b = cp932::FromUtf8(utf8);
            if (!b || b->empty() || b->size() > 2) continue;
            t[cp] = b->size() == 1
                        ? static_cast<unsigned char>((*b)[0])
                        : static_cast<uint16_t>(static_cast<unsigned char>((*b)[0]) << 8 |
                                                static_cast<unsigned char>((*b)[1]));
        }
        return t;
    }();
    return table;
}

[[noreturn]] void FailAt(std::string_view utf8, const std::string& what) {
    size_t bad = 0;
    if (cp932::FromUtf8(utf8, &bad)) bad = 0; // not reached: the table and the converter agree
    size_t pos = 0;
    char32_t cp = 0;
    for (size_t i = 0; i <= bad && pos < utf8.size(); ++i) cp = cp932::NextCodePoint(utf8, pos);
    std::string ch;
    cp932::AppendUtf8(ch, cp);
    jet4::Fail(what + " の値の " + std::to_string(bad + 1) + " 文字目「" + ch +
               "」はコードページ 932 で表せません");
}

} // namespace

void AppendCp932(std::string_view utf8, const std::string& what, std::string& out) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n && s[i] < 0x80) ++i;
    out.append(utf8.substr(0, i));
    if (i == n) return; // the common case needs no table
    const auto& table = Cp932Bytes();
    while (i < n) {
        unsigned c = s[i];
        char32_t cp;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0 && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            i += 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 &&
                   (s[i + 2] & 0xC0) == 0x80) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            i += 3;
        } else {
            FailAt(utf8, what); // beyond the plane, or not UTF-8
        }
        uint16_t b = table[cp];
        if (b == 0) FailAt(utf8, what);
        if (b >= 0x100) out.push_back(static_cast<char>(b >> 8));
        out.push_back(static_cast<char>(b & 0xFF));
    }
}

void AppendCp1252(std::string_view utf8, const std::string& what, std::string& out) {
    // Each byte's character as the engine's reader decodes the code page; the bytes it leaves
    // undefined stand for the code point of their number, both ways.
    static const std::map<char32_t, char> bytes = [] {
        std::map<char32_t, char> m;
        jet::CodePageDecoder decoder("CP1252");
        for (int b = 0x80; b < 0x100; ++b) {
            auto text = decoder.Decode(std::string(1, static_cast<char>(b)));
            size_t pos = 0;
            if (text && !text->empty())
                m.emplace(cp932::NextCodePoint(*text, pos), static_cast<char>(b));
        }
        return m;
    }();
    size_t pos = 0, index = 0;
    while (pos < utf8.size()) {
        const char32_t cp = cp932::NextCodePoint(utf8, pos);
        ++index;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        auto it = bytes.find(cp);
        if (it == bytes.end()) {
            std::string ch;
            cp932::AppendUtf8(ch, cp);
            jet4::Fail(what + " の値の " + std::to_string(index) + " 文字目「" + ch +
                       "」はコードページ 1252 で表せません");
        }
        out.push_back(it->second);
    }
}

} // namespace engine::detail::jet3
