// Genuine Jet (.mdb) files: recognised by their header and read through libmdb in a child
// process into a native copy, which the workspace then opens read-only.
#pragma once

#include <string>
#include <string_view>

namespace engine::detail {

// True when the first bytes of a file carry a Jet or ACE signature.
bool HasJetSignature(std::string_view header);

// The path of a native, read-only copy of the Jet file at path, converting it first when no
// current copy exists. Throws 3343 naming the file when it cannot be read.
std::string NativeCopyOfJetFile(const std::string& path);

} // namespace engine::detail
