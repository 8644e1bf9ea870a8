// The program's window: the designer, or the import window in its place. The two take turns,
// never both at once: each switch unloads the one and loads the other afresh, which rebuilds the
// work store for itself. Made by main() (or a test) for its context, which reaches it as
// app.Turns while it lives.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "modules/AppContext.h"

namespace tavorin {

class frmTavorin;
class frmMdbCpy;

class ProgramWindows : public QObject, public WindowTurns {
    Q_OBJECT
  public:
    explicit ProgramWindows(AppContext& app);
    ~ProgramWindows() override;
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Loads a new designer window and shows it; nullptr when its start failed (the reason has
    // been shown). The window deletes itself when it closes.
    frmTavorin* OpenDesigner();
    // The same for the import window.
    frmMdbCpy* OpenImport();
    bool ShowDesigner() override { return OpenDesigner() != nullptr; }
    bool ShowImport() override { return OpenImport() != nullptr; }
    // The window most recently shown through this object.
    QWidget* Current() const { return current_; }

  signals:
    // The End command of the window in charge has run: the program ends.
    void Ended();

  private:
    AppContext& app_;
    QPointer<QWidget> current_;
};

} // namespace tavorin
