// The default-value window: the defaults it takes, what "設定" does to the layout on screen and
// to later layouts, and that "ｷｬﾝｾﾙ" and the close box change nothing.
#include <QPushButton>

#include "forms/frmOption.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using namespace tavorin::grid;

namespace {

class OptionTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure()) return;
        path = data.File("opt.mdb");
        MakeTable(path, "KEYED", {{"ID", dao::dbLong}, {"NAME", dao::dbText, 20}},
                  {{"PK_KEYED", true, true, {{"ID", false}}},
                   {"IX_NAME", false, true, {{"NAME", false}}}});
        MakeTable(path, "PLAIN", {{"A", dao::dbLong}});
        OpenTable(path, "KEYED");
    }

    void TearDown() override {
        WindowTest::TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    frmOption* Open() {
        W().mnOption->trigger();
        frmOption* option = W().OptionWindow();
        EXPECT_NE(option, nullptr);
        if (option) {
            EXPECT_TRUE(
                QTest::qWaitFor([option] { return QApplication::activeWindow() == option; }));
        }
        return option;
    }

    // The window has closed and the main window is the active one again.
    void ExpectClosed() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(W().OptionWindow(), nullptr);
        EXPECT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == &W(); }));
    }

    // Chooses entry index of box with the keyboard, as a user picks from the list.
    static void Choose(QComboBox* box, int index) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < index; ++i) QTest::keyClick(box, Qt::Key_Down);
    }

    QStringList IndexSettings() {
        QStringList out;
        for (int k = 0; k < 6; ++k)
            out << W().Text1[static_cast<size_t>(k + 1)]->text() + "/" +
                       QString::number(W().Combo1[static_cast<size_t>(k)]->currentIndex());
        return out;
    }

    std::string path;
};

TEST_F(OptionTest, TheWindowShowsTheCurrentDefaults) {
    app.Defaults.DefaultType = "dbLong";
    frmOption* option = Open();
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->windowTitle(), "オプション");
    EXPECT_EQ(option->Combo2->currentText(), "dbLong");
    // The type names in slot order, then the empty entry that clears the default.
    ASSERT_EQ(option->Combo2->count(), 12);
    EXPECT_EQ(option->Combo2->itemText(0), "(ｵｰﾄﾅﾝﾊﾞ-)");
    EXPECT_EQ(option->Combo2->itemText(10), "dbMemo");
    EXPECT_EQ(option->Combo2->itemText(11), "");
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(option->Text1[static_cast<size_t>(k + 1)]->text(),
                  QString::fromStdString(app.Defaults.IndexDefaultName[static_cast<size_t>(k)]));
        EXPECT_EQ(option->Combo1[static_cast<size_t>(k)]->currentIndex(), k == 0 ? 0 : 1);
        EXPECT_EQ(option->Combo1[static_cast<size_t>(k)]->itemText(1), "重複あり");
    }
    EXPECT_EQ(option->Text1[3]->text(), "SubKey2");
}

TEST_F(OptionTest, ApplyingSetsTheDefaultsAndTheIndexSettingsOfTheOpenLayoutAtOnce) {
    // Loaded with its own index names.
    ASSERT_EQ(IndexSettings()[0], "PK_KEYED/0");
    ASSERT_EQ(IndexSettings()[1], "IX_NAME/0");
    ASSERT_EQ(W().LayoutChanged, 0);
    frmOption* option = Open();
    ASSERT_NE(option, nullptr);
    Choose(option->Combo2, 9); // dbText
    EXPECT_EQ(Focus(), option->Text1[1]);
    option->Text1[1]->selectAll();
    QTest::keyClicks(option->Text1[1], "PKEY");
    Choose(option->Combo1[2], 0); // sub key 2 without duplicates
    EXPECT_EQ(Focus(), option->Text1[4]);
    QTest::mouseClick(option->Command1[0], Qt::LeftButton);
    ExpectClosed();

    EXPECT_EQ(app.Defaults.DefaultType, "dbText");
    EXPECT_EQ(app.Defaults.IndexDefaultName[0], "PKEY");
    EXPECT_EQ(app.Defaults.IndexDefaultDup[2], 0);
    EXPECT_EQ(IndexSettings(), QStringList({"PKEY/0", "SubKey1/1", "SubKey2/0", "SubKey3/1",
                                            "SubKey4/1", "SubKey5/1"}));
    EXPECT_EQ(W().LayoutChanged, 9);

    // A new field takes the default type; the next layout the default index settings.
    TypeInto(Cell(2, kName), "MEMO");
    EXPECT_EQ(W().Combo2[2]->currentText(), "dbText");
    EXPECT_EQ(WorkRows().at(2).at(3), "50");
    EXPECT_EQ(Focus(), Cell(2, kSize));
    prompts.Expect("作業中のフォーマットは変更されています。保存しますか。", platform::vbNo);
    DoubleClickTable("PLAIN");
    EXPECT_EQ(W().CurrentTable, "PLAIN");
    EXPECT_EQ(IndexSettings()[0], "PKEY/0");
    EXPECT_EQ(IndexSettings()[2], "SubKey2/0");
}

