// Saving a layout: the new table is built complete under a temporary name beside the old one,
// the old records are carried across in one transaction, and only then is the old table
// replaced, in one transaction of its own. Every way out before that leaves the old table as it
// was and no build table behind.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QString>
#include <filesystem>
#include <optional>

#include "engine/error.h"
#include "engine/names.h"
#include "engine/transaction_guard.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "forms/frmTavorin.h"
#include "modules/DatabaseFiles.h"
#include "modules/NativeCopy.h"
#include "modules/TavorinSub.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
namespace {

using engine::Variant;
namespace dao = engine::dao;

// The temporary name a table is built under: the table name and the half-width "ﾀﾞﾐ".
std::string BuildNameOf(const std::string& table) { return table + "ﾀﾞﾐ"; }


void ShowEngineFailure(long number, const std::string& description, const std::string& details = {}) {
    platform::MsgBoxDetails(QString::fromStdString(std::to_string(number) + " : " + description),
                            QString::fromStdString(details));
}

// A save that cannot go on: its reason travels to SaveTable's failure path.
struct SaveFailed {
    long number;
    std::string description;
};

} // namespace

void frmTavorin::ReopenGridRecordset() {
    WorkRs = WorkDb->OpenRecordset(kWorkTableSql, engine::RecordsetType::Dynaset);
}

// A file that takes no change is refused before anything is asked, saying why: a read-only file,
// a genuine file another program holds, an encoded one.
bool frmTavorin::RefuseReadOnlyTarget() {
    if (!FileExists(CurrentFile.FullPath)) return false;
    engine::DatabasePtr db;
    try {
        db = Ws->OpenDatabase(CurrentFile.FullPath);
    } catch (const engine::Error&) {
        return false; // the save itself reports what is wrong with the file
    }
    if (!db->ReadOnly()) return false;
    std::string why = engine::DescriptionOf(engine::err::kReadOnly);
    try {
        db->CheckUpdatable();
    } catch (const engine::Error& e) {
        why = e.Description();
    }
    platform::MsgBox(QString::fromStdString(why));
    return true;
}

// A table is built under its temporary name, so both names must be ones the engine takes. A
// refusal names the user's own name, before any question of the save.
bool frmTavorin::RefuseTableName(const std::string& name) {
    for (const std::string& candidate : {name, BuildNameOf(name)}) {
        try {
            engine::CheckTableName(candidate);
        } catch (const engine::Error& e) {
            platform::MsgBox(QString::fromStdString(engine::DescriptionOf(e.Number(), name)));
            return true;
        }
    }
    return false;
}

// The focus moves once the command is over, so that nothing the command started (a scroll, a
// focus move of an earlier step) takes the cursor elsewhere afterwards.
void frmTavorin::PlaceCursorOnFault(int16_t errorCode, int32_t errorRow) {
    if (errorCode == 9 && errorRow > 0) {
        // Moved without the scroll bar's own handler, which would place the focus itself.
        if (errorRow < TopRow || errorRow > TopRow + kGridLines - 1)
            ScrollTo(std::max(1, errorRow - (kGridLines - 1)));
        MoveFocus(Text1[static_cast<size_t>((errorRow - TopRow + 1) * 10 - 1)]);
    } else if (errorCode >= 1 && errorCode <= 6) {
        Frame3->setVisible(true);
        Frame2->setVisible(false);
        MoveFocus(Text1[static_cast<size_t>(errorCode)]);
    }
}

void frmTavorin::BuildTableDefinition(engine::Database& db, const std::string& buildName) {
    db.TableDefs().Append(DefineBuildTable(db, buildName));
}

engine::TableDefPtr frmTavorin::DefineBuildTable(engine::Database& db, const std::string& buildName) {
    return LayoutDocument::DefineBuildTable(db, buildName, ShownIndexSettings());
}

void frmTavorin::WriteDescriptions(engine::Database& db, const std::string& buildName) {
    auto td = db.TableDefs().Item(buildName);
    auto setDescription = [](engine::Properties& properties, const std::string& createAs, const std::string& text,
                             const auto& create) {
        try {
            properties.Item("Description")->SetValue(Variant(text));
        } catch (const engine::Error& e) {
            if (e.Number() != engine::err::kPropertyNotFound) throw;
            properties.Append(create(createAs, text));
        }
    };
    if (!TableDesc.empty()) {
        setDescription(td->Properties(), "DesCription", TableDesc, [&](const std::string& n, const std::string& t) {
            return td->CreateProperty(n, dao::dbText, Variant(t));
        });
    }
    auto rows = WorkDb->OpenRecordset(kWorkTableSql, engine::RecordsetType::Snapshot);
    while (!rows->Eof()) {
        const std::string description = engine::TextOf(rows->Value("FLD12"));
        if (!description.empty()) {
            std::string target = engine::TextOf(rows->Value("FLD02"));
            if (!engine::TextOf(rows->Value("FLD05")).empty()) target += "_01";
            for (const auto& field : td->Fields()) {
                if (!SameText(field->Name(), target)) continue;
                setDescription(field->Properties(), "Description", description,
                               [&](const std::string& n, const std::string& t) {
                                   return field->CreateProperty(n, dao::dbText, Variant(t));
                               });
                break;
            }
        }
        rows->MoveNext();
    }
    rows->Close();
}

