// The conversion check: what it reports for a changed layout is what the save then does (the
// values it cuts are the values saved, the record it says the save stops at is the record the
// save stops at, with the same message), and it leaves the file's bytes as they were.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "core/ConversionCheck.h"
#include "engine/testing/shared_test_data.h"
#include "forms/frmConvCheck.h"
#include "modules/FuncUtility.h"
#include "save_support.h"

using namespace tavorin;
using namespace savetest;
using tavorintest::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 40;

// The record inserted at position i (1-based) has ID (7 i) mod 41, so positions and keys differ.
int IdAt(int i) {
    return i * 7 % 41;
}

std::string NameAt(int i) {
    static const char* const names[] = {"東京都港区芝公園", "ｶﾅｶﾅｶﾅｶﾅｶﾅｶﾅ", "ab漢字cd", "short", "",
                                        "漢字とｶﾅとABC",    "abcdefg"};
    return names[i % 7];
}

// ITEMS: ID Long (primary key), NAME Text 20, CODE Text 10, PRICE Double, ADDR_01..03 Text 10,
// MEMO Text 30, NOTE Text 10.
void MakeItems(const std::string& path) {
    auto& ws = engine::DBEngine::Instance().Workspaces(0);
    auto db = ws.CreateDatabase(path, engine::kLangJapanese);
    auto td = db->CreateTableDef("ITEMS");
    auto add = [&](const std::string& name, int type, long size = 0) {
        auto f = td->CreateField(name, type, size);
        if (type == dao::dbText) f->SetAllowZeroLength(true);
        td->Fields().Append(f);
    };
    add("ID", dao::dbLong);
    add("NAME", dao::dbText, 20);
    add("CODE", dao::dbText, 10);
    add("PRICE", dao::dbDouble);
    for (int k = 1; k <= 3; ++k) add("ADDR_0" + std::to_string(k), dao::dbText, 10);
    add("MEMO", dao::dbText, 30);
    add("NOTE", dao::dbText, 10);
    auto pk = td->CreateIndex("PrimaryKey");
    pk->SetPrimary(true);
    pk->Fields().Append(pk->CreateField("ID"));
    td->Indexes().Append(pk);
    db->TableDefs().Append(td);
    ws.BeginTrans();
    auto rs = db->OpenRecordset("ITEMS");
    for (int i = 1; i <= kRecords; ++i) {
        rs->AddNew();
        rs->SetValue("ID", Variant::Long(IdAt(i)));
        rs->SetValue("NAME", i % 11 == 0 ? Variant::Null() : Variant(NameAt(i)));
        const std::string code = i == 7 || i == 23 ? "x12"
                                 : i == 11         ? ""
                                 : i == 17         ? " 42 "
                                                   : std::to_string(i * 3);
        rs->SetValue("CODE", i == 13 ? Variant::Null() : Variant(code));
        rs->SetValue("PRICE", Variant::Double(i == 5       ? -40000.0
                                              : i % 9 == 0 ? 40000.0 + i
                                                           : i * 10.25));
        for (int k = 1; k <= 3; ++k)
            rs->SetValue(
                "ADDR_0" + std::to_string(k),
                Variant(i % 3 == 0 ? "住所" + std::to_string(i) : "a" + std::to_string(k)));
        rs->SetValue("MEMO", Variant(i % 4 == 1 ? "メモ" + std::to_string(i * 1001)
                                                : "m" + std::to_string(i)));
        rs->SetValue("NOTE", Variant(i % 4 == 0 ? std::string("   ") : "n" + std::to_string(i)));
        rs->Update();
    }
    ws.CommitTrans();
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Keeps the first `keep` records of ITEMS in the order they were written.
void KeepFirst(const std::string& path, long keep) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "DELETE FROM ITEMS WHERE rowid NOT IN (SELECT rowid FROM ITEMS ORDER BY rowid LIMIT " +
        std::to_string(keep) + ")";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// A value as the report shows it.
std::string Shown(const Variant& v) {
    return v.IsNull() ? std::string("(Null)") : engine::TextOf(v);
}

bool Blank(const Variant& v) {
    return v.IsNull() || (v.IsString() && v.StringValue().empty());
}

// Every record of a table by its ID, field by field.
std::map<long, std::map<std::string, Variant>> Records(const std::string& path) {
    auto db = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT * FROM ITEMS", engine::RecordsetType::Snapshot);
    std::map<long, std::map<std::string, Variant>> records;
    for (; !rs->Eof(); rs->MoveNext())
        for (size_t i = 0; i < rs->FieldCount(); ++i)
            records[engine::CLng(rs->Value("ID"))][rs->FieldAt(i).name] = rs->Value(i);
    return records;
}

const FieldCheck& FieldOf(const ConversionReport& report, const std::string& name) {
    for (const FieldCheck& f : report.fields)
        if (f.name == name) return f;
    ADD_FAILURE() << "no field " << name;
    static FieldCheck none;
    return none;
}

long IdOf(const CheckExample& e) {
    EXPECT_EQ(e.record.rfind("ID=", 0), 0u) << e.record;
    return std::atol(e.record.c_str() + 3);
}

class ConversionCheckTest : public ::testing::Test {
  protected:
    void SetUp() override { app.Store.SetWorkBaseOverride(base.Path()); }
    void TearDown() override {
        if (window && !window->Ended()) {
            if (window->ConvCheckWindow()) window->ConvCheckWindow()->close();
            window->LayoutChanged = 0;
            window->mnEnd_Click();
        }
        window.reset();
    }
    frmTavorin& Start(const std::string& path) {
        if (window) window->LayoutChanged = 0;
        if (!window) {
            window = std::make_unique<frmTavorin>(app);
            EXPECT_TRUE(window->Form_Load());
            window->show();
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        window->OpenOnStart(path, "ITEMS");
        return *window;
    }
    // The layout edited as the table menu's command finds it after a change.
    void Edit(const std::function<void()>& edit) {
        edit();
        window->LayoutChanged = 9;
    }
    // Runs the check through the table menu's command and closes its window.
    ConversionReport Check() {
        window->UpdateConvCheckCommand();
        EXPECT_TRUE(window->mnConvCheck->isEnabled());
        window->mnConvCheck->trigger();
        frmConvCheck* shown = window->ConvCheckWindow();
        EXPECT_NE(shown, nullptr);
        if (!shown) return {};
        EXPECT_FALSE(shown->Running());
        ConversionReport report = shown->Report();
        shown->close();
        return report;
    }
    // Saves with the usual answers; returns the messages shown besides the questions.
    std::vector<std::string> Save() {
        prompts.shown.clear();
        prompts.answers[kInitQuestion] = platform::vbNo;
        prompts.answers[kAcceptQuestion] = platform::vbOK;
        window->SaveTable();
        std::vector<std::string> messages;
        for (const std::string& m : prompts.shown)
            if (m != kInitQuestion && m != kAcceptQuestion) messages.push_back(m);
        return messages;
    }

    // The check of edit on ITEMS against the save of the same edit: the file is unchanged by the
    // check; a save that goes through stores the reported cut and emptied values, and the counts
    // are the values the save changed that way in the watched field (old name -> new name); a
    // save that stops does so at the reported record with the reported message.
    ConversionReport ExpectCheckMatchesSave(const std::function<void()>& edit,
                                            const std::string& oldName,
                                            const std::string& newName) {
        const std::string pristine = data.File("pristine.mdb");
        MakeItems(pristine);
        fs::copy_file(pristine, db);
        const auto before = Records(db);
        Start(db);
        Edit(edit);
        const std::string bytes = Bytes(db);
        const ConversionReport report = Check();
        EXPECT_EQ(Bytes(db), bytes) << "the check changed the file";
        EXPECT_EQ(report.records, kRecords);
        EXPECT_FALSE(report.cancelled);

        const std::vector<std::string> messages = Save();
        if (report.stopPosition == 0) {
            EXPECT_EQ(window->Saving().SaveAbandoned, 0) << ::testing::PrintToString(messages);
            EXPECT_TRUE(messages.empty()) << ::testing::PrintToString(messages);
            const auto after = Records(db);
            for (const FieldCheck& f : report.fields) {
                for (const auto* list : {&f.cutExamples, &f.blankedExamples})
                    for (const CheckExample& e : *list) {
                        EXPECT_EQ(Shown(after.at(IdOf(e)).at(f.name)), e.newValue)
                            << f.name << " " << e.record;
                        if (f.name == newName) {
                            EXPECT_EQ(Shown(before.at(IdOf(e)).at(oldName)), e.oldValue)
                                << e.record;
                        }
                    }
            }
            long cut = 0, blanked = 0;
            for (const auto& [id, record] : before) {
                const Variant& was = record.at(oldName);
                const Variant& now = after.at(id).at(newName);
                if (Blank(was)) continue;
                if (Blank(now))
                    ++blanked;
                else if (engine::TextOf(now) != engine::TextOf(was))
                    ++cut;
            }
            EXPECT_EQ(FieldOf(report, newName).cut, cut);
            EXPECT_EQ(FieldOf(report, newName).blanked, blanked);
            EXPECT_EQ(static_cast<long>(FieldOf(report, newName).cutExamples.size()),
                      std::min(cut, 20L));
            EXPECT_EQ(report.TotalFailed(), 0);
        } else {
            EXPECT_EQ(window->Saving().SaveAbandoned, -1);
            EXPECT_FALSE(messages.empty());
            if (!messages.empty()) {
                EXPECT_EQ(messages[0], report.stopMessage);
            }
            EXPECT_EQ(Records(db).size(), before.size());
            // The records before the reported one save; with it, the save stops with its message.
            for (long keep : {report.stopPosition - 1, report.stopPosition}) {
                const std::string part = data.File("part" + std::to_string(keep) + ".mdb");
                fs::copy_file(pristine, part);
                KeepFirst(part, keep);
                Start(part);
                Edit(edit);
                const std::vector<std::string> shown = Save();
                if (keep < report.stopPosition) {
                    EXPECT_EQ(window->Saving().SaveAbandoned, 0)
                        << keep << ::testing::PrintToString(shown);
                } else {
                    EXPECT_EQ(window->Saving().SaveAbandoned, -1) << keep;
                    EXPECT_FALSE(shown.empty());
                    if (!shown.empty()) {
                        EXPECT_EQ(shown[0], report.stopMessage);
                    }
                }
            }
        }
        return report;
    }

    TempDir base, data;
    AnsweringPrompts prompts;
    platform::MemoryClipboard clipboard;
    tavorin::AppContext app{
        engine::DBEngine::Instance().Workspaces(0),
        {.prompts = &prompts,
         .clipboard = &clipboard}}; // the run's state, which the window and the test share
    Layout layout{app};
    std::unique_ptr<frmTavorin> window;
    std::string db = data.File("items.mdb");
};

TEST_F(ConversionCheckTest, ShortenedTextWithDoubleByteCharactersIsCutAsTheSaveCutsIt) {
    const auto report = ExpectCheckMatchesSave(
        [&] { layout.Set(layout.RowOf("NAME"), "FLD04", Variant::Integer(7)); }, "NAME", "NAME");
    long longer = 0;
    for (int i = 1; i <= kRecords; ++i)
        if (i % 11 != 0 && ByteLength(NameAt(i)) > 7) ++longer;
    EXPECT_EQ(FieldOf(report, "NAME").cut, longer);
    EXPECT_GT(longer, 0);
    // A double-byte character is never split: of 7 bytes, "東京都港区芝公園" keeps 6.
    bool whole = false;
    for (const CheckExample& e : FieldOf(report, "NAME").cutExamples)
        if (e.oldValue == "東京都港区芝公園") whole = e.newValue == "東京都";
    EXPECT_TRUE(whole);
    for (const FieldCheck& f : report.fields)
        if (f.name != "NAME") {
            EXPECT_EQ(f.cut + f.failed + f.blanked, 0) << f.name;
        }
}

TEST_F(ConversionCheckTest, TextToLongStopsAtTheFirstNonNumericText) {
    const auto report = ExpectCheckMatchesSave(
        [&] { layout.Set(layout.RowOf("CODE"), "FLD03", Variant("dbLong")); }, "CODE", "CODE");
    EXPECT_EQ(FieldOf(report, "CODE").failed, 2);
    EXPECT_EQ(report.stopPosition, 7);
    EXPECT_EQ(report.stopRecord, "ID=" + std::to_string(IdAt(7)));
    EXPECT_EQ(report.stopMessage, "Error;  13 in CODE\r型が一致しません。");
    ASSERT_EQ(FieldOf(report, "CODE").failedExamples.size(), 2u);
    EXPECT_EQ(FieldOf(report, "CODE").failedExamples[1].oldValue, "x12");
}

TEST_F(ConversionCheckTest, DoubleToIntegerOverflowStopsTheSave) {
    const auto report = ExpectCheckMatchesSave(
        [&] { layout.Set(layout.RowOf("PRICE"), "FLD03", Variant("dbInteger")); }, "PRICE",
        "PRICE");
    // -40000 at record 5 and 40000 + i at every ninth record.
    EXPECT_EQ(FieldOf(report, "PRICE").failed, 5);
    EXPECT_EQ(report.stopPosition, 5);
    EXPECT_NE(report.stopMessage.find(" in PRICE\r"), std::string::npos) << report.stopMessage;
}

TEST_F(ConversionCheckTest, JoinedAndShortenedGroupKeepsItsFirstCopyCut) {
    const auto report = ExpectCheckMatchesSave(
        [&] {
            const int row = layout.RowOf("ADDR");
            layout.Set(row, "FLD05", Variant(""));
            layout.Set(row, "FLD04", Variant::Integer(5));
        },
        "ADDR_01", "ADDR");
    long longer = 0;
    for (int i = 3; i <= kRecords; i += 3)
        if (ByteLength("住所" + std::to_string(i)) > 5) ++longer;
    EXPECT_EQ(FieldOf(report, "ADDR").cut, longer);
    EXPECT_GT(longer, 0);
}

TEST_F(ConversionCheckTest, FieldSplitIntoAGroupCutsOnlyItsFirstCopy) {
    const auto report = ExpectCheckMatchesSave(
        [&] {
            const int row = layout.RowOf("MEMO");
            layout.Set(row, "FLD05", Variant("3"));
            layout.Set(row, "FLD04", Variant::Integer(8));
        },
        "MEMO", "MEMO_01");
    long longer = 0;
    for (int i = 1; i <= kRecords; i += 4)
        if (ByteLength("メモ" + std::to_string(i * 1001)) > 8) ++longer;
    EXPECT_EQ(FieldOf(report, "MEMO_01").cut, longer);
    EXPECT_GT(longer, 0);
    EXPECT_EQ(FieldOf(report, "MEMO_02").cut + FieldOf(report, "MEMO_03").cut, 0);
}

TEST_F(ConversionCheckTest, BlankTextTurnedIntoMemoBecomesNull) {
    const auto report = ExpectCheckMatchesSave(
        [&] { layout.Set(layout.RowOf("NOTE"), "FLD03", Variant("dbMemo")); }, "NOTE", "NOTE");
    EXPECT_EQ(FieldOf(report, "NOTE").blanked, kRecords / 4);
    ASSERT_FALSE(FieldOf(report, "NOTE").blankedExamples.empty());
    EXPECT_EQ(FieldOf(report, "NOTE").blankedExamples[0].newValue, "(Null)");
}

TEST_F(ConversionCheckTest, CommandFollowsTheLayoutAndTheWindowCopiesAndSaves) {
    MakeItems(db);
    Start(db);
    window->UpdateConvCheckCommand();
    EXPECT_FALSE(window->mnConvCheck->isEnabled()) << "unchanged layout";
    EXPECT_EQ(window->mnTable->actions().back(), window->mnConvCheck);
    Edit([&] { layout.Set(layout.RowOf("NAME"), "FLD04", Variant::Integer(7)); });
    // Opening the table menu settles the command's state.
    window->UpdateConvCheckCommand();
    EXPECT_TRUE(window->mnConvCheck->isEnabled());

    window->mnConvCheck->trigger();
    frmConvCheck* shown = window->ConvCheckWindow();
    ASSERT_NE(shown, nullptr);
    ASSERT_TRUE(shown->isVisible());
    // Every field of the new layout and the total line.
    EXPECT_EQ(shown->List1->topLevelItemCount(),
              static_cast<int>(shown->Report().fields.size()) + 1);
    QTreeWidgetItem* total = shown->List1->topLevelItem(shown->List1->topLevelItemCount() - 1);
    EXPECT_EQ(total->text(0), QString::fromUtf8("合計"));
    EXPECT_EQ(total->text(1).toLong(), shown->Report().TotalCut());

    QTest::mouseClick(shown->cmdCopy, Qt::LeftButton);
    const std::string copied = clipboard.Text().toStdString();
    EXPECT_EQ(copied.rfind("フィールド\t切り捨て\t変換エラー\tNull・空\t", 0), 0u) << copied;
    EXPECT_NE(copied.find("\r\nNAME\t" + std::to_string(shown->Report().TotalCut()) + "\t0\t0\r\n"),
              std::string::npos)
        << copied;
    EXPECT_NE(copied.find("\r\n切り捨て\t\t\t\tID="), std::string::npos) << copied;

    // "保存" closes the window and runs the save with its questions.
    prompts.answers[kInitQuestion] = platform::vbNo;
    prompts.answers[kAcceptQuestion] = platform::vbOK;
    prompts.shown.clear();
    QTest::mouseClick(shown->cmdSave, Qt::LeftButton);
    QTest::qWait(0);
    EXPECT_EQ(window->ConvCheckWindow(), nullptr);
    EXPECT_EQ(prompts.shown, (std::vector<std::string>{kInitQuestion, kAcceptQuestion}));
    EXPECT_EQ(window->Saving().SaveAbandoned, 0);
    window->UpdateConvCheckCommand();
    EXPECT_FALSE(window->mnConvCheck->isEnabled()) << "the layout is saved";

    // A table named in the editor but not stored has no records to check.
    window->OpenOnStart(db, "NEWTABLE");
    window->LayoutChanged = 9;
    window->UpdateConvCheckCommand();
    EXPECT_FALSE(window->mnConvCheck->isEnabled());
}

TEST_F(ConversionCheckTest, LayoutFaultIsShownAsTheSaveShowsItAndNothingIsChecked) {
    MakeItems(db);
    Start(db);
    Edit([&] { layout.Set(layout.RowOf("CODE"), "FLD02", Variant("NAME")); });
    prompts.shown.clear();
    window->UpdateConvCheckCommand();
    window->mnConvCheck->trigger();
    EXPECT_EQ(prompts.shown, (std::vector<std::string>{"同一フィールド名があります。"}));
    EXPECT_EQ(window->ConvCheckWindow(), nullptr);
    // The grid reads its rows again.
    ASSERT_TRUE(app.Store.WorkRs && app.Store.WorkRs->IsOpen());
    app.Store.WorkRs->MoveFirst();
    EXPECT_EQ(engine::TextOf(app.Store.WorkRs->Value("FLD02")), "ID");
}

TEST_F(ConversionCheckTest, GenuineJetTableIsCheckedAndItsFileLeftAlone) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    const std::string jet = data.File("jet.mdb");
    fs::copy_file(shareddata::Folder() + "/jet/testV1997.mdb", jet);
    const std::string bytes = Bytes(jet);
    window = std::make_unique<frmTavorin>(app);
    ASSERT_TRUE(window->Form_Load());
    window->OpenOnStart(jet, "Table1");
    // Every text field of the layout shortened to one byte.
    long records = 0;
    {
        auto rs = app.Store.WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
        for (; !rs->Eof(); rs->MoveNext()) {
            if (engine::TextOf(rs->Value("FLD03")) != "dbText") continue;
            rs->Edit();
            rs->SetValue("FLD04", Variant::Integer(1));
            rs->Update();
        }
        records = engine::DBEngine::Instance()
                      .Workspaces(0)
                      .OpenDatabase(jet)
                      ->TableDefs()
                      .Item("Table1")
                      ->RecordCount();
    }
    window->LayoutChanged = 9;
    const ConversionReport report = Check();
    EXPECT_EQ(report.records, records);
    EXPECT_GT(records, 0);
    EXPECT_GT(report.TotalCut(), 0);
    EXPECT_EQ(Bytes(jet), bytes);
}

TEST_F(ConversionCheckTest, CancelledCheckStopsEarlyAndLeavesTheFileAlone) {
    const std::string big = data.File("big.mdb");
    MakeCustomers(big, 5000);
    const std::string bytes = Bytes(big);
    window = std::make_unique<frmTavorin>(app);
    ASSERT_TRUE(window->Form_Load());
    window->OpenOnStart(big, "CUST");
    layout.Set(layout.RowOf("NAME"), "FLD04", Variant::Integer(4));
    int16_t code = 0;
    int32_t row = 0;
    window->ValidateLayout(code, row);
    ASSERT_EQ(code, 0);
    int count = 0;
    FieldMapTable map;
    ASSERT_TRUE(BuildFieldMap(app.Platform, app.Store, map, count));
    // The check runs while no recordset of the connection is reading.
    app.Store.WorkRs->Close();
    auto file = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(big);
    const auto targets = TargetFieldsOf(*window->DefineBuildTable(*file, "CUST"));
    long calls = 0;
    const ConversionReport stopped =
        CheckConversion(*file, map, "CUST", targets, count, [&](long) { return ++calls < 2; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.records, 2048);
    const ConversionReport whole =
        CheckConversion(*file, map, "CUST", targets, count, [](long) { return true; });
    EXPECT_FALSE(whole.cancelled);
    EXPECT_EQ(whole.records, 5000);
    // "名前" and a number: every name of more than 4 bytes.
    EXPECT_EQ(FieldOf(whole, "NAME").cut, 5000);
    EXPECT_EQ(FieldOf(whole, "NAME").cutExamples.size(), FieldCheck::kExamples);
    EXPECT_EQ(FieldOf(whole, "NAME").cutExamples[0].newValue, "名前");
    file->Close();
    EXPECT_EQ(Bytes(big), bytes);
}

} // namespace
