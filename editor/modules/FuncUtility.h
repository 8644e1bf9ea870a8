// The removal of a folder tree and the extraction of archives; the text helpers that count
// code page 932 bytes live in the core (core/TextRules.h).
#pragma once

#include <cstdint>
#include <string>

#include "core/TextRules.h"
#include "platform/services.h"

namespace tavorin {

// Deletes folder with all its files and subfolders, the deepest first subfolder first and the
// root last. A folder that does not exist is no error. On a failure the message (shown with
// platform's message box)
// "Error-" & Str(number) & CR & description is shown and errorMark is 9.
// Symbolic links are removed as links; the tree they point into is never entered.
void RemoveFolderTree(platform::Services& platform, const std::string& folder, int16_t& errorMark);

// Deletes the files of folder, then the folder itself (which must have no subfolders left).
void RemoveFolderFiles(platform::Services& platform, const std::string& folder, int16_t& errorMark);

// Extracts the LZH or ZIP archive at archivePath (told by the last three characters of the
// path, letter case ignored) with platform's archiver into destination, a folder path ending in a
// separator. errorMark is 9 when the archive is of another kind, the library is missing (after
// the message "該当するDLLがありません。"), the archive is not valid or its extraction failed;
// else 0 with fileCount the number of files in the archive.
void ExtractArchive(platform::Services& platform, const std::string& archivePath,
                    const std::string& destination, int32_t& fileCount, int16_t& errorMark);

} // namespace tavorin
