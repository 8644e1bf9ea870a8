// Building the designer window's controls.
#include "DesignerControls.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QVBoxLayout>

#include "QtText.h"
#include "ToolImage.h"

namespace tavorin {

namespace {

const char* const kHeadings[12] = {"行番", "フィールド名", "データ種別", "ｻｲｽﾞ", "繰返", "主",
                                   "副１", "副２",         "副３",       "副４", "副５", "備考"};

const char* const kKeyCaptions[6] = {"主キー",   "副キー１", "副キー２",
                                     "副キー３", "副キー４", "副キー５"};

} // namespace

DesignerControls::DesignerControls(AppContext& app, QWidget* parent)
    : QMainWindow(parent),
      LayoutDocument(*app.Store.Ws, app.Store.WorkDb, app.Store.WorkRs, app.Defaults), App(app) {}

void DesignerControls::BuildToolbar() {
    ToolBar1 = new QWidget(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    auto* row = new QHBoxLayout(ToolBar1);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(6);
    for (int i = 0; i < kToolButtons; ++i) {
        Image1[i] = new tavorin::ToolImage(ToolPicture(i), ToolBar1);
        Image1[i]->setObjectName(QStringLiteral("Image1_%1").arg(i));
        row->addWidget(Image1[i]);
        // Gaps between the groups of the toolbar: end | files | tables | data | help.
        if (i == 0 || i == 3 || i == 8 || i == 9) row->addSpacing(10);
    }
    row->addStretch(1);
    AddToolFrameLines(ToolBar1, Line1);
}

QWidget* DesignerControls::BuildFileFrame() {
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(Frame1);
    const char* const captions[4] = {"フォルダー名", "ファイル名", "テーブル名", "備　　考"};
    QLineEdit* boxes[4];
    for (int i = 0; i < 2; ++i) {
        Text2[i] = new QLineEdit(Frame1);
        Text2[i]->setObjectName(QStringLiteral("Text2_%1").arg(i));
        Text2[i]->setReadOnly(true); // filled by the file dialog only
        boxes[i] = Text2[i];
    }
    Text1[0] = new QLineEdit(Frame1);
    Text1[7] = new QLineEdit(Frame1);
    boxes[2] = Text1[0];
    boxes[3] = Text1[7];
    for (int i = 0; i < 4; ++i) {
        Label2[i] = new QLabel(Q(captions[i]), Frame1);
        Label2[i]->setBuddy(boxes[i]);
        grid->addWidget(Label2[i], i, 0);
        grid->addWidget(boxes[i], i, 1);
    }
    grid->setRowStretch(4, 1);
    return Frame1;
}

QWidget* DesignerControls::BuildListAndIndexFrames() {
    auto* place = new QWidget(this);
    auto* stack = new QGridLayout(place);
    stack->setContentsMargins(0, 0, 0, 0);

    Frame2 = new QGroupBox(Q("テーブル一覧表"), place);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* listLayout = new QVBoxLayout(Frame2);
    List1 = new QListWidget(Frame2);
    List1->setObjectName(QStringLiteral("List1"));
    listLayout->addWidget(List1);

    Frame3 = new QGroupBox(Q("インデックスキーの設定"), place);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto* keys = new QGridLayout(Frame3);
    keys->setVerticalSpacing(2);
    for (int k = 0; k < 6; ++k) {
        Label4[k] = new QLabel(Q(kKeyCaptions[k]), Frame3);
        Text1[k + 1] = new QLineEdit(Frame3);
        Combo1[k] = new QComboBox(Frame3);
        Combo1[k]->setObjectName(QStringLiteral("Combo1_%1").arg(k));
        Label4[k]->setBuddy(Text1[k + 1]);
        keys->addWidget(Label4[k], k, 0);
        keys->addWidget(Text1[k + 1], k, 1);
        keys->addWidget(Combo1[k], k, 2);
    }
    keys->setColumnStretch(1, 1);

    // The two frames share one place; exactly one of them is shown.
    for (QGroupBox* frame : {Frame2, Frame3}) {
        QSizePolicy policy = frame->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        frame->setSizePolicy(policy);
        stack->addWidget(frame, 0, 0);
    }
    return place;
}

QWidget* DesignerControls::BuildGridFrame() {
    Frame4 = new QGroupBox(this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto* grid = new QGridLayout(Frame4);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(2);
    const QFontMetrics fm = fontMetrics();
    auto chars = [&](int n) { return fm.horizontalAdvance(QString(n, QLatin1Char('0'))) + 12; };

    Label1 = new QLabel(Q("キー指定：ソート順　+ A(Ascending) or D(Descending) "), Frame4);
    Label1->setObjectName(QStringLiteral("Label1"));
    grid->addWidget(Label1, 0, 5, 1, 7);

    for (int c = 0; c < 12; ++c) {
        Label5[c] = new QLabel(Q(kHeadings[c]), Frame4);
        Label5[c]->setObjectName(QStringLiteral("Label5_%1").arg(c));
        Label5[c]->setAlignment(Qt::AlignCenter);
        grid->addWidget(Label5[c], 1, c);
    }

    const QString rowTip = Q("ｸﾘｯｸで行番を選択後、右ｸﾘｯｸで行の編集ﾒﾆｭｰが表示されます。");
    for (int r = 0; r < kGridLines; ++r) {
        const int gridRow = r + 2;
        Label3[r] = new QLabel(Frame4);
        Label3[r]->setObjectName(QStringLiteral("Label3_%1").arg(r));
        Label3[r]->setFrameStyle(QFrame::Panel | QFrame::Raised);
        Label3[r]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label3[r]->setAutoFillBackground(true);
        Label3[r]->setFixedWidth(chars(5));
        Label3[r]->setToolTip(rowTip);
        grid->addWidget(Label3[r], gridRow, 0);

        Combo2[r] = new QComboBox(Frame4);
        Combo2[r]->setObjectName(QStringLiteral("Combo2_%1").arg(r));
        Combo2[r]->setFixedWidth(chars(15));
        grid->addWidget(Combo2[r], gridRow, 2);

        const int first = 9 + 10 * r;
        for (int i = first; i <= first + 9; ++i) {
            Text1[i] = new QLineEdit(Frame4);
            const int column = i - first; // 0 name, 1 size, 2 repeat, 3..8 keys, 9 description
            const int gridColumn = column == 0 ? 1 : column + 2;
            if (column == 0)
                Text1[i]->setFixedWidth(chars(22));
            else if (column == 1)
                Text1[i]->setFixedWidth(chars(4));
            else if (column == 2)
                Text1[i]->setFixedWidth(chars(3));
            else if (column <= 8)
                Text1[i]->setFixedWidth(chars(4));
            if (column == 1) Text1[i]->setAlignment(Qt::AlignRight);
            grid->addWidget(Text1[i], gridRow, gridColumn);
        }
    }
    for (size_t i = 0; i < Text1.size(); ++i)
        if (Text1[i]) Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));

    VScroll1 = new QScrollBar(Qt::Vertical, Frame4);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setRange(0, 1);
    grid->addWidget(VScroll1, 2, 12, kGridLines, 1);
    grid->setColumnStretch(11, 1);
    grid->setRowStretch(kGridLines + 2, 1);
    return Frame4;
}

QWidget* DesignerControls::ToolImage(int index) const {
    return index >= 0 && index < kToolButtons ? Image1[static_cast<size_t>(index)] : nullptr;
}

QFrame* DesignerControls::ToolLine(int index) const {
    return index >= 0 && index < 4 ? Line1[static_cast<size_t>(index)] : nullptr;
}

void DesignerControls::ShowTableListFrame(bool tableList) {
    Frame2->setVisible(tableList);
    Frame3->setVisible(!tableList);
}

} // namespace tavorin
