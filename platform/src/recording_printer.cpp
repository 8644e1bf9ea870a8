// The recording printer of the tests.
#include "platform/recording_printer.h"

#include <algorithm>

namespace platform {

bool RecordingPrinter::StartJob(const QString& title, QString& error) {
    titles_ << title;
    if (!refuseStart.isEmpty()) {
        error = refuseStart;
        return false;
    }
    error.clear();
    inJob_ = true;
    return true;
}

PrintOutcome RecordingPrinter::FinishJob() {
    inJob_ = false;
    ++finished_;
    return outcome;
}

void RecordingPrinter::AbortJob() {
    inJob_ = false;
    ++aborted_;
}

void RecordingPrinter::Record(PrintOp op) {
    if (!inJob_) ++outside_;
    ops_.push_back(std::move(op));
}

void RecordingPrinter::Print(const QString& text) {
    Record({PrintOp::Text, CurrentX, CurrentY, 0, 0, 0, text, FontName, FontSize});
}

void RecordingPrinter::Line(int x1, int y1, int x2, int y2) {
    Record({PrintOp::Line, x1, y1, x2, y2, DrawWidth, {}, {}, 0});
}

void RecordingPrinter::NewPage() {
    Record({PrintOp::NewPage, 0, 0, 0, 0, 0, {}, {}, 0});
}

void RecordingPrinter::EndDoc() {
    Record({PrintOp::EndDoc, 0, 0, 0, 0, 0, {}, {}, 0});
}

int RecordingPrinter::Documents() const {
    return static_cast<int>(std::count_if(
        ops_.begin(), ops_.end(), [](const PrintOp& op) { return op.kind == PrintOp::EndDoc; }));
}

void RecordingPrinter::Clear() {
    ops_.clear();
    titles_.clear();
    finished_ = aborted_ = outside_ = 0;
    inJob_ = false;
}

} // namespace platform
