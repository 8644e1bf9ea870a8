// How the Jet writers' tests read a written file back: the engine's description of a database
// (fields, indexes, properties, records), and the exact forms in which mdb-export and mdb-reader
// (tools/mdb_reader_batch.mjs) print each value of a source database, to compare with theirs.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/database.h"
#include "engine/testing/jet_test_support.h"
#include "engine/testing/test_support.h"
#include "engine/text932.h"
#include "engine/workspace.h"

namespace jetreadback {

using enginetest::Ws;
namespace dao = engine::dao;

inline std::string Describe(const std::string& path) {
    auto db = Ws().OpenDatabase(path, false, true);
    std::ostringstream out;
    for (const auto& name : db->TableDefs().Names()) {
        auto td = db->TableDefs().Item(name);
        out << "table " << name << "\n";
        for (const auto& p : td->Properties())
            out << " property " << p->Name() << "=" << engine::TextOf(p->Value()) << "\n";
        for (const auto& f : td->Fields()) {
            out << " field " << f->Name() << " " << f->Type() << " " << f->Size() << " "
                << f->Attributes() << " " << f->AllowZeroLength() << f->Required() << "\n";
            for (const auto& p : f->Properties())
                out << "  property " << p->Name() << "=" << engine::TextOf(p->Value()) << "\n";
        }
        for (const auto& ix : td->Indexes()) {
            out << " index " << ix->Name() << " " << ix->Primary() << ix->Unique()
                << ix->IgnoreNulls() << ix->Required();
            for (const auto& f : ix->Fields()) out << " " << f->Name() << f->Attributes();
            out << "\n";
        }
        auto rs = db->OpenRecordset(name, engine::RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            out << " row";
            for (size_t i = 0; i < rs->FieldCount(); ++i) {
                const auto& v = rs->Value(i);
                char buf[40];
                if (v.Type() == engine::VarType::Single || v.Type() == engine::VarType::Double ||
                    v.Type() == engine::VarType::Date)
                    std::snprintf(buf, sizeof buf, "%.17g", v.RealValue());
                out << " |" << static_cast<int>(v.Type()) << ":"
                    << ((v.Type() == engine::VarType::Single ||
                         v.Type() == engine::VarType::Double || v.Type() == engine::VarType::Date)
                            ? std::string(buf)
                            : engine::TextOf(v));
            }
            out << "\n";
        }
        rs->Close();
    }
    db->Close();
    return out.str();
}

inline bool MdbReaderPresent() {
    return std::ifstream(std::string(MDB_READER_MODULES) + "/mdb-reader/package.json").good() &&
           !jettest::Run("command -v node").empty();
}

// Text as JSON.stringify writes it.
inline std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Text as mdb-reader reads a Jet 3 file's: every byte of code page 932 as a character of
// code page 1252 (the bytes 1252 leaves undefined as U+FFFD).
inline std::string AsReadAs1252(const std::string& utf8) {
    static const char16_t high[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    auto bytes = engine::cp932::FromUtf8(utf8);
    std::string out;
    for (unsigned char b : bytes ? *bytes : utf8) {
        char32_t cp = b < 0x80 ? b : b < 0xA0 ? high[b - 0x80] : b;
        engine::cp932::AppendUtf8(out, cp);
    }
    return out;
}

// Text as mdb-export prints a Jet 3 file's: libmdb decodes code page 932 as iconv's SHIFT-JIS,
// which reads the bytes of \ and ~ as the yen sign and the overline.
inline std::string AsExportedShiftJis(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '\\')
            out += "\u00a5";
        else if (c == '~')
            out += "\u203e";
        else
            out += c;
    }
    return out;
}

// One value as tools/mdb_reader_batch.mjs prints what mdb-reader reads.
inline std::string ReaderForm(const engine::Variant& v, int type, bool jet3 = false) {
    if (type == dao::dbBoolean) return !v.IsNull() && engine::CBool(v) ? "true" : "false";
    if (v.IsNull()) return "null";
    char buf[64];
    switch (type) {
    case dao::dbByte:
    case dao::dbInteger:
    case dao::dbLong:
        return std::to_string(engine::CLng(v));
    case dao::dbCurrency: {
        long long c = engine::CCurScaled(v);
        std::snprintf(buf, sizeof buf, "\"%s%lld.%04lld\"", c < 0 ? "-" : "", std::llabs(c) / 10000,
                      std::llabs(c) % 10000);
        return buf;
    }
    case dao::dbSingle:
    case dao::dbDouble: {
        double d = type == dao::dbSingle ? static_cast<double>(static_cast<float>(v.RealValue()))
                                         : v.RealValue();
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        std::snprintf(buf, sizeof buf, "f%016llx", static_cast<unsigned long long>(bits));
        return buf;
    }
    case dao::dbDate: { // JavaScript's Math.round of the milliseconds since 1970
        double ms = (v.RealValue() - 25569) * 86400 * 1000;
        double whole = std::floor(ms);
        if (ms - whole >= 0.5) whole += 1;
        std::snprintf(buf, sizeof buf, "d%.0f", whole);
        return buf;
    }
    case dao::dbBinary:
    case dao::dbLongBinary:
        return "x" + jettest::Hex(v.StringValue());
    case dao::dbGUID: { // lower case, without braces
        std::string g;
        for (char c : engine::CStr(v))
            if (c != '{' && c != '}')
                g += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return JsonString(g);
    }
    default:
        return JsonString(jet3 ? AsReadAs1252(engine::CStr(v)) : engine::CStr(v));
    }
}

