#include "TavorinSub.h"

#include "engine/names.h"

#include <QFrame>
#include <QScreen>
#include <QString>
#include <cmath>
#include <QWidget>
#include <utility>

#include "FuncUtility.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "platform/prompts.h"

namespace tavorin {

using engine::Variant;
using engine::VarType;
namespace dao = engine::dao;

std::array<std::string, kTypeSlots> TypeNames;
FieldMapTable FieldMap;
std::array<std::string, 6> IndexDefaultName;
std::array<int16_t, 6> IndexDefaultDup{};
std::string DefaultType;

namespace {

struct TypeRow {
    int code;
    const char* name;
    int16_t defaultSize;
    VarType conversion; // target of the value conversion (text types have their own rules)
};

constexpr TypeRow kTypeRows[] = {
    {0, "(ｵｰﾄﾅﾝﾊﾞ-)", 4, VarType::Long},
    {dao::dbBoolean, "dbBoolean", 2, VarType::Boolean},
    {dao::dbByte, "dbByte", 1, VarType::Byte},
    {dao::dbInteger, "dbInteger", 2, VarType::Integer},
    {dao::dbLong, "dbLong", 4, VarType::Long},
    {dao::dbCurrency, "dbCurrency", 8, VarType::Currency},
    {dao::dbSingle, "dbSingle", 4, VarType::Single},
    {dao::dbDouble, "dbDouble", 8, VarType::Double},
    {dao::dbDate, "dbDate", 8, VarType::Date},
    {dao::dbText, "dbText", 50, VarType::String},
    {dao::dbMemo, "dbMemo", 0, VarType::String},
};

const TypeRow* RowOf(std::string_view name) {
    if (name.empty()) return nullptr;
    for (const TypeRow& row : kTypeRows)
        if (SameText(name, row.name)) return &row;
    return nullptr;
}

} // namespace

bool SameText(std::string_view a, std::string_view b) {
    return engine::NamesEqual(a, b);
}

std::string StoredTableName(engine::Database* db, std::string_view name) {
    if (!db || name.empty()) return {};
    for (const auto& table : db->TableDefs().Names())
        if (SameText(table, name)) return table;
    return {};
}

void FillTypeNames() {
    for (std::string& name : TypeNames) name.clear();
    for (const TypeRow& row : kTypeRows) TypeNames[static_cast<size_t>(row.code)] = row.name;
}

std::string FieldTypeName(const engine::Field& field) {
    // Only a Long field is an auto-number: Jet also marks generated GUIDs with Attributes 17.
    if (field.Attributes() == 17 && field.Type() == dao::dbLong) return std::string(kAutoNumberType);
    if (field.Type() >= 1 && field.Type() < kTypeSlots) return TypeNames[static_cast<size_t>(field.Type())];
    return {};
}

int16_t TypeCodeOf(std::string_view name) {
    if (name.empty()) return -1;
    for (int slot = 0; slot < kTypeSlots; ++slot) {
        const std::string& slotName = TypeNames[static_cast<size_t>(slot)];
        if (!slotName.empty() && SameText(slotName, name)) return static_cast<int16_t>(slot);
    }
    return -1;
}

int16_t TypeListIndexOf(std::string_view name) {
    if (name.empty()) return -1;
    int16_t position = -1;
    for (const std::string& slotName : TypeNames) {
        if (slotName.empty()) continue;
        ++position;
        if (SameText(slotName, name)) break;
    }
    return position;
}

void DefaultTypeSize(std::string_view name, int16_t& size) {
    if (const TypeRow* row = RowOf(name)) size = row->defaultSize;
}

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

ValueConversion ConversionOf(const std::string& newType, const std::string& newSize, const std::string& oldType,
                             const std::string& oldSize) {
    using Route = ValueConversion::Route;
    Route route = Route::ToUnknownType;
    VarType numberType = VarType::Empty;
    if (SameText(oldType, newType)) {
        route = SameText(newType, "dbText") ? Route::SameText : Route::Keep;
    } else if (SameText(newType, "dbText")) {
        route = Route::ToText;
    } else if (SameText(newType, "dbMemo")) {
        route = Route::ToMemo;
    } else if (const TypeRow* row = RowOf(newType)) {
        route = Route::ToType;
        numberType = row->conversion;
    }
    return ValueConversion(route, numberType, newSize, oldSize);
}

ValueConversion ConversionForEntry(int16_t entry) {
    const FieldMapTable& map = FieldMap;
    return ConversionOf(map(entry, 3), map(entry, 4), map(entry, 6), map(entry, 7));
}

void CreateWorkDatabase(const std::string& path) {
    struct Column {
        const char* name;
        int type;
        long size;
    };
    static constexpr Column kColumns[16] = {
        {"FLD01", dao::dbLong, 0},    {"FLD02", dao::dbText, 60}, {"FLD03", dao::dbText, 13},
        {"FLD04", dao::dbInteger, 0}, {"FLD05", dao::dbText, 2},  {"FLD06", dao::dbText, 5},
        {"FLD07", dao::dbText, 5},    {"FLD08", dao::dbText, 5},  {"FLD09", dao::dbText, 5},
        {"FLD10", dao::dbText, 5},    {"FLD11", dao::dbText, 5},  {"FLD12", dao::dbText, 255},
        {"FLD13", dao::dbText, 60},   {"FLD14", dao::dbText, 13}, {"FLD15", dao::dbInteger, 0},
        {"FLD16", dao::dbText, 2},
    };
    static_assert(kColumns[1].size == kWorkNameBytes && kColumns[12].size == kWorkNameBytes &&
                  kColumns[11].size == kWorkDescriptionBytes);
    static constexpr std::pair<const char*, const char*> kIndexes[7] = {
        {"WKKEY", "FLD01"},   {"WKKEYM", "FLD06"},  {"WKKEYS1", "FLD07"}, {"WKKEYS2", "FLD08"},
        {"WKKEYS3", "FLD09"}, {"WKKEYS4", "FLD10"}, {"WKKEYS5", "FLD11"},
    };

    engine::Workspace& ws = engine::DBEngine::Instance().Workspaces(0);
    engine::DatabasePtr db = ws.CreateDatabase(path, engine::kLangJapanese);
    engine::TableDefPtr td = db->CreateTableDef(kWorkTable);

    std::vector<engine::FieldPtr> fields;
    for (const Column& c : kColumns) fields.push_back(td->CreateField(c.name, c.type, c.size));
    for (const engine::FieldPtr& f : fields) td->Fields().Append(f);
    // Every text column takes the empty text, which Jet keeps as the expression "".
    for (size_t i = 1; i < fields.size(); ++i) {
        if (fields[i]->Type() != dao::dbText) continue;
        fields[i]->SetAllowZeroLength(true);
        fields[i]->SetDefaultValue("\"\"");
    }

    bool primary = true;
    for (const auto& [indexName, fieldName] : kIndexes) {
        engine::IndexPtr ix = td->CreateIndex(indexName);
        ix->SetPrimary(primary);
        ix->SetUnique(primary);
        ix->Fields().Append(ix->CreateField(fieldName));
        td->Indexes().Append(ix);
        primary = false;
    }
    db->TableDefs().Append(td);
    db->Close();
}

void SetIndexDefaults() {
    IndexDefaultName = {"PrimaryKey", "SubKey1", "SubKey2", "SubKey3", "SubKey4", "SubKey5"};
    IndexDefaultDup = {0, 1, 1, 1, 1, 1};
}

void HighlightToolButton(ToolbarWindow& window, int index) {
    const QWidget* image = window.ToolImage(index);
    if (!image) return;
    const QRect r = image->geometry();
    const int left = r.left() - 2, right = r.right() + 2, top = r.top() - 2,
              bottom = r.bottom() + 2;
    const QRect sides[4] = {
        QRect(left, top, right - left + 1, 1),    // top
        QRect(left, bottom, right - left + 1, 1), // bottom
        QRect(left, top, 1, bottom - top + 1),    // left
        QRect(right, top, 1, bottom - top + 1),   // right
    };
    for (int i = 0; i < 4; ++i) {
        QFrame* line = window.ToolLine(i);
        if (!line) continue;
        line->setGeometry(sides[i]);
        line->raise();
        line->show();
    }
}

void CenterOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.left() + static_cast<int>(std::floor((area.width() - size.width()) / 2.0)),
                area.top() + static_cast<int>(std::floor((area.height() - size.height()) / 2.0)));
}

void HideToolFrame(ToolbarWindow& window) {
    for (int i = 0; i < 4; ++i)
        if (QFrame* line = window.ToolLine(i)) line->hide();
}

void ShowUnexpectedError(const std::exception& e) {
    std::string text, details;
    if (const std::optional<engine::Error> engineError = engine::AsEngineError(e)) {
        text =
            "Error; " + std::to_string(engineError->Number()) + "\r" + engineError->Description();
        details = engineError->Detail();
    } else {
        text = std::string("Error;\r") + e.what();
    }
    platform::MsgBoxDetails(QString::fromStdString(text), QString::fromStdString(details), platform::vbCritical);
}

} // namespace tavorin
