// tavorin-jetread JETFILE OUTFILE
//
// Reads a genuine Jet 3 or Jet 4 database through libmdb and writes its user tables (columns,
// indexes, "Description" properties and records) into a new native database at OUTFILE. The
// engine runs this program in a child process (see engine/src/jet/jet_reader.cpp), so that a file
// that crashes or hangs libmdb ends only this process.
//
// Exit status 0: OUTFILE is complete. Otherwise the last stderr line starting with "jetread: "
// says why. The program is killed when its parent process ends (see DieWithParent). Text of Jet 3 files is decoded with the file header's code page (932 when the
// header gives none); the environment variable TAVORIN_JET3_CODEPAGE forces another (a number
// such as 1252, or an iconv name). A byte sequence that does not decode is an error naming the
// table and field, never a silent replacement.
//
// Values and definitions are decoded from the raw bytes libmdb locates (libmdb's own text
// conversion replaces what it cannot convert), and indexes are read from the table definition
// directly (libmdb matches physical and logical index entries by the wrong number).
//
// The copy is written through the engine's own catalog code (Connection::CreateTable,
// CreateIndex and the value codec), so its catalog is exactly what the engine writes, but not
// through the public object model: that checks every value against today's rules (text length
// in code page 932 bytes against Jet 4 sizes counted in characters, Required, zero-length
// text), which genuine data written under other rules may break, and it normalises attributes
// Jet reports (fixed-length text, auto-number GUIDs); it is also several times slower.

// glib must come first: mdbtools.h includes it inside extern "C", where its C++ parts break.
#include <glib.h>
#include <mdbtools.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "jet/jet_format.h"
#include "model/object_access.h"
#include "storage/connection.h"
#include "values/value_codec.h"

