// Genuine Jet files turned into native databases: by the copy module, compared object by
// object and record by record with the engine's reading of the Jet file, and by the file menu's
// copy command, after which a layout of the copy is saved with its records carried.
#include <QLabel>
#include <QListWidget>
#include <filesystem>

#include "core/NativeCopy.h"
#include "engine/testing/fault_hook.h"
#include "engine/testing/shared_test_data.h"
#include "engine/testing/test_support.h"
#include "save_support.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using enginetest::Ws;
using platform::vbNo;
using platform::vbOK;

namespace {

const QString kConverted = "Jet "
                           "形式のファイルを、編集できる形式のデータベースに変換して保存しました。"
                           "以後はこのファイルで作業します。";

std::vector<std::string> JetFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(shareddata::Folder() + "/jet"))
        if (entry.path().extension() == ".mdb") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string PropertiesText(const engine::Properties& properties) {
    std::string text;
    for (const engine::PropertyPtr& p : properties)
        text +=
            p->Name() + ":" + std::to_string(p->Type()) + "=" + engine::TextOf(p->Value()) + ";";
    return text;
}

// Everything the engine tells of a database's tables, one line per object.
std::vector<std::string> Describe(engine::Database& db) {
    std::vector<std::string> lines;
    for (const std::string& name : db.TableDefs().Names()) {
        engine::TableDefPtr t = db.TableDefs().Item(name);
        lines.push_back("T " + name + " " + PropertiesText(t->Properties()));
        for (const engine::FieldPtr& f : t->Fields())
            lines.push_back("F " + f->Name() + " type " + std::to_string(f->Type()) + " size " +
                            std::to_string(f->Size()) + " attr " + std::to_string(f->Attributes()) +
                            " zero " + std::to_string(f->AllowZeroLength()) + " req " +
                            std::to_string(f->Required()) + " default " + f->DefaultValue() + " " +
                            PropertiesText(f->Properties()));
        for (const engine::IndexPtr& ix : t->Indexes()) {
            std::string line = "I " + ix->Name() + " primary " + std::to_string(ix->Primary()) +
                               " unique " + std::to_string(ix->Unique()) + " nulls " +
                               std::to_string(ix->IgnoreNulls()) + " req " +
                               std::to_string(ix->Required()) + ":";
            for (const engine::FieldPtr& m : ix->Fields())
                line += " " + m->Name() + "/" + std::to_string(m->Attributes());
            lines.push_back(line);
        }
    }
    return lines;
}

// Every record of every table in table order, each value with its type.
std::vector<std::string> Records(engine::Database& db) {
    std::vector<std::string> rows;
    for (const std::string& name : db.TableDefs().Names()) {
        engine::RecordsetPtr rs = db.OpenRecordset(name, engine::RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            std::string row = name + ":";
            for (size_t i = 0; i < rs->FieldCount(); ++i) {
                const engine::Variant& v = rs->Value(i);
                row += std::to_string(static_cast<int>(v.Type())) + "=" +
                       (v.IsNull() ? "<null>" : engine::TextOf(v)) + "|";
            }
            rows.push_back(row);
        }
    }
    return rows;
}

// What the copy's description must read: the source's, except that a replication ID (an auto
// GUID) becomes a plain GUID field, the one kind of auto field the native engine cannot keep.
std::vector<std::string> ExpectedInCopy(std::vector<std::string> lines) {
    for (std::string& line : lines) {
        const size_t at = line.find(" type 15 size 16 attr 17 ");
        if (at != std::string::npos) line.replace(at, 25, " type 15 size 16 attr 1 ");
    }
    return lines;
}

class NativeCopyTest : public ::testing::Test {
  protected:
    TempDir dir;
};

TEST_F(NativeCopyTest, EveryJetFileBecomesANativeFileWithTheSameTablesIndexesAndRecords) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    const auto files = JetFiles();
    ASSERT_FALSE(files.empty());
    for (const std::string& jet : files) {
        SCOPED_TRACE(jet);
        ASSERT_TRUE(IsJetFile(jet));
        const std::string copy = dir.File(fs::path(jet).stem().string() + ".MDB");
        long reported = 0;
        WriteNativeCopy(
            engine::DBEngine::Instance().Workspaces(0), jet, copy,
            [&](const std::string&, long records) { reported = std::max(reported, records); });
        ASSERT_FALSE(IsJetFile(copy));

        engine::DatabasePtr source = Ws().OpenDatabase(jet);
        engine::DatabasePtr native = Ws().OpenDatabase(copy);
        EXPECT_TRUE(source->ReadOnly());
        EXPECT_FALSE(native->ReadOnly());
        EXPECT_EQ(native->Connect(), source->Connect());
        EXPECT_EQ(Describe(*native), ExpectedInCopy(Describe(*source)));
        const auto sourceRecords = Records(*source);
        EXPECT_EQ(Records(*native), sourceRecords);
        if (!sourceRecords.empty()) {
            EXPECT_GT(reported, 0);
        }
        native->Close();
        source->Close();
    }
}

