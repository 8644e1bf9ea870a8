#include "engine/testing/jet_files.h"

#include "jet/write_access.h"
#include "jet4check/checker.h"

namespace engine {

JetFileCheck CheckJet4FileForTests(const std::string& path) {
    const auto report = detail::jet4check::CheckJet4File(path);
    return {report.Ok(), report.Text()};
}

HeldJetFile::HeldJetFile(const std::string& path)
    : lock_(std::make_unique<detail::jet::JetFileLock>(path)) {}

HeldJetFile::~HeldJetFile() = default;

} // namespace engine
