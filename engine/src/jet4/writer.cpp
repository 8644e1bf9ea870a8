#include "engine/jet4_writer.h"

#include "engine/database.h"
#include "jet4/catalog.h"
#include "jet4/page_file.h"
#include "jet4/table_source.h"

namespace engine {

using namespace detail::jet4;

void WriteJet4(Database& source, const std::string& path) {
    PageFile file(path);
    for (int i = 0; i < 6; ++i) file.Allocate(); // header, free-page map, the system tables
    double now = OleNow();

    std::vector<UserTableEntry> written;
    for (const auto& name : source.TableDefs().Names())
        written.push_back(WriteSourceTable(file, source, name, file.Allocate()));

    auto objects = ObjectRows(written, now);
    auto aces = AceRows(written);
    std::vector<std::vector<Variant>> none;
    WriteTable(file, ObjectsTable(), kObjectsPage, RowsOf(objects));
    WriteTable(file, AcesTable(), kAcesPage, RowsOf(aces));
    WriteTable(file, QueriesTable(), kQueriesPage, RowsOf(none));
    WriteTable(file, RelationshipsTable(), kRelationshipsPage, RowsOf(none));
    file.Write(0, HeaderPage(now));
    file.Write(1, GlobalMapPage(file.PageCount()));
    file.Commit();
}

} // namespace engine
