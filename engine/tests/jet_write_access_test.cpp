// Which genuine Jet files the engine refuses to change, and the .ldb lock it holds while it does.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/jet4_writer.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "engine/testing/test_support.h"
#include "engine/workspace.h"
#include "jet/jet_format.h"
#include "jet/write_access.h"

namespace {

using namespace enginetest;
namespace jet = engine::detail::jet;

// A small genuine Jet 4 file made by the engine's writer, so that the test needs no shared data.
std::string MadeJet4(const TempDir& dir) {
    std::string native = dir.File("source.tdb");
    auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "A", engine::dao::dbLong);
    db->TableDefs().Append(td);
    std::string target = dir.File("made.mdb");
    engine::WriteJet4(*db, target);
    db->Close();
    return target;
}

// Rewrites bytes of the masked header area in the clear: unmask, change, mask again.
void ChangeMaskedHeader(std::string& image, size_t at, const std::string& bytes) {
    const auto& mask = jet::HeaderMask();
    for (size_t i = 0; i < bytes.size(); ++i) {
        size_t m = at + i - 0x18;
        image[at + i] = static_cast<char>(bytes[i] ^ static_cast<char>(mask[m]));
    }
}

std::optional<long> RefusalOf(const std::string& path) {
    try {
        jet::CheckJetFileWritable(path);
        return std::nullopt;
    } catch (const engine::Error& e) {
        // Every refusal names the file or says what it is about.
        EXPECT_FALSE(e.Description().empty());
        return e.Number();
    }
}

TEST(JetWriteAccess, RefusesForeignVersionsEncodedAndPasswordFilesAndLeavesThemUnchanged) {
    TempDir dir;
    const std::string jet4 = jettest::ReadWhole(MadeJet4(dir));
    std::vector<std::pair<std::string, std::string>> bases = {{"jet4", jet4}};
    if (shareddata::Present())
        bases.push_back({"jet3", jettest::ReadWhole(jettest::JetFile("testV1997.mdb"))});
    else
        std::cout << shareddata::MissingLine() << " (Jet 3 cases skipped)\n";

    struct Case {
        const char* name;
        std::function<void(std::string&, bool jet4)> change;
        std::optional<long> refusal;
    };
    const Case cases[] = {
        {"as it is", [](std::string&, bool) {}, std::nullopt},
        {"ACE version", [](std::string& b, bool) { b[0x14] = 0x02; }, engine::err::kBadFormat},
        {"unknown version", [](std::string& b, bool) { b[0x14] = 0x7F; }, engine::err::kBadFormat},
        {"not Jet", [](std::string& b, bool) { b.replace(4, 15, "Standard XYZ DB"); },
         engine::err::kBadFormat},
        {"cut header", [](std::string& b, bool) { b.resize(0x40); }, engine::err::kBadFormat},
        {"encoded pages",
         [](std::string& b, bool) {
             ChangeMaskedHeader(b, 0x3E, std::string("\x01\x02\x03\x04", 4));
         },
         engine::err::kEncryptedFile},
        {"password",
         [](std::string& b, bool isJet4) {
             // The first character 'p', under the date mask as well in Jet 4.
             std::string clear(1, 'p');
             if (isJet4) {
                 const auto& mask = jet::HeaderMask();
                 auto cleared = [&](size_t at) {
                     return static_cast<char>(b[at] ^ static_cast<char>(mask[at - 0x18]));
                 };
                 // The password field of an empty password holds the date mask; keep it beside 'p'.
                 clear[0] = static_cast<char>(clear[0] ^ cleared(0x42));
             }
             ChangeMaskedHeader(b, 0x42, clear);
         },
         engine::err::kEncryptedFile},
    };
    for (const auto& [kind, image] : bases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(kind + ": " + c.name);
            std::string bytes = image;
            c.change(bytes, kind == "jet4");
            std::string path = jettest::WriteFile(dir, kind + ".mdb", bytes);
            EXPECT_EQ(RefusalOf(path), c.refusal);
            EXPECT_EQ(jettest::ReadWhole(path), bytes);
            EXPECT_FALSE(std::filesystem::exists(jet::LockFilePath(path)));
        }
    }
}

TEST(JetWriteAccess, RefusesAReadOnlyFile) {
    TempDir dir;
    std::string path = MadeJet4(dir);
    std::string before = jettest::ReadWhole(path);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(RefusalOf(path), engine::err::kReadOnly);
    EXPECT_EQ(jettest::ReadWhole(path), before);
}

TEST(JetWriteAccess, LockFileShowsTheUserAndRefusesASecondWriterUntilReleased) {
    TempDir dir;
    std::string path = MadeJet4(dir);
    std::string ldb = jet::LockFilePath(path);
    EXPECT_EQ(ldb, dir.File("made.ldb"));
    EXPECT_EQ(jet::LockFilePath("/a.b/file"), "/a.b/file.ldb");
    {
        jet::JetFileLock held(path);
        EXPECT_EQ(held.Slot(), 1);
        std::string entry = jettest::ReadWhole(ldb);
        ASSERT_GE(entry.size(), 64u);
        EXPECT_NE(entry[0], '\0');                                 // the computer's name
        EXPECT_EQ(entry.substr(32, 6), std::string("Admin\0", 6)); // the account
        // Another writer (another open of the .ldb, as another program has) sees the file held.
        EXPECT_TRUE(jet::LockFileInUse(ldb));
        EXPECT_EQ(RefusalOf(path), engine::err::kLocked);
        EXPECT_EQ(ErrorOf([&] { jet::JetFileLock second(path); }), engine::err::kLocked);
    }
    // The last user removes the .ldb.
    EXPECT_FALSE(std::filesystem::exists(ldb));
    EXPECT_EQ(RefusalOf(path), std::nullopt);

    // A .ldb left over by a program that ended holds nothing: the file may be changed, and the
    // left-over file goes with the next writer.
    jettest::WriteFile(dir, "made.ldb", std::string(64, 'x'));
    EXPECT_FALSE(jet::LockFileInUse(ldb));
    EXPECT_EQ(RefusalOf(path), std::nullopt);
    { jet::JetFileLock taken(path); }
    EXPECT_FALSE(std::filesystem::exists(ldb));
}

} // namespace
