// The archiver on libarchive: checks, file counts and extractions of LZH and ZIP archives.
#include "platform/archiver.h"

#include <QFile>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

#include "archive_reader.h"

namespace platform {

using detail::ArchiveFormat;
using detail::ArchiveReader;
using detail::EntryKind;

namespace {

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A file descriptor, closed on destruction.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    // Closes now; false when the close reported an error (data not written).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

int VersionOf(ArchiveFormat format) {
    archive* probe = archive_read_new();
    if (!probe) throw ArchiverMissing{};
    const int supported = format == ArchiveFormat::Lzh ? archive_read_support_format_lha(probe)
                                                       : archive_read_support_format_zip(probe);
    archive_read_free(probe);
    if (supported != ARCHIVE_OK) throw ArchiverMissing{};
    return archive_version_number();
}

// Reads every header; counts the entries and the files among them. False for an archive that
// does not read to its end, or that has more entries than the bound.
bool ScanHeaders(ArchiveFormat format, const QString& path, uint32_t maxEntries, long& files) {
    files = 0;
    ArchiveReader reader(format, NativePath(path));
    uint32_t entries = 0;
    for (;;) {
        const ArchiveReader::Step step = reader.Next();
        if (step == ArchiveReader::Step::End) return true;
        if (step == ArchiveReader::Step::Failed || ++entries > maxEntries) return false;
        if (archive_entry_filetype(reader.Entry()) != AE_IFDIR) ++files;
        if (archive_read_data_skip(reader.Handle()) != ARCHIVE_OK) return false;
    }
}

// One extraction: every file of the archive is written into a hidden staging folder inside the
// destination, then moved into place. Whatever goes wrong, the staging folder is removed and
// the destination keeps only what it held before.
class Extraction {
  public:
    Extraction(ArchiveFormat format, const ExtractLimits& limits)
        : format_(format), limits_(limits) {}
    ~Extraction() { RemoveStaging(); }

    int Run(const std::string& archivePath, const std::string& destination);
    const std::string& Report() const { return report_; }

  private:
    int Fail(int code, const std::string& reason) {
        report_ += reason + "\n";
        return code;
    }
    bool OpenDestination(const std::string& destination);
    uint64_t ByteBound() const;
    // True when an entry that gave out bytes from at most in compressed bytes inflates as no
    // database does.
    bool Inflated(uint64_t out, uint64_t in) const {
        return limits_.maxRatio > 0 && out > limits_.ratioFloor && out / limits_.maxRatio > in;
    }
    int ReadEntries(ArchiveReader& reader);
    int WriteEntry(ArchiveReader& reader, const std::string& name);
    int MoveIntoPlace();
    void RemoveStaging();

