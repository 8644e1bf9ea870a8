// frmTavorin: printing the layout being edited, and every layout of the open file.
//
// Each command is one print job: the printer asks the user once (preview and print dialog, or
// a PDF file), whatever the number of tables. A job that cannot start or that fails shows one
// message; a cancelled one shows none; either way the layout and the work store stay as they
// were.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <filesystem>

#include "engine/database.h"
#include "engine/transaction_guard.h"
#include "engine/workspace.h"
#include "frmTavorin.h"
#include "modules/TavorinSub_print.h"
#include "modules/WorkStore.h"
#include "platform/printer.h"
#include "platform/prompts.h"
#include "platform/services.h"

namespace tavorin {
namespace {

// One print job, dropped unless it was finished.
class PrintJob {
  public:
    PrintJob(platform::Services& platform, const std::string& title)
        : platform_(platform), printer_(platform.Printer()) {
        QString error;
        started_ = printer_.StartJob(QString::fromStdString(title), error);
        if (!started_) platform_.MsgBox(error, platform::vbExclamation);
    }
    ~PrintJob() {
        if (started_ && !finished_) printer_.AbortJob();
    }
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    bool Started() const { return started_; }
    void Finish() {
        finished_ = true;
        const platform::PrintOutcome outcome = printer_.FinishJob();
        if (outcome.status == platform::PrintOutcome::Failed)
            platform_.MsgBox(outcome.message, platform::vbExclamation);
    }

  private:
    platform::Services& platform_;
    platform::Printer& printer_;
    bool started_ = false;
    bool finished_ = false;
};

// The print-all work database FormatTemp2.MDB, there only while the command runs.
class PrintAllStore {
  public:
    explicit PrintAllStore(WorkStore& store) : path_(store.PrintDbPath) {
        Remove(); // a left-over of a run that could not delete it
        try {
            CreateWorkDatabase(*store.Ws, path_);
            db_ = store.Ws->OpenDatabase(path_);
        } catch (...) {
            Remove();
            throw;
        }
    }
    ~PrintAllStore() {
        try {
            db_->Close();
        } catch (...) {
        }
        db_.reset();
        Remove();
    }
    PrintAllStore(const PrintAllStore&) = delete;
    PrintAllStore& operator=(const PrintAllStore&) = delete;

    engine::Database& Db() { return *db_; }

  private:
    void Remove() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    std::string path_;
    engine::DatabasePtr db_;
};

} // namespace

void frmTavorin::ConnectPrintCommands() {
    connect(mnTablePrint, &QAction::triggered, this,
            [this] { RunEvent([this] { mnTablePrint_Click(); }); });
    connect(mnTablePrintAll, &QAction::triggered, this,
            [this] { RunEvent([this] { mnTablePrintAll_Click(); }); });
    MarkCommandAvailable(mnTablePrint);
    MarkCommandAvailable(mnTablePrintAll);
}

void frmTavorin::mnTablePrint_Click() {
    int16_t error = 0;
    StoreRow(error);
    if (error != 0) return;
    std::array<std::string, 6> indexNames;
    std::array<int16_t, 6> duplicates{};
    for (size_t k = 0; k < 6; ++k) {
        indexNames[k] = Text1[k + 1]->text().toStdString();
        duplicates[k] = static_cast<int16_t>(Combo1[k]->currentIndex());
    }
    PrintJob job(App.Platform,
                 App.CurrentFile.BaseName + App.CurrentFile.Extension + " - " + CurrentTable);
    if (!job.Started()) return;
    PrintRun run(PrintDate(App));
    PrintLayout(App.Platform.Printer(), run, *App.Store.WorkRs, App.CurrentFile.BaseName,
                CurrentTable, TableDesc, indexNames, duplicates);
    job.Finish();
}

void frmTavorin::mnTablePrintAll_Click() {
    if (TableList.empty() || TableList.front().Name.empty()) {
        App.Platform.MsgBox(QString::fromUtf8("印刷するテーブルがありません。"));
        return;
    }
    PrintJob job(App.Platform, App.CurrentFile.BaseName + App.CurrentFile.Extension);
    if (!job.Started()) return;

    // Loading each table uses the state of the table being edited; it is given back after.
    const std::string keptTable = CurrentTable;
    const std::string keptDescription = TableDesc;
    const std::array<std::string, 6> keptIndexNames = LoadedIndexName;
    const std::array<int16_t, 6> keptDuplicates = LoadedIndexDup;
    const bool userDbWasOpen = UserDb != nullptr;
    auto restore = [&] {
        CurrentTable = keptTable;
        TableDesc = keptDescription;
        LoadedIndexName = keptIndexNames;
        LoadedIndexDup = keptDuplicates;
        if (!userDbWasOpen) CloseUserDatabase();
    };
    try {
        PrintAllStore store(App.Store);
        // The work rows are scratch: one transaction over the whole run, rolled back at its end,
        // spares a commit to disk per table.
        // Never committed: the guard rolls everything back, down to the level it began at.
        engine::TransactionGuard scratch(*App.Store.Ws);
        // One page counter over all tables: their page numbers run on.
        PrintRun run(PrintDate(App));
        for (const TableListEntry& entry : TableList) {
            if (entry.Name.empty()) break;
            CurrentTable = entry.Name;
            TableDesc = entry.Description;
            engine::RecordsetPtr rows =
                store.Db().OpenRecordset(kWorkTableSql, engine::RecordsetType::Dynaset);
            int32_t rowCount = 0;
            ReadTableDefinition(*rows, rowCount);
            PrintLayout(App.Platform.Printer(), run, *rows, App.CurrentFile.BaseName, CurrentTable,
                        TableDesc, LoadedIndexName, LoadedIndexDup);
            rows->Close();
            store.Db().Execute(kClearWorkTableSql);
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
    job.Finish();
    MoveFocus(Text1[0]);
}

} // namespace tavorin
