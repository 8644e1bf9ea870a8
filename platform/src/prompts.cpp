// Message boxes with the host's button sets, captions in Japanese and the host's answer codes.
#include "platform/prompts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <vector>

namespace platform {
namespace {

struct ButtonDef {
    const char* caption;
    int answer;
    QMessageBox::ButtonRole role;
};

std::vector<ButtonDef> ButtonsOf(int style) {
    switch (style & 7) {
    case vbOKCancel:
        return {{"OK", vbOK, QMessageBox::AcceptRole},
                {"キャンセル", vbCancel, QMessageBox::RejectRole}};
    case vbAbortRetryIgnore:
        return {{"中止(&A)", vbAbort, QMessageBox::RejectRole},
                {"再試行(&R)", vbRetry, QMessageBox::AcceptRole},
                {"無視(&I)", vbIgnore, QMessageBox::AcceptRole}};
    case vbYesNoCancel:
        return {{"はい(&Y)", vbYes, QMessageBox::YesRole},
                {"いいえ(&N)", vbNo, QMessageBox::NoRole},
                {"キャンセル", vbCancel, QMessageBox::RejectRole}};
    case vbYesNo:
        return {{"はい(&Y)", vbYes, QMessageBox::YesRole},
                {"いいえ(&N)", vbNo, QMessageBox::NoRole}};
    case vbRetryCancel:
        return {{"再試行(&R)", vbRetry, QMessageBox::AcceptRole},
                {"キャンセル", vbCancel, QMessageBox::RejectRole}};
    default:
        return {{"OK", vbOK, QMessageBox::AcceptRole}};
    }
}

QMessageBox::Icon IconOf(int style) {
    switch (style & 0x70) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbQuestion:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case vbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The answer the close box gives: Cancel where the set has one, No for Yes/No, OK for OK alone.
// Abort/Retry/Ignore has none, so the box cannot be closed without a choice.
int CloseAnswerOf(int style) {
    switch (style & 7) {
    case vbOKOnly:
        return vbOK;
    case vbYesNo:
        return vbNo;
    case vbAbortRetryIgnore:
        return 0;
    default:
        return vbCancel;
    }
}

// A window manager shortens a caption wider than its window (「Ta...rin」): the box is made at
// least as wide as its caption in a bold title font, beside the title bar's icon and buttons.
void KeepCaptionWhole(QMessageBox& box) {
    constexpr int kTitleBarRoom = 160;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

int QtPrompts::MsgBox(const QString& text, int style, const QString& title) {
    return MsgBoxDetails(text, QString(), style, title);
}

int QtPrompts::MsgBoxDetails(const QString& text, const QString& details, int style,
                             const QString& title) {
    // The programs end lines with a carriage return alone, which a label does not break on.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    QMessageBox box(IconOf(style), title, shown, QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    KeepCaptionWhole(box);
    if (!details.isEmpty()) box.setDetailedText(details);
    const std::vector<ButtonDef> defs = ButtonsOf(style);
    std::vector<QPushButton*> buttons;
    for (const ButtonDef& def : defs)
        buttons.push_back(box.addButton(QString::fromUtf8(def.caption), def.role));

    size_t defaultIndex = 0;
    if (style & vbDefaultButton3)
        defaultIndex = 2;
    else if (style & vbDefaultButton2)
        defaultIndex = 1;
    if (defaultIndex >= buttons.size()) defaultIndex = 0;
    box.setDefaultButton(buttons[defaultIndex]);

    const int closeAnswer = CloseAnswerOf(style);
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].answer == closeAnswer) box.setEscapeButton(buttons[i]);

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (clicked == buttons[i]) return defs[i].answer;
    return closeAnswer != 0 ? closeAnswer : defs.front().answer;
}

} // namespace platform
