// frmVespen: the generator's main window. The user picks an .mdb file, chooses tables in
// List1, generates the module text into List2 (one line per entry), trims it and saves it as
// a .bas file. Scanning, text building and saving are the vespen_core procedures; this window
// holds the state of the run and drives them.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>

#include "VespenContext.h"
#include "field_table.h"
#include "module_text.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class frmAbout;
class frmOption;

class frmVespen : public QMainWindow {
    Q_OBJECT
  public:
    // The run's state; every message, dialog and document it opens goes through app.Platform.
    VespenContext& App;

    explicit frmVespen(VespenContext& app, QWidget* parent = nullptr);
    ~frmVespen() override;

    // Controls, under the names the procedures use.
    QLineEdit* Text1 = nullptr;
    QListWidget* List1 = nullptr;
    QListWidget* List2 = nullptr;
    QLabel* Label2 = nullptr;
    std::array<QPushButton*, 3> Command1{};
    std::array<QPushButton*, 3> Command2{};
    QMenu* mnFILE = nullptr;
    QAction* mnFileMDB = nullptr;
    QAction* mnBASName = nullptr;
    QAction* mnEnd = nullptr;
    QAction* mnOName = nullptr;
    QMenu* mnHELP = nullptr;
    QAction* mnManual = nullptr;
    QAction* mnVer = nullptr;

    // State of the run.
    QString ProgramFolder;
    QString HelpFolder;
    QString DatabasePath;
    QString DialogFolder;
    vespen::FieldTable FieldTable;
    vespen::GeneratorOptions Options;

    void SelectDatabase();
    // Takes path as the chosen database (as the file dialog of SelectDatabase does): lists its
    // tables, or says why not. Used for a file named on the command line.
    void OpenDatabase(const QString& path);
    void GenerateModule();
    bool ScanTables();
    void BuildModuleText();
    void SaveModule();

    void Text1_Click();
    void Command1_Click(int Index);
    void Command2_Click(int Index);
    void mnManual_Click();
    void mnVer_Click();
    void mnOName_Click();

    // The open options and version windows (null when closed).
    frmOption* OptionWindow() const;
    frmAbout* AboutWindow() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildControls();
    void BuildMenus();
    void Form_Load();
    void ShowStatus(const QString& text);
    void RemoveSelected(QListWidget* list);
    void ClearSelection(QListWidget* list);

    QPointer<frmOption> option_;
    QPointer<frmAbout> about_;
};
