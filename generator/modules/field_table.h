// The table scan of the module generator: the fields of the chosen tables, one row each, with
// numbered field groups (Qty_01, Qty_02, ...) folded into one array row.
//
// Every column is text, as the generated module quotes them: the scan result is the input of
// BuildModuleText and is not interpreted further here.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {
class Database;
class Workspace;
} // namespace engine

namespace vespen {

struct FieldRow {
    // Table of the field; a row folded into an array head carries "!" in front of the name.
    std::string TableName;
    std::string FieldName;
    std::string TypeCode;    // the field's type code in decimal digits
    std::string Description; // "" when the field has no "Description" property
    // "00" for an ordinary field; the two digits after the final "_" of a numbered field; for
    // the head of a folded group the number of its last element.
    std::string RepeatNo;
    std::string Attributes; // decimal digits
    std::string AZL;        // "0": text or memo allowing zero length; "1" otherwise
    std::string NCK;        // "1" text and memo, "2" numbers, "0" every other type

    bool Folded() const { return !TableName.empty() && TableName.front() == '!'; }
};

using FieldTable = std::vector<FieldRow>;

// Receives each progress text as the scan reaches it.
using StatusFn = std::function<void(const std::string&)>;

inline constexpr const char* kStatusScanning = "対象となるTableを検索します。";
inline constexpr const char* kStatusFolding = "検索が終了しました。検索内容を調整します。（配列）";

// The tables of the database that a user may pick: every table whose name does not begin
// with "MSys" (compared exactly), in the engine's TableDefs order. Throws engine::Error.
std::vector<std::string> ListTables(engine::Workspace& ws, const std::string& databasePath);
std::vector<std::string> ListTables(engine::Database& db);

// "00", or the two digits of a name longer than three characters ending in "_" and two
// ASCII digits.
std::string RepeatNoOf(std::string_view fieldName);

// Folds every run of consecutive numbered fields that starts at "01" into its first row: the
// head's RepeatNo becomes the number of the last element and the later elements are marked
// with "!". An ordinary field between two elements, a gap in the numbering, another base name
// or another table ends a run.
void FoldArrays(FieldTable& rows);

// Scans the fields of the named tables (in the order given) of the database and folds the
// groups. Reports kStatusScanning and kStatusFolding. Throws engine::Error when the database
// or a table cannot be opened.
FieldTable ScanTables(engine::Workspace& ws, const std::string& databasePath,
                      const std::vector<std::string>& tables, const StatusFn& status = {});
// The same on a database the caller holds open.
FieldTable ScanTables(engine::Database& db, const std::vector<std::string>& tables,
                      const StatusFn& status = {});

// ASCII letters compared without case, as the engine compares names.
bool SameName(std::string_view a, std::string_view b);

// Leading and trailing ASCII blanks removed.
std::string TrimBlanks(std::string_view text);

} // namespace vespen
