#include "frmConvCheck.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "QtText.h"
#include "platform/clipboard.h"

namespace tavorin {
namespace {

// A message on one line of the list.
QString OneLine(const std::string& text) {
    QString out = Q(text);
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

enum Column { kField, kCut, kFailed, kBlanked, kRecord, kOld, kNew, kColumns };

} // namespace

frmConvCheck::frmConvCheck(platform::Services& platform, QWidget* owner,
                           const std::string& tableName)
    : QDialog(owner), platform_(platform), tableName_(tableName) {
    setObjectName(QStringLiteral("frmConvCheck"));
    setWindowTitle(Q("変換の確認"));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1040, 560);

    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(Label1);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    layout->addWidget(Label2);

    List1 = new QTreeWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setColumnCount(kColumns);
    List1->setHeaderLabels({Q("フィールド"), Q("切り捨て"), Q("変換エラー"), Q("Null・空"),
                            Q("レコード"), Q("変換前"), Q("変換後")});
    List1->setRootIsDecorated(true);
    List1->setUniformRowHeights(true);
    List1->header()->setStretchLastSection(true);
    layout->addWidget(List1, 1);

    auto* buttons = new QHBoxLayout;
    cmdCancel = new QPushButton(Q("中止"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCopy = new QPushButton(Q("コピー(&K)"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdSave = new QPushButton(Q("保存"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdClose = new QPushButton(Q("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);
    for (QPushButton* b : {cmdCopy, cmdSave, cmdClose}) buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdCopy, &QPushButton::clicked, this, [this] { cmdCopy_Click(); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    SetRunning(false);
}

void frmConvCheck::SetRunning(bool running) {
    running_ = running;
    cmdCancel->setEnabled(running);
    for (QPushButton* b : {cmdCopy, cmdSave, cmdClose}) b->setEnabled(!running);
}

void frmConvCheck::ShowCount(long count) {
    Label1->setText(Q("テーブル　[") + Q(tableName_) + Q("]　　確認件数 ＝ ") +
                    QString::number(count));
    Label1->repaint();
}

void frmConvCheck::Run(const Runner& run) {
    show();
    SetRunning(true);
    cancelRequested_ = false;
    Label2->setText(Q("変換を確認しています。"));
    ShowCount(0);
    QElapsedTimer shown;
    shown.start();
    try {
        report_ = run([&](long count) {
            // The count runs at screen rate; events are served so that "中止" can be pressed.
            if (shown.elapsed() >= 50) {
                ShowCount(count);
                QApplication::processEvents();
                shown.restart();
            }
            return !cancelRequested_;
        });
    } catch (...) {
        SetRunning(false);
        Label2->setText(Q("レコードを読めませんでした。確認できません。"));
        cmdSave->setEnabled(false);
        cmdCopy->setEnabled(false);
        if (closeRequested_) close();
        throw;
    }
    SetRunning(false);
    ShowCount(report_.records);
    FillList();
    if (closeRequested_) close();
}

void frmConvCheck::FillList() {
    List1->clear();
    auto counts = [](QTreeWidgetItem* item, long cut, long failed, long blanked) {
        item->setText(kCut, QString::number(cut));
        item->setText(kFailed, QString::number(failed));
        item->setText(kBlanked, QString::number(blanked));
        for (int c : {kCut, kFailed, kBlanked})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    };
    auto examples = [](QTreeWidgetItem* parent, const char* kind,
                       const std::vector<CheckExample>& list) {
        for (const CheckExample& e : list) {
            auto* item = new QTreeWidgetItem(parent);
            item->setText(kField, Q(kind));
            item->setText(kRecord, Q(e.record));
            item->setText(kOld, OneLine(e.oldValue));
            item->setText(kNew, OneLine(e.newValue));
            item->setToolTip(kNew, Q(e.newValue));
        }
    };
    for (const FieldCheck& f : report_.fields) {
        auto* item = new QTreeWidgetItem(List1);
        item->setText(kField, Q(f.name));
        counts(item, f.cut, f.failed, f.blanked);
        examples(item, "切り捨て", f.cutExamples);
        examples(item, "変換エラー", f.failedExamples);
        examples(item, "Null・空", f.blankedExamples);
        // The values that stop the save are shown at once; the others open on request.
        item->setExpanded(f.failed > 0);
    }
    auto* total = new QTreeWidgetItem(List1);
    total->setText(kField, Q("合計"));
    counts(total, report_.TotalCut(), report_.TotalFailed(), report_.TotalBlanked());
    total->setText(kRecord, QString::number(report_.records) + Q(" 件"));
    QFont bold = total->font(kField);
    bold.setBold(true);
    for (int c = 0; c < kColumns; ++c) total->setFont(c, bold);
    for (int c = 0; c < kRecord; ++c) List1->resizeColumnToContents(c);
    List1->setColumnWidth(kField, std::max(List1->columnWidth(kField) + 24, 160));
    List1->setColumnWidth(kRecord, 130);
    List1->setColumnWidth(kOld, 220);

    QString state;
    if (report_.cancelled)
        state = Q("確認を中止しました（") + QString::number(report_.records) + Q(" 件目まで）。");
    if (report_.stopPosition > 0) {
        state += Q("保存は ") + QString::number(report_.stopPosition) + Q(" 件目のレコード（") +
                 Q(report_.stopRecord) + Q("）で止まります：") + OneLine(report_.stopMessage);
    } else if (!report_.cancelled) {
        state = Q("変換できない値はありません。");
    }
    Label2->setText(state);
}

void frmConvCheck::cmdSave_Click() {
    if (running_) return;
    auto save = SaveRequested;
    close();
    if (save) save();
}

void frmConvCheck::cmdCopy_Click() {
    if (running_) return;
    platform_.Clipboard().SetText(Q(report_.TabSeparated()));
}

void frmConvCheck::cmdClose_Click() {
    close();
}

void frmConvCheck::cmdCancel_Click() {
    cancelRequested_ = true;
}

void frmConvCheck::closeEvent(QCloseEvent* event) {
    // A check under way stops first; the window closes once it has.
    if (running_) {
        cancelRequested_ = true;
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace tavorin
