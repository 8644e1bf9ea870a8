#include "frmRefTableList.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "QtText.h"
#include "core/FieldLines.h"
#include "engine/text932.h"
#include "engine/workspace.h"
#include "frmMELT.h"
#include "frmTavorin.h"
#include "modules/FuncUtility.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
namespace fs = std::filesystem;

using engine::Variant;

namespace {

bool FolderHoldsFiles(const std::string& folder) {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(folder, ec)) && !fs::is_empty(folder, ec);
}

} // namespace

// ---- The window ------------------------------------------------------------------------------

frmRefTableList::frmRefTableList(frmTavorin* owner) : QWidget(owner, Qt::Window), owner_(owner) {
    setObjectName(QStringLiteral("frmRefTableList"));
    setWindowTitle(Q("参照テーブル一覧表"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    auto* files = new QGridLayout;
    const char* const captions[2] = {"フォルダー名", "ファイル名"};
    for (int i = 0; i < 2; ++i) {
        Label2[i] = new QLabel(Q(captions[i]), this);
        Text2[i] = new QLineEdit(this);
        Text2[i]->setObjectName(QStringLiteral("Text2_%1").arg(i));
        Text2[i]->setReadOnly(true); // filled by the file dialog only
        Text2[i]->installEventFilter(this);
        Label2[i]->setBuddy(Text2[i]);
        files->addWidget(Label2[i], i, 0);
        files->addWidget(Text2[i], i, 1);
    }
    layout->addLayout(files);

    Label2[2] = new QLabel(Q("テーブル一覧表"), this);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setToolTip(Q("ダブルクリックで作業テーブルを選択します。"));
    layout->addWidget(Label2[2]);
    layout->addWidget(List1, 2);

    Label2[3] =
        new QLabel(Q("ﾌｨｰﾙﾄﾞ名　　　　  　　　　　　　種別   　　　　　　桁数 　　繰返し"), this);
    List2 = new QListWidget(this);
    List2->setObjectName(QStringLiteral("List2"));
    List2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List2->setToolTip(Q("挿入すべきﾌｨｰﾙﾄﾞをｸﾘｯｸで選択します。Shiftを押しながらｸﾘｯｸすると範囲の指定"
                        "になります。Ctrlを押しながらｸﾘｯｸすると複数行選択できます。"));
    // The heading's full-width blanks line up over the columns when the list's characters are
    // a third wider than the heading's.
    if (const qreal points = Label2[3]->font().pointSizeF(); points > 0) {
        QFont listFont = List2->font();
        listFont.setPointSizeF(points * 4 / 3);
        List2->setFont(listFont);
    }
    List2->setMinimumWidth(List2->fontMetrics().horizontalAdvance(QString(48, QLatin1Char('0'))) +
                           24);
    layout->addWidget(Label2[3]);
    layout->addWidget(List2, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Command1[1] = new QPushButton(Q("挿入"), this);
    Command1[1]->setToolTip(Q("選択された行を編集中のﾃｰﾌﾞﾙに挿入します。"));
    Command1[0] = new QPushButton(Q("閉じる"), this);
    Command1[0]->setToolTip(Q("参照ﾃｰﾌﾞﾙの画面を閉じます。"));
    for (int i : {1, 0}) {
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        buttons->addWidget(Command1[i]);
        connect(Command1[i], &QPushButton::clicked, this,
                [this, i] { Guarded(owner_->App.Platform, [this, i] { Command1_Click(i); }); });
    }
    layout->addLayout(buttons);

    Label1[0] = new QLabel(this);
    Label1[0]->setObjectName(QStringLiteral("Label1_0"));
    Label1[0]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label1[0]->setTextFormat(Qt::PlainText);
    layout->addWidget(Label1[0]);

    connect(List1, &QListWidget::itemDoubleClicked, this,
            [this] { Guarded(owner_->App.Platform, [this] { List1_DblClick(); }); });
    resize(sizeHint().width(), 560);
}

frmRefTableList::~frmRefTableList() = default;

frmMELT* frmRefTableList::MeltWindow() const {
    return melt_;
}

void frmRefTableList::Form_Load() {
    Text2[0]->clear();
    Text2[1]->clear();
    List1->clear();
    Label1[0]->setText(Q("ファイルを選択後、ダブルクリックで参照テーブルを指定して下さい。"));
}

bool frmRefTableList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == Text2[0] || watched == Text2[1])) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint()))
            Guarded(owner_->App.Platform, [this] { Text2_Click(); });
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Choosing the reference file ---------------------------------------------------------------

void frmRefTableList::Text2_Click() {
    ChosenFile chosen{RefFile.Folder, RefFile.BaseName, RefFile.Extension, RefFile.FullPath};
    int16_t error = 0;
    ChooseDatabaseFile(owner_->App, "G", 1, "", chosen, error);
    if (error != 0) return; // cancelled: nothing changes
    // The fields shown belong to the file that is no longer chosen, whatever the new one holds.
    ForgetFields();
    RefFile = {chosen.Folder, chosen.BaseName, chosen.Extension, chosen.FullPath};
    Text2[0]->setText(Q(RefFile.Folder));
    Text2[1]->setText(Q(RefFile.BaseName + RefFile.Extension));
    // A refused name leaves no reference file, and so no tables to list.
    if (RefFile.FullPath.empty() || SameText(RefFile.Extension, ".MDB"))
        ShowRefTables(RefFile.FullPath);
    else
        ExtractChosenArchive();
}

