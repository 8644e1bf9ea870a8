#include "engine/jet4_writer.h"

#include "engine/database.h"
#include "jet4/catalog.h"
#include "jet4/page_file.h"
#include "jet4/table_source.h"
#include "jet4/writer.h"

namespace engine {

namespace detail::jet4 {

void WriteDatabase(Database& source, const std::string& path, const Format& fmt) {
    PageFile file(path, fmt);
    for (int i = 0; i < 6; ++i) file.Allocate(); // header, free-page map, the system tables
    double now = OleNow();

    std::vector<UserTableEntry> written;
    for (const auto& name : source.TableDefs().Names())
        written.push_back(WriteSourceTable(file, source, name, file.Allocate()));

    auto objects = ObjectRows(written, now, fmt);
    auto aces = AceRows(written, fmt);
    std::vector<std::vector<Variant>> none;
    WriteTable(file, ObjectsTable(fmt), kObjectsPage, RowsOf(objects));
    WriteTable(file, AcesTable(fmt), kAcesPage, RowsOf(aces));
    WriteTable(file, QueriesTable(fmt), kQueriesPage, RowsOf(none));
    WriteTable(file, RelationshipsTable(fmt), kRelationshipsPage, RowsOf(none));
    file.Write(0, fmt.headerPage(now));
    file.Write(1, fmt.globalMapPage(file.PageCount()));
    file.Commit();
}

} // namespace detail::jet4

void WriteJet4(Database& source, const std::string& path) {
    detail::jet4::WriteDatabase(source, path, detail::jet4::kJet4Format);
}

} // namespace engine
