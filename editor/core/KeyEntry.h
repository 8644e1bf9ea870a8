// The key-entry check of the layout: a rank (1..20) in a key and an optional sort letter
// ("A" ascending, "D" descending), written in the grid as e.g. "3a" and kept as " 3a".
#pragma once

#include <string>

namespace tavorin {

// Checks entry for a row whose repeat count is repeat. Returns the message of a fault, or ""
// when the entry is taken: normalised is then the rank right-aligned in two characters followed
// by the letter as typed, or empty for no key membership.
std::string KeyEntryFault(const std::string& entry, std::string& normalised,
                          const std::string& repeat);

// The rank of a normalised entry (0 for an empty one).
int RankOf(const std::string& normalised);

} // namespace tavorin
