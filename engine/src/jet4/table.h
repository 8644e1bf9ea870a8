// A table as the Jet 4 writer lays it out: columns with their storage places, the physical
// (real) indexes and the named (logical) ones over them. The same description serves the
// system tables and the user tables.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"

namespace engine::detail::jet4 {

// Column type codes of the format.
enum ColumnType : uint8_t {
    kBool = 1,
    kByte = 2,
    kInt = 3,
    kLong = 4,
    kMoney = 5,
    kFloat = 6,
    kDouble = 7,
    kDate = 8,
    kBinary = 9,
    kText = 10,
    kOle = 11,
    kMemo = 12,
    kGuid = 15,
};

// Column flags.
constexpr uint8_t kFlagFixed = 0x01;
constexpr uint8_t kFlagNullable = 0x02;
constexpr uint8_t kFlagAutoLong = 0x04;
constexpr uint8_t kFlagAutoGuid = 0x40;
constexpr uint8_t kFlagSystem = 0x10;

// Index flags; a real index always carries 0x80.
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;
constexpr uint8_t kIndexAlways = 0x80;

struct Column {
    std::string name;
    uint8_t type = 0;
    uint8_t flags = kFlagNullable;
    uint16_t length = 0; // bytes in a row (text: two per character; long values 0)
    // Set by LayOut.
    uint16_t number = 0;
    bool variable = false;
    uint16_t varIndex = 0;
    uint16_t fixedOffset = 0;
};

struct IndexColumn {
    uint16_t column = 0; // position in Table::columns
    bool descending = false;
};

struct RealIndex {
    std::vector<IndexColumn> columns;
    uint8_t flags = kIndexAlways;
};

struct LogicalIndex {
    std::string name;
    uint32_t real = 0;
    bool primary = false;
};

struct Table {
    std::string name;
    bool system = false;
    std::vector<Column> columns;
    std::vector<RealIndex> realIndexes;
    std::vector<LogicalIndex> indexes;
    uint32_t lastAutoNumber = 0;
};

// Numbers the columns in order and gives each its place in a row.
void LayOut(Table& table);

// Points row's entries at the next record's values (one per column), which stay valid until the
// next call; false at the end. Pointing, not copying, spares a copy of every text.
using RowSource = std::function<bool(std::vector<const Variant*>& row)>;

class PageFile;
struct DefinitionParts;

// Jet 4's table definition (the format description's definition).
std::string Jet4Definition(const Table& table, const DefinitionParts& parts);

// What a table's definition refers to, once its records, indexes and usage maps are written.
struct TableContent {
    uint32_t rows = 0;
    size_t varCount = 0;
    // Usage-map references (row in the low byte, page above): the records' pages, the records'
    // pages with free space, one per real index, then two per long-value column in column order.
    std::vector<uint32_t> maps;
    struct Index {
        uint32_t root = 0;
        uint32_t distinctKeys = 0;
    };
    std::vector<Index> indexes; // by real index
};

// Writes the table's records, long values, indexes and usage maps (pages owned by tdefPage),
// not its definition.
TableContent WriteTableContent(PageFile& file, const Table& table, uint32_t tdefPage,
                               const RowSource& rows);
// Writes the definition of a table whose content is written, at tdefPage (a page the caller
// allocated; continuation pages are allocated as needed).
void WriteDefinition(PageFile& file, const Table& table, uint32_t tdefPage,
                     const TableContent& content);
// Both of the above. Returns the number of records written.
uint32_t WriteTable(PageFile& file, const Table& table, uint32_t tdefPage, const RowSource& rows);

// UTF-8 to UTF-16 code units; a malformed sequence fails the write.
std::u16string ToUtf16(const std::string& utf8, const std::string& what);
// Appends UTF-8 text as UTF-16LE bytes; a malformed sequence fails the write naming what.
void AppendUtf16Le(std::string_view utf8, const std::string& what, std::string& out);
// UTF-16LE bytes of text.
std::string Utf16LeBytes(const std::u16string& text);

} // namespace engine::detail::jet4
