// The text of the generated Visual Basic standard module, line by line: header, object
// declarations, one record type per table, read and write routines, and the two fixed helper
// routines that move values between a recordset and a record member.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "field_table.h"

namespace vespen {

// The seven names and prefixes that shape the module. An empty read or write prefix, workspace
// name, database prefix or recordset prefix leaves out the part of the module it names.
struct GeneratorOptions {
    std::string RecordPrefix = "r";
    std::string ReadPrefix = "Read_";
    std::string WritePrefix = "Write_";
    std::string Padding = "_"; // replaces each blank of a table or field name
    std::string WorkspaceName = "MYWS";
    std::string DatabasePrefix = "DB";
    std::string RecordsetPrefix = "RS";

    static constexpr size_t kCount = 7;
    // The options in the order of the options window (0 record prefix ... 6 recordset prefix).
    std::array<std::string*, kCount> Items() {
        return {&RecordPrefix,  &ReadPrefix,     &WritePrefix,    &Padding,
                &WorkspaceName, &DatabasePrefix, &RecordsetPrefix};
    }
    bool operator==(const GeneratorOptions&) const = default;
};

// One line of the module and what it was made from, so that a fault found when the text is
// saved can name its table and field. Both are empty for the fixed lines.
struct ModuleLine {
    std::string Text;
    std::string Table;
    std::string Field;
    bool operator==(const ModuleLine&) const = default;
};

using ModuleText = std::vector<ModuleLine>;

inline constexpr const char* kStatusTypes = "Type --- End Typeの生成。";
inline constexpr const char* kStatusRead = "Read Moduleの生成。";
inline constexpr const char* kStatusWrite = "Write Moduleの生成。";
inline constexpr const char* kStatusGenerated = "標準モジュールの生成が終了しました。";

// text with every ASCII blank replaced by padding. Each blank of the original text is replaced
// once, so a padding that itself holds blanks keeps them.
std::string PadBlanks(std::string_view text, std::string_view padding);

// The file name of the database path without its folder, cut before its first ".".
std::string DatabaseBaseName(std::string_view databasePath);

// The module for the scanned rows (folded rows skipped). Reports kStatusTypes, kStatusRead and
// kStatusWrite as each section starts (the last two only when built) and kStatusGenerated.
ModuleText BuildModuleText(const FieldTable& rows, const std::string& databasePath,
                           const GeneratorOptions& options, const StatusFn& status = {});

} // namespace vespen
