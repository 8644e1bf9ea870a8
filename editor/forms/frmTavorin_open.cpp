// frmTavorin: choosing a database file and a table, and loading the table's definition into
// the work rows of the grid.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <filesystem>

#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "frmTavorin.h"
#include "modules/DatabaseFiles.h"
#include "modules/FieldLines.h"
#include "modules/FuncUtility.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
namespace fs = std::filesystem;

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The key column of an index slot: FLD06 for the primary key, FLD07..FLD11 for sub keys 1..5.
std::string KeyColumn(int slot) {
    const int column = 6 + slot;
    return column < 10 ? "FLD0" + std::to_string(column) : "FLD" + std::to_string(column);
}

} // namespace

// ---- The file ----------------------------------------------------------------------------------

void frmTavorin::Text2_Click() {
    int16_t error = 0;
    StoreRow(error);
    if (error != 0) return;
    if (LayoutChanged > 0) {
        int16_t answer = 0;
        AskSaveChanges(answer);
        if (answer == platform::vbCancel) return;
    }
    ChosenFile chosen{CurrentFile.Folder, CurrentFile.BaseName, CurrentFile.Extension,
                      CurrentFile.FullPath};
    ChooseDatabaseFile("G", 0, "", chosen, error);
    // A cancelled dialog changes nothing.
    if (error != 0) return;

    const CurrentFileState previous = CurrentFile;
    CurrentFile.Folder = chosen.Folder;
    CurrentFile.BaseName = chosen.BaseName;
    CurrentFile.Extension = chosen.Extension;
    CurrentFile.FullPath = chosen.FullPath;
    if (!CurrentFile.FullPath.empty()) {
        const std::vector<TableListEntry> previousTables = TableList;
        QStringList previousLines;
        for (int i = 0; i < List1->count(); ++i) previousLines << List1->item(i)->text();
        try {
            OpenFileTables(CurrentFile.FullPath);
        } catch (...) {
            // A file the engine cannot open is not taken: the previous file, its list and the
            // layout stay as they were.
            const std::string lastFolder = CurrentFile.LastFolder;
            CurrentFile = previous;
            CurrentFile.LastFolder = lastFolder;
            TableList = previousTables;
            List1->clear();
            List1->addItems(previousLines);
            throw;
        }
        Text2[0]->setText(Q(CurrentFile.Folder));
        Text2[1]->setText(Q(CurrentFile.BaseName + CurrentFile.Extension));
        ClearLayout();
    } else {
        ReleaseFile();
    }
    MoveFocus(Text1[0]);
}

void frmTavorin::OpenFileTables(const std::string& path) {
    ShowTableListFrame(true);
    List1->clear();
    LoadTableList(path, List1, TableList);
    SetFileMenus(1);
}

void frmTavorin::OpenOnStart(const std::string& path, const std::string& table) {
    if (path.empty()) return;
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec) full = path;
    ChosenFile chosen;
    TakeChosenName(full.lexically_normal().string(), 0, chosen);
    CurrentFile.Folder = chosen.Folder;
    CurrentFile.BaseName = chosen.BaseName;
    CurrentFile.Extension = chosen.Extension;
    CurrentFile.FullPath = chosen.FullPath;
    if (CurrentFile.FullPath.empty()) return;
    try {
        OpenFileTables(CurrentFile.FullPath);
    } catch (...) {
        // A file the engine cannot open is not taken.
        ReleaseFile();
        throw;
    }
    Text2[0]->setText(Q(CurrentFile.Folder));
    Text2[1]->setText(Q(CurrentFile.BaseName + CurrentFile.Extension));
    ClearLayout();
    if (table.empty()) {
        MoveFocus(Text1[0]);
        return;
    }
    CurrentTable = table;
    LoadTableLayout();
    SetTableMenus(1);
    LayoutChanged = 0;
    MoveFocus(Text1[7]);
}

// ---- The table -------------------------------------------------------------------------------

