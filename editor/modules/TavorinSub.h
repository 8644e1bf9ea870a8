// Shared procedures and program-wide state of the layout designer: the type vocabulary, the
// value conversion used when data is carried into a new layout, the work database's creation,
// the toolbar's hover frame and the reporting of unexpected errors.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/copy_plan.h"
#include "engine/field.h"
#include "engine/property.h"
#include "engine/recordset.h"
#include "engine/variant.h"

class QFrame;
class QListWidget;
class QWidget;

namespace engine {
class Database;
}

namespace tavorin {

// ---- Type vocabulary ------------------------------------------------------------------------

// The pseudo type of an auto-number field (a Long with Attributes 17).
inline constexpr std::string_view kAutoNumberType = "(ｵｰﾄﾅﾝﾊﾞ-)";
inline constexpr int kTypeSlots = 31;

// Type names indexed by the DAO type code; slots without a name are empty.
extern std::array<std::string, kTypeSlots> TypeNames;

void FillTypeNames();
// The type code of name (case ignored); -1 for an empty or unknown name.
int16_t TypeCodeOf(std::string_view name);
// The position of name in the type drop-downs; -1 for an empty name, and the last position
// for a name that is not in the vocabulary.
int16_t TypeListIndexOf(std::string_view name);
// Sets size to the default size of type name; an unknown name leaves it unchanged.
void DefaultTypeSize(std::string_view name, int16_t& size);

// The type name a layout shows for a field: "(ｵｰﾄﾅﾝﾊﾞ-)" for an auto-number Long, else the name
// of its type code ("" for a type outside the vocabulary).
std::string FieldTypeName(const engine::Field& field);

// Names, tables and type names compare as the engine compares them: ignoring the case of the
// ASCII letters alone (engine/names.h).
bool SameText(std::string_view a, std::string_view b);

// The stored name of db's table whose name is name by SameText, or "" (also for no db).
std::string StoredTableName(engine::Database* db, std::string_view name);

// ---- Conversion table and value conversion ---------------------------------------------------

// FieldMap(entry, column), entries 1..999 of eight text columns: 1 entry number, 2 new field
// name, 3 new type name, 4 new size, 5 old field name, 6 old type name, 7 old size, 8 old repeat
// count. An index outside those ranges raises error 9.
class FieldMapTable {
  public:
    static constexpr int kEntries = 999;
    static constexpr int kColumns = 8;
    FieldMapTable();
    std::string& operator()(int entry, int column);
    const std::string& operator()(int entry, int column) const;
    void Clear();

