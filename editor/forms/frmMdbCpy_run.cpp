// frmMdbCpy: the import run's commands. The core plans and runs the import (core/ImportPlan.h,
// core/ImportRun.h); the window gives it the two sides, closes its own connections to the
// user's files first, shows the counts as they run, and shows the sides afresh afterwards.
#include <QLabel>
#include <QLineEdit>

#include "QtText.h"
#include "core/ImportRun.h"
#include "engine/error.h"
#include "frmMdbCpy.h"
#include "modules/WindowPrompts.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
using engine::Variant;

namespace {

// The window's prompts, with the run's counts on its status line.
class RunPrompts : public WindowPrompts, public ProgressSink {
  public:
    explicit RunPrompts(frmMdbCpy& window) : WindowPrompts(window.App.Platform), window_(window) {}
    void Counts(long read, long written) override {
        window_.ReadCount = read;
        window_.WorkCount = written;
        window_.ShowCounts();
    }

  private:
    frmMdbCpy& window_;
};

} // namespace

void frmMdbCpy::mnCpyDel_Click() {
    RunImport(ImportMode::ReplaceAll);
}

void frmMdbCpy::mnCpyUpd1_Click(int index) {
    if (index < 1 || index > 3) return;
    RunImport(static_cast<ImportMode>(index));
}

ImportRequest frmMdbCpy::Request(ImportMode mode) const {
    ImportRequest request;
    request.mode = mode;
    request.targetPath = Sides[kTarget].File.FullPath;
    request.sourcePath = Sides[kSource].File.FullPath;
    request.scratchPath = ScratchPath;
    request.targetTable = Sides[kTarget].TableName;
    request.sourceTable = Sides[kSource].TableName;
    request.condition = Text5->text().toStdString();
    request.targetReadOnly = Sides[kTarget].ReadOnly;
    request.targetRefusal = Sides[kTarget].Refusal;
    request.key = Key;
    return request;
}

void frmMdbCpy::ShowCounts() {
    Label2->setText(
        Q("読込件数 ＝ ") +
        QString::fromStdString(engine::Str(Variant::Long(static_cast<int32_t>(ReadCount)))) +
        Q("   作業件数 ＝ ") +
        QString::fromStdString(engine::Str(Variant::Long(static_cast<int32_t>(WorkCount)))));
    Label2->repaint();
}

void frmMdbCpy::RunImport(ImportMode mode) {
    LastRun = ImportOutcome{};
    RunPrompts prompts(*this);
    const ImportRequest request = Request(mode);
    const std::optional<engine::CopyPlan> plan = PlanImport(request, Work(kTarget), prompts);
    if (!plan) return;
    // The window's own connections to the user's files go before the run.
    for (int side = 0; side < 2; ++side) {
        CloseRecordView(side);
        Sides[static_cast<size_t>(side)].Db.reset();
    }
    if (mode == ImportMode::ReplaceAll) {
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
    try {
        tavorin::RunImport(*App.Store.Ws, request, *plan, runPath, prompts, prompts, LastRun);
    } catch (const std::exception& e) {
        if (const auto* engineError = dynamic_cast<const engine::Error*>(&e))
            App.Platform.MsgBoxDetails(
                QString::fromStdString(
                    "Error; " +
                    engine::Str(Variant::Long(static_cast<int32_t>(engineError->Number()))) + "\r" +
                    engineError->Description()),
                QString::fromStdString(engineError->Detail()));
        else
            ShowUnexpectedError(App.Platform, e);
        prompts.Say("作業を取り消します。");
    }
    if (!LastRun.failed) {
        ClearSideTable(kTarget);
        ClearSideTable(kSource);
    } else {
        CFLDDSP(kTarget, Sides[kTarget].FirstRow);
        CFLDDSP(kSource, Sides[kSource].FirstRow);
    }
    Text1[0]->setFocus();
}

} // namespace tavorin
