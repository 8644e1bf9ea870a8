#include "jet/write_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "engine/error.h"
#include "jet/jet_format.h"

namespace engine::detail::jet {
namespace {

constexpr off_t kUserLockBase = 0x10000000;
constexpr int kSlots = 255;
constexpr size_t kSlotBytes = 64;

uint32_t Le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// One byte-range lock request on the .ldb: open-file-description locks, so that closing some
// other descriptor of the same file in this process does not drop them.
bool TryLock(int fd, short type, off_t start, off_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// True when some other open file description holds a lock over [start, start + length).
bool HeldByOther(int fd, off_t start, off_t length) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

std::string ThisMachine() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return "LOCALHOST";
    std::string name(host);
    if (auto dot = name.find('.'); dot != std::string::npos) name.resize(dot);
    return name;
}

std::string ReadFirstPage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Throw(err::kFileNotFound, path);
    std::string page(4096, '\0');
    in.read(page.data(), static_cast<std::streamsize>(page.size()));
    page.resize(static_cast<size_t>(in.gcount()));
    return page;
}

} // namespace

Refusal HeaderRefusal(const std::string& firstPage) {
    Header h = InspectHeader(firstPage);
    if (h.kind != Header::Kind::Jet3 && h.kind != Header::Kind::Jet4)
        return {err::kBadFormat,
                "version byte " + std::to_string(h.versionByte) + " is neither Jet 3 nor Jet 4"};
    const bool jet4 = h.kind == Header::Kind::Jet4;
    if (firstPage.size() < 0x98) return {err::kBadFormat, "the header page is cut short"};
    std::string clear = firstPage;
    const auto& mask = HeaderMask();
    for (size_t i = 0; i < (jet4 ? 128u : 126u); ++i)
        clear[0x18 + i] = static_cast<char>(clear[0x18 + i] ^ mask[i]);
    if (Le32(clear, 0x3E) != 0) return {err::kEncryptedFile, "the pages are encoded"};
    // The password field: Jet 3 keeps it under the header mask alone; Jet 4 also masks it with
    // the whole days of the creation date. Any byte left over means a password is set.
    uint32_t dateMask = 0;
    if (jet4) {
        double created;
        uint64_t bits = Le32(clear, 0x72) | static_cast<uint64_t>(Le32(clear, 0x76)) << 32;
        std::memcpy(&created, &bits, sizeof created);
        if (created > -2147483648.0 && created < 2147483648.0)
            dateMask = static_cast<uint32_t>(static_cast<int32_t>(created));
    }
    for (size_t i = 0; i < (jet4 ? 40u : 20u); ++i) {
        auto maskByte = static_cast<unsigned char>(dateMask >> (8 * (i % 4)));
        if ((static_cast<unsigned char>(clear[0x42 + i]) ^ maskByte) != 0)
            return {err::kEncryptedFile, "a database password is set"};
    }
    return {};
}

void CheckJetFileWritable(const std::string& path) {
    Refusal refusal = HeaderRefusal(ReadFirstPage(path));
    if (refusal.number != 0)
        throw Error(refusal.number, DescriptionOf(refusal.number, path), refusal.why);
    // The file itself, and its folder for the .ldb: Jet writes both.
    std::string folder = path.substr(0, path.find_last_of('/') + 1);
    if (folder.empty()) folder = ".";
    // A file without any write permission is read-only for root too, as a file with the
    // read-only attribute is for every user of Jet.
    struct stat st {};
    bool noWriteBits = stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
    if (noWriteBits || access(path.c_str(), W_OK) != 0 || access(folder.c_str(), W_OK) != 0)
        throw Error(err::kReadOnly, DescriptionOf(err::kReadOnly),
                    path + ": " + (noWriteBits ? "no write permission" : std::strerror(errno)));
    if (LockFileInUse(LockFilePath(path)))
        throw Error(err::kLocked, DescriptionOf(err::kLocked, path),
                    LockFilePath(path) + " is held by another program");
}

std::string LockFilePath(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path + ".ldb";
    return path.substr(0, dot) + ".ldb";
}

bool LockFileInUse(const std::string& ldbPath) {
    int fd = open(ldbPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false; // no .ldb: no Jet program shares the file
    bool held = HeldByOther(fd, kUserLockBase + 1, kSlots);
    close(fd);
    return held;
}

JetFileLock::JetFileLock(const std::string& path) : ldb_(LockFilePath(path)) {
    fd_ = open(ldb_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        int e = errno;
        if (e == EACCES || e == EROFS || e == EPERM)
            throw Error(err::kReadOnly, DescriptionOf(err::kReadOnly),
                        ldb_ + ": " + std::strerror(e));
        throw Error(err::kDiskIo, DescriptionOf(err::kDiskIo), ldb_ + ": " + std::strerror(e));
    }
    if (HeldByOther(fd_, kUserLockBase + 1, kSlots)) {
        close(fd_);
        fd_ = -1;
        throw Error(err::kLocked, DescriptionOf(err::kLocked, path),
                    ldb_ + " is held by another program");
    }
    for (int n = 1; n <= kSlots && slot_ == 0; ++n)
        if (TryLock(fd_, F_WRLCK, kUserLockBase + n, 1)) slot_ = n;
    if (slot_ == 0) {
        close(fd_);
        fd_ = -1;
        throw Error(err::kLocked, DescriptionOf(err::kLocked, path), ldb_ + " has no free slot");
    }
    // The slot's names, as other Jet programs list the file's users: computer name, then account.
    std::array<char, kSlotBytes> entry{};
    std::string machine = ThisMachine().substr(0, 31);
    std::memcpy(entry.data(), machine.data(), machine.size());
    std::memcpy(entry.data() + 32, "Admin", 5);
    // The names are a courtesy to other programs' user lists; failing to write them does not
    // stop the change.
    (void)!pwrite(fd_, entry.data(), entry.size(), static_cast<off_t>(kSlotBytes * (slot_ - 1)));
}

JetFileLock::~JetFileLock() {
    if (fd_ < 0) return;
    TryLock(fd_, F_UNLCK, kUserLockBase + slot_, 1);
    // The last user removes the .ldb. Holding every slot for a moment shows no one else is there.
    if (TryLock(fd_, F_WRLCK, kUserLockBase + 1, kSlots)) {
        unlink(ldb_.c_str());
        TryLock(fd_, F_UNLCK, kUserLockBase + 1, kSlots);
    }
    close(fd_);
}

} // namespace engine::detail::jet
