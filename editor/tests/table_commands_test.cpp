// The table menu's commands besides saving: rename and save under a new name through
// frmRename, delete, release.
#include <QAction>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "forms/frmRename.h"
#include "save_support.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using platform::vbCancel;
using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

namespace {

const QString kSaveQuestion = "作業中のフォーマットは変更されています。保存しますか。";
const QString kNameTaken = "同じ名前のテーブルが存在します。";
const QString kNoTable = "指定のファイル、又はテーブルが存在しません。";

// Runs action on the next modal window once it shows.
void OnNextModal(std::function<void(QWidget*)> action, int triesLeft = 500) {
    QTimer::singleShot(10, [action = std::move(action), triesLeft]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible())
            action(modal);
        else if (triesLeft > 0)
            OnNextModal(std::move(action), triesLeft - 1);
    });
}

QString DeleteQuestion(const std::string& table) {
    return QString::fromUtf8("テーブル  [") + QString::fromStdString(table) +
           QString::fromUtf8("]   を削除します。データはすべて失われます。よろしいですか。");
}

// shop.mdb: CUST (ID primary key, NAME; 3 records) and ORDERS (NO, ITEM).
class TableCommandsTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure()) return;
        path = data.File("shop.mdb");
        MakeTable(path, "CUST", {{"ID", dao::dbLong}, {"NAME", dao::dbText, 20}},
                  {{"PrimaryKey", true, true, {{"ID", false}}}});
        {
            engine::DatabasePtr db = OpenOrCreate(path);
            engine::RecordsetPtr rs = db->OpenRecordset("CUST");
            for (int i = 1; i <= 3; ++i) {
                rs->AddNew();
                rs->SetValue("ID", engine::Variant::Long(i));
                rs->SetValue("NAME", engine::Variant("名前" + std::to_string(i)));
                rs->Update();
            }
            db->Close();
        }
        MakeTable(path, "ORDERS", {{"NO", dao::dbLong}, {"ITEM", dao::dbText, 10}});
        OpenFile(path);
    }

    // Runs the command, and meanwhile, once frmRename shows, does what act does in it (which
    // must close it).
    void WithRename(QAction* command, const std::function<void(frmRename&)>& act) {
        bool seen = false;
        OnNextModal([&](QWidget* modal) {
            auto* window = qobject_cast<frmRename*>(modal);
            if (!window) {
                modal->close();
                return;
            }
            seen = true;
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window));
            act(*window);
        });
        command->trigger();
        EXPECT_TRUE(seen) << "frmRename did not show";
    }

    // Types name into frmRename's box, and Enter twice: to "設定", which the second presses.
    static void Confirm(frmRename& window, const QString& name) {
        window.Text1->setFocus();
        window.Text1->selectAll();
        QTest::keyClicks(window.Text1, name);
        QTest::keyClick(window.Text1, Qt::Key_Return);
        // The window's own focus (the application's may lie with another window meanwhile).
        EXPECT_EQ(window.focusWidget(), window.Command1[0]);
        QTest::keyClick(window.Command1[0], Qt::Key_Return);
    }

    std::vector<std::string> Tables() { return savetest::Tables(path); }
    std::vector<std::string> Listed() {
        std::vector<std::string> names;
        for (const auto& entry : W().TableList) names.push_back(entry.Name);
        return names;
    }

    std::string path;
};

// ---- frmRename
// --------------------------------------------------------------------------------------

TEST_F(TableCommandsTest, RenameWindowShowsItsHeadingAndTheCurrentNameAndItsControlBoxCancels) {
    DoubleClickTable("CUST");
    QString heading, shown, selected;
    WithRename(W().mnTableRename, [&](frmRename& window) {
        heading = window.Label1[14]->text();
        shown = window.Text1->text();
        window.Text1->deselect();
        QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(window.Text1, &focusIn);
        QApplication::processEvents();
        selected = window.Text1->selectedText();
        window.close();
    });
    EXPECT_EQ(heading, "テーブル名の変更");
    EXPECT_EQ(shown, "CUST");
    EXPECT_EQ(selected, "CUST");
    EXPECT_EQ(W().CurrentTable, "CUST");
    EXPECT_EQ(W().NameRequestPending, 0);

    WithRename(W().mnTableSave[1], [&](frmRename& window) {
        heading = window.Label1[14]->text();
        QTest::keyClick(window.Text1, Qt::Key_Escape);
    });
    EXPECT_EQ(heading, "新しいテーブル名をつけて保存");
    EXPECT_EQ(W().CurrentTable, "CUST");
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CUST", "ORDERS"}));
}

