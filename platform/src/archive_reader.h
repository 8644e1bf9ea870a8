// Reading an LZH or ZIP archive with libarchive: one format's reader only, entry names decoded
// to UTF-8, and the rules an entry must pass before anything of it is written.
#pragma once

#include <locale.h>

#include <cstddef>
#include <cstdint>
#include <string>

struct archive;
struct archive_entry;

namespace platform::detail {

enum class ArchiveFormat { Lzh, Zip };

// Switches this thread to a UTF-8 character set for its lifetime. libarchive converts entry
// names into the character set of the current locale, so under this scope it gives UTF-8
// whatever locale the program was started in.
class Utf8LocaleScope {
  public:
    Utf8LocaleScope();
    ~Utf8LocaleScope();
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

  private:
    locale_t previous_ = nullptr;
};

// An archive opened for reading. Every libarchive warning counts as a failure: a name that
// cannot be decoded, a bad checksum or a truncated header makes the archive unreadable here.
class ArchiveReader {
  public:
    ArchiveReader(ArchiveFormat format, const std::string& path);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    bool Opened() const { return opened_; }
    enum class Step { Entry, End, Failed };
    // Moves to the next entry's header.
    Step Next();
    // The current entry's path as stored, in UTF-8.
    std::string Path() const;
    archive_entry* Entry() const { return entry_; }
    archive* Handle() const { return archive_; }
    // The archive's bytes libarchive has taken so far. It reads ahead by up to kBlockSize, so
    // the compressed bytes of the current entry read so far are at most the growth of this
    // count since the entry's header, plus kBlockSize.
    uint64_t BytesRead() const;
    static constexpr size_t kBlockSize = 64 * 1024;
    // The reason libarchive gave for the last failure.
    std::string ErrorText() const;

  private:
    Utf8LocaleScope locale_; // outlives archive_, which caches the character set
    archive* archive_ = nullptr;
    archive_entry* entry_ = nullptr;
    bool opened_ = false;
};

// What an entry is, once its header has been read.
enum class EntryKind {
    File,   // a regular file: extracted under Name
    Folder, // writes nothing
    Unsafe, // "..", an absolute path, a link, a device: refused
};
struct EntryVerdict {
    EntryKind kind;
    std::string name; // the last part of the path, for a file
};
EntryVerdict JudgeEntry(archive_entry* entry, const std::string& path);

} // namespace platform::detail
