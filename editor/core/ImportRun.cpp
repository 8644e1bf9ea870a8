#include "core/ImportRun.h"

#include <chrono>
#include <filesystem>
#include <optional>

#include "core/ScreenRate.h"
#include "core/TypeVocabulary.h"
#include "core/UserPrompts.h"
#include "core/ValueFailure.h"
#include "engine/database.h"
#include "engine/error.h"
#include "engine/transaction_guard.h"
#include "engine/workspace.h"

namespace tavorin {
namespace fs = std::filesystem;
using engine::Variant;

namespace {

const char* const kCancelled = "作業を取り消します。";

// Two paths name the same file: the same text, or the same file reached another way.
bool SameFile(const std::string& a, const std::string& b) {
    if (SameText(a, b)) return true;
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

bool SameTable(const ImportRequest& request) {
    return SameFile(request.sourcePath, request.targetPath) &&
           SameText(request.sourceTable, request.targetTable);
}

// The counts shown at screen rate rather than once per record.
class ShownCounts {
  public:
    explicit ShownCounts(ProgressSink& sink) : sink_(sink) {}
    void Offer(const engine::CopyCounts& counts) {
        if (rate_.Due()) sink_.Counts(counts.read, counts.written);
    }

  private:
    ProgressSink& sink_;
    ScreenRate rate_;
};

// The run's connections and transaction. The databases stay open until the transaction has
// ended: a connection that goes away inside it takes its changes with it.
struct RunState {
    engine::DatabasePtr target;
    engine::DatabasePtr source;
    // Declared after the databases, so that it ends before they close.
    std::optional<engine::TransactionGuard> transaction;

    // Rolls back what is still open; a failing rollback has nothing more to tell the user.
    void RollBack() { transaction.reset(); }
    void Close() {
        source.reset();
        target.reset();
    }
};

// The source as the run reads it: a copy of the file where the target's own table is emptied
// first. Nothing when the copy could not be made.
std::optional<std::string> SourceToRead(const ImportRequest& request) {
    if (request.mode != ImportMode::ReplaceAll || !SameTable(request)) return request.sourcePath;
    std::error_code ec;
    fs::copy_file(request.sourcePath, request.scratchPath, fs::copy_options::overwrite_existing,
                  ec);
    if (ec) return std::nullopt;
    return request.scratchPath;
}

// The run as the engine's statements; false, with nothing left open or changed, when they
// decline the plan or fail at a value or a record.
bool RunCompiled(engine::Workspace& ws, const ImportRequest& request, const engine::CopyPlan& plan,
                 RunState& run, ShownCounts& rate, ImportOutcome& outcome) {
    const bool replaceAll = request.mode == ImportMode::ReplaceAll;
    // A keyed run over one table reads the records it writes; Seek takes ten key values at most.
    if (!replaceAll && (SameTable(request) || request.key.fields.size() > 10)) return false;
    if (plan.fields.empty()) return false;
    auto decline = [&] {
        run.Close();
        return false;
    };
    std::optional<engine::PreparedImport> prepared;
    try {
        const std::optional<std::string> sourcePath = SourceToRead(request);
        if (!sourcePath) return decline();
        run.source = ws.OpenDatabase(*sourcePath);
        run.target = ws.OpenDatabase(request.targetPath);
        // Whatever fails in preparing the statements, the record-by-record run meets in its
        // own words.
        prepared = engine::PreparedImport::Prepare(*run.source, *run.target, plan);
    } catch (const engine::Error&) {
        return decline();
    }
    if (!prepared) return decline();
    const engine::PreparedImport::Result result =
        prepared->Run(ws, run.transaction, [&](const engine::CopyCounts& counts) {
            outcome.counts = counts;
            rate.Offer(counts);
        });
    outcome.counts = result.counts;
    if (result.failure) outcome.compiledFailure = *result.failure;
    if (!result.done) return decline();
    outcome.compiled = true;
    outcome.asTheyAre = result.asTheyAre;
    outcome.wholeRecords = result.wholeRecords;
    return true;
}

// The run record by record, in one transaction it begins: false when a value failed (said,
// after the counts it stopped at).
bool RunRecords(engine::Workspace& ws, const ImportRequest& request, const engine::CopyPlan& plan,
                RunState& run, ShownCounts& rate, ProgressSink& progress, UserPrompts& prompts,
                ImportOutcome& outcome) {
    // The target's records go before the source's are read: the same table of the same file
    // is read from a copy.
    const std::optional<std::string> sourcePath = SourceToRead(request);
    if (!sourcePath) engine::Throw(engine::err::kDiskIo);
    if (request.mode == ImportMode::ReplaceAll) {
        run.source = ws.OpenDatabase(*sourcePath);
        run.target = ws.OpenDatabase(request.targetPath);
    } else {
        run.target = ws.OpenDatabase(request.targetPath);
        run.source = ws.OpenDatabase(*sourcePath);
    }
    const engine::RecordCopyResult result = engine::CopyRecordByRecord(
        *run.source, *run.target, plan, ws, run.transaction, [&](const engine::CopyCounts& counts) {
            // The counts stay exact for a run that ends in an error.
            outcome.counts = counts;
            rate.Offer(counts);
        });
    outcome.counts = result.counts;
    if (result.done) return true;
    progress.Counts(outcome.counts.read, outcome.counts.written);
    prompts.Say(ValueFailureText(result));
    return false;
}

} // namespace

void RunImport(engine::Workspace& ws, const ImportRequest& request, const engine::CopyPlan& plan,
               ImportPath path, UserPrompts& prompts, ProgressSink& progress,
               ImportOutcome& outcome) {
    outcome = ImportOutcome{};
    const bool replaceAll = request.mode == ImportMode::ReplaceAll;
    RunState run;
    ShownCounts rate(progress);
    try {
        const bool compiled =
            path == ImportPath::Compiled && RunCompiled(ws, request, plan, run, rate, outcome);
        if (!compiled)
            outcome.failed = !RunRecords(ws, request, plan, run, rate, progress, prompts, outcome);
        progress.Counts(outcome.counts.read, outcome.counts.written);
        // The source file leaves the transaction unchanged before it ends, so that the commit
        // has the target's file alone to make permanent.
        run.source.reset();

        if (outcome.failed) {
            prompts.Say(kCancelled);
            run.RollBack();
        } else if (outcome.counts.written == 0 && !replaceAll) {
            prompts.Say("作業が終了しました。更新したデータはありませんでした。");
            run.RollBack();
        } else {
            const char* question = outcome.counts.written == 0
                                       ? "作業が終了しました。移入したデータはありませんでした。実"
                                         "行結果を更新しますか。"
                                       : "作業が終了しました。実行結果を更新しますか。";
            if (prompts.Ask(question, UserPrompts::Buttons::OkCancel) == UserPrompts::Answer::Ok) {
                run.transaction->Commit();
                outcome.committed = true;
                prompts.Say("実行結果を更新しました。");
            } else {
                run.RollBack();
                prompts.Say("実行結果を破棄しました。");
            }
        }
    } catch (...) {
        // The counts as the run stopped, for the error the caller shows.
        outcome.failed = true;
        progress.Counts(outcome.counts.read, outcome.counts.written);
        run.RollBack();
        run.Close();
        throw;
    }
    run.RollBack();
    run.Close();
}

} // namespace tavorin
