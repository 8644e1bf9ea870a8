// The lexer of Jet conditions and statements: the text as tokens (names, bracketed names,
// numbers, strings, dates, operators).
#include <string>

#include "conditions/criteria.h"
#include "conditions/dates.h"
#include "conditions/text_scan.h"

namespace engine::detail {

using namespace conditions;

namespace {

[[noreturn]] void LexError(std::string_view text, size_t start) {
    SyntaxError(text.substr(start));
}

// Appends the valid UTF-8 code point at text[i] to out; NUL and broken UTF-8 are errors.
void TakeCodePoint(std::string_view text, size_t& i, std::string& out, size_t tokenStart) {
    size_t start = i;
    auto cp = NextCodePoint(text, i);
    if (!cp || *cp == 0) LexError(text, tokenStart);
    out.append(text.substr(start, i - start));
}

std::string ReadQuoted(std::string_view text, size_t& i) {
    const size_t start = i;
    const char quote = text[i++];
    std::string value;
    while (true) {
        if (i >= text.size()) LexError(text, start);
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                value += quote;
                i += 2;
                continue;
            }
            ++i;
            return value;
        }
        TakeCodePoint(text, i, value, start);
    }
}

std::string ReadBracketed(std::string_view text, size_t& i) {
    const size_t start = i++;
    std::string name;
    while (true) {
        if (i >= text.size()) LexError(text, start);
        if (text[i] == ']') {
            if (i + 1 < text.size() && text[i + 1] == ']') {
                name += ']';
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        TakeCodePoint(text, i, name, start);
    }
    if (name.empty()) LexError(text, start);
    return name;
}

std::string ReadName(std::string_view text, size_t& i) {
    size_t start = i;
    while (i < text.size()) {
        size_t j = i;
        auto cp = NextCodePoint(text, j);
        if (!cp || !IsNameCodePoint(*cp)) break;
        i = j;
    }
    return std::string(text.substr(start, i - start));
}

// A plain or bracketed name, with an optional "Table." part in front, kept as its qualifier.
Token ReadNameToken(std::string_view text, size_t& i) {
    const size_t start = i;
    auto readPart = [&](TokenKind& kind) {
        if (text[i] == '[') {
            kind = TokenKind::Bracketed;
            return ReadBracketed(text, i);
        }
        kind = TokenKind::Name;
        return ReadName(text, i);
    };
    auto qualifierFollows = [&] {
        return i + 1 < text.size() && text[i] == '.' &&
               (text[i + 1] == '[' || IsNameStartAt(text, i + 1));
    };
    TokenKind kind;
    std::string name = readPart(kind);
    std::string qualifier;
    if (qualifierFollows()) {
        ++i;
        qualifier = std::move(name);
        name = readPart(kind);
        if (qualifierFollows()) LexError(text, start);
    }
    return {kind, std::move(name), start, std::move(qualifier)};
}

std::string ReadNumber(std::string_view text, size_t& i) {
    const size_t start = i;
    auto digits = [&] {
        size_t n = 0;
        while (i < text.size() && IsDigit(text[i])) ++i, ++n;
        return n;
    };
    bool malformed = false;
    digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits();
    }
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) malformed = true;
    }
    if (i < text.size() && (text[i] == '.' || IsNameStartAt(text, i) || IsDigit(text[i])))
        malformed = true;
    if (malformed) {
        size_t end = i;
        while (end < text.size() && (text[end] == '.' || IsAsciiLetter(text[end]) ||
                                     IsDigit(text[end]) || text[end] == '_'))
            ++end;
        SyntaxError(text.substr(start, std::max(end, start + 1) - start));
    }
    return std::string(text.substr(start, i - start));
}

} // namespace

std::vector<Token> Tokenize(std::string_view text) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const size_t start = i;
        if (IsSpace(c)) {
            ++i;
            continue;
        }
        if (c == '\'' || c == '"') {
            std::string value = ReadQuoted(text, i);
            out.push_back({TokenKind::String, std::move(value), start, {}});
            continue;
        }
        if (c == '#') {
            size_t close = text.find('#', i + 1);
            if (close == std::string_view::npos) LexError(text, start);
            std::string_view inside = text.substr(i + 1, close - i - 1);
            i = close + 1;
            if (!ParseDateLiteral(inside)) SyntaxError(text.substr(start, i - start));
            out.push_back({TokenKind::Date, std::string(inside), start, {}});
            continue;
        }
        if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
            std::string number = ReadNumber(text, i);
            out.push_back({TokenKind::Number, std::move(number), start, {}});
            continue;
        }
        if (c == '[' || IsNameStartAt(text, i)) {
            out.push_back(ReadNameToken(text, i));
            continue;
        }
        TokenKind kind = TokenKind::Operator;
        size_t len = 1;
        switch (c) {
        case '<':
            if (i + 1 < text.size() && (text[i + 1] == '>' || text[i + 1] == '=')) len = 2;
            break;
        case '>':
            if (i + 1 < text.size() && text[i + 1] == '=') len = 2;
            break;
        case '=':
        case '+':
        case '-':
        case '/':
        case '\\':
        case '&':
        case '^':
            break;
        case '*':
            kind = TokenKind::Star;
            break;
        case '(':
            kind = TokenKind::LParen;
            break;
        case ')':
            kind = TokenKind::RParen;
            break;
        case ',':
            kind = TokenKind::Comma;
            break;
        case ';':
            kind = TokenKind::Semicolon;
            break;
        default:
            LexError(text, start);
        }
        out.push_back({kind, std::string(text.substr(i, len)), start, {}});
        i += len;
    }
    out.push_back({TokenKind::End, {}, text.size(), {}});
    return out;
}

} // namespace engine::detail
