#include "field_table.h"

#include "engine/database.h"
#include "engine/error.h"
#include "engine/types.h"
#include "engine/variant.h"
#include "engine/workspace.h"

namespace vespen {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char FoldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int TwoDigitValue(std::string_view digits) {
    int value = 0;
    for (char c : digits)
        if (IsDigit(c)) value = value * 10 + (c - '0');
    return value;
}

std::string_view BaseNameOf(std::string_view fieldName) {
    return fieldName.size() >= 3 ? fieldName.substr(0, fieldName.size() - 3) : std::string_view{};
}

// Bracketed so that any table name, blanks and brackets included, opens as a table.
std::string TableSource(const std::string& table) {
    std::string source = "[";
    for (char c : table) {
        source += c;
        if (c == ']') source += ']';
    }
    return source + "]";
}

const char* NumberKindOf(int type) {
    switch (type) {
    case engine::dao::dbText:
    case engine::dao::dbMemo:
        return "1";
    case engine::dao::dbCurrency:
    case engine::dao::dbDecimal:
    case engine::dao::dbDouble:
    case engine::dao::dbInteger:
    case engine::dao::dbLong:
    case engine::dao::dbSingle:
        return "2";
    default:
        return "0";
    }
}

// A field without the property has an empty description.
std::string DescriptionOf(engine::Field& field) {
    engine::Properties& properties = field.Properties();
    if (!properties.Contains("Description")) return {};
    return engine::TextOf(properties.Item("Description")->Value());
}

FieldRow RowOf(const std::string& table, engine::Field& field) {
    FieldRow row;
    row.TableName = table;
    row.FieldName = field.Name();
    row.TypeCode = std::to_string(field.Type());
    row.Attributes = std::to_string(field.Attributes());
    row.AZL = "1";
    row.NCK = NumberKindOf(field.Type());
    bool text = field.Type() == engine::dao::dbText || field.Type() == engine::dao::dbMemo;
    if (text && field.AllowZeroLength()) row.AZL = "0";
    row.Description = DescriptionOf(field);
    row.RepeatNo = RepeatNoOf(field.Name());
    return row;
}

} // namespace

std::string TrimBlanks(std::string_view text) {
    return engine::Trim(text);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

std::vector<std::string> ListTables(engine::Database& db) {
    std::vector<std::string> names;
    for (std::string& name : db.TableDefs().Names())
        if (name.rfind("MSys", 0) != 0) names.push_back(std::move(name));
    return names;
}

std::vector<std::string> ListTables(engine::Workspace& ws, const std::string& databasePath) {
    engine::DatabasePtr db = ws.OpenDatabase(databasePath);
    std::vector<std::string> names = ListTables(*db);
    db->Close();
    return names;
}

std::string RepeatNoOf(std::string_view fieldName) {
    // The last three characters are ASCII, so their bytes are the characters; any character
    // in front of them makes the name longer than three characters.
    size_t n = fieldName.size();
    if (n > 3 && fieldName[n - 3] == '_' && IsDigit(fieldName[n - 2]) && IsDigit(fieldName[n - 1]))
        return std::string(fieldName.substr(n - 2));
    return "00";
}

void FoldArrays(FieldTable& rows) {
    for (size_t o = 0; o < rows.size(); ++o) {
        if (rows[o].Folded() || TrimBlanks(rows[o].RepeatNo) != "01") continue;
        for (size_t v = o + 1; v < rows.size(); ++v) {
            if (rows[v].RepeatNo == "00") continue;
            if (!SameName(rows[v].TableName, rows[o].TableName)) break;
            if (!SameName(BaseNameOf(rows[v].FieldName), BaseNameOf(rows[o].FieldName))) break;
            // The step is measured against the row directly above, so an ordinary field
            // ("00") between two elements ends the group.
            if (TwoDigitValue(rows[v].RepeatNo) - TwoDigitValue(rows[v - 1].RepeatNo) != 1) break;
            rows[o].RepeatNo = rows[v].RepeatNo;
            rows[v].TableName = "!" + rows[v].TableName;
        }
    }
}

FieldTable ScanTables(engine::Database& db, const std::vector<std::string>& tables,
                      const StatusFn& status) {
    if (status) status(kStatusScanning);
    FieldTable rows;
    for (const std::string& entry : tables) {
        std::string table = TrimBlanks(entry);
        // Opening the table proves it readable before its definition is trusted.
        engine::RecordsetPtr rs =
            db.OpenRecordset(TableSource(table), engine::RecordsetType::Dynaset);
        rs->Close();
        engine::TableDefPtr def = db.TableDefs().Item(table);
        for (const engine::FieldPtr& field : def->Fields()) rows.push_back(RowOf(table, *field));
    }
    if (status) status(kStatusFolding);
    FoldArrays(rows);
    return rows;
}

FieldTable ScanTables(engine::Workspace& ws, const std::string& databasePath,
                      const std::vector<std::string>& tables, const StatusFn& status) {
    engine::DatabasePtr db = ws.OpenDatabase(databasePath);
    FieldTable rows = ScanTables(*db, tables, status);
    db->Close();
    return rows;
}

} // namespace vespen
