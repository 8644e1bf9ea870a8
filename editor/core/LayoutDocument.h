// The layout document of the designer: the layout being edited, apart from any window.
//
// The rows of the layout live in the work table WKTBL of the work database (one row per field
// or numbered group: FLD01 row number, FLD02..FLD05 name, type, size and repeat count,
// FLD06..FLD11 the six key entries, FLD12 the description, FLD13..FLD16 the values as loaded
// from the stored table). The document reads and writes them one at a time through RowBuffer,
// keeps the row in edit (CurRow), the one-row clipboard of line editing, the as-loaded index
// settings, the layout-changed flag and the key tables the whole-layout validation fills.
//
// The document does not own the work database or its recordset: it refers to the handles the
// work store keeps, which may be re-opened (emptying WKTBL does) while the document lives.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/database.h"
#include "engine/recordset.h"

namespace engine {
class TableDef;
class Workspace;
} // namespace engine

namespace tavorin {

class UserPrompts;
struct FieldLine;

// One row of WKTBL as the grid holds it.
struct RowBufferType {
    int32_t RowNo = 0;
    std::string Name;
    std::string TypeName;
    int16_t Size = 0;
    std::string Repeat;
    std::array<std::string, 6> Keys;
    std::string Description;
    std::string LoadedName;
    std::string LoadedType;
    int16_t LoadedSize = 0;
    std::string LoadedRepeat;
    int16_t Exists = 0;
};

// The index settings of a layout: slot 0 the primary key, 1..5 sub keys 1..5; Dup 0 unique,
// 1 duplicates allowed, -1 not chosen.
struct IndexSettings {
    std::array<std::string, 6> Name{};
    std::array<int16_t, 6> Dup{-1, -1, -1, -1, -1, -1};
};

struct DesignerDefaults;

class LayoutDocument {
  public:
    // Modes of LineEditMode and LastLineEdit.
    enum LineEdit : int16_t {
        kLineCut = 1,
        kLineCopy,
        kLinePaste,
        kLineDelete,
        kLineInsert,
        kLineMove
    };

    // ws is the workspace of the work database (its transactions are the document's);
    // defaults (the run's, which outlive the document) fill the index settings a layout leaves
    // empty.
    LayoutDocument(engine::Workspace& ws, engine::DatabasePtr& workDb, engine::RecordsetPtr& rows,
                   const DesignerDefaults& defaults);

    // ---- The rows ----
    // "GET", "PUT", "DEL", "SAV", "STR" (case ignored) on the row CurRow. True when LastRow was
    // examined afresh (a row past the last was written, or the last row was deleted): a view
    // then shows the new range of rows.
    bool RowBufferOp(std::string_view command);
    // Whether the work table holds the row numbered row.
    bool RowExists(int32_t row);
    // The row numbered row, when the work table holds it (the recordset is left on it).
    std::optional<RowBufferType> RowAt(int32_t row);

    // ---- Line editing ----
    struct LineEditOutcome {
        bool ran = false;             // the command acted on the layout
        bool rowRangeChanged = false; // LastRow changed: a view shows the new range of rows
    };
    // Whether mode can run on the row in edit (a moved row waits on the clipboard until it is
    // pasted, and nothing is pasted before something was cut, copied or moved).
    bool LineEditAllowed(int16_t mode);
    // Runs LineEditMode on the row in edit, when it is allowed; the layout counts as changed.
    LineEditOutcome RunLineEdit();
    // Every row from CurRow on moves down by one, all of them or none; false when the work
    // table is empty (nothing moved).
    bool InsertEmptyRow();
    // Appends one row per line after the last row (fields copied from another table: no key
    // entries, nothing as loaded), all of them or none; returns the number after the last row
    // appended.
    int32_t AppendFieldRows(const std::vector<FieldLine>& lines);

    // ---- Loading ----
    // Loads table's definition into the work rows of work (WKTBL of the editor or of printing),
    // which must be empty: one row per field or numbered group, the indexes in the key columns,
    // LoadedIndexName/LoadedIndexDup, and the as-loaded copies FLD13..16. All rows or none (the
    // engine's error propagates); what is left out (sub keys past the fifth, key members past
    // the twentieth, members that are no field) is said through prompts.
    void ReadTableDefinitionOf(engine::TableDef& table, engine::Recordset& work, int32_t& rowCount,
                               UserPrompts& prompts);

    // ---- Validation ----
    // Checks the whole layout in WKTBL, normalising the rows in place and filling the key
    // tables; the index settings of the keys in use take the defaults where they are missing.
    // ErrorCode 0 accepted, 9 row ErrorRow at fault (0 when there are no rows), 1..6 the index
    // settings of that key. Each fault's message goes through prompts.
    void ValidateLayout(IndexSettings& settings, UserPrompts& prompts, int16_t& ErrorCode,
                        int32_t& ErrorRow);

    // ---- Saving ----
    // The table a save builds from the layout last validated (ValidateLayout filled the key
    // tables), not yet appended to db: a field per row or per member of a numbered group, and
    // an index per key in use, named and unique as settings say (the primary key always
    // unique).
    engine::TableDefPtr DefineBuildTable(engine::Database& db, const std::string& buildName,
                                         const IndexSettings& settings);

    // The document of no table: no rows in use, nothing in edit, nothing changed.
    void ResetLayout();

    // ---- State ----
    int16_t LayoutChanged = 0; // 0 unchanged, 9 the work table differs from the saved layout
    std::string CurrentTable;
    std::string TableDesc;
    int32_t TopRow = 1; // the first row the grid shows
    int32_t LastRow = 0;
    int32_t CurRow = 0;
    RowBufferType RowBuffer;
    RowBufferType ClipRow; // the one-row clipboard of line editing
    // Index settings of the table last read: an empty name means no index in that slot.
    std::array<std::string, 6> LoadedIndexName{};
    std::array<int16_t, 6> LoadedIndexDup{};
    int16_t LineEditMode = 0;
    int16_t LastLineEdit = 0;
    // Key tables of the last whole-layout validation: keys 1 (primary) to 6 (sub key 5),
    // ranks 1 to 20 (index 0 unused).
    std::array<int16_t, 7> KeyUsed{};
    std::array<std::array<std::string, 7>, 21> KeyFieldName{};
    std::array<std::array<std::string, 7>, 21> KeySortKind{};

  protected:
    engine::Recordset& Rows() { return *rows_; }
    engine::Database& WorkDatabase() { return *workDb_; }

  private:
    void ClearKeyTables();
    void FoldFieldsIntoRows(engine::TableDef& table, engine::Recordset& work, int32_t& rowCount);
    void MapIndexesOntoKeys(engine::TableDef& table, engine::Recordset& work, UserPrompts& prompts);
    void CopyAsLoadedValues(engine::Recordset& work);
    engine::Workspace& ws_;
    engine::DatabasePtr& workDb_;
    engine::RecordsetPtr& rows_;
    const DesignerDefaults& defaults_;
};

} // namespace tavorin
