// Carrying the records of the old table into the build table on save: the conversion table
// FieldMap from the layout's as-loaded columns, then the engine's copy plan of it, run in one
// transaction as one INSERT ... SELECT whose SQL functions convert every value to its new type
// and size. When the engine declines the plan or that statement fails (a value that does not
// convert, a key taken twice, a full disk), the transaction is rolled back and the engine runs
// the plan again record by record, which stops at the first value that does not convert; the
// user is told it in the layout's terms.
#include <chrono>

#include "core/FieldMap.h"
#include "core/LayoutSave.h"
#include "core/ScreenRate.h"
#include "core/UserPrompts.h"
#include "core/ValueFailure.h"
#include "engine/copy_plan.h"
#include "engine/error.h"
#include "engine/transaction_guard.h"
#include "engine/types.h"
#include "engine/variant.h"
#include "engine/workspace.h"

namespace tavorin {
namespace {

using engine::Variant;

// The carried count on the progress line at screen rate, rather than once per record; Final
// shows the exact count whatever the time.
class CarriedCount {
  public:
    explicit CarriedCount(ProgressLine& line) : line_(line) {}
    void Running(long count) {
        if (rate_.Due()) Final(count);
    }
    void Final(long count) {
        line_.Show("   作業件数 ＝ " + engine::Str(Variant::Long(static_cast<int32_t>(count))));
    }

  private:
    ProgressLine& line_;
    ScreenRate rate_;
};

} // namespace

LayoutSave::CarryResult LayoutSave::CarryOverData(const SaveTarget& target,
                                                  const std::string& oldTable,
                                                  const std::string& buildTable) {
    int count = 0;
    carriedRecords_ = 0;
    LastCarryCompiled = false;
    if (!BuildFieldMap(fieldMap_, *workDb_, target.prompts, count)) return CarryResult::RolledBack;
    std::optional<engine::TransactionGuard> transaction;
    if (carryPath == CarryPath::Compiled &&
        CarryCompiled(target, oldTable, buildTable, count, transaction)) {
        LastCarryCompiled = true;
        return ConfirmCarry(target, *transaction);
    }
    return CarryRowByRow(target, oldTable, buildTable, count, transaction);
}

bool LayoutSave::CarryCompiled(const SaveTarget& target, const std::string& oldTable,
                               const std::string& buildTable, int count,
                               std::optional<engine::TransactionGuard>& transaction) {
    if (count < 1) return false;
    auto userDb = target.ws.OpenDatabase(target.path);
    const engine::CopyPlan plan = CarryPlan(fieldMap_, oldTable, buildTable, count);
    std::optional<engine::PreparedCopy> copy = engine::PreparedCopy::Prepare(*userDb, plan);
    // A layout the statement does not cover is carried record by record.
    if (!copy) return false;

    CarriedCount shown(target.progress);
    transaction.emplace(target.ws);
    const engine::CopyResult result = copy->Run([&](long read) { shown.Running(read); });
    if (!result.copied) {
        LastCarryFailure = result.failure;
        transaction->Rollback();
        transaction.reset();
        return false;
    }
    LastCarryFailure.clear();
    carriedRecords_ = result.records;
    shown.Final(carriedRecords_);
    return true;
}

LayoutSave::CarryResult
LayoutSave::CarryRowByRow(const SaveTarget& target, const std::string& oldTable,
                          const std::string& buildTable, int count,
                          std::optional<engine::TransactionGuard>& transaction) {
    auto userDb = target.ws.OpenDatabase(target.path);
    const engine::CopyPlan plan = CarryPlan(fieldMap_, oldTable, buildTable, count);
    CarriedCount shown(target.progress);
    engine::RecordCopyResult result;
    try {
        result = engine::CopyRecordByRecord(
            *userDb, *userDb, plan, target.ws, transaction,
            [&](const engine::CopyCounts& counts) { shown.Running(counts.read); });
    } catch (const engine::Error& e) {
        // Before the copy began (the tables did not open) the save reports it as its other
        // steps do; once it has begun, as a failed carry-over.
        if (!transaction) throw;
        LastEngineError = {e.Number(), e.Description()};
        transaction->Rollback();
        return CarryResult::EngineFailed;
    }

    if (!result.done) target.prompts.Say(ValueFailureText(result));
    carriedRecords_ = result.counts.read;
    shown.Final(carriedRecords_);
    if (!result.done) {
        target.prompts.Say("データ変換ができませんでした。テーブルの保存を取り消します。");
        transaction->Rollback();
        return CarryResult::RolledBack;
    }
    return ConfirmCarry(target, *transaction);
}

LayoutSave::CarryResult LayoutSave::ConfirmCarry(const SaveTarget& target,
                                                 engine::TransactionGuard& transaction) {
    if (target.prompts.Ask("データ変換が終了しました。更新しますか。",
                           UserPrompts::Buttons::OkCancel) != UserPrompts::Answer::Ok) {
        transaction.Rollback();
        return CarryResult::RolledBack;
    }
    try {
        transaction.Commit();
    } catch (const engine::Error& e) {
        LastEngineError = {e.Number(), e.Description()};
        transaction.Rollback();
        return CarryResult::EngineFailed;
    }
    return CarryResult::Committed;
}

} // namespace tavorin
