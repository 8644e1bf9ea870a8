#include "jetread/values.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "values/value_codec.h"

namespace jetread {
namespace {

using engine::Variant;

// Fixed storage size of a type in a row, 0 when variable.
size_t StoredSize(int mdbType) {
    switch (mdbType) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

[[noreturn]] void BadValue(const std::string& table, const Column& c, long row,
                           const std::string& why) {
    throw Failure("テーブル " + Quoted(table) + " のフィールド " + Quoted(c.info.name) + " (" +
                  std::to_string(row) + " 件目): " + why);
}

std::string DecodeValue(JetFile& file, std::string_view b, const std::string& table,
                        const Column& c, long row) {
    auto s = file.text->Decode(b);
    if (!s)
        BadValue(table, c, row,
                 "文字列をコードページ " + file.text->CodePage() + " で変換できません");
    return *s;
}

Variant ValueOf(JetFile& file, const Column& c, bool isNull, std::string_view b,
                const std::string& table, long row) {
    int type = c.def.type;
    // A Boolean is its null bit: set means True.
    if (type == MDB_BOOL) return Variant::Boolean(!isNull);
    if (isNull) return Variant::Null();
    size_t fixed = StoredSize(type);
    if (fixed && b.size() != fixed) BadValue(table, c, row, "値の長さが型と合いません");
    auto u = [&](size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(b[i])); };
    switch (type) {
    case MDB_BYTE:
        return Variant::Byte(static_cast<uint8_t>(u(0)));
    case MDB_INT:
        return Variant::Integer(static_cast<int16_t>(u(0) | (u(1) << 8)));
    case MDB_LONGINT:
        return Variant::Long(
            static_cast<int32_t>(u(0) | (u(1) << 8) | (u(2) << 16) | (u(3) << 24)));
    case MDB_MONEY:
        return Variant::CurrencyScaled(jet::ReadInt64Le(b));
    case MDB_FLOAT: {
        uint32_t bits = static_cast<uint32_t>(u(0) | (u(1) << 8) | (u(2) << 16) | (u(3) << 24));
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isnan(f)) BadValue(table, c, row, "数値ではない値 (NaN) です");
        return Variant::Single(f);
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: {
        uint64_t bits = static_cast<uint64_t>(jet::ReadInt64Le(b));
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (type == MDB_DOUBLE) {
            if (std::isnan(d)) BadValue(table, c, row, "数値ではない値 (NaN) です");
            return Variant::Double(d);
        }
        // Jet's dates run from 100-01-01 to 9999-12-31.
        if (!(d >= -657434.0 && d < 2958466.0)) BadValue(table, c, row, "日付が範囲外です");
        return Variant::Date(d);
    }
    case MDB_BINARY:
        return Variant(std::string(b));
    case MDB_TEXT:
        return Variant(DecodeValue(file, b, table, c, row));
    case MDB_MEMO:
    case MDB_OLE: {
        std::string error;
        auto bytes = jet::ReadLongValue(file.version, b, file.pages, file.fileSize, error);
        if (!bytes) BadValue(table, c, row, "長い値を読み取れません: " + error);
        return type == MDB_OLE ? Variant(std::move(*bytes))
                               : Variant(DecodeValue(file, *bytes, table, c, row));
    }
    case MDB_REPID:
        return Variant(jet::GuidText(b));
    case MDB_NUMERIC:
        return Variant::Double(*jet::DecimalToDouble(b, c.def.scale));
    default:
        return Variant::Null();
    }
}

} // namespace

int64_t CopyRows(JetFile& file, engine::detail::Connection& conn, const JetTable& jetTable,
                 const std::string& name) {
    MdbTableDef* table = jetTable.table.get();
    const std::vector<Column>& columns = jetTable.columns;
    std::string sql = "INSERT INTO " + conn.Qualified(name) + " (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + engine::detail::QuoteIdent(columns[i].info.name);
    sql += ") VALUES (";
    for (size_t i = 0; i < columns.size(); ++i) sql += i ? ", ?" : "?";
    sql += ")";
    engine::detail::Stmt insert = conn.Prepare(sql);

    MdbHandle* mdb = file.mdb.get();
    const size_t pageSize = jet::PageSize(file.version);
    std::vector<MdbField> fields(columns.size());
    // Bound values must live until the statement has run.
    std::vector<Variant> values(columns.size());
    int64_t lastAuto = 0;
    long rowNumber = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        ++rowNumber;
        int start = 0;
        size_t length = 0;
        if (table->cur_row == 0 ||
            mdb_find_row(mdb, static_cast<int>(table->cur_row - 1), &start, &length) != 0)
            throw Failure("テーブル " + Quoted(name) + " のレコードの位置が壊れています");
        start &= 0x1FFF;
        if (mdb_crack_row(table, start, length, fields.data()) < 0)
            throw Failure("テーブル " + Quoted(name) + " のレコードが壊れています");
        std::string_view page(reinterpret_cast<const char*>(mdb->pg_buf), pageSize);
        for (size_t i = 0; i < columns.size(); ++i) {
            const MdbField& f = fields[i];
            const Column& c = columns[static_cast<size_t>(f.colnum)];
            std::string_view bytes;
            if (!f.is_null && f.siz > 0) {
                if (f.start < 0 || f.siz < 0 || size_t(f.start) + size_t(f.siz) > pageSize)
                    throw Failure("テーブル " + Quoted(name) + " のレコードが壊れています");
                bytes = page.substr(size_t(f.start), size_t(f.siz));
            }
            Variant& v = values[static_cast<size_t>(f.colnum)];
            v = ValueOf(file, c, f.is_null != 0, bytes, name, rowNumber);
            if (c.def.type == MDB_LONGINT && (c.def.flags & jet::kColumnAutoLong) && !v.IsNull())
                lastAuto = std::max<int64_t>(lastAuto, v.IntValue());
            engine::detail::BindValue(insert, static_cast<int>(f.colnum) + 1, v, c.info.type);
        }
        insert.Step();
        insert.Reset();
    }
    return lastAuto;
}

} // namespace jetread
