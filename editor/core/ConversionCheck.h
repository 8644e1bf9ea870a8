// The conversion check: the save's conversion of every record of the old table into the new
// layout, run without writing anything. For each field of the new layout it counts the values
// the save would cut to the new size, refuse (which stops the save) or turn into Null or the
// empty text, with a few examples each, and it names the record the save would stop at with
// the message the save would then show.
//
// It runs over the entries of FieldMap as a save fills them (BuildFieldMap) and converts each
// value through the engine's check-only run of the copy (engine::CheckCopy), which converts
// as the save's statement does and reads the old table once, in the order the save reads it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/FieldMap.h"
#include "core/LayoutDocument.h"
#include "engine/copy_plan.h"
#include "engine/database.h"
#include "engine/recordset.h"
#include "engine/tabledef.h"

namespace engine {
class Workspace;
}

namespace tavorin {

class UserPrompts;

// A field of the table a save would build, and whether it refuses Null (a member of the
// primary key or of a required index).
using TargetField = engine::CheckTarget;

// The fields of a table definition that is not appended yet, as the build table will hold them.
std::vector<TargetField> TargetFieldsOf(engine::TableDef& definition);

struct CheckExample {
    std::string record;   // the old primary key's values ("ID=5"), else the position ("5 件目")
    std::string oldValue; // as text; "(Null)" for Null
    std::string newValue; // as the save stores it; for a refused value, the reason
};

struct FieldCheck {
    static constexpr size_t kExamples = 20;
    std::string name; // field of the new layout
    long cut = 0;     // texts longer than the new size in code page 932 bytes
    long failed = 0;  // values the save refuses
    long blanked = 0; // values that were something and become Null or the empty text
    std::vector<CheckExample> cutExamples, failedExamples, blankedExamples;
};

struct ConversionReport {
    std::vector<FieldCheck> fields; // every field of the new layout, in FieldMap order
    long records = 0;               // records read
    bool cancelled = false;         // stopped by the progress callback: counts are partial
    // The first record with a refused value (position 1 = the first record read; 0 = none),
    // and the message the save shows when it stops there.
    long stopPosition = 0;
    std::string stopRecord;
    std::string stopMessage;

    long TotalCut() const;
    long TotalFailed() const;
    long TotalBlanked() const;
    // The report as tab-separated lines: a heading, one line per field, one per example
    // under its field, and the total line.
    std::string TabSeparated() const;
};

// Checks map's entries 1..count against the records of oldTable of db. targets are the new
// layout's fields (TargetFieldsOf the table a save would build). progress is called about every
// thousand records with the count read; when it returns false the check stops. Engine errors
// (a file that cannot be read) propagate; the file is never written.
ConversionReport CheckConversion(engine::Database& db, const FieldMapTable& map,
                                 const std::string& oldTable,
                                 const std::vector<TargetField>& targets, int count,
                                 const std::function<bool(long)>& progress);

// A check ready to run: the file and its old table, the conversion table's entries 1..count
// (its own, so that a save meanwhile does not change what the check reads), and the fields of
// the table a save would build.
struct ConversionCheckPlan {
    engine::DatabasePtr file;
    std::string oldTable;
    FieldMapTable map;
    std::vector<TargetField> targets;
    int count = 0;
    // CheckConversion over the plan.
    ConversionReport Run(const std::function<bool(long)>& progress) const;
};

// The check of the layout last validated as a save would carry it into the file at path:
// FieldMap filled from the work rows of work (nothing, its message said through prompts, when
// it would pass 999 entries), and the document's table defined over settings without building
// it. Engine errors (a file that cannot be opened) propagate.
std::optional<ConversionCheckPlan>
PlanConversionCheck(engine::Workspace& ws, const std::string& path, const std::string& oldTable,
                    LayoutDocument& document, engine::Database& work, const IndexSettings& settings,
                    UserPrompts& prompts);

} // namespace tavorin
