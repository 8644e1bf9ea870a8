// Saves a changed layout of a table in its own process, for the crash test: the test kills it
// at a random moment and checks what the file holds afterwards.
// Usage: tavorin_save_child WORKDIR DATABASE TABLE
// The layout change: NAME renamed to FULLNAME, PRICE turned into a group of 2. The questions
// are answered to carry the data over and accept it; a left-over build table is deleted.
#include <QApplication>
#include <cstdio>
#include <string>

#include "engine/error.h"
#include "engine/variant.h"
#include "forms/frmTavorin.h"
#include "modules/AppContext.h"
#include "platform/prompts.h"

namespace {

class Answers : public platform::Prompts {
  public:
    int MsgBox(const QString& text, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        if (text == QString::fromUtf8("テーブルを初期化しますか。")) return platform::vbNo;
        return platform::vbOK;
    }
};

void SetRow(engine::Database& work, const std::string& name, const char* column,
            const engine::Variant& value) {
    auto rs = work.OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01");
    rs->FindFirst("FLD02 = '" + name + "'");
    if (rs->NoMatch()) throw engine::Error(3265, "no row " + name);
    rs->Edit();
    rs->SetValue(column, value);
    rs->Update();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WORKDIR DATABASE TABLE\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    Answers answers;
    tavorin::AppContext context(engine::DBEngine::Instance().Workspaces(0), {.prompts = &answers});
    context.Store.SetWorkBaseOverride(argv[1]);
    tavorin::frmTavorin window(context);
    if (!window.Form_Load()) return 1;
    try {
        window.OpenOnStart(argv[2], argv[3]);
        SetRow(*context.Store.WorkDb, "NAME", "FLD02", engine::Variant("FULLNAME"));
        SetRow(*context.Store.WorkDb, "PRICE", "FLD05", engine::Variant("2"));
        window.SaveTable();
    } catch (const engine::Error& e) {
        std::fprintf(stderr, "error %ld: %s\n", e.Number(), e.Description().c_str());
        return 1;
    }
    const bool saved = window.Saving().SaveAbandoned == 0;
    window.LayoutChanged = 0;
    window.mnEnd_Click();
    std::puts(saved ? "saved" : "abandoned");
    return saved ? 0 : 1;
}
