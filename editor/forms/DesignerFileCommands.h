// The designer window's commands on the current file as a whole (rename, delete, save a copy,
// release) and on the current table (rename, delete, cancel the edit), with the name request
// they make through frmRename.
#pragma once

#include <cstdint>
#include <string>

#include "DesignerKeyBoxes.h"
#include "core/LayoutSave.h"

namespace tavorin {

class DesignerFileCommands : public DesignerKeyBoxes {
  public:
    void mnFileRename_Click();
    void mnFileDel_Click();
    void mnFileCpy_Click();
    void mnFileFree_Click();
    void mnTableRename_Click();
    void mnTableDel_Click();
    void mnTableCancel_Click();

    // Opens frmRename for a name request (RequestRename or RequestSaveAs) and carries the
    // request out once the main window is active again.
    void RequestTableName(int16_t mode);
    // The main window is active again: a pending name request is examined and carried out.
    void Form_Activate();
    static constexpr int16_t RequestRename = -1;
    static constexpr int16_t RequestSaveAs = 0;
    // The pending name request: the flag (-1 while frmRename is open for it), the name it asks
    // for ("" when cancelled) and its mode.
    int16_t NameRequestPending = 0;
    std::string RequestedName;
    int16_t RequestMode = RequestRename;

    // Saves the layout over the current table (the save under a new name ends in it too).
    virtual void SaveTable() = 0;

  protected:
    using DesignerKeyBoxes::DesignerKeyBoxes;

    void ConnectFileCommands();
    void ConnectTableCommands();

    // What the commands leave to the window: the file and table it shows, and the save.
    virtual LayoutSave& Saving() = 0;
    virtual void OpenFileTables(const std::string& path) = 0;
    virtual void OpenUserDatabase() = 0;
    virtual void ReleaseFile() = 0;
    virtual void CloseUserDatabase() = 0;
    virtual void ReopenGridRecordset() = 0;
    virtual bool SettleLayoutBeforeLeaving() = 0;
    virtual void AskSaveChanges(int16_t& answer) = 0;
    virtual void mnTableSave_Click(int Index) = 0;

  private:
    // The work database and the grid's recordset are closed while a file operation runs.
    void CloseWorkStoreForFileOperation();
    void ReopenWorkStoreAfterFileOperation();
    void RefreshTableList();
    void CarryOutRename();
    void CarryOutSaveAs();
};

} // namespace tavorin
