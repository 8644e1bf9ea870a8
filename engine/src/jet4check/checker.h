// A checker of Jet 4 and Jet 3 files (the same checks over each version's layout), written apart
// from the writer so that it does not share the writer's mistakes: it reads the pages itself and
// reports every inconsistency it finds.
//
// Checked: page kinds and owners (each page owned once), the usage maps of every table, index
// and long-value column against the pages that carry their owner, the global map against the
// pages in use, row geometry (offsets, column counts, variable-column offsets, null masks),
// long-value references and chains, every index tree (page kinds, order of entries within and
// across pages, links both ways, node entries equal to their child's last entry, every record
// indexed once, IgnoreNulls), every index's leaf entries equal to the keys computed from the
// table's records (stored_keys.h, text in the General order), unique indexes without duplicate
// keys, row counts, and the catalog (a MSysObjects row and permissions for every table definition).
// Leaked pages and permissions are warnings, not problems.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine::detail::jet4check {

struct Report {
    std::vector<std::string> problems;
    // What no reader sees but a clean file would not hold: pages marked as used that nothing
    // owns, permissions of an object that does not exist (what an interrupted change leaves).
    std::vector<std::string> warnings;
    bool Ok() const { return problems.empty(); }
    std::string Text() const;
};

// Each reports a file of the other version as a problem.
Report CheckJet4File(const std::string& path);
Report CheckJet3File(const std::string& path);

// The leaf entries of one physical index of a table, keys without their record pointers, in
// index order: for comparing the keys of two files.
struct IndexKeys {
    std::string table;
    std::string signature; // the indexed columns by name, "-" before a descending one
    uint8_t flags = 0;
    bool foreignKeyOnly = false; // backs only relationships' indexes
    std::vector<std::string> keys;
};

// Throws std::runtime_error when the file cannot be read as a Jet 3 or Jet 4 file.
std::vector<IndexKeys> ReadIndexKeys(const std::string& path);

} // namespace engine::detail::jet4check
