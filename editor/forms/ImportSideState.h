// What the import window holds of each side (0 target, 1 source): its file and table, its work
// database with the table's structure as work rows, the field grid's position and the record
// view's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/recordset.h"
#include "modules/TavorinSub.h"

namespace tavorin {

struct ImportSideState {
    ChosenFile File;
    std::string TableName;
    std::string TableDesc;
    std::vector<TableListEntry> TableList;
    std::string WorkPath;
    engine::DatabasePtr WorkDb;  // the side's work database, open while the window is
    engine::RecordsetPtr WorkRs; // "SELECT * FROM WKTBL ORDER BY FLD08"
    bool ReadOnly = false;       // the table's file takes no change
    std::string Refusal;         // why (the engine's words), when ReadOnly
    int32_t FirstRow = 0;        // first grid row shown, 1-based
    int32_t FieldCount = 0;
    int SelectedRow = -1; // screen row 0..9, -1 none
    // The side's user database: the record view's connection.
    engine::DatabasePtr Db;
    engine::RecordsetPtr ViewRs; // snapshot in primary-key order
    int16_t ViewState = 0;       // 0 closed, 9 open
    int32_t FirstField = 1;
    int32_t FirstRecord = 1;
    long RecordCount = 0;
    engine::Bookmark FirstBookmark = 0;
};

} // namespace tavorin
