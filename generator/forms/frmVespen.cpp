#include "frmVespen.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "engine/error.h"
#include "frmAbout.h"
#include "frmOption.h"
#include "module_file.h"
#include "platform/common_dialog.h"
#include "platform/program_files.h"
#include "platform/prompts.h"
#include "platform/shell.h"

namespace {

constexpr int kTableRole = Qt::UserRole;
constexpr int kFieldRole = Qt::UserRole + 1;
// Explorer style with multiple selection allowed (0x200), as both file dialogs are set up.
constexpr long kDialogFlags = 0x80200;

// The lists' font; on Linux it is the IPA gothic, which has the same fixed-width layout.
QFont ListFont() {
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                                   {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                                    QStringLiteral("Noto Sans Mono CJK JP"),
                                    QStringLiteral("Monospace")});
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The dialog folder holds the file last chosen; the dialogs start in the folder that holds it.
QString StartFolder(const QString& dialogFolder) {
    QFileInfo info(dialogFolder);
    return info.isFile() ? info.absolutePath() : dialogFolder;
}

// Unexpected failures end the action, never the program: one message, state unchanged.
void ShowFailure(platform::Services& platform, const std::exception& e) {
    if (const std::optional<engine::Error> engineError = engine::AsEngineError(e))
        platform.MsgBox(QStringLiteral("Error; %1\n%2")
                            .arg(engineError->Number())
                            .arg(Q(engineError->Description())),
                        platform::vbCritical);
    else
        platform.MsgBox(QStringLiteral("Error; %1").arg(Q(e.what())), platform::vbCritical);
}

} // namespace

frmVespen::frmVespen(VespenContext& app, QWidget* parent) : QMainWindow(parent), App(app) {
    setWindowTitle(QStringLiteral("VB用標準モジュール作成"));
    BuildControls();
    BuildMenus();
    Form_Load();
}

frmVespen::~frmVespen() = default;

frmOption* frmVespen::OptionWindow() const {
    return option_;
}
frmAbout* frmVespen::AboutWindow() const {
    return about_;
}

void frmVespen::BuildControls() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    Text1 = new QLineEdit(central);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setToolTip(QStringLiteral("mdbファイルを指定します。"));
    Text1->installEventFilter(this);
    layout->addWidget(Text1);

    auto* lists = new QGridLayout;
    List1 = new QListWidget(central);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setToolTip(QStringLiteral("作業するテーブルを選択します。"));
    List2 = new QListWidget(central);
    List2->setObjectName(QStringLiteral("List2"));
    List2->setToolTip(QStringLiteral("生成したbasの内容を表示します。"));
    for (QListWidget* list : {List1, List2}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setFont(ListFont());
        list->setUniformItemSizes(true);
    }
    lists->addWidget(List1, 0, 0);
    lists->addWidget(List2, 0, 1);
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(1, 3);

    const char* captions1[] = {"basの生成", "選択範囲の削除", "選択の解除"};
    const char* tips1[] = {"選択したテーブルに基づいてbasを生成します。",
                           "選択したテーブルをリストから削除します。", "選択を解除します。"};
    const char* captions2[] = {"選択範囲の削除", "選択の解除", "basの保存"};
    const char* tips2[] = {"選択した行を削除します。", "選択を解除します。",
                           "生成したbasを保存します。"};
    auto* buttons1 = new QHBoxLayout;
    auto* buttons2 = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        Command1[i] = new QPushButton(QString::fromUtf8(captions1[i]), central);
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setToolTip(QString::fromUtf8(tips1[i]));
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
        buttons1->addWidget(Command1[i]);
        Command2[i] = new QPushButton(QString::fromUtf8(captions2[i]), central);
        Command2[i]->setObjectName(QStringLiteral("Command2_%1").arg(i));
        Command2[i]->setToolTip(QString::fromUtf8(tips2[i]));
        connect(Command2[i], &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
        buttons2->addWidget(Command2[i]);
    }
    lists->addLayout(buttons1, 1, 0);
    lists->addLayout(buttons2, 1, 1);
    layout->addLayout(lists, 1);

    Label2 = new QLabel(central);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFrameShape(QFrame::Panel);
    Label2->setFrameShadow(QFrame::Sunken);
    layout->addWidget(Label2);

    setCentralWidget(central);
    resize(900, 600);
}