inline const char* ReaderType(int type) {
    switch (type) {
    case dao::dbBoolean:
        return "boolean";
    case dao::dbByte:
        return "byte";
    case dao::dbInteger:
        return "integer";
    case dao::dbLong:
        return "long";
    case dao::dbCurrency:
        return "currency";
    case dao::dbSingle:
        return "float";
    case dao::dbDouble:
        return "double";
    case dao::dbDate:
        return "datetime";
    case dao::dbText:
        return "text";
    case dao::dbMemo:
        return "memo";
    case dao::dbBinary:
        return "binary";
    case dao::dbLongBinary:
        return "ole";
    case dao::dbGUID:
        return "repid";
    default:
        return "?";
    }
}

// ---- mdbtools ---------------------------------------------------------------------------------
// mdb-export (mdbtools 1.0) prints each value through libmdb's own decoding. With the options of
// ExportCommand a row is one line, fields apart by tabs, texts, dates and binaries in quotes with
// \ escapes, and Null (and whatever libmdb binds as nothing) unquoted and empty. The forms below
// are libmdb's: its calendar, its number formats, binaries bound as C strings (cut at the first
// zero byte; a GUID as its text in braces, {8-4-4-16}), texts and memos converted into 200,000-byte
// buffers.

inline const char* const kExportOptions =
    "-H -d '\\t' -e -X '\\' -b hex -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S'";

inline std::string ExportQuoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

inline std::string UpperHex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "\"";
}

inline std::string ExportHex(std::string_view bytes) {
    return bytes.empty() ? std::string() : UpperHex(bytes);
}

// libmdb's date: days and seconds rounded from 1899-12-30; outside 0..1e6 days nothing is set,
// which strftime prints as year 1900, month 1, day 0.
inline std::string ExportDate(double td) {
    long year = 1900, month = 1, day = 0, hour = 0, minute = 0, second = 0;
    if (!(td < 0.0 || td > 1e6)) {
        static const int noleap[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
        static const int leap[] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};
        long d = static_cast<long>(td);
        long time = static_cast<long>((td - d) * 86400.0 + 0.5);
        hour = time / 3600;
        minute = time / 60 % 60;
        second = time % 60;
        d += 693593;
        long yr = 1, q = d / 146097;
        yr += 400 * q;
        d -= q * 146097;
        q = std::min(d / 36524, 3L);
        yr += 100 * q;
        d -= q * 36524;
        q = d / 1461;
        yr += 4 * q;
        d -= q * 1461;
        q = std::min(d / 365, 3L);
        yr += q;
        d -= q * 365;
        const int* cal = yr % 4 == 0 && (yr % 100 != 0 || yr % 400 == 0) ? leap : noleap;
        int m = 0;
        while (m < 12 && d >= cal[m + 1]) ++m;
        year = yr;
        month = m + 1;
        day = d - cal[m] + 1;
    }
    char buf[160];
    std::snprintf(buf, sizeof buf, "\"%ld-%02ld-%02ld %02ld:%02ld:%02ld\"", year, month, day, hour,
                  minute, second);
    return buf;
}

// The longest run of whole UTF-8 characters within libmdb's text buffer.
inline std::string_view WithinExportBuffer(std::string_view text) {
    constexpr size_t kRoom = 200000 - 1;
    if (text.size() <= kRoom) return text;
    size_t at = kRoom;
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return text.substr(0, at);
}

