#include "jet/jet_reader.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/error.h"
#include "engine/text932.h"
#include "jet/process_start.h"

extern char** environ;

namespace engine::detail {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kProgramName = "tavorin-jetread";
constexpr const char* kParentVariable = "TAVORIN_JETREAD_PARENT";
constexpr const char* kFolderPrefix = "tavorin-jet-";
// Copies kept for reuse; older ones are dropped (an open copy stays readable: unlinking a
// file does not close the descriptors on it).
constexpr size_t kMaxCopies = 16;
// What is kept of the child's error output.
constexpr size_t kMaxErrorOutput = 16 * 1024;

#ifdef TAVORIN_CHECKED_BUILD
// The checking build's reader runs several times slower under the sanitizers.
constexpr int kReaderSlowdown = 4;
#else
constexpr int kReaderSlowdown = 1;
#endif

struct Limits {
    std::chrono::milliseconds base{10000 * kReaderSlowdown};
    std::chrono::milliseconds perMegabyte{1000 * kReaderSlowdown};
};

// A file descriptor closed when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
};

// posix_spawn attributes and file actions, destroyed when they go out of scope.
class SpawnSetup {
  public:
    SpawnSetup() {
        attrOk_ = posix_spawnattr_init(&attr_) == 0;
        actionsOk_ = posix_spawn_file_actions_init(&actions_) == 0;
    }
    ~SpawnSetup() {
        if (attrOk_) posix_spawnattr_destroy(&attr_);
        if (actionsOk_) posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    bool Ok() const { return attrOk_ && actionsOk_; }
    posix_spawnattr_t attr_;
    posix_spawn_file_actions_t actions_;

  private:
    bool attrOk_, actionsOk_;
};

bool UsableFolder(const char* path) {
    struct stat st {};
    return path && *path == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path, W_OK | X_OK) == 0;
}

std::string BaseFolder() {
    for (const char* candidate : {std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR")})
        if (UsableFolder(candidate)) return candidate;
    return "/tmp";
}

// Removes the copy folders of processes that no longer run (only ours, never a symlink).
void RemoveStaleFolders(const std::string& base, const std::string& own) {
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.rfind(kFolderPrefix, 0) != 0 || it->path().string() == own) continue;
        unsigned long long pid = 0, start = 0;
        if (std::sscanf(name.c_str() + std::strlen(kFolderPrefix), "%llu-%llu", &pid, &start) != 2)
            continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        if (ProcessRuns(pid, start)) continue;
        std::error_code rec;
        fs::remove_all(it->path(), rec);
    }
}

void RemoveWithCompanions(const std::string& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
}

std::string ErrnoText(int e) {
    return std::strerror(e);
}

