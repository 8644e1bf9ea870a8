// Services: the platform stand-ins of one run of a program (message boxes, file dialogs, the
// printer, the archiver, the clipboard, the desktop shell) and the title of its message boxes.
//
// A program's main() builds one with the real stand-ins and hands it to its windows; a test
// builds one with its scripted doubles in place of those it scripts. Windows reach the platform
// only through the Services they were given.
#pragma once

#include <QString>
#include <memory>

#include "platform/archiver.h"
#include "platform/clipboard.h"
#include "platform/common_dialog.h"
#include "platform/printer.h"
#include "platform/prompts.h"
#include "platform/shell.h"

namespace platform {

// The doubles a test puts in place of the real stand-ins; not owned, and each must outlive
// the Services. Those left null are the real ones.
struct StandIns {
    platform::Prompts* prompts = nullptr;
    platform::FileDialogs* fileDialogs = nullptr;
    platform::Printer* printer = nullptr;
    platform::Archiver* archiver = nullptr;
    platform::Clipboard* clipboard = nullptr;
    platform::Shell* shell = nullptr;
};

class Services {
  public:
    // The real stand-ins: Qt's message boxes and file dialogs, the interactive printer,
    // libarchive with its default bounds, the system clipboard and the desktop shell.
    Services();
    explicit Services(const StandIns& doubles);
    ~Services();
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    platform::Prompts& Prompts() const { return *prompts_; }
    platform::FileDialogs& FileDialogs() const { return *fileDialogs_; }
    platform::Printer& Printer() const { return *printer_; }
    platform::Archiver& Archiver() const { return *archiver_; }
    platform::Clipboard& Clipboard() const { return *clipboard_; }
    platform::Shell& Shell() const { return *shell_; }

    // Puts the given doubles in place of the stand-ins in use (those left null stay); returns
    // the ones replaced. For a test that scripts one step with another double.
    StandIns Replace(const StandIns& doubles);

    // The program's name, used as every message box's title; the application's name until one
    // is given.
    void SetTitle(const QString& title) { title_ = title; }
    QString Title() const;

    // Shows text with the button set of style and returns the answer; the title is the
    // program's unless one is given.
    int MsgBox(const QString& text, int style = vbOKOnly, const QString& title = QString()) const;
    // MsgBox with details behind the box's details button; empty details show the plain box.
    int MsgBoxDetails(const QString& text, const QString& details, int style = vbOKOnly) const;

  private:
    struct Real;
    std::unique_ptr<Real> real_; // the real stand-ins the doubles do not replace
    platform::Prompts* prompts_;
    platform::FileDialogs* fileDialogs_;
    platform::Printer* printer_;
    platform::Archiver* archiver_;
    platform::Clipboard* clipboard_;
    platform::Shell* shell_;
    QString title_;
};

} // namespace platform
