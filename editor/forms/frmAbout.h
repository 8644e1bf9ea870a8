// frmAbout: the version window of the layout designer: program title and version, build date
// and the versions of the libraries it runs on; its button shows the facts of the system.
#pragma once

#include <QString>
#include <QWidget>

#include "platform/services.h"

class QLabel;
class QPushButton;

namespace tavorin {

class frmAbout : public QWidget {
    Q_OBJECT
  public:
    // The system information is shown with platform's message box.
    explicit frmAbout(platform::Services& platform, QWidget* owner = nullptr);

    void cmdSysInfo_Click();

    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblLibraries = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

  private:
    platform::Services& platform_;
};

// "バージョン 0.1.0　（ビルド日 2025/01/31）"
QString VersionText();
// One line per library: Qt, SQLite, libmdb, libarchive with their versions.
QString LibraryVersionsText();
// Operating system, kernel, processor and memory of the machine, then the library versions.
QString SystemInformationText();

} // namespace tavorin
