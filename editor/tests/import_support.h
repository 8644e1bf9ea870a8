// The import window started on its own with scripted message boxes and file dialogs, user
// databases built through the engine (and, for tables beyond the engine's limits, written into
// the file's catalog directly), and the gestures of a user: choosing a file, double-clicking a
// table, clicking grid cells.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/testing/fault_hook.h"
#include "engine/testing/test_support.h"
#include "forms/frmMdbCpy.h"
#include "modules/WorkStore.h"
#include "save_support.h"
#include "window_fixture.h"

namespace importtest {

using engine::Variant;
using tavorin::frmMdbCpy;
using tavorintest::FieldDef;
using tavorintest::IndexSpec;
using tavorintest::TempDir;
namespace dao = engine::dao;
namespace fs = std::filesystem;

constexpr int kTarget = frmMdbCpy::kTarget;
constexpr int kSource = frmMdbCpy::kSource;

using enginetest::Ws;

// Adds records to a table: one vector of values per record, in field order.
inline void AddRecords(const std::string& path, const std::string& table,
                       const std::vector<std::vector<Variant>>& records) {
    engine::DatabasePtr db = Ws().OpenDatabase(path);
    engine::RecordsetPtr rs = db->OpenRecordset(table);
    for (const auto& values : records) {
        rs->AddNew();
        for (size_t i = 0; i < values.size(); ++i)
            if (!values[i].IsEmpty()) rs->SetValue(i, values[i]);
        rs->Update();
    }
    rs->Close();
    db->Close();
}

// Every record of a table as "v1|v2|...|" (Null as <null>), ordered by its first field.
inline std::vector<std::string> Records(const std::string& path, const std::string& table) {
    engine::DatabasePtr db = Ws().OpenDatabase(path);
    engine::TableDefPtr td = db->TableDefs().Item(table);
    engine::RecordsetPtr rs =
        db->OpenRecordset("SELECT * FROM " + tavorin::Bracketed(table) + " ORDER BY " +
                              tavorin::Bracketed(td->Fields()[0]->Name()),
                          engine::RecordsetType::Snapshot);
    std::vector<std::string> rows;
    for (; !rs->Eof(); rs->MoveNext()) {
        std::string row;
        for (size_t i = 0; i < rs->FieldCount(); ++i) {
            const Variant& v = rs->Value(i);
            row += (v.IsNull() ? std::string("<null>") : engine::TextOf(v)) + "|";
        }
        rows.push_back(row);
    }
    return rows;
}

// Runs statements on the file with SQLite itself (the catalog of a table the engine would not
// build).
inline void RawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << "\n" << sql.substr(0, 300);
    sqlite3_free(error);
    sqlite3_close(db);
}

inline std::string FieldName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "F%04d", i);
    return name;
}

// A table of `fields` Long fields F0001.. whose primary key holds the first `keyFields` of them:
// built by the engine up to its limits (255 fields, 10 index fields), the rest added to the
// file and its catalog as another program could write them.
inline void MakeWideTable(const std::string& path, const std::string& table, int fields,
                          int keyFields) {
    std::vector<FieldDef> defs;
    for (int i = 1; i <= std::min(fields, 255); ++i) defs.push_back({FieldName(i), dao::dbLong});
    IndexSpec pk{"PrimaryKey", true, true, {}};
    for (int i = 1; i <= std::min(keyFields, 10); ++i) pk.fields.push_back({FieldName(i), false});
    tavorintest::MakeTable(path, table, defs,
                           keyFields > 0 ? std::vector<IndexSpec>{pk} : std::vector<IndexSpec>{});
    std::string sql = "BEGIN;";
    for (int i = 256; i <= fields; ++i) {
        sql += "ALTER TABLE \"" + table + "\" ADD COLUMN \"" + FieldName(i) + "\" INTEGER;";
        sql += "INSERT INTO MSysColumns VALUES ('" + table + "', '" + FieldName(i) + "', " +
               std::to_string(i - 1) + ", 4, 4, 1, 0, 0, '');";
    }
    for (int i = 11; i <= keyFields; ++i)
        sql += "INSERT INTO MSysIndexColumns VALUES ('" + table + "', 'PrimaryKey', " +
               std::to_string(i - 1) + ", '" + FieldName(i) + "', 0);";
    sql += "COMMIT;";
    RawSql(path, sql);
}

