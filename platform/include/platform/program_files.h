// Files the programs read at run time (their manuals), found relative to the running program:
// beside it in a build tree, under the installed data folder (share/tavorin beside bin/) after
// an install, so an installed tree works wherever it was installed to.
#pragma once

#include <QString>

namespace platform {

// The path of `relative` (e.g. "Help/manual.html") beside the program when it is there, else in
// the installed data folder when it is there, else beside the program (for the message that
// names what is missing).
QString ProgramDataFile(const QString& relative);

} // namespace platform
