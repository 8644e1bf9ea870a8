// The import's two work databases, one per side, and a table's structure loaded into its side's
// work rows: one row per field (FLD08 numbering them in field order), the primary key's members
// ranked in FLD01.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine {
class Recordset;
class Workspace;
} // namespace engine

namespace tavorin {

class UserPrompts;

// The target takes the records (side 0, "移入先"), the source gives them (side 1, "移入元").
enum class ImportSide { Target = 0, Source = 1 };

// A side's work rows in field order.
inline constexpr const char* kImportWorkSql = "SELECT * FROM WKTBL ORDER BY FLD08";
// The limits of a side's table.
inline constexpr int kImportMaxFields = 999;
inline constexpr int kImportMaxKeyFields = 20;

// Creates the side's work database at path (which must not exist) with its empty WKTBL: the
// target's rows hold key rank, name, type, size, the linked source field's name, type and size,
// and row number (FLD01..FLD08); the source's key rank, name, type, size, the link mark (FLD05)
// and row number (FLD08). Engine errors propagate.
void CreateImportWorkDatabase(engine::Workspace& ws, const std::string& path, ImportSide side);

// The target's primary key: its fields by rank and the index's name.
struct ImportKey {
    std::vector<std::string> fields;
    std::string index;
};

struct LoadedTable {
    int32_t fieldCount = 0; // work rows written
    bool failed = false;    // stopped at a limit, its message said
    bool readOnly = false;  // the table's file takes no change
    std::string refusal;    // why (the engine's words), when readOnly
    ImportKey key;          // the target's primary key (the source's is only ranked)
};

// Writes the structure of table in the file at path into work, the side's empty work rows, in
// one transaction of ws. Engine errors propagate.
LoadedTable LoadTableStructure(engine::Workspace& ws, const std::string& path,
                               const std::string& table, engine::Recordset& work, ImportSide side,
                               UserPrompts& prompts);

} // namespace tavorin
