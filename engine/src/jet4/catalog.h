// The system tables the Jet engine keeps in every file (MSysObjects, MSysACEs, MSysQueries,
// MSysRelationships), their definitions and rows, and the header page.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "jet4/format.h"
#include "jet4/table.h"

namespace engine::detail::jet4 {

// Page numbers of the system tables' definitions, where readers look for them.
constexpr uint32_t kObjectsPage = 2;
constexpr uint32_t kAcesPage = 3;
constexpr uint32_t kQueriesPage = 4;
constexpr uint32_t kRelationshipsPage = 5;
// MSysObjects' Id of the Tables container, the ParentId of every table.
constexpr int32_t kTablesContainerId = 0x0F000001;

struct UserTableEntry {
    std::string name;
    uint32_t tdefPage = 0;
    std::string properties; // MSysObjects.LvProp ("" for none)
};

// The system tables as the format's engine makes them (Jet 3: texts of 255 bytes, no
// MSysQueries.LvExtra).
Table ObjectsTable(const Format& format = kJet4Format);
Table AcesTable(const Format& format = kJet4Format);
Table QueriesTable(const Format& format = kJet4Format);
Table RelationshipsTable(const Format& format = kJet4Format);

// The rows of MSysObjects and MSysACEs for a file holding the given user tables, with the
// format's built-in accounts.
std::vector<std::vector<Variant>> ObjectRows(const std::vector<UserTableEntry>& tables, double now,
                                             const Format& format = kJet4Format);
std::vector<std::vector<Variant>> AceRows(const std::vector<UserTableEntry>& tables,
                                          const Format& format = kJet4Format);

// Page 0 (the masked header) and page 1 (the map of free pages) of a file of pageCount pages.
std::string HeaderPage(double created);
std::string GlobalMapPage(uint32_t pageCount);

} // namespace engine::detail::jet4
