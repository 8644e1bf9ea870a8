// The reader's process: bounds on what a damaged file can make it consume, its end with the
// program that waits for it, and the settings of the scratch file it writes.
#pragma once

namespace jetread {

// No core dumps, a ceiling on memory (not under the address sanitizer, which reserves vast
// address space) and on the size of the file written, from the size of input.
void LimitSelf(const char* input);

// The reader ends with the program that waits for it, also when that program is killed.
// TAVORIN_JETREAD_PARENT names the parent the engine meant: when another process has become
// the parent already, the engine died before the signal was asked for.
void DieWithParent();

// Every connection this program opens works on a scratch file the parent renames only after a
// clean exit: no syncs, the journal in memory (still able to roll back a failed step). This
// covers the main file of each connection; the output attached to the workspace's connection
// gets the same settings in Convert.
void UseScratchFileSettings();

} // namespace jetread
