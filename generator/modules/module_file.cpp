#include "module_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/text932.h"

namespace vespen {

namespace {

std::string FileNameOf(std::string_view path) {
    size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string DescribeCodePoint(char32_t cp) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
    std::string text;
    engine::cp932::AppendUtf8(text, cp);
    return "「" + text + "」（" + code + "）";
}

// The character at a 0-based character index of a UTF-8 text.
char32_t CharacterAt(std::string_view utf8, size_t index) {
    size_t pos = 0;
    char32_t cp = 0;
    for (size_t i = 0; i <= index && pos < utf8.size(); ++i)
        cp = engine::cp932::NextCodePoint(utf8, pos);
    return cp;
}

[[noreturn]] void ThrowUnencodable(const std::string& where, std::string_view text,
                                   size_t badChar) {
    throw SaveError("シフトJISで表せない文字" + DescribeCodePoint(CharacterAt(text, badChar)) +
                    "があるため、basを保存できません。\n" + where);
}

[[noreturn]] void ThrowWriteError(const std::string& path, int error) {
    throw SaveError(path + " に書き込めません。\n" + std::strerror(error));
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now and reports the result, which for a file just written can be a write error.
    int Close() {
        int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

// The temporary file until it has been renamed into place.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& Path() const { return path_; }
    void Release() { path_.clear(); }

  private:
    std::string path_;
};

mode_t NewFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string ProposedModuleFileName(std::string_view databasePath) {
    std::string name = FileNameOf(databasePath);
    return name.substr(0, name.find('.')) + ".bas";
}

std::string ModuleNameOf(std::string_view targetPath) {
    std::string name = FileNameOf(targetPath);
    return name.substr(0, name.find('.'));
}

std::string EncodeModule(const std::string& moduleName, const ModuleText& lines) {
    std::string bytes;
    size_t badChar = 0;
    std::string first = "Attribute VB_Name = \"" + moduleName + "\"";
    auto encoded = engine::cp932::FromUtf8(first, &badChar);
    if (!encoded) ThrowUnencodable("モジュール名：" + moduleName, first, badChar);
    bytes += *encoded + "\r\n";
    for (size_t i = 0; i < lines.size(); ++i) {
        const ModuleLine& line = lines[i];
        encoded = engine::cp932::FromUtf8(line.Text, &badChar);
        if (!encoded) {
            std::string where;
            if (!line.Table.empty()) where = "テーブル：" + line.Table;
            if (!line.Field.empty()) where += "\nフィールド：" + line.Field;
            if (where.empty()) where = std::to_string(i + 1) + "行目：" + line.Text;
            ThrowUnencodable(where, line.Text, badChar);
        }
        bytes += *encoded + "\r\n";
    }
    return bytes;
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
    // Beside the target, so that the rename stays on one file system.
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string pattern = folder + "." + FileNameOf(path) + ".XXXXXX";
    FileDescriptor fd(::mkstemp(pattern.data()));
    if (fd.Get() < 0) ThrowWriteError(path, errno);
    TemporaryFile temp(pattern);
    if (::fchmod(fd.Get(), NewFileMode()) != 0) ThrowWriteError(path, errno);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ThrowWriteError(path, errno);
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd.Get()) != 0) ThrowWriteError(path, errno);
    if (fd.Close() != 0) ThrowWriteError(path, errno);
    if (::rename(temp.Path().c_str(), path.c_str()) != 0) ThrowWriteError(path, errno);
    temp.Release();
}

void SaveModuleFile(const std::string& targetPath, const ModuleText& lines) {
    WriteFileReplacing(targetPath, EncodeModule(ModuleNameOf(targetPath), lines));
}

} // namespace vespen