// Text of the child for a message: valid UTF-8, no control characters, bounded.
std::string CleanText(std::string_view raw, size_t maxBytes) {
    std::string out;
    for (size_t pos = 0; pos < raw.size();) {
        char32_t cp = cp932::NextCodePoint(raw, pos);
        if (cp < 0x20 || cp == 0x7F) {
            if (!out.empty() && out.back() != ' ') out += ' ';
            continue;
        }
        if (out.size() + 4 > maxBytes) {
            out += "...";
            break;
        }
        if (cp == 0xFFFD)
            out += '?';
        else
            cp932::AppendUtf8(out, cp);
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The child's own explanation: its last "jetread: " line.
std::string ChildMessage(const std::string& output) {
    const std::string marker = "jetread: ";
    size_t at = output.rfind("\n" + marker);
    if (at == std::string::npos) return std::string();
    size_t begin = at + 1 + marker.size();
    size_t end = output.find('\n', begin);
    return CleanText(std::string_view(output).substr(
                         begin, end == std::string::npos ? std::string::npos : end - begin),
                     600);
}

std::string SignalName(int sig) {
    const char* name = sigabbrev_np(sig);
    return name ? std::string("SIG") + name : std::to_string(sig);
}

bool IsExecutable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// True when the running program lies under folder (both with symbolic links resolved).
bool RunsFrom(const std::string& self, const char* folder) {
    char resolved[PATH_MAX];
    if (!::realpath(folder, resolved)) return false;
    const std::string prefix = std::string(resolved) + '/';
    return self.compare(0, prefix.size(), prefix) == 0;
}

std::optional<std::string> ProgramPath() {
    if (const char* env = std::getenv("TAVORIN_JETREAD"); env && *env) return std::string(env);
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::nullopt;
    const std::string self(buffer, static_cast<size_t>(n));
    const std::string dir = self.substr(0, self.rfind('/') + 1);
    if (IsExecutable(dir + kProgramName)) return dir + kProgramName;
    // An installed program: bin/ and libexec/tavorin/ under one prefix, wherever that is.
    const std::string installed = dir + TAVORIN_JETREAD_FROM_BIN + "/" + kProgramName;
    if (IsExecutable(installed)) return installed;
    // The build's path serves the build's own programs; an installed copy never reaches back
    // into the tree it was built in.
    if (RunsFrom(self, TAVORIN_BUILD_DIR) && IsExecutable(TAVORIN_JETREAD_PATH))
        return std::string(TAVORIN_JETREAD_PATH);
    return std::nullopt;
}

// Runs the reader on input, writing output, within limit. Returns "" on success, otherwise why
// it failed. The child runs in its own process group, which is killed as a whole.
std::string RunReader(const std::string& program, const std::string& input,
                      const std::string& output, std::chrono::milliseconds limit) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return "パイプを作成できません: " + ErrnoText(errno);
    Fd readEnd(fds[0]), writeEnd(fds[1]);

    SpawnSetup setup;
    if (!setup.Ok()) return "子プロセスを準備できません";
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    posix_spawnattr_setsigmask(&setup.attr_, &none);
    posix_spawnattr_setsigdefault(&setup.attr_, &defaults);
    posix_spawnattr_setpgroup(&setup.attr_, 0);
    posix_spawnattr_setflags(&setup.attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                               POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addopen(&setup.actions_, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions_, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions_, writeEnd.get(), 2);

    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(input.c_str()),
                               const_cast<char*>(output.c_str()), nullptr};
    // The child asks to be killed when this process ends; it checks that its parent is still
    // the one named here (see tavorin-jetread).
    std::string parent = std::string(kParentVariable) + "=" + std::to_string(::getpid());
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, kParentVariable, std::strlen(kParentVariable)) != 0 ||
            (*e)[std::strlen(kParentVariable)] != '=')
            env.push_back(*e);
    env.push_back(parent.data());
    env.push_back(nullptr);
    pid_t pid = -1;
    int rc =
        posix_spawn(&pid, program.c_str(), &setup.actions_, &setup.attr_, argv.data(), env.data());
    if (rc != 0) return "読み取りプログラム " + program + " を起動できません: " + ErrnoText(rc);
    writeEnd.Close();

    // The child's end is known from a pidfd when the kernel offers one, else by polling.
    Fd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const auto deadline = Clock::now() + limit;
    auto remainingMs = [&] {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<int>(std::max<long long>(0, std::min<long long>(left, 60000)));
    };
    // Ended, but not reaped yet, so that its pid (and process group id) cannot be reused while
    // the group is killed below.
    auto hasEnded = [&] {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid;
    };
    std::string errors, waitFailure;
    bool timedOut = false, eof = false, ended = false;
    char buf[4096];
    auto readSome = [&] {
        ssize_t got = ::read(readEnd.get(), buf, sizeof buf);
        if (got < 0 && errno == EINTR) return;
        if (got <= 0) {
            eof = true;
            return;
        }
        errors.append(buf, static_cast<size_t>(got));
        if (errors.size() > kMaxErrorOutput) errors.erase(0, errors.size() - kMaxErrorOutput);
    };
    for (int pause = 1; !ended;) {
        int wait = remainingMs();
        if (wait == 0) {
            timedOut = true;
            break;
        }
        pollfd p[2] = {{eof ? -1 : readEnd.get(), POLLIN, 0}, {pidfd.get(), POLLIN, 0}};
        if (pidfd.get() < 0 && eof) {
            wait = std::min(wait, pause);
            pause = std::min(pause * 2, 20);
        }
        int n = ::poll(p, 2, wait);
        if (n < 0 && errno != EINTR) {
            waitFailure = "読み取りプログラムを待てません: " + ErrnoText(errno);
            break;
        }
        if (n > 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR))) readSome();
        if ((pidfd.get() >= 0 && (p[1].revents & POLLIN)) || (pidfd.get() < 0 && eof))
            ended = hasEnded();
    }
    ::kill(-pid, SIGKILL);
    if (!ended) ::kill(pid, SIGKILL);
    // What the child wrote before it ended may still be in the pipe; with the whole group
    // killed nothing writes any more.
    for (int i = 0; ended && !eof && i < 64; ++i) {
        pollfd p{readEnd.get(), POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) break;
        readSome();
    }
    readEnd.Close();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return "読み取りプログラムの終了状態を取得できません: " + ErrnoText(errno);
    }
    if (!waitFailure.empty()) return waitFailure;

    if (timedOut) {
        auto seconds = std::chrono::duration_cast<std::chrono::duration<double>>(limit).count();
        char text[96];
        std::snprintf(text, sizeof text, "読み取りが制限時間 (%.1f 秒) を超えたため中止しました",
                      seconds);
        return text;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::string();
    std::string message = ChildMessage(errors);
    if (!message.empty()) return message;
    std::string tail = CleanText(
        errors.size() > 400 ? std::string_view(errors).substr(errors.size() - 400) : errors, 400);
    std::string why = WIFSIGNALED(status)
                          ? "読み取り中に異常終了しました (" + SignalName(WTERMSIG(status)) + ")"
                          : "読み取りプログラムが終了コード " +
                                std::to_string(WEXITSTATUS(status)) + " で終了しました";
    return tail.empty() ? why : why + ": " + tail;
}

