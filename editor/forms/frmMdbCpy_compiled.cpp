// frmMdbCpy: the import run as the engine's copy plan (engine/copy_plan.h), run as one
// statement on the workspace's connection, which reaches the source and the target file alike.
// The plan takes FieldMap's links and conversions, the run's mode and its condition, and the
// key fields of the target's primary index as the key entries name them. A plan the statement
// does not cover, and a run whose statement meets a value or a record that fails, are left to
// the engine's record-by-record run of the same plan (frmMdbCpy_run.cpp), which starts afresh
// and stops at the first value that fails, which the window reports. Any other engine error
// (the disk, a lock) ends the run as it would end the record-by-record one.
#include <QElapsedTimer>

#include <filesystem>
#include <optional>

#include "engine/copy_plan.h"
#include "engine/error.h"
#include "engine/workspace.h"
#include "frmMdbCpy.h"
#include "frmMdbCpy_run.h"
#include "modules/WorkStore.h"

namespace tavorin {
namespace fs = std::filesystem;
using importrun::SameFile;
using importrun::Trimmed;

engine::CopyPlan frmMdbCpy::ImportPlan(RunMode mode) const {
    engine::CopyPlan plan;
    switch (mode) {
    case RunMode::ReplaceAll:
        plan.mode = engine::CopyMode::ReplaceAll;
        break;
    case RunMode::AddOrUpdate:
        plan.mode = engine::CopyMode::AddOrUpdate;
        break;
    case RunMode::AddNew:
        plan.mode = engine::CopyMode::AddOnly;
        break;
    case RunMode::UpdateExisting:
        plan.mode = engine::CopyMode::UpdateOnly;
        break;
    }
    plan.sourceTable = Sides[kSource].TableName;
    plan.targetTable = Sides[kTarget].TableName;
    plan.sourceStatement = SourceStatement();
    plan.keyIndex = PrimaryIndexName;
    for (int r = 1; r <= KeyCount && mode != RunMode::ReplaceAll; ++r)
        plan.keyFields.push_back(importrun::SizeNumber(KeyEntry[static_cast<size_t>(r)]));
    for (int j = 1; j <= FieldMapTable::kEntries && !FieldMap(j, 2).empty(); ++j) {
        engine::CopyField field;
        field.target = FieldMap(j, 2);
        field.autoNumber = SameText(FieldMap(j, 3), kAutoNumberType);
        field.textual = SameText(FieldMap(j, 3), "dbText") || SameText(FieldMap(j, 3), "dbMemo");
        if (!Trimmed(FieldMap(j, 5)).empty()) {
            field.source = FieldMap(j, 5);
            field.conversion = ConversionForEntry(static_cast<int16_t>(j));
        }
        plan.fields.push_back(std::move(field));
    }
    return plan;
}

bool frmMdbCpy::RunCompiled(RunMode mode, engine::DatabasePtr& targetDb, engine::DatabasePtr& sourceDb,
                            std::optional<engine::TransactionGuard>& transaction) {
    const bool replaceAll = mode == RunMode::ReplaceAll;
    const Side& target = Sides[kTarget];
    const Side& source = Sides[kSource];
    const bool sameTable = SameFile(source.File.FullPath, target.File.FullPath) && SameText(source.TableName, target.TableName);
    // A keyed run over one table reads the records it writes; Seek takes ten key values at most.
    if (!replaceAll && (sameTable || KeyCount > 10)) return false;
    int count = 0;
    while (count < FieldMapTable::kEntries && !FieldMap(count + 1, 2).empty()) ++count;
    if (count < 1) return false;
    auto decline = [&] {
        sourceDb.reset();
        targetDb.reset();
        return false;
    };

    std::optional<engine::PreparedImport> run;
    try {
        const engine::CopyPlan plan = ImportPlan(mode);
        std::string sourcePath = source.File.FullPath;
        if (replaceAll && sameTable) {
            std::error_code ec;
            fs::copy_file(sourcePath, ScratchPath, fs::copy_options::overwrite_existing, ec);
            if (ec) return decline();
            sourcePath = ScratchPath;
        }
        sourceDb = Ws->OpenDatabase(sourcePath);
        targetDb = Ws->OpenDatabase(target.File.FullPath);
        // Whatever fails in preparing the statement, the record-by-record run meets in its own
        // words.
        run = engine::PreparedImport::Prepare(*sourceDb, *targetDb, plan);
    } catch (const engine::Error&) {
        return decline();
    }
    if (!run) return decline();

    QElapsedTimer shown;
    shown.start();
    const engine::PreparedImport::Result result = run->Run(*Ws, transaction, [&](const engine::CopyCounts& counts) {
        // The counts run visibly, at screen rate rather than once per record.
        if (shown.elapsed() < 50) return;
        ReadCount = counts.read;
        WorkCount = counts.written;
        ShowCounts();
        shown.restart();
    });
    ReadCount = result.counts.read;
    WorkCount = result.counts.written;
    if (result.failure) LastCompiledFailure = *result.failure;
    if (!result.done) return decline();
    LastRunCompiled = true;
    LastRunAsTheyAre = result.asTheyAre;
    LastRunWholeRecords = result.wholeRecords;
    return true;
}

} // namespace tavorin
