#include "ImportRecordGrid.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace tavorin {

QWidget* ImportRecordGrid::BuildRecordFrame(QWidget* parent) {
    RecordFrame = new QGroupBox(parent);
    RecordFrame->setObjectName(QStringLiteral("RecordFrame"));
    auto* grid = new QGridLayout(RecordFrame);
    grid->setHorizontalSpacing(1);
    grid->setVerticalSpacing(1);
    const QFontMetrics fm = parent->fontMetrics();
    RecordTitle = new QLabel(RecordFrame);
    RecordTitle->setObjectName(QStringLiteral("RecordTitle"));
    RecordTitle->setTextFormat(Qt::PlainText);
    grid->addWidget(RecordTitle, 0, 0, 1, kRecordColumns);
    RecordNoHeading = new QLabel(QString::fromUtf8("行番"), RecordFrame);
    RecordNoHeading->setAlignment(Qt::AlignCenter);
    grid->addWidget(RecordNoHeading, 1, 0);
    for (int k = 1; k < kRecordColumns; ++k) {
        Label6[k] = new QLabel(RecordFrame);
        Label6[k]->setObjectName(QStringLiteral("Label6_%1").arg(k));
        Label6[k]->setAlignment(Qt::AlignCenter);
        Label6[k]->setTextFormat(Qt::PlainText);
        grid->addWidget(Label6[k], 1, k);
    }
    for (int r = 0; r < kRecordLines; ++r) {
        for (int k = 0; k < kRecordColumns; ++k) {
            const int index = kRecordColumns * r + k;
            Text4[index] = new QLineEdit(RecordFrame);
            Text4[index]->setObjectName(QStringLiteral("Text4_%1").arg(index));
            Text4[index]->setReadOnly(true);
            Text4[index]->setFocusPolicy(Qt::ClickFocus);
            if (k == 0) {
                Text4[index]->setFixedWidth(fm.horizontalAdvance(QStringLiteral("000000")) + 10);
                Text4[index]->setAlignment(Qt::AlignRight);
            } else {
                Text4[index]->setMinimumWidth(fm.horizontalAdvance(QString(12, QLatin1Char('0'))));
            }
            grid->addWidget(Text4[index], r + 2, k);
        }
    }
    for (int k = 1; k < kRecordColumns; ++k) grid->setColumnStretch(k, 1);
    VScroll2 = new QScrollBar(Qt::Vertical, RecordFrame);
    VScroll2->setObjectName(QStringLiteral("VScroll2"));
    HScroll1 = new QScrollBar(Qt::Horizontal, RecordFrame);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    for (QScrollBar* bar : {VScroll2, HScroll1}) {
        bar->setRange(0, 1);
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setTracking(false);
    }
    grid->addWidget(VScroll2, 2, kRecordColumns, kRecordLines, 1);
    grid->addWidget(HScroll1, kRecordLines + 2, 1, 1, kRecordColumns - 1);
    grid->setRowStretch(kRecordLines + 3, 1);
    return RecordFrame;
}

} // namespace tavorin
