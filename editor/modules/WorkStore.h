// The work store of the layout designer: the per-user work folder, held by its running
// instance, and the editor's work database with its recordset over WKTBL.
//
// The work folder lives under a per-user base folder (--workdir, else $TAVORIN_WORKDIR, else
// $XDG_STATE_HOME/tavorin, else ~/.local/state/tavorin). A running instance keeps a lock on
// its folder's lock file (an flock on "<base>/MdbTempDir.lock", kept beside the folder so that
// removing the folder never removes a lock someone holds). A start takes the first of
// MdbTempDir, MdbTempDir2, MdbTempDir3, ... whose lock is free: that folder, if it exists, is
// the left-over of an instance that is gone and is removed whatever it holds.
#pragma once

#include <memory>
#include <string>

#include "engine/database.h"
#include "engine/recordset.h"
#include "engine/workspace.h"
#include "platform/services.h"

namespace tavorin {

// An exclusive flock on a lock file, held until destruction.
class FolderLock {
    struct Private {};

  public:
    FolderLock(Private, int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    // nullptr when another open description holds the lock (a live instance); throws
    // engine::Error 75 when the lock file cannot be opened.
    static std::unique_ptr<FolderLock> TryAcquire(const std::string& lockPath);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    const std::string& Path() const { return path_; }

  private:
    int fd_;
    std::string path_;
};

// One run's work store: the folder it holds and the databases open in it. The designer and the
// import window take turns with the same store (and the same held folder).
class WorkStore {
  public:
    // ws: the workspace every database of the run is opened in.
    explicit WorkStore(engine::Workspace& ws) : Ws(&ws) {}

    engine::Workspace* const Ws;
    std::string ProgramFolder;   // folder of the executable, without a trailing separator
    std::string WorkFolder;      // this run's MdbTempDir
    std::string MeltFolder;      // archive extraction folder inside the work folder
    std::string WorkDbPath;      // FormatTemp1.MDB, the editor's work database
    std::string PrintDbPath;     // FormatTemp2.MDB, the print-all work database
    engine::DatabasePtr WorkDb;  // open for the whole run
    engine::RecordsetPtr WorkRs; // dynaset "SELECT * FROM WKTBL ORDER BY FLD01"

    // ---- Work folder ----

    // The base folder given on the command line (empty = none).
    void SetWorkBaseOverride(const std::string& folder) { baseOverride_ = folder; }
    // The per-user base folder, in the order above.
    std::string WorkBaseFolder() const;
    // Chooses this run's work folder under base and locks it; the same folder while the lock is
    // held. Creates base when missing. Returns the folder path (not yet created).
    std::string ClaimWorkFolder(const std::string& base);
    // Gives the work folder's lock up (after the folder was removed at the end of the run).
    void ReleaseWorkFolder();
    // Whether this store holds the lock of a work folder.
    bool HoldsWorkFolder() const { return held_.lock != nullptr; }

    // ---- Work database ----

    // The program folder and this run's work folder under base (claimed and
    // locked, the same folder while the lock is held), with the extraction folder's path.
    // Creates nothing.
    void TakeWorkFolder(const std::string& base);
    // Removes whatever the work folder holds (a left-over of a gone instance, or the other
    // window's work store) and creates it again, readable by its owner alone. A part that
    // cannot be removed is reported with platform's message box.
    void RenewWorkFolder(platform::Services& platform);
    // Steps of the start: the paths of the work store, a fresh work folder, FormatTemp1.MDB
    // created and opened with the editor recordset on it.
    void OpenWorkStore(platform::Services& platform, const std::string& base);
    // Closes the editor recordset and the work database.
    void CloseWorkStore();
    // Empties WKTBL and re-opens the editor recordset.
    void ClearWorkTable();

  private:
    struct HeldFolder {
        std::string base;
        std::string folder;
        std::unique_ptr<FolderLock> lock;
    };
    std::string baseOverride_;
    HeldFolder held_;
};

} // namespace tavorin
