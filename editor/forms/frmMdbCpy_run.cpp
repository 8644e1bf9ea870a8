// frmMdbCpy: the import run. FieldMap is filled from the target's work rows (the target field as
// the new field, its linked source field as the old one) and made the engine's copy plan
// (frmMdbCpy_compiled.cpp), which the engine runs as statements or, where they decline or fail,
// record by record, inside one workspace transaction that ends with exactly one commit or
// rollback.
//
// Replace all empties the target and adds every source record. The keyed modes search the
// target's primary index for each source record's key: mode 1 adds or updates, mode 2 only adds
// new keys, mode 3 only updates existing ones.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>

#include "engine/copy_plan.h"
#include "engine/error.h"
#include "engine/workspace.h"
#include "frmMdbCpy.h"
#include "frmMdbCpy_run.h"
#include "modules/ValueFailure.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
namespace fs = std::filesystem;
using engine::Variant;
using importrun::SameFile;
using importrun::SizeNumber;
using importrun::Trimmed;

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* const kKeyQuestion =
    "キーフィールドの連結フィールドは必ず指定して下さい。\r"
    "もしこのまま実行すると、未指定のキー内容は、ゼロ又は空白になり、\r"
    "重複した値となる可能性があります。処理を続行しますか。";
const char* const kKeyRequired = "キーフィールドの連結フィールドは必ず指定して下さい。";
const char* const kCancelled = "作業を取り消します。";

} // namespace

bool frmMdbCpy::LoadFieldMap() {
    FieldMap.Clear();
    engine::Recordset& rows = Work(kTarget);
    int n = 0;
    if (!rows.Bof() || !rows.Eof()) {
        static const char* const kColumns[8] = {"FLD01", "FLD02", "FLD03", "FLD04",
                                                "FLD05", "FLD06", "FLD07", "FLD08"};
        for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
            if (++n > FieldMapTable::kEntries) {
                platform::MsgBox(Q("容量をこえました。作業できません。"));
                return false;
            }
            for (int c = 0; c < 8; ++c) FieldMap(n, c + 1) = engine::TextOf(rows.Value(kColumns[c]));
        }
    }
    for (int rank = 1; rank <= KeyCount; ++rank) {
        KeyEntry[static_cast<size_t>(rank)].clear();
        for (int j = 1; j <= n; ++j) {
            if (SameText(FieldMap(j, 2), KeyName[static_cast<size_t>(rank)])) {
                KeyEntry[static_cast<size_t>(rank)] = engine::Str(Variant::Long(j));
                break;
            }
        }
    }
    return true;
}

void frmMdbCpy::mnCpyDel_Click() {
    RunImport(RunMode::ReplaceAll);
}

void frmMdbCpy::mnCpyUpd1_Click(int index) {
    if (index < 1 || index > 3) return;
    RunImport(static_cast<RunMode>(index));
}

// Refusals before anything is opened: a target that cannot be written, and a keyed mode on a
// target without a primary key.
bool frmMdbCpy::RefuseTarget(RunMode mode) {
    if (Sides[kTarget].ReadOnly) {
        platform::MsgBox(QString::fromStdString(Sides[kTarget].Refusal.empty()
                                                    ? engine::DescriptionOf(engine::err::kReadOnly)
                                                    : Sides[kTarget].Refusal));
        return true;
    }
    if (mode != RunMode::ReplaceAll && KeyCount == 0) {
        platform::MsgBox(Q("移入先テーブルに主キーがありません。主キーで検索する移入はできません。"));
        return true;
    }
    return false;
}

bool frmMdbCpy::CheckKeyLinks(RunMode mode) {
    for (int rank = 1; rank <= KeyCount; ++rank) {
        const long entry = SizeNumber(KeyEntry[static_cast<size_t>(rank)]);
        if (entry < 1 || !Trimmed(FieldMap(static_cast<int>(entry), 5)).empty()) continue;
        if (mode != RunMode::ReplaceAll) {
            platform::MsgBox(Q(kKeyRequired));
            return false;
        }
        if (platform::MsgBox(Q(kKeyQuestion), platform::vbOKCancel) != platform::vbOK) return false;
    }
    return true;
}

void frmMdbCpy::PrepareRun() {
    for (int side = 0; side < 2; ++side) {
        CloseRecordView(side);
        Sides[static_cast<size_t>(side)].Db.reset();
    }
}

std::string frmMdbCpy::SourceStatement() const {
    std::string sql = "SELECT * " + std::string(" FROM ") + Bracketed(Sides[kSource].TableName);
    const std::string condition = Text5->text().toStdString();
    if (!Trimmed(condition).empty()) sql += " WHERE " + condition;
    return sql;
}

void frmMdbCpy::ShowCounts() {
    Label2->setText(Q("読込件数 ＝ ") + QString::fromStdString(engine::Str(Variant::Long(static_cast<int32_t>(ReadCount)))) +
                    Q("   作業件数 ＝ ") + QString::fromStdString(engine::Str(Variant::Long(static_cast<int32_t>(WorkCount)))));
    Label2->repaint();
}

