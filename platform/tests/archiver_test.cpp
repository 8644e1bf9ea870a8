// The archiver on libarchive: what each test archive extracts to, Shift_JIS and UTF-8 names,
// and the refusals (unsafe entries, bombs, too many entries, damaged or foreign files).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/archiver.h"
#include "platform/testing/archive_builder.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::LibArchiver;

const fs::path kTestData = TESTDATA_DIR;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every path under folder, relative to it, folders marked with a trailing "/".
std::set<std::string> Tree(const fs::path& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        std::string name = fs::relative(e.path(), folder).string();
        if (e.symlink_status().type() == fs::file_type::directory) name += "/";
        out.insert(name);
    }
    return out;
}

class ArchiverTest : public ::testing::Test {
  protected:
    // An extraction folder inside a root that holds nothing else, so that anything written
    // beside the destination shows in Tree(root).
    void SetUp() override {
        root = fs::path(dir.path().toStdString()) / "root";
        dest = root / "MeltDir";
        fs::create_directories(dest);
    }

    static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

    static QString CommandLine(const char* word, const fs::path& archivePath,
                               const fs::path& destination) {
        return QString::fromLatin1(word) + QStringLiteral(" \"") + Q(archivePath) +
               QStringLiteral("\" \"") + Q(destination) + QStringLiteral("/\"");
    }

    int Extract(const fs::path& archivePath) {
        QString output;
        const bool lzh = archivePath.extension() == ".lzh";
        return lzh ? archiver.Unlha(0, CommandLine("e", archivePath, dest), output, 30000)
                   : archiver.UnZip(0, CommandLine("-xs", archivePath, dest), output, 30000);
    }

    fs::path Made(const std::string& name) const {
        return fs::path(dir.path().toStdString()) / name;
    }

    void ExpectNothingWritten() { EXPECT_EQ(Tree(root), std::set<std::string>{"MeltDir/"}); }

    QTemporaryDir dir;
    fs::path root, dest;
    LibArchiver archiver;
};

struct Expected {
    const char* archive;
    std::map<std::string, std::string> files; // name -> jet file it copies, or "size N"
};

TEST_F(ArchiverTest, EachTestArchiveExtractsEveryFileDirectlyIntoTheDestination) {
    const fs::path archives = kTestData / "archives";
    if (!fs::is_directory(archives)) GTEST_SKIP() << "no test archives at " << archives;
    const std::vector<Expected> cases = {
        {"shop-lh5-h2.lzh",
         {{"TESTV1997.MDB", "testV1997.mdb"},
          {"index.mdb", "indexTestV1997.mdb"},
          {"README.TXT", "size 13"}}},
        {"shop-lh6-h1.lzh", {{"TESTV1997.MDB", "testV1997.mdb"}, {"README.TXT", "size 13"}}},
        {"shop-lh0-h0.lzh", {{"index.mdb", "indexTestV1997.mdb"}, {"README.TXT", "size 13"}}},
        {"withdir.lzh", {{"TESTV1997.MDB", "testV1997.mdb"}, {"NOTE.TXT", "size 13"}}},
        {"kanji-lh0.lzh", {{"顧客台帳.MDB", "testV1997.mdb"}, {"説明.TXT", "size 12"}}},
        {"shop.zip",
         {{"TESTV1997.MDB", "testV1997.mdb"},
          {"index.mdb", "indexTestV1997.mdb"},
          {"README.TXT", "size 13"}}},
        {"withdir.zip", {{"TESTV1997.MDB", "testV1997.mdb"}, {"NOTE.TXT", "size 13"}}},
        {"kanji-cp932.zip", {{"顧客台帳.MDB", "testV1997.mdb"}, {"説明.TXT", "size 12"}}},
        {"kanji-utf8.zip", {{"顧客台帳.MDB", "testV1997.mdb"}, {"説明.TXT", "size 12"}}},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.archive);
        fs::remove_all(dest);
        fs::create_directories(dest);
        const fs::path path = archives / c.archive;
        const bool lzh = path.extension() == ".lzh";
        EXPECT_NE(lzh ? archiver.UnlhaCheckArchive(Q(path), 0)
                      : archiver.UnZipCheckArchive(Q(path), 0),
                  0);
        // Each library takes only its own kind.
        EXPECT_EQ(lzh ? archiver.UnZipCheckArchive(Q(path), 0)
                      : archiver.UnlhaCheckArchive(Q(path), 0),
                  0);
        EXPECT_EQ(lzh ? archiver.UnlhaGetFileCount(Q(path)) : archiver.UnZipGetFileCount(Q(path)),
                  static_cast<long>(c.files.size()));

        ASSERT_EQ(Extract(path), 0);
        std::set<std::string> names;
        for (const auto& [name, source] : c.files) names.insert("MeltDir/" + name);
        EXPECT_EQ(Tree(root), [&] {
            std::set<std::string> all = names;
            all.insert("MeltDir/");
            return all;
        }());
        for (const auto& [name, source] : c.files) {
            const std::string got = ReadAll(dest / name);
            if (source.rfind("size ", 0) == 0)
                EXPECT_EQ(std::to_string(got.size()), source.substr(5)) << name;
            else
                EXPECT_TRUE(got == ReadAll(kTestData / "jet" / source))
                    << name << " differs from " << source;
        }
    }
}

