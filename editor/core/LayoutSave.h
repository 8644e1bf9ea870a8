// Saving a layout: the new table is built complete under a temporary name beside the old one,
// the old records are carried across in one transaction, and only then is the old table
// replaced, in one transaction of its own. Every way out before that leaves the old table as it
// was and no build table behind. A save into a genuine Jet file runs all of it in one
// transaction; a file that takes no change is refused before anything is asked.
//
// The save shows nothing itself: what it says and asks goes through UserPrompts, the carried
// count through a ProgressLine, and where the cursor goes afterwards is in its outcome. Engine
// failures of the user's file are said and end the save; those of the work database propagate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/FieldMap.h"
#include "core/LayoutDocument.h"
#include "engine/database.h"
#include "engine/recordset.h"

namespace engine {
class Workspace;
class TransactionGuard;
} // namespace engine

namespace tavorin {

class UserPrompts;
class ProgressLine;

// What a save works on besides the document: the workspace, the file, and the user.
struct SaveTarget {
    engine::Workspace& ws;
    std::string path;
    UserPrompts& prompts;
    ProgressLine& progress;
};

// How a save ended, and where the view places the cursor.
struct SaveOutcome {
    bool saved = false;   // the table is replaced in the file
    bool carried = false; // records were carried over: the old table's pages are free now
    enum class Cursor {
        Stay,      // nowhere new
        TableName, // the table name box, its text kept (a name the engine refuses)
        FirstCell, // the first cell of the grid (no primary key, and the user stopped)
        Fault,     // the fault of the layout: errorCode and errorRow as ValidateLayout gave them
    };
    Cursor cursor = Cursor::Stay;
    int16_t errorCode = 0;
    int32_t errorRow = 0;
};

// The temporary name a table is built under: the table name and the half-width "ﾀﾞﾐ".
std::string BuildNameOf(const std::string& table);
// A table is built under its temporary name, so both names must be ones the engine takes: the
// message refusing name (naming the user's own name), or "" when the save takes it.
std::string TableNameFault(const std::string& name);

class LayoutSave {
  public:
    enum class CarryResult { Committed, RolledBack, EngineFailed };
    // The records go across in one compiled statement, falling back to the record-by-record
    // copy when it fails; RowByRow always copies record by record (tests compare the two).
    enum class CarryPath { Compiled, RowByRow };

    // The document and the handles of its work store (which the save closes and re-opens).
    LayoutSave(LayoutDocument& document, engine::DatabasePtr& workDb, engine::RecordsetPtr& rows);

    // Saves the document's layout as its CurrentTable in target.path. settings are the index
    // settings of the layout, validated in place (defaults taken where missing). SaveAbandoned
    // is -1 when the save was abandoned or failed. Errors of the work database propagate,
    // SaveAbandoned set and the rows' recordset open again.
    SaveOutcome SaveTable(const SaveTarget& target, IndexSettings& settings);

    // Copies every record of oldTable into buildTable with value conversion in one transaction,
    // after the user accepted the result; the count read shows on target.progress at screen
    // rate and at its end. The engine error of an EngineFailed result is in LastEngineError.
    CarryResult CarryOverData(const SaveTarget& target, const std::string& oldTable,
                              const std::string& buildTable);

    // ---- State of the saves ----
    std::string SourceTableName; // the table a save under a new name started from
    int16_t SaveAbandoned = 0;
    // The file was on disk when the layout was loaded: a save must not make a new, empty file
    // of that name once it has gone (deleted by another program meanwhile).
    bool LayoutFileOnDisk = false;
    CarryPath carryPath = CarryPath::Compiled;
    bool LastCarryCompiled = false; // the last carry-over was done by the compiled statement
    std::string LastCarryFailure;   // why the last compiled statement failed, if it did
    struct EngineFailure {
        long number = 0;
        std::string description;
    };
    EngineFailure LastEngineError;

  private:
    SaveOutcome SaveTableSteps(const SaveTarget& target, IndexSettings& settings);
    bool RefuseReadOnlyTarget(const SaveTarget& target);
    void BuildTableDefinition(engine::Database& db, const std::string& buildName,
                              const IndexSettings& settings);
    void WriteDescriptions(engine::Database& db, const std::string& buildName);
    void ReplaceOldTable(const SaveTarget& target, bool tableExisted, const std::string& buildName,
                         long expectedRecords);
    void CleanUpAfterSave(const SaveTarget& target, const std::string& buildName, bool fileCreated);
    void ReopenRows();
    // Both leave the records carried in transaction, which ConfirmCarry commits or rolls back.
    bool CarryCompiled(const SaveTarget& target, const std::string& oldTable,
                       const std::string& buildTable, int count,
                       std::optional<engine::TransactionGuard>& transaction);
    CarryResult CarryRowByRow(const SaveTarget& target, const std::string& oldTable,
                              const std::string& buildTable, int count,
                              std::optional<engine::TransactionGuard>& transaction);
    CarryResult ConfirmCarry(const SaveTarget& target, engine::TransactionGuard& transaction);

    LayoutDocument& document_;
    engine::DatabasePtr& workDb_;
    FieldMapTable fieldMap_; // the conversion table of the save in progress
    engine::RecordsetPtr& rows_;
    bool tableReplaced_ = false; // the save reached its end in the file
    long carriedRecords_ = 0;    // records the last carry-over read from the old table
};

} // namespace tavorin
