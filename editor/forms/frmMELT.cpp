#include "frmMELT.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "QtText.h"
#include "frmRefTableList.h"
#include "frmTavorin.h"
#include "modules/TavorinSub.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {

frmMELT::frmMELT(frmRefTableList* owner) : QWidget(owner, Qt::Window), owner_(owner) {
    setObjectName(QStringLiteral("frmMELT"));
    setWindowTitle(Q("解凍ファイル"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    layout->addWidget(Label1);

    auto* grid = new QGridLayout;
    Label2[0] = new QLabel(Q("ファイル種別"), this);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setToolTip(Q("ｸﾘｯｸで表示するﾌｧｲﾙの種別を選択します。"));
    Label2[1] = new QLabel(Q("解凍ファイル一覧"), this);
    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setToolTip(Q("ﾀﾞﾌﾞﾙｸﾘｯｸで参照するﾌｧｲﾙを選択します。"));
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->addWidget(Label2[0], 0, 0);
    grid->addWidget(Combo1, 0, 1);
    grid->addWidget(Label2[1], 1, 0, 1, 2);
    grid->addWidget(File1, 2, 0, 1, 2);
    layout->addLayout(grid, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const char* const captions[2] = {"開く", "閉じる"};
    const char* const tips[2] = {"選択されたﾌｧｲﾙのﾃｰﾌﾞﾙを開きます。", "解凍ﾌｫﾙﾀﾞｰを閉じます。"};
    for (int i = 0; i < 2; ++i) {
        Command1[i] = new QPushButton(Q(captions[i]), this);
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setToolTip(Q(tips[i]));
        buttons->addWidget(Command1[i]);
        connect(Command1[i], &QPushButton::clicked, this, [this, i] {
            Guarded(owner_->Owner()->App.Platform, [this, i] { Command1_Click(i); });
        });
    }
    layout->addLayout(buttons);

    connect(Combo1, &QComboBox::activated, this,
            [this] { Guarded(owner_->Owner()->App.Platform, [this] { Combo1_Click(); }); });
    connect(File1, &QListWidget::itemClicked, this,
            [this] { Guarded(owner_->Owner()->App.Platform, [this] { File1_Click(); }); });
    connect(File1, &QListWidget::itemDoubleClicked, this,
            [this] { Guarded(owner_->Owner()->App.Platform, [this] { File1_DblClick(); }); });
    // A double click beside the files is a double click of the list too.
    File1->viewport()->installEventFilter(this);
    resize(360, 320);
}

void frmMELT::Form_Load() {
    Label1->setText(Q("参照するファイルを選択して下さい。"));
    Combo1->clear();
    Combo1->addItem(QStringLiteral("*.*"));
    Combo1->addItem(QStringLiteral("*.MDB"));
}

void frmMELT::ShowFolder(const std::string& folder) {
    File1Path = folder;
    ClickedIndex = 0;
    Combo1->setCurrentIndex(0);
    Combo1_Click();
}

void frmMELT::Combo1_Click() {
    File1Pattern = Combo1->currentText().toStdString();
    RefreshFileList();
}

// Lists the files of File1Path that match the pattern, in name order, letter case ignored as in
// the pattern. The file clicked last keeps its place in the count if it is still listed.
void frmMELT::RefreshFileList() {
    const QListWidgetItem* clicked = File1->item(ClickedIndex);
    const QString remembered = clicked ? clicked->text() : QString();
    File1->clear();
    // "*.*" means every file, also one without a dot in its name.
    const QString pattern = File1Pattern == "*.*" ? QStringLiteral("*") : Q(File1Pattern);
    const QDir folder(Q(File1Path));
    File1->addItems(
        folder.entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase));
    ClickedIndex = 0;
    for (int i = 0; i < File1->count(); ++i)
        if (File1->item(i)->text() == remembered) ClickedIndex = i;
}

void frmMELT::File1_Click() {
    ClickedIndex = File1->currentRow();
    if (QListWidgetItem* item = File1->item(ClickedIndex)) item->setSelected(true);
}

void frmMELT::File1_DblClick() {
    const QList<QListWidgetItem*> selected = File1->selectedItems();
    if (selected.isEmpty()) {
        owner_->Owner()->App.Platform.MsgBox(
            Q("ダブルクリックで参照するファイルを選択して下さい。"));
        return;
    }
    int16_t errorMark = 0;
    OpenExtractedFile(selected.front()->text().toStdString(), errorMark);
    if (errorMark == 0)
        FocusRefTableList();
    else
        File1->setFocus();
}

void frmMELT::Command1_Click(int index) {
    if (index == 1) {
        FocusRefTableList();
        Unload();
        return;
    }
    const QListWidgetItem* item = ClickedIndex >= 0 ? File1->item(ClickedIndex) : nullptr;
    if (item) {
        int16_t errorMark = 0;
        OpenExtractedFile(item->text().toStdString(), errorMark);
    } else {
        owner_->Owner()->App.Platform.MsgBox(Q("参照するファイルをクリックで選択して下さい。"));
    }
    File1->setFocus();
}

void frmMELT::OpenExtractedFile(const std::string& fileName, int16_t& errorMark) {
    errorMark = 0;
    const size_t dot = fileName.find('.');
    const std::string base = fileName.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : fileName.substr(dot);
    if (!SameText(extension, ".MDB")) {
        owner_->Owner()->App.Platform.MsgBox(
            Q("参照できないファイルです。解凍フォルダーからの参照可能はファイルは　*."
              "MDB のみです。"));
        errorMark = 9;
        return;
    }
    owner_->ForgetFields();
    RefFileState& file = owner_->RefFile;
    file.BaseName = base;
    file.Extension = extension;
    file.Folder = owner_->Owner()->App.Store.MeltFolder + "/";
    file.FullPath = file.Folder + base + extension;
    owner_->Text2[0]->setText(Q(file.Folder));
    owner_->Text2[1]->setText(Q(base));
    LoadTableList(*owner_->Owner()->App.Store.Ws, file.FullPath, owner_->List1,
                  owner_->RefTableList);
}

void frmMELT::FocusRefTableList() {
    owner_->activateWindow();
    owner_->List1->setFocus();
}

void frmMELT::Unload() {
    unloading_ = true;
    close();
}

bool frmMELT::eventFilter(QObject* watched, QEvent* event) {
    if (watched == File1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!File1->itemAt(mouse->position().toPoint()))
            Guarded(owner_->Owner()->App.Platform, [this] { File1_DblClick(); });
    }
    return QWidget::eventFilter(watched, event);
}

void frmMELT::closeEvent(QCloseEvent* event) {
    // The close box does what "閉じる" does.
    if (!unloading_) FocusRefTableList();
    unloading_ = true;
    event->accept();
}

} // namespace tavorin
