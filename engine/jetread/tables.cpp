#include "jetread/tables.h"

#include "engine/types.h"

namespace jetread {
namespace {

using engine::Variant;
namespace dao = engine::dao;

int DaoType(int mdbType) {
    return mdbType == MDB_NUMERIC ? dao::dbDecimal : mdbType;
}

long DaoSize(const jet::TdefColumn& c, jet::Version v) {
    switch (c.type) {
    case MDB_BOOL:
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
    case MDB_NUMERIC:
        return 16;
    case MDB_TEXT:
        return v == jet::Version::Jet4 ? c.length / 2 : c.length;
    case MDB_MEMO:
    case MDB_OLE:
        return 0;
    default:
        return c.length;
    }
}

long DaoAttributes(const jet::TdefColumn& c) {
    bool variableType =
        c.type == MDB_TEXT || c.type == MDB_MEMO || c.type == MDB_BINARY || c.type == MDB_OLE;
    long a =
        (variableType && !(c.flags & jet::kColumnFixed)) ? dao::dbVariableField : dao::dbFixedField;
    // Only a Long with 0x04 or a GUID with 0x40 is numbered by Jet: Jet 3 files set 0x40 on
    // ordinary columns of other types too.
    if ((c.type == MDB_LONGINT && (c.flags & jet::kColumnAutoLong)) ||
        (c.type == MDB_REPID && (c.flags & jet::kColumnAutoGuid)))
        a |= dao::dbAutoIncrField;
    if (c.flags & jet::kColumnHyperlink) a |= 32768; // dbHyperlinkField
    return a;
}

std::optional<std::string> Property(JetFile& file, MdbProperties* props, const char* key,
                                    const std::string& table, const std::string& owner) {
    if (!props || !props->hash) return std::nullopt;
    const char* value = static_cast<const char*>(g_hash_table_lookup(props->hash, key));
    if (!value) return std::nullopt;
    auto s = file.text->FromLibrary(value);
    if (!s)
        throw Failure("テーブル " + Quoted(table) + " の " + owner + " のプロパティ " + key +
                      " をコードページ " + file.text->CodePage() + " で変換できません");
    return s;
}

} // namespace

JetTable ReadTable(JetFile& file, MdbCatalogEntry* entry, const std::string& name) {
    JetTable out;
    out.table.reset(mdb_read_table(entry));
    MdbTableDef* table = out.table.get();
    if (!table) throw Failure("テーブル " + Quoted(name) + " の定義を読み取れません");
    if (!mdb_read_columns(table))
        throw Failure("テーブル " + Quoted(name) + " の列を読み取れません");
    std::string error;
    auto tdef =
        jet::ReadTdef(file.version, static_cast<uint32_t>(entry->table_pg), file.pages, error);
    if (!tdef) throw Failure("テーブル " + Quoted(name) + " の定義が壊れています: " + error);
    if (table->num_cols != tdef->columns.size())
        throw Failure("テーブル " + Quoted(name) + " の列の数が一致しません");
    out.tdef = std::move(*tdef);

    TableInfo& info = out.info;
    info.name = name;
    for (guint i = 0; i < table->num_cols; ++i) {
        Column c;
        c.mdb = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        bool found = false;
        for (const auto& d : out.tdef.columns) {
            if ((d.number & 0xFF) == (c.mdb->col_num & 0xFF)) {
                c.def = d;
                found = true;
                break;
            }
        }
        if (!found || c.def.type != c.mdb->col_type)
            throw Failure("テーブル " + Quoted(name) + " の列定義が一致しません");
        c.info.name = file.Decode(c.def.rawName, name, "フィールド名");
        c.info.type = DaoType(c.def.type);
        c.info.size = DaoSize(c.def, file.version);
        c.info.attributes = DaoAttributes(c.def);
        std::string owner = "フィールド " + Quoted(c.info.name);
        c.info.allowZeroLength =
            Property(file, c.mdb->props, "AllowZeroLength", name, owner).value_or("") == "yes";
        c.info.required =
            Property(file, c.mdb->props, "Required", name, owner).value_or("") == "yes";
        c.info.defaultValue =
            Property(file, c.mdb->props, "DefaultValue", name, owner).value_or("");
        if (auto d = Property(file, c.mdb->props, "Description", name, owner))
            c.info.properties.push_back(PropertyInfo{"Description", dao::dbText, Variant(*d)});
        out.nameOfNumber[c.def.number] = c.info.name;
        info.columns.push_back(c.info);
        out.columns.push_back(std::move(c));
    }
    if (auto d = Property(file, table->props, "Description", name, "テーブル"))
        info.properties.push_back(PropertyInfo{"Description", dao::dbText, Variant(*d)});
    return out;
}

} // namespace jetread
