// The state of one run of the layout designer, built by main() (or by a test) and handed to
// the windows: the platform's stand-ins, the work store, the current database file and the
// designer's defaults. Nothing of it
// is program-wide, so a test builds its own and a window's dependencies are in its constructor.
#pragma once

#include <string>

#include "WorkStore.h"
#include "core/DatabaseFiles.h"
#include "core/Defaults.h"
#include "platform/services.h"

namespace tavorin {

class WindowTurns;

// The current database file: folder with trailing separator, base name, extension with its
// dot, full path, and the folder the file dialog starts in.
struct CurrentFileState {
    std::string Folder;
    std::string BaseName;
    std::string Extension;
    std::string FullPath;
    std::string SavedPath;
    std::string LastFolder;
};

struct AppContext {
    // ws: the workspace every database of the run is opened in. The given doubles take the
    // place of the real stand-ins where they are set (a test's); the program gives none.
    explicit AppContext(engine::Workspace& ws, const platform::StandIns& doubles = {})
        : Platform(doubles), Store(ws) {}

    // The message boxes, file dialogs, printer, archiver, clipboard and shell of the run.
    platform::Services Platform;
    WorkStore Store;
    CurrentFileState CurrentFile;
    DesignerDefaults Defaults; // the option window's, set at the designer's start
    // The date the print commands put on their pages (an OLE date); today's when unset.
    double (*PrintDateSource)() = nullptr;
    // Who puts the designer or the import window up when one hands over to the other; none
    // when the windows were made by hand (a test without the turns).
    WindowTurns* Turns = nullptr;
    // Called as the file commands touch the disk: a test's, to watch them or make them fail;
    // the program leaves it empty.
    FileOperationHook FileHook;
};

// The program's window, the designer or the import window in its place (ProgramWindows).
class WindowTurns {
  public:
    virtual ~WindowTurns() = default;
    // Loads a fresh window and shows it; false when its start failed (the reason was shown).
    virtual bool ShowDesigner() = 0;
    virtual bool ShowImport() = 0;
};

} // namespace tavorin
