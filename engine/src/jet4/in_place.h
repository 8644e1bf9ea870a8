// Changing the tables of a genuine Jet 4 or Jet 3 file in place, copy on write: new pages go to
// pages free in the old state or past its end, and single page writes switch to the new state in
// an order that leaves, after a kill at any moment, what every reader sees (the catalog's objects,
// the tables' definitions, records and properties) in the old state or the new one. The protocol
// and what each moment leaves are in engine/doc/jet-in-place-design.md.
#pragma once

#include <string>
#include <vector>

namespace engine {
class Database;
}

namespace engine::detail::jet4 {

struct TableChange {
    enum class Kind { Write, Drop, Rename };
    Kind kind = Kind::Write;
    std::string name;    // the table in the Jet file (Write: may be new)
    std::string newName; // Rename only
};

// Applies the changes, in order, to the genuine Jet 4 or Jet 3 file at path (which stays of its
// version; a Jet 3 file of code page 932 or 1252). Write takes the table `name`
// as it is now in source (definition, records, indexes, next auto number, properties) and
// replaces the file's table of that name or adds it; properties the engine does not know are
// kept. Throws engine::Error with a Japanese message when the file cannot take the changes (and
// then the file is as it was). A table may be named by one change only.
void ApplyInPlace(const std::string& path, Database& source,
                  const std::vector<TableChange>& changes);

} // namespace engine::detail::jet4
