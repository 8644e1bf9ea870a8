// A genuine Jet 4 or Jet 3 file opened through the workspace takes every change as a native file
// does: the save's rebuild in one transaction, a rename, a delete and a replacing import land in
// the file at the commit, the file stays a file of its version that other readers read, and what
// the change does not touch stays as it was. A rolled-back transaction and a change the file
// refuses leave its bytes as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/jet3_writer.h"
#include "engine/jet4_writer.h"
#include "engine/recordset.h"
#include "engine/tabledef.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "engine/testing/test_support.h"
#include "engine/transaction_guard.h"
#include "engine/workspace.h"
#include "jet/write_access.h"
#include "jet4check/checker.h"

namespace {

using namespace enginetest;
namespace dao = engine::dao;
namespace fs = std::filesystem;
using Export = std::vector<std::vector<std::string>>;

// What mdbtools shows of every table, and what it said on standard error.
std::map<std::string, Export> Exports(const std::string& file, std::string& errors) {
    std::map<std::string, Export> all;
    for (const auto& t : jettest::MdbTables(file)) {
        all[t] = jettest::MdbExport(file, t);
        errors += jettest::Run("mdb-export " + jettest::ShellQuote(file) + " " +
                               jettest::ShellQuote(t) + " 2>&1 >/dev/null");
    }
    return all;
}

// The save's steps as the designer takes them: build the new layout under a temporary name,
// carry every record, drop the old table and give the new one its name, in one transaction. With
// newName, the save under a new name: the new layout is built under it and the old table stays.
void RebuildWithAnExtraField(engine::Database& db, const std::string& table,
                             const std::string& value, const std::string& newName = "") {
    const std::string buildName = newName.empty() ? table + "_build" : newName;
    engine::TransactionGuard tx(Ws());
    engine::TableDefPtr old = db.TableDefs().Item(table);
    engine::TableDefPtr build = db.CreateTableDef(buildName);
    std::vector<std::string> names;
    for (const auto& f : old->Fields()) {
        AddField(build, f->Name(), f->Type(), f->Size());
        names.push_back(f->Name());
    }
    AddField(build, "AddedField", dao::dbText, 20);
    db.TableDefs().Append(build);
    auto from = db.OpenRecordset(table, engine::RecordsetType::Snapshot);
    auto to = db.OpenRecordset(buildName, engine::RecordsetType::Dynaset);
    for (; !from->Eof(); from->MoveNext()) {
        to->AddNew();
        for (const auto& n : names) to->SetValue(n, from->Value(n));
        to->SetValue("AddedField", engine::Variant(value));
        to->Update();
    }
    from->Close();
    to->Close();
    if (newName.empty()) {
        db.TableDefs().Delete(table);
        db.TableDefs().Item(buildName)->SetName(table);
    }
    tx.Commit();
}

struct Outcome {
    bool refused = false;     // the commit was refused (the file stays as it was)
    std::string changedTable; // "" when the change names none that readers can compare
};

TEST(JetOpenForWriting, EachChangeLandsInTheFileWhichKeepsItsVersionAndTheRest) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    // Our own writer's file too: tables without relationships, so every change can land.
    std::string made = dir.File("made.tdb");
    {
        auto db = Ws().CreateDatabase(made, engine::kLangJapanese);
        for (const char* name : {"顧客", "Orders"}) {
            auto td = db->CreateTableDef(name);
            AddField(td, "Id", dao::dbLong);
            AddField(td, "Name", dao::dbText, 30);
            db->TableDefs().Append(td);
            auto rs = db->OpenRecordset(name, engine::RecordsetType::Dynaset);
            for (int i = 0; i < 300; ++i) {
                rs->AddNew();
                rs->SetValue("Id", engine::Variant::Long(i));
                rs->SetValue("Name", engine::Variant("名前" + std::to_string(i)));
                rs->Update();
            }
        }
        engine::WriteJet4(*db, dir.File("made.mdb"));
        engine::WriteJet3(*db, dir.File("made97.mdb"));
        db->Close();
    }
    // Each file with the text the rebuild adds: the genuine Jet 3 files hold code page 1252.
    struct File {
        std::string path;
        std::string added;
    };
    std::vector<File> files = {{dir.File("made.mdb"), "新しい"},
                               {dir.File("made97.mdb"), "新しい"}};
    for (const char* f : {"emptyJet4.mdb", "fixedTextTestV2000.mdb", "indexTestV2000.mdb",
                          "testIndexPropertiesV2000.mdb"})
        files.push_back({jettest::JetFile(f), "新しい"});
    for (const char* f :
         {"compIndexTestV1997.mdb", "indexTestV1997.mdb", "test2V1997.mdb", "testV1997.mdb"})
        files.push_back({jettest::JetFile(f), "Neue Zeile é£"});

