// The generator's windows driven like a user would: clicks and keys on the offscreen platform,
// with scripted message boxes, file dialogs and shell.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "frmAbout.h"
#include "frmOption.h"
#include "frmVespen.h"
#include "platform/scripted.h"
#include "support.h"

using namespace vespentest;
namespace dao = engine::dao;

namespace {

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

QList<int> SelectedRows(const QListWidget* list) {
    QList<int> rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) rows << i;
    return rows;
}

void ClickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

void Flush() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class VespenWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_ = dir_.File("shop.mdb");
        auto db = Ws().CreateDatabase(db_, engine::kLangJapanese);
        AddTable(*db, "Zone", {{"Code", dao::dbText, 4}});
        AddTable(*db, "MSysHidden", {{"X", dao::dbLong}});
        AddTable(*db, "Order Line",
                 {{"No", dao::dbLong, 0, "line number"},
                  {"Item Code", dao::dbText, 20},
                  {"Qty_01", dao::dbInteger},
                  {"Qty_02", dao::dbInteger}});
        AddTable(*db, "Customer", {{"Name", dao::dbText, 20, "氏名"}});
        db->Close();
        window_ = std::make_unique<frmVespen>(app_);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }

    void TearDown() override {
        window_.reset();
        Flush();
        EXPECT_TRUE(prompts_.Unexpected().isEmpty())
            << prompts_.Unexpected().join("\n").toStdString();
        EXPECT_EQ(prompts_.Pending(), 0);
        EXPECT_EQ(dialogs_.Pending(), 0);
    }

    void ChooseDatabase(const std::string& path) {
        dialogs_.Answer(QString::fromStdString(path));
        QTest::mouseClick(window_->Text1, Qt::LeftButton);
    }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    QStringList ShownTexts() const {
        QStringList texts;
        for (const auto& m : prompts_.Shown()) texts << m.text;
        return texts;
    }

    frmOption* OpenOptions() {
        window_->mnOName->trigger();
        frmOption* options = window_->OptionWindow();
        EXPECT_NE(options, nullptr);
        if (options) {
            EXPECT_TRUE(QTest::qWaitForWindowActive(options));
        }
        return options;
    }

    void Type(QLineEdit* box, const QString& text) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else
            QTest::keyClicks(box, text);
    }

    TempDir dir_;
    std::string db_;
    platform::ScriptedPrompts prompts_;
    platform::ScriptedFileDialogs dialogs_;
    platform::RecordingShell shell_;
    VespenContext app_{Ws(), {.prompts = &prompts_, .fileDialogs = &dialogs_, .shell = &shell_}};
    std::unique_ptr<frmVespen> window_;
};

TEST_F(VespenWindowTest, StartsEmptyWithItsCaptionsTooltipsAndMenus) {
    frmVespen& w = *window_;
    EXPECT_EQ(w.windowTitle(), "VB用標準モジュール作成");
    EXPECT_EQ(w.Text1->toolTip(), "mdbファイルを指定します。");
    EXPECT_EQ(w.List1->toolTip(), "作業するテーブルを選択します。");
    EXPECT_EQ(w.List2->toolTip(), "生成したbasの内容を表示します。");
    const std::pair<QPushButton*, std::pair<const char*, const char*>> buttons[] = {
        {w.Command1[0], {"basの生成", "選択したテーブルに基づいてbasを生成します。"}},
        {w.Command1[1], {"選択範囲の削除", "選択したテーブルをリストから削除します。"}},
        {w.Command1[2], {"選択の解除", "選択を解除します。"}},
        {w.Command2[0], {"選択範囲の削除", "選択した行を削除します。"}},
        {w.Command2[1], {"選択の解除", "選択を解除します。"}},
        {w.Command2[2], {"basの保存", "生成したbasを保存します。"}},
    };
    for (const auto& [button, texts] : buttons) {
        EXPECT_EQ(button->text(), QString::fromUtf8(texts.first));
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(texts.second));
    }
    for (QListWidget* list : {w.List1, w.List2}) {
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        EXPECT_EQ(list->font().family(), "ＭＳ ゴシック");
    }
    EXPECT_EQ(w.mnFILE->title(), "ﾌｧｲﾙ(&F)");
    QStringList fileItems;
    for (QAction* a : w.mnFILE->actions()) fileItems << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(fileItems, QStringList({"mdb選択(&M)", "bas保存(&S)", "-", "終了(&E)"}));
    EXPECT_EQ(w.mnOName->text(), "ｵﾌﾟｼｮﾝ指定(&O)");
    EXPECT_EQ(w.mnHELP->title(), "ﾍﾙﾌﾟ(&H)");
    EXPECT_EQ(w.mnManual->text(), "操作説明");
    EXPECT_EQ(w.mnVer->text(), "ﾊﾞｰｼﾞｮﾝ情報");

    EXPECT_TRUE(w.Text1->text().isEmpty());
    EXPECT_EQ(w.List1->count(), 0);
    EXPECT_EQ(w.List2->count(), 0);
    EXPECT_EQ(w.ProgramFolder, QCoreApplication::applicationDirPath());
    EXPECT_EQ(w.DatabasePath, w.ProgramFolder + "/");
    EXPECT_EQ(w.DialogFolder, w.ProgramFolder);
    EXPECT_EQ(w.HelpFolder, w.ProgramFolder + "/HELP/");
    EXPECT_TRUE(w.Options == vespen::GeneratorOptions{});
}

