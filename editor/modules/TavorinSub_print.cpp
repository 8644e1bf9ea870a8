// Printing a table's layout: the print model's pages on the platform printer.
#include "TavorinSub_print.h"

#include <QDate>
#include <QString>

#include "engine/variant.h"
#include "platform/printer.h"

namespace tavorin {

namespace {

double Today() {
    const QDate today = QDate::currentDate();
    return engine::DateSerial(today.year(), today.month(), today.day());
}

} // namespace

double PrintDate(const AppContext& app) {
    return app.PrintDateSource ? app.PrintDateSource() : Today();
}

void DrawPages(platform::Printer& printer, const std::vector<PrintedPage>& pages) {
    for (const PrintedPage& page : pages) {
        for (const PrintItem& item : page.items) {
            if (item.kind == PrintItem::kText) {
                printer.FontName = QString::fromStdString(item.fontName);
                printer.FontSize = item.fontSize;
                printer.CurrentX = item.x;
                printer.CurrentY = item.y;
                printer.Print(QString::fromStdString(item.text));
            } else {
                printer.DrawWidth = item.width;
                printer.Line(item.x, item.y, item.x2, item.y2);
            }
        }
        printer.NewPage();
    }
    printer.EndDoc();
}

void PrintLayout(platform::Printer& printer, PrintRun& run, engine::Recordset& rows,
                 const std::string& fileName, const std::string& tableName,
                 const std::string& tableRemark, const std::array<std::string, 6>& indexNames,
                 const std::array<int16_t, 6>& duplicates) {
    const LayoutPrintHeader header{fileName, tableName, tableRemark, indexNames, duplicates};
    DrawPages(printer, run.LayOut(header, ReadPrintRows(rows)));
}

} // namespace tavorin
