// What tests and benchmarks of other parts do to genuine Jet files through the engine's own
// pieces (target engine_test_support): check a file with the engine's checker, hold its lock
// file as another program would.
#pragma once

#include <memory>
#include <string>

namespace engine::detail::jet {
class JetFileLock;
}

namespace engine {

struct JetFileCheck {
    bool ok = false;  // no problem (warnings, such as leaked pages, do not count)
    std::string text; // every problem and warning, one per line
};

// The checker's findings on the Jet 4 file at path (a file of another version is a problem).
JetFileCheck CheckJet4FileForTests(const std::string& path);

// Holds the user lock of the file's .ldb for its lifetime, as another program using the file does.
class HeldJetFile {
  public:
    explicit HeldJetFile(const std::string& path);
    ~HeldJetFile();
    HeldJetFile(const HeldJetFile&) = delete;
    HeldJetFile& operator=(const HeldJetFile&) = delete;

  private:
    std::unique_ptr<detail::jet::JetFileLock> lock_;
};

} // namespace engine