TEST_F(TableCommandsTest, ConfirmingTheUnchangedNameChangesNothing) {
    DoubleClickTable("CUST");
    W().LayoutChanged = 9;
    WithRename(W().mnTableRename,
               [&](frmRename& window) { QTest::mouseClick(window.Command1[0], Qt::LeftButton); });
    EXPECT_EQ(W().CurrentTable, "CUST");
    EXPECT_EQ(W().LayoutChanged, 9);
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CUST", "ORDERS"}));
}

TEST_F(TableCommandsTest, TheNameCheckIsExactAndTheEngineRefusesACaseOnlyClash) {
    DoubleClickTable("ORDERS");
    bool stayedOpen = false;
    // "CUST" exactly is taken: the window says so and stays; "cust" passes its check, and the
    // engine, which compares names ignoring case, refuses the rename.
    prompts.Expect(kNameTaken);
    prompts.ExpectAny();
    WithRename(W().mnTableRename, [&](frmRename& window) {
        Confirm(window, "CUST");
        stayedOpen = window.isVisible();
        EXPECT_EQ(window.focusWidget(), window.Text1);
        Confirm(window, "cust");
    });
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_TRUE(prompts.Shown()[1].text.startsWith("Error; 3010\r"))
        << prompts.Shown()[1].text.toStdString();
    EXPECT_EQ(W().CurrentTable, "ORDERS");
    EXPECT_EQ(W().Text1[0]->text(), "ORDERS");
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CUST", "ORDERS"}));
}

TEST_F(TableCommandsTest, RenameRenamesTheTableAndKeepsTheLayoutLoaded) {
    DoubleClickTable("CUST");
    WithRename(W().mnTableRename, [&](frmRename& window) { Confirm(window, "CLIENT"); });
    EXPECT_EQ(W().CurrentTable, "CLIENT");
    EXPECT_EQ(W().Text1[0]->text(), "CLIENT");
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CLIENT", "ORDERS"}));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"CLIENT", "ORDERS"}));
    EXPECT_TRUE(W().Frame2->isVisible());
    EXPECT_EQ(WorkRows().size(), 2u);
    EXPECT_EQ(savetest::Dump(path, "CLIENT").size(), 4u);
    EXPECT_TRUE(W().mnTableSave[0]->isEnabled());
}

TEST_F(TableCommandsTest, RenamingATableNeverSavedChangesOnlyTheCurrentName) {
    TypeInto(W().Text1[0], "NEWT");
    ASSERT_EQ(W().CurrentTable, "NEWT");
    WithRename(W().mnTableRename, [&](frmRename& window) { Confirm(window, "NEWER"); });
    EXPECT_EQ(W().CurrentTable, "NEWER");
    EXPECT_EQ(W().Text1[0]->text(), "NEWER");
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CUST", "ORDERS"}));
}

// ---- Save under a new name
// ----------------------------------------------------------------------------

TEST_F(TableCommandsTest, SaveUnderANewNameBuildsTheNewTableFromTheOldOnesRecords) {
    W().realSave = true;
    DoubleClickTable("CUST");
    prompts.Expect("もとのテーブルのデータをコピーしますか。", vbYes);
    prompts.Expect("データ変換が終了しました。更新しますか。", vbOK);
    WithRename(W().mnTableSave[1], [&](frmRename& window) { Confirm(window, "CUST2"); });
    EXPECT_EQ(W().Saving().SaveAbandoned, 0);
    EXPECT_TRUE(W().Saving().SourceTableName.empty());
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CUST", "CUST2", "ORDERS"}));
    EXPECT_EQ(savetest::Dump(path, "CUST2"), savetest::Dump(path, "CUST"));
}

