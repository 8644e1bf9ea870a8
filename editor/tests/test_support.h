// Shared helpers of the designer's tests.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <filesystem>
#include <ostream>
#include <string>

#include "engine/variant.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace engine {
// Readable Variants in failure messages.
inline void PrintTo(const Variant& v, std::ostream* os) {
    *os << "Variant(type " << static_cast<int>(v.Type()) << ", "
        << (v.IsNull() ? "Null" : TextOf(v)) << ")";
}
} // namespace engine

namespace tavorintest {

namespace fs = std::filesystem;

// A temporary folder for one test.
class TempDir {
  public:
    TempDir() : dir_(QDir::tempPath() + QStringLiteral("/tavorin-test-XXXXXX")) {}
    std::string Path() const { return dir_.path().toStdString(); }
    std::string File(const std::string& name) const { return Path() + "/" + name; }

  private:
    QTemporaryDir dir_;
};

inline void WriteFile(const std::string& path, const std::string& text = "x") {
    fs::create_directories(fs::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

} // namespace tavorintest