TEST_F(VespenWindowTest, ClickingTheDatabaseBoxListsTheUserTables) {
    ChooseDatabase(db_);
    ASSERT_EQ(dialogs_.Requests().size(), 1u);
    const platform::FileDialogRequest& open = dialogs_.Requests()[0];
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.title, "ファイルの指定");
    EXPECT_EQ(open.initDir, window_->ProgramFolder);
    EXPECT_EQ(open.defaultExt, "mdb");
    EXPECT_EQ(open.filter, "ＭＤＢファイル(*.mdb)|*.mdb");
    EXPECT_EQ(open.flags, 0x80200);

    EXPECT_EQ(window_->Text1->text().toStdString(), db_);
    EXPECT_EQ(Texts(window_->List1), QStringList({"Customer", "Order Line", "Zone"}));
    EXPECT_EQ(window_->Label2->text(), "Generateする対象となるmdbを指定してください。");
    EXPECT_EQ(QApplication::focusWidget(), window_->List1);

    // The next dialog starts in the folder of the file last chosen.
    dialogs_.Cancel();
    window_->mnFileMDB->trigger();
    ASSERT_EQ(dialogs_.Requests().size(), 2u);
    EXPECT_EQ(window_->DialogFolder.toStdString(), db_);
    EXPECT_EQ(dialogs_.Requests()[1].initDir.toStdString(), dir_.Path().string());
}

TEST_F(VespenWindowTest, CancelledChoiceOnlyClearsTheListsAndTheBox) {
    ChooseDatabase(db_);
    Click(window_->Command1[0]);
    ASSERT_GT(window_->List2->count(), 0);
    dialogs_.Cancel();
    QTest::mouseClick(window_->Text1, Qt::LeftButton);
    EXPECT_EQ(window_->List1->count(), 0);
    EXPECT_EQ(window_->List2->count(), 0);
    EXPECT_TRUE(window_->Text1->text().isEmpty());
    EXPECT_EQ(window_->DatabasePath.toStdString(), db_);
    EXPECT_TRUE(prompts_.Shown().empty());
}

TEST_F(VespenWindowTest, OnlyFilesEndingInLowerOrUpperMdbAreOpened) {
    for (const char* name : {"shop.Mdb", "shop.txt"}) {
        prompts_.Expect(".mdbファイルを選択して下さい");
        ChooseDatabase(dir_.File(name));
        EXPECT_EQ(window_->List1->count(), 0) << name;
        EXPECT_EQ(window_->Text1->text().toStdString(), dir_.File(name));
    }
    fs::copy_file(db_, dir_.File("UPPER.MDB"));
    ChooseDatabase(dir_.File("UPPER.MDB"));
    EXPECT_EQ(window_->List1->count(), 3);
}

TEST_F(VespenWindowTest, UnreadableDatabaseGivesOneMessageAndTheWindowGoesOn) {
    WriteBytes(dir_.File("junk.mdb"), "this is not a database");
    prompts_.ExpectAny();
    ChooseDatabase(dir_.File("junk.mdb"));
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_TRUE(prompts_.Shown()[0].text.startsWith("Error; 3343\n"))
        << prompts_.Shown()[0].text.toStdString();
    EXPECT_EQ(window_->List1->count(), 0);
    ChooseDatabase(db_);
    EXPECT_EQ(window_->List1->count(), 3);
}

