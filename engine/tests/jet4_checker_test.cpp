// The checker of Jet 4 files: it passes on every genuine Jet 4 test file and on what the writer
// writes, and each kind of damage to a written file is reported.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/database.h"
#include "engine/jet4_writer.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "engine/testing/test_support.h"
#include "engine/workspace.h"
#include "jet4check/checker.h"

namespace {

using namespace enginetest;
namespace dao = engine::dao;
using engine::detail::jet4check::CheckJet4File;

constexpr size_t kPage = 4096;

uint32_t Get32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

TEST(Jet4Checker, PassesOnEveryGenuineJet4File) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    int checked = 0;
    for (const char* name : jettest::kJetFiles) {
        std::string path = jettest::JetFile(name);
        if (jettest::ReadWhole(path).substr(0x14, 1) != std::string(1, '\x01')) continue;
        auto r = CheckJet4File(path);
        EXPECT_TRUE(r.Ok()) << name << "\n" << r.Text();
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

// A written file with one table of 600 records (ids 0, 3, 6, ...): an index of several pages
// and long values.
std::string WrittenSample(const TempDir& dir) {
    std::string native = dir.File("native.mdb");
    auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
    auto td = db->CreateTableDef("T");
    AddField(td, "id", dao::dbLong);
    AddField(td, "name", dao::dbText, 50);
    AddField(td, "memo", dao::dbMemo);
    db->TableDefs().Append(td);
    AddIndex(db->TableDefs().Item("T"), "pk", {"id"}, true);
    AddIndex(db->TableDefs().Item("T"), "byName", {"name"});
    Ws().BeginTrans();
    auto rs = db->OpenRecordset("T", engine::RecordsetType::Dynaset);
    for (int i = 0; i < 600; ++i) {
        rs->AddNew();
        rs->SetValue("id", engine::Variant::Long(i * 3));
        rs->SetValue("name", engine::Variant("名前" + std::to_string(i * 31 % 600)));
        if (i % 3)
            rs->SetValue("memo",
                         engine::Variant(std::string(static_cast<size_t>(i % 3) * 3000, 'm')));
        rs->Update();
    }
    rs->Close();
    Ws().CommitTrans();
    std::string written = dir.File("written.mdb");
    engine::WriteJet4(*db, written);
    db->Close();
    return written;
}

// The first page of the given type whose owner field names the user table's definition.
size_t FindPage(const std::string& image, uint8_t type, uint32_t tdef) {
    for (size_t n = 2; n * kPage < image.size(); ++n)
        if (static_cast<uint8_t>(image[n * kPage]) == type && Get32(image, n * kPage + 4) == tdef)
            return n;
    return 0;
}

size_t UserTdef(const std::string& image) {
    for (size_t n = 6; n * kPage < image.size(); ++n)
        if (image[n * kPage] == 0x02 && image[n * kPage + 40] == 0x4E) return n;
    return 0;
}

TEST(Jet4Checker, PassesOnAWrittenFileAndReportsEachKindOfDamage) {
    TempDir dir;
    std::string written = WrittenSample(dir);
    auto clean = CheckJet4File(written);
    ASSERT_TRUE(clean.Ok()) << clean.Text();
    const std::string image = jettest::ReadWhole(written);
    size_t tdef = UserTdef(image);
    ASSERT_GT(tdef, 0u);
    size_t data = FindPage(image, 0x01, static_cast<uint32_t>(tdef));
    size_t leaf = FindPage(image, 0x04, static_cast<uint32_t>(tdef));
    size_t node = FindPage(image, 0x03, static_cast<uint32_t>(tdef));
    ASSERT_GT(data, 0u);
    ASSERT_GT(leaf, 0u);
    ASSERT_GT(node, 0u) << "600 records should give an index of two levels";
    // The first leaf is the primary key's: entries of 9 bytes, 7F and the id turned big-endian,
    // then the record's page (3 bytes) and row; the second is record 1 (id 3) on the first data
    // page.
    const size_t second = leaf * kPage + 480 + 9;
    ASSERT_EQ(image.substr(second, 9),
              std::string("\x7F\x80\x00\x00\x03\x00\x00", 7) + static_cast<char>(data) + '\x01');
    const size_t record1 = data * kPage + (Get32(image, data * kPage + 16) & 0x1FFF);

    struct Damage {
        const char* what;
        std::function<void(std::string&)> apply;
        const char* expected;
        bool leak = false; // lost space no reader sees: a warning, not a problem
    };
    const Damage cases[] = {
        {"row count one more", [&](std::string& b) { b[tdef * kPage + 16]++; },
         "records, the pages hold"},
        {"a leaf entry's key out of order", [&](std::string& b) { b[leaf * kPage + 481] ^= 0x01; },
         "out of order"},
        // id 3 to 4: still in order, but no record has that key.
        {"a leaf key changed by one byte", [&](std::string& b) { b[second + 4] = 0x04; },
         "differ from the keys of the records"},
        // Record 1's id 3 made 0, and its leaf entry with it: the index is in order and matches
        // the records, but the primary key holds 0 twice.
        {"a duplicate in a unique index",
         [&](std::string& b) {
             b.replace(record1 + 2, 4, std::string(4, '\0'));
             b[second + 4] = 0x00;
         },
         "have the same key"},
        {"a leaf's next link broken", [&](std::string& b) { b[leaf * kPage + 16] ^= 0x01; },
         "linked wrongly"},
        {"a node's tail page wrong", [&](std::string& b) { b[node * kPage + 20] ^= 0x01; },
         "tail page"},
        {"a data page's free space wrong", [&](std::string& b) { b[data * kPage + 2] ^= 0x01; },
         "free space"},
        {"a record's column count wrong",
         [&](std::string& b) {
             size_t row = data * kPage + (Get32(b, data * kPage + 14) & 0x1FFF);
             b[row] = 9;
         },
         "column count"},
        {"a page neither in use nor free", [&](std::string& b) { b.append(kPage, '\0'); },
         "neither in use nor marked free", true},
        {"the table's permissions removed",
         [&](std::string& b) {
             // MSysACEs' rows name the table's definition page: point them elsewhere.
             std::string id(4, '\0');
             for (int i = 0; i < 4; ++i)
                 id[static_cast<size_t>(i)] = static_cast<char>((tdef >> (8 * i)) & 0xFF);
             size_t aceData = FindPage(b, 0x01, 3);
             std::string page = b.substr(aceData * kPage, kPage);
             // A record begins with its column count (4), then ObjectId.
             ASSERT_EQ(jettest::ReplaceAll(page, std::string("\x04\x00", 2) + id,
                                           std::string("\x04\x00\x7F\x7F\x00\x00", 6)),
                       2u);
             b.replace(aceData * kPage, kPage, page);
         },
         "no permissions"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = image;
        c.apply(damaged);
        std::string path = dir.File("damaged.mdb");
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(damaged.data(), static_cast<std::streamsize>(damaged.size()));
        auto r = CheckJet4File(path);
        EXPECT_EQ(r.Ok(), c.leak) << r.Text();
        if (c.leak) {
            EXPECT_FALSE(r.warnings.empty()) << r.Text();
        }
        EXPECT_NE(r.Text().find(c.expected), std::string::npos) << r.Text();
    }
}

} // namespace
