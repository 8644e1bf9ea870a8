// What a writer needs to know of one version of the file format: page size, where the data
// and index pages keep their fields, and the parts laid out differently enough to be code of
// their own (text bytes, a record's variable-column table, a table definition, text keys).
// The Jet 4 pieces (page file, tables, usage maps, properties) take their layout from here, so
// that a Jet 3 file is written by the same code with the Jet 3 description (jet3/format.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine::detail::jet4 {

struct Table;
struct MapPlace;

// What a table's definition is built from, besides the table itself.
struct DefinitionParts {
    uint32_t rowCount = 0;
    size_t varCount = 0;
    std::vector<MapPlace> const* places =
        nullptr;                        // records, free space, indexes, then two per long column
    std::vector<uint32_t> roots;        // root page of each real index
    std::vector<uint32_t> distinctKeys; // of each real index
};

struct Format {
    const char* name; // "Jet 3", "Jet 4": for messages
    uint8_t version;  // the header's version byte
    size_t pageSize;
    uint64_t maxFileBytes;

    // Data pages: the row count and the first row offset slot.
    size_t rowCountAt;
    size_t rowsStart;
    size_t maxRow;           // the longest record a data page takes
    size_t maxLongRow;       // one row of a long-value page
    size_t columnCountBytes; // a record's leading column count

    size_t mapRowBytes; // a usage map row: type byte, start page, bitmap

    // Index pages.
    size_t indexPrevAt; // previous, next and tail pages follow, 4 bytes each
    size_t entryMaskAt;
    size_t entriesAt;

    const char* tdefMark; // bytes 2-3 of every definition page instead of its free space (or none)
    const char* propertiesMagic; // the first four bytes of a properties blob

    // Appends text (UTF-8) as the file stores it; fails naming what when it cannot.
    void (*appendText)(std::string_view utf8, const std::string& what, std::string& out);
    // Appends the end-of-data offset, the variable columns' offsets and their count to a record
    // whose variable data ends at row.size(); maskBytes is the null mask's length to follow.
    void (*appendVarTable)(std::string& row, const std::vector<uint16_t>& offsets,
                           size_t maskBytes);
    // The table definition's bytes (before it is split over pages).
    std::string (*definition)(const Table& table, const DefinitionParts& parts);
    // Appends a text's key bytes after the entry's flag byte.
    void (*appendTextKey)(std::string_view utf8, bool ascending, std::string& out);
    // Page 0 (the header) for a file created at the given date, and page 1 (the map of free
    // pages) of a file of pageCount pages.
    std::string (*headerPage)(double created);
    std::string (*globalMapPage)(uint32_t pageCount);
};

extern const Format kJet4Format;

} // namespace engine::detail::jet4
