// The printer's test double: records every operation with the drawing state it was made in,
// and ends jobs as the test scripts it (printed, cancelled, failed; or refused at the start).
#pragma once

#include <QStringList>
#include <vector>

#include "platform/printer.h"

namespace platform {

class RecordingPrinter : public Printer {
  public:
    // Script: a non-empty refusal makes StartJob fail with that text; outcome ends every job.
    QString refuseStart;
    PrintOutcome outcome{PrintOutcome::Printed, {}};

    bool StartJob(const QString& title, QString& error) override;
    PrintOutcome FinishJob() override;
    void AbortJob() override;
    void Print(const QString& text) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void NewPage() override;
    void EndDoc() override;

    // Every operation of every job, in order.
    const std::vector<PrintOp>& Ops() const { return ops_; }
    // The pages the operations make (PagesOf).
    std::vector<std::vector<PrintOp>> Pages() const { return PagesOf(ops_); }
    int Documents() const;
    const QStringList& JobTitles() const { return titles_; }
    int Finished() const { return finished_; }
    int Aborted() const { return aborted_; }
    bool InJob() const { return inJob_; }
    // Operations made while no job was open.
    int OutsideJob() const { return outside_; }
    void Clear();

  private:
    void Record(PrintOp op);

    std::vector<PrintOp> ops_;
    QStringList titles_;
    int finished_ = 0;
    int aborted_ = 0;
    int outside_ = 0;
    bool inJob_ = false;
};

} // namespace platform
