// What a database file on disk is and holds, as the save and the windows ask it.
#pragma once

#include <string>
#include <string_view>

namespace engine {
class Database;
}

namespace tavorin {

// The stored name of db's table whose name is name by SameText, or "" (also for no db).
std::string StoredTableName(engine::Database* db, std::string_view name);

// True when the file at path is a genuine Jet (or ACE) database, told by its header.
bool IsJetFile(const std::string& path);

// True when path names a regular file (a link to one included).
bool FileExists(const std::string& path);

} // namespace tavorin
