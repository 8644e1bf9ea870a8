// Genuine Jet (.mdb) files: recognised by their header and read through libmdb in a child
// process into a native copy, which the workspace then opens read-only.
//
// The child is the program tavorin-jetread, looked up in this order: the path in the
// environment variable TAVORIN_JETREAD; "tavorin-jetread" beside the running executable; in
// libexec/tavorin/ of the tree the running executable was installed into (bin/ beside it); for
// programs of the build tree, the path the build recorded (TAVORIN_JETREAD_PATH). It gets 10 s plus
// 1 s per MB of the file and is killed after that. Copies live in a folder of this process
// ("tavorin-jet-<pid>-<start time>" under $XDG_RUNTIME_DIR, $TMPDIR or /tmp), reused while the Jet
// file keeps its size and modification time, removed at exit; folders left by processes that no
// longer run are removed at the next conversion.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace engine::detail {

// True when the first bytes of a file carry a Jet or ACE signature.
bool HasJetSignature(std::string_view header);

// The path of a native, read-only copy of the Jet file at path, converting it first when no
// current copy exists. Throws 3343 naming the file when it cannot be read.
std::string NativeCopyOfJetFile(const std::string& path);

// The Jet file at path was changed by this process together with its copy at copyPath: the copy
// stays current for the file as it is now.
void NoteJetFileRewritten(const std::string& path, const std::string& copyPath);
// The copy at copyPath no longer matches its Jet file: the next open converts the file again.
void ForgetJetCopy(const std::string& copyPath);

// The folder holding this process's copies ("" before the first conversion).
std::string JetCopyFolder();

// Tests: the time a conversion may take (base plus perMegabyte for each started MB), and
// forgetting every cached copy so that the next open converts again.
void SetJetReadTimeLimit(std::chrono::milliseconds base, std::chrono::milliseconds perMegabyte);
void ForgetJetCopies();

} // namespace engine::detail