inline std::string ExportForm(const engine::Variant& v, int type, bool jet3 = false) {
    if (type == dao::dbBoolean) return !v.IsNull() && engine::CBool(v) ? "1" : "0";
    if (v.IsNull()) return "";
    char buf[64];
    switch (type) {
    case dao::dbByte:
    case dao::dbInteger:
    case dao::dbLong:
        return std::to_string(engine::CLng(v));
    case dao::dbCurrency: {
        long long c = engine::CCurScaled(v);
        std::snprintf(buf, sizeof buf, "%s%lld.%04lld", c < 0 ? "-" : "", std::llabs(c) / 10000,
                      std::llabs(c) % 10000);
        return buf;
    }
    case dao::dbSingle:
        std::snprintf(buf, sizeof buf, "%.8g",
                      static_cast<double>(static_cast<float>(v.RealValue())));
        return buf;
    case dao::dbDouble:
        std::snprintf(buf, sizeof buf, "%.16g", v.RealValue());
        return buf;
    case dao::dbDate:
        return ExportDate(v.RealValue());
    case dao::dbText:
    case dao::dbMemo: {
        std::string shown = jet3 ? AsExportedShiftJis(v.StringValue()) : v.StringValue();
        std::string_view text = WithinExportBuffer(shown);
        return text.empty() ? std::string() : ExportQuoted(text);
    }
    case dao::dbBinary: {
        const std::string& bytes = v.StringValue();
        return ExportHex(std::string_view(bytes).substr(0, bytes.find('\0')));
    }
    case dao::dbLongBinary:
        return UpperHex(v.StringValue());
    case dao::dbGUID: { // libmdb writes {8-4-4-16}, upper case
        std::string g = engine::CStr(v);
        if (g.size() == 38 && g[24] == '-') g.erase(24, 1);
        for (char& c : g) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return ExportHex(g);
    }
    default:
        return "?";
    }
}

using TableViews = std::map<std::string, std::string>; // by table name

// What mdb-reader should read of each table of the source, through the engine.
// What mdb-reader (through tools/mdb_reader_batch.mjs) and mdb-export print of each table.
struct ExpectedViews {
    TableViews reader, exported;
};

// jet3: the forms of a Jet 3 file written in code page 932.
inline ExpectedViews ExpectedReadBack(const std::string& path, bool reader, bool jet3 = false) {
    ExpectedViews views;
    auto db = Ws().OpenDatabase(path, false, true);
    for (const auto& name : db->TableDefs().Names()) {
        auto td = db->TableDefs().Item(name);
        auto shown = [&](const std::string& s) { return jet3 ? AsReadAs1252(s) : s; };
        std::string& out = views.reader[shown(name)];
        std::string& exported = views.exported[name];
        out = "table " + shown(name) + " " + std::to_string(td->RecordCount()) + "\n";
        std::vector<int> types;
        for (const auto& f : td->Fields()) {
            out += "column " + shown(f->Name()) + " " + ReaderType(f->Type());
            if (f->Type() == dao::dbText || f->Type() == dao::dbBinary)
                out += " " + std::to_string(f->Size());
            out += "\n";
            types.push_back(f->Type());
        }
        auto rs = db->OpenRecordset(name, engine::RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            if (reader) {
                out += "row ";
                for (size_t i = 0; i < rs->FieldCount(); ++i)
                    out += (i ? "\t" : "") + ReaderForm(rs->Value(i), types[i], jet3);
                out += "\n";
            }
            for (size_t i = 0; i < rs->FieldCount(); ++i)
                exported += (i ? "\t" : "") + ExportForm(rs->Value(i), types[i], jet3);
            exported += "\n";
        }
        rs->Close();
    }
    db->Close();
    if (!reader) views.reader.clear();
    return views;
}

// Splits mdb_reader_batch.mjs's output into each file's tables (errors under the name "error").
inline std::vector<TableViews> SplitReaderOutput(const std::string& out, size_t files) {
    std::vector<TableViews> views(files);
    TableViews* file = nullptr;
    std::string* table = nullptr;
    for (size_t at = 0; at < out.size();) {
        size_t nl = out.find('\n', at);
        if (nl == std::string::npos) nl = out.size();
        std::string_view line(out.data() + at, nl - at);
        at = nl + 1;
        if (line.rfind("file ", 0) == 0) {
            size_t n = std::stoul(std::string(line.substr(5)));
            file = n < files ? &views[n] : nullptr;
            table = nullptr;
        } else if (file && line.rfind("table ", 0) == 0) {
            std::string_view rest = line.substr(6);
            table = &(*file)[std::string(rest.substr(0, rest.rfind(' ')))];
            *table += std::string(line) + "\n";
        } else if (file && line.rfind("error ", 0) == 0) {
            (*file)["error"] += std::string(line) + "\n";
        } else if (table) {
            *table += std::string(line) + "\n";
        }
    }
    return views;
}

// The first line where two texts differ, shortened, for a readable failure.
inline std::string FirstDifference(const std::string& a, const std::string& b) {
    size_t line = 0, at = 0;
    while (at < a.size() && at < b.size()) {
        size_t ea = a.find('\n', at), eb = b.find('\n', at);
        if (a.compare(at, ea - at, b, at, eb - at) != 0)
            return "line " + std::to_string(line) + ":\n  " +
                   a.substr(at, std::min<size_t>(ea - at, 300)) + "\n  " +
                   b.substr(at, std::min<size_t>(eb - at, 300));
        at = ea + 1;
        ++line;
        if (ea == std::string::npos || eb == std::string::npos) break;
    }
    return "lengths " + std::to_string(a.size()) + " and " + std::to_string(b.size());
}

} // namespace jetreadback
