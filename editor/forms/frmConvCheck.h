// frmConvCheck: the window "変換の確認" of the table menu. It runs the save's conversion over
// the stored table's records (ConversionCheck) while showing the count read, with a button that
// stops it, and then lists per field of the new layout the values the save would cut, refuse or
// empty, with examples under each field and a total line. "保存" closes it and runs the
// normal save; "コピー" puts the list on the clipboard as tab-separated text; "閉じる" closes it.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "core/ConversionCheck.h"
#include "platform/services.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace tavorin {

class frmConvCheck : public QDialog {
    Q_OBJECT
  public:
    // The check, given the progress callback (count read; false stops it).
    using Runner = std::function<ConversionReport(const std::function<bool(long)>&)>;

    // The report is copied to platform's clipboard.
    frmConvCheck(platform::Services& platform, QWidget* owner, const std::string& tableName);

    // Shows the window, runs the check (events are served meanwhile, so "中止" can stop it)
    // and lists its report. An engine error while reading propagates, the window then saying
    // that nothing could be checked.
    void Run(const Runner& run);
    const ConversionReport& Report() const { return report_; }
    bool Running() const { return running_; }

    // Called by "保存" once the window has closed.
    std::function<void()> SaveRequested;

    void cmdSave_Click();
    void cmdCopy_Click();
    void cmdClose_Click();
    void cmdCancel_Click();

    // ---- Controls ----
    QLabel* Label1 = nullptr; // the table and the count read
    QLabel* Label2 = nullptr; // where the save would stop
    QTreeWidget* List1 = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdCancel = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void ShowCount(long count);
    void FillList();
    void SetRunning(bool running);

    platform::Services& platform_;
    std::string tableName_;
    ConversionReport report_;
    bool running_ = false;
    bool cancelRequested_ = false;
    bool closeRequested_ = false;
};

} // namespace tavorin
