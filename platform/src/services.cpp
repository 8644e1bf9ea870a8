// The stand-ins of a run: the doubles given, the real ones for the rest.
#include "platform/services.h"

#include <QCoreApplication>

namespace platform {

struct Services::Real {
    QtPrompts prompts;
    QtFileDialogs fileDialogs;
    QtPrinter printer;
    LibArchiver archiver;
    SystemClipboard clipboard;
    DesktopShell shell;
};

Services::Services() : Services(StandIns{}) {}

Services::Services(const StandIns& doubles)
    : real_(std::make_unique<Real>()),
      prompts_(doubles.prompts ? doubles.prompts : &real_->prompts),
      fileDialogs_(doubles.fileDialogs ? doubles.fileDialogs : &real_->fileDialogs),
      printer_(doubles.printer ? doubles.printer : &real_->printer),
      archiver_(doubles.archiver ? doubles.archiver : &real_->archiver),
      clipboard_(doubles.clipboard ? doubles.clipboard : &real_->clipboard),
      shell_(doubles.shell ? doubles.shell : &real_->shell) {}

Services::~Services() = default;

StandIns Services::Replace(const StandIns& doubles) {
    const StandIns replaced{prompts_, fileDialogs_, printer_, archiver_, clipboard_, shell_};
    if (doubles.prompts) prompts_ = doubles.prompts;
    if (doubles.fileDialogs) fileDialogs_ = doubles.fileDialogs;
    if (doubles.printer) printer_ = doubles.printer;
    if (doubles.archiver) archiver_ = doubles.archiver;
    if (doubles.clipboard) clipboard_ = doubles.clipboard;
    if (doubles.shell) shell_ = doubles.shell;
    return replaced;
}

QString Services::Title() const {
    if (!title_.isEmpty()) return title_;
    return QCoreApplication::instance() ? QCoreApplication::applicationName() : QString();
}

int Services::MsgBox(const QString& text, int style, const QString& title) const {
    return prompts_->MsgBox(text, style, title.isEmpty() ? Title() : title);
}

int Services::MsgBoxDetails(const QString& text, const QString& details, int style) const {
    if (details.isEmpty()) return MsgBox(text, style);
    return prompts_->MsgBoxDetails(text, details, style, Title());
}

} // namespace platform
