// The command-line mode of the generator: the same scan, text and save as the window, for
// scripts and build systems.
//
//   vespen --db FILE.mdb [--tables T1,T2,...] [--record-prefix r] [--read-prefix Read_]
//          [--write-prefix Write_] [--padding _] [--workspace MYWS] [--database-prefix DB]
//          [--recordset-prefix RS] --out FILE.bas
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace engine {
class Workspace;
}

namespace vespen {

// True when the arguments ask for the command-line mode rather than the window (any argument
// beginning with "--").
bool WantsCommandLine(const std::vector<std::string>& args);

// Runs the command line (args without the program name). Returns the exit status: 0 when the
// module was written (or help was shown), 2 for a bad argument, 1 when the database or the
// module file failed. Messages go to err, help to out. The database is opened in ws.
int RunCommandLine(engine::Workspace& ws, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err);

std::string CommandLineHelp();

} // namespace vespen
