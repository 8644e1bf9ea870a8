// A started main window with scripted message boxes and file dialogs, databases built through
// the engine, and the gestures of a user: clicking a file box, double-clicking a table, typing
// into a cell.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "forms/GridCells.h"
#include "forms/ToolImage.h"
#include "forms/frmTavorin.h"
#include "modules/AppContext.h"
#include "platform/scripted.h"
#include "test_support.h"

namespace tavorintest {

namespace dao = engine::dao;

struct FieldDef {
    std::string name{};
    int type = dao::dbText;
    long size = 0;
    long attributes = 0;
    std::string description{};
};

struct IndexSpec {
    std::string name;
    bool primary = false;
    bool unique = false;
    std::vector<std::pair<std::string, bool>> fields; // name, descending
};

inline engine::DatabasePtr OpenOrCreate(const std::string& path) {
    engine::Workspace& ws = engine::DBEngine::Instance().Workspaces(0);
    if (fs::exists(path)) return ws.OpenDatabase(path);
    return ws.CreateDatabase(path, engine::kLangJapanese);
}

// Adds a table to the database at path (created when missing).
inline void MakeTable(const std::string& path, const std::string& table,
                      const std::vector<FieldDef>& fields,
                      const std::vector<IndexSpec>& indexes = {},
                      const std::string& description = {}) {
    engine::DatabasePtr db = OpenOrCreate(path);
    engine::TableDefPtr td = db->CreateTableDef(table);
    for (const FieldDef& def : fields) {
        engine::FieldPtr f = td->CreateField(def.name, def.type, def.size);
        if (def.attributes) f->SetAttributes(def.attributes);
        if (!def.description.empty())
            f->Properties().Append(
                f->CreateProperty("Description", dao::dbText, engine::Variant(def.description)));
        td->Fields().Append(f);
    }
    for (const IndexSpec& def : indexes) {
        engine::IndexPtr ix = td->CreateIndex(def.name);
        ix->SetPrimary(def.primary);
        ix->SetUnique(def.unique || def.primary);
        for (const auto& [name, descending] : def.fields) {
            engine::FieldPtr member = ix->CreateField(name);
            if (descending) member->SetAttributes(dao::dbDescending);
            ix->Fields().Append(member);
        }
        td->Indexes().Append(ix);
    }
    if (!description.empty())
        td->Properties().Append(
            td->CreateProperty("Description", dao::dbText, engine::Variant(description)));
    db->TableDefs().Append(td);
    db->Close();
}

inline std::vector<FieldDef> TextFields(std::initializer_list<const char*> names, long size = 10) {
    std::vector<FieldDef> out;
    for (const char* name : names) out.push_back({name, dao::dbText, size});
    return out;
}

// One WKTBL row as text, FLD01..FLD16.
using WorkRow = std::vector<std::string>;

// The main window with the table save replaced by a stand-in, unless realSave asks for the
// window's own save.
class TestWindow : public tavorin::frmTavorin {
  public:
    using frmTavorin::frmTavorin;
    void SaveTable() override {
        ++saves;
        if (realSave) {
            frmTavorin::SaveTable();
            return;
        }
        Saving().SaveAbandoned = failSave ? -1 : 0;
        if (!failSave) LayoutChanged = 0;
    }
    int saves = 0;
    bool failSave = false;
    bool realSave = false;
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app.Store.SetWorkBaseOverride(work.Path());
        window = std::make_unique<TestWindow>(app);
        ASSERT_TRUE(window->Form_Load());
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override {
        if (window && !window->Ended()) {
            window->LayoutChanged = 0;
            window->mnEnd_Click();
        }
        window.reset();
        EXPECT_TRUE(prompts.Unexpected().isEmpty())
            << prompts.Unexpected().join("\n").toStdString();
        EXPECT_EQ(prompts.Pending(), 0);
    }

    // The work table's rows in FLD01 order.
    std::vector<WorkRow> WorkRows() {
        std::vector<WorkRow> rows;
        engine::RecordsetPtr rs = app.Store.WorkDb->OpenRecordset(
            "SELECT * FROM WKTBL ORDER BY FLD01", engine::RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            WorkRow row;
            for (size_t i = 0; i < 16; ++i) row.push_back(engine::TextOf(rs->Value(i)));
            rows.push_back(row);
        }
        rs->Close();
        return rows;
    }

