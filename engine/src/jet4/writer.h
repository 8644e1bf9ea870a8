// Writing a whole database as a genuine Jet file of the given format: every user table, then the
// system tables, the header and the map of free pages. WriteJet4 and WriteJet3 are this with
// their format's description.
#pragma once

#include <string>

#include "jet4/format.h"

namespace engine {
class Database;
}

namespace engine::detail::jet4 {

void WriteDatabase(Database& source, const std::string& path, const Format& format);

} // namespace engine::detail::jet4
