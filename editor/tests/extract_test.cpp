// ExtractArchive: the archiver calls it makes for each kind of archive, its refusals, and how
// damaged copies of the test archives end.
#include <gtest/gtest.h>

#include <QDir>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "modules/FuncUtility.h"
#include "platform/archiver.h"
#include "platform/scripted.h"
#include "platform/scripted_archiver.h"
#include "test_support.h"

namespace {

using namespace tavorintest;
using tavorin::ExtractArchive;

QStringList CallNames(const platform::ScriptedArchiver& archiver) {
    QStringList names;
    for (const auto& call : archiver.Calls()) names << call.function;
    return names;
}

class ExtractArchiveTest : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_TRUE(prompts.Unexpected().isEmpty())
            << prompts.Unexpected().join("\n").toStdString();
        EXPECT_EQ(prompts.Pending(), 0);
    }

    TempDir dir;
    platform::ScriptedPrompts prompts;
    platform::ScriptedArchiver archiver;
    platform::Services services{{.prompts = &prompts, .archiver = &archiver}};
    int32_t count = -7;
    int16_t mark = -7;
};

TEST_F(ExtractArchiveTest, EachKindCallsItsLibraryWithItsCommandLine) {
    archiver.fileCount = 3;
    struct Case {
        std::string archive;
        QStringList calls;
        QString word;
    };
    const std::vector<Case> cases = {
        {"/data/a.lzh",
         {"UnlhaGetVersion", "UnlhaCheckArchive", "Unlha", "UnlhaGetFileCount"},
         "e "},
        {"/data/B.LZH",
         {"UnlhaGetVersion", "UnlhaCheckArchive", "Unlha", "UnlhaGetFileCount"},
         "e "},
        {"/data/a.zip",
         {"UnZipGetVersion", "UnZipCheckArchive", "UnZip", "UnZipGetFileCount"},
         "-xs "},
        {"/da ta/C.Zip",
         {"UnZipGetVersion", "UnZipCheckArchive", "UnZip", "UnZipGetFileCount"},
         "-xs "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        const size_t before = archiver.Calls().size();
        ExtractArchive(services, c.archive, "/work/MeltDir/", count, mark);
        EXPECT_EQ(mark, 0);
        EXPECT_EQ(count, 3);
        const std::vector<platform::ScriptedArchiver::Call> calls(
            archiver.Calls().begin() + static_cast<long>(before), archiver.Calls().end());
        ASSERT_EQ(calls.size(), 4u);
        QStringList names;
        for (const auto& call : calls) names << call.function;
        EXPECT_EQ(names, c.calls);
        const QString path = QString::fromStdString(c.archive);
        EXPECT_EQ(calls[1].argument, path);
        EXPECT_EQ(calls[2].argument, c.word + "\"" + path + "\" \"/work/MeltDir/\"");
        EXPECT_EQ(calls[3].argument, path);
    }
}

TEST_F(ExtractArchiveTest, OtherKindsAreRefusedBeforeAnyLibraryIsCalled) {
    for (const std::string name : {"/data/a.arc", "/data/a.lzh.bak", "/data/a.mdb", "zp"}) {
        SCOPED_TRACE(name);
        ExtractArchive(services, name, "/work/MeltDir/", count, mark);
        EXPECT_EQ(mark, 9);
    }
    EXPECT_TRUE(archiver.Calls().empty());
}

TEST_F(ExtractArchiveTest, EachFailingStepEndsTheExtractionWithTheErrorMark) {
    // A missing library says so.
    archiver.missing = true;
    prompts.Expect("該当するDLLがありません。");
    ExtractArchive(services, "/data/a.lzh", "/w/", count, mark);
    EXPECT_EQ(mark, 9);
    EXPECT_EQ(CallNames(archiver), QStringList{"UnlhaGetVersion"});

    // Not an archive: nothing is extracted.
    archiver = platform::ScriptedArchiver{};
    archiver.checkResult = 0;
    ExtractArchive(services, "/data/a.zip", "/w/", count, mark);
    EXPECT_EQ(mark, 9);
    EXPECT_EQ(CallNames(archiver), (QStringList{"UnZipGetVersion", "UnZipCheckArchive"}));

    // A failed extraction is a failure too; the count is not asked for.
    archiver = platform::ScriptedArchiver{};
    archiver.runResult = platform::kArchiverNotArchive;
    count = -7;
    ExtractArchive(services, "/data/a.zip", "/w/", count, mark);
    EXPECT_EQ(mark, 9);
    EXPECT_EQ(count, -7);
    EXPECT_EQ(CallNames(archiver), (QStringList{"UnZipGetVersion", "UnZipCheckArchive", "UnZip"}));
}

// ---- Damaged archives, with the real archiver
// ----------------------------------------------------

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Truncated copies and copies with bytes flipped, from the front (headers) to the end (the ZIP
// central directory), made the same way on every run.
std::vector<std::pair<std::string, std::string>> DamagedCopies(const fs::path& archive) {
    const std::string bytes = ReadAll(archive);
    std::vector<std::pair<std::string, std::string>> copies;
    std::mt19937 random(static_cast<unsigned>(bytes.size()));
    const size_t n = bytes.size();
    for (size_t cut : {size_t{1}, size_t{10}, size_t{22}, size_t{40}, n / 8, n / 3, n / 2, n - 60,
                       n - 22, n - 1})
        if (cut < n) copies.push_back({"cut at " + std::to_string(cut), bytes.substr(0, cut)});
    for (int i = 0; i < 14; ++i) {
        std::string flipped = bytes;
        // Half of the flips hit the first and last 100 bytes, where the headers are.
        const size_t at =
            i % 2 == 0 ? random() % std::min<size_t>(n, 100)
                       : (i % 4 == 1 ? random() % n : n - 1 - random() % std::min<size_t>(n, 100));
        flipped[at] = static_cast<char>(flipped[at] ^ static_cast<char>(1 + random() % 255));
        copies.push_back({"byte " + std::to_string(at) + " flipped", flipped});
    }
    return copies;
}

TEST_F(ExtractArchiveTest, DamagedCopiesOfTheTestArchivesEndCleanlyOrInTheError) {
    const fs::path archives = fs::path(TESTDATA_DIR) / "archives";
    if (!fs::is_directory(archives)) GTEST_SKIP() << "no test archives at " << archives;
    platform::LibArchiver real;
    platform::Services withReal({.prompts = &prompts, .archiver = &real});
    const fs::path absolute = "/tmp/evil-abs.txt";
    std::error_code ec;
    const bool absoluteExisted = fs::exists(absolute, ec);

    std::vector<fs::path> sources;
    for (const auto& entry : fs::directory_iterator(archives))
        if (entry.path().extension() == ".zip" || entry.path().extension() == ".lzh")
            sources.push_back(entry.path());
    std::sort(sources.begin(), sources.end());
    int copies = 0, extracted = 0, refused = 0;
    for (const fs::path& source : sources) {
        for (const auto& [damage, bytes] : DamagedCopies(source)) {
            SCOPED_TRACE(source.filename().string() + ", " + damage);
            const fs::path root = fs::path(dir.Path()) / ("copy" + std::to_string(copies++));
            const fs::path dest = root / "MeltDir";
            fs::create_directories(dest);
            const fs::path copy = fs::path(dir.Path()) / ("damaged" + source.extension().string());
            WriteFile(copy.string(), bytes);

            ExtractArchive(withReal, copy.string(), dest.string() + "/", count, mark);
            ASSERT_TRUE(mark == 0 || mark == 9);
            // Nothing beside the destination, and in it files only: no folder, no link, no
            // staging folder left behind; after the error, nothing at all.
            std::set<std::string> beside;
            for (const auto& e : fs::directory_iterator(root))
                beside.insert(e.path().filename().string());
            EXPECT_EQ(beside, std::set<std::string>{"MeltDir"});
            int files = 0;
            for (const auto& e : fs::directory_iterator(dest)) {
                EXPECT_EQ(e.symlink_status().type(), fs::file_type::regular) << e.path();
                ++files;
            }
            if (mark == 9) {
                EXPECT_EQ(files, 0);
                ++refused;
            } else {
                ++extracted;
            }
            fs::remove_all(root);
        }
    }
    EXPECT_GE(copies, 200);
    // Most damage is found; a flipped byte may also land where no check looks (a time stamp,
    // an attribute), and such a copy extracts.
    EXPECT_GT(refused, copies / 2);
    EXPECT_EQ(fs::exists(absolute, ec), absoluteExisted);
    std::cout << copies << " damaged copies: " << extracted << " extracted, " << refused
              << " refused\n";
}

} // namespace
