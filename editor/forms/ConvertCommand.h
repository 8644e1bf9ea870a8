// The convert command line: `tavorin --convert IN.mdb OUT.mdb --format jet3|jet4|native` writes
// the database IN (native or genuine Jet, any version the engine reads) as a new file OUT, a
// genuine Jet 3 or Jet 4 database or the program's own file, with no window shown. Messages go
// to err.
#pragma once

#include <ostream>
#include <string>

namespace engine {
class Workspace;
}

namespace tavorin {

enum class ConvertFormat { Jet3, Jet4, Native };

// The databases are opened in ws. Returns the exit status: 0 when OUT was written, else 1 after a
// message on err. OUT must not exist and must not be IN; a failure leaves no file at OUT.
int RunConvertCommand(engine::Workspace& ws, const std::string& in, const std::string& out,
                      ConvertFormat format, std::ostream& err);

} // namespace tavorin
