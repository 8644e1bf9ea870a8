// Printing a table's layout as a ruled form (module TavorinSub).
//
// The form is laid out on a grid: columns of 144 twips (a tenth of an inch), lines of 240
// twips (six to the inch), the text of line n with its top at 240·n and the rule above it 40
// twips higher. Every page carries a header (date and page number, the box with file, table and
// remark); the first page of a table also the box of its six indexes; then the column headings
// and one block of lines per layout row. A page takes lines up to 61.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/recordset.h"

namespace tavorin {

// The page counter shared by all documents of one print command; every page header adds 1.
extern int16_t PageNo;

// Prints one table's layout on the current printer as one document (ended with EndDoc).
// rows: the work rows over WKTBL ordered by FLD01 (requeried first). fileName is the database
// file's base name (printed followed by ".MDB"). indexNames and duplicates: slot 0 the primary
// key, 1..5 the sub keys; duplicates 0 unique, 1 duplicates allowed, -1 none chosen.
void PrintLayout(engine::Recordset& rows, const std::string& fileName, const std::string& tableName,
                 const std::string& tableRemark, const std::array<std::string, 6>& indexNames,
                 const std::array<int16_t, 6>& duplicates);

// The date printed on the page headers, as an OLE date; today unless a test set a source.
double PrintDate();
using PrintDateSource = double (*)();
// Installs a source of the date (nullptr: today). Returns the previous one.
PrintDateSource SetPrintDateSource(PrintDateSource source);

} // namespace tavorin
