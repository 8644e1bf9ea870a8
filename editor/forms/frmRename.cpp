// frmRename: the new-name window of the table menu.
#include "frmRename.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "DesignerFileCommands.h"
#include "QtText.h"
#include "engine/workspace.h"
#include "platform/prompts.h"

namespace tavorin {

frmRename::frmRename(DesignerFileCommands& owner) : QDialog(&owner), owner_(owner) {
    setObjectName(QStringLiteral("frmRename"));
    setWindowTitle(Q("名称の変更"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    Label1[14] = new QLabel(this);
    Label1[14]->setObjectName(QStringLiteral("Label1_14"));
    QFont bold = Label1[14]->font();
    bold.setBold(true);
    Label1[14]->setFont(bold);
    layout->addWidget(Label1[14]);

    auto* nameRow = new QHBoxLayout;
    Label1[0] = new QLabel(Q("新テーブル名"), this);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMinimumWidth(240);
    Label1[0]->setBuddy(Text1);
    nameRow->addWidget(Label1[0]);
    nameRow->addWidget(Text1, 1);
    layout->addLayout(nameRow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const char* const captions[2] = {"設定", "キャンセル"};
    for (int i = 0; i < 2; ++i) {
        QPushButton* button = new QPushButton(Q(captions[i]), this);
        button->setObjectName(QStringLiteral("Command1_%1").arg(i));
        // Enter on a button presses it; Enter in the name box only moves to "設定" (the box's
        // filter takes the key before the window's default button could).
        button->setAutoDefault(true);
        Command1[static_cast<size_t>(i)] = button;
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                [this, i] { Guarded(owner_.App.Platform, [this, i] { Command1_Click(i); }); });
    }
    layout->addLayout(buttons);
    Text1->installEventFilter(this);
    Form_Load();
}

void frmRename::Form_Load() {
    Label1[14]->setText(owner_.RequestMode == DesignerFileCommands::RequestRename
                            ? Q("テーブル名の変更")
                            : Q("新しいテーブル名をつけて保存"));
    Text1->setText(QString::fromStdString(owner_.RequestedName));
}

void frmRename::Text1_GotFocus() {
    Text1->setSelection(0, 255);
}

void frmRename::Text1_KeyPress(int key) {
    if (key == 13) Command1[0]->setFocus();
}

bool frmRename::NameFree(const std::string& name, const std::string& currentTable,
                         const std::string& path) const {
    if (name == currentTable) return true;
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return true;
    engine::DatabasePtr db = owner_.App.Store.Ws->OpenDatabase(path);
    bool taken = false;
    for (const std::string& table : db->TableDefs().Names())
        if (table == name) taken = true;
    db->Close();
    return !taken;
}

void frmRename::Command1_Click(int index) {
    if (index == 1) {
        reject();
        return;
    }
    owner_.RequestedName = Text1->text().toStdString();
    if (NameFree(owner_.RequestedName, owner_.CurrentTable, owner_.App.CurrentFile.FullPath)) {
        answered_ = true;
        accept();
        return;
    }
    owner_.App.Platform.MsgBox(Q("同じ名前のテーブルが存在します。"));
    Text1->setFocus();
}

void frmRename::reject() {
    owner_.RequestedName.clear();
    answered_ = true;
    QDialog::reject();
}

void frmRename::closeEvent(QCloseEvent* event) {
    if (!answered_) owner_.RequestedName.clear();
    answered_ = true;
    QDialog::closeEvent(event);
}

bool frmRename::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1) {
        if (event->type() == QEvent::FocusIn) {
            // After the box's own selection handling, which a mouse click would undo.
            QTimer::singleShot(0, this, [this] { Text1_GotFocus(); });
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                Text1_KeyPress(13);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tavorin
