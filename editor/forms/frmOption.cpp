#include "frmOption.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "QtText.h"
#include "frmTavorin.h"
#include "modules/FuncUtility.h"
#include "modules/TavorinSub.h"

namespace tavorin {

namespace {

const char* const kKeyCaptions[6] = {"主キー",   "副キー１", "副キー２",
                                     "副キー３", "副キー４", "副キー５"};

} // namespace

frmOption::frmOption(frmTavorin* owner) : QWidget(owner, Qt::Window), owner_(owner) {
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(Q("オプション"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(Q("デフォルト値の設定"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    auto* typeRow = new QHBoxLayout;
    auto* typeCaption = new QLabel(Q("データ種別"), this);
    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setMinimumContentsLength(14);
    typeCaption->setBuddy(Combo2);
    typeRow->addWidget(typeCaption);
    typeRow->addWidget(Combo2, 1);
    layout->addLayout(typeRow);

    auto* keys = new QGroupBox(Q("キーの名称"), this);
    auto* grid = new QGridLayout(keys);
    for (int k = 0; k < 6; ++k) {
        auto* caption = new QLabel(Q(kKeyCaptions[k]), keys);
        Text1[static_cast<size_t>(k + 1)] = new QLineEdit(keys);
        Text1[static_cast<size_t>(k + 1)]->setObjectName(QStringLiteral("Text1_%1").arg(k + 1));
        Combo1[static_cast<size_t>(k)] = new QComboBox(keys);
        Combo1[static_cast<size_t>(k)]->setObjectName(QStringLiteral("Combo1_%1").arg(k));
        caption->setBuddy(Text1[static_cast<size_t>(k + 1)]);
        grid->addWidget(caption, k, 0);
        grid->addWidget(Text1[static_cast<size_t>(k + 1)], k, 1);
        grid->addWidget(Combo1[static_cast<size_t>(k)], k, 2);
    }
    grid->setColumnStretch(1, 1);
    layout->addWidget(keys);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const char* const captions[2] = {"設定", "ｷｬﾝｾﾙ"};
    for (int i = 0; i < 2; ++i) {
        Command1[static_cast<size_t>(i)] = new QPushButton(Q(captions[i]), this);
        Command1[static_cast<size_t>(i)]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        buttons->addWidget(Command1[static_cast<size_t>(i)]);
        connect(Command1[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { Guarded(owner_->App.Platform, [this, i] { Command1_Click(i); }); });
    }
    layout->addLayout(buttons);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label3->setTextFormat(Qt::PlainText);
    Label3->setMinimumHeight(Label3->fontMetrics().height() + 8);
    layout->addWidget(Label3);

    Combo2->installEventFilter(this);
    connect(Combo2, &QComboBox::activated, this, [this] { Combo2_Click(); });
    for (int k = 0; k < 6; ++k) {
        Text1[static_cast<size_t>(k + 1)]->installEventFilter(this);
        Combo1[static_cast<size_t>(k)]->installEventFilter(this);
        connect(Combo1[static_cast<size_t>(k)], &QComboBox::activated, this,
                [this, k] { Combo1_Click(k); });
    }
    resize(sizeHint().width() + 40, sizeHint().height());
}

frmOption::~frmOption() = default;

void frmOption::Form_Load() {
    loaded_ = false;
    Combo2->clear();
    for (const std::string& name : TypeNames())
        if (!name.empty()) Combo2->addItem(QString::fromStdString(name));
    Combo2->addItem(QString()); // choosing it clears the default type
    Combo2->setCurrentIndex(TypeListIndexOf(owner_->App.Defaults.DefaultType));
    for (size_t k = 0; k < 6; ++k) {
        Combo1[k]->clear();
        Combo1[k]->addItem(Q("重複なし"));
        Combo1[k]->addItem(Q("重複あり"));
        Text1[k + 1]->setText(QString::fromStdString(owner_->App.Defaults.IndexDefaultName[k]));
        Combo1[k]->setCurrentIndex(owner_->App.Defaults.IndexDefaultDup[k]);
    }
    loaded_ = true;
}

void frmOption::Command1_Click(int index) {
    if (index == 0) {
        // What is being typed in the main window is taken first; a faulty cell stops here.
        int16_t error = 0;
        owner_->StoreRow(error);
        if (error != 0) return;
        owner_->App.Defaults.DefaultType = TrimBlanks(Combo2->currentText().toStdString());
        for (size_t k = 0; k < 6; ++k) {
            owner_->App.Defaults.IndexDefaultName[k] =
                TrimBlanks(Text1[k + 1]->text().toStdString());
            owner_->App.Defaults.IndexDefaultDup[k] =
                static_cast<int16_t>(Combo1[k]->currentIndex());
        }
        owner_->ApplyIndexDefaults();
    }
    close();
}

void frmOption::closeEvent(QCloseEvent* event) {
    // The main window, whose layout the defaults are for, is where the user goes on.
    owner_->activateWindow();
    QWidget::closeEvent(event);
}

// ---- Focus moves
// ---------------------------------------------------------------------------------

void frmOption::Combo2_Click() {
    if (loaded_) Text1[1]->setFocus();
}

void frmOption::Combo1_Click(int key) {
    if (!loaded_) return;
    if (key < 5)
        Text1[static_cast<size_t>(key + 2)]->setFocus();
    else
        Command1[0]->setFocus();
}

bool frmOption::Text1_KeyDown(int index, int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        Combo1[static_cast<size_t>(index - 1)]->setFocus();
        return true;
    case Qt::Key_Up:
        if (index > 1) Text1[static_cast<size_t>(index - 1)]->setFocus();
        return true;
    case Qt::Key_Down:
        if (index < 6)
            Text1[static_cast<size_t>(index + 1)]->setFocus();
        else
            Command1[0]->setFocus();
        return true;
    default:
        return false;
    }
}

bool frmOption::eventFilter(QObject* watched, QEvent* event) {
    int textIndex = -1;
    for (int i = 1; i <= 6; ++i)
        if (watched == Text1[static_cast<size_t>(i)]) textIndex = i;
    if (event->type() == QEvent::FocusIn) {
        if (watched == Combo2)
            Label3->setText(Q("データ種別を選択して下さい。"));
        else if (textIndex > 0)
            Label3->setText(Q("インデックス名称を入力して下さい。"));
        else
            Label3->setText(Q("インデックスキーの種類を選択して下さい。"));
    } else if (event->type() == QEvent::KeyPress && textIndex > 0) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            Text1_KeyDown(textIndex, key->key()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tavorin
