// tavorin-jetread JETFILE OUTFILE
//
// Reads a genuine Jet 3 or Jet 4 database through libmdb and writes its user tables (columns,
// indexes, "Description" properties and records) into a new native database at OUTFILE. The
// engine runs this program in a child process (see engine/src/jet/jet_reader.cpp), so that a file
// that crashes or hangs libmdb ends only this process.
//
// Exit status 0: OUTFILE is complete. Otherwise the last stderr line starting with "jetread: "
// says why. The program is killed when its parent process ends (see DieWithParent).
// Text of Jet 3 files is decoded with the file header's code page (932 when the
// header gives none); the environment variable TAVORIN_JET3_CODEPAGE forces another (a number
// such as 1252, or an iconv name). A byte sequence that does not decode is an error naming the
// table and field, never a silent replacement.
//
// The reading is the library beside this file (target jetread): opening the file and its
// header (jet_file), tables and columns (tables), indexes (indexes), values (values), the
// conversion that writes them (converter) and the process's own settings (process).

#include <cstdio>
#include <exception>
#include <string>

#include "engine/error.h"
#include "jetread/converter.h"
#include "jetread/jet_file.h"
#include "jetread/process.h"

namespace {

void Report(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "\njetread: %s\n", message.c_str());
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// Checking builds: libmdb leaks on some damaged property blobs (a name given twice), and leak
// checking would turn such a file's clean conversion into a failure. The process ends right
// after one conversion, so its leaks cannot pile up; memory errors are still reported.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}
#endif

int main(int argc, char** argv) {
    jetread::DieWithParent();
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s JETFILE OUTFILE\n", argv[0]);
        return 2;
    }
    jetread::LimitSelf(argv[1]);
    jetread::UseScratchFileSettings();
    try {
        jetread::Convert(argv[1], argv[2]);
        return 0;
    } catch (const jetread::Failure& e) {
        Report(e.what());
    } catch (const engine::Error& e) {
        Report(e.Description());
    } catch (const std::exception& e) {
        Report(e.what());
    }
    return 1;
}
