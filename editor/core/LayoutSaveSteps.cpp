// The steps of a save that touch the user's file (LayoutSave.h): the refusals before it starts,
// the build table with its descriptions, the replacement of the old table and the clean-up of
// a save that stopped.
#include <filesystem>

#include "core/LayoutSave.h"
#include "core/StepFailed.h"
#include "core/StoredFile.h"
#include "core/TypeVocabulary.h"
#include "core/UserPrompts.h"
#include "core/WorkTable.h"
#include "engine/error.h"
#include "engine/names.h"
#include "engine/transaction_guard.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace tavorin {

using engine::Variant;
namespace dao = engine::dao;

// A file that takes no change is refused before anything is asked, saying why: a read-only file,
// a genuine file another program holds, an encoded one.
bool LayoutSave::RefuseReadOnlyTarget(const SaveTarget& target) {
    if (!FileExists(target.path)) return false;
    engine::DatabasePtr db;
    try {
        db = target.ws.OpenDatabase(target.path);
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
    target.prompts.Say(why);
    return true;
}

std::string TableNameFault(const std::string& name) {
    for (const std::string& candidate : {name, BuildNameOf(name)}) {
        try {
            engine::CheckTableName(candidate);
        } catch (const engine::Error& e) {
            return engine::DescriptionOf(e.Number(), name);
        }
    }
    return {};
}

void LayoutSave::BuildTableDefinition(engine::Database& db, const std::string& buildName,
                                      const IndexSettings& settings) {
    db.TableDefs().Append(document_.DefineBuildTable(db, buildName, settings));
}

void LayoutSave::WriteDescriptions(engine::Database& db, const std::string& buildName) {
    auto td = db.TableDefs().Item(buildName);
    auto setDescription = [](engine::Properties& properties, const std::string& createAs,
                             const std::string& text, const auto& create) {
        try {
            properties.Item("Description")->SetValue(Variant(text));
        } catch (const engine::Error& e) {
            if (e.Number() != engine::err::kPropertyNotFound) throw;
            properties.Append(create(createAs, text));
        }
    };
    if (!document_.TableDesc.empty()) {
        setDescription(td->Properties(), "DesCription", document_.TableDesc,
                       [&](const std::string& n, const std::string& t) {
                           return td->CreateProperty(n, dao::dbText, Variant(t));
                       });
    }
    auto rows = workDb_->OpenRecordset(kWorkTableSql, engine::RecordsetType::Snapshot);
    while (!rows->Eof()) {
        const std::string description = engine::TextOf(rows->Value("FLD12"));
        if (!description.empty()) {
            std::string field = engine::TextOf(rows->Value("FLD02"));
            if (!engine::TextOf(rows->Value("FLD05")).empty()) field += "_01";
            for (const auto& built : td->Fields()) {
                if (!SameText(built->Name(), field)) continue;
                setDescription(built->Properties(), "Description", description,
                               [&](const std::string& n, const std::string& t) {
                                   return built->CreateProperty(n, dao::dbText, Variant(t));
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
void LayoutSave::ReplaceOldTable(const SaveTarget& target, bool tableExisted,
                                 const std::string& buildName, long expectedRecords) {
    const std::string& table = document_.CurrentTable;
    auto db = target.ws.OpenDatabase(target.path);
    if (expectedRecords >= 0) {
        const long built = db->TableDefs().Item(buildName)->RecordCount();
        if (built != expectedRecords)
            throw StepFailed(engine::err::kEngineFailure,
                             "作業テーブルの件数 (" + std::to_string(built) +
                                 ") がもとのテーブルの件数 (" + std::to_string(expectedRecords) +
                                 ") と一致しません。もとのテーブルは変更していません。");
    }
    try {
        engine::TransactionGuard replace(target.ws);
        if (tableExisted) db->TableDefs().Delete(StoredTableName(db.get(), table));
        db->TableDefs().Item(buildName)->SetName(table);
        replace.Commit();
    } catch (...) {
        // Rolled back by the guard when the commit did not happen.
        // The workspace commits every open file; one that failed after this file committed
        // leaves the table replaced, and the save is complete.
        if (StoredTableName(db.get(), buildName).empty() &&
            !StoredTableName(db.get(), table).empty())
            return;
        throw;
    }
}

void LayoutSave::CleanUpAfterSave(const SaveTarget& target, const std::string& buildName,
                                  bool fileCreated) {
    try {
        if (FileExists(target.path)) {
            auto db = target.ws.OpenDatabase(target.path);
            for (std::string table; !(table = StoredTableName(db.get(), buildName)).empty();)
                db->TableDefs().Delete(table);
            db->Close();
        }
    } catch (const engine::Error&) {
        // The next save finds a build table that is still there and offers to delete it.
    }
    if (fileCreated) {
        std::error_code ec;
        std::filesystem::remove(target.path, ec);
    }
    ReopenRows();
}

} // namespace tavorin
