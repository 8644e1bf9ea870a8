// The printer: the page rule, the font standing in for the host's gothic, PDF output read back
// (positions, line widths, pages), a job that fails or is dropped leaving the target as it
// was, and the preview window with its print dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "platform/printer.h"
#include "platform/recording_printer.h"
#include "platform/testing/pdf_tools.h"
#include "test_support.h"

using namespace platform;

namespace {

// The printable area begins 5 mm from the paper's edges: in points and in twips.
constexpr double kMarginPt = 5 / 25.4 * 72;
constexpr double kMarginTwips = 5 / 25.4 * 1440;

void DrawTwoPages(Printer& printer) {
    printer.FontName = QString::fromUtf8("ＭＳ ゴシック");
    printer.FontSize = 9;
    printer.CurrentX = 1440;
    printer.CurrentY = 1440;
    printer.Print(QString::fromUtf8("テーブル名称"));
    printer.CurrentX = 1440;
    printer.CurrentY = 1680;
    printer.Print(QStringLiteral("ABC_01"));
    printer.DrawWidth = 5;
    printer.Line(1440, 2880, 4320, 2880);
    printer.DrawWidth = 1;
    printer.Line(1440, 4320, 4320, 4320);
    printer.NewPage();
    printer.CurrentX = 2880;
    printer.CurrentY = 480;
    printer.Print(QString::fromUtf8("二頁目"));
    printer.NewPage();
    printer.EndDoc();
}

const pdftools::Word* FindWord(const std::vector<pdftools::Word>& words, const QString& text) {
    for (const pdftools::Word& w : words)
        if (w.text == text) return &w;
    return nullptr;
}

// Waits for a modal window that satisfies test, then runs action on it.
void OnModal(std::function<bool(QWidget*)> test, std::function<void(QWidget*)> action,
             int triesLeft = 1000) {
    QTimer::singleShot(10, [=]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && test(modal))
            action(modal);
        else if (triesLeft > 0)
            OnModal(test, action, triesLeft - 1);
    });
}

TEST(PrinterPages, DrawingAfterABreakBeginsAPageAndATrailingBreakAddsNone) {
    RecordingPrinter printer;
    QString error;
    printer.NewPage(); // before anything was drawn: no page
    ASSERT_TRUE(printer.StartJob("T", error));
    printer.NewPage();
    printer.Print("a");
    printer.Line(0, 0, 10, 0);
    printer.NewPage();
    printer.NewPage(); // two breaks in a row make one
    printer.Print("b");
    printer.NewPage();
    printer.EndDoc(); // the document ends without an empty page
    printer.Print("c");
    printer.EndDoc();
    printer.FinishJob();

    const auto pages = printer.Pages();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].size(), 2u);
    EXPECT_EQ(pages[1][0].text, "b");
    EXPECT_EQ(pages[2][0].text, "c");
    EXPECT_EQ(printer.Documents(), 2);
    EXPECT_EQ(printer.OutsideJob(), 1);
    EXPECT_EQ(printer.Finished(), 1);
}

TEST(PrinterPages, RecordsTheDrawingStateOfEachOperation) {
    RecordingPrinter printer;
    QString error;
    ASSERT_TRUE(printer.StartJob("T", error));
    printer.FontName = "F";
    printer.FontSize = 9;
    printer.CurrentX = 720;
    printer.CurrentY = 2640;
    printer.Print("x");
    printer.DrawWidth = 3;
    printer.Line(8496, 440, 11160, 440);
    ASSERT_EQ(printer.Ops().size(), 2u);
    const PrintOp& text = printer.Ops()[0];
    EXPECT_EQ(text.kind, PrintOp::Text);
    EXPECT_EQ(text.x, 720);
    EXPECT_EQ(text.y, 2640);
    EXPECT_EQ(text.fontName, "F");
    EXPECT_EQ(text.fontSize, 9);
    const PrintOp& line = printer.Ops()[1];
    EXPECT_EQ(line.kind, PrintOp::Line);
    EXPECT_EQ(line.x, 8496);
    EXPECT_EQ(line.y, 440);
    EXPECT_EQ(line.x2, 11160);
    EXPECT_EQ(line.y2, 440);
    EXPECT_EQ(line.width, 3);
}

