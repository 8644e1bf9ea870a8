// Shared helpers of the engine tests: a temporary folder per test and a small table builder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace enginetest {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "engine-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

inline engine::Workspace& Ws() {
    return engine::DBEngine::Instance().Workspaces(0);
}

// Sets an environment variable for the scope of the guard.
class EnvGuard {
  public:
    EnvGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// Runs fn and returns the engine error number it throws (0 when it throws none).
template <class F> long ErrorOf(F&& fn) {
    try {
        fn();
    } catch (const engine::Error& e) {
        return e.Number();
    }
    return 0;
}

// Appends a field to a table definition and returns it.
inline engine::FieldPtr AddField(const engine::TableDefPtr& td, const std::string& name, int type,
                                 long size = 0) {
    auto f = td->CreateField(name, type, size);
    td->Fields().Append(f);
    return f;
}

// Appends an index over the named fields ("-" before a name marks it descending).
inline engine::IndexPtr AddIndex(const engine::TableDefPtr& td, const std::string& name,
                                 std::initializer_list<std::string> fields, bool primary = false,
                                 bool unique = false) {
    auto ix = td->CreateIndex(name);
    ix->SetPrimary(primary);
    ix->SetUnique(unique);
    for (const auto& f : fields) {
        bool desc = !f.empty() && f[0] == '-';
        auto m = ix->CreateField(desc ? f.substr(1) : f);
        if (desc) m->SetAttributes(engine::dao::dbDescending);
        ix->Fields().Append(m);
    }
    td->Indexes().Append(ix);
    return ix;
}

} // namespace enginetest