void frmVespen::BuildMenus() {
    mnFILE = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mnFileMDB =
        mnFILE->addAction(QStringLiteral("mdb選択(&M)"), this, [this] { SelectDatabase(); });
    mnBASName = mnFILE->addAction(QStringLiteral("bas保存(&S)"), this, [this] { SaveModule(); });
    mnFILE->addSeparator();
    mnEnd = mnFILE->addAction(QStringLiteral("終了(&E)"), this, [this] { close(); });
    mnOName =
        menuBar()->addAction(QStringLiteral("ｵﾌﾟｼｮﾝ指定(&O)"), this, [this] { mnOName_Click(); });
    mnHELP = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    mnManual = mnHELP->addAction(QStringLiteral("操作説明"), this, [this] { mnManual_Click(); });
    mnVer = mnHELP->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"), this, [this] { mnVer_Click(); });
}

void frmVespen::Form_Load() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    ProgramFolder = QCoreApplication::applicationDirPath();
    while (ProgramFolder.size() > 1 && ProgramFolder.endsWith(QLatin1Char('/')))
        ProgramFolder.chop(1);
    DatabasePath = ProgramFolder + QLatin1Char('/');
    DialogFolder = ProgramFolder;
    HelpFolder = QFileInfo(platform::ProgramDataFile(QStringLiteral("HELP/bgmanual.html"))).path() +
                 QLatin1Char('/');
    Options = vespen::GeneratorOptions{};
    List1->clear();
    List2->clear();
    Text1->clear();
}

void frmVespen::ShowStatus(const QString& text) {
    Label2->setText(text);
    Label2->repaint();
}

bool frmVespen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Text1->rect().contains(mouse->position().toPoint())) {
            Text1_Click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmVespen::closeEvent(QCloseEvent* event) {
    // The run ends with the main window: the options and version windows go with it.
    if (option_) option_->close();
    if (about_) about_->close();
    event->accept();
}

void frmVespen::Text1_Click() {
    SelectDatabase();
}

void frmVespen::SelectDatabase() {
    List1->clear();
    List2->clear();
    Text1->clear();
    ShowStatus(QStringLiteral("Generateする対象となるmdbを指定してください。"));

    platform::CommonDialog dialog(App.Platform.FileDialogs());
    dialog.DialogTitle = QStringLiteral("ファイルの指定");
    dialog.InitDir = StartFolder(DialogFolder);
    dialog.DefaultExt = QStringLiteral("mdb");
    dialog.Filter = QStringLiteral("ＭＤＢファイル(*.mdb)|*.mdb");
    dialog.Flags = kDialogFlags;
    dialog.CancelError = true;
    try {
        dialog.ShowOpen();
    } catch (const platform::DialogCancelled&) {
        return;
    }
    QString path = dialog.FileName;
    // A multiple selection arrives as NUL-separated names: the first one counts.
    if (qsizetype nul = path.indexOf(QChar(u'\0')); nul >= 0) path.truncate(nul);
    OpenDatabase(path);
}

void frmVespen::OpenDatabase(const QString& path) {
    List1->clear();
    List2->clear();
    DatabasePath = path;
    DialogFolder = path;
    Text1->setText(path);

    if (!path.endsWith(QLatin1String(".mdb")) && !path.endsWith(QLatin1String(".MDB"))) {
        App.Platform.MsgBox(QStringLiteral(".mdbファイルを選択して下さい"));
        return;
    }
    try {
        for (const std::string& table : vespen::ListTables(App.Ws, path.toStdString()))
            List1->addItem(Q(table));
    } catch (const std::exception& e) {
        List1->clear();
        ShowFailure(App.Platform, e);
        return;
    }
    List1->setFocus();
}

void frmVespen::Command1_Click(int Index) {
    switch (Index) {
    case 0:
        GenerateModule();
        break;
    case 1:
        RemoveSelected(List1);
        break;
    case 2:
        ClearSelection(List1);
        break;
    default:
        break;
    }
}

void frmVespen::Command2_Click(int Index) {
    switch (Index) {
    case 0:
        RemoveSelected(List2);
        break;
    case 1:
        ClearSelection(List2);
        break;
    case 2:
        SaveModule();
        break;
    default:
        break;
    }
}

void frmVespen::RemoveSelected(QListWidget* list) {
    if (list->selectedItems().isEmpty()) return;
    for (int i = list->count() - 1; i >= 0; --i)
        if (list->item(i)->isSelected()) delete list->takeItem(i);
    list->update();
}

void frmVespen::ClearSelection(QListWidget* list) {
    if (list->selectedItems().isEmpty()) return;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) list->item(i)->setSelected(false);
    list->update();
}