namespace {

using engine::Variant;
using engine::detail::ColumnInfo;
using engine::detail::IndexInfo;
using engine::detail::PropertyInfo;
using engine::detail::TableInfo;
namespace jet = engine::detail::jet;
namespace dao = engine::dao;

class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Bounds what a damaged file can make this process consume: no core dumps, a ceiling on
// memory (not under the address sanitizer, which reserves vast address space) and on the size
// of the file written.
void LimitSelf(const char* input) {
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    struct stat st {};
    uint64_t size = ::stat(input, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
#if !defined(__SANITIZE_ADDRESS__)
    rlimit memory{uint64_t(4) << 30, uint64_t(4) << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    rlim_t output = (uint64_t(256) << 20) + 8 * size;
    rlimit fsize{output, output};
    setrlimit(RLIMIT_FSIZE, &fsize);
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
struct MdbCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using MdbPtr = std::unique_ptr<MdbHandle, MdbCloser>;
using TablePtr = std::unique_ptr<MdbTableDef, TableFreer>;

// Names, property texts and values all arrive as stored bytes and are decoded here.
class Text {
  public:
    Text(jet::Version v, const std::string& codePage) : version_(v), decoder_(codePage) {
        if (v == jet::Version::Jet3 && !decoder_.Ok())
            throw Failure("コードページ " + codePage + " を使用できません");
    }
    std::optional<std::string> Decode(std::string_view raw) {
        return version_ == jet::Version::Jet3 ? decoder_.Decode(raw) : jet::DecodeJet4Text(raw);
    }
    // Strings libmdb has already passed through its conversion: raw bytes for Jet 3 (see
    // SetRawConversion), UTF-8 for Jet 4.
    std::optional<std::string> FromLibrary(const char* s) {
        if (!s) return std::nullopt;
        return version_ == jet::Version::Jet3 ? decoder_.Decode(s) : std::optional<std::string>(s);
    }
    const std::string& CodePage() const { return decoder_.Name(); }

  private:
    jet::Version version_;
    jet::CodePageDecoder decoder_;
};

// libmdb converts names and property texts with iconv and replaces what fails with '?'. For
// Jet 3 it is made to pass the bytes through unchanged so that they are decoded strictly
// here; for Jet 4 it converts UTF-16 (surrogate pairs included) to UTF-8.
void SetRawConversion(MdbHandle* mdb, jet::Version v) {
    iconv_t cd = v == jet::Version::Jet3 ? iconv_open("ISO-8859-1", "ISO-8859-1")
                                         : iconv_open("UTF-8", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw Failure("iconv を初期化できません");
    if (mdb->iconv_in != reinterpret_cast<iconv_t>(-1)) iconv_close(mdb->iconv_in);
    mdb->iconv_in = cd;
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

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

struct Column {
    MdbColumn* mdb = nullptr;
    jet::TdefColumn def;
    ColumnInfo info;
};

class Converter {
  public:
    Converter(std::string input, std::string output)
        : input_(std::move(input)), output_(std::move(output)) {}

    void Run() {
        OpenInput();
        engine::Workspace ws;
        engine::DatabasePtr db = ws.CreateDatabase(output_, Locale());
        conn_ = engine::detail::ObjectAccess::Conn(*db).get();
        // The settings of FastScratchFile, for the output's schema on the shared connection.
        const std::string schema = engine::detail::QuoteIdent(conn_->Schema());
        sqlite3_exec(conn_->Db(),
                     ("PRAGMA " + schema + ".synchronous = OFF; PRAGMA " + schema + ".journal_mode = MEMORY").c_str(),
                     nullptr, nullptr, nullptr);
        ws.BeginTrans();
        GPtrArray* catalog = mdb_read_catalog(mdb_.get(), MDB_TABLE);
        if (!catalog) throw Failure("テーブルの一覧を読み取れません");
        for (guint i = 0; i < catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (!mdb_is_user_table(entry)) continue;
            auto name = text_->FromLibrary(entry->object_name);
            if (!name)
                throw Failure("テーブル名をコードページ " + text_->CodePage() +
                              " で変換できません");
            if (name->size() >= 4 && strncasecmp(name->c_str(), "MSys", 4) == 0) continue;
            try {
                CopyTable(entry, *name);
            } catch (const engine::Error& e) {
                throw Failure("テーブル " + Quoted(*name) + ": " + e.Description());
            }
        }
        ws.CommitTrans();
        db->Close();
    }

  private:
    void OpenInput() {
        std::unique_ptr<FILE, FileCloser> f(std::fopen(input_.c_str(), "rb"));
        if (!f) throw Failure("ファイルを開けません: " + std::string(std::strerror(errno)));
        char head[0x80] = {};
        size_t n = std::fread(head, 1, sizeof head, f.get());
        std::fseek(f.get(), 0, SEEK_END);
        fileSize_ = static_cast<uint64_t>(std::ftell(f.get()));
        f.reset();
        jet::Header h = jet::InspectHeader(std::string_view(head, n));
        switch (h.kind) {
        case jet::Header::Kind::Jet3:
            version_ = jet::Version::Jet3;
            break;
        case jet::Header::Kind::Jet4:
            version_ = jet::Version::Jet4;
            break;
        case jet::Header::Kind::Ace:
            throw Failure("ACE 形式 (Access 2007 以降, バージョン " +
                          std::to_string(h.versionByte) + ") のファイルには対応していません");
        default:
            throw Failure("Jet 3 / Jet 4 のデータベースではありません");
        }
        mdb_.reset(mdb_open(input_.c_str(), MDB_NOFLAGS));
        if (!mdb_) throw Failure("libmdb がファイルを開けません");
        if (mdb_->f->jet_version != (version_ == jet::Version::Jet3 ? MDB_VER_JET3 : MDB_VER_JET4))
            throw Failure("バージョンの判定が一致しません");
        SetRawConversion(mdb_.get(), version_);
        std::string codePage =
            version_ == jet::Version::Jet3
                ? jet::Jet3CodePage(std::getenv("TAVORIN_JET3_CODEPAGE"), mdb_->f->code_page)
                : std::string("UTF-16LE");
        text_ = std::make_unique<Text>(version_, codePage);
        pages_ = [this](uint32_t page, std::string& out) {
            if (page == 0 || uint64_t(page) * jet::PageSize(version_) >= fileSize_) return false;
            if (mdb_read_alt_pg(mdb_.get(), page) != static_cast<ssize_t>(jet::PageSize(version_)))
                return false;
            out.assign(reinterpret_cast<const char*>(mdb_->alt_pg_buf), jet::PageSize(version_));
            return true;
        };
    }

    std::string Locale() const {
        char buf[64];
        unsigned lang = mdb_->f->lang_id ? mdb_->f->lang_id : 0x0411;
        unsigned cp = mdb_->f->code_page ? mdb_->f->code_page : 932;
        std::snprintf(buf, sizeof buf, ";LANGID=0x%04X;CP=%u;COUNTRY=0", lang, cp);
        return buf;
    }

    std::string Decode(std::string_view raw, const std::string& table, const std::string& what) {
        auto s = text_->Decode(raw);
        if (!s)
            throw Failure("テーブル " + Quoted(table) + " の" + what + "をコードページ " +
                          text_->CodePage() + " で変換できません");
        return *s;
    }

    std::optional<std::string> Property(MdbProperties* props, const char* key,
                                        const std::string& table, const std::string& owner) {
        if (!props || !props->hash) return std::nullopt;
        const char* value = static_cast<const char*>(g_hash_table_lookup(props->hash, key));
        if (!value) return std::nullopt;
        auto s = text_->FromLibrary(value);
        if (!s)
            throw Failure("テーブル " + Quoted(table) + " の " + owner + " のプロパティ " + key +
                          " をコードページ " + text_->CodePage() + " で変換できません");
        return s;
    }

    void CopyTable(MdbCatalogEntry* entry, const std::string& name) {
        TablePtr table(mdb_read_table(entry));
        if (!table) throw Failure("テーブル " + Quoted(name) + " の定義を読み取れません");
        if (!mdb_read_columns(table.get()))
            throw Failure("テーブル " + Quoted(name) + " の列を読み取れません");
        std::string error;
        auto tdef = jet::ReadTdef(version_, static_cast<uint32_t>(entry->table_pg), pages_, error);
        if (!tdef) throw Failure("テーブル " + Quoted(name) + " の定義が壊れています: " + error);
        if (table->num_cols != tdef->columns.size())
            throw Failure("テーブル " + Quoted(name) + " の列の数が一致しません");

        TableInfo info;
        info.name = name;
        std::vector<Column> columns;
        std::map<uint16_t, std::string> nameOfNumber;
        for (guint i = 0; i < table->num_cols; ++i) {
            Column c;
            c.mdb = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            bool found = false;
            for (const auto& d : tdef->columns) {
                if ((d.number & 0xFF) == (c.mdb->col_num & 0xFF)) {
                    c.def = d;
                    found = true;
                    break;
                }
            }
            if (!found || c.def.type != c.mdb->col_type)
                throw Failure("テーブル " + Quoted(name) + " の列定義が一致しません");
            c.info.name = Decode(c.def.rawName, name, "フィールド名");
            c.info.type = DaoType(c.def.type);
            c.info.size = DaoSize(c.def, version_);
            c.info.attributes = DaoAttributes(c.def);
            std::string owner = "フィールド " + Quoted(c.info.name);
            c.info.allowZeroLength =
                Property(c.mdb->props, "AllowZeroLength", name, owner).value_or("") == "yes";
            c.info.required = Property(c.mdb->props, "Required", name, owner).value_or("") == "yes";
            c.info.defaultValue = Property(c.mdb->props, "DefaultValue", name, owner).value_or("");
            if (auto d = Property(c.mdb->props, "Description", name, owner))
                c.info.properties.push_back(PropertyInfo{"Description", dao::dbText, Variant(*d)});
            nameOfNumber[c.def.number] = c.info.name;
            info.columns.push_back(c.info);
            columns.push_back(std::move(c));
        }
        if (auto d = Property(table->props, "Description", name, "テーブル"))
            info.properties.push_back(PropertyInfo{"Description", dao::dbText, Variant(*d)});

        std::vector<IndexInfo> indexes;
        for (const auto& ix : tdef->indexes) {
            if (ix.type == jet::kIndexTypeForeign) continue; // relationships, not user indexes
            const auto& real = tdef->realIndexes[ix.realNumber];
            IndexInfo x;
            x.name = Decode(ix.rawName, name, "インデックス名");
            x.primary = ix.type == jet::kIndexTypePrimary;
            x.unique = x.primary || (real.flags & jet::kIndexUnique);
            x.ignoreNulls = real.flags & jet::kIndexIgnoreNulls;
            x.required = x.primary || (real.flags & jet::kIndexRequired);
            for (const auto& ic : real.columns) {
                auto it = nameOfNumber.find(ic.columnNumber);
                if (it == nameOfNumber.end())
                    throw Failure("テーブル " + Quoted(name) + " のインデックス " + Quoted(x.name) +
                                  " が存在しない列を指しています");
                x.columns.push_back({it->second, ic.descending});
            }
            if (x.columns.empty())
                throw Failure("テーブル " + Quoted(name) + " のインデックス " + Quoted(x.name) +
                              " に列がありません");
            indexes.push_back(std::move(x));
        }

        conn_->CreateTable(info);
        int64_t lastAuto = CopyRows(table.get(), name, columns);
        for (const auto& ix : indexes) conn_->CreateIndex(name, ix);
        for (const auto& c : columns) {
            if (c.def.type == MDB_LONGINT && (c.def.flags & jet::kColumnAutoLong)) {
                conn_->NoteAutoNumber(name, std::max<int64_t>(lastAuto, tdef->nextAutoNumber));
                break;
            }
        }
    }

    // Copies every record; returns the highest auto-number value seen.
    int64_t CopyRows(MdbTableDef* table, const std::string& name,
                     const std::vector<Column>& columns) {
        std::string sql = "INSERT INTO " + conn_->Qualified(name) + " (";
        for (size_t i = 0; i < columns.size(); ++i)
            sql += (i ? ", " : "") + engine::detail::QuoteIdent(columns[i].info.name);
        sql += ") VALUES (";
        for (size_t i = 0; i < columns.size(); ++i) sql += i ? ", ?" : "?";
        sql += ")";
        engine::detail::Stmt insert = conn_->Prepare(sql);

        MdbHandle* mdb = mdb_.get();
        const size_t pageSize = jet::PageSize(version_);
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
                v = ValueOf(c, f.is_null != 0, bytes, name, rowNumber);
                if (c.def.type == MDB_LONGINT && (c.def.flags & jet::kColumnAutoLong) &&
                    !v.IsNull())
                    lastAuto = std::max<int64_t>(lastAuto, v.IntValue());
                engine::detail::BindValue(insert, static_cast<int>(f.colnum) + 1, v, c.info.type);
            }
            insert.Step();
            insert.Reset();
        }
        return lastAuto;
    }

    [[noreturn]] void BadValue(const std::string& table, const Column& c, long row,
                               const std::string& why) {
        throw Failure("テーブル " + Quoted(table) + " のフィールド " + Quoted(c.info.name) + " (" +
                      std::to_string(row) + " 件目): " + why);
    }

    Variant ValueOf(const Column& c, bool isNull, std::string_view b, const std::string& table,
                    long row) {
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
            return Variant(DecodeValue(b, table, c, row));
        case MDB_MEMO:
        case MDB_OLE: {
            std::string error;
            auto bytes = jet::ReadLongValue(version_, b, pages_, fileSize_, error);
            if (!bytes) BadValue(table, c, row, "長い値を読み取れません: " + error);
            return type == MDB_OLE ? Variant(std::move(*bytes))
                                   : Variant(DecodeValue(*bytes, table, c, row));
        }
        case MDB_REPID:
            return Variant(jet::GuidText(b));
        case MDB_NUMERIC:
            return Variant::Double(*jet::DecimalToDouble(b, c.def.scale));
        default:
            return Variant::Null();
        }
    }

    std::string DecodeValue(std::string_view b, const std::string& table, const Column& c,
                            long row) {
        auto s = text_->Decode(b);
        if (!s)
            BadValue(table, c, row,
                     "文字列をコードページ " + text_->CodePage() + " で変換できません");
        return *s;
    }

    std::string input_, output_;
    uint64_t fileSize_ = 0;
    jet::Version version_ = jet::Version::Jet4;
    MdbPtr mdb_;
    std::unique_ptr<Text> text_;
    jet::PageSource pages_;
    engine::detail::Connection* conn_ = nullptr;
};

// Every connection this program opens works on a scratch file the parent renames only after a
// clean exit: no syncs, the journal in memory (still able to roll back a failed step). This
// covers the main file of each connection; the output attached to the workspace's connection
// gets the same settings in Converter::Run.
int FastScratchFile(sqlite3* db, char**, const sqlite3_api_routines*) {
    sqlite3_exec(
        db,
        "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY; PRAGMA locking_mode = EXCLUSIVE",
        nullptr, nullptr, nullptr);
    return SQLITE_OK;
}

void Report(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "\njetread: %s\n", message.c_str());
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// Checking builds: libmdb leaks on some damaged property blobs (a name given twice), and leak
// checking would turn such a file's clean conversion into a failure. The process ends right
// after one conversion, so its leaks cannot pile up; memory errors are still reported.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}
#endif

// The reader ends with the program that waits for it, also when that program is killed.
// TAVORIN_JETREAD_PARENT names the parent the engine meant: when another process has become
// the parent already, the engine died before the signal was asked for.
void DieWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    const char* parent = std::getenv("TAVORIN_JETREAD_PARENT");
    if (parent && *parent && std::strtol(parent, nullptr, 10) != static_cast<long>(::getppid())) std::_Exit(3);
}

int main(int argc, char** argv) {
    DieWithParent();
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s JETFILE OUTFILE\n", argv[0]);
        return 2;
    }
    LimitSelf(argv[1]);
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&FastScratchFile));
    try {
        Converter(argv[1], argv[2]).Run();
        return 0;
    } catch (const Failure& e) {
        Report(e.what());
    } catch (const engine::Error& e) {
        Report(e.Description());
    } catch (const std::exception& e) {
        Report(e.what());
    }
    return 1;
}
