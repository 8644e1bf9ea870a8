// The import's plan: what the user asked of a run (its mode, the two tables, the condition),
// the target's fields with their links as the target's work rows hold them, the checks that
// refuse a run before anything is opened, and the engine's copy plan of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/ImportStructure.h"
#include "engine/copy_plan.h"

namespace engine {
class Recordset;
}

namespace tavorin {

class UserPrompts;

// Replace all empties the target and adds every source record. The keyed modes search the
// target's primary index for each source record's key: add or update, add new keys only,
// update existing keys only.
enum class ImportMode { ReplaceAll = 0, AddOrUpdate = 1, AddNew = 2, UpdateExisting = 3 };

// What a run is asked to do.
struct ImportRequest {
    ImportMode mode = ImportMode::ReplaceAll;
    std::string targetPath;
    std::string sourcePath;
    // Where the source file is copied when it is the target's own table, read while the target
    // is emptied.
    std::string scratchPath;
    std::string targetTable;
    std::string sourceTable;
    std::string condition; // the user's WHERE text, as typed
    bool targetReadOnly = false;
    std::string targetRefusal; // the engine's words for a read-only target
    ImportKey key;             // the target's primary key
};

// One target field and its link (a blank source: none), as its work row holds them.
struct ImportField {
    std::string target, targetType, targetSize;
    std::string source, sourceType, sourceSize;
};

// The target's fields from its work rows, in field order. Nothing (its message said) beyond
// 999 fields.
std::optional<std::vector<ImportField>> ReadImportFields(engine::Recordset& targetRows,
                                                         UserPrompts& prompts);

// Per member of the key, its 1-based position among fields by name (SameText); 0 for none.
std::vector<long> KeyPositions(const ImportKey& key, const std::vector<ImportField>& fields);

// "SELECT * FROM [table]", with " WHERE " and condition unless it is blank.
std::string SourceStatement(const std::string& table, const std::string& condition);

// The run as the engine's copy plan: each field's link and conversion, the mode, the
// condition, and for a keyed mode the key's fields by position.
engine::CopyPlan ImportPlan(const ImportRequest& request, const std::vector<ImportField>& fields);

// The checks before anything is opened, each said in the window's words: a target that cannot
// be written; a keyed mode on a target without a primary key; a key field without a link (a
// keyed mode refuses, replace all asks whether to go on); more than 999 fields. Nothing when
// refused or the question is declined, else the plan.
std::optional<engine::CopyPlan> PlanImport(const ImportRequest& request,
                                           engine::Recordset& targetRows, UserPrompts& prompts);

} // namespace tavorin
