// frmTavorin: the data import command. The import window takes the designer's place: the
// designer's databases close, the work folder goes, and the import window builds its own work
// store in it. Coming back, a new designer window starts afresh.
#include <QAction>

#include "frmTavorin.h"
#include "modules/FuncUtility.h"
#include "modules/WorkStore.h"

namespace tavorin {

void frmTavorin::mnCpy_Click() {
    Unloaded = true;
    // The windows it opened (version, reference tables) go first, with what they hold open.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isWindow()) child->close();
    CloseUserDatabase();
    App.Store.CloseWorkStore();
    if (!App.Store.WorkFolder.empty()) {
        int16_t errorMark = 0;
        RemoveFolderTree(App.Platform, App.Store.WorkFolder, errorMark);
    }
    // When the import window cannot start (its reason shown), the designer starts again.
    if (!App.Turns || (!App.Turns->ShowImport() && !App.Turns->ShowDesigner())) {
        App.Store.ReleaseWorkFolder();
        EndProgram();
        return;
    }
    close();
}

} // namespace tavorin
