// frmOption: the default-value window ("オプション", headed "デフォルト値の設定"). It edits the
// defaults the layout editor applies for the run: the data type a new field takes when its name
// is typed (DefaultType) and, per key, the index name and the duplicates choice a new or
// released layout starts with (IndexDefaultName, IndexDefaultDup). "設定" takes them and gives
// the layout on screen the new index settings at once; "ｷｬﾝｾﾙ" and the close box change nothing.
// Nothing is written to disk.
#pragma once

#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavorin {

class frmTavorin;

class frmOption : public QWidget {
    Q_OBJECT
  public:
    explicit frmOption(frmTavorin* owner);
    ~frmOption() override;

    // Fills the lists and shows the current defaults.
    void Form_Load();
    // 0 "設定", 1 "ｷｬﾝｾﾙ".
    void Command1_Click(int index);

    // ---- Controls ----
    QComboBox* Combo2 = nullptr;        // data type: the type names, then an empty entry
    std::array<QLineEdit*, 7> Text1{};  // 1..6 index names of the primary key, sub keys 1..5
    std::array<QComboBox*, 6> Combo1{}; // duplicates choice of each key
    std::array<QPushButton*, 2> Command1{};
    QLabel* Label3 = nullptr; // prompt line

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Combo2_Click();
    void Combo1_Click(int key);
    // The arrow keys of the index-name boxes; true when the key was taken.
    bool Text1_KeyDown(int index, int key);

    frmTavorin* owner_;
    bool loaded_ = false; // choices made while the lists are being filled are no user's
};

} // namespace tavorin