void frmTavorin::List1_DblClick() {
    const int line = List1->currentRow();
    if (line < 0 || static_cast<size_t>(line) >= TableList.size()) return;
    // Taken before the save question: a save may list the file's tables anew.
    const std::string table = TableList[static_cast<size_t>(line)].Name;
    if (LayoutChanged >= 1) {
        int16_t answer = 0;
        AskSaveChanges(answer);
        if (answer == platform::vbCancel) return;
    }
    ClearLayout();
    CurrentTable = table;
    LoadTableLayout();
    SetTableMenus(1);
    MoveFocus(Text1[7]);
    LayoutChanged = 0;
}

void frmTavorin::CommitTableName(int16_t& error) {
    error = 0;
    // Taken before the question: a completed save empties the box.
    const QString typed = Text1[0]->text();
    if (LayoutChanged > 0) {
        int16_t answer = 0;
        AskSaveChanges(answer);
        if (answer == platform::vbCancel) {
            Text1[0]->setText(Q(CurrentTable));
            error = 9;
            return;
        }
    }
    Text1[0]->setText(typed);
    ValidateCell(0, error);
    if (error == 0) MoveFocus(Text1[7]);
}

void frmTavorin::RequireFileAndTable(int16_t& error) {
    error = 0;
    if (CurrentFile.FullPath.empty()) {
        platform::MsgBox(QString::fromUtf8("フォルダーを開いて、ファイルを指定して下さい。"));
        error = 9;
    } else if (CurrentTable.empty()) {
        platform::MsgBox(QString::fromUtf8(
            "テーブルを指定して下さい。キー入力した場合にはエンタ－を押下して下さい。"));
        error = 9;
    }
}

void frmTavorin::OpenUserDatabase() {
    if (UserDb && UserDb->IsOpen() && UserDb->Name() == CurrentFile.FullPath) return;
    CloseUserDatabase();
    UserDb = engine::DBEngine::Instance().Workspaces(0).OpenDatabase(CurrentFile.FullPath);
}

void frmTavorin::CloseUserDatabase() {
    // Whoever closes the file (a file command, another file) ends the giving back of its pages.
    StopReleasingFreePages();
    if (UserDb) UserDb->Close();
    UserDb.reset();
}

void frmTavorin::LoadTableLayout() {
    try {
        LoadTableLayoutSteps();
    } catch (...) {
        // A table that cannot be read is not opened: the layout is left empty, with no table.
        GridLoading = 0;
        ClearLayout();
        throw;
    }
}

bool frmTavorin::IsStoredTable(const std::string& name) {
    if (!FileExists(CurrentFile.FullPath)) return false;
    OpenUserDatabase();
    return UserDb->TableDefs().Contains(name);
}

void frmTavorin::LoadTableLayoutSteps() {
    GridLoading = 9;
    ShowTableListFrame(false);
    TableDesc.clear();
    bool found = false;
    LayoutFileOnDisk = FileExists(CurrentFile.FullPath);
    if (LayoutFileOnDisk) {
        OpenUserDatabase();
        if (UserDb->TableDefs().Contains(CurrentTable)) {
            found = true;
            TableDesc = DescriptionOf(UserDb->TableDefs().Item(CurrentTable)->Properties());
        }
    }
    Text1[0]->setText(Q(CurrentTable));
    Text1[7]->setText(Q(TableDesc));
    if (found) {
        int32_t rowCount = 0;
        ReadTableDefinition(*WorkRs, rowCount);
        WorkRs->Requery();
        ShowLoadedIndexSettings();
        LastRow = rowCount;
    }
    FocusSuppressed = false;
    SetGridInputsOpen(true);
    TopRow = 1;
    SetScrollRange(0);
    FillGrid(1);
    GridLoading = 0;
}

void frmTavorin::ShowLoadedIndexSettings() {
    for (size_t slot = 0; slot < LoadedIndexName.size(); ++slot) {
        if (LoadedIndexName[slot].empty()) continue;
        Text1[slot + 1]->setText(Q(LoadedIndexName[slot]));
        Combo1[slot]->setCurrentIndex(LoadedIndexDup[slot]);
    }
}

// ---- Reading a table definition ----------------------------------------------------------------