TEST_F(VespenWindowTest, GeneratingNeedsADatabaseAndAtLeastOneTable) {
    prompts_.Expect("ｍｄｂの指定を先に行って下さい。");
    Click(window_->Command1[0]);

    ChooseDatabase(db_);
    QTest::keyClick(window_->List1, Qt::Key_A, Qt::ControlModifier);
    Click(window_->Command1[1]);
    ASSERT_EQ(window_->List1->count(), 0);
    prompts_.Expect("該当するテーブルがありません。");
    Click(window_->Command1[0]);
    EXPECT_EQ(window_->List2->count(), 0);
}

TEST_F(VespenWindowTest, GeneratingWithNothingSelectedUsesAndSelectsEveryTable) {
    ChooseDatabase(db_);
    ASSERT_TRUE(SelectedRows(window_->List1).isEmpty());
    Click(window_->Command1[0]);
    EXPECT_EQ(SelectedRows(window_->List1), QList<int>({0, 1, 2}));
    QStringList lines = Texts(window_->List2);
    qsizetype customer = lines.indexOf("'   Customerテーブルの定義");
    qsizetype orderLine = lines.indexOf("'   Order Lineテーブルの定義");
    qsizetype zone = lines.indexOf("'   Zoneテーブルの定義");
    EXPECT_TRUE(customer > 0 && customer < orderLine && orderLine < zone);
    EXPECT_TRUE(lines.contains("    Qty (1 To 02) As Integer"));
    EXPECT_EQ(lines.last(), "");
    EXPECT_EQ(window_->Label2->text(), "標準モジュールの生成が終了しました。");
}

TEST_F(VespenWindowTest, ClickedTablesAloneAreGenerated) {
    ChooseDatabase(db_);
    ClickRow(window_->List1, 0);
    ClickRow(window_->List1, 2, Qt::ControlModifier);
    Click(window_->Command1[0]);
    QStringList lines = Texts(window_->List2);
    EXPECT_TRUE(lines.contains("'   Customerテーブルの定義"));
    EXPECT_TRUE(lines.contains("'   Zoneテーブルの定義"));
    EXPECT_FALSE(lines.contains("'   Order Lineテーブルの定義"));
    EXPECT_EQ(SelectedRows(window_->List1), QList<int>({0, 2}));

    // Shift-click selects a range.
    ClickRow(window_->List1, 0);
    ClickRow(window_->List1, 1, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRows(window_->List1), QList<int>({0, 1}));
}

TEST_F(VespenWindowTest, RemovalAndClearingActOnTheSelectedEntriesOfEachList) {
    ChooseDatabase(db_);
    // With nothing selected both buttons leave the list alone.
    Click(window_->Command1[1]);
    Click(window_->Command1[2]);
    EXPECT_EQ(window_->List1->count(), 3);

    ClickRow(window_->List1, 0);
    ClickRow(window_->List1, 1, Qt::ControlModifier);
    Click(window_->Command1[2]);
    EXPECT_TRUE(SelectedRows(window_->List1).isEmpty());
    EXPECT_EQ(window_->List1->count(), 3);

    ClickRow(window_->List1, 0);
    ClickRow(window_->List1, 2, Qt::ControlModifier);
    Click(window_->Command1[1]);
    EXPECT_EQ(Texts(window_->List1), QStringList({"Order Line"}));
    EXPECT_EQ(vespen::ListTables(Ws(), db_).size(), 3u)
        << "removing entries never touches the database";

    Click(window_->Command1[0]);
    QStringList before = Texts(window_->List2);
    ClickRow(window_->List2, 0);
    ClickRow(window_->List2, 2, Qt::ControlModifier);
    Click(window_->Command2[0]);
    QStringList expected = before;
    expected.removeAt(2);
    expected.removeAt(0);
    EXPECT_EQ(Texts(window_->List2), expected);

    ClickRow(window_->List2, 3);
    ClickRow(window_->List2, 5, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRows(window_->List2), QList<int>({3, 4, 5}));
    Click(window_->Command2[1]);
    EXPECT_TRUE(SelectedRows(window_->List2).isEmpty());
    EXPECT_EQ(Texts(window_->List2), expected);
}