    ArchiveFormat format_;
    ExtractLimits limits_;
    Fd destination_;
    Fd staging_;
    std::string stagingName_;
    std::vector<std::string> names_; // files in the staging folder, in archive order
    std::set<std::string> known_;
    uint64_t written_ = 0;
    uint64_t bound_ = 0;
    std::string report_;
};

bool Extraction::OpenDestination(const std::string& destination) {
    destination_.Reset(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (destination_.Get() < 0) return false;
    // mkdtemp wants a path; the folder is then reached through the destination's descriptor.
    std::string pattern = destination;
    while (pattern.size() > 1 && pattern.back() == '/') pattern.pop_back();
    pattern += "/.extract-XXXXXX";
    if (!::mkdtemp(pattern.data())) return false;
    stagingName_ = pattern.substr(pattern.rfind('/') + 1);
    staging_.Reset(::openat(destination_.Get(), stagingName_.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return staging_.Get() >= 0;
}

uint64_t Extraction::ByteBound() const {
    uint64_t bound = limits_.maxTotalBytes;
    struct statvfs fs {};
    if (::fstatvfs(destination_.Get(), &fs) == 0) {
        const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
        bound =
            std::min(bound, free > limits_.freeSpaceReserve ? free - limits_.freeSpaceReserve : 0);
    }
    return bound;
}

int Extraction::Run(const std::string& archivePath, const std::string& destination) {
    if (!OpenDestination(destination))
        return Fail(kArchiverWriteFailed, "cannot write into " + destination);
    bound_ = ByteBound();
    ArchiveReader reader(format_, archivePath);
    if (!reader.Opened()) return Fail(kArchiverNotArchive, reader.ErrorText());
    if (const int result = ReadEntries(reader); result != 0) return result;
    return MoveIntoPlace();
}

int Extraction::ReadEntries(ArchiveReader& reader) {
    uint32_t entries = 0;
    for (;;) {
        const ArchiveReader::Step step = reader.Next();
        if (step == ArchiveReader::Step::End) return 0;
        if (step == ArchiveReader::Step::Failed)
            return Fail(kArchiverNotArchive, reader.ErrorText());
        if (++entries > limits_.maxEntries) return Fail(kArchiverTooLarge, "too many entries");
        const std::string path = reader.Path();
        const detail::EntryVerdict verdict = detail::JudgeEntry(reader.Entry(), path);
        if (verdict.kind == EntryKind::Unsafe)
            return Fail(kArchiverUnsafeEntry, "refused: " + path);
        if (verdict.kind == EntryKind::Folder) {
            if (archive_read_data_skip(reader.Handle()) != ARCHIVE_OK)
                return Fail(kArchiverNotArchive, reader.ErrorText());
            continue;
        }
        if (const int result = WriteEntry(reader, verdict.name); result != 0) return result;
    }
}

int Extraction::WriteEntry(ArchiveReader& reader, const std::string& name) {
    archive_entry* entry = reader.Entry();
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0 &&
        static_cast<uint64_t>(archive_entry_size(entry)) > bound_ - written_)
        return Fail(kArchiverTooLarge, "too large: " + name);
    // A later entry of the same name replaces the earlier one, as it would on the disk.
    Fd file(::openat(staging_.Get(), name.c_str(),
                     O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.Get() < 0) return Fail(kArchiverWriteFailed, "cannot create " + name);
    if (known_.insert(name).second) names_.push_back(name);

    const uint64_t readBefore = reader.BytesRead();
    int64_t position = 0;
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int result = archive_read_data_block(reader.Handle(), &block, &size, &offset);
        if (result == ARCHIVE_EOF) break;
        // Both formats deliver their data in order; a gap would be a damaged archive.
        if (result != ARCHIVE_OK || offset != position)
            return Fail(kArchiverNotArchive, reader.ErrorText());
        if (size > bound_ - written_) return Fail(kArchiverTooLarge, "too large: " + name);
        if (!WriteAll(file.Get(), static_cast<const char*>(block), size))
            return Fail(kArchiverWriteFailed, "cannot write " + name);
        written_ += size;
        position += static_cast<int64_t>(size);
        const uint64_t readNow = reader.BytesRead();
        const uint64_t compressed =
            (readNow > readBefore ? readNow - readBefore : 0) + ArchiveReader::kBlockSize;
        if (Inflated(static_cast<uint64_t>(position), compressed))
            return Fail(kArchiverTooLarge, "inflates beyond any database: " + name);
    }
    if (!file.Close()) return Fail(kArchiverWriteFailed, "cannot write " + name);
    return 0;
}

int Extraction::MoveIntoPlace() {
    std::vector<std::string> moved;
    for (const std::string& name : names_) {
        if (::renameat(staging_.Get(), name.c_str(), destination_.Get(), name.c_str()) != 0) {
            for (const std::string& done : moved) ::unlinkat(destination_.Get(), done.c_str(), 0);
            return Fail(kArchiverWriteFailed, "cannot place " + name);
        }
        moved.push_back(name);
        report_ += name + "\n";
    }
    names_.clear();
    return 0;
}

void Extraction::RemoveStaging() {
    if (stagingName_.empty()) return;
    for (const std::string& name : names_) ::unlinkat(staging_.Get(), name.c_str(), 0);
    staging_.Reset();
    ::unlinkat(destination_.Get(), stagingName_.c_str(), AT_REMOVEDIR);
    stagingName_.clear();
}

int Extract(ArchiveFormat format, const char* word, const ExtractLimits& limits,
            const QString& commandLine, QString& output, int outputSize) {
    const std::optional<ArchiverCommand> command = ParseArchiverCommand(commandLine);
    int result = kArchiverBadCommand;
    std::string report = "bad command line\n";
    if (command && command->word == QLatin1String(word)) {
        Extraction extraction(format, limits);
        result = extraction.Run(NativePath(command->archive), NativePath(command->destination));
        report = extraction.Report();
    }
    output = QString::fromStdString(report).left(std::max(outputSize, 0));
    return result;
}

} // namespace

std::optional<ArchiverCommand> ParseArchiverCommand(const QString& commandLine) {
    QString text = commandLine;
    while (text.endsWith(QChar(0))) text.chop(1);
    const qsizetype open = text.indexOf(QLatin1Char('"'));
    const qsizetype split = text.lastIndexOf(QLatin1String("\" \""));
    if (open < 0 || split <= open || !text.endsWith(QLatin1Char('"')) || text.size() < split + 4)
        return std::nullopt;
    ArchiverCommand command;
    command.word = text.left(open).trimmed();
    command.archive = text.mid(open + 1, split - open - 1);
    command.destination = text.mid(split + 3, text.size() - split - 4);
    if (command.archive.isEmpty() || command.destination.isEmpty()) return std::nullopt;
    return command;
}

int LibArchiver::UnlhaGetVersion() {
    return VersionOf(ArchiveFormat::Lzh);
}

int LibArchiver::UnlhaCheckArchive(const QString& path, int) {
    long files = 0;
    return ScanHeaders(ArchiveFormat::Lzh, path, limits_.maxEntries, files) ? 1 : 0;
}

int LibArchiver::Unlha(intptr_t, const QString& commandLine, QString& output, int outputSize) {
    return Extract(ArchiveFormat::Lzh, "e", limits_, commandLine, output, outputSize);
}

long LibArchiver::UnlhaGetFileCount(const QString& path) {
    long files = 0;
    return ScanHeaders(ArchiveFormat::Lzh, path, limits_.maxEntries, files) ? files : -1;
}

int LibArchiver::UnZipGetVersion() {
    return VersionOf(ArchiveFormat::Zip);
}

int LibArchiver::UnZipCheckArchive(const QString& path, int) {
    long files = 0;
    return ScanHeaders(ArchiveFormat::Zip, path, limits_.maxEntries, files) ? 1 : 0;
}

int LibArchiver::UnZip(intptr_t, const QString& commandLine, QString& output, int outputSize) {
    return Extract(ArchiveFormat::Zip, "-xs", limits_, commandLine, output, outputSize);
}

long LibArchiver::UnZipGetFileCount(const QString& path) {
    long files = 0;
    return ScanHeaders(ArchiveFormat::Zip, path, limits_.maxEntries, files) ? files : -1;
}

} // namespace platform