// Deletes the old table and gives the build table its name in one transaction, after checking
// that the build table holds every record: the data is never only in the build table.
void frmTavorin::ReplaceOldTable(bool tableExisted, const std::string& buildName, long expectedRecords) {
    auto db = Ws->OpenDatabase(CurrentFile.FullPath);
    if (expectedRecords >= 0) {
        const long built = db->TableDefs().Item(buildName)->RecordCount();
        if (built != expectedRecords)
            throw SaveFailed{engine::err::kEngineFailure,
                             "作業テーブルの件数 (" + std::to_string(built) + ") がもとのテーブルの件数 (" +
                                 std::to_string(expectedRecords) + ") と一致しません。もとのテーブルは変更していません。"};
    }
    try {
        engine::TransactionGuard replace(*Ws);
        if (tableExisted) db->TableDefs().Delete(StoredTableName(db.get(), CurrentTable));
        db->TableDefs().Item(buildName)->SetName(CurrentTable);
        replace.Commit();
    } catch (...) {
        // Rolled back by the guard when the commit did not happen.
        // The workspace commits every open file; one that failed after this file committed
        // leaves the table replaced, and the save is complete.
        if (StoredTableName(db.get(), buildName).empty() && !StoredTableName(db.get(), CurrentTable).empty()) return;
        throw;
    }
}

void frmTavorin::CleanUpAfterSave(const std::string& buildName, bool fileCreated) {
    try {
        if (FileExists(CurrentFile.FullPath)) {
            auto db = Ws->OpenDatabase(CurrentFile.FullPath);
            for (std::string table; !(table = StoredTableName(db.get(), buildName)).empty();) db->TableDefs().Delete(table);
            db->Close();
        }
    } catch (const engine::Error&) {
        // The next save finds a build table that is still there and offers to delete it.
    }
    if (fileCreated) {
        std::error_code ec;
        std::filesystem::remove(CurrentFile.FullPath, ec);
    }
    ReopenGridRecordset();
}

void frmTavorin::SaveTable() {
    try {
        SaveTableSteps();
    } catch (...) {
        // An error of the work database itself: unless the table was already replaced, the
        // save did not happen; either way the grid keeps its recordset.
        SaveAbandoned = tableReplaced_ ? 0 : -1;
        if (!WorkRs || !WorkRs->IsOpen()) {
            try {
                ReopenGridRecordset();
            } catch (...) {
            }
        }
        throw;
    }
}

