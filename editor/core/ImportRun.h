// The import run: the plan (ImportPlan.h) carried out in one workspace transaction that ends
// with exactly one commit or rollback. It goes as the engine's statements where they cover the
// plan, and record by record where they decline or fail (or always, asked to), which names the
// first value that fails. The user decides at the end whether the result is kept.
#pragma once

#include <string>

#include "core/ImportPlan.h"
#include "engine/copy_plan.h"

namespace engine {
class Workspace;
}

namespace tavorin {

class ProgressSink;
class UserPrompts;

// Compiled: the statements first. RowByRow: record by record only (tests compare the two).
enum class ImportPath { Compiled, RowByRow };

// How the last run went.
struct ImportOutcome {
    engine::CopyCounts counts;   // records read, records written
    bool failed = false;         // stopped at a value, an engine error or the user's answer
    bool committed = false;      // the user kept the result
    bool compiled = false;       // done by the statements
    bool asTheyAre = false;      // ... copying the source's values as they are
    bool wholeRecords = false;   // ... copying the source's records whole
    std::string compiledFailure; // why the statements failed at a value or a record, if they did
};

// Runs plan for request through ws. Messages and the closing question go through prompts;
// progress sees the counts at screen rate and, last, the exact counts the run ended or stopped
// at. outcome is filled as the run goes. A value that fails ends the run rolled back (said);
// any other error is rolled back and propagates (the window says it). The user's files are
// closed when it returns.
void RunImport(engine::Workspace& ws, const ImportRequest& request, const engine::CopyPlan& plan,
               ImportPath path, UserPrompts& prompts, ProgressSink& progress,
               ImportOutcome& outcome);

} // namespace tavorin