  private:
    static size_t CellIndex(int entry, int column);
    std::vector<std::string> cells_;
};

extern FieldMapTable FieldMap;

// The conversion of the values of one FieldMap entry for the new layout, worked out once from
// the entry's type and size cells: a text cut to the new size in code page 932 bytes without
// splitting a double-byte character, a number or date converted to the new type, Null and the
// empty text made the empty text or zero. Apply throws the engine error of a value that does
// not convert.
using ValueConversion = engine::ValueConversion;
// The conversion between the layout's old and new type (type names, as FieldMap holds them)
// and size.
ValueConversion ConversionOf(const std::string& newType, const std::string& newSize, const std::string& oldType,
                             const std::string& oldSize);
// From the cells of FieldMap entry (error 9 for an entry outside the table).
ValueConversion ConversionForEntry(int16_t entry);

// ---- Work database ---------------------------------------------------------------------------

inline constexpr const char* kWorkTable = "WKTBL";
// What a work row holds of a field name (FLD02, FLD13) and of a field description (FLD12), in
// code page 932 bytes.
inline constexpr int kWorkNameBytes = 60;
inline constexpr int kWorkDescriptionBytes = 255;
inline constexpr const char* kWorkTableSql = "SELECT * FROM WKTBL ORDER BY FLD01";
inline constexpr const char* kClearWorkTableSql = "DELETE * FROM WKTBL";

// Creates a new work database at path (which must not exist) holding the empty layout table
// WKTBL with its sixteen columns and seven indexes. Engine errors propagate.
void CreateWorkDatabase(const std::string& path);

// ---- Current file, file dialog and table lists -----------------------------------------------

// The current database file (program-wide): folder with trailing separator, base name,
// extension with its dot, full path, and the folder the file dialog starts in.
struct CurrentFileState {
    std::string Folder;
    std::string BaseName;
    std::string Extension;
    std::string FullPath;
    std::string SavedPath;
    std::string LastFolder;
};
extern CurrentFileState CurrentFile;

// What the file dialog gives back: folder (with trailing separator), base name, extension
// (with its dot) and full path.
struct ChosenFile {
    std::string Folder;
    std::string BaseName;
    std::string Extension;
    std::string FullPath;
    bool Jet4 = false; // the save dialog's file type: a genuine Jet 4 file, not the program's own
};

// The file dialog: mode "G" opens, "W" saves; kind 0 takes .MDB files, kind 1 also .ZIP and
// .LZH. error is the dialog's error number when it was cancelled (chosen is then untouched),
// else 0. A refused name has been explained to the user: the work databases leave chosen as it
// was, a name of the wrong kind empties it. The dialog starts in CurrentFile.LastFolder, which
// follows every accepted choice.
void ChooseDatabaseFile(std::string_view mode, int16_t kind, const std::string& startName,
                        ChosenFile& chosen, int16_t& error);
// The save dialog of 「別名をつけてファイルの保存」: as ChooseDatabaseFile("W", 0, ...), with the
// file type to write (the program's own file, or a genuine Jet 4 file) in chosen.Jet4.
void ChooseSaveAsFile(const std::string& startName, ChosenFile& chosen, int16_t& error);

// The checks and the split ChooseDatabaseFile applies to the dialog's answer, for a name given
// some other way (the command line).
void TakeChosenName(const std::string& fullName, int16_t kind, ChosenFile& chosen);

// One table of a file's table list.
struct TableListEntry {
    std::string Name;
    std::string Description;
};

// Fills list with the user tables of the database at path (names beginning with "MSys" are
// skipped), one line each: the name padded with blanks to 30 code page 932 bytes (or followed
// by two blanks when it is that long already) and the table's description; tables receives
// the names and descriptions in the same order. A path where no file exists empties both.
// Engine errors opening the file propagate.
void LoadTableList(const std::string& path, QListWidget* list, std::vector<TableListEntry>& tables);

// The "Description" property of a table definition or a field; empty when it is missing or
// cannot be read.
std::string DescriptionOf(const engine::Properties& properties);

// ---- Criteria --------------------------------------------------------------------------------

// text as a Jet string literal: in apostrophes, an apostrophe inside doubled.
std::string QuotedText(std::string_view text);
// name as a Jet name in a statement: in brackets, a "]" inside doubled.
std::string Bracketed(std::string_view name);
// name as an SQLite identifier, for the statements the program builds itself: in double
// quotes, a '"' inside doubled.
std::string SqlQuoted(std::string_view name);

// ---- Defaults of the index settings (edited by the default-value window) -----------------------

extern std::array<std::string, 6> IndexDefaultName;
extern std::array<int16_t, 6> IndexDefaultDup;
// The data type a new row takes when none is chosen; empty = none.
extern std::string DefaultType;
void SetIndexDefaults();

// ---- Toolbar ---------------------------------------------------------------------------------

// A window with a toolbar of pictures Image1 and the four lines Line1 of its hover frame.
class ToolbarWindow {
  public:
    virtual ~ToolbarWindow() = default;
    virtual QWidget* ToolImage(int index) const = 0;
    virtual QFrame* ToolLine(int index) const = 0;
};

// Centres a top-level window on its screen (whole pixels, fractions dropped).
void CenterOnScreen(QWidget& window);

// Places the four lines of window as a rectangle just outside the edges of picture index and
// shows them.
void HighlightToolButton(ToolbarWindow& window, int index);
void HideToolFrame(ToolbarWindow& window);

// ---- Unexpected errors -------------------------------------------------------------------------

// Shows "Error; " & number & CR & description for an error that reached an event's boundary.
void ShowUnexpectedError(const std::exception& e);

// Runs an event handler; an error escaping it is shown and the program goes on.
template <class F> void Guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowUnexpectedError(e);
    }
}

} // namespace tavorin
