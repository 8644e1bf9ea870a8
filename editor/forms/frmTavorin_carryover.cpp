// Carrying the records of the old table into the build table on save: the conversion table
// FieldMap from the layout's as-loaded columns, then the engine's copy plan of it, run in one
// transaction as one INSERT ... SELECT whose SQL functions convert every value to its new type
// and size. When the engine declines the plan or that statement fails (a value that does not
// convert, a key taken twice, a full disk), the transaction is rolled back and the engine runs
// the plan again record by record, which stops at the first value that does not convert; the
// window reports it in the user's terms.
#include <QElapsedTimer>
#include <QLabel>
#include <QString>

#include "engine/copy_plan.h"
#include "engine/error.h"
#include "engine/names.h"
#include "engine/transaction_guard.h"
#include "engine/types.h"
#include "engine/variant.h"
#include "engine/workspace.h"
#include "forms/frmTavorin.h"
#include "modules/TavorinSub.h"
#include "modules/WindowPrompts.h"
#include "modules/ValueFailure.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {

using engine::Variant;

bool BuildFieldMap(int& count) {
    WindowPrompts prompts;
    return BuildFieldMap(*WorkDb, prompts, count);
}

frmTavorin::CarryResult frmTavorin::CarryOverData(const std::string& oldTable, const std::string& buildTable) {
    int count = 0;
    carriedRecords_ = 0;
    LastCarryCompiled = false;
    if (!BuildFieldMap(count)) return CarryResult::RolledBack;
    std::optional<engine::TransactionGuard> transaction;
    if (carryPath == CarryPath::Compiled && CarryCompiled(oldTable, buildTable, count, transaction)) {
        LastCarryCompiled = true;
        return ConfirmCarry(*transaction);
    }
    return CarryRowByRow(oldTable, buildTable, count, transaction);
}

void frmTavorin::ShowCarriedCount(long count) {
    Label6->setText(QString::fromUtf8("   作業件数 ＝ ") + QString::fromStdString(engine::Str(Variant::Long(count))));
    Label6->repaint();
}

bool frmTavorin::CarryCompiled(const std::string& oldTable, const std::string& buildTable, int count,
                               std::optional<engine::TransactionGuard>& transaction) {
    if (count < 1) return false;
    auto userDb = Ws->OpenDatabase(CurrentFile.FullPath);
    const engine::CopyPlan plan = CarryPlan(oldTable, buildTable, count);
    std::optional<engine::PreparedCopy> copy = engine::PreparedCopy::Prepare(*userDb, plan);
    // A layout the statement does not cover is carried record by record.
    if (!copy) return false;

    QElapsedTimer shown;
    shown.start();
    transaction.emplace(*Ws);
    const engine::CopyResult result = copy->Run([&](long read) {
        // The count runs visibly, at screen rate rather than once per record.
        if (shown.elapsed() < 50) return;
        ShowCarriedCount(read);
        shown.restart();
    });
    if (!result.copied) {
        LastCarryFailure = result.failure;
        transaction->Rollback();
        transaction.reset();
        return false;
    }
    LastCarryFailure.clear();
    carriedRecords_ = result.records;
    ShowCarriedCount(carriedRecords_);
    return true;
}

frmTavorin::CarryResult frmTavorin::CarryRowByRow(const std::string& oldTable, const std::string& buildTable, int count,
                                                  std::optional<engine::TransactionGuard>& transaction) {
    auto userDb = Ws->OpenDatabase(CurrentFile.FullPath);
    const engine::CopyPlan plan = CarryPlan(oldTable, buildTable, count);
    QElapsedTimer shown;
    shown.start();
    auto progress = [&](const engine::CopyCounts& counts) {
        // The count runs visibly, at screen rate rather than once per record.
        if (shown.elapsed() < 50) return;
        ShowCarriedCount(counts.read);
        shown.restart();
    };
    engine::RecordCopyResult result;
    try {
        result = engine::CopyRecordByRecord(*userDb, *userDb, plan, *Ws, transaction, progress);
    } catch (const engine::Error& e) {
        // Before the copy began (the tables did not open) the save reports it as its other
        // steps do; once it has begun, as a failed carry-over.
        if (!transaction) throw;
        lastEngineError_ = {e.Number(), e.Description()};
        transaction->Rollback();
        return CarryResult::EngineFailed;
    }

    if (!result.done)
        platform::MsgBox(ValueFailureMessage(result));
    carriedRecords_ = result.counts.read;
    ShowCarriedCount(carriedRecords_);
    if (!result.done) {
        platform::MsgBox(QString::fromUtf8("データ変換ができませんでした。テーブルの保存を取り消します。"));
        transaction->Rollback();
        return CarryResult::RolledBack;
    }
    return ConfirmCarry(*transaction);
}

frmTavorin::CarryResult frmTavorin::ConfirmCarry(engine::TransactionGuard& transaction) {
    if (platform::MsgBox(QString::fromUtf8("データ変換が終了しました。更新しますか。"), platform::vbOKCancel) !=
        platform::vbOK) {
        transaction.Rollback();
        return CarryResult::RolledBack;
    }
    try {
        transaction.Commit();
    } catch (const engine::Error& e) {
        lastEngineError_ = {e.Number(), e.Description()};
        transaction.Rollback();
        return CarryResult::EngineFailed;
    }
    return CarryResult::Committed;
}

} // namespace tavorin
