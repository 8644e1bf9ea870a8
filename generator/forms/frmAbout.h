// frmAbout: the version window of the generator: program title, version, build date and the
// versions of the libraries it runs on.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

class frmAbout : public QWidget {
    Q_OBJECT
  public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;

    // The window's text, one fact per line.
    static QString VersionText();
};
