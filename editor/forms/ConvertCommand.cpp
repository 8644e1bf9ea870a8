#include "ConvertCommand.h"

#include <exception>
#include <filesystem>

#include "core/DatabaseFiles.h"
#include "core/NativeCopy.h"
#include "engine/database.h"
#include "engine/error.h"
#include "engine/jet3_writer.h"
#include "engine/jet4_writer.h"
#include "engine/workspace.h"

namespace tavorin {
namespace fs = std::filesystem;

int RunConvertCommand(engine::Workspace& ws, const std::string& in, const std::string& out,
                      ConvertFormat format, std::ostream& err) {
    auto fail = [&](const std::string& message) {
        err << "tavorin: " << message << std::endl;
        return 1;
    };
    if (!FileExists(in))
        return fail(in + ": " + engine::DescriptionOf(engine::err::kFileNotFound, in));
    std::error_code ec;
    // Never over another file, least of all the one being read.
    if (fs::exists(fs::symlink_status(out, ec)))
        return fail(out + ": " + engine::DescriptionOf(engine::err::kDatabaseExists));
    try {
        if (format == ConvertFormat::Native) {
            WriteNativeCopy(ws, in, out);
        } else {
            engine::DatabasePtr source = ws.OpenDatabase(in);
            if (format == ConvertFormat::Jet3)
                engine::WriteJet3(*source, out);
            else
                engine::WriteJet4(*source, out);
            source->Close();
        }
    } catch (const engine::Error& e) {
        return fail(in + ": " + e.Description());
    } catch (const std::exception& e) {
        return fail(in + ": " + engine::DescriptionOf(engine::err::kEngineFailure, e.what()));
    }
    return 0;
}

} // namespace tavorin