TEST_F(ArchiverTest, AnArchiveWithEntriesOutsideTheDestinationIsRefusedAndWritesNothing) {
    const fs::path evil = kTestData / "archives" / "evil.zip";
    if (!fs::exists(evil)) GTEST_SKIP() << "no test archives at " << evil.parent_path();
    const fs::path absolute = "/tmp/evil-abs.txt";
    std::error_code ec;
    const bool existed = fs::exists(absolute, ec);
    const auto stamp = existed ? fs::last_write_time(absolute, ec) : fs::file_time_type{};

    EXPECT_NE(archiver.UnZipCheckArchive(Q(evil), 0), 0); // its headers are sound
    EXPECT_EQ(Extract(evil), platform::kArchiverUnsafeEntry);
    ExpectNothingWritten();
    EXPECT_EQ(fs::exists(absolute, ec), existed);
    if (existed) {
        EXPECT_EQ(fs::last_write_time(absolute, ec), stamp);
    }
}

TEST_F(ArchiverTest, UnsafeNamesAndLinksAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* what;
        std::vector<archivetest::LzhItem> lzh;
        std::vector<archivetest::ZipItem> zip;
    };
    const std::vector<Case> cases = {
        {"parent folder, LZH", {{"ok.mdb", "x"}, {"..\\up.txt", "x"}}, {}},
        {"absolute path, LZH", {{"ok.mdb", "x"}, {"/tmp/abs.txt", "x"}}, {}},
        {"drive letter, LZH", {{"C:\\abs.txt", "x"}}, {}},
        {"parent inside a path, ZIP", {}, {{"ok.mdb", "x"}, {"sub/../../up.txt", "x"}}},
        {"symbolic link, ZIP", {}, {{"ok.mdb", "x"}, {"link", "", "/etc/passwd"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool lzh = !c.lzh.empty();
        const fs::path path = Made(lzh ? "unsafe.lzh" : "unsafe.zip");
        ASSERT_TRUE(lzh ? archivetest::WriteBytes(path, archivetest::LzhBytes(c.lzh))
                        : archivetest::WriteZip(path, c.zip));
        EXPECT_EQ(Extract(path), platform::kArchiverUnsafeEntry);
        ExpectNothingWritten();
    }
}

TEST_F(ArchiverTest, ShiftJisNamesWithABackslashByteAndFolderPartsOfLzhEntries) {
    // "表" is 0x95 0x5C in Shift_JIS: its second byte is a backslash, which must not split it.
    const fs::path path = Made("names.lzh");
    ASSERT_TRUE(archivetest::WriteBytes(
        path,
        archivetest::LzhBytes({{"\x95\x5C.MDB", "table"}, {"dir\\\x83\x81\x83\x82.TXT", "memo"}})));
    EXPECT_EQ(archiver.UnlhaGetFileCount(Q(path)), 2);
    ASSERT_EQ(Extract(path), 0);
    EXPECT_EQ(Tree(root),
              (std::set<std::string>{"MeltDir/", "MeltDir/表.MDB", "MeltDir/メモ.TXT"}));
    EXPECT_EQ(ReadAll(dest / "表.MDB"), "table");
    EXPECT_EQ(ReadAll(dest / "メモ.TXT"), "memo");
}

TEST_F(ArchiverTest, ABombStopsAtTheByteBoundAndLeavesNothing) {
    archiver.SetLimits({8u << 20, 100, 0});
    // 64 MiB of zeros in a ZIP of about 64 KiB, with its size declared in the headers.
    const fs::path declared = Made("bomb.zip");
    ASSERT_TRUE(archivetest::WriteZip(declared, {{"bomb.mdb", "head"}}, uint64_t{64} << 20));
    EXPECT_LT(fs::file_size(declared), 1u << 20);
    EXPECT_EQ(Extract(declared), platform::kArchiverTooLarge);
    ExpectNothingWritten();

    // Without sizes in the local headers and with the central directory cut off, the entry's
    // size is unknown until its end: only the count of the bytes written can stop it.
    const fs::path streamed = Made("streamed.zip");
    ASSERT_TRUE(archivetest::WriteZip(streamed, {{"bomb.mdb", "head"}}, uint64_t{64} << 20, false));
    std::string bytes = ReadAll(streamed);
    const size_t directory = bytes.rfind(std::string("PK\x01\x02", 4));
    ASSERT_NE(directory, std::string::npos);
    bytes.resize(directory);
    ASSERT_TRUE(archivetest::WriteBytes(streamed, bytes));
    EXPECT_EQ(Extract(streamed), platform::kArchiverTooLarge);
    ExpectNothingWritten();

    // Within the bound the same kind of file extracts (when no ratio rule stops its zeros).
    archiver.SetLimits({128u << 20, 100, 0, 0});
    EXPECT_EQ(Extract(declared), 0);
    EXPECT_EQ(fs::file_size(dest / "bomb.mdb"), (uint64_t{64} << 20) + 4);
}

// An entry that inflates as no database does is refused as soon as it passes the floor, long
// before the byte bound; below the floor nothing is refused for its ratio.
TEST_F(ArchiverTest, AnEntryInflatingBeyondAnyDatabaseIsRefusedOnceItPassesTheFloor) {
    platform::ExtractLimits limits; // the program's bounds: 4 GiB, ratio 100
    limits.ratioFloor = 1u << 20;
    archiver.SetLimits(limits);
    auto unzip = [&](const fs::path& path, QString& output) {
        return archiver.UnZip(0, CommandLine("-xs", path, dest), output, 30000);
    };

    // 32 MiB of zeros deflated to about 32 KiB, the size declared or left open.
    for (const bool declared : {true, false}) {
        SCOPED_TRACE(declared ? "size declared" : "size left open");
        const fs::path bomb = Made(declared ? "bomb.zip" : "open.zip");
        ASSERT_TRUE(
            archivetest::WriteZip(bomb, {{"bomb.mdb", "head"}}, uint64_t{32} << 20, declared));
        QString output;
        EXPECT_EQ(unzip(bomb, output), platform::kArchiverTooLarge);
        EXPECT_TRUE(output.startsWith("inflates beyond any database: bomb.mdb"))
            << output.toStdString();
        ExpectNothingWritten();
    }

    // Below the floor the same zeros extract.
    const fs::path small = Made("small.zip");
    ASSERT_TRUE(archivetest::WriteZip(small, {{"small.mdb", "head"}}, 512u << 10));
    QString output;
    EXPECT_EQ(unzip(small, output), 0) << output.toStdString();
    EXPECT_EQ(fs::file_size(dest / "small.mdb"), (512u << 10) + 4);
}

TEST_F(ArchiverTest, RealDatabasesOutOfRealArchiversPassTheRatioWithoutAFloor) {
    const fs::path archives = kTestData / "archives";
    if (!fs::is_directory(archives)) GTEST_SKIP() << "no test archives at " << archives;
    platform::ExtractLimits limits;
    limits.ratioFloor = 0;
    archiver.SetLimits(limits);
    for (const char* name :
         {"shop-lh5-h2.lzh", "shop-lh6-h1.lzh", "withdir.lzh", "shop.zip", "kanji-cp932.zip"}) {
        SCOPED_TRACE(name);
        fs::remove_all(dest);
        fs::create_directories(dest);
        EXPECT_EQ(Extract(archives / name), 0);
    }
}

TEST_F(ArchiverTest, MoreEntriesThanTheBoundAreRefused) {
    std::vector<archivetest::ZipItem> items;
    for (int i = 0; i < 30; ++i) items.push_back({"f" + std::to_string(i) + ".txt", "x"});
    const fs::path path = Made("many.zip");
    ASSERT_TRUE(archivetest::WriteZip(path, items));
    archiver.SetLimits({1u << 20, 10, 0});
    EXPECT_EQ(archiver.UnZipCheckArchive(Q(path), 0), 0);
    EXPECT_EQ(archiver.UnZipGetFileCount(Q(path)), -1);
    EXPECT_EQ(Extract(path), platform::kArchiverTooLarge);
    ExpectNothingWritten();
    archiver.SetLimits({1u << 20, 30, 0});
    EXPECT_EQ(archiver.UnZipGetFileCount(Q(path)), 30);
    EXPECT_EQ(Extract(path), 0);
    EXPECT_EQ(Tree(dest).size(), 30u);
}

TEST_F(ArchiverTest, FilesThatAreNoArchiveOfTheKindAreNotValid) {
    const fs::path text = Made("note.lzh");
    ASSERT_TRUE(archivetest::WriteBytes(text, "this is not an archive\r\n"));
    const fs::path missing = Made("missing.zip");
    for (const fs::path& p : {text, missing}) {
        SCOPED_TRACE(p.filename().string());
        EXPECT_EQ(archiver.UnlhaCheckArchive(Q(p), 0), 0);
        EXPECT_EQ(archiver.UnZipCheckArchive(Q(p), 0), 0);
        EXPECT_EQ(archiver.UnlhaGetFileCount(Q(p)), -1);
        EXPECT_EQ(archiver.UnZipGetFileCount(Q(p)), -1);
        EXPECT_EQ(Extract(p), platform::kArchiverNotArchive);
        ExpectNothingWritten();
    }
}

TEST_F(ArchiverTest, CommandLines) {
    // An archive in a folder whose name holds a double quote and a blank.
    const fs::path odd = Made("a \"b\" c");
    fs::create_directories(odd);
    const fs::path path = odd / "one.zip";
    ASSERT_TRUE(archivetest::WriteZip(path, {{"ONE.MDB", "1"}}));
    QString output;
    EXPECT_EQ(archiver.UnZip(0, CommandLine("-xs", path, dest), output, 30000), 0);
    EXPECT_EQ(output, "ONE.MDB\n");
    EXPECT_EQ(ReadAll(dest / "ONE.MDB"), "1");
    fs::remove(dest / "ONE.MDB");

    // The output is cut to the size given.
    EXPECT_EQ(archiver.UnZip(0, CommandLine("-xs", path, dest), output, 3), 0);
    EXPECT_EQ(output, "ONE");
    fs::remove(dest / "ONE.MDB");

    // Each library knows its own command word only; a line of another shape does nothing.
    EXPECT_EQ(archiver.UnZip(0, CommandLine("e", path, dest), output, 30000),
              platform::kArchiverBadCommand);
    EXPECT_EQ(archiver.Unlha(0, CommandLine("-xs", path, dest), output, 30000),
              platform::kArchiverBadCommand);
    EXPECT_EQ(archiver.UnZip(0, QStringLiteral("-xs ") + Q(path), output, 30000),
              platform::kArchiverBadCommand);
    ExpectNothingWritten();
    // A destination that is not there.
    EXPECT_EQ(archiver.UnZip(0, CommandLine("-xs", path, root / "gone"), output, 30000),
              platform::kArchiverWriteFailed);
    ExpectNothingWritten();

    const auto parsed =
        platform::ParseArchiverCommand(QStringLiteral("e \"/x/a\"b.lzh\" \"/w/MeltDir/\""));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->word, "e");
    EXPECT_EQ(parsed->archive, "/x/a\"b.lzh");
    EXPECT_EQ(parsed->destination, "/w/MeltDir/");
}

TEST_F(ArchiverTest, BothLibrariesArePresent) {
    EXPECT_GT(archiver.UnlhaGetVersion(), 0);
    EXPECT_GT(archiver.UnZipGetVersion(), 0);
}

} // namespace