    struct Change {
        const char* name;
        std::function<Outcome(engine::Database&, const std::string& table,
                              const std::string& added)>
            run;
    };
    const Change changes[] = {
        {"the save's rebuild",
         [](engine::Database& db, const std::string& t, const std::string& added) {
             RebuildWithAnExtraField(db, t, added);
             return Outcome{false, t};
         }},
        {"save under a new name",
         [](engine::Database& db, const std::string& t, const std::string& added) {
             RebuildWithAnExtraField(db, t, added, t + "_copy");
             return Outcome{false, ""};
         }},
        {"rename",
         [](engine::Database& db, const std::string& t, const std::string&) {
             db.TableDefs().Item(t)->SetName(t + "_renamed");
             return Outcome{false, ""};
         }},
        {"delete",
         [](engine::Database& db, const std::string& t, const std::string&) {
             db.TableDefs().Delete(t);
             return Outcome{false, ""};
         }},
        {"replacing import",
         [](engine::Database& db, const std::string& t, const std::string&) {
             engine::TransactionGuard tx(Ws());
             db.Execute("DELETE * FROM [" + t + "]");
             tx.Commit();
             return Outcome{false, t};
         }},
    };

    int landed = 0, refusedCount = 0;
    for (const auto& [source, added] : files) {
        for (const Change& change : changes) {
            SCOPED_TRACE(source + ": " + change.name);
            std::string file = dir.File("work.mdb");
            fs::copy_file(source, file, fs::copy_options::overwrite_existing);
            fs::permissions(file, fs::perms::owner_read |
                                      fs::perms::owner_write); // shared files are read-only
            std::string before = jettest::ReadWhole(file);
            std::string errors;
            auto exportsBefore = Exports(file, errors);

            auto db = Ws().OpenDatabase(file);
            ASSERT_FALSE(db->ReadOnly());
            auto names = db->TableDefs().Names();
            if (names.empty()) {
                // An empty file: a table made in it lands there.
                auto td = db->CreateTableDef("New");
                AddField(td, "A", dao::dbText, 10);
                db->TableDefs().Append(td);
                db->Close();
                EXPECT_EQ(jettest::MdbTables(file), std::vector<std::string>{"New"});
                continue;
            }
            std::string table = names.front();
            Outcome outcome;
            try {
                outcome = change.run(*db, table, added);
            } catch (const engine::Error& e) {
                // A table in a relationship is not dropped or renamed: refused whole, the message
                // naming the file's own version.
                outcome.refused = true;
                EXPECT_NE(e.Description().find(before[0x14] == 0 ? "Jet 3 " : "Jet 4 "),
                          std::string::npos)
                    << e.Description();
                EXPECT_FALSE(e.Description().empty());
            }
            db->Close();
            if (outcome.refused) {
                ++refusedCount;
                EXPECT_EQ(jettest::ReadWhole(file), before);
                continue;
            }
            ++landed;
            std::string after = jettest::ReadWhole(file);
            ASSERT_GE(after.size(), 0x15u);
            EXPECT_EQ(after[0x14], before[0x14]); // still of its version
            auto report = before[0x14] ? engine::detail::jet4check::CheckJet4File(file)
                                       : engine::detail::jet4check::CheckJet3File(file);
            EXPECT_TRUE(report.Ok()) << report.Text();
            std::string errorsAfter;
            auto exportsAfter = Exports(file, errorsAfter);
            EXPECT_EQ(errorsAfter, "");
            // Every other table reads as before.
            for (const auto& [name, rows] : exportsBefore)
                if (name != table) {
                    EXPECT_EQ(exportsAfter[name], rows) << name;
                }
            std::string changeName = change.name;
            if (changeName == "the save's rebuild" || changeName == "save under a new name") {
                const bool copy = changeName == "save under a new name";
                if (copy) {
                    EXPECT_EQ(exportsAfter[table], exportsBefore[table]);
                }
                const Export& rows = exportsAfter[copy ? table + "_copy" : table];
                ASSERT_EQ(rows.size(), exportsBefore[table].size());
                EXPECT_EQ(rows.front().back(), "AddedField");
                for (size_t r = 1; r < rows.size(); ++r)
                    EXPECT_EQ(rows[r].back(), "\"" + added + "\"");
            } else if (changeName == "rename") {
                EXPECT_FALSE(exportsAfter.count(table));
                EXPECT_EQ(exportsAfter[table + "_renamed"], exportsBefore[table]);
            } else if (changeName == "delete") {
                EXPECT_FALSE(exportsAfter.count(table));
            } else {
                EXPECT_EQ(exportsAfter[table].size(), 1u); // the header line alone
            }
        }
    }
    EXPECT_GT(landed, 20);
    std::cout << landed << " changes landed, " << refusedCount << " refused\n";
}

