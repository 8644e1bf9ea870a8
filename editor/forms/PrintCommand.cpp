// The print command line, run through the main window's own print commands on a window that is
// never shown, with a printer that writes the PDF file and messages on standard error.
#include "PrintCommand.h"

#include <filesystem>

#include "frmTavorin.h"
#include "modules/TavorinSub.h"
#include "platform/console_prompts.h"
#include "platform/printer.h"
#include "platform/services.h"

namespace tavorin {
namespace {

// The stored name of the listed table whose name equals name (case ignored), or "".
std::string ListedTable(const std::vector<TableListEntry>& tables, const std::string& name) {
    for (const TableListEntry& entry : tables)
        if (SameText(entry.Name, name)) return entry.Name;
    return {};
}

} // namespace

int RunPrintCommand(engine::Workspace& ws, const std::string& workBase, const std::string& file,
                    const std::string& table, const std::string& pdf, std::ostream& err) {
    platform::ConsolePrompts prompts(err);
    std::unique_ptr<platform::QtPrinter> printer =
        platform::QtPrinter::ToPdfFile(QString::fromStdString(pdf));
    platform::StandIns standIns;
    standIns.prompts = &prompts;
    standIns.printer = printer.get();
    AppContext app(ws, standIns);
    if (!workBase.empty()) app.Store.SetWorkBaseOverride(workBase);

    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        err << "tavorin: " << file << ": ファイルがありません。" << std::endl;
        return 1;
    }
    frmTavorin window(app);
    if (!window.Form_Load()) return 1;
    bool ran = false;
    Guarded(app.Platform, [&] {
        window.OpenOnStart(file, "");
        if (app.CurrentFile.FullPath.empty()) return; // not a database file: its message was shown
        if (table.empty()) {
            window.mnTablePrintAll_Click();
            ran = true;
            return;
        }
        const std::string listed = ListedTable(window.TableList, table);
        if (listed.empty()) {
            err << "tavorin: " << file << ": テーブル " << table << " がありません。" << std::endl;
            return;
        }
        window.OpenOnStart(file, listed);
        window.mnTablePrint_Click();
        ran = true;
    });
    window.LayoutChanged = 0;
    window.mnEnd_Click();
    const bool written = ran && printer->LastOutcome() &&
                         printer->LastOutcome()->status == platform::PrintOutcome::Printed;
    return written ? 0 : 1;
}

} // namespace tavorin
