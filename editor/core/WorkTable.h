// The work table WKTBL that holds the rows of the layout being edited (LayoutDocument.h), and
// the work database it lives in.
#pragma once

#include <string>

namespace engine {
class Workspace;
}

namespace tavorin {

inline constexpr const char* kWorkTable = "WKTBL";
// What a work row holds of a field name (FLD02, FLD13) and of a field description (FLD12), in
// code page 932 bytes.
inline constexpr int kWorkNameBytes = 60;
inline constexpr int kWorkDescriptionBytes = 255;
inline constexpr const char* kWorkTableSql = "SELECT * FROM WKTBL ORDER BY FLD01";
inline constexpr const char* kClearWorkTableSql = "DELETE * FROM WKTBL";

// Creates in ws a new work database at path (which must not exist) holding the empty layout table
// WKTBL with its sixteen columns and seven indexes. Engine errors propagate.
void CreateWorkDatabase(engine::Workspace& ws, const std::string& path);

} // namespace tavorin
