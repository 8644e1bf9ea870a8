// Helpers of the Jet reader tests: the test files, byte patches of copies, the mdbtools
// programs as references, environment settings and checks for leftover processes and files.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/testing/test_support.h"

namespace jettest {

namespace fs = std::filesystem;
using enginetest::EnvGuard;

inline const char* const kJetFiles[] = {"compIndexTestV1997.mdb",       "emptyJet4.mdb",
                                        "fixedTextTestV2000.mdb",       "indexTestV1997.mdb",
                                        "indexTestV2000.mdb",           "test2V1997.mdb",
                                        "testIndexPropertiesV2000.mdb", "testV1997.mdb"};

inline std::string JetFile(const std::string& name) {
    return std::string(TESTDATA_DIR) + "/jet/" + name;
}

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class Dir>
std::string WriteFile(const Dir& dir, const std::string& name, const std::string& bytes) {
    std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

template <class Dir>
std::string WriteScript(const Dir& dir, const std::string& name, const std::string& body) {
    std::string path = WriteFile(dir, name, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

// Bytes as lower-case hexadecimal digits.
inline std::string Hex(const std::string& b) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : b) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

inline size_t ReplaceAll(std::string& bytes, const std::string& from, const std::string& to) {
    size_t count = 0;
    for (size_t at = bytes.find(from); at != std::string::npos;
         at = bytes.find(from, at + to.size())) {
        bytes.replace(at, from.size(), to);
        ++count;
    }
    return count;
}

inline void PutI64(std::string& b, size_t at, int64_t v) {
    for (int i = 0; i < 8; ++i)
        b[at + i] = static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
}
inline void PutF64(std::string& b, size_t at, double d) {
    int64_t v;
    std::memcpy(&v, &d, sizeof v);
    PutI64(b, at, v);
}
inline double ReadF64(const std::string& b, size_t at) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t(static_cast<unsigned char>(b[at + i])) << (8 * i);
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

// The code page of a Jet 3 header sits at 0x3C inside the part of page 0 that is masked with
// a fixed RC4 key stream; the masked bytes change by what the plain bytes change by.
inline void SetJet3HeaderCodePage(std::string& image, int codePage) {
    const int old = 1252; // all the Jet 3 test files say 1252
    image[0x3C] = static_cast<char>(image[0x3C] ^ ((old ^ codePage) & 0xFF));
    image[0x3D] = static_cast<char>(image[0x3D] ^ (((old ^ codePage) >> 8) & 0xFF));
}

struct PipeCloser {
    void operator()(FILE* f) const { pclose(f); }
};

inline std::string Run(const std::string& command) {
    std::unique_ptr<FILE, PipeCloser> p(popen(command.c_str(), "r"));
    std::string out;
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p.get())) > 0) out.append(buf, n);
    return out;
}

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// mdb-tables -1: one table name a line.
inline std::vector<std::string> MdbTables(const std::string& file) {
    std::vector<std::string> names;
    std::string out = Run("mdb-tables -1 " + ShellQuote(file));
    size_t start = 0;
    for (size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1)
        if (nl > start) names.push_back(out.substr(start, nl - start));
    return names;
}

// mdb-export's CSV of a table (header row first), with ISO dates and hexadecimal binaries.
// Text fields keep their quotes so that "" (empty text) differs from a Null (nothing).
inline std::vector<std::vector<std::string>> MdbExport(const std::string& file,
                                                       const std::string& table) {
    std::string csv = Run("mdb-export -b hex -T '%Y-%m-%d %H:%M:%S' " + ShellQuote(file) + " " +
                          ShellQuote(table));
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, inQuotes = false;
    for (size_t i = 0; i < csv.size(); ++i) {
        char c = csv[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
                field += "\"\"";
                ++i;
            } else if (c == '"') {
                inQuotes = false;
                field += c;
            } else {
                field += c;
            }
        } else if (c == '"') {
            inQuotes = quoted = true;
            field += c;
        } else if (c == ',' || c == '\n') {
            row.push_back(field);
            field.clear();
            quoted = false;
            if (c == '\n') {
                rows.push_back(std::move(row));
                row.clear();
            }
        } else {
            field += c;
        }
    }
    (void)quoted;
    // The header names are not quoted by mdb-export; field values are compared as printed.
    return rows;
}

// Processes whose parent is this process.
inline std::vector<pid_t> ChildProcesses() {
    std::vector<pid_t> children;
    const pid_t self = ::getpid();
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc) return children;
    while (dirent* e = ::readdir(proc.get())) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (*end != '\0' || pid <= 0) continue;
        std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
        std::string stat;
        if (!std::getline(in, stat)) continue;
        size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long ppid = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 && ppid == self)
            children.push_back(static_cast<pid_t>(pid));
    }
    return children;
}

// True once the process no longer runs (gone, or a zombie about to be reaped by init).
inline bool ProcessGone(pid_t pid) {
    for (int i = 0; i < 100; ++i) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string stat;
        if (!std::getline(in, stat)) return true;
        size_t close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z')
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

inline size_t OpenDescriptors() {
    size_t n = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return n;
}

// Files of the copy folder that are not finished copies (partial outputs, journals).
inline std::vector<std::string> LeftoverFiles(const std::string& folder) {
    std::vector<std::string> left;
    std::error_code ec;
    if (folder.empty()) return left;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() < 3 || name.substr(name.size() - 3) != ".db") left.push_back(name);
    }
    return left;
}

inline size_t CopiesIn(const std::string& folder) {
    size_t n = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) ++n;
    return n;
}

// Runs this test program again with only the helper test selected; returns the copy folder it
// reports. With kill, the helper is killed (SIGKILL) once it has reported.
inline std::string RunHelper(bool kill) {
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return std::string();
    self[n] = '\0';
    int fds[2];
    if (::pipe(fds) != 0) return std::string();
    pid_t pid = ::fork();
    if (pid < 0) { // no child: nothing to kill (kill(-1, ...) would kill every process)
        ::close(fds[0]);
        ::close(fds[1]);
        return std::string();
    }
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        ::setenv("JET_READER_HELPER", kill ? "wait" : "exit", 1);
        ::execl(self, self, "--gtest_filter=JetReaderHelper.*", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out, folder;
    char buf[512];
    ssize_t got;
    while (folder.empty() && (got = ::read(fds[0], buf, sizeof buf)) > 0) {
        out.append(buf, static_cast<size_t>(got));
        size_t at = out.find("FOLDER=");
        size_t nl = at == std::string::npos ? at : out.find('\n', at);
        if (nl != std::string::npos) folder = out.substr(at + 7, nl - at - 7);
    }
    if (kill) ::kill(pid, SIGKILL);
    while ((got = ::read(fds[0], buf, sizeof buf)) > 0) {
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return folder;
}

} // namespace jettest
