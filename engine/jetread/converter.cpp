#include "jetread/converter.h"

#include <sqlite3.h>
#include <strings.h>

#include <algorithm>

#include "engine/error.h"
#include "engine/workspace.h"
#include "jetread/indexes.h"
#include "jetread/jet_file.h"
#include "jetread/tables.h"
#include "jetread/values.h"
#include "model/object_access.h"
#include "storage/connection.h"

namespace jetread {
namespace {

void CopyTable(JetFile& file, engine::detail::Connection& conn, MdbCatalogEntry* entry,
               const std::string& name) {
    JetTable table = ReadTable(file, entry, name);
    std::vector<IndexInfo> indexes = ReadIndexes(file, table, name);

    conn.CreateTable(table.info);
    int64_t lastAuto = CopyRows(file, conn, table, name);
    for (const auto& ix : indexes) conn.CreateIndex(name, ix);
    for (const auto& c : table.columns) {
        if (c.def.type == MDB_LONGINT && (c.def.flags & jet::kColumnAutoLong)) {
            conn.NoteAutoNumber(name, std::max<int64_t>(lastAuto, table.tdef.nextAutoNumber));
            break;
        }
    }
}

} // namespace

void Convert(const std::string& input, const std::string& output) {
    std::unique_ptr<JetFile> file = OpenJetFile(input);
    engine::Workspace ws;
    engine::DatabasePtr db = ws.CreateDatabase(output, file->Locale());
    engine::detail::Connection& conn = *engine::detail::ObjectAccess::Conn(*db);
    // The settings of FastScratchFile, for the output's schema on the shared connection.
    const std::string schema = engine::detail::QuoteIdent(conn.Schema());
    sqlite3_exec(
        conn.Db(),
        ("PRAGMA " + schema + ".synchronous = OFF; PRAGMA " + schema + ".journal_mode = MEMORY")
            .c_str(),
        nullptr, nullptr, nullptr);
    ws.BeginTrans();
    GPtrArray* catalog = mdb_read_catalog(file->mdb.get(), MDB_TABLE);
    if (!catalog) throw Failure("テーブルの一覧を読み取れません");
    for (guint i = 0; i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (!mdb_is_user_table(entry)) continue;
        auto name = file->text->FromLibrary(entry->object_name);
        if (!name)
            throw Failure("テーブル名をコードページ " + file->text->CodePage() +
                          " で変換できません");
        if (name->size() >= 4 && strncasecmp(name->c_str(), "MSys", 4) == 0) continue;
        try {
            CopyTable(*file, conn, entry, *name);
        } catch (const engine::Error& e) {
            throw Failure("テーブル " + Quoted(*name) + ": " + e.Description());
        }
    }
    ws.CommitTrans();
    db->Close();
}

} // namespace jetread
