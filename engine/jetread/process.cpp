#include "jetread/process.h"

#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>

namespace jetread {
namespace {

int FastScratchFile(sqlite3* db, char**, const sqlite3_api_routines*) {
    sqlite3_exec(
        db,
        "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY; PRAGMA locking_mode = EXCLUSIVE",
        nullptr, nullptr, nullptr);
    return SQLITE_OK;
}

} // namespace

void LimitSelf(const char* input) {
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    struct stat st {};
    uint64_t size = ::stat(input, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
#if !defined(__SANITIZE_ADDRESS__)
    rlimit memory{uint64_t(4) << 30, uint64_t(4) << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    rlim_t output = (uint64_t(256) << 20) + 8 * size;
    rlimit fsize{output, output};
    setrlimit(RLIMIT_FSIZE, &fsize);
}

void DieWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    const char* parent = std::getenv("TAVORIN_JETREAD_PARENT");
    if (parent && *parent && std::strtol(parent, nullptr, 10) != static_cast<long>(::getppid()))
        std::_Exit(3);
}

void UseScratchFileSettings() {
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&FastScratchFile));
}

} // namespace jetread
