#include "frmOption.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmOption::frmOption(vespen::GeneratorOptions& options, QWidget* parent)
    : QWidget(parent, Qt::Window), options_(options) {
    setWindowTitle(QStringLiteral("オプション指定"));
    const char* captions[] = {"レコード定義の接頭語", "読込用サブ名の接頭語",
                              "書込用サブ名の接頭語", "フィールド名空白部分へのパッディング",
                              "WorkSpace名",          "Database名の接頭語",
                              "Recordset名の接頭語"};
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < Text1.size(); ++i) {
        Label1[i] = new QLabel(QString::fromUtf8(captions[i]), this);
        Text1[i] = new QLineEdit(this);
        Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        Label1[i]->setBuddy(Text1[i]);
        grid->addWidget(Label1[i], static_cast<int>(i), 0);
        grid->addWidget(Text1[i], static_cast<int>(i), 1);
    }
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    const char* commands[] = {"設定", "キャンセル", "デフォルト値"};
    for (int i = 0; i < 3; ++i) {
        Command1[i] = new QPushButton(QString::fromUtf8(commands[i]), this);
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
        buttons->addWidget(Command1[i]);
    }
    layout->addLayout(buttons);
    Form_Activate();
}

// The boxes show the current options each time the window becomes active.
void frmOption::Form_Activate() {
    auto items = options_.Items();
    for (size_t i = 0; i < Text1.size(); ++i) Text1[i]->setText(QString::fromStdString(*items[i]));
}

void frmOption::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QWidget::changeEvent(event);
}

void frmOption::showEvent(QShowEvent* event) {
    Form_Activate();
    QWidget::showEvent(event);
}

void frmOption::Command1_Click(int Index) {
    switch (Index) {
    case 0: {
        auto items = options_.Items();
        for (size_t i = 0; i < Text1.size(); ++i)
            *items[i] = vespen::TrimBlanks(Text1[i]->text().toStdString());
        close();
        break;
    }
    case 1:
        close();
        break;
    case 2: {
        vespen::GeneratorOptions defaults;
        auto items = defaults.Items();
        for (size_t i = 0; i < Text1.size(); ++i)
            Text1[i]->setText(QString::fromStdString(*items[i]));
        break;
    }
    default:
        break;
    }
}
