// frmOption: the options window. It edits the seven names and prefixes of the generated module
// in place of the main window's options: "設定" stores the trimmed texts, "キャンセル" drops
// them, "デフォルト値" puts the defaults into the boxes without storing them.
#pragma once

#include <QWidget>
#include <array>

#include "module_text.h"

class QLabel;
class QLineEdit;
class QPushButton;

class frmOption : public QWidget {
    Q_OBJECT
  public:
    // options belongs to the caller and must outlive the window.
    frmOption(vespen::GeneratorOptions& options, QWidget* parent = nullptr);

    std::array<QLabel*, vespen::GeneratorOptions::kCount> Label1{};
    std::array<QLineEdit*, vespen::GeneratorOptions::kCount> Text1{};
    std::array<QPushButton*, 3> Command1{};

    void Command1_Click(int Index);

  protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Form_Activate();

    vespen::GeneratorOptions& options_;
};
