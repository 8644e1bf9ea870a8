// The checks a native file passes before the engine takes it (engine/doc/format.md): a
// database file is untrusted input, whatever program wrote it.
#pragma once

#include <string>

namespace engine::detail {

// What the check found besides a sound catalog.
struct NativeFileFacts {
    // The file holds views, triggers, virtual tables or CHECK constraints, which the engine
    // never writes: another program put them there, and a trigger or check would run its own
    // SQL on every write. Such a file is opened read-only.
    bool foreignObjects = false;
};

// Checks on a short-lived connection of its own that the file holds our catalog: the six
// catalog tables, each an ordinary table, the format mark, no table entry naming a view or a
// virtual table, no more tables than Jet allows. 3343 with the reason otherwise, 3045 when
// another program holds the file locked. Being able to write (unless readOnly), it also rolls
// back what a commit that was cut off left half-written (SQLite does that on the first read),
// before the file joins the workspace's connection.
NativeFileFacts CheckNativeFile(const std::string& path, bool readOnly,
                                const std::string& shownName);

} // namespace engine::detail