TEST(PrintFont, TheHostGothicIsAFixedPitchJapaneseFontWithHalfWidthColumns) {
    const QString family = PrintFontFamily(QString::fromUtf8("ＭＳ ゴシック"));
    if (QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        EXPECT_EQ(family, "IPAGothic");
    }
    QFont font(family);
    font.setPixelSize(180); // 9 points in twips
    const QFontMetricsF m(font);
    // One code page 932 byte is 90 twips wide: the 1.6 bytes per column unit of the forms.
    EXPECT_NEAR(m.horizontalAdvance(QStringLiteral("A")), 90, 0.5);
    EXPECT_NEAR(m.horizontalAdvance(QString::fromUtf8("ｻｲｽﾞ")), 4 * 90, 1);
    EXPECT_NEAR(m.horizontalAdvance(QString::fromUtf8("フィールド名")), 12 * 90, 1);

    EXPECT_FALSE(PrintFontFamily(QStringLiteral("No Such Font Anywhere")).isEmpty());
    if (QFontDatabase::families().contains(QStringLiteral("IPAMincho"))) {
        EXPECT_EQ(PrintFontFamily(QStringLiteral("IPAMincho")), "IPAMincho");
    }
}

class PdfPrinterTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("out.pdf"));
};

TEST_F(PdfPrinterTest, TextAndRulesStandWhereTheirTwipsSayOnTheirPages) {
    SKIP_WITHOUT_POPPLER();
    auto printer = QtPrinter::ToPdfFile(path);
    QString error;
    ASSERT_TRUE(printer->StartJob(QStringLiteral("T"), error)) << error.toStdString();
    DrawTwoPages(*printer);
    const PrintOutcome outcome = printer->FinishJob();
    ASSERT_EQ(outcome.status, PrintOutcome::Printed) << outcome.message.toStdString();
    EXPECT_EQ(printer->PageCount(), 2);
    EXPECT_EQ(pdftools::PageCount(path), 2);

    const auto words = pdftools::Words(path);
    const pdftools::Word* heading = FindWord(words, QString::fromUtf8("テーブル名称"));
    ASSERT_NE(heading, nullptr) << pdftools::Text(path).toStdString();
    EXPECT_EQ(heading->page, 1);
    EXPECT_NEAR(heading->xMin, kMarginPt + 72, 0.5);
    // Six double-byte characters of 9 points.
    EXPECT_NEAR(heading->xMax - heading->xMin, 54, 0.5);
    EXPECT_NEAR(heading->yMin, kMarginPt + 72, 1.5); // the top of the text
    const pdftools::Word* field = FindWord(words, QStringLiteral("ABC_01"));
    ASSERT_NE(field, nullptr);
    EXPECT_NEAR(field->xMax - field->xMin, 27, 0.5);
    EXPECT_NEAR(field->yMin - heading->yMin, 12, 0.5); // one line of 240 twips
    const pdftools::Word* second = FindWord(words, QString::fromUtf8("二頁目"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->page, 2);
    EXPECT_NEAR(second->xMin, kMarginPt + 144, 0.5);

    // At 144 dots per inch a dot is 10 twips. The thick rule (5 dots of 1/300 inch, 24 twips)
    // is about 2.4 dots high around its y, the thin one about half a dot.
    const QImage page = pdftools::PageImage(path, 1, 144);
    ASSERT_FALSE(page.isNull());
    auto grey = [&](double xTwips, double yTwips) {
        return qGray(
            page.pixel(qRound((kMarginTwips + xTwips) / 10), qRound((kMarginTwips + yTwips) / 10)));
    };
    EXPECT_LT(grey(3000, 2880), 64);
    EXPECT_GT(grey(3000, 2880 - 40), 230);
    EXPECT_GT(grey(3000, 2880 + 40), 230);
    EXPECT_LT(grey(3000, 4320), 200);
    EXPECT_GT(grey(3000, 4320 - 30), 230);
    // The rule ends at its x (with square ends of half its width).
    EXPECT_LT(grey(4320, 2880), 64);
    EXPECT_GT(grey(4320 + 60, 2880), 230);
}

TEST_F(PdfPrinterTest, AnUnwritableTargetIsRefusedAtTheStartWithItsName) {
    auto printer = QtPrinter::ToPdfFile(dir.filePath(QStringLiteral("missing/out.pdf")));
    QString error;
    EXPECT_FALSE(printer->StartJob(QStringLiteral("T"), error));
    EXPECT_TRUE(error.startsWith(QString::fromUtf8("PDF ファイルに書き込めません。\r")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("missing/out.pdf"))) << error.toStdString();
    printer->Print(QStringLiteral("ignored"));
    EXPECT_EQ(printer->FinishJob().status, PrintOutcome::Failed);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing/out.pdf"))));
}

TEST_F(PdfPrinterTest, ADroppedOrEmptyJobLeavesTheTargetAsItWas) {
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    auto printer = QtPrinter::ToPdfFile(path);
    QString error;
    ASSERT_TRUE(printer->StartJob(QStringLiteral("T"), error));
    DrawTwoPages(*printer);
    printer->AbortJob();
    EXPECT_FALSE(printer->LastOutcome().has_value());

    ASSERT_TRUE(printer->StartJob(QStringLiteral("T"), error));
    printer->NewPage();
    printer->EndDoc();
    const PrintOutcome empty = printer->FinishJob();
    EXPECT_EQ(empty.status, PrintOutcome::Failed);
    EXPECT_EQ(empty.message, QString::fromUtf8("印刷するページがありません。"));

    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.pdf")});
}

TEST_F(PdfPrinterTest, RecordedOperationsDrawOntoAPrinterPageByPage) {
    SKIP_WITHOUT_POPPLER();
    RecordingPrinter recorder;
    QString error;
    ASSERT_TRUE(recorder.StartJob(QStringLiteral("T"), error));
    DrawTwoPages(recorder);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFileName(path);
    ASSERT_TRUE(DrawOperations(recorder.Ops(), printer));
    EXPECT_EQ(pdftools::PageCount(path), 2);
    EXPECT_TRUE(pdftools::Text(path).contains(QString::fromUtf8("二頁目")));
}

TEST(PrintPreview, ShowsEveryPageAndClosingItPrintsNothing) {
    QtPrinter printer;
    QString error;
    ASSERT_TRUE(printer.StartJob(QString::fromUtf8("顧客.MDB"), error));
    DrawTwoPages(printer);
    int pages = -1;
    QString title;
    OnModal([](QWidget* w) { return qobject_cast<QPrintPreviewDialog*>(w) != nullptr; },
            [&](QWidget* w) {
                title = w->windowTitle();
                pages = w->findChild<QPrintPreviewWidget*>()->pageCount();
                static_cast<QDialog*>(w)->reject();
            });
    const PrintOutcome outcome = printer.FinishJob();
    EXPECT_EQ(outcome.status, PrintOutcome::Cancelled);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(printer.PageCount(), 2);
    EXPECT_EQ(title, QString::fromUtf8("顧客.MDB - 印刷プレビュー"));
}

TEST(PrintPreview, ItsPrintButtonPrintsThroughThePrintDialog) {
    SKIP_WITHOUT_POPPLER();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    QtPrinter printer;
    QString error;
    ASSERT_TRUE(printer.StartJob(QStringLiteral("T"), error));
    DrawTwoPages(printer);
    bool dialogShown = false;
    OnModal([](QWidget* w) { return qobject_cast<QPrintPreviewDialog*>(w) != nullptr; },
            [&](QWidget* w) {
                auto* preview = static_cast<QPrintPreviewDialog*>(w);
                // The print dialog's "print to file" with this name.
                preview->printer()->setOutputFileName(path);
                OnModal([](QWidget* d) { return qobject_cast<QPrintDialog*>(d) != nullptr; },
                        [&](QWidget* d) {
                            dialogShown = true;
                            static_cast<QDialog*>(d)->accept();
                        });
                const QString print = QCoreApplication::translate("QPrintPreviewDialog", "Print");
                for (QAction* action : preview->findChildren<QAction*>())
                    if (action->text() == print) {
                        action->trigger();
                        return;
                    }
                ADD_FAILURE() << "no print button";
                preview->reject();
            });
    const PrintOutcome outcome = printer.FinishJob();
    EXPECT_TRUE(dialogShown);
    ASSERT_EQ(outcome.status, PrintOutcome::Printed) << outcome.message.toStdString();
    EXPECT_EQ(pdftools::PageCount(path), 2);
}

} // namespace
