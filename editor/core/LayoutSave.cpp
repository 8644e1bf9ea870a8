// The order of a save's steps and its ways out (LayoutSave.h).
#include "core/LayoutSave.h"

#include <optional>

#include "core/StepFailed.h"
#include "core/StoredFile.h"
#include "core/UserPrompts.h"
#include "core/WorkTable.h"
#include "engine/error.h"
#include "engine/transaction_guard.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace tavorin {
namespace {

using Answer = UserPrompts::Answer;
using Buttons = UserPrompts::Buttons;

void SayEngineFailure(UserPrompts& prompts, long number, const std::string& description,
                      const std::string& details = {}) {
    prompts.SayFailure(std::to_string(number) + " : " + description, details);
}

SaveOutcome Abandoned(SaveOutcome::Cursor cursor = SaveOutcome::Cursor::Stay) {
    SaveOutcome outcome;
    outcome.cursor = cursor;
    return outcome;
}

} // namespace

std::string BuildNameOf(const std::string& table) {
    return table + "ﾀﾞﾐ";
}

LayoutSave::LayoutSave(LayoutDocument& document, engine::DatabasePtr& workDb,
                       engine::RecordsetPtr& rows)
    : document_(document), workDb_(workDb), rows_(rows) {}

void LayoutSave::ReopenRows() {
    rows_ = workDb_->OpenRecordset(kWorkTableSql, engine::RecordsetType::Dynaset);
}

SaveOutcome LayoutSave::SaveTable(const SaveTarget& target, IndexSettings& settings) {
    try {
        return SaveTableSteps(target, settings);
    } catch (...) {
        // An error of the work database itself: unless the table was already replaced, the
        // save did not happen; either way the grid keeps its recordset.
        SaveAbandoned = tableReplaced_ ? 0 : -1;
        if (!rows_ || !rows_->IsOpen()) {
            try {
                ReopenRows();
            } catch (...) {
            }
        }
        throw;
    }
}

SaveOutcome LayoutSave::SaveTableSteps(const SaveTarget& target, IndexSettings& settings) {
    SaveAbandoned = 0;
    tableReplaced_ = false;
    auto abandon = [this](SaveOutcome::Cursor cursor = SaveOutcome::Cursor::Stay) {
        SaveAbandoned = -1;
        ReopenRows();
        return Abandoned(cursor);
    };
    if (RefuseReadOnlyTarget(target)) {
        SaveAbandoned = -1;
        return Abandoned();
    }
    // A name the engine refuses stops the save before any question.
    if (const std::string fault = TableNameFault(document_.CurrentTable); !fault.empty()) {
        target.prompts.Say(fault);
        SaveAbandoned = -1;
        return Abandoned(SaveOutcome::Cursor::TableName);
    }

    // Steps 1-2: validation works on WKTBL through its own recordsets.
    if (rows_) rows_->Close();
    SaveOutcome fault = Abandoned(SaveOutcome::Cursor::Fault);
    document_.ValidateLayout(settings, target.prompts, fault.errorCode, fault.errorRow);
    if (fault.errorCode != 0) {
        ReopenRows();
        SaveAbandoned = -1;
        return fault;
    }

    // Step 3: a table without a primary key only on request.
    if (document_.KeyUsed[1] == 0 || settings.Name[0].empty()) {
        if (target.prompts.Ask("主キーが設定されていません。続行しますか。", Buttons::OkCancel) !=
            Answer::Ok)
            return abandon(SaveOutcome::Cursor::FirstCell);
    }

    const std::string& table = document_.CurrentTable;
    const std::string buildName = BuildNameOf(table);
    const bool fileExisted = FileExists(target.path);
    if (!fileExisted && LayoutFileOnDisk) {
        SayEngineFailure(target.prompts, engine::err::kFileNotFound,
                         engine::DescriptionOf(engine::err::kFileNotFound, target.path));
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
            db = target.ws.OpenDatabase(target.path);
            if (std::string found = StoredTableName(db.get(), table); !found.empty()) {
                tableExisted = true;
                const Answer answer =
                    target.prompts.Ask("テーブルを初期化しますか。", Buttons::YesNoCancel);
                if (answer == Answer::Cancel) {
                    db->Close();
                    return abandon();
                }
                carry = answer == Answer::No;
                oldTable = found;
            } else if (!SourceTableName.empty()) {
                if (std::string source = StoredTableName(db.get(), SourceTableName);
                    !source.empty()) {
                    const Answer answer = target.prompts.Ask(
                        "もとのテーブルのデータをコピーしますか。", Buttons::YesNoCancel);
                    if (answer == Answer::Cancel) {
                        db->Close();
                        return abandon();
                    }
                    carry = answer == Answer::Yes;
                    oldTable = source;
                }
            }
        } else {
            db = target.ws.CreateDatabase(target.path, engine::kLangJapanese);
            fileCreated = true;
        }

        // A genuine Jet file takes the whole save as one change: the build table under its
        // temporary name never reaches the file (whose code page may not hold that name), and
        // the file is written once, at the end.
        std::optional<engine::TransactionGuard> wholeSave;
        if (fileExisted && IsJetFile(target.path)) wholeSave.emplace(target.ws);

        // Step 6: a build table left by an interrupted save.
        if (std::string leftOver = StoredTableName(db.get(), buildName); !leftOver.empty()) {
            if (target.prompts.Ask("前回の作業テーブル　[" + buildName +
                                       "] が存在してます。削除します。",
                                   Buttons::OkCancel) != Answer::Ok) {
                // The left-over stays, as the user asked; this save changed nothing.
                db->Close();
                return abandon();
            }
            db->TableDefs().Delete(leftOver);
        }

        // Steps 7-9: the build table, complete with fields and indexes, in one append.
        BuildTableDefinition(*db, buildName, settings);
        // Step 10: descriptions.
        WriteDescriptions(*db, buildName);
        db->Close();

        // Step 11: the records.
        long expected = -1;
        if (carry) {
            switch (CarryOverData(target, oldTable, buildName)) {
            case CarryResult::Committed:
                // Every record the walk read from the old table must be in the build table.
                expected = carriedRecords_;
                break;
            case CarryResult::RolledBack:
                CleanUpAfterSave(target, buildName, fileCreated);
                SaveAbandoned = -1;
                return Abandoned();
            case CarryResult::EngineFailed:
                throw StepFailed(LastEngineError.number, LastEngineError.description);
            }
        }

        // Step 12: replacement.
        ReplaceOldTable(target, tableExisted, buildName, expected);
        if (wholeSave) wholeSave->Commit();
        tableReplaced_ = true;
    } catch (const engine::Error& e) {
        // Every transaction of the save is a guard's: none is left open here.
        SayEngineFailure(target.prompts, e.Number(), e.Description(), e.Detail());
        CleanUpAfterSave(target, buildName, fileCreated);
        SaveAbandoned = -1;
        return Abandoned();
    } catch (const StepFailed& f) {
        SayEngineFailure(target.prompts, f.Number(), f.Description());
        CleanUpAfterSave(target, buildName, fileCreated);
        SaveAbandoned = -1;
        return Abandoned();
    }

    ReopenRows();
    SaveOutcome saved;
    saved.saved = true;
    saved.carried = carry;
    return saved;
}

} // namespace tavorin
