// Moving, copying and deleting a user's database file on disk.
//
// A native database file may have a rollback journal beside it ("<file>-journal"): after a
// commit that was cut off it holds the pages that undo the half-written change, and the file is
// only sound together with it. So before a file is moved, copied or deleted, a journal found
// beside it is settled (the engine opens the file once, which plays a live journal back) and a
// journal that is still there afterwards goes wherever the file goes. A journal left beside a
// target name by some other file would be played back into the file moved there, so such a
// target counts as taken.
//
// None of these functions touches a file the engine still holds (Workspace::IsFileOpen) or
// another program is in the middle of changing (Workspace::RefuseFileBeingChanged): that is
// refused with 3045. Failures throw engine::Error with a host error number (53 not found,
// 58 exists, 61 disk full, 70 not writable, 75 other), a Japanese description with the path
// and the system's own reason as the detail; the source is then as it was and no partial target is
// left.
#pragma once

#include <functional>
#include <string>

#include "core/StoredFile.h"
#include "engine/workspace.h"

namespace tavorin {

enum class FileOperation { Move, Copy, Delete };

// Called at the moment a file operation touches the disk (after every check), with the source
// and the target ("" for a delete). A non-zero errno makes the operation fail with it as if
// the system had refused it. For tests only; the program passes an empty one.
using FileOperationHook =
    std::function<int(FileOperation operation, const std::string& from, const std::string& to)>;

// The operations below refuse the files ws holds, and call hook (when set) as they touch the
// disk.

// True when a file, or a journal left by one, exists at path.
bool DatabaseNameTaken(const std::string& path);

// Gives the file at from the name to (with its journal). A rename where the file system
// allows it, else a copy that is complete on disk before the source is removed. 58 when
// anything exists at to.
void MoveDatabaseFile(engine::Workspace& ws, const FileOperationHook& hook, const std::string& from,
                      const std::string& to);

// Writes a copy of the file at from (with its journal) to the new file to, complete on disk
// when this returns. 58 when anything exists at to.
void CopyDatabaseFile(engine::Workspace& ws, const FileOperationHook& hook, const std::string& from,
                      const std::string& to);

// Deletes the file at path and its journal.
void DeleteDatabaseFile(engine::Workspace& ws, const FileOperationHook& hook,
                        const std::string& path);

} // namespace tavorin
