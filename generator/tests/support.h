// Shared helpers of the generator tests: temporary folders, databases built through the
// engine, file contents and code page 932 conversion done independently of the code under test.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/testing/test_support.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace vespentest {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "vespen-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }
    // The names of the entries of the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    fs::path path_;
};

struct FieldDef {
    FieldDef(std::string name_, int type_, long size_ = 0, std::string description_ = {},
             bool autoNumber_ = false, bool allowZeroLength_ = false)
        : name(std::move(name_)), type(type_), size(size_), description(std::move(description_)),
          autoNumber(autoNumber_), allowZeroLength(allowZeroLength_) {}
    std::string name;
    int type;
    long size;
    std::string description; // none when empty
    bool autoNumber;
    bool allowZeroLength;
};

using enginetest::Ws;

inline void AddTable(engine::Database& db, const std::string& name,
                     const std::vector<FieldDef>& fields) {
    engine::TableDefPtr td = db.CreateTableDef(name);
    for (const FieldDef& def : fields) {
        engine::FieldPtr f = td->CreateField(def.name, def.type, def.size);
        if (def.autoNumber) f->SetAttributes(engine::dao::dbAutoIncrField);
        if (def.allowZeroLength) f->SetAllowZeroLength(true);
        td->Fields().Append(f);
    }
    db.TableDefs().Append(td);
    for (const FieldDef& def : fields)
        if (!def.description.empty()) {
            engine::FieldPtr f = td->Fields().Item(def.name);
            f->Properties().Append(f->CreateProperty("Description", engine::dao::dbText,
                                                     engine::Variant(def.description)));
        }
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Converts with glibc's iconv; throws when the text does not convert.
inline std::string Iconv(const std::string& text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* o = out.data();
    size_t outLeft = out.size();
    size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) throw std::runtime_error("iconv failed");
    out.resize(out.size() - outLeft);
    return out;
}

inline std::string ToCp932(const std::string& utf8) {
    return Iconv(utf8, "CP932", "UTF-8");
}
inline std::string FromCp932(const std::string& bytes) {
    return Iconv(bytes, "UTF-8", "CP932");
}

// Lines of a text joined with CR LF after each one, as the module file holds them.
inline std::string WithCrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// Splits a text at "\n" (a final "\n" ends the last line rather than starting a new one).
inline std::vector<std::string> SplitLines(const std::string& text,
                                           const std::string& separator = "\n") {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + separator.size();
    }
    return lines;
}

} // namespace vespentest

#include <QProcess>
#include <QStringList>

namespace vespentest {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built vespen program with the arguments and waits for it.
inline ProcessResult RunVespen(const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    QProcess process;
    process.start(QStringLiteral(VESPEN_EXE), list);
    ProcessResult result;
    if (!process.waitForFinished(60000)) return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

} // namespace vespentest
