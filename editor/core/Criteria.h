// Names and texts quoted for the criteria and statements the program builds.
#pragma once

#include <string>
#include <string_view>

namespace tavorin {

// text as a Jet string literal: in apostrophes, an apostrophe inside doubled.
std::string QuotedText(std::string_view text);
// name as a Jet name in a statement: in brackets, a "]" inside doubled.
std::string Bracketed(std::string_view name);
// name as an SQLite identifier, for the statements the program builds itself: in double
// quotes, a '"' inside doubled.
std::string SqlQuoted(std::string_view name);

} // namespace tavorin