TEST_F(NativeCopyTest, AFailedCopyLeavesNoFile) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    const std::string jet = shareddata::Folder() + "/jet/compIndexTestV1997.mdb";
    const std::string copy = dir.File("broken.MDB");
    int inserts = 0;
    engine::SetWriteFaultHook([&](std::string_view sql) {
        return sql.find("INSERT") != std::string_view::npos && ++inserts > 100;
    });
    EXPECT_THROW(WriteNativeCopy(engine::DBEngine::Instance().Workspaces(0), jet, copy),
                 engine::Error);
    engine::SetWriteFaultHook({});
    EXPECT_GT(inserts, 100);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_FALSE(fs::exists(copy + "-journal"));
    EXPECT_EQ(Ws().TransactionLevel(), 0);
}

// ---- Through the window
// --------------------------------------------------------------------------

class JetCopyCommandTest : public WindowTest {};

TEST_F(JetCopyCommandTest, TheCopyCommandTurnsEveryJetFileIntoAnEditableCurrentFile) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    for (const std::string& jet : JetFiles()) {
        SCOPED_TRACE(jet);
        OpenFile(jet);
        ASSERT_EQ(app.CurrentFile.FullPath, jet);
        std::vector<std::string> listed;
        for (const auto& entry : W().TableList) listed.push_back(entry.Name);

        const std::string target = data.File(fs::path(jet).stem().string() + "_copy.mdb");
        dialogs.Answer(QString::fromStdString(target));
        prompts.Expect(kConverted);
        W().mnFileCpy->trigger();
        ASSERT_EQ(app.CurrentFile.FullPath, target);
        EXPECT_FALSE(IsJetFile(target));
        EXPECT_FALSE(
            fs::exists(app.Store.WorkFolder + "/" + fs::path(target).stem().string() + ".MDB"));
        std::vector<std::string> after;
        for (const auto& entry : W().TableList) after.push_back(entry.Name);
        EXPECT_EQ(after, listed);
        engine::DatabasePtr source = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(jet);
        engine::DatabasePtr native =
            engine::DBEngine::Instance().Workspaces(0).OpenDatabase(target);
        EXPECT_FALSE(native->ReadOnly());
        EXPECT_EQ(Describe(*native), ExpectedInCopy(Describe(*source)));
        EXPECT_EQ(Records(*native), Records(*source));
        native->Close();
        source->Close();
        W().mnFileFree->trigger();
    }
}

TEST_F(JetCopyCommandTest, ALayoutOfTheCopySavesWithAChangedFieldAndItsRecords) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    W().realSave = true;
    const std::string jet = shareddata::Folder() + "/jet/testV1997.mdb";
    OpenFile(jet);
    const std::string target = data.File("editable.mdb");
    dialogs.Answer(QString::fromStdString(target));
    prompts.Expect(kConverted);
    W().mnFileCpy->trigger();
    ASSERT_EQ(app.CurrentFile.FullPath, target);
    const auto before = savetest::Dump(target, "Table1");

    DoubleClickTable("Table1");
    savetest::Layout layout{app};
    const int row = layout.RowOf("B");
    ASSERT_GT(row, 0);
    layout.Set(row, "FLD02", engine::Variant("B_RENAMED"));
    layout.Set(row, "FLD04", engine::Variant::Integer(120));
    W().LayoutChanged = 9;
    prompts.Expect("テーブルを初期化しますか。", vbNo);
    prompts.Expect("データ変換が終了しました。更新しますか。", vbOK);
    W().mnTableSave[0]->trigger();
    ASSERT_EQ(W().Saving().SaveAbandoned, 0);

    const auto after = savetest::Dump(target, "Table1");
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after[0].find("B_RENAMED:10:120|"), std::string::npos) << after[0];
    for (size_t i = 1; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]);
    // The genuine file is untouched.
    EXPECT_TRUE(IsJetFile(jet));
}

} // namespace
