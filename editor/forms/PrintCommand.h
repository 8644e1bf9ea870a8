// The print command line: `tavorin --print FILE.mdb [--table T] --pdf OUT.pdf` renders what
// the print commands of the main window print (the table T, else every table of the file)
// into a PDF file, with no window shown. Messages go to err.
#pragma once

#include <ostream>
#include <string>

#include "modules/AppContext.h"

namespace tavorin {

// The window it prints through runs in ws on a context of its own, whose messages go to err and
// whose printer writes pdf; workBase, when not empty, is the folder the work folder is made in.
// Returns the exit status: 0 when the PDF file was written, else 1 after a message on err.
int RunPrintCommand(engine::Workspace& ws, const std::string& workBase, const std::string& file,
                    const std::string& table, const std::string& pdf, std::ostream& err);

} // namespace tavorin
