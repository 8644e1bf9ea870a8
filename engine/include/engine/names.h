// How the engine compares the names of tables, fields, indexes and properties, and the words of
// its conditions: ignoring the case of the ASCII letters A-Z alone, the rule the storage applies
// to names and to COLLATE NOCASE. Full-width letters (ＡＢＣ, ａｂｃ) and other scripts compare
// exactly. Every part of the system that looks a name up follows this one rule, so that it finds
// what the engine finds.
#pragma once

#include <string>
#include <string_view>

namespace engine {

// One character under the rule: A-Z lowered, every other character as it is.
constexpr char32_t FoldNameChar(char32_t c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

bool NamesEqual(std::string_view a, std::string_view b);

// A name as a statement writes it: inside [..], with "]" doubled.
std::string BracketedName(std::string_view name);

// Key for maps of names: the name with A-Z lowered.
std::string FoldName(std::string_view name);

// Error 3125, naming name, for an empty name, one over 64 characters, one with a leading
// blank, a control character, or one of Jet's forbidden characters . ! ` [ ].
void CheckObjectName(const std::string& name);
// CheckObjectName, and 3125 for the names the engine keeps for itself (its catalog tables,
// "MSysIdx" and "MSysRename_" followed by digits, the names the storage keeps for
// itself, engine/doc/format.md).
void CheckTableName(const std::string& name);

} // namespace engine
