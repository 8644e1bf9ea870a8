#include "core/StoredFile.h"

#include <cstring>
#include <fstream>
#include <sys/stat.h>

#include "core/TypeVocabulary.h"
#include "engine/database.h"

namespace tavorin {

std::string StoredTableName(engine::Database* db, std::string_view name) {
    if (!db || name.empty()) return {};
    for (const auto& table : db->TableDefs().Names())
        if (SameText(table, name)) return table;
    return {};
}

bool IsJetFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[19] = {};
    if (!in.read(header, sizeof header)) return false;
    return std::memcmp(header + 4, "Standard Jet DB", 15) == 0 ||
           std::memcmp(header + 4, "Standard ACE DB", 15) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace tavorin
