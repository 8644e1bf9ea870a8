// Runs one import in its own process, for the crash test: the test kills it at a random moment
// and checks what the target table holds afterwards.
// Usage: tavorin_import_child WORKDIR TARGET.mdb SOURCE.mdb TABLE MODE
//   (MODE 0 replace all, 1..3 keyed)
// TABLE of the source file is imported into TABLE of the target file along the links of their
// same-named fields, and the result is accepted.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "forms/frmMdbCpy.h"
#include "modules/AppContext.h"
#include "platform/prompts.h"
#include "platform/scripted.h"

namespace {

class Answers : public platform::Prompts {
  public:
    int MsgBox(const QString& text, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return platform::vbOK;
    }
};

void Pick(tavorin::frmMdbCpy& window, int side, const std::string& table) {
    const auto& tables = window.Sides[static_cast<size_t>(side)].TableList;
    for (size_t i = 0; i < tables.size(); ++i)
        if (tables[i].Name == table) window.List1[side]->setCurrentRow(static_cast<int>(i));
    window.List1_DblClick(side);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s WORKDIR TARGET.mdb SOURCE.mdb TABLE MODE\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    Answers answers;
    platform::ScriptedFileDialogs dialogs;
    tavorin::AppContext context(engine::DBEngine::Instance().Workspaces(0),
                                {.prompts = &answers, .fileDialogs = &dialogs});
    context.Store.SetWorkBaseOverride(argv[1]);
    tavorin::frmMdbCpy window(context);
    if (!window.Form_Load()) return 1;
    for (int side : {tavorin::frmMdbCpy::kTarget, tavorin::frmMdbCpy::kSource}) {
        dialogs.Answer(QString::fromLocal8Bit(argv[2 + side]));
        window.Text2_Click(2 * side + 1);
        Pick(window, side, argv[4]);
    }
    window.mnCpyJoint_Click();
    const int mode = std::atoi(argv[5]);
    if (mode == 0)
        window.mnCpyDel_Click();
    else
        window.mnCpyUpd1_Click(mode);
    const bool done = window.WorkCount > 0 && window.Text1[0]->text().isEmpty();
    window.mnEnd_Click();
    std::puts(done ? "imported" : "not imported");
    return done ? 0 : 1;
}
