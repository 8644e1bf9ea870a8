// Printer: the host's printer object as the programs drive it. They set the font, the line
// width and the current position, and call Print, Line, NewPage and EndDoc. Positions and line
// ends are in twips (1/1440 inch) from the top left of the printable area on every device;
// lines are solid.
//
// One command of a program is one print job: StartJob before the first output, FinishJob
// after the last. A job may hold several documents (EndDoc ends one; the next begins on a new
// page), and the user is asked once per job: QtPrinter shows the pages in a preview window
// whose print button leads to the print dialog (the system's printers, or a PDF file), or
// writes straight to a PDF file for the command line. RecordingPrinter (recording_printer.h)
// keeps every operation for tests.
//
// Pages: drawing after NewPage or EndDoc starts a new page; a NewPage or EndDoc that no
// drawing follows adds no page, so a document never ends with an empty page.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QPrinter;

namespace platform {

// One drawing operation with the printer's state at the time it was made.
struct PrintOp {
    enum Kind { Text, Line, NewPage, EndDoc };
    Kind kind = Text;
    int x = 0, y = 0;    // Text: the top left of the text; Line: the start
    int x2 = 0, y2 = 0;  // Line: the end
    int width = 1;       // Line: DrawWidth
    QString text;        // Text
    QString fontName;    // Text
    double fontSize = 0; // Text, in points
};

// How a job ended.
struct PrintOutcome {
    enum Status { Printed, Cancelled, Failed };
    Status status = Printed;
    QString message; // Failed: what went wrong, for the user
};

class Printer {
  public:
    virtual ~Printer() = default;

    // The drawing state, read by the operations below.
    QString FontName;
    double FontSize = 9;
    int CurrentX = 0;
    int CurrentY = 0;
    // Width of the lines drawn, in printer dots of 1/300 inch.
    int DrawWidth = 1;

    // Begins a job titled title. False when there is nowhere to print to; error says why.
    virtual bool StartJob(const QString& title, QString& error) = 0;
    // Ends the job: asks the user and prints, or writes the file.
    virtual PrintOutcome FinishJob() = 0;
    // Drops a started job: nothing is printed or written.
    virtual void AbortJob() = 0;

    // Prints text with its top left at the current position; the position stays where it was.
    virtual void Print(const QString& text) = 0;
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
    virtual void NewPage() = 0;
    // Ends one document of the job.
    virtual void EndDoc() = 0;
};

// The font family that stands in for a font name of the host: a Japanese monospaced gothic
// for "ＭＳ ゴシック" (IPA Gothic when installed, else any fixed-pitch Japanese font), the family
// itself when it is installed, else the best monospaced font there is.
QString PrintFontFamily(const QString& hostName);

// Operations split into pages by the rule above: the Text and Line operations of each page.
std::vector<std::vector<PrintOp>> PagesOf(const std::vector<PrintOp>& ops);

// Line width in twips of a DrawWidth.
double LineWidthTwips(int drawWidth);

// The real printer. Interactive: the job's operations are kept until FinishJob, which shows
// them in a preview window; its print button opens the print dialog, and the pages are drawn
// onto the printer chosen there. Pdf: the pages go straight into a PDF file as they are drawn,
// which replaces the target file only when the job finishes well.
class QtPrinter : public Printer {
  public:
    QtPrinter(); // interactive
    static std::unique_ptr<QtPrinter> ToPdfFile(const QString& path);
    ~QtPrinter() override;

    bool StartJob(const QString& title, QString& error) override;
    PrintOutcome FinishJob() override;
    void AbortJob() override;
    void Print(const QString& text) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void NewPage() override;
    void EndDoc() override;

    // Pages drawn in the current or last job.
    int PageCount() const;
    // How the last job ended; nullopt before the first FinishJob and after an AbortJob.
    const std::optional<PrintOutcome>& LastOutcome() const { return lastOutcome_; }

  private:
    void Take(PrintOp op);
    PrintOutcome Finish();
    PrintOutcome FinishPdf();
    PrintOutcome FinishWithPreview();

    struct Job;
    std::unique_ptr<Job> job_;
    QString pdfPath_; // empty: interactive
    int lastPageCount_ = 0;
    std::optional<PrintOutcome> lastOutcome_;
};

// Draws recorded operations onto printer, one page after another (the print pass of the
// preview). False when the printer could not be drawn on.
bool DrawOperations(const std::vector<PrintOp>& ops, QPrinter& printer);

} // namespace platform
