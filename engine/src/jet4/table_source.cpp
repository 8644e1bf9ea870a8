#include "jet4/table_source.h"

#include <ctime>
#include <memory>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/names.h"
#include "engine/types.h"
#include "jet4/page_file.h"
#include "jet4/read_ahead.h"
#include "jet4/stored_rows.h"
#include "model/object_access.h"

namespace engine::detail::jet4 {

namespace {

Column ColumnOf(const Format& fmt, const std::string& table, Field& f) {
    // Jet 4 text takes two bytes a character; Jet 3 text and binaries at most 255 bytes.
    const bool jet3 = fmt.version == 0;
    Column c;
    c.name = f.Name();
    c.flags = kFlagNullable;
    switch (f.Type()) {
    case dao::dbBoolean:
        c.type = kBool;
        c.length = 1;
        break;
    case dao::dbByte:
        c.type = kByte;
        c.length = 1;
        break;
    case dao::dbInteger:
        c.type = kInt;
        c.length = 2;
        break;
    case dao::dbLong:
        c.type = kLong;
        c.length = 4;
        break;
    case dao::dbCurrency:
        c.type = kMoney;
        c.length = 8;
        break;
    case dao::dbSingle:
        c.type = kFloat;
        c.length = 4;
        break;
    case dao::dbDouble:
        c.type = kDouble;
        c.length = 8;
        break;
    case dao::dbDate:
        c.type = kDate;
        c.length = 8;
        break;
    case dao::dbGUID:
        c.type = kGuid;
        c.length = 16;
        break;
    case dao::dbText:
        c.type = kText;
        c.length = static_cast<uint16_t>((jet3 ? 1 : 2) *
                                         (f.Size() > 0 && f.Size() <= 255 ? f.Size() : 255));
        if (f.Attributes() & dao::dbFixedField) c.flags |= kFlagFixed;
        break;
    case dao::dbBinary:
        c.type = kBinary;
        c.length =
            static_cast<uint16_t>(f.Size() > 0 && f.Size() <= (jet3 ? 255 : 510) ? f.Size() : 255);
        break;
    case dao::dbMemo:
        c.type = kMemo;
        break;
    case dao::dbLongBinary:
        c.type = kOle;
        break;
    default:
        Fail("テーブル " + table + " のフィールド " + f.Name() + " の型 (" +
             std::to_string(f.Type()) + ") は " + fmt.name + " ファイルに書けません");
    }
    if (f.IsAutoIncrement()) {
        if (c.type == kLong)
            c.flags |= kFlagAutoLong;
        else if (c.type == kGuid)
            c.flags |= kFlagAutoGuid;
    }
    return c;
}

void AddUserProperties(engine::Properties& from, PropertySet& to) {
    for (const auto& p : from)
        to.values.push_back({p->Name(), p->Type(), false, p->Value(), std::nullopt});
}

} // namespace

double OleNow() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return DateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           TimeSerial(local.tm_hour, local.tm_min, local.tm_sec);
}

Table TableOf(TableDef& def, const Format& fmt) {
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
            if (NamesEqual(names[i], name)) return static_cast<uint16_t>(i);
        Fail("テーブル " + t.name + " のインデックスが存在しないフィールド " + name +
             " を指しています");
    };
    for (const auto& ix : def.Indexes()) {
        RealIndex r;
        for (const auto& f : ix->Fields())
            r.columns.push_back({position(f->Name()), (f->Attributes() & dao::dbDescending) != 0});
        if (r.columns.empty() || r.columns.size() > 10)
            Fail("テーブル " + t.name + " のインデックス " + ix->Name() +
                 " のフィールドの数が不正です");
        r.flags = kIndexAlways;
        if (ix->Primary() || ix->Unique()) r.flags |= kIndexUnique;
        if (ix->IgnoreNulls()) r.flags |= kIndexIgnoreNulls;
        if (ix->Primary() || ix->Required()) r.flags |= kIndexRequired;
        t.indexes.push_back(
            {ix->Name(), static_cast<uint32_t>(t.realIndexes.size()), ix->Primary()});
        t.realIndexes.push_back(std::move(r));
    }
    return t;
}

std::vector<PropertySet> PropertySetsOf(TableDef& def) {
    std::vector<PropertySet> sets;
    PropertySet table;
    AddUserProperties(def.Properties(), table);
    sets.push_back(std::move(table));
    for (const auto& f : def.Fields()) {
        PropertySet s;
        s.owner = f->Name();
        if (f->Required())
            s.values.push_back(
                {"Required", dao::dbBoolean, true, Variant::Boolean(true), std::nullopt});
        if (f->AllowZeroLength())
            s.values.push_back(
                {"AllowZeroLength", dao::dbBoolean, true, Variant::Boolean(true), std::nullopt});
        if (!f->DefaultValue().empty())
            s.values.push_back(
                {"DefaultValue", dao::dbMemo, true, Variant(f->DefaultValue()), std::nullopt});
        AddUserProperties(f->Properties(), s);
        sets.push_back(std::move(s));
    }
    return sets;
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

UserTableEntry WriteSourceTable(PageFile& file, Database& source, const std::string& name,
                                uint32_t tdefPage, std::vector<PropertySet>* sets) {
    TableDefPtr def = source.TableDefs().Item(name);
    Table t = TableOf(*def, file.Fmt());
    bool hasAuto = false;
    for (const auto& c : t.columns) hasAuto |= (c.flags & kFlagAutoLong) != 0;
    if (hasAuto) {
        int64_t next = source.NextAutoNumber(name);
        t.lastAutoNumber = static_cast<uint32_t>(next > 0 ? next - 1 : 0);
    }
    std::vector<std::string> columns;
    for (const auto& c : t.columns) columns.push_back(c.name);
    StoredRows stored(*ObjectAccess::Conn(source), name, columns);
    ReadAhead records(stored);
    WriteTable(file, t, tdefPage,
               [&](std::vector<const Variant*>& row) { return records.Next(row); });
    std::vector<PropertySet> props = PropertySetsOf(*def);
    UserTableEntry entry{name, tdefPage, PropertyBlob(props, file.Fmt())};
    if (sets) *sets = std::move(props);
    return entry;
}

} // namespace engine::detail::jet4