void frmRefTableList::ExtractChosenArchive() {
    // The archive's tables are listed only once a database is picked out of it.
    ForgetFields();
    List1->clear();
    RefTableList.clear();
    // A folder that cannot be emptied stops the extraction: files of an earlier archive must
    // not pass for this one's.
    int16_t errorMark = 0;
    if (FolderHoldsFiles(owner_->App.Store.MeltFolder))
        RemoveFolderTree(owner_->App.Platform, owner_->App.Store.MeltFolder, errorMark);
    if (errorMark == 0) {
        std::error_code ec;
        fs::create_directory(owner_->App.Store.MeltFolder, ec);
        if (ec) errorMark = 9;
    }
    int32_t fileCount = 0;
    if (errorMark == 0)
        ExtractArchive(owner_->App.Platform, RefFile.FullPath, owner_->App.Store.MeltFolder + "/",
                       fileCount, errorMark);
    if (errorMark != 0) {
        owner_->App.Platform.MsgBox(Q("解凍できません。"));
        if (melt_) melt_->ShowFolder(owner_->App.Store.MeltFolder);
        return;
    }
    if (!melt_) {
        melt_ = new frmMELT(this);
        melt_->Form_Load();
        // To the left of this window, so that its table and field lists stay in sight.
        const QRect here = frameGeometry();
        melt_->move(std::max(0, here.left() - melt_->width() - 8), here.top() + 40);
    }
    melt_->ShowFolder(owner_->App.Store.MeltFolder);
    melt_->show();
    melt_->raise();
    melt_->activateWindow();
}

void frmRefTableList::ForgetFields() {
    RefFields.clear();
    List2->clear();
    RefTablePath.clear();
    RefTableName.clear();
}

void frmRefTableList::ShowRefTables(const std::string& path) {
    ForgetFields();
    List1->clear();
    LoadTableList(*owner_->App.Store.Ws, path, List1, RefTableList);
    List1->setFocus();
}

// ---- The fields of a table -------------------------------------------------------------------

void frmRefTableList::List1_DblClick() {
    const int line = List1->currentRow();
    if (line < 0 || static_cast<size_t>(line) >= RefTableList.size()) return;
    RefTablePath = RefFile.FullPath;
    RefTableName = RefTableList[static_cast<size_t>(line)].Name;
    RefFields.clear();
    List2->clear();

    // Only read, so that a reference on a read-only disk opens too.
    engine::DatabasePtr db = owner_->App.Store.Ws->OpenDatabase(RefTablePath, false, true);
    struct Closer {
        engine::Database& db;
        ~Closer() { db.Close(); }
    } closer{*db};
    engine::TableDefPtr table = db->TableDefs().Item(RefTableName);
    std::vector<FieldLine> fields = FoldFieldLines(*table);
    if (fields.size() > kMaxRefFields) fields.resize(kMaxRefFields);
    QStringList lines;
    for (const FieldLine& field : fields) lines << Q(FieldListLine(field));
    RefFields = std::move(fields);
    List2->addItems(lines);
}

// ---- Insert and close
// ----------------------------------------------------------------------------

void frmRefTableList::Command1_Click(int index) {
    if (index == 1)
        InsertSelectedFields();
    else
        CloseRefWindow();
}

void frmRefTableList::InsertSelectedFields() {
    frmTavorin& main = *owner_;
    // What was typed into the main window's grid is kept before the grid is filled anew.
    int16_t error = 0;
    main.StoreRow(error);
    if (error != 0) return;
    main.RequireFileAndTable(error);
    if (error != 0) return;
    std::vector<FieldLine> lines;
    for (int i = 0; i < List2->count() && static_cast<size_t>(i) < RefFields.size(); ++i)
        if (List2->item(i)->isSelected()) lines.push_back(RefFields[static_cast<size_t>(i)]);
    if (lines.empty()) return;

    const int32_t nextRow = main.AppendFieldRows(lines);

    main.LastRow = nextRow;
    main.TopRow = nextRow > 9 ? nextRow - 8 : 1;
    main.SetScrollRange(main.TopRow - 1);
    main.FillGrid(main.TopRow);
    // The row in edit may be one of the new rows (an empty line the user had clicked).
    if (main.CurRow > 0) {
        main.RowBufferOp("GET");
        const int32_t line = main.CurRow - main.TopRow;
        if (line >= 0 && line < frmTavorin::kGridLines) main.SelectRow(static_cast<int>(line));
    }
    main.LayoutChanged = 9;
    Command1[0]->setFocus();
}

void frmRefTableList::CloseRefWindow() {
    RefFile = {};
    Unload();
    frmTavorin& main = *owner_;
    main.activateWindow();
    main.Text1[9]->setFocus();
}

void frmRefTableList::Unload() {
    if (unloading_) return;
    unloading_ = true;
    if (melt_) melt_->Unload();
    close();
}

void frmRefTableList::closeEvent(QCloseEvent* event) {
    // The close box does what "閉じる" does.
    if (!unloading_) Guarded(owner_->App.Platform, [this] { CloseRefWindow(); });
    event->accept();
}

} // namespace tavorin