void frmTavorin::ReadTableDefinition(engine::Recordset& work, int32_t& rowCount) {
    OpenUserDatabase();
    engine::TableDefPtr table = UserDb->TableDefs().Item(CurrentTable);
    ReadTableDefinitionOf(*table, work, rowCount);
}

void frmTavorin::ReadTableDefinitionOf(engine::TableDef& table, engine::Recordset& work,
                                       int32_t& rowCount) {
    LoadedIndexName.fill(std::string());
    LoadedIndexDup.fill(-1);
    // One transaction for all the rows: a wide table loads in one write, and a load that
    // fails leaves no half layout.
    engine::Workspace& ws = engine::DBEngine::Instance().Workspaces(0);
    ws.BeginTrans();
    try {
        FoldFieldsIntoRows(table, work, rowCount);
        MapIndexesOntoKeys(table, work);
        if (rowCount > 0) CopyAsLoadedValues(work);
    } catch (...) {
        ws.Rollback();
        rowCount = 0;
        throw;
    }
    ws.CommitTrans();
}

void frmTavorin::FoldFieldsIntoRows(engine::TableDef& table, engine::Recordset& work,
                                    int32_t& rowCount) {
    int32_t i = 1;
    for (const FieldLine& line : FoldFieldLines(table)) {
        work.AddNew();
        work.SetValue("FLD01", engine::Variant::Long(i));
        work.SetValue("FLD02", engine::Variant(line.Name));
        work.SetValue("FLD03", engine::Variant(line.TypeName));
        work.SetValue("FLD04", engine::Variant::Integer(line.Size));
        work.SetValue("FLD05", engine::Variant(line.Repeat));
        for (int column = 6; column <= 11; ++column)
            work.SetValue(KeyColumn(column - 6), engine::Variant(""));
        work.SetValue("FLD12", engine::Variant(line.Description));
        work.Update();
        ++i;
    }
    rowCount = i - 1;
}

void frmTavorin::MapIndexesOntoKeys(engine::TableDef& table, engine::Recordset& work) {
    int k = 1;
    bool excessShown = false;
    for (const engine::IndexPtr& index : table.Indexes()) {
        int slot = 0;
        if (!index->Primary()) {
            // Sub keys beyond the fifth are left out; a primary key listed after them is
            // still read.
            if (k > 5) {
                if (!excessShown)
                    platform::MsgBox(QString::fromUtf8(
                        "副キーは ５つまでしか作業できません。超えた分は無視します。"));
                excessShown = true;
                continue;
            }
            slot = k;
        }
        LoadedIndexName[static_cast<size_t>(slot)] = index->Name();
        LoadedIndexDup[static_cast<size_t>(slot)] = index->Unique() ? 0 : 1;
        int rank = 0;
        for (const engine::FieldPtr& member : index->Fields()) {
            if (++rank > 20) {
                platform::MsgBox(QString::fromUtf8("インデックスキーのフィールド数は "
                                                   "20までしか作業できません。超えたフィールドは"
                                                   "無視します。"));
                break;
            }
            const std::string letter =
                member->Attributes() == engine::dao::dbDescending ? "D" : "A";
            work.FindFirst("FLD02 = " + QuotedText(member->Name()));
            if (work.NoMatch()) {
                platform::MsgBox(Q("インデックス " + index->Name() + " のフィールド　" +
                                   member->Name() + " がありません。無視します。"));
                continue;
            }
            work.Edit();
            work.SetValue(
                KeyColumn(slot),
                engine::Variant(
                    FixWidth(engine::Variant::Integer(static_cast<int16_t>(rank)), "##") + letter));
            work.Update();
        }
        if (slot > 0) ++k;
    }
}

void frmTavorin::CopyAsLoadedValues(engine::Recordset& work) {
    work.MoveFirst();
    while (!work.Eof()) {
        work.Edit();
        work.SetValue("FLD13", engine::Variant(work.Value("FLD02")));
        work.SetValue("FLD14", engine::Variant(work.Value("FLD03")));
        work.SetValue("FLD15", engine::Variant(work.Value("FLD04")));
        work.SetValue("FLD16", engine::Variant(work.Value("FLD05")));
        work.Update();
        work.MoveNext();
    }
}

} // namespace tavorin
