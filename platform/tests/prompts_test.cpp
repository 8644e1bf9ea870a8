// The real message box: button sets, Japanese captions, answer codes, default and close answers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "platform/prompts.h"
#include "platform/services.h"
#include "test_support.h"

using namespace platform;
using platformtest::OnNextModal;

namespace {

struct SeenBox {
    QStringList captions;
    QString text;
    QString title;
    QString defaultCaption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

SeenBox Describe(QWidget* w) {
    SeenBox seen;
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return seen;
    for (QAbstractButton* b : box->buttons()) seen.captions << b->text();
    seen.captions.sort();
    seen.text = box->text();
    seen.title = box->windowTitle();
    if (box->defaultButton()) seen.defaultCaption = box->defaultButton()->text();
    seen.icon = box->icon();
    return seen;
}

QAbstractButton* ButtonCaptioned(QWidget* w, const QString& caption) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return nullptr;
    for (QAbstractButton* b : box->buttons())
        if (b->text() == caption) return b;
    return nullptr;
}

struct ButtonCase {
    int style;
    QStringList captions; // sorted
    const char* click;
    int answer;
};

TEST(QtPrompts, EachButtonSetShowsJapaneseCaptionsAndAnswersWithTheHostCode) {
    const std::vector<ButtonCase> cases = {
        {vbOKOnly, {"OK"}, "OK", vbOK},
        {vbOKCancel, {"OK", "キャンセル"}, "OK", vbOK},
        {vbOKCancel, {"OK", "キャンセル"}, "キャンセル", vbCancel},
        {vbAbortRetryIgnore, {"中止(&A)", "再試行(&R)", "無視(&I)"}, "中止(&A)", vbAbort},
        {vbAbortRetryIgnore, {"中止(&A)", "再試行(&R)", "無視(&I)"}, "再試行(&R)", vbRetry},
        {vbAbortRetryIgnore, {"中止(&A)", "再試行(&R)", "無視(&I)"}, "無視(&I)", vbIgnore},
        {vbYesNoCancel, {"いいえ(&N)", "キャンセル", "はい(&Y)"}, "はい(&Y)", vbYes},
        {vbYesNoCancel, {"いいえ(&N)", "キャンセル", "はい(&Y)"}, "いいえ(&N)", vbNo},
        {vbYesNoCancel, {"いいえ(&N)", "キャンセル", "はい(&Y)"}, "キャンセル", vbCancel},
        {vbYesNo + vbQuestion, {"いいえ(&N)", "はい(&Y)"}, "いいえ(&N)", vbNo},
        {vbRetryCancel, {"キャンセル", "再試行(&R)"}, "再試行(&R)", vbRetry},
    };
    for (const ButtonCase& c : cases) {
        QStringList expected = c.captions;
        expected.sort();
        SeenBox seen;
        bool clicked = false;
        OnNextModal([&](QWidget* w) {
            seen = Describe(w);
            if (QAbstractButton* b = ButtonCaptioned(w, QString::fromUtf8(c.click))) {
                clicked = true;
                b->click();
            } else {
                w->close();
            }
        });
        QtPrompts prompts;
        const int answer = prompts.MsgBox("本文", c.style, "題名");
        EXPECT_TRUE(clicked) << "style " << c.style << " has no button " << c.click;
        EXPECT_EQ(seen.captions, expected) << "style " << c.style;
        EXPECT_EQ(answer, c.answer) << "style " << c.style << " click " << c.click;
        EXPECT_EQ(seen.title, "題名");
    }
}

TEST(QtPrompts, ANarrowBoxIsWideEnoughForItsWholeCaption) {
    for (const char* title : {"Tavorin", "Vespen", "Tavorin - データ移入の確認"}) {
        int width = 0, captionWidth = 0;
        OnNextModal([&](QWidget* w) {
            QFont bold = w->font();
            bold.setBold(true);
            captionWidth = QFontMetrics(bold).horizontalAdvance(QString::fromUtf8(title));
            width = w->width();
            w->close();
        });
        QtPrompts prompts;
        prompts.MsgBox("済", vbOKOnly, QString::fromUtf8(title));
        // Room beside the caption for the title bar's icon and its three buttons.
        EXPECT_GE(width, captionWidth + 3 * 32 + 24) << title;
    }
}

TEST(QtPrompts, FirstButtonIsDefaultUnlessTheStyleNamesAnother) {
    struct Case {
        int style;
        const char* defaultCaption;
        int enterAnswer;
    };
    const Case cases[] = {
        {vbYesNoCancel, "はい(&Y)", vbYes},
        {vbYesNoCancel + vbDefaultButton2, "いいえ(&N)", vbNo},
        {vbYesNoCancel + vbDefaultButton3, "キャンセル", vbCancel},
        {vbOKCancel + vbDefaultButton2, "キャンセル", vbCancel},
        {vbOKOnly + vbDefaultButton3, "OK", vbOK}, // no third button: the first stays default
    };
    for (const Case& c : cases) {
        SeenBox seen;
        OnNextModal([&](QWidget* w) {
            seen = Describe(w);
            QTest::keyClick(w, Qt::Key_Return);
        });
        QtPrompts prompts;
        EXPECT_EQ(prompts.MsgBox("x", c.style, "t"), c.enterAnswer) << c.style;
        EXPECT_EQ(seen.defaultCaption, QString::fromUtf8(c.defaultCaption)) << c.style;
    }
}

TEST(QtPrompts, EscapeAnswersCancelWhereOfferedElseNoOrOK) {
    const std::pair<int, int> cases[] = {
        {vbOKOnly, vbOK}, {vbOKCancel, vbCancel},    {vbYesNoCancel, vbCancel},
        {vbYesNo, vbNo},  {vbRetryCancel, vbCancel},
    };
    for (const auto& [style, answer] : cases) {
        OnNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        QtPrompts prompts;
        EXPECT_EQ(prompts.MsgBox("x", style, "t"), answer) << style;
    }
}

TEST(QtPrompts, CarriageReturnsBreakTheShownLinesAndTheStyleChoosesTheIcon) {
    SeenBox seen;
    OnNextModal([&](QWidget* w) {
        seen = Describe(w);
        w->close();
    });
    QtPrompts prompts;
    prompts.MsgBox("Error; 13\r型が一致しません。", vbCritical, "t");
    EXPECT_EQ(seen.text, "Error; 13\n型が一致しません。");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST(MsgBox, UsesTheProgramTitleAndTheGivenPrompts) {
    struct Recorder : Prompts {
        int MsgBox(const QString& text, int style, const QString& title) override {
            last = text + "|" + QString::number(style) + "|" + title;
            return vbNo;
        }
        QString last;
    } recorder;
    Services services({.prompts = &recorder});
    services.SetTitle("Tavorin");
    EXPECT_EQ(services.MsgBox("質問", vbYesNo), vbNo);
    EXPECT_EQ(recorder.last, "質問|4|Tavorin");
    services.MsgBox("x", vbOKOnly, "別題");
    EXPECT_EQ(recorder.last, "x|0|別題");
    services.MsgBoxDetails("y", QString(), vbOKCancel);
    EXPECT_EQ(recorder.last, "y|1|Tavorin");
}

} // namespace