TEST(JetOpenForWriting, ARolledBackTransactionAndAHeldFileLeaveTheBytesAsTheyWere) {
    TempDir dir;
    std::string native = dir.File("n.tdb");
    {
        auto db = Ws().CreateDatabase(native, engine::kLangJapanese);
        auto td = db->CreateTableDef("T");
        AddField(td, "A", dao::dbLong);
        db->TableDefs().Append(td);
        engine::WriteJet4(*db, dir.File("f.mdb"));
        db->Close();
    }
    const std::string file = dir.File("f.mdb");
    const std::string before = jettest::ReadWhole(file);
    {
        auto db = Ws().OpenDatabase(file);
        engine::TransactionGuard tx(Ws());
        auto td = db->CreateTableDef("U");
        AddField(td, "B", dao::dbText, 5);
        db->TableDefs().Append(td);
        // Left without Commit: rolled back.
    }
    EXPECT_EQ(jettest::ReadWhole(file), before);

    // Another program's live .ldb lock: the file opens, refuses the change, keeps its bytes.
    engine::detail::jet::JetFileLock other(file);
    auto db = Ws().OpenDatabase(file);
    EXPECT_EQ(ErrorOf([&] {
                  auto td = db->CreateTableDef("U");
                  AddField(td, "B", dao::dbText, 5);
                  db->TableDefs().Append(td);
              }),
              engine::err::kLocked);
    EXPECT_EQ(ErrorOf([&] { db->CheckUpdatable(); }), engine::err::kLocked);
    db->Close();
    EXPECT_EQ(jettest::ReadWhole(file), before);
}

// A Jet 3 file read in another code page than its header's (the setting) would have its text
// written back as other characters: it opens read-only, refusing changes with the reason.
TEST(JetOpenForWriting, AJet3FileReadInAnotherCodePageRefusesChanges) {
    TempDir dir;
    const std::string file = dir.File("f97.mdb");
    {
        auto db = Ws().CreateDatabase(dir.File("n.tdb"), engine::kLangJapanese);
        auto td = db->CreateTableDef("T");
        AddField(td, "A", dao::dbText, 10);
        db->TableDefs().Append(td);
        engine::WriteJet3(*db, file);
        db->Close();
    }
    const std::string before = jettest::ReadWhole(file);
    for (const char* setting : {"1252", "932"}) {
        SCOPED_TRACE(setting);
        EnvGuard codePage("TAVORIN_JET3_CODEPAGE", setting);
        auto db = Ws().OpenDatabase(file);
        const bool other = std::string(setting) != "932";
        EXPECT_EQ(db->ReadOnly(), other);
        EXPECT_EQ(ErrorOf([&] { db->CheckUpdatable(); }), other ? engine::err::kReadOnly : 0);
        db->Close();
        EXPECT_EQ(jettest::ReadWhole(file), before);
    }
}

} // namespace
