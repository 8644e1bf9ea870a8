#include "engine/jet3_writer.h"

#include "jet3/format.h"
#include "jet4/writer.h"

namespace engine {

void WriteJet3(Database& source, const std::string& path) {
    detail::jet4::WriteDatabase(source, path, detail::jet3::kJet3Format);
}

} // namespace engine
