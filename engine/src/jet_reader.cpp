#include "jet_reader.h"

#include "engine/error.h"

namespace engine::detail {

bool HasJetSignature(std::string_view header) {
    return header.size() >= 19 &&
           (header.substr(4, 15) == "Standard Jet DB" || header.substr(4, 15) == "Standard ACE DB");
}

// Placeholder until the reader lands: genuine Jet files are refused as unreadable.
std::string NativeCopyOfJetFile(const std::string& path) { Throw(err::kBadFormat, path); }

} // namespace engine::detail
