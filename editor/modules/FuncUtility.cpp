#include "FuncUtility.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "engine/error.h"
#include "engine/text932.h"
#include "engine/variant.h"
#include "platform/prompts.h"

namespace tavorin {
namespace fs = std::filesystem;
namespace cp932 = engine::cp932;

int CharWeight(char32_t cp) {
    return cp932::CharBytes(cp) == 1 ? 1 : 2;
}

void IsAllDigits(std::string_view text, int16_t& error) {
    error = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            error = 9;
            return;
        }
    }
}

int32_t FirstWideCharPos(std::string_view text) {
    size_t pos = 0;
    int32_t index = 0;
    while (pos < text.size()) {
        ++index;
        if (CharWeight(cp932::NextCodePoint(text, pos)) == 2) return index;
    }
    return 0;
}

int32_t ByteLength(std::string_view text) {
    return static_cast<int32_t>(cp932::CutWeight(text));
}

size_t CutLength(std::string_view text, int n) {
    return cp932::CutLength(text, n);
}

std::string CutToBytes(std::string_view text, int n) {
    return std::string(text.substr(0, CutLength(text, n)));
}

namespace {

// Byte offsets of the characters of a UTF-8 text, with the end as the last element.
std::vector<size_t> CharOffsets(std::string_view text) {
    std::vector<size_t> offsets;
    size_t pos = 0;
    while (pos < text.size()) {
        offsets.push_back(pos);
        cp932::NextCodePoint(text, pos);
    }
    offsets.push_back(text.size());
    return offsets;
}

} // namespace

std::string FixWidth(const engine::Variant& value, std::string_view pattern) {
    const std::string formatted = engine::Format(value, pattern);
    const size_t width = CharOffsets(pattern).size() - 1;
    const std::vector<size_t> offsets = CharOffsets(formatted);
    const size_t length = offsets.size() - 1;
    if (length > width) return formatted.substr(offsets[length - width]);
    return std::string(width - length, ' ') + formatted;
}

void WrapText(std::string_view text, int16_t width, WrappedLines& lines, int16_t& lastLine) {
    for (std::string& line : lines) line.clear();
    lastLine = 0;
    int line = 0, bytes = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        const char32_t cp = cp932::NextCodePoint(text, pos);
        if (cp == U'\n') continue;
        if (cp == U'\r') {
            if (line == 10) break;
            ++line;
            bytes = 0;
            continue;
        }
        const int weight = CharWeight(cp);
        // A character wider than the whole width still goes on a line of its own.
        if (bytes + weight > width && !lines[line].empty()) {
            if (line == 10) break;
            ++line;
            bytes = 0;
        }
        lines[line].append(text.substr(start, pos - start));
        bytes += weight;
    }
    lastLine = static_cast<int16_t>(line);
}

std::string StripCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

std::string TrimBlanks(std::string_view text) {
    return engine::Trim(text);
}

namespace {

// Host error numbers of the file functions.
constexpr long kFileNotFound = 53;
constexpr long kPermissionDenied = 70;
constexpr long kPathFileAccess = 75;
constexpr long kPathNotFound = 76;

bool IsNotFound(const std::error_code& ec) {
    return ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
}

long HostNumberOf(const std::error_code& ec) {
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system)
        return kPermissionDenied;
    return kPathFileAccess;
}

std::string HostDescriptionOf(long number) {
    if (number == kPermissionDenied) return "書き込みできません。";
    return engine::DescriptionOf(number);
}

void ReportFileError(const std::error_code& ec, int16_t& errorMark) {
    const long number = HostNumberOf(ec);
    const std::string text = "Error-" +
                             engine::Str(engine::Variant::Long(static_cast<int32_t>(number))) +
                             "\r" + HostDescriptionOf(number);
    platform::MsgBox(QString::fromStdString(text));
    errorMark = 9;
}

// The first subfolder of folder as the listing gives it; links to folders do not count.
std::optional<fs::path> FirstSubfolder(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        if (it->symlink_status(statusError).type() == fs::file_type::directory) return it->path();
    }
    return std::nullopt;
}

} // namespace

void RemoveFolderFiles(const std::string& folder, int16_t& errorMark) {
    errorMark = 0;
    std::error_code ec;
    const fs::path root(folder);

    if (fs::symlink_status(root, ec).type() == fs::file_type::symlink) {
        if (!fs::remove(root, ec) && ec && !IsNotFound(ec)) ReportFileError(ec, errorMark);
        return;
    }

    // Step 1: the files (everything that is not a folder, links included).
    fs::directory_iterator it(root, ec);
    if (ec && !IsNotFound(ec)) {
        ReportFileError(ec, errorMark);
        return;
    }
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        if (it->symlink_status(statusError).type() == fs::file_type::directory) continue;
        std::error_code removeError;
        if (!fs::remove(it->path(), removeError) && removeError && !IsNotFound(removeError)) {
            ReportFileError(removeError, errorMark);
            return;
        }
    }
    if (ec && !IsNotFound(ec)) {
        ReportFileError(ec, errorMark);
        return;
    }

    // Step 2: the folder itself; rmdir, so that a file of that name is never taken for it.
    if (::rmdir(root.c_str()) != 0 && errno != ENOENT)
        ReportFileError(std::error_code(errno, std::generic_category()), errorMark);
}

void RemoveFolderTree(const std::string& folder, int16_t& errorMark) {
    errorMark = 0;
    const fs::path root(folder);
    for (;;) {
        fs::path deepest = root;
        while (std::optional<fs::path> sub = FirstSubfolder(deepest)) deepest = *sub;
        RemoveFolderFiles(deepest.string(), errorMark);
        if (errorMark >= 1) return;
        if (deepest == root) return;
    }
}

} // namespace tavorin
