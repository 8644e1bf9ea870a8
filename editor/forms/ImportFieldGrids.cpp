#include "ImportFieldGrids.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include "QtText.h"

namespace tavorin {

namespace {

// Widths of the grid columns in characters: key rank, name, type, size, linked name.
constexpr int kColumnChars[5] = {3, 20, 13, 5, 20};

} // namespace

QWidget* ImportFieldGrids::BuildGridFrame(QWidget* parent, QObject* filter) {
    GridFrame = new QGroupBox(parent);
    GridFrame->setObjectName(QStringLiteral("GridFrame"));
    auto* grid = new QGridLayout(GridFrame);
    grid->setHorizontalSpacing(1);
    grid->setVerticalSpacing(1);
    const QFontMetrics fm = parent->fontMetrics();
    auto width = [&](int chars) {
        return fm.horizontalAdvance(QString(chars, QLatin1Char('0'))) + 10;
    };
    const char* const headings[9] = {"ｷｰ", "フィールド名", "データ種別", "ｻｲｽﾞ", "連結フィールド名",
                                     "ｷｰ", "フィールド名", "データ種別", "ｻｲｽﾞ"};
    // Columns: target 0..4, its scroll bar 5, a gap 6, source 7..10, its scroll bar 11.
    for (int h = 0; h < 9; ++h) {
        Label5[h] = new QLabel(Q(headings[h]), GridFrame);
        Label5[h]->setObjectName(QStringLiteral("Label5_%1").arg(h));
        Label5[h]->setAlignment(Qt::AlignCenter);
        grid->addWidget(Label5[h], 0, h < 5 ? h : h + 2);
    }
    for (int r = 0; r < kGridLines; ++r) {
        for (int k = 0; k < 5; ++k) {
            const int index = 5 * r + k;
            Text3[index] = new QLineEdit(GridFrame);
            Text3[index]->setFixedWidth(width(kColumnChars[k]));
            grid->addWidget(Text3[index], r + 1, k);
        }
        for (int k = 0; k < 4; ++k) {
            const int index = 50 + 4 * r + k;
            Text3[index] = new QLineEdit(GridFrame);
            Text3[index]->setFixedWidth(width(kColumnChars[k]));
            grid->addWidget(Text3[index], r + 1, 7 + k);
        }
    }
    for (size_t i = 0; i < Text3.size(); ++i) {
        Text3[i]->setObjectName(QStringLiteral("Text3_%1").arg(i));
        // Links are made by clicks and menus; the cells only show the work rows.
        Text3[i]->setReadOnly(true);
        Text3[i]->setAutoFillBackground(true);
        Text3[i]->installEventFilter(filter);
    }
    for (int side = 0; side < 2; ++side) {
        VScroll1[side] = new QScrollBar(Qt::Vertical, GridFrame);
        VScroll1[side]->setObjectName(QStringLiteral("VScroll1_%1").arg(side));
        VScroll1[side]->setRange(0, 1);
        VScroll1[side]->setFocusPolicy(Qt::NoFocus);
        VScroll1[side]->setTracking(false);
        grid->addWidget(VScroll1[side], 1, side == 0 ? 5 : 11, kGridLines, 1);
    }
    grid->setColumnMinimumWidth(6, 16);
    grid->setColumnStretch(12, 1);
    grid->setRowStretch(kGridLines + 1, 1);
    return GridFrame;
}

void ImportFieldGrids::SetGridToolTips() {
    const char* const targetTips[5] = {
        "移入先テーブルの主キーのキー順位です。", "移入先テーブルのフィールド名です。",
        "移入先テーブルのフィールドのデータ種別です。", "移入先テーブルのフィールドのサイズです。",
        "移入元テーブルからデータを取り込むﾌｨｰﾙﾄﾞ名を入力します。又は，クリックで選択した後に移入元"
        "テーブルのフィ"
        "ールドをクリックします。"};
    const char* const sourceTips[4] = {"移入元テーブルの主キーのキー順位です。", "",
                                       "移入元テーブルのフィールドのデータ種別です。",
                                       "移入元テーブルのフィールドのサイズです。"};
    for (int r = 0; r < kGridLines; ++r) {
        for (int k = 0; k < 5; ++k) Text3[5 * r + k]->setToolTip(Q(targetTips[k]));
        for (int k = 0; k < 4; ++k) Text3[50 + 4 * r + k]->setToolTip(Q(sourceTips[k]));
    }
}

int ImportFieldGrids::Text3Index(const QObject* object) const {
    for (size_t i = 0; i < Text3.size(); ++i)
        if (Text3[i] == object) return static_cast<int>(i);
    return -1;
}

QColor ImportFieldGrids::NormalColour(int side) {
    // The host's &HC0FFFF (light yellow) and &HC0C0 (olive), written blue-green-red.
    return side == 0 ? QColor(0xFF, 0xFF, 0xC0) : QColor(0xC0, 0xC0, 0x00);
}

QColor ImportFieldGrids::HighlightColour(int side) {
    return NormalColour(side == 0 ? 1 : 0);
}

void ImportFieldGrids::PaintRow(int side, int row, const QColor& colour) {
    const int first = side == 0 ? 5 * row : 50 + 4 * row;
    const int count = side == 0 ? 5 : 4;
    for (int i = first; i < first + count; ++i) {
        QLineEdit* cell = Text3[static_cast<size_t>(i)];
        QPalette palette = cell->palette();
        palette.setColor(QPalette::Base, colour);
        palette.setColor(QPalette::Window, colour);
        cell->setPalette(palette);
    }
}

} // namespace tavorin
