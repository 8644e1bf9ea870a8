// The import window's menus: open a side's file, back to the designer or end, the link
// commands, the four runs, help. The link and run commands are enabled while both sides hold a
// table.
#pragma once

#include <array>

class QAction;
class QMenu;
class QMenuBar;

namespace tavorin {

struct ImportMenus {
    std::array<QAction*, 3> mnCpyFolder{}; // 1 target, 2 source
    QAction* mnCpyCancel = nullptr;
    QAction* mnEnd = nullptr;
    QAction* mnCpyJoint = nullptr;
    QAction* mnCpyJointNo = nullptr;
    QAction* mnCpyJointCan = nullptr;
    QAction* mnCpyJointCanAll = nullptr;
    QAction* mnCpyDel = nullptr;
    std::array<QAction*, 4> mnCpyUpd1{}; // 1..3
    QAction* mnCpyHELP = nullptr;

    void BuildMenus(QMenuBar& bar);
    void EnableImportMenus(bool on);
};

} // namespace tavorin
