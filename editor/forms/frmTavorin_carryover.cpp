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
#include "modules/ValueFailure.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
namespace {

using engine::Variant;

long NumberOf(const std::string& text) {
    long n = 0;
    for (char c : engine::Trim(text)) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace

bool BuildFieldMap(int& count) {
    FieldMap.Clear();
    count = 0;
    auto rows = WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01 ", engine::RecordsetType::Snapshot);
    auto text = [&](const char* column) { return engine::TextOf(rows->Value(column)); };
    auto put = [&](const std::string& newName, const std::string& oldName, const std::string& oldType,
                   const std::string& oldSize, const std::string& oldRepeat) {
        if (++count > FieldMapTable::kEntries) return false;
        FieldMap(count, 1) = engine::Str(Variant::Long(count));
        FieldMap(count, 2) = newName;
        FieldMap(count, 3) = text("FLD03");
        FieldMap(count, 4) = text("FLD04");
        FieldMap(count, 5) = oldName;
        FieldMap(count, 6) = oldType;
        FieldMap(count, 7) = oldSize;
        FieldMap(count, 8) = oldRepeat;
        return true;
    };
    bool fits = true;
    while (fits && !rows->Eof()) {
        const std::string name = text("FLD02"), oldName = text("FLD13"), oldType = text("FLD14"),
                          oldSize = text("FLD15"), oldRepeat = text("FLD16");
        const long repeat = NumberOf(text("FLD05"));
        if (engine::Trim(text("FLD05")).empty()) {
            // A group joined back into one field keeps the data of its first copy.
            fits = put(name, oldRepeat.empty() || oldName.empty() ? oldName : oldName + "_01", oldType, oldSize,
                       oldRepeat);
        } else {
            const long oldCount = NumberOf(oldRepeat);
            for (long i = 1; fits && i <= repeat; ++i) {
                const std::string suffix = std::to_string(i + 100).substr(1);
                if (oldRepeat.empty()) {
                    fits = i == 1 ? put(name + "_" + suffix, oldName, oldType, oldSize, oldRepeat)
                                  : put(name + "_" + suffix, "", "", "", "");
                } else if (i <= oldCount && !oldName.empty()) {
                    fits = put(name + "_" + suffix, oldName + "_" + suffix, oldType, oldSize, oldRepeat);
                } else {
                    fits = put(name + "_" + suffix, "", "", "", "");
                }
            }
        }
        rows->MoveNext();
    }
    rows->Close();
    if (!fits) platform::MsgBox(QString::fromUtf8("容量をこえました。データの変換作業はできません。"));
    return fits;
}

namespace {

// The carry-over as the engine's copy plan: FieldMap's entries, each new field taking its old
// field through the entry's conversion, an auto number keeping the numbers of one that was an
// auto number already.
engine::CopyPlan CarryPlan(const std::string& oldTable, const std::string& buildTable, int count) {
    engine::CopyPlan plan;
    plan.sourceTable = oldTable;
    plan.targetTable = buildTable;
    for (int j = 1; j <= count; ++j) {
        engine::CopyField field;
        field.target = FieldMap(j, 2);
        field.source = engine::Trim(FieldMap(j, 5));
        field.autoNumber = SameText(FieldMap(j, 3), kAutoNumberType);
        field.keepNumbers = field.autoNumber && SameText(FieldMap(j, 6), kAutoNumberType);
        field.textual = SameText(FieldMap(j, 3), "dbText") || SameText(FieldMap(j, 3), "dbMemo");
        if (!field.source.empty() && !field.autoNumber) field.conversion = ConversionForEntry(static_cast<int16_t>(j));
        plan.fields.push_back(std::move(field));
    }
    return plan;
}

} // namespace

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
