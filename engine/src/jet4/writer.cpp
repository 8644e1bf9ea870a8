#include "engine/jet4_writer.h"

#include <strings.h>
#include <ctime>
#include <memory>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/types.h"
#include "jet4/catalog.h"
#include "jet4/page_file.h"
#include "jet4/properties.h"
#include "jet4/read_ahead.h"
#include "jet4/stored_rows.h"
#include "jet4/table.h"
#include "jet4/writer.h"
#include "model/object_access.h"

namespace engine {

namespace {

using namespace detail::jet4;
using detail::jet4::Format; // not engine::Format, the text function

double OleNow() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return DateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           TimeSerial(local.tm_hour, local.tm_min, local.tm_sec);
}

Column ColumnOf(const Format& fmt, const std::string& table, Field& f) {
    // Jet 4 text takes two bytes a character; Jet 3 text and binaries at most 255 bytes.
    const bool jet3 = fmt.version == 0;
    Column c;
    c.name = f.Name();
    c.flags = kFlagNullable;
    switch (f.Type()) {
    case dao::dbBoolean: c.type = kBool; c.length = 1; break;
    case dao::dbByte: c.type = kByte; c.length = 1; break;
    case dao::dbInteger: c.type = kInt; c.length = 2; break;
    case dao::dbLong: c.type = kLong; c.length = 4; break;
    case dao::dbCurrency: c.type = kMoney; c.length = 8; break;
    case dao::dbSingle: c.type = kFloat; c.length = 4; break;
    case dao::dbDouble: c.type = kDouble; c.length = 8; break;
    case dao::dbDate: c.type = kDate; c.length = 8; break;
    case dao::dbGUID: c.type = kGuid; c.length = 16; break;
    case dao::dbText:
        c.type = kText;
        c.length = static_cast<uint16_t>((jet3 ? 1 : 2) * (f.Size() > 0 && f.Size() <= 255 ? f.Size() : 255));
        if (f.Attributes() & dao::dbFixedField) c.flags |= kFlagFixed;
        break;
    case dao::dbBinary:
        c.type = kBinary;
        c.length = static_cast<uint16_t>(f.Size() > 0 && f.Size() <= (jet3 ? 255 : 510) ? f.Size() : 255);
        break;
    case dao::dbMemo: c.type = kMemo; break;
    case dao::dbLongBinary: c.type = kOle; break;
    default:
        Fail("テーブル " + table + " のフィールド " + f.Name() + " の型 (" + std::to_string(f.Type()) +
             ") は " + fmt.name + " ファイルに書けません");
    }
    if (f.IsAutoIncrement()) {
        if (c.type == kLong) c.flags |= kFlagAutoLong;
        else if (c.type == kGuid) c.flags |= kFlagAutoGuid;
    }
    return c;
}

Table TableOf(const Format& fmt, TableDef& def) {
    Table t;
    t.name = def.Name();
    std::vector<std::string> names;
    for (const auto& f : def.Fields()) {
        t.columns.push_back(ColumnOf(fmt, t.name, *f));
        names.push_back(f->Name());
    }
    LayOut(t);
    auto position = [&](const std::string& name) -> uint16_t {
        for (size_t i = 0; i < names.size(); ++i)
            if (strcasecmp(names[i].c_str(), name.c_str()) == 0) return static_cast<uint16_t>(i);
        Fail("テーブル " + t.name + " のインデックスが存在しないフィールド " + name + " を指しています");
    };
    for (const auto& ix : def.Indexes()) {
        RealIndex r;
        for (const auto& f : ix->Fields())
            r.columns.push_back({position(f->Name()), (f->Attributes() & dao::dbDescending) != 0});
        if (r.columns.empty() || r.columns.size() > 10)
            Fail("テーブル " + t.name + " のインデックス " + ix->Name() + " のフィールドの数が不正です");
        r.flags = kIndexAlways;
        if (ix->Primary() || ix->Unique()) r.flags |= kIndexUnique;
        if (ix->IgnoreNulls()) r.flags |= kIndexIgnoreNulls;
        if (ix->Primary() || ix->Required()) r.flags |= kIndexRequired;
        t.indexes.push_back({ix->Name(), static_cast<uint32_t>(t.realIndexes.size()), ix->Primary()});
        t.realIndexes.push_back(std::move(r));
    }
    return t;
}

void AddUserProperties(engine::Properties& from, PropertySet& to) {
    for (const auto& p : from) to.values.push_back({p->Name(), p->Type(), false, p->Value()});
}

// Required, AllowZeroLength and DefaultValue of the fields, and every property of the table and
// its fields the engine keeps.
std::string PropertiesOf(const Format& fmt, TableDef& def) {
    std::vector<PropertySet> sets;
    PropertySet table;
    AddUserProperties(def.Properties(), table);
    sets.push_back(std::move(table));
    for (const auto& f : def.Fields()) {
        PropertySet s;
        s.owner = f->Name();
        if (f->Required()) s.values.push_back({"Required", dao::dbBoolean, true, Variant::Boolean(true)});
        if (f->AllowZeroLength()) s.values.push_back({"AllowZeroLength", dao::dbBoolean, true, Variant::Boolean(true)});
        if (!f->DefaultValue().empty())
            s.values.push_back({"DefaultValue", dao::dbMemo, true, Variant(f->DefaultValue())});
        AddUserProperties(f->Properties(), s);
        sets.push_back(std::move(s));
    }
    return PropertyBlob(sets, fmt);
}

RowSource RowsOf(const std::vector<std::vector<Variant>>& rows) {
    auto next = std::make_shared<size_t>(0);
    return [&rows, next](std::vector<const Variant*>& out) {
        if (*next >= rows.size()) return false;
        const auto& row = rows[(*next)++];
        for (size_t i = 0; i < out.size(); ++i) out[i] = &row[i];
        return true;
    };
}

} // namespace

namespace detail::jet4 {

void WriteDatabase(Database& source, const std::string& path, const Format& fmt) {
    PageFile file(path, fmt);
    for (int i = 0; i < 6; ++i) file.Allocate(); // header, free-page map, the system tables
    double now = OleNow();

    std::vector<UserTableEntry> written;
    for (const auto& name : source.TableDefs().Names()) {
        TableDefPtr def = source.TableDefs().Item(name);
        Table t = TableOf(fmt, *def);
        bool hasAuto = false;
        for (const auto& c : t.columns) hasAuto |= (c.flags & kFlagAutoLong) != 0;
        if (hasAuto) {
            int64_t next = source.NextAutoNumber(name);
            t.lastAutoNumber = static_cast<uint32_t>(next > 0 ? next - 1 : 0);
        }
        uint32_t tdef = file.Allocate();
        std::vector<std::string> columns;
        for (const auto& c : t.columns) columns.push_back(c.name);
        StoredRows stored(*detail::ObjectAccess::Conn(source), name, columns);
        ReadAhead records(stored);
        WriteTable(file, t, tdef, [&](std::vector<const Variant*>& row) { return records.Next(row); });
        written.push_back({name, tdef, PropertiesOf(fmt, *def)});
    }

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
