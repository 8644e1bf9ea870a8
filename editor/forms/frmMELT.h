// frmMELT: the picker of extracted files ("解凍ファイル"). It lists the files an archive was
// extracted to, filtered by a pattern; the file the user opens becomes the reference window's
// current file, whose tables that window then lists. The picker stays open, so that one file
// after another can be opened.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tavorin {

class frmRefTableList;

class frmMELT : public QWidget {
    Q_OBJECT
  public:
    explicit frmMELT(frmRefTableList* owner);

    void Form_Load();
    // Points the file list at folder with the first pattern, as after an extraction.
    void ShowFolder(const std::string& folder);
    void Combo1_Click();
    void File1_Click();
    void File1_DblClick();
    // 0 "開く", 1 "閉じる".
    void Command1_Click(int index);
    // Makes fileName (a file of the extraction folder) the reference window's current file and
    // lists its tables there; errorMark 9 after the message when it is not an .MDB file.
    void OpenExtractedFile(const std::string& fileName, int16_t& errorMark);
    // Closes the picker without moving the focus.
    void Unload();

    // ---- Controls ----
    QLabel* Label1 = nullptr;        // status line
    std::array<QLabel*, 2> Label2{}; // captions of Combo1 and File1
    QComboBox* Combo1 = nullptr;     // file pattern
    QListWidget* File1 = nullptr;    // files of File1Path matching File1Pattern
    std::array<QPushButton*, 2> Command1{};

    // ---- State ----
    std::string File1Path;
    std::string File1Pattern;
    int ClickedIndex = 0; // the file last clicked; 0 (the first file) before any click

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RefreshFileList();
    void FocusRefTableList();

    frmRefTableList* owner_;
    bool unloading_ = false;
};

} // namespace tavorin
