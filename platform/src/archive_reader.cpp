#include "archive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <vector>

namespace platform::detail {

namespace {

locale_t Utf8Locale() {
    static const locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
            if (locale_t made = newlocale(LC_CTYPE_MASK, name, locale_t{})) return made;
        return locale_t{};
    }();
    return locale;
}

// The parts of a stored path; both separators count, as Windows archivers write either.
std::vector<std::string> PathParts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

bool IsAbsolute(const std::string& path) {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    // A drive letter ("C:x" is relative to the drive's folder, but still not ours).
    const unsigned char first = static_cast<unsigned char>(path[0]);
    return path.size() >= 2 && path[1] == ':' &&
           ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'));
}

} // namespace

Utf8LocaleScope::Utf8LocaleScope() {
    if (locale_t utf8 = Utf8Locale()) previous_ = uselocale(utf8);
}

Utf8LocaleScope::~Utf8LocaleScope() {
    if (previous_) uselocale(previous_);
}

ArchiveReader::ArchiveReader(ArchiveFormat format, const std::string& path) {
    archive_ = archive_read_new();
    if (!archive_) return;
    const int supported = format == ArchiveFormat::Lzh ? archive_read_support_format_lha(archive_)
                                                       : archive_read_support_format_zip(archive_);
    if (supported != ARCHIVE_OK) return;
    // Names without a character set of their own (LZH, ZIP without the UTF-8 flag) are
    // Shift_JIS; a ZIP entry flagged UTF-8 keeps its own.
    if (archive_read_set_options(archive_, "hdrcharset=CP932") != ARCHIVE_OK) return;
    opened_ = archive_read_open_filename(archive_, path.c_str(), kBlockSize) == ARCHIVE_OK;
}

ArchiveReader::~ArchiveReader() {
    if (archive_) archive_read_free(archive_);
}

ArchiveReader::Step ArchiveReader::Next() {
    if (!opened_) return Step::Failed;
    const int result = archive_read_next_header(archive_, &entry_);
    if (result == ARCHIVE_EOF) return Step::End;
    return result == ARCHIVE_OK ? Step::Entry : Step::Failed;
}

uint64_t ArchiveReader::BytesRead() const {
    const la_int64_t bytes = archive_ ? archive_filter_bytes(archive_, -1) : 0;
    return bytes > 0 ? static_cast<uint64_t>(bytes) : 0;
}

std::string ArchiveReader::Path() const {
    if (!entry_) return {};
    if (const char* utf8 = archive_entry_pathname_utf8(entry_)) return utf8;
    const char* stored = archive_entry_pathname(entry_);
    return stored ? std::string(stored) : std::string();
}

std::string ArchiveReader::ErrorText() const {
    const char* text = archive_ ? archive_error_string(archive_) : nullptr;
    return text ? std::string(text) : std::string("unreadable archive");
}

EntryVerdict JudgeEntry(archive_entry* entry, const std::string& path) {
    if (path.empty() || IsAbsolute(path)) return {EntryKind::Unsafe, {}};
    if (archive_entry_hardlink(entry) || archive_entry_symlink(entry))
        return {EntryKind::Unsafe, {}};
    const std::vector<std::string> parts = PathParts(path);
    for (const std::string& part : parts)
        if (part == "..") return {EntryKind::Unsafe, {}};

    const mode_t type = archive_entry_filetype(entry);
    if (type == AE_IFDIR) return {EntryKind::Folder, {}};
    if (type != AE_IFREG) return {EntryKind::Unsafe, {}};
    // A file lands directly in the destination under the last part of its path.
    const std::string& name = parts.back();
    if (name.empty() || name == ".") return {EntryKind::Unsafe, {}};
    return {EntryKind::File, name};
}

} // namespace platform::detail
