#include "core/FieldMap.h"

#include "core/TypeVocabulary.h"
#include "core/UserPrompts.h"
#include "engine/database.h"
#include "engine/error.h"
#include "engine/recordset.h"
#include "engine/variant.h"

namespace tavorin {

using engine::VarType;

FieldMapTable::FieldMapTable() : cells_(static_cast<size_t>(kEntries) * kColumns) {}

size_t FieldMapTable::CellIndex(int entry, int column) {
    if (entry < 1 || entry > kEntries || column < 1 || column > kColumns) engine::Throw(9);
    return static_cast<size_t>(entry - 1) * kColumns + static_cast<size_t>(column - 1);
}

std::string& FieldMapTable::operator()(int entry, int column) {
    return cells_[CellIndex(entry, column)];
}

const std::string& FieldMapTable::operator()(int entry, int column) const {
    return cells_[CellIndex(entry, column)];
}

void FieldMapTable::Clear() {
    for (std::string& cell : cells_) cell.clear();
}

ValueConversion ConversionOf(const std::string& newType, const std::string& newSize,
                             const std::string& oldType, const std::string& oldSize) {
    using Route = ValueConversion::Route;
    Route route = Route::ToUnknownType;
    VarType numberType = VarType::Empty;
    if (SameText(oldType, newType)) {
        route = SameText(newType, "dbText") ? Route::SameText : Route::Keep;
    } else if (SameText(newType, "dbText")) {
        route = Route::ToText;
    } else if (SameText(newType, "dbMemo")) {
        route = Route::ToMemo;
    } else if (const TypeRow* row = TypeRowOf(newType)) {
        route = Route::ToType;
        numberType = row->conversion;
    }
    return ValueConversion(route, numberType, newSize, oldSize);
}

ValueConversion ConversionForEntry(const FieldMapTable& map, int16_t entry) {
    return ConversionOf(map(entry, 3), map(entry, 4), map(entry, 6), map(entry, 7));
}

namespace {

using engine::Variant;

long NumberOf(const std::string& text) {
    long n = 0;
    for (char c : engine::Trim(text)) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace

bool BuildFieldMap(FieldMapTable& map, engine::Database& work, UserPrompts& prompts, int& count) {
    map.Clear();
    count = 0;
    auto rows =
        work.OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01 ", engine::RecordsetType::Snapshot);
    auto text = [&](const char* column) { return engine::TextOf(rows->Value(column)); };
    auto put = [&](const std::string& newName, const std::string& oldName,
                   const std::string& oldType, const std::string& oldSize,
                   const std::string& oldRepeat) {
        if (++count > FieldMapTable::kEntries) return false;
        map(count, 1) = engine::Str(Variant::Long(count));
        map(count, 2) = newName;
        map(count, 3) = text("FLD03");
        map(count, 4) = text("FLD04");
        map(count, 5) = oldName;
        map(count, 6) = oldType;
        map(count, 7) = oldSize;
        map(count, 8) = oldRepeat;
        return true;
    };
    bool fits = true;
    while (fits && !rows->Eof()) {
        const std::string name = text("FLD02"), oldName = text("FLD13"), oldType = text("FLD14"),
                          oldSize = text("FLD15"), oldRepeat = text("FLD16");
        const long repeat = NumberOf(text("FLD05"));
        if (engine::Trim(text("FLD05")).empty()) {
            // A group joined back into one field keeps the data of its first copy.
            fits = put(name, oldRepeat.empty() || oldName.empty() ? oldName : oldName + "_01",
                       oldType, oldSize, oldRepeat);
        } else {
            const long oldCount = NumberOf(oldRepeat);
            for (long i = 1; fits && i <= repeat; ++i) {
                const std::string suffix = std::to_string(i + 100).substr(1);
                if (oldRepeat.empty()) {
                    fits = i == 1 ? put(name + "_" + suffix, oldName, oldType, oldSize, oldRepeat)
                                  : put(name + "_" + suffix, "", "", "", "");
                } else if (i <= oldCount && !oldName.empty()) {
                    fits = put(name + "_" + suffix, oldName + "_" + suffix, oldType, oldSize,
                               oldRepeat);
                } else {
                    fits = put(name + "_" + suffix, "", "", "", "");
                }
            }
        }
        rows->MoveNext();
    }
    rows->Close();
    if (!fits) prompts.Say("容量をこえました。データの変換作業はできません。");
    return fits;
}

// The carry-over as the engine's copy plan: FieldMap's entries, each new field taking its old
// field through the entry's conversion, an auto number keeping the numbers of one that was an
// auto number already.
engine::CopyPlan CarryPlan(const FieldMapTable& map, const std::string& oldTable,
                           const std::string& buildTable, int count) {
    engine::CopyPlan plan;
    plan.sourceTable = oldTable;
    plan.targetTable = buildTable;
    for (int j = 1; j <= count; ++j) {
        engine::CopyField field;
        field.target = map(j, 2);
        field.source = engine::Trim(map(j, 5));
        field.autoNumber = SameText(map(j, 3), kAutoNumberType);
        field.keepNumbers = field.autoNumber && SameText(map(j, 6), kAutoNumberType);
        field.textual = SameText(map(j, 3), "dbText") || SameText(map(j, 3), "dbMemo");
        if (!field.source.empty() && !field.autoNumber)
            field.conversion = ConversionForEntry(map, static_cast<int16_t>(j));
        plan.fields.push_back(std::move(field));
    }
    return plan;
}

} // namespace tavorin
