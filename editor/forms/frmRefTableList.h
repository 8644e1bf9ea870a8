// frmRefTableList: the reference table window ("参照テーブル一覧表"). It stays open beside the
// main window: the user picks a database file (also one out of an LZH or ZIP archive, through
// the picker frmMELT), double-clicks one of its tables, selects some of its fields and appends
// them to the layout under edit with "挿入".
//
// The reference file is this window's own; the main window's current file is never touched.
// Inserted rows are appended to WKTBL after its last row and carry no keys and no as-loaded
// values, so a save creates them as new fields.
#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "core/FieldLines.h"
#include "modules/TavorinSub.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tavorin {

class frmTavorin;
class frmMELT;

// The reference file: folder (with trailing separator), base name, extension (with its dot),
// full path.
struct RefFileState {
    std::string Folder;
    std::string BaseName;
    std::string Extension;
    std::string FullPath;
};

class frmRefTableList : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxRefFields = 999;

    explicit frmRefTableList(frmTavorin* owner);
    ~frmRefTableList() override;

    void Form_Load();
    // A click on either file box.
    void Text2_Click();
    void ShowRefTables(const std::string& path);
    // Forgets the field list and the table it came from: the reference file has changed.
    void ForgetFields();
    void List1_DblClick();
    // 0 "閉じる", 1 "挿入".
    void Command1_Click(int index);
    // Forgets the reference file, closes the picker and this window, and gives the focus to the
    // main window's first field-name cell.
    void CloseRefWindow();
    // Closes the picker and this window and nothing else (the program is ending).
    void Unload();

    frmTavorin* Owner() const { return owner_; }
    frmMELT* MeltWindow() const;

    // ---- Controls ----
    std::array<QLineEdit*, 2> Text2{}; // 0 folder, 1 file name
    QListWidget* List1 = nullptr;      // tables of the reference file
    QListWidget* List2 = nullptr;      // fields of the chosen table, several selectable
    std::array<QPushButton*, 2> Command1{};
    std::array<QLabel*, 1> Label1{}; // prompt line
    std::array<QLabel*, 4> Label2{}; // captions: folder, file name, table list, field heading

    // ---- State ----
    RefFileState RefFile;
    std::vector<TableListEntry> RefTableList;
    std::vector<FieldLine> RefFields;
    // The current reference: the file and the table the field list was read from.
    std::string RefTablePath;
    std::string RefTableName;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ExtractChosenArchive();
    void InsertSelectedFields();

    frmTavorin* owner_;
    QPointer<frmMELT> melt_;
    bool unloading_ = false;
};

} // namespace tavorin