void frmVespen::GenerateModule() {
    if (Text1->text().trimmed().isEmpty()) {
        App.Platform.MsgBox(QStringLiteral("ｍｄｂの指定を先に行って下さい。"));
        return;
    }
    if (List1->count() == 0) {
        App.Platform.MsgBox(QStringLiteral("該当するテーブルがありません。"));
        return;
    }
    if (ScanTables()) BuildModuleText();
}

bool frmVespen::ScanTables() {
    ShowStatus(Q(vespen::kStatusScanning));
    if (List1->selectedItems().isEmpty()) List1->selectAll();
    List2->clear();
    FieldTable.clear();
    std::vector<std::string> tables;
    for (int i = 0; i < List1->count(); ++i)
        if (List1->item(i)->isSelected()) tables.push_back(List1->item(i)->text().toStdString());
    try {
        FieldTable =
            vespen::ScanTables(App.Ws, DatabasePath.toStdString(), tables,
                               [this](const std::string& status) { ShowStatus(Q(status)); });
    } catch (const std::exception& e) {
        FieldTable.clear();
        ShowFailure(App.Platform, e);
        return false;
    }
    return true;
}

void frmVespen::BuildModuleText() {
    List2->clear();
    vespen::ModuleText lines;
    try {
        lines =
            vespen::BuildModuleText(FieldTable, DatabasePath.toStdString(), Options,
                                    [this](const std::string& status) { ShowStatus(Q(status)); });
    } catch (const std::exception& e) {
        ShowFailure(App.Platform, e);
        return;
    }
    List2->setUpdatesEnabled(false);
    for (const vespen::ModuleLine& line : lines) {
        auto* item = new QListWidgetItem(Q(line.Text));
        if (!line.Table.empty()) item->setData(kTableRole, Q(line.Table));
        if (!line.Field.empty()) item->setData(kFieldRole, Q(line.Field));
        List2->addItem(item);
    }
    List2->setUpdatesEnabled(true);
}

void frmVespen::SaveModule() {
    if (List2->count() == 0) {
        App.Platform.MsgBox(QStringLiteral("書き込む内容がありません。"));
        return;
    }
    QString proposed = Q(vespen::ProposedModuleFileName(DatabasePath.toStdString()));
    ShowStatus(QStringLiteral("生成するBAS名を指定してください。"));

    platform::CommonDialog dialog(App.Platform.FileDialogs());
    dialog.DialogTitle = QStringLiteral("標準モジュール名（bas）の指定");
    dialog.InitDir = StartFolder(DialogFolder);
    dialog.DefaultExt = QStringLiteral("bas");
    dialog.Filter = QStringLiteral("BASファイル(*.bas)|*.bas");
    dialog.Flags = kDialogFlags;
    dialog.FileName = proposed;
    dialog.CancelError = true;
    try {
        dialog.ShowSave();
    } catch (const platform::DialogCancelled&) {
        return;
    }
    vespen::ModuleText lines;
    lines.reserve(static_cast<size_t>(List2->count()));
    for (int i = 0; i < List2->count(); ++i) {
        const QListWidgetItem* item = List2->item(i);
        lines.push_back({item->text().toStdString(),
                         item->data(kTableRole).toString().toStdString(),
                         item->data(kFieldRole).toString().toStdString()});
    }
    try {
        vespen::SaveModuleFile(dialog.FileName.toStdString(), lines);
    } catch (const vespen::SaveError& e) {
        App.Platform.MsgBox(Q(e.what()), platform::vbExclamation);
        return;
    } catch (const std::exception& e) {
        ShowFailure(App.Platform, e);
        return;
    }
    List2->clear();
}

void frmVespen::mnManual_Click() {
    App.Platform.Shell().Open(HelpFolder + QStringLiteral("bgmanual.html"));
}

void frmVespen::mnVer_Click() {
    if (!about_) {
        about_ = new frmAbout(this);
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void frmVespen::mnOName_Click() {
    if (!option_) {
        option_ = new frmOption(Options, this);
        option_->setAttribute(Qt::WA_DeleteOnClose);
    }
    option_->show();
    option_->raise();
    option_->activateWindow();
}