TEST_F(VespenWindowTest, SaveAsksForTheNameAndWritesWhatTheCommandLineWrites) {
    prompts_.Expect("書き込む内容がありません。");
    Click(window_->Command2[2]);
    EXPECT_TRUE(dialogs_.Requests().empty());

    ChooseDatabase(db_);
    Click(window_->Command1[0]);
    int lines = window_->List2->count();
    dialogs_.Cancel();
    Click(window_->Command2[2]);
    ASSERT_EQ(dialogs_.Requests().size(), 2u);
    const platform::FileDialogRequest& save = dialogs_.Requests()[1];
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.title, "標準モジュール名（bas）の指定");
    EXPECT_EQ(save.initDir.toStdString(), dir_.Path().string());
    EXPECT_EQ(save.defaultExt, "bas");
    EXPECT_EQ(save.filter, "BASファイル(*.bas)|*.bas");
    EXPECT_EQ(save.flags, 0x80200);
    EXPECT_EQ(save.fileName, "shop.bas");
    EXPECT_EQ(window_->Label2->text(), "生成するBAS名を指定してください。");
    EXPECT_EQ(window_->List2->count(), lines) << "a cancelled save keeps the text";
    EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"shop.mdb"}));

    // An existing file is replaced without a question.
    std::string target = dir_.File("Shop.Tables.bas");
    WriteBytes(target, "old");
    dialogs_.Answer(QString::fromStdString(target));
    window_->mnBASName->trigger();
    EXPECT_EQ(window_->List2->count(), 0);

    fs::create_directory(dir_.File("cli"));
    std::string cli = dir_.File("cli/Shop.Tables.bas");
    ProcessResult r = RunVespen({"--db", db_, "--out", cli});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string bytes = ReadBytes(target);
    EXPECT_EQ(bytes, ReadBytes(cli));
    EXPECT_EQ(bytes.rfind("Attribute VB_Name = \"Shop\"\r\n", 0), 0u);
}

TEST_F(VespenWindowTest, SavingAfterDeletingLinesWritesOnlyTheRemainingLines) {
    ChooseDatabase(db_);
    Click(window_->Command1[0]);
    ClickRow(window_->List2, 0);
    ClickRow(window_->List2, 5, Qt::ShiftModifier);
    Click(window_->Command2[0]);
    QStringList remaining = Texts(window_->List2);
    std::string target = dir_.File("part.bas");
    dialogs_.Answer(QString::fromStdString(target));
    Click(window_->Command2[2]);
    std::vector<std::string> expected = {"Attribute VB_Name = \"part\""};
    for (const QString& line : remaining) expected.push_back(line.toStdString());
    EXPECT_EQ(SplitLines(FromCp932(ReadBytes(target)), "\r\n"), expected);
}

TEST_F(VespenWindowTest, FailedSaveShowsWhyAndKeepsTheText) {
    ChooseDatabase(db_);
    Click(window_->Command1[0]);
    int lines = window_->List2->count();
    std::string target = dir_.File("missing/m.bas");
    prompts_.ExpectAny();
    dialogs_.Answer(QString::fromStdString(target));
    Click(window_->Command2[2]);
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_TRUE(prompts_.Shown()[0].text.contains(QString::fromStdString(target)));
    EXPECT_EQ(window_->List2->count(), lines);

    // Text outside code page 932 is refused before anything is written, naming its field.
    auto db = Ws().OpenDatabase(db_);
    engine::FieldPtr field = db->TableDefs().Item("Zone")->Fields().Item("Code");
    field->Properties().Append(field->CreateProperty("Description", dao::dbText,
                                                     engine::Variant("記号 \xF0\x9F\x98\x80")));
    db->Close();
    Click(window_->Command1[0]);
    prompts_.ExpectAny();
    dialogs_.Answer(QString::fromStdString(dir_.File("m.bas")));
    Click(window_->Command2[2]);
    ASSERT_EQ(prompts_.Shown().size(), 2u);
    EXPECT_TRUE(prompts_.Shown()[1].text.contains("テーブル：Zone\nフィールド：Code"))
        << prompts_.Shown()[1].text.toStdString();
    EXPECT_FALSE(fs::exists(dir_.File("m.bas")));
    EXPECT_GT(window_->List2->count(), 0);
}

