// The program's window: the designer, or the import window in its place. The two take turns,
// never both at once: each switch unloads the one and loads the other afresh, which rebuilds the
// work store for itself.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace tavorin {

class frmTavorin;
class frmMdbCpy;

class ProgramWindows : public QObject {
    Q_OBJECT
  public:
    static ProgramWindows& Instance();

    // Loads a new designer window and shows it; nullptr when its start failed (the reason has
    // been shown). The window deletes itself when it closes.
    frmTavorin* ShowDesigner();
    // The same for the import window.
    frmMdbCpy* ShowImport();
    // The window most recently shown through this object.
    QWidget* Current() const { return current_; }

  signals:
    // The End command of the window in charge has run: the program ends.
    void Ended();

  private:
    QPointer<QWidget> current_;
};

} // namespace tavorin
