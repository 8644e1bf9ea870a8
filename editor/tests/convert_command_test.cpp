// The convert command line: a database written anew as a genuine Jet 3 or Jet 4 file or as the
// program's own file, read back equal, and each way it can fail with its message, its status and no
// file.
#include <fstream>
#include <sstream>

#include "engine/field.h"
#include "engine/index.h"
#include "engine/recordset.h"
#include "engine/tabledef.h"
#include "engine/testing/shared_test_data.h"
#include "program_run.h"
#include "window_fixture.h"

using namespace tavorintest;

namespace {

bool StartsJetHeader(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[20] = {};
    in.read(head, sizeof head);
    return std::string(head + 4, 15) == "Standard Jet DB";
}

// Tables with their fields, indexes and every record, as text.
std::string Describe(const std::string& path) {
    auto db = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(path);
    std::ostringstream out;
    for (const std::string& name : db->TableDefs().Names()) {
        auto td = db->TableDefs().Item(name);
        out << "[" << name << "]";
        for (size_t i = 0; i < td->Fields().Count(); ++i) {
            const auto& f = td->Fields()[i];
            out << " " << f->Name() << ":" << f->Type() << ":" << f->Size();
        }
        for (size_t i = 0; i < td->Indexes().Count(); ++i) out << " #" << td->Indexes()[i]->Name();
        out << "\n";
        auto rs = db->OpenRecordset("SELECT * FROM [" + name + "] ORDER BY [" +
                                        td->Fields()[0]->Name() + "]",
                                    engine::RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            for (size_t i = 0; i < rs->FieldCount(); ++i) {
                const engine::Variant& v = rs->Value(i);
                out << (v.IsNull() ? std::string("<null>") : engine::TextOf(v)) << "|";
            }
            out << "\n";
        }
    }
    db->Close();
    return out.str();
}

class ConvertCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeTable(db, "顧客",
                  {{"コード", dao::dbLong},
                   {"氏名", dao::dbText, 20, 0, "お客様の名前"},
                   {"備考", dao::dbMemo}},
                  {{"PrimaryKey", true, true, {{"コード", false}}},
                   {"氏名順", false, false, {{"氏名", true}}}});
        auto file = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(db);
        auto rs = file->OpenRecordset("顧客");
        for (int i = 1; i <= 30; ++i) {
            rs->AddNew();
            rs->SetValue("コード", engine::Variant::Long(i));
            rs->SetValue("氏名", engine::Variant("山田" + std::to_string(i)));
            rs->SetValue("備考", i % 3 ? engine::Variant(std::string(i * 100, 'x'))
                                       : engine::Variant::Null());
            rs->Update();
        }
        file->Close();
    }
    ProgramRun Tavorin(const QStringList& arguments) { return RunTavorin(work.Path(), arguments); }
    static QString Q(const std::string& s) { return QString::fromStdString(s); }

    TempDir work, data;
    std::string db = data.File("shop.mdb");
};

TEST_F(ConvertCommandTest, ADatabaseWrittenAsJet3OrJet4OrNativeReadsBackEqual) {
    const std::string source = Describe(db);
    for (const char* format : {"jet3", "jet4"}) {
        SCOPED_TRACE(format);
        const std::string jet = data.File(std::string("shop-") + format + ".mdb"),
                          native = data.File(std::string("back-") + format + ".mdb");
        ProgramRun run = Tavorin({"--convert", Q(db), Q(jet), "--format", format});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("tavorin:")) << run.err.toStdString();
        EXPECT_TRUE(StartsJetHeader(jet));
        std::ifstream in(jet, std::ios::binary);
        in.seekg(0x14);
        EXPECT_EQ(in.get(), format == std::string("jet3") ? 0 : 1); // the version byte
        EXPECT_EQ(Describe(jet), source);

        // And back into the program's own file.
        run = Tavorin({"--convert", Q(jet), Q(native), "--format", "native"});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_FALSE(StartsJetHeader(native));
        EXPECT_EQ(Describe(native), source);
    }
}

TEST_F(ConvertCommandTest, GenuineJet3AndJet4FilesBecomeJet4Files) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    for (const char* name : {"test2V1997.mdb", "indexTestV2000.mdb"}) {
        SCOPED_TRACE(name);
        const std::string in = shareddata::Folder() + "/jet/" + name,
                          out = data.File(std::string("w-") + name);
        const ProgramRun run = Tavorin({"--convert", Q(in), Q(out), "--format", "jet4"});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(Describe(out), Describe(in));
    }
}

TEST_F(ConvertCommandTest, FailuresGiveAMessageAndAStatusAndLeaveNoFile) {
    const std::string taken = data.File("taken.mdb"), out = data.File("out.mdb");
    std::ofstream(taken) << "someone else's file";
    struct Case {
        QStringList arguments;
        int status;
        const char* message; // part of standard error
    };
    const Case cases[] = {
        {{"--convert", Q(data.File("none.mdb")), Q(out), "--format", "jet4"}, 1, "none.mdb"},
        {{"--convert", Q(db), Q(taken), "--format", "jet4"}, 1, "データベースは既に存在します。"},
        {{"--convert", Q(db), Q(db), "--format", "native"}, 1, "データベースは既に存在します。"},
        {{"--convert", Q(db), Q(out)}, 2, "--convert IN.mdb OUT.mdb --format jet3|jet4|native"},
        {{"--convert", Q(db), Q(out), "--format", "jet5"},
         2,
         "--convert IN.mdb OUT.mdb --format jet3|jet4|native"},
        {{"--convert", Q(db), "--format", "jet4"},
         2,
         "--convert IN.mdb OUT.mdb --format jet3|jet4|native"},
        {{"--format", "jet4", Q(out)}, 2, "--convert IN.mdb OUT.mdb --format jet3|jet4|native"},
    };
    const std::string before = Describe(db);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const ProgramRun run = Tavorin(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message))) << run.err.toStdString();
        EXPECT_FALSE(fs::exists(out));
    }
    std::ifstream kept(taken);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "someone else's file");
    EXPECT_EQ(Describe(db), before);
}

} // namespace
