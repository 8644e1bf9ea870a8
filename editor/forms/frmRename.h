// frmRename: the small modal window "名称の変更" that asks for a table's new name, for a rename
// of the current table or for a save of the layout under a new name (the main window's
// RequestMode). "設定" accepts a name that no other table of the current file has, compared
// exactly (letter case counts, unlike elsewhere in the program); "キャンセル", Esc and the close
// box answer with an empty name. The main window carries the request out once this window is
// gone.
#pragma once

#include <QDialog>
#include <array>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavorin {

class DesignerFileCommands;

class frmRename : public QDialog {
    Q_OBJECT
  public:
    explicit frmRename(DesignerFileCommands& owner);

    // The heading for the request mode and the requested name in the box.
    void Form_Load();
    void Text1_GotFocus();
    void Text1_KeyPress(int key);
    // 0 "設定", 1 "キャンセル".
    void Command1_Click(int index);

    // Whether name is free in the owner's current file: the current table's own name, and any
    // name when the file does not exist, are free; otherwise a table of exactly that name
    // takes it.
    bool NameFree(const std::string& name, const std::string& currentTable,
                  const std::string& path) const;

    // ---- Controls ----
    QLineEdit* Text1 = nullptr;
    std::array<QLabel*, 15> Label1{}; // 0 the caption of the name box, 14 the heading
    std::array<QPushButton*, 2> Command1{};

  public slots:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    DesignerFileCommands& owner_;
    bool answered_ = false;
};

} // namespace tavorin
