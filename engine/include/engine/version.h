// The version of the library the engine stores native files with, for a program's about box.
#pragma once

#include <string>

namespace engine {

// The storage library's version text ("3.40.1").
std::string StorageLibraryVersion();

} // namespace engine
