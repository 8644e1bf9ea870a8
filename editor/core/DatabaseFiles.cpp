// Moving, copying and deleting database files with their journals, never while the engine
// holds them.
#include "core/DatabaseFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/error.h"
#include "engine/workspace.h"

namespace tavorin {
namespace {

// Host error numbers of the file functions.
constexpr long kFileNotFound = 53;
constexpr long kFileExists = 58;
constexpr long kDiskFull = 61;
constexpr long kPermissionDenied = 70;
constexpr long kPathFileAccess = 75;

std::string JournalOf(const std::string& path) {
    return path + "-journal";
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

[[noreturn]] void ThrowSystem(int error, const std::string& path) {
    long number = kPathFileAccess;
    const char* text = "パス名が無効です。";
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        number = kFileNotFound;
        text = "ファイルが見つかりません。";
        break;
    case EEXIST:
    case ENOTEMPTY:
        number = kFileExists;
        text = "既に同じ名前のファイルが存在しています。";
        break;
    case ENOSPC:
    case EDQUOT:
        number = kDiskFull;
        text = "ディスクの空き容量が不足しています。";
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        number = kPermissionDenied;
        text = "書き込みできません。";
        break;
    default:
        break;
    }
    throw engine::Error(number, std::string(text) + "\r" + path, std::strerror(error));
}

// The hook's injected failure, if any.
void AtOperation(const FileOperationHook& hook, FileOperation operation, const std::string& from,
                 const std::string& to) {
    if (!hook) return;
    if (const int error = hook(operation, from, to); error != 0)
        ThrowSystem(error, to.empty() ? from : to);
}

[[noreturn]] void ThrowHeld(const std::string& path) {
    throw engine::Error(engine::err::kLocked, engine::DescriptionOf(engine::err::kLocked, path));
}

// Refuses a file the engine holds or another program is changing; plays back a journal left
// beside it, so that a journal that is still there afterwards holds nothing that must be undone.
void PrepareSource(engine::Workspace& ws, const std::string& path) {
    if (ws.IsFileOpen(path)) ThrowHeld(path);
    if (!Exists(path)) ThrowSystem(ENOENT, path);
    // A writer's journal is no journal to play back or carry along: its commit needs both.
    ws.RefuseFileBeingChanged(path);
    if (!Exists(JournalOf(path))) return;
    try {
        ws.OpenDatabase(path)->Close();
    } catch (const engine::Error&) {
        // Not a file the engine can open: the journal simply travels with it.
    }
    // Inside a workspace transaction the file stays part of it until the transaction ends.
    if (ws.IsFileOpen(path)) ThrowHeld(path);
}

void RefuseTakenTarget(const std::string& to) {
    if (Exists(to)) ThrowSystem(EEXIST, to);
    if (Exists(JournalOf(to))) ThrowSystem(EEXIST, JournalOf(to));
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting a failure of the close (a write the file system deferred).
    int Close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

  private:
    int fd_;
};

// The folder's entry of a new or renamed file reaches the disk.
void SyncFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

// Copies one file to a new file, complete on disk; on failure nothing is left at to.
void CopyOneFile(const std::string& from, const std::string& to) {
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) ThrowSystem(errno, from);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) ThrowSystem(errno, from);
    // The copy is the user's to write into, also when the source file is read-only.
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, (st.st_mode & 0666) | 0600));
    if (out.get() < 0) ThrowSystem(errno, to);
    auto fail = [&](int error, const std::string& path) {
        out.Close();
        ::unlink(to.c_str());
        ThrowSystem(error, path);
    };
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            fail(errno, from);
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ::write(out.get(), buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                fail(errno, to);
            }
            done += put;
        }
    }
    if (::fsync(out.get()) != 0) fail(errno, to);
    if (out.Close() != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        ThrowSystem(error, to);
    }
}

// Renames one file without replacing anything at to; across file systems a complete copy,
// then the source removed.
void MoveOneFile(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    int error = errno;
    if (error == EINVAL) {
        // A file system without the no-replace rename: a hard link cannot replace either.
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return;
        }
        error = errno;
        if (error == EPERM || error == EOPNOTSUPP) {
            if (Exists(to)) ThrowSystem(EEXIST, to);
            if (::rename(from.c_str(), to.c_str()) == 0) return;
            error = errno;
        }
    }
    if (error != EXDEV) ThrowSystem(error, to);
    CopyOneFile(from, to);
    if (::unlink(from.c_str()) != 0) {
        // The source must stay the one file of that content.
        const int unlinkError = errno;
        ::unlink(to.c_str());
        ThrowSystem(unlinkError, from);
    }
}

} // namespace

bool DatabaseNameTaken(const std::string& path) {
    return Exists(path) || Exists(JournalOf(path));
}

void MoveDatabaseFile(engine::Workspace& ws, const FileOperationHook& hook, const std::string& from,
                      const std::string& to) {
    PrepareSource(ws, from);
    RefuseTakenTarget(to);
    AtOperation(hook, FileOperation::Move, from, to);
    const bool journal = Exists(JournalOf(from));
    MoveOneFile(from, to);
    if (journal) {
        try {
            MoveOneFile(JournalOf(from), JournalOf(to));
        } catch (...) {
            // The file goes back to its journal.
            MoveOneFile(to, from);
            throw;
        }
    }
    SyncFolderOf(to);
    SyncFolderOf(from);
}

void CopyDatabaseFile(engine::Workspace& ws, const FileOperationHook& hook, const std::string& from,
                      const std::string& to) {
    PrepareSource(ws, from);
    RefuseTakenTarget(to);
    AtOperation(hook, FileOperation::Copy, from, to);
    // The journal first: a copy is never seen without what completes it.
    const bool journal = Exists(JournalOf(from));
    if (journal) CopyOneFile(JournalOf(from), JournalOf(to));
    try {
        CopyOneFile(from, to);
    } catch (...) {
        if (journal) ::unlink(JournalOf(to).c_str());
        throw;
    }
    SyncFolderOf(to);
}

void DeleteDatabaseFile(engine::Workspace& ws, const FileOperationHook& hook,
                        const std::string& path) {
    PrepareSource(ws, path);
    AtOperation(hook, FileOperation::Delete, path, "");
    // What is left of a journal after the playback undoes nothing; without its file it would
    // only wait to be played into the next file of that name.
    if (::unlink(JournalOf(path).c_str()) != 0 && errno != ENOENT)
        ThrowSystem(errno, JournalOf(path));
    if (::unlink(path.c_str()) != 0) ThrowSystem(errno, path);
    SyncFolderOf(path);
}

} // namespace tavorin
