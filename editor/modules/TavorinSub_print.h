// Printing a table's layout as a ruled form (module TavorinSub): the pages the print model
// computes (core/PrintModel.h), drawn on the platform's current printer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "AppContext.h"
#include "core/PrintModel.h"
#include "engine/recordset.h"

namespace platform {
class Printer;
}

namespace tavorin {

// Draws pages on printer as one document: each page's texts and lines in order, each page
// ended with NewPage, the document with EndDoc.
void DrawPages(platform::Printer& printer, const std::vector<PrintedPage>& pages);

// Prints one table's layout on the current printer as one document (ended with EndDoc), its
// pages numbered on from the pages run has printed. rows: the work rows over WKTBL ordered by
// FLD01 (requeried first). fileName is the database file's base name (printed followed by
// ".MDB"). indexNames and duplicates: slot 0 the primary key, 1..5 the sub keys; duplicates 0
// unique, 1 duplicates allowed, -1 none chosen.
void PrintLayout(platform::Printer& printer, PrintRun& run, engine::Recordset& rows,
                 const std::string& fileName, const std::string& tableName,
                 const std::string& tableRemark, const std::array<std::string, 6>& indexNames,
                 const std::array<int16_t, 6>& duplicates);

// The date printed on the page headers, as an OLE date: app's source of it (a test's), else
// today.
double PrintDate(const AppContext& app);

} // namespace tavorin