// One work row as text, in column order.
using Row = std::vector<std::string>;

class ImportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app.Store.SetWorkBaseOverride(work.Path());
        window = std::make_unique<frmMdbCpy>(app);
        ASSERT_TRUE(window->Form_Load());
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override {
        engine::SetWriteFaultHook(nullptr);
        if (window && !window->Ended()) window->mnEnd_Click();
        window.reset();
        EXPECT_TRUE(prompts.Unexpected().isEmpty())
            << prompts.Unexpected().join("\n").toStdString();
        EXPECT_EQ(prompts.Pending(), 0);
    }

    frmMdbCpy& W() { return *window; }

    // Chooses path in the dialog opened by a click on the side's file name box.
    void OpenFile(int side, const std::string& path) {
        dialogs.Answer(QString::fromStdString(path));
        QTest::mouseClick(W().Text2[static_cast<size_t>(2 * side + 1)], Qt::LeftButton);
    }

    // Double-clicks the table's line in the side's table list.
    void PickTable(int side, const std::string& name) {
        const auto& tables = W().Sides[static_cast<size_t>(side)].TableList;
        int line = -1;
        for (size_t i = 0; i < tables.size(); ++i)
            if (tables[i].Name == name) line = static_cast<int>(i);
        ASSERT_GE(line, 0) << name << " is not listed";
        if (!W().Frame2[side]->isVisible())
            QTest::mouseClick(W().Text1[static_cast<size_t>(2 * side)], Qt::LeftButton);
        ASSERT_TRUE(W().Frame2[side]->isVisible());
        QListWidget* list = W().List1[side];
        QListWidgetItem* item = list->item(line);
        list->scrollToItem(item);
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    void Open(int side, const std::string& path, const std::string& table) {
        OpenFile(side, path);
        PickTable(side, table);
    }

    void Click(int cell) {
        QTest::mouseClick(W().Text3[static_cast<size_t>(cell)], Qt::LeftButton);
    }
    // Links the target row on screen line targetLine to the source row on sourceLine.
    void Link(int targetLine, int sourceLine) {
        Click(5 * targetLine + 1);
        Click(50 + 4 * sourceLine + 1);
    }
    std::string CellText(int cell) {
        return W().Text3[static_cast<size_t>(cell)]->text().toStdString();
    }
    QColor CellColour(int cell) {
        return W().Text3[static_cast<size_t>(cell)]->palette().color(QPalette::Base);
    }

    // The side's work rows, every column as text, in FLD08 order.
    std::vector<Row> WorkRows(int side) {
        engine::DatabasePtr db = Ws().OpenDatabase(W().Sides[static_cast<size_t>(side)].WorkPath);
        engine::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD08",
                                                    engine::RecordsetType::Snapshot);
        std::vector<Row> rows;
        for (; !rs->Eof(); rs->MoveNext()) {
            Row row;
            for (size_t i = 0; i < rs->FieldCount(); ++i)
                row.push_back(engine::TextOf(rs->Value(i)));
            rows.push_back(row);
        }
        return rows;
    }
    // The link of each target row: its name, FLD05 and its source's mark.
    std::string LinkOf(const std::string& targetField) {
        for (const Row& row : WorkRows(kTarget))
            if (row[1] == targetField) return row[4];
        return "<no row>";
    }
    std::string MarkOf(const std::string& sourceField) {
        for (const Row& row : WorkRows(kSource))
            if (row[1] == sourceField) return row[4];
        return "<no row>";
    }

    QString Status() const { return window->Label2->text(); }

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
    std::unique_ptr<frmMdbCpy> window;
};

inline const QColor kLightYellow(0xFF, 0xFF, 0xC0);
inline const QColor kOlive(0xC0, 0xC0, 0x00);

} // namespace importtest