TEST_F(VespenWindowTest, OptionsAreStoredTrimmedBySetAndDroppedByCancel) {
    frmOption* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->windowTitle(), "オプション指定");
    const char* labels[] = {"レコード定義の接頭語", "読込用サブ名の接頭語",
                            "書込用サブ名の接頭語", "フィールド名空白部分へのパッディング",
                            "WorkSpace名",          "Database名の接頭語",
                            "Recordset名の接頭語"};
    const char* defaults[] = {"r", "Read_", "Write_", "_", "MYWS", "DB", "RS"};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(options->Label1[i]->text(), QString::fromUtf8(labels[i]));
        EXPECT_EQ(options->Text1[i]->text(), QString::fromUtf8(defaults[i]));
    }
    EXPECT_EQ(options->Command1[0]->text(), "設定");
    EXPECT_EQ(options->Command1[1]->text(), "キャンセル");
    EXPECT_EQ(options->Command1[2]->text(), "デフォルト値");

    Type(options->Text1[1], "  Get_ ");
    Type(options->Text1[3], "-");
    Click(options->Command1[0]);
    Flush();
    EXPECT_EQ(window_->OptionWindow(), nullptr);
    EXPECT_EQ(window_->Options.ReadPrefix, "Get_");
    EXPECT_EQ(window_->Options.Padding, "-");

    options = OpenOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->Text1[1]->text(), "Get_");
    Type(options->Text1[0], "rec");
    Click(options->Command1[1]);
    Flush();
    EXPECT_EQ(window_->OptionWindow(), nullptr);
    EXPECT_EQ(window_->Options.RecordPrefix, "r");

    ChooseDatabase(db_);
    Click(window_->Command1[0]);
    EXPECT_TRUE(Texts(window_->List2).contains("Public Sub Get_Order-Line(RS As Recordset)"));
}

TEST_F(VespenWindowTest, DefaultsFillTheBoxesButAreStoredOnlyBySet) {
    window_->Options.RecordPrefix = "x";
    window_->Options.WorkspaceName = "";
    frmOption* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->Text1[0]->text(), "x");
    Click(options->Command1[2]);
    EXPECT_EQ(options->Text1[0]->text(), "r");
    EXPECT_EQ(options->Text1[4]->text(), "MYWS");
    EXPECT_EQ(window_->Options.RecordPrefix, "x") << "nothing stored before 設定";
    Click(options->Command1[0]);
    Flush();
    EXPECT_TRUE(window_->Options == vespen::GeneratorOptions{});
}

TEST_F(VespenWindowTest, BlankPrefixesLeaveOnlyTheHeaderAndTheRecords) {
    frmOption* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    for (size_t i : {1u, 2u, 4u, 5u, 6u}) Type(options->Text1[i], i == 1 ? "   " : "");
    Click(options->Command1[0]);
    Flush();
    ChooseDatabase(db_);
    ClickRow(window_->List1, 2);
    Click(window_->Command1[0]);
    QStringList lines = Texts(window_->List2);
    ASSERT_GE(lines.size(), 10);
    EXPECT_EQ(lines[5], "Option Compare Text");
    EXPECT_EQ(lines[6], "'");
    EXPECT_EQ(lines[7], "'  ＜レコード領域の定義＞");
    EXPECT_EQ(lines.last(), "Public rZone As Zone_Type");
    EXPECT_EQ(lines.size(), 14);
}

TEST_F(VespenWindowTest, HelpMenuOpensTheManualAndTheVersionWindow) {
    window_->mnManual->trigger();
    EXPECT_EQ(shell_.opened, QStringList({window_->HelpFolder + "bgmanual.html"}));

    // The program carries its manual in HELP/ beside it.
    fs::path manual = fs::path(VESPEN_EXE).parent_path() / "HELP" / "bgmanual.html";
    ASSERT_TRUE(fs::exists(manual));
    std::string html = ReadBytes(manual.string());
    for (const char* part : {"<html", "basの生成", "ｵﾌﾟｼｮﾝ指定", "--db", "Attribute VB_Name"})
        EXPECT_NE(html.find(part), std::string::npos) << part;

    window_->mnVer->trigger();
    ASSERT_NE(window_->AboutWindow(), nullptr);
    EXPECT_TRUE(window_->AboutWindow()->isVisible());
    EXPECT_TRUE(window_->AboutWindow()->Label1->text().contains("Vespen"));
    Click(window_->AboutWindow()->Command1);
    Flush();
    EXPECT_EQ(window_->AboutWindow(), nullptr);
}

TEST_F(VespenWindowTest, EndClosesTheWindowWithItsOptionsWindow) {
    ASSERT_NE(OpenOptions(), nullptr);
    window_->mnEnd->trigger();
    Flush();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(window_->OptionWindow(), nullptr);
}

} // namespace
