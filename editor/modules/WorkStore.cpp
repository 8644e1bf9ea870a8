#include "WorkStore.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FuncUtility.h"
#include "TavorinSub.h"
#include "engine/error.h"
#include "engine/types.h"

namespace tavorin {
namespace fs = std::filesystem;

namespace {

constexpr int kMaxInstances = 99;

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string FolderName(int instance) {
    return instance == 1 ? std::string("MdbTempDir") : "MdbTempDir" + std::to_string(instance);
}

std::string ProgramFolderPath() {
    std::string folder = QCoreApplication::applicationDirPath().toStdString();
    if (!folder.empty() && folder.back() == '/') folder.pop_back();
    return folder;
}

} // namespace

std::string WorkStore::WorkBaseFolder() const {
    if (!baseOverride_.empty()) return baseOverride_;
    if (std::string env = EnvValue("TAVORIN_WORKDIR"); !env.empty()) return env;
    if (std::string state = EnvValue("XDG_STATE_HOME"); !state.empty()) return state + "/tavorin";
    std::string home = EnvValue("HOME");
    if (home.empty()) home = fs::temp_directory_path().string();
    return home + "/.local/state/tavorin";
}

namespace {

bool NamesOpenFile(const std::string& path, int fd) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

} // namespace

// The holder removes the lock file when it lets go, so a lock taken on a file that was removed
// (or replaced) meanwhile is no lock: the file at the path must still be the one locked.
std::unique_ptr<FolderLock> FolderLock::TryAcquire(const std::string& lockPath) {
    for (;;) {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) engine::Throw(75);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) return nullptr;
            engine::Throw(75);
        }
        if (NamesOpenFile(lockPath, fd))
            return std::make_unique<FolderLock>(Private{}, fd, lockPath);
        ::close(fd); // removed by its last holder between the open and the lock: try again
    }
}

FolderLock::~FolderLock() {
    // Removed while still locked, so that no one can take the lock on the file going away; a
    // file put in its place by someone else is theirs.
    if (NamesOpenFile(path_, fd_)) ::unlink(path_.c_str());
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
}

std::string WorkStore::ClaimWorkFolder(const std::string& base) {
    if (held_.lock && held_.base == base) return held_.folder;
    ReleaseWorkFolder();
    std::error_code ec;
    fs::create_directories(base, ec);
    if (ec) engine::Throw(76, base);
    for (int instance = 1; instance <= kMaxInstances; ++instance) {
        const std::string folder = (fs::path(base) / FolderName(instance)).string();
        if (std::unique_ptr<FolderLock> lock = FolderLock::TryAcquire(folder + ".lock")) {
            held_ = {base, folder, std::move(lock)};
            return folder;
        }
    }
    engine::Throw(75);
}

void WorkStore::ReleaseWorkFolder() {
    held_ = {};
}

void WorkStore::TakeWorkFolder(const std::string& base) {
    ProgramFolder = ProgramFolderPath();
    WorkFolder = ClaimWorkFolder(base);
    MeltFolder = WorkFolder + "/MeltDir";
}

void WorkStore::RenewWorkFolder(platform::Services& platform) {
    // Whatever a gone instance left in its folder goes; creating the folder anew must not fail
    // on a part that could not be removed.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(WorkFolder, ec))) {
        int16_t errorMark = 0;
        RemoveFolderTree(platform, WorkFolder, errorMark);
    }
    // The layouts under edit are the user's business only.
    if (fs::create_directory(WorkFolder, ec)) fs::permissions(WorkFolder, fs::perms::owner_all, ec);
    if (ec) engine::Throw(76, WorkFolder);
}

void WorkStore::OpenWorkStore(platform::Services& platform, const std::string& base) {
    TakeWorkFolder(base);
    RenewWorkFolder(platform);
    WorkDbPath = WorkFolder + "/FormatTemp1.MDB";
    PrintDbPath = WorkFolder + "/FormatTemp2.MDB";
    CreateWorkDatabase(*Ws, WorkDbPath);
    WorkDb = Ws->OpenDatabase(WorkDbPath);
    WorkRs = WorkDb->OpenRecordset(kWorkTableSql, engine::RecordsetType::Dynaset);
}

void WorkStore::CloseWorkStore() {
    if (WorkRs) {
        WorkRs->Close();
        WorkRs.reset();
    }
    if (WorkDb) {
        WorkDb->Close();
        WorkDb.reset();
    }
}

void WorkStore::ClearWorkTable() {
    WorkDb->Execute(kClearWorkTableSql);
    if (WorkRs) WorkRs->Close();
    WorkRs = WorkDb->OpenRecordset(kWorkTableSql, engine::RecordsetType::Dynaset);
}

} // namespace tavorin