TEST_F(OptionTest, TheEmptyTypeEntryClearsTheDefaultType) {
    DoubleClickTable("PLAIN"); // no indexes: the boxes show the defaults
    app.Defaults.DefaultType = "dbLong";
    frmOption* option = Open();
    ASSERT_NE(option, nullptr);
    Choose(option->Combo2, 11);
    QTest::mouseClick(option->Command1[0], Qt::LeftButton);
    ExpectClosed();
    EXPECT_EQ(app.Defaults.DefaultType, "");
    // Unchanged index settings leave the layout unchanged.
    EXPECT_EQ(W().LayoutChanged, 0);
    TypeInto(Cell(1, kName), "MEMO");
    EXPECT_EQ(W().Combo2[1]->currentIndex(), -1);
    EXPECT_EQ(Focus(), W().Combo2[1]);
}

TEST_F(OptionTest, CancelAndTheCloseBoxChangeNothing) {
    const QStringList before = IndexSettings();
    const auto names = app.Defaults.IndexDefaultName;
    const auto dups = app.Defaults.IndexDefaultDup;
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox);
        frmOption* option = Open();
        ASSERT_NE(option, nullptr);
        Choose(option->Combo2, 4);
        option->Text1[2]->setFocus();
        option->Text1[2]->selectAll();
        QTest::keyClicks(option->Text1[2], "OTHER");
        Choose(option->Combo1[0], 1);
        if (closeBox)
            option->close();
        else
            QTest::mouseClick(option->Command1[1], Qt::LeftButton);
        ExpectClosed();
        EXPECT_EQ(app.Defaults.DefaultType, "");
        EXPECT_EQ(app.Defaults.IndexDefaultName, names);
        EXPECT_EQ(app.Defaults.IndexDefaultDup, dups);
        EXPECT_EQ(IndexSettings(), before);
        EXPECT_EQ(W().LayoutChanged, 0);
    }
}

TEST_F(OptionTest, ArrowKeysAndChoicesMoveTheFocusWithItsPrompt) {
    frmOption* option = Open();
    ASSERT_NE(option, nullptr);
    option->Text1[1]->setFocus();
    EXPECT_EQ(option->Label3->text(), "インデックス名称を入力して下さい。");
    QTest::keyClick(option->Text1[1], Qt::Key_Down);
    EXPECT_EQ(Focus(), option->Text1[2]);
    QTest::keyClick(option->Text1[2], Qt::Key_Up);
    EXPECT_EQ(Focus(), option->Text1[1]);
    QTest::keyClick(option->Text1[1], Qt::Key_Up); // the first box keeps it
    EXPECT_EQ(Focus(), option->Text1[1]);
    QTest::keyClick(option->Text1[1], Qt::Key_Right);
    EXPECT_EQ(Focus(), option->Combo1[0]);
    EXPECT_EQ(option->Label3->text(), "インデックスキーの種類を選択して下さい。");
    option->Text1[4]->setFocus();
    QTest::keyClick(option->Text1[4], Qt::Key_Left);
    EXPECT_EQ(Focus(), option->Combo1[3]);
    option->Text1[6]->setFocus();
    QTest::keyClick(option->Text1[6], Qt::Key_Down);
    EXPECT_EQ(Focus(), option->Command1[0]);
    Choose(option->Combo1[5], 0);
    EXPECT_EQ(Focus(), option->Command1[0]);
    option->Combo2->setFocus();
    EXPECT_EQ(option->Label3->text(), "データ種別を選択して下さい。");
    QTest::mouseClick(option->Command1[1], Qt::LeftButton);
}

} // namespace