    TestWindow& W() { return *window; }

    // Chooses path in the file dialog opened by a click on the file name box.
    void OpenFile(const std::string& path) {
        dialogs.Answer(QString::fromStdString(path));
        QTest::mouseClick(W().Text2[1], Qt::LeftButton);
    }

    // Double-clicks the table's line in the table list.
    void DoubleClickTable(const std::string& name) {
        int line = -1;
        for (size_t i = 0; i < W().TableList.size(); ++i)
            if (W().TableList[i].Name == name) line = static_cast<int>(i);
        ASSERT_GE(line, 0) << name << " is not listed";
        // The list shows while the table name box has the focus.
        if (!W().Frame2->isVisible()) QTest::mouseClick(W().Text1[0], Qt::LeftButton);
        ASSERT_TRUE(W().List1->isVisible());
        QListWidgetItem* item = W().List1->item(line);
        W().List1->scrollToItem(item);
        const QPoint at = W().List1->visualItemRect(item).center();
        QTest::mouseClick(W().List1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(W().List1->viewport(), Qt::LeftButton, {}, at);
    }

    void OpenTable(const std::string& path, const std::string& table) {
        OpenFile(path);
        DoubleClickTable(table);
    }

    QLineEdit* Cell(int line, int column) {
        return W().Text1[static_cast<size_t>(tavorin::grid::CellOf(line, column))];
    }

    // Clicks into box, replaces its text by typing text (nothing typed clears it), and leaves
    // it with Enter.
    void TypeInto(QLineEdit* box, const QString& text, bool enter = true) {
        QTest::mouseClick(box, Qt::LeftButton);
        box->selectAll();
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Backspace);
        else
            TypeText(box, text);
        if (enter) QTest::keyClick(box, Qt::Key_Return);
    }

    // Types text: ASCII as key presses, anything else as an input method would commit it.
    static void TypeText(QWidget* box, const QString& text) {
        QString ascii;
        auto flush = [&] {
            if (!ascii.isEmpty()) QTest::keyClicks(box, ascii);
            ascii.clear();
        };
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                ascii += c;
                continue;
            }
            flush();
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(box, &commit);
        }
        flush();
    }

    QWidget* Focus() const { return QApplication::focusWidget(); }

    // A click on the scroll bar's lower (down) or upper arrow.
    void ClickScrollArrow(bool down) {
        QScrollBar* bar = W().VScroll1;
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.subControls = QStyle::SC_All;
        opt.orientation = Qt::Vertical;
        opt.minimum = bar->minimum();
        opt.maximum = bar->maximum();
        opt.sliderPosition = opt.sliderValue = bar->value();
        opt.singleStep = bar->singleStep();
        opt.pageStep = bar->pageStep();
        const QRect arrow = bar->style()->subControlRect(
            QStyle::CC_ScrollBar, &opt,
            down ? QStyle::SC_ScrollBarAddLine : QStyle::SC_ScrollBarSubLine, bar);
        QTest::mouseClick(bar, Qt::LeftButton, {}, arrow.center());
    }

    // Notches of the mouse wheel (down when notches < 0) with the mouse over widget. (A wheel
    // event made by a test reaches that widget only, not its parents.)
    static void Wheel(QWidget* over, int notches) {
        const QPoint at = over->rect().center();
        QWheelEvent wheel(at, over->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &wheel);
    }

    TempDir work;
    TempDir data;
    platform::ScriptedPrompts prompts;
    platform::ScriptedFileDialogs dialogs;
    platform::RecordingShell shell;
    platform::MemoryClipboard clipboard;
    tavorin::AppContext app{
        engine::DBEngine::Instance().Workspaces(0),
        {.prompts = &prompts,
         .fileDialogs = &dialogs,
         .clipboard = &clipboard,
         .shell = &shell}}; // the run's state, which the window and the test share
    std::unique_ptr<TestWindow> window;
};

} // namespace tavorintest
