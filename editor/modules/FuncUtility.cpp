#include "FuncUtility.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "engine/error.h"
#include "platform/prompts.h"

namespace tavorin {
namespace fs = std::filesystem;

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

void ReportFileError(platform::Services& platform, const std::error_code& ec, int16_t& errorMark) {
    const long number = HostNumberOf(ec);
    const std::string text = "Error-" +
                             engine::Str(engine::Variant::Long(static_cast<int32_t>(number))) +
                             "\r" + HostDescriptionOf(number);
    platform.MsgBox(QString::fromStdString(text));
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

void RemoveFolderFiles(platform::Services& platform, const std::string& folder,
                       int16_t& errorMark) {
    errorMark = 0;
    std::error_code ec;
    const fs::path root(folder);

    if (fs::symlink_status(root, ec).type() == fs::file_type::symlink) {
        if (!fs::remove(root, ec) && ec && !IsNotFound(ec))
            ReportFileError(platform, ec, errorMark);
        return;
    }

    // Step 1: the files (everything that is not a folder, links included).
    fs::directory_iterator it(root, ec);
    if (ec && !IsNotFound(ec)) {
        ReportFileError(platform, ec, errorMark);
        return;
    }
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        if (it->symlink_status(statusError).type() == fs::file_type::directory) continue;
        std::error_code removeError;
        if (!fs::remove(it->path(), removeError) && removeError && !IsNotFound(removeError)) {
            ReportFileError(platform, removeError, errorMark);
            return;
        }
    }
    if (ec && !IsNotFound(ec)) {
        ReportFileError(platform, ec, errorMark);
        return;
    }

    // Step 2: the folder itself; rmdir, so that a file of that name is never taken for it.
    if (::rmdir(root.c_str()) != 0 && errno != ENOENT)
        ReportFileError(platform, std::error_code(errno, std::generic_category()), errorMark);
}

void RemoveFolderTree(platform::Services& platform, const std::string& folder, int16_t& errorMark) {
    errorMark = 0;
    const fs::path root(folder);
    for (;;) {
        fs::path deepest = root;
        while (std::optional<fs::path> sub = FirstSubfolder(deepest)) deepest = *sub;
        RemoveFolderFiles(platform, deepest.string(), errorMark);
        if (errorMark >= 1) return;
        if (deepest == root) return;
    }
}

} // namespace tavorin
