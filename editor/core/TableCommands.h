// The table menu's commands on a table of a database file, apart from any window: rename and
// delete. The table is named as the user knows it and found under its stored spelling.
#pragma once

#include <string>

namespace engine {
class Workspace;
}

namespace tavorin {

class UserPrompts;

// Renames the table current of the file at path to requested, and says whether a table was
// renamed: with the file or the table gone there is none, and only the layout takes the name.
// The engine's refusal (a name another table has in other letter case, say) propagates as
// engine::Error, and the table keeps its name.
bool RenameStoredTable(engine::Workspace& ws, const std::string& path, const std::string& current,
                       const std::string& requested);

enum class TableDeletion { Missing, Kept, Deleted };

// Deletes the table name of the file at path once the user agrees through prompts. A missing
// file or table is said, and nothing is asked.
TableDeletion DeleteStoredTable(engine::Workspace& ws, const std::string& path,
                                const std::string& name, UserPrompts& prompts);

} // namespace tavorin
