// The designer window's menus and toolbar commands, and their menu states.
//
// Commands whose procedures are not part of the program yet keep the menu state the menu
// routines give them (MenuState) but stay disabled on screen until their window or procedure
// exists (MarkCommandAvailable).
#pragma once

#include <array>
#include <cstdint>
#include <set>

#include "DesignerControls.h"

class QAction;
class QMenu;

namespace tavorin {

class DesignerMenus : public DesignerControls {
  public:
    // Sets a command's menu state; on screen it is enabled only once it can run.
    void Enable(QAction* command, bool on);
    // The state the menu routines gave a command, whether or not it can run yet.
    bool MenuState(const QAction* command) const;
    // Lets a command's own state show once its procedure is connected.
    void MarkCommandAvailable(QAction* command);

    void SetFileMenus(int16_t state);
    void SetTableMenus(int16_t state);

    // The toolbar: each picture runs its menu command while that command is enabled.
    void Image1_Click(int index);
    void Image1_MouseMove(int index);
    void Image1_MouseDown(int index);
    void Image1_MouseUp(int index);

    QMenu* mnFile = nullptr;
    QMenu* mnTable = nullptr;
    QMenu* mnLineEdit = nullptr;
    QMenu* mnOptions = nullptr;
    QMenu* mnData = nullptr;
    QMenu* mnHelpMenu = nullptr;
    QAction* mnFileFolder = nullptr;
    QAction* mnFileRename = nullptr;
    QAction* mnFileDel = nullptr;
    QAction* mnFileCpy = nullptr;
    QAction* mnTablePrintAll = nullptr;
    QAction* mnFileFree = nullptr;
    QAction* mnEnd = nullptr;
    QAction* mnTableRef = nullptr;
    QAction* mnTableDel = nullptr;
    QAction* mnTableRename = nullptr;
    QAction* mnTablePrint = nullptr;
    QAction* mnTableCancel = nullptr;
    std::array<QAction*, 2> mnTableSave{};
    QAction* mnLineCut = nullptr;
    QAction* mnLineCopy = nullptr;
    QAction* mnLinePast = nullptr;
    QAction* mnLineDel = nullptr;
    QAction* mnLineInsert = nullptr;
    QAction* mnLineMove = nullptr;
    QAction* mnFieldSeach = nullptr;
    QAction* mnFieldReplace = nullptr;
    QAction* mnOption = nullptr;
    QAction* mnCpy = nullptr;
    QAction* mnHelp = nullptr;
    QAction* mnAbout = nullptr;
    QAction* mnConvCheck = nullptr;

  protected:
    using DesignerControls::DesignerControls;

    void BuildMenus();
    QAction* AddCommand(QMenu* menu, const char* objectName, const char* caption);
    void SetUpToolbar();
    void SetStartMenus();
    // The six line commands as the row in edit allows them.
    void SetLineEditMenus();

  private:
    std::set<const QAction*> available_;
};

} // namespace tavorin