TEST_F(TableCommandsTest, AnAbandonedSaveUnderANewNameKeepsTheOldName) {
    W().realSave = true;
    TypeInto(W().Text1[0], "FRESH");
    savetest::Layout layout{app};
    layout.Add(1, "A", "dbText", 10);
    W().LayoutChanged = 9;
    prompts.Expect("主キーが設定されていません。続行しますか。", vbCancel);
    WithRename(W().mnTableSave[1], [&](frmRename& window) { Confirm(window, "OTHER"); });
    EXPECT_EQ(W().Saving().SaveAbandoned, -1);
    EXPECT_EQ(W().CurrentTable, "FRESH");
    EXPECT_EQ(W().Text1[0]->text(), "FRESH");
    EXPECT_TRUE(W().Saving().SourceTableName.empty());
    EXPECT_EQ(W().LayoutChanged, 9);
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CUST", "ORDERS"}));
}

// ---- Delete and release
// -------------------------------------------------------------------------------

TEST_F(TableCommandsTest, DeletingAChangedTableAsksOnlyTheDeleteQuestion) {
    DoubleClickTable("CUST");
    W().LayoutChanged = 9;
    prompts.Expect(DeleteQuestion("CUST"), vbCancel);
    W().mnTableDel->trigger();
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CUST", "ORDERS"}));
    EXPECT_EQ(W().CurrentTable, "CUST");
    EXPECT_EQ(W().LayoutChanged, 9);

    prompts.Expect(DeleteQuestion("CUST"), vbOK);
    W().mnTableDel->trigger();
    EXPECT_EQ(Tables(), (std::vector<std::string>{"ORDERS"}));
    EXPECT_TRUE(W().CurrentTable.empty());
    EXPECT_TRUE(WorkRows().empty());
    EXPECT_EQ(W().LayoutChanged, 0);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"ORDERS"}));
    EXPECT_TRUE(W().Frame2->isVisible());
    EXPECT_EQ(Focus(), W().Text1[0]);
}

TEST_F(TableCommandsTest, DeletingATableThatIsNotInTheFileSaysSo) {
    TypeInto(W().Text1[0], "NEWT");
    prompts.Expect(kNoTable);
    W().mnTableDel->trigger();
    EXPECT_EQ(W().CurrentTable, "NEWT");
    EXPECT_EQ(Tables(), (std::vector<std::string>{"CUST", "ORDERS"}));
}

TEST_F(TableCommandsTest, ReleasingAChangedTableAsksAndCancelKeepsIt) {
    struct Case {
        int answer;
        bool released;
        int saves;
    };
    for (const Case& c : {Case{vbCancel, false, 0}, Case{vbNo, true, 0}, Case{vbYes, true, 1}}) {
        if (W().CurrentTable.empty()) DoubleClickTable("CUST");
        savetest::Layout layout{app};
        layout.Set(2, "FLD02", engine::Variant("FULLNAME"));
        W().LayoutChanged = 9;
        W().saves = 0;
        prompts.Expect(kSaveQuestion, c.answer);
        W().mnTableCancel->trigger();
        EXPECT_EQ(W().saves, c.saves) << c.answer;
        EXPECT_EQ(W().CurrentTable.empty(), c.released) << c.answer;
        EXPECT_EQ(WorkRows().empty(), c.released) << c.answer;
        EXPECT_EQ(W().LayoutChanged, c.released ? 0 : 9) << c.answer;
        EXPECT_EQ(app.CurrentFile.FullPath, path) << c.answer;
        if (c.released) {
            EXPECT_EQ(Listed(), (std::vector<std::string>{"CUST", "ORDERS"})) << c.answer;
            EXPECT_EQ(Focus(), W().Text1[0]) << c.answer;
        }
    }
    EXPECT_EQ(savetest::Dump(path, "CUST")[0].find("FULLNAME"), std::string::npos);
}

} // namespace
