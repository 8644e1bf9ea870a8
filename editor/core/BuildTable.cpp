// The table a save builds from the validated layout: its fields, numbered groups expanded, and
// the indexes of the key tables.
#include "core/LayoutDocument.h"
#include "core/TypeVocabulary.h"
#include "engine/database.h"
#include "engine/index.h"
#include "engine/tabledef.h"
#include "engine/types.h"
#include "engine/variant.h"

namespace tavorin {
namespace {

namespace dao = engine::dao;

// The repeat count of a work row (blanks skipped, up to the first other character).
long NumberOf(const std::string& text) {
    long n = 0;
    for (char c : text) {
        if (c == ' ') continue;
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace

engine::TableDefPtr LayoutDocument::DefineBuildTable(engine::Database& db,
                                                     const std::string& buildName,
                                                     const IndexSettings& settings) {
    auto td = db.CreateTableDef(buildName);
    auto rows = WorkDatabase().OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01 ",
                                             engine::RecordsetType::Snapshot);
    auto add = [&](const std::string& name, const std::string& typeName, long size) {
        const int16_t code = TypeCodeOf(typeName);
        engine::FieldPtr field;
        if (code == dao::dbText) {
            field = td->CreateField(name, dao::dbText, size);
            field->SetAllowZeroLength(true);
        } else if (code == 0) {
            field = td->CreateField(name, dao::dbLong);
            field->SetAttributes(dao::dbAutoIncrField);
        } else {
            field = td->CreateField(name, code);
        }
        td->Fields().Append(field);
    };
    while (!rows->Eof()) {
        const std::string name = engine::TextOf(rows->Value("FLD02"));
        const std::string typeName = engine::TextOf(rows->Value("FLD03"));
        const engine::Variant sizeValue = rows->Value("FLD04");
        const long size = sizeValue.IsNull() ? 0 : engine::CLng(sizeValue);
        const long repeat = NumberOf(engine::TextOf(rows->Value("FLD05")));
        if (repeat > 0) {
            for (long i = 1; i <= repeat; ++i)
                add(name + "_" + std::to_string(i + 100).substr(1), typeName, size);
        } else {
            add(name, typeName, size);
        }
        rows->MoveNext();
    }
    rows->Close();

    for (int key = 1; key <= 6; ++key) {
        if (KeyUsed[key] != 9) continue;
        auto index = td->CreateIndex(settings.Name[static_cast<size_t>(key - 1)]);
        index->SetPrimary(key == 1);
        index->SetUnique(key == 1 || settings.Dup[static_cast<size_t>(key - 1)] < 1);
        for (int rank = 1; rank <= 20; ++rank) {
            if (KeyFieldName[rank][key].empty()) continue;
            auto member = index->CreateField(KeyFieldName[rank][key]);
            if (SameText(KeySortKind[rank][key], "D")) member->SetAttributes(dao::dbDescending);
            index->Fields().Append(member);
        }
        if (index->Fields().Count() > 0) td->Indexes().Append(index);
    }
    return td;
}

} // namespace tavorin