bool LooksLikeNativeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[16] = {};
    in.read(head, sizeof head);
    return in.gcount() == 16 && std::memcmp(head, "SQLite format 3\0", 16) == 0;
}

struct Copy {
    std::string source;  // canonical path of the Jet file
    std::string setting; // TAVORIN_JET3_CODEPAGE when converted
    dev_t dev;
    ino_t ino;
    off_t size;
    timespec mtime;
    std::string path;
    uint64_t lastUse;
};

class CopyCache {
  public:
    static CopyCache& Instance() {
        static CopyCache cache;
        return cache;
    }

    std::string CopyOf(const std::string& path) {
        char real[PATH_MAX];
        if (!::realpath(path.c_str(), real)) Throw(err::kFileNotFound, path);
        std::string source = real;
        struct stat st {};
        if (::stat(real, &st) != 0) Throw(err::kFileNotFound, path);
        // The code page setting changes what a Jet 3 file reads as.
        const char* env = std::getenv("TAVORIN_JET3_CODEPAGE");
        std::string setting = env ? env : "";

        std::string program, target;
        std::chrono::milliseconds limit{};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto it = copies_.begin(); it != copies_.end(); ++it) {
                if (it->source != source || it->setting != setting) continue;
                if (it->dev == st.st_dev && it->ino == st.st_ino && it->size == st.st_size &&
                    it->mtime.tv_sec == st.st_mtim.tv_sec &&
                    it->mtime.tv_nsec == st.st_mtim.tv_nsec &&
                    ::access(it->path.c_str(), R_OK) == 0) {
                    it->lastUse = ++clock_;
                    return it->path;
                }
                RemoveWithCompanions(it->path);
                copies_.erase(it);
                break;
            }
            auto found = ProgramPath();
            if (!found)
                Fail(path, std::string("読み取りプログラム ") + kProgramName + " が見つかりません");
            program = *found;
            EnsureFolder(path);
            target = folder_ + "/" + std::to_string(++counter_) + ".db";
            uint64_t megabytes = (static_cast<uint64_t>(st.st_size) + (1 << 20) - 1) >> 20;
            limit = limits_.base + limits_.perMegabyte * static_cast<long>(megabytes);
        }

        // The conversion runs unlocked: other threads may open other files meanwhile.
        std::string part = target + ".part";
        RemoveWithCompanions(part);
        std::string why = RunReader(program, source, part, limit);
        if (why.empty() && !LooksLikeNativeFile(part))
            why = "読み取りプログラムが結果を書きませんでした";
        if (why.empty() && ::rename(part.c_str(), target.c_str()) != 0)
            why = "コピーを保存できません: " + ErrnoText(errno);
        RemoveWithCompanions(part);
        if (!why.empty()) {
            RemoveWithCompanions(target);
            Fail(path, why);
        }

        std::lock_guard<std::mutex> lock(mutex_);
        copies_.push_back(
            Copy{source, setting, st.st_dev, st.st_ino, st.st_size, st.st_mtim, target, ++clock_});
        Trim();
        return target;
    }

    std::string Folder() {
        std::lock_guard<std::mutex> lock(mutex_);
        return folder_;
    }

    void SetLimits(Limits l) {
        std::lock_guard<std::mutex> lock(mutex_);
        limits_ = l;
    }

    void Rewritten(const std::string& path, const std::string& copyPath) {
        struct stat st {};
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& c : copies_) {
            if (c.path != copyPath) continue;
            if (::stat(path.c_str(), &st) != 0) return;
            c.dev = st.st_dev;
            c.ino = st.st_ino;
            c.size = st.st_size;
            c.mtime = st.st_mtim;
        }
    }

    // Drops the entry only: the file stays for the connection that has it open and goes with
    // the folder.
    void ForgetOne(const std::string& copyPath) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = copies_.begin(); it != copies_.end(); ++it) {
            if (it->path != copyPath) continue;
            copies_.erase(it);
            return;
        }
    }

    void Forget() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& c : copies_) RemoveWithCompanions(c.path);
        copies_.clear();
    }

  private:
    CopyCache() = default;
    ~CopyCache() {
        // Only the process that made the folder removes it (not a forked child running exit).
        if (!folder_.empty() && ::getpid() == owner_) {
            std::error_code ec;
            fs::remove_all(folder_, ec);
        }
    }

    [[noreturn]] static void Fail(const std::string& path, const std::string& why) {
        Throw(err::kBadFormat, path + ": " + why);
    }

    // Makes this process's folder when needed; every conversion also clears what processes
    // that died left behind.
    void EnsureFolder(const std::string& path) {
        if (!folder_.empty() && ::access(folder_.c_str(), W_OK | X_OK) == 0) {
            RemoveStaleFolders(fs::path(folder_).parent_path().string(), folder_);
            return;
        }
        pid_t pid = ::getpid();
        auto start = StartTimeOf(pid);
        std::string base = BaseFolder();
        std::string folder = base + "/" + kFolderPrefix + std::to_string(pid) + "-" +
                             std::to_string(start.value_or(0));
        RemoveStaleFolders(base, folder);
        if (::mkdir(folder.c_str(), 0700) != 0) {
            int e = errno;
            struct stat st {};
            if (e != EEXIST || ::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
                st.st_uid != ::getuid())
                Fail(path, "作業フォルダ " + folder + " を作成できません: " + ErrnoText(e));
        }
        folder_ = folder;
        owner_ = pid;
    }

    void Trim() {
        while (copies_.size() > kMaxCopies) {
            auto oldest = copies_.begin();
            for (auto it = copies_.begin(); it != copies_.end(); ++it)
                if (it->lastUse < oldest->lastUse) oldest = it;
            RemoveWithCompanions(oldest->path);
            copies_.erase(oldest);
        }
    }

    std::mutex mutex_;
    std::string folder_;
    pid_t owner_ = 0;
    std::vector<Copy> copies_;
    uint64_t clock_ = 0;
    uint64_t counter_ = 0;
    Limits limits_;
};

} // namespace

bool HasJetSignature(std::string_view header) {
    return header.size() >= 19 &&
           (header.substr(4, 15) == "Standard Jet DB" || header.substr(4, 15) == "Standard ACE DB");
}

std::string NativeCopyOfJetFile(const std::string& path) {
    return CopyCache::Instance().CopyOf(path);
}

std::string JetCopyFolder() {
    return CopyCache::Instance().Folder();
}

void SetJetReadTimeLimit(std::chrono::milliseconds base, std::chrono::milliseconds perMegabyte) {
    CopyCache::Instance().SetLimits(Limits{base, perMegabyte});
}

void NoteJetFileRewritten(const std::string& path, const std::string& copyPath) {
    CopyCache::Instance().Rewritten(path, copyPath);
}

void ForgetJetCopy(const std::string& copyPath) {
    CopyCache::Instance().ForgetOne(copyPath);
}

void ForgetJetCopies() {
    CopyCache::Instance().Forget();
}

} // namespace engine::detail
