// The printer: the installed Printer, and QtPrinter with its preview, print dialog and PDF
// file output.
#include "platform/printer.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>

#include "print_canvas.h"

namespace platform {
namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

bool DrawOperations(const std::vector<PrintOp>& ops, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    PrintCanvas canvas(painter, printer);
    for (const PrintOp& op : ops) {
        if (!canvas.Apply(op)) {
            painter.end();
            return false;
        }
    }
    return painter.end();
}

// What one job holds: the operations kept for the preview (interactive), or the open PDF
// file with the painter drawing into it.
struct QtPrinter::Job {
    QString title;
    std::vector<PrintOp> ops;
    int drawings = 0;
    std::unique_ptr<QSaveFile> file;
    std::unique_ptr<QPdfWriter> writer;
    std::unique_ptr<QPainter> painter;
    std::unique_ptr<PrintCanvas> canvas;
    bool failed = false;

    ~Job() {
        // The painter goes before the writer, and the writer before its file.
        if (painter && painter->isActive()) painter->end();
        canvas.reset();
        painter.reset();
        writer.reset();
        if (file) file->cancelWriting();
    }
};

QtPrinter::QtPrinter() = default;
QtPrinter::~QtPrinter() = default;

std::unique_ptr<QtPrinter> QtPrinter::ToPdfFile(const QString& path) {
    auto printer = std::make_unique<QtPrinter>();
    printer->pdfPath_ = path;
    return printer;
}

int QtPrinter::PageCount() const {
    if (job_ && job_->canvas) return job_->canvas->Pages();
    return lastPageCount_;
}

bool QtPrinter::StartJob(const QString& title, QString& error) {
    error.clear();
    job_ = std::make_unique<Job>();
    job_->title = title;
    lastPageCount_ = 0;
    lastOutcome_.reset();
    if (pdfPath_.isEmpty()) return true;

    // Written beside the target and put in its place only when complete.
    job_->file = std::make_unique<QSaveFile>(pdfPath_);
    if (!job_->file->open(QIODevice::WriteOnly)) {
        error = Text("PDF ファイルに書き込めません。\r") + QDir::toNativeSeparators(pdfPath_) +
                QLatin1Char('\r') + job_->file->errorString();
        job_.reset();
        return false;
    }
    job_->writer = std::make_unique<QPdfWriter>(job_->file.get());
    job_->writer->setPageLayout(FormPageLayout());
    job_->writer->setTitle(title);
    job_->writer->setCreator(QApplication::applicationName());
    job_->painter = std::make_unique<QPainter>();
    if (!job_->painter->begin(job_->writer.get())) {
        error = Text("PDF ファイルに書き込めません。\r") + QDir::toNativeSeparators(pdfPath_);
        job_.reset();
        return false;
    }
    job_->canvas = std::make_unique<PrintCanvas>(*job_->painter, *job_->writer);
    return true;
}

void QtPrinter::AbortJob() {
    job_.reset();
    lastOutcome_.reset();
}

PrintOutcome QtPrinter::FinishJob() {
    lastOutcome_ = Finish();
    job_.reset();
    return *lastOutcome_;
}

PrintOutcome QtPrinter::Finish() {
    if (!job_) return {PrintOutcome::Failed, Text("印刷が開始されていません。")};
    if (job_->drawings == 0) return {PrintOutcome::Failed, Text("印刷するページがありません。")};
    return pdfPath_.isEmpty() ? FinishWithPreview() : FinishPdf();
}

PrintOutcome QtPrinter::FinishPdf() {
    lastPageCount_ = job_->canvas->Pages();
    const bool drawn = !job_->failed && job_->painter->end();
    if (!drawn || !job_->file->commit()) {
        return {PrintOutcome::Failed, Text("PDF ファイルに書き込めません。\r") +
                                          QDir::toNativeSeparators(pdfPath_) + QLatin1Char('\r') +
                                          job_->file->errorString()};
    }
    return {PrintOutcome::Printed, {}};
}

PrintOutcome QtPrinter::FinishWithPreview() {
    const std::vector<PrintOp>& ops = job_->ops;
    lastPageCount_ = static_cast<int>(PagesOf(ops).size());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(FormPageLayout());
    printer.setDocName(job_->title);
    printer.setCreator(QApplication::applicationName());
    QPrintPreviewDialog preview(&printer, QApplication::activeWindow());
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(job_->title + Text(" - 印刷プレビュー"));
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        preview.resize(std::min(900, area.width()), std::min(1000, area.height()));
    }
    // The preview draws the pages for itself; its print button draws them once more onto the
    // printer chosen in the print dialog, and that last pass decides the outcome.
    bool drawn = true;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&](QPrinter* target) { drawn = DrawOperations(ops, *target); });
    if (preview.exec() != QDialog::Accepted) return {PrintOutcome::Cancelled, {}};
    if (!drawn || printer.printerState() == QPrinter::Error) {
        const QString where = printer.outputFileName().isEmpty()
                                  ? printer.printerName()
                                  : QDir::toNativeSeparators(printer.outputFileName());
        return {PrintOutcome::Failed, Text("印刷できませんでした。\r") + where};
    }
    return {PrintOutcome::Printed, {}};
}

// An operation goes straight onto the PDF page, or is kept for the preview.
void QtPrinter::Take(PrintOp op) {
    if (!job_) return;
    if (op.kind == PrintOp::Text || op.kind == PrintOp::Line) ++job_->drawings;
    if (!job_->canvas)
        job_->ops.push_back(std::move(op));
    else if (!job_->canvas->Apply(op))
        job_->failed = true;
}

void QtPrinter::Print(const QString& text) {
    Take({PrintOp::Text, CurrentX, CurrentY, 0, 0, 0, text, FontName, FontSize});
}

void QtPrinter::Line(int x1, int y1, int x2, int y2) {
    Take({PrintOp::Line, x1, y1, x2, y2, DrawWidth, {}, {}, 0});
}

void QtPrinter::NewPage() {
    Take({PrintOp::NewPage, 0, 0, 0, 0, 0, {}, {}, 0});
}

void QtPrinter::EndDoc() {
    Take({PrintOp::EndDoc, 0, 0, 0, 0, 0, {}, {}, 0});
}

} // namespace platform
