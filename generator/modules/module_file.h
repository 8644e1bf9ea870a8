// Saving a generated module as a .bas file: an "Attribute VB_Name" line naming the module,
// then the module's lines, each ending in CR LF, in code page 932.
//
// The file is written whole under a temporary name beside the target and then renamed over
// it, so the target is either the old file or the complete new one, never a partial write.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "module_text.h"

namespace vespen {

// A module that cannot be saved; the message is the one shown to the user.
class SaveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "shop.bas" for a database /data/shop.old.mdb.
std::string ProposedModuleFileName(std::string_view databasePath);

// The file name of the target without its folder, cut before its first "."; the whole file
// name when it has no ".".
std::string ModuleNameOf(std::string_view targetPath);

// The bytes of the file. Throws SaveError naming the table and field (or the line) of the
// first character code page 932 cannot encode.
std::string EncodeModule(const std::string& moduleName, const ModuleText& lines);

// Replaces the file at path with bytes. Throws SaveError with the file name and the system's
// reason; the target is then untouched and no temporary file is left.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

// Encodes and writes the module under the module name of the target path.
void SaveModuleFile(const std::string& targetPath, const ModuleText& lines);

} // namespace vespen