void frmTavorin::SaveTableSteps() {
    SaveAbandoned = 0;
    tableReplaced_ = false;
    auto abandon = [this] {
        SaveAbandoned = -1;
        ReopenGridRecordset();
    };
    if (RefuseReadOnlyTarget()) {
        SaveAbandoned = -1;
        return;
    }
    if (RefuseTableName(CurrentTable)) {
        SaveAbandoned = -1;
        MoveFocus(Text1[0], true);
        return;
    }

    // Steps 1-2: validation works on WKTBL through its own recordsets.
    if (WorkRs) WorkRs->Close();
    int16_t errorCode = 0;
    int32_t errorRow = 0;
    ValidateLayout(errorCode, errorRow);
    if (errorCode != 0) {
        ReopenGridRecordset();
        PlaceCursorOnFault(errorCode, errorRow);
        SaveAbandoned = -1;
        return;
    }

    // Step 3: a table without a primary key only on request.
    if (KeyUsed[1] == 0 || Text1[1]->text().isEmpty()) {
        if (platform::MsgBox(QString::fromUtf8("主キーが設定されていません。続行しますか。"), platform::vbOKCancel) !=
            platform::vbOK) {
            abandon();
            MoveFocus(Text1[9]);
            return;
        }
    }

    const std::string buildName = BuildNameOf(CurrentTable);
    const bool fileExisted = FileExists(CurrentFile.FullPath);
    if (!fileExisted && LayoutFileOnDisk) {
        ShowEngineFailure(engine::err::kFileNotFound,
                          engine::DescriptionOf(engine::err::kFileNotFound, CurrentFile.FullPath));
        return abandon();
    }
    bool fileCreated = false;
    bool tableExisted = false;
    bool carry = false;
    std::string oldTable;
    try {
        // Step 4: the file, and whether its data is carried over.
        engine::DatabasePtr db;
        if (fileExisted) {
            db = Ws->OpenDatabase(CurrentFile.FullPath);
            if (std::string found = StoredTableName(db.get(), CurrentTable); !found.empty()) {
                tableExisted = true;
                const int answer =
                    platform::MsgBox(QString::fromUtf8("テーブルを初期化しますか。"), platform::vbYesNoCancel);
                if (answer == platform::vbCancel) {
                    db->Close();
                    return abandon();
                }
                carry = answer == platform::vbNo;
                oldTable = found;
            } else if (!SourceTableName.empty()) {
                if (std::string source = StoredTableName(db.get(), SourceTableName); !source.empty()) {
                    const int answer = platform::MsgBox(QString::fromUtf8("もとのテーブルのデータをコピーしますか。"),
                                                        platform::vbYesNoCancel);
                    if (answer == platform::vbCancel) {
                        db->Close();
                        return abandon();
                    }
                    carry = answer == platform::vbYes;
                    oldTable = source;
                }
            }
        } else {
            db = Ws->CreateDatabase(CurrentFile.FullPath, engine::kLangJapanese);
            fileCreated = true;
        }

        // A genuine Jet file takes the whole save as one change: the build table under its
        // temporary name never reaches the file (whose code page may not hold that name), and
        // the file is written once, at the end.
        std::optional<engine::TransactionGuard> wholeSave;
        if (fileExisted && IsJetFile(CurrentFile.FullPath)) wholeSave.emplace(*Ws);

        // Step 6: a build table left by an interrupted save.
        if (std::string leftOver = StoredTableName(db.get(), buildName); !leftOver.empty()) {
            if (platform::MsgBox(QString::fromUtf8("前回の作業テーブル　[") + QString::fromStdString(buildName) +
                                     QString::fromUtf8("] が存在してます。削除します。"),
                                 platform::vbOKCancel) != platform::vbOK) {
                // The left-over stays, as the user asked; this save changed nothing.
                db->Close();
                return abandon();
            }
            db->TableDefs().Delete(leftOver);
        }

        // Steps 7-9: the build table, complete with fields and indexes, in one append.
        BuildTableDefinition(*db, buildName);
        // Step 10: descriptions.
        WriteDescriptions(*db, buildName);
        db->Close();

        // Step 11: the records.
        long expected = -1;
        if (carry) {
            switch (CarryOverData(oldTable, buildName)) {
            case CarryResult::Committed:
                // Every record the walk read from the old table must be in the build table.
                expected = carriedRecords_;
                break;
            case CarryResult::RolledBack:
                CleanUpAfterSave(buildName, fileCreated);
                SaveAbandoned = -1;
                return;
            case CarryResult::EngineFailed:
                throw SaveFailed{lastEngineError_.number, lastEngineError_.description};
            }
        }

        // Step 12: replacement.
        ReplaceOldTable(tableExisted, buildName, expected);
        if (wholeSave) wholeSave->Commit();
        tableReplaced_ = true;
    } catch (const engine::Error& e) {
        // Every transaction of the save is a guard's: none is left open here.
        ShowEngineFailure(e.Number(), e.Description(), e.Detail());
        CleanUpAfterSave(buildName, fileCreated);
        SaveAbandoned = -1;
        return;
    } catch (const SaveFailed& f) {
        ShowEngineFailure(f.number, f.description);
        CleanUpAfterSave(buildName, fileCreated);
        SaveAbandoned = -1;
        return;
    }

    ReopenGridRecordset();
    ClearLayout();
    OpenFileTables(CurrentFile.FullPath);
    MoveFocus(Text1[0]);
    if (carry) StartReleasingFreePages();
}

void frmTavorin::mnTableSave_Click(int Index) {
    // A table name typed but not yet taken opens that table first (after the save question of
    // the layout it leaves); nothing of the newly opened table is then to be saved.
    const bool tableNamePending = CellDirty > 0 && FocusIndex == 0;
    int16_t error = 0;
    StoreRow(error);
    if (error != 0 || tableNamePending) return;
    if (Index == 0) {
        SaveTable();
        if (SaveAbandoned != 0) CellEdited = true;
    } else {
        RequestTableName(RequestSaveAs);
    }
}

} // namespace tavorin
