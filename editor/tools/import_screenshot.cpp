// Renders the import window into two PNG files: the two field grids with links made, and the
// record view of the source table. The databases are built in a temporary folder; the file
// dialogs are answered by script, everything else is driven as a user would.
// Usage: tavorin_import_screenshot LINKS.png RECORDS.png  (run under a display, e.g. xvfb-run -a)
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <string>

#include "engine/types.h"
#include "engine/workspace.h"
#include "forms/frmMdbCpy.h"
#include "modules/AppContext.h"
#include "modules/AppSetup.h"
#include "platform/scripted.h"

namespace {

using engine::Variant;
namespace dao = engine::dao;

struct Column {
    const char* name;
    int type;
    long size;
};

void MakeTable(engine::Database& db, const char* name, const char* description,
               std::initializer_list<Column> columns, std::initializer_list<const char*> key) {
    auto td = db.CreateTableDef(name);
    for (const Column& c : columns) {
        auto f = td->CreateField(c.name, c.type, c.size);
        if (c.type == dao::dbText) f->SetAllowZeroLength(true);
        td->Fields().Append(f);
    }
    auto pk = td->CreateIndex("PrimaryKey");
    pk->SetPrimary(true);
    pk->SetUnique(true);
    for (const char* field : key) pk->Fields().Append(pk->CreateField(field));
    td->Indexes().Append(pk);
    td->Properties().Append(td->CreateProperty("Description", dao::dbText, Variant(description)));
    db.TableDefs().Append(td);
}

void BuildDemo(const std::string& path) {
    auto& ws = engine::DBEngine::Instance().Workspaces(0);
    auto db = ws.CreateDatabase(path, engine::kLangJapanese);
    MakeTable(*db, "得意先マスタ", "新システムの得意先",
              {{"得意先コード", dao::dbLong, 0},
               {"得意先名", dao::dbText, 40},
               {"カナ", dao::dbText, 40},
               {"郵便番号", dao::dbText, 8},
               {"住所", dao::dbText, 80},
               {"電話番号", dao::dbText, 15},
               {"与信限度額", dao::dbCurrency, 0},
               {"登録日", dao::dbDate, 0},
               {"備考", dao::dbMemo, 0}},
              {"得意先コード"});
    MakeTable(*db, "旧得意先", "旧システムから移行した得意先",
              {{"CODE", dao::dbText, 6},
               {"得意先名", dao::dbText, 30},
               {"カナ", dao::dbText, 30},
               {"郵便番号", dao::dbText, 8},
               {"住所", dao::dbText, 60},
               {"TEL", dao::dbText, 15},
               {"FAX", dao::dbText, 15},
               {"限度額", dao::dbLong, 0},
               {"登録日", dao::dbDate, 0}},
              {"CODE"});
    static const char* const names[] = {"山田商事",   "佐藤物産", "鈴木工業", "高橋電機",
                                        "田中製作所", "伊藤建設", "渡辺運輸", "中村食品",
                                        "小林薬品",   "加藤印刷", "吉田興産", "山本繊維"};
    static const char* const kana[] = {"ﾔﾏﾀﾞｼｮｳｼﾞ", "ｻﾄｳﾌﾞｯｻﾝ", "ｽｽﾞｷｺｳｷﾞｮｳ", "ﾀｶﾊｼﾃﾞﾝｷ",
                                       "ﾀﾅｶｾｲｻｸｼｮ", "ｲﾄｳｹﾝｾﾂ",  "ﾜﾀﾅﾍﾞｳﾝﾕ",   "ﾅｶﾑﾗｼｮｸﾋﾝ",
                                       "ｺﾊﾞﾔｼﾔｸﾋﾝ", "ｶﾄｳｲﾝｻﾂ",  "ﾖｼﾀﾞｺｳｻﾝ",   "ﾔﾏﾓﾄｾﾝｲ"};
    auto rs = db->OpenRecordset("旧得意先");
    for (int i = 0; i < 12; ++i) {
        rs->AddNew();
        rs->SetValue("CODE", Variant("A" + std::to_string(1001 + i)));
        rs->SetValue("得意先名", Variant(std::string(names[i]) + "株式会社"));
        rs->SetValue("カナ", Variant(kana[i]));
        rs->SetValue("郵便番号",
                     Variant(std::to_string(100 + i * 7) + "-00" + std::to_string(10 + i)));
        rs->SetValue("住所", Variant("東京都千代田区丸の内" + std::to_string(i + 1) + "丁目" +
                                     std::to_string(i * 3 + 2) + "番地"));
        rs->SetValue("TEL",
                     Variant("03-55" + std::to_string(10 + i) + "-12" + std::to_string(30 + i)));
        if (i % 3 == 0) rs->SetValue("FAX", Variant("03-55" + std::to_string(10 + i) + "-9999"));
        rs->SetValue("限度額", Variant::Long(500000 + 100000 * i));
        rs->SetValue("登録日", Variant::Date(engine::DateSerial(2019 + i % 5, 1 + i, 10 + i)));
        rs->Update();
    }
    rs->Close();
    db->Close();
}

void Pick(QListWidget* list, const QString& name) {
    for (int i = 0; i < list->count(); ++i) {
        if (!list->item(i)->text().startsWith(name)) continue;
        const QPoint at = list->visualItemRect(list->item(i)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        return;
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavorin::SetUpApplication(app);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LINKS.png RECORDS.png\n", argv[0]);
        return 2;
    }
    QTemporaryDir work, data;
    if (!work.isValid() || !data.isValid()) return 1;
    tavorin::AppContext context(engine::DBEngine::Instance().Workspaces(0));
    context.Store.SetWorkBaseOverride(work.path().toStdString());
    const std::string path = data.path().toStdString() + "/顧客管理.mdb";
    BuildDemo(path);

    platform::ScriptedFileDialogs dialogs;
    const platform::StandIns replaced = context.Platform.Replace({.fileDialogs = &dialogs});
    tavorin::frmMdbCpy window(context);
    if (!window.Form_Load()) return 1;
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) std::fprintf(stderr, "window not active\n");

    for (int side : {tavorin::frmMdbCpy::kTarget, tavorin::frmMdbCpy::kSource}) {
        dialogs.Answer(QString::fromStdString(path));
        QTest::mouseClick(window.Text2[static_cast<size_t>(2 * side + 1)], Qt::LeftButton);
        Pick(window.List1[side], QString::fromUtf8(side == 0 ? "得意先マスタ" : "旧得意先"));
    }
    // Same-named fields first, then the rest by hand: CODE to 得意先コード, TEL to 電話番号,
    // 限度額 to 与信限度額; the last link stays selected.
    window.Check1->click();
    auto link = [&](int targetLine, int sourceLine) {
        QTest::mouseClick(window.Text3[static_cast<size_t>(5 * targetLine + 1)], Qt::LeftButton);
        QTest::mouseClick(window.Text3[static_cast<size_t>(50 + 4 * sourceLine + 1)],
                          Qt::LeftButton);
    };
    link(0, 0);
    link(5, 5);
    link(6, 7);
    window.Text5->setText(QString::fromUtf8("登録日 >= #2020/01/01# And 住所 Like \"東京都*\""));
    QTest::qWait(200);
    bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG");

    window.Command1[3]->click(); // the source's records
    QTest::qWait(200);
    saved = window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG") && saved;
    window.mnEnd_Click();
    context.Platform.Replace(replaced);
    if (!saved) {
        std::fprintf(stderr, "cannot write the pictures\n");
        return 1;
    }
    return 0;
}
