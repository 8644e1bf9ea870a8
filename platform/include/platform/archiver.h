// Archiver: the calls of the LZH and ZIP archive libraries that the designer makes to extract
// databases out of archives: the version (whether the library is there), the archive check,
// the extraction driven by a command line, and the file count.
//
// The command line is the command word, then the archive path and the destination folder,
// each in double quotes and separated by one blank: `e "A.LZH" "/dest/"` for LZH,
// `-xs "A.ZIP" "/dest/"` for ZIP. Both commands put every file of the archive directly into
// the destination folder, whatever folder the archive stores it under; folder entries write
// nothing.
//
// Windows never call libarchive themselves: they call the Archiver of the run's Services
// (services.h), which is a LibArchiver in the program and a ScriptedArchiver
// (scripted_archiver.h) in tests.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

// Thrown by the version calls when the library cannot be called.
struct ArchiverMissing {};

// Results of Unlha and UnZip other than 0 (done).
enum ArchiverError : int {
    kArchiverBadCommand = 0x8001,  // a command line the library does not understand
    kArchiverNotArchive = 0x8002,  // not an archive of the library's kind, or damaged
    kArchiverUnsafeEntry = 0x8003, // an entry with "..", an absolute path, or a link
    kArchiverTooLarge = 0x8004,    // more bytes or entries than the bounds allow
    kArchiverWriteFailed = 0x8005, // the destination could not be written
};

class Archiver {
  public:
    virtual ~Archiver() = default;

    // The LZH library.
    virtual int UnlhaGetVersion() = 0;
    // Non-zero when path is an LZH archive whose headers read to their end (mode 0: headers
    // only).
    virtual int UnlhaCheckArchive(const QString& path, int mode) = 0;
    // Runs commandLine; 0 when it is done. output receives the library's report, at most
    // outputSize characters.
    virtual int Unlha(intptr_t ownerWindow, const QString& commandLine, QString& output,
                      int outputSize) = 0;
    // The number of files in the archive; -1 when it cannot be read.
    virtual long UnlhaGetFileCount(const QString& path) = 0;

    // The ZIP library, alike.
    virtual int UnZipGetVersion() = 0;
    virtual int UnZipCheckArchive(const QString& path, int mode) = 0;
    virtual int UnZip(intptr_t ownerWindow, const QString& commandLine, QString& output,
                      int outputSize) = 0;
    virtual long UnZipGetFileCount(const QString& path) = 0;
};

// The parts of an extraction command line. The destination is taken after the last `" "`,
// so an archive path may itself hold double quotes.
struct ArchiverCommand {
    QString word;
    QString archive;
    QString destination;
};
// nullopt for a command line of another shape.
std::optional<ArchiverCommand> ParseArchiverCommand(const QString& commandLine);

// What one extraction may write. The byte bound is also kept below the free space the
// destination's file system had at the start, less a reserve, so that an archive bomb stops
// with an error before the disk is full. An entry is also refused as soon as it has written
// more than ratioFloor bytes and more than maxRatio bytes per compressed byte read for it.
// Database files compress by 10 to 40 (Jet files under deflate, bzip2 or xz; a native file of
// a million identical records by 13 under deflate, though by 130 under xz, which ZIP archivers
// rarely use), while zeros inflate by 230 (deflate at its fastest) to 1000 (deflate at its
// best) or far more (bzip2, xz). Below the floor no file is refused for its ratio.
struct ExtractLimits {
    uint64_t maxTotalBytes = uint64_t{4} << 30; // 4 GiB: two databases of Jet's largest size
    uint32_t maxEntries = 10000;                // headers of every kind, folders included
    uint64_t freeSpaceReserve = uint64_t{64} << 20;
    uint32_t maxRatio = 100; // 0: no ratio rule
    uint64_t ratioFloor = uint64_t{64} << 20;
};

// The archiver on libarchive. An extraction writes into a hidden folder of its own inside the
// destination and moves the files into place only once the whole archive has been read, so a
// refused or damaged archive leaves nothing behind. Entry names are decoded as UTF-8 where a
// ZIP entry says so, else as Shift_JIS (code page 932), as the Japanese archivers write them.
class LibArchiver : public Archiver {
  public:
    LibArchiver() = default;
    explicit LibArchiver(const ExtractLimits& limits) : limits_(limits) {}
    void SetLimits(const ExtractLimits& limits) { limits_ = limits; }
    const ExtractLimits& Limits() const { return limits_; }

    int UnlhaGetVersion() override;
    int UnlhaCheckArchive(const QString& path, int mode) override;
    int Unlha(intptr_t ownerWindow, const QString& commandLine, QString& output,
              int outputSize) override;
    long UnlhaGetFileCount(const QString& path) override;
    int UnZipGetVersion() override;
    int UnZipCheckArchive(const QString& path, int mode) override;
    int UnZip(intptr_t ownerWindow, const QString& commandLine, QString& output,
              int outputSize) override;
    long UnZipGetFileCount(const QString& path) override;

  private:
    ExtractLimits limits_;
};

} // namespace platform
