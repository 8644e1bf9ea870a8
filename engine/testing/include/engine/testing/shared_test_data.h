// The shared test data (genuine Jet files, archives) lives beside the repository, in
// ../shared/testdata (TESTDATA_DIR); a clone of the repository alone has none. A test that needs
// it starts with SKIP_WITHOUT_SHARED_TEST_DATA(): without the data it is skipped with one line
// saying where the data was looked for.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace shareddata {

inline std::string Folder() {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::weakly_canonical(TESTDATA_DIR, ec);
    return ec ? std::string(TESTDATA_DIR) : folder.string();
}

inline bool Present() {
    std::error_code ec;
    return std::filesystem::is_directory(std::string(TESTDATA_DIR) + "/jet", ec);
}

inline std::string MissingLine() {
    return "shared test data not found: expected at " + Folder() +
           " (../shared/testdata beside the repository)";
}

} // namespace shareddata

#define SKIP_WITHOUT_SHARED_TEST_DATA()                                                            \
    do {                                                                                           \
        if (!shareddata::Present()) GTEST_SKIP() << shareddata::MissingLine();                     \
    } while (0)