// The run record by record, by the engine, in one transaction it begins: true when a value
// failed (its message has been shown, after the counts it stopped at).
bool frmMdbCpy::RunRecords(RunMode mode, engine::DatabasePtr& targetDb, engine::DatabasePtr& sourceDb,
                           std::optional<engine::TransactionGuard>& transaction) {
    const Side& target = Sides[kTarget];
    const Side& source = Sides[kSource];
    const engine::CopyPlan plan = ImportPlan(mode);
    std::string sourcePath = source.File.FullPath;
    // The target's records go before the source's are read: the same table of the same file is
    // read from a copy.
    if (mode == RunMode::ReplaceAll && SameFile(sourcePath, target.File.FullPath) &&
        SameText(source.TableName, target.TableName)) {
        std::error_code ec;
        fs::copy_file(sourcePath, ScratchPath, fs::copy_options::overwrite_existing, ec);
        if (ec) engine::Throw(engine::err::kDiskIo);
        sourcePath = ScratchPath;
    }
    if (mode == RunMode::ReplaceAll) {
        sourceDb = Ws->OpenDatabase(sourcePath);
        targetDb = Ws->OpenDatabase(target.File.FullPath);
    } else {
        targetDb = Ws->OpenDatabase(target.File.FullPath);
        sourceDb = Ws->OpenDatabase(sourcePath);
    }

    QElapsedTimer shown;
    shown.start();
    auto progress = [&](const engine::CopyCounts& counts) {
        // The counts stay current for a run that ends in an error, and run visibly, at screen
        // rate rather than once per record.
        ReadCount = counts.read;
        WorkCount = counts.written;
        if (shown.elapsed() < 50) return;
        ShowCounts();
        shown.restart();
    };
    const engine::RecordCopyResult result =
        engine::CopyRecordByRecord(*sourceDb, *targetDb, plan, *Ws, transaction, progress);
    ReadCount = result.counts.read;
    WorkCount = result.counts.written;
    if (result.done) return false;
    ShowCounts();
    platform::MsgBox(ValueFailureMessage(result));
    return true;
}

void frmMdbCpy::RunImport(RunMode mode) {
    LastRunCompiled = false;
    LastRunAsTheyAre = false;
    LastRunWholeRecords = false;
    LastCompiledFailure.clear();
    if (RefuseTarget(mode)) return;
    if (!LoadFieldMap()) {
        platform::MsgBox(Q(kCancelled));
        return;
    }
    if (!CheckKeyLinks(mode)) return;
    PrepareRun();
    const bool replaceAll = mode == RunMode::ReplaceAll;
    if (replaceAll) {
        Label2->setText(Q("データの移入を開始します。しばらくお待ち下さい。"));
        Label2->repaint();
    }
    ReadCount = 0;
    WorkCount = 0;

    // The work databases stay out of the run's transaction: it covers the user's files alone.
    // They open again on their next use.
    for (Side& s : Sides) {
        if (s.WorkRs) s.WorkRs->Close();
        s.WorkRs.reset();
        if (s.WorkDb) s.WorkDb->Close();
        s.WorkDb.reset();
    }
    engine::DatabasePtr targetDb, sourceDb;
    bool failed = false;
    // The databases stay open until the transaction has ended: a connection that goes away
    // inside it takes its changes with it.
    auto closeDatabases = [&] {
        sourceDb.reset();
        targetDb.reset();
    };
    // The run's transaction; declared after the databases, so that it ends before they close.
    std::optional<engine::TransactionGuard> transaction;
    // Rolls back what is still open; a failing rollback has nothing more to tell the user.
    auto rollBack = [&] { transaction.reset(); };

    try {
        const bool compiled = runPath == RunPath::Compiled && RunCompiled(mode, targetDb, sourceDb, transaction);
        if (!compiled) failed = RunRecords(mode, targetDb, sourceDb, transaction);
        ShowCounts();
        // The source file leaves the transaction unchanged before it ends, so that the commit
        // has the target's file alone to make permanent.
        sourceDb.reset();

        if (failed) {
            platform::MsgBox(Q(kCancelled));
            rollBack();
        } else if (WorkCount == 0 && !replaceAll) {
            platform::MsgBox(Q("作業が終了しました。更新したデータはありませんでした。"));
            rollBack();
        } else {
            const char* question = WorkCount == 0
                                       ? "作業が終了しました。移入したデータはありませんでした。実行結果を更新しますか。"
                                       : "作業が終了しました。実行結果を更新しますか。";
            if (platform::MsgBox(Q(question), platform::vbOKCancel) == platform::vbOK) {
                transaction->Commit();
                platform::MsgBox(Q("実行結果を更新しました。"));
            } else {
                rollBack();
                platform::MsgBox(Q("実行結果を破棄しました。"));
            }
        }
    } catch (const std::exception& e) {
        // The counts as the run stopped, while its error is on screen.
        ShowCounts();
        if (const auto* engineError = dynamic_cast<const engine::Error*>(&e))
            platform::MsgBoxDetails(
                QString::fromStdString("Error; " + engine::Str(Variant::Long(static_cast<int32_t>(engineError->Number()))) +
                                       "\r" + engineError->Description()),
                QString::fromStdString(engineError->Detail()));
        else
            ShowUnexpectedError(e);
        rollBack();
        closeDatabases();
        platform::MsgBox(Q(kCancelled));
        failed = true;
    }
    rollBack();
    closeDatabases();
    if (!failed) {
        ClearSideTable(kTarget);
        ClearSideTable(kSource);
    } else {
        CFLDDSP(kTarget, Sides[kTarget].FirstRow);
        CFLDDSP(kSource, Sides[kSource].FirstRow);
    }
    Text1[0]->setFocus();
}

} // namespace tavorin
