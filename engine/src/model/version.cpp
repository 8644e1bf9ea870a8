#include "engine/version.h"

#include <sqlite3.h>

namespace engine {

std::string StorageLibraryVersion() {
    return sqlite3_libversion();
}

} // namespace engine
