// Shared procedures and program-wide state of the layout designer's windows: the current file,
// the file dialog and table lists, the toolbar's hover frame and the reporting of unexpected
// errors. The rules of the layout itself live in the core (core/).
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "AppContext.h"
#include "core/Criteria.h"
#include "core/Defaults.h"
#include "core/FieldLines.h"
#include "core/FieldMap.h"
#include "core/StoredFile.h"
#include "core/TypeVocabulary.h"
#include "core/WorkTable.h"
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

// ---- File dialog and table lists -------------------------------------------------------------

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
// was, a name of the wrong kind empties it. The work databases are app's; the dialog starts in
// app.CurrentFile.LastFolder, which follows every accepted choice.
void ChooseDatabaseFile(AppContext& app, std::string_view mode, int16_t kind,
                        const std::string& startName, ChosenFile& chosen, int16_t& error);
// The save dialog of 「別名をつけてファイルの保存」: as ChooseDatabaseFile("W", 0, ...), with the
// file type to write (the program's own file, or a genuine Jet 4 file) in chosen.Jet4.
void ChooseSaveAsFile(AppContext& app, const std::string& startName, ChosenFile& chosen,
                      int16_t& error);

// The checks and the split ChooseDatabaseFile applies to the dialog's answer, for a name given
// some other way (the command line).
void TakeChosenName(AppContext& app, const std::string& fullName, int16_t kind, ChosenFile& chosen);

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
void LoadTableList(engine::Workspace& ws, const std::string& path, QListWidget* list,
                   std::vector<TableListEntry>& tables);

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
void ShowUnexpectedError(platform::Services& platform, const std::exception& e);

// Runs an event handler; an error escaping it is shown and the program goes on.
template <class F> void Guarded(platform::Services& platform, F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowUnexpectedError(platform, e);
    }
}

} // namespace tavorin
