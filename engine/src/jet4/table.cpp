#include "jet4/table.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "jet4/bytes.h"
#include "jet4/format.h"
#include "jet4/index_keys.h"
#include "jet4/page_file.h"
#include "jet4/usage_map.h"

namespace engine::detail::jet4 {

namespace {

constexpr size_t kMaxRowsPerPage = 255;
constexpr size_t kMaxInlineLong = 64; // long values up to this length may stay in the record
constexpr size_t kLongFieldSize = 12;

bool IsVariableType(uint8_t t) {
    return t == kBinary || t == kText || t == kOle || t == kMemo;
}
bool IsLongType(uint8_t t) {
    return t == kOle || t == kMemo;
}

// A data or long-value page being filled: row offsets grow from the header, rows from the end.
class RowPage {
  public:
    RowPage(const Format& format, uint32_t owner, bool longValues)
        : fmt_(format), end_(format.pageSize), free_(format.pageSize - format.rowsStart) {
        page_.assign(fmt_.pageSize, '\0');
        page_[0] = 0x01;
        page_[1] = 0x01;
        if (longValues)
            page_.replace(4, 4, "LVAL");
        else
            Put32(page_, 4, owner);
        Put16(page_, 2, static_cast<uint32_t>(free_));
    }
    bool Fits(size_t rowBytes) const { return rows_ < kMaxRowsPerPage && rowBytes + 2 <= free_; }
    uint8_t Add(const std::string& row) {
        end_ -= row.size();
        page_.replace(end_, row.size(), row);
        Put16(page_, fmt_.rowsStart + 2 * rows_, static_cast<uint32_t>(end_));
        free_ -= row.size() + 2;
        ++rows_;
        Put16(page_, fmt_.rowCountAt, static_cast<uint32_t>(rows_));
        Put16(page_, 2, static_cast<uint32_t>(free_));
        return static_cast<uint8_t>(rows_ - 1);
    }
    bool Empty() const { return rows_ == 0; }
    const std::string& Bytes() const { return page_; }

  private:
    const Format& fmt_;
    std::string page_;
    size_t rows_ = 0;
    size_t end_;
    size_t free_;
};

// Pages of one kind of rows (the records, or one column's long values), with the usage maps
// that list them: every page owned, and the page still open for more rows as the one with
// free space.
class RowPages {
  public:
    RowPages(PageFile& file, uint32_t owner, bool longValues)
        : file_(file), owner_(owner), longValues_(longValues) {}

    // Places a row; returns its page and row number.
    std::pair<uint32_t, uint8_t> Add(const std::string& row) {
        if (!current_ || !current_->Fits(row.size())) Open();
        return {pageNumber_, current_->Add(row)};
    }
    // A page of its own for one row of a chain.
    uint32_t AddAlone(const std::string& row) {
        RowPage page(file_.Fmt(), owner_, longValues_);
        page.Add(row);
        uint32_t n = file_.Allocate();
        file_.Write(n, page.Bytes());
        owned_.push_back(n);
        return n;
    }
    void Finish() {
        if (current_) file_.Write(pageNumber_, current_->Bytes());
    }
    const std::vector<uint32_t>& Owned() const { return owned_; }
    std::vector<uint32_t> WithFreeSpace() const {
        return current_ ? std::vector<uint32_t>{pageNumber_} : std::vector<uint32_t>{};
    }

  private:
    void Open() {
        if (current_) file_.Write(pageNumber_, current_->Bytes());
        current_ = std::make_unique<RowPage>(file_.Fmt(), owner_, longValues_);
        pageNumber_ = file_.Allocate();
        owned_.push_back(pageNumber_);
    }

    PageFile& file_;
    uint32_t owner_;
    bool longValues_;
    std::unique_ptr<RowPage> current_;
    uint32_t pageNumber_ = 0;
    std::vector<uint32_t> owned_;
};

std::string LongField(uint32_t length, uint8_t kind, uint32_t page, uint8_t row) {
    std::string f;
    Append32(f, (length & 0xFFFFFF) | (uint32_t(kind) << 24));
    Append32(f, (page << 8) | row);
    Append32(f, 0);
    return f;
}

// The bytes a value of a variable or long column holds (text as the format stores it), into out.
void VariableBytes(const Format& fmt, const Column& c, const Variant& v, const std::string& table,
                   std::string& out) {
    out.clear();
    if (c.type == kText || c.type == kMemo) {
        if (v.IsString())
            fmt.appendText(v.StringValue(), "テーブル " + table + " のフィールド " + c.name, out);
        else
            fmt.appendText(CStr(v), "テーブル " + table + " のフィールド " + c.name, out);
        return;
    }
    if (v.IsString())
        out.assign(v.StringValue());
    else
        out = CStr(v);
}

void PutFixed(const Format& fmt, std::string& row, size_t at, const Column& c, const Variant& v,
              const std::string& table) {
    switch (c.type) {
    case kByte:
        Put8(row, at, CByte(v));
        break;
    case kInt:
        Put16(row, at, static_cast<uint16_t>(CInt(v)));
        break;
    // The values read from a table have the column's type already: no conversion for them.
    case kLong:
        Put32(row, at, static_cast<uint32_t>(v.Type() == VarType::Long ? v.IntValue() : CLng(v)));
        break;
    case kMoney: {
        uint64_t u = static_cast<uint64_t>(CCurScaled(v));
        Put32(row, at, static_cast<uint32_t>(u));
        Put32(row, at + 4, static_cast<uint32_t>(u >> 32));
        break;
    }
    case kFloat:
        Put32(row, at, FloatBits(CSng(v)));
        break;
    case kDouble:
    case kDate: {
        uint64_t u = DoubleBits(c.type == kDate               ? CDate(v)
                                : v.Type() == VarType::Double ? v.RealValue()
                                                              : CDbl(v));
        Put32(row, at, static_cast<uint32_t>(u));
        Put32(row, at + 4, static_cast<uint32_t>(u >> 32));
        break;
    }
    case kGuid:
        row.replace(at, 16, GuidBytes(CStr(v)));
        break;
    case kText: {
        std::string text, blank;
        fmt.appendText(CStr(v), "テーブル " + table + " のフィールド " + c.name, text);
        fmt.appendText(" ", c.name, blank);
        if (text.size() > c.length) Fail(c.name + " の値が列の長さを超えます");
        while (text.size() + blank.size() <= c.length) text += blank;
        row.replace(at, text.size(), text);
        break;
    }
    default:
        break;
    }
}

// Writes a long value out of the record: one row, or a chain of rows each naming the next.
std::string StoreLong(const Format& fmt, RowPages& pages, const std::string& data) {
    if (data.size() <= fmt.maxLongRow) {
        auto [page, row] = pages.Add(data);
        return LongField(static_cast<uint32_t>(data.size()), 0x40, page, row);
    }
    const size_t chunk = fmt.maxLongRow - 4;
    size_t count = (data.size() + chunk - 1) / chunk;
    // Written from the end so that each row can name the page of the next.
    uint32_t next = 0;
    for (size_t i = count; i-- > 0;) {
        std::string row;
        Append32(row, next ? (next << 8) : 0);
        row.append(data, i * chunk, chunk);
        next = pages.AddAlone(row);
    }
    return LongField(static_cast<uint32_t>(data.size()), 0x00, next, 0);
}

// The bytes of a record's variable-column table at most: exact for Jet 4 (end, offsets and count
// in two bytes each); Jet 3's one-byte offsets add a jump entry for every 256 bytes of record.
size_t VarTableBound(const Format& fmt, size_t varCount) {
    if (fmt.columnCountBytes == 2) return 4 + 2 * varCount;
    return 2 + varCount + fmt.maxRow / 256 + 1;
}

struct Encoder {
    const Format& fmt;
    const Table& table;
    std::vector<std::unique_ptr<RowPages>>& longPages; // by column position, for long columns
    size_t fixedEnd = 0;
    size_t varCount = 0;

    // The record's bytes; long values stay inline only when inlineLongs allows.
    // The buffers of one record, kept from record to record.
    std::string mask;
    std::vector<uint16_t> varOffsets;

    void Encode(const std::vector<const Variant*>& values, bool inlineLongs,
                std::vector<std::string>* varData, std::string& row) {
        const auto& cols = table.columns;
        row.clear();
        if (fmt.columnCountBytes == 1)
            Append8(row, static_cast<uint32_t>(cols.size()));
        else
            Append16(row, static_cast<uint32_t>(cols.size()));
        row.append(fixedEnd, '\0');
        mask.assign((cols.size() + 7) / 8, '\0');
        // The null mask is by column number, which a genuine file's definition may order apart
        // from the columns' places in the definition.
        auto present = [&](size_t i) {
            size_t n = cols[i].number;
            mask[n / 8] = static_cast<char>(mask[n / 8] | (1 << (n % 8)));
        };
        varOffsets.assign(varCount, 0);
        for (size_t i = 0; i < cols.size(); ++i) {
            const Column& c = cols[i];
            const Variant& v = *values[i];
            if (c.type == kBool) {
                if (!v.IsNull() && !v.IsEmpty() && CBool(v)) present(i);
                continue;
            }
            if (c.variable || v.IsNull() || v.IsEmpty()) continue;
            PutFixed(fmt, row, fmt.columnCountBytes + c.fixedOffset, c, v, table.name);
            present(i);
        }
        for (size_t i = 0; i < cols.size(); ++i) {
            const Column& c = cols[i];
            if (!c.variable) continue;
            varOffsets[c.varIndex] = static_cast<uint16_t>(row.size());
            const Variant& v = *values[i];
            if (v.IsNull() || v.IsEmpty()) continue;
            present(i);
            const std::string& data = (*varData)[i];
            if (!IsLongType(c.type)) {
                row += data;
                continue;
            }
            if (inlineLongs && data.size() <= kMaxInlineLong) {
                row += LongField(static_cast<uint32_t>(data.size()), 0x80, 0, 0);
                row += data;
            } else {
                row += StoreLong(fmt, *longPages[i], data);
            }
        }
        if (varCount > 0) fmt.appendVarTable(row, varOffsets, mask.size());
        row += mask;
    }

    // Size of the record with every long value out of line, before anything is written.
    size_t OutOfLineSize(const std::vector<const Variant*>& values,
                         const std::vector<std::string>& varData) const {
        size_t n = fmt.columnCountBytes + fixedEnd + (table.columns.size() + 7) / 8 +
                   (varCount ? VarTableBound(fmt, varCount) : 0);
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const Column& c = table.columns[i];
            if (!c.variable || values[i]->IsNull() || values[i]->IsEmpty()) continue;
            n += IsLongType(c.type) ? kLongFieldSize : varData[i].size();
        }
        return n;
    }
};

struct IndexBuild {
    const RealIndex* real;
    std::vector<std::string> entries; // key, then page (3 bytes, big-endian) and row
    // Entries with a Null in some column: a unique index may hold any number of them.
    std::set<std::string> withNull;
};

// Pages of one index, leaves first and then each level of nodes up to the root.
struct IndexPages {
    uint32_t root = 0;
    std::vector<uint32_t> pages;
    uint32_t distinctKeys = 0;
};

std::string IndexPage(const Format& fmt, bool leaf, uint32_t tdef,
                      const std::vector<std::string>& entries, size_t from, size_t to,
                      uint32_t prev, uint32_t next, uint32_t tail) {
    std::string p(fmt.pageSize, '\0');
    p[0] = leaf ? 0x04 : 0x03;
    p[1] = 0x01;
    Put32(p, 4, tdef);
    Put32(p, fmt.indexPrevAt, prev);
    Put32(p, fmt.indexPrevAt + 4, next);
    Put32(p, fmt.indexPrevAt + 8, tail);
    size_t used = 0;
    for (size_t i = from; i < to; ++i) {
        p.replace(fmt.entriesAt + used, entries[i].size(), entries[i]);
        used += entries[i].size();
        p[fmt.entryMaskAt + used / 8] =
            static_cast<char>(p[fmt.entryMaskAt + used / 8] | (1 << (used % 8)));
    }
    Put16(p, 2, static_cast<uint32_t>(fmt.pageSize - fmt.entriesAt - used));
    return p;
}

IndexPages WriteIndex(PageFile& file, uint32_t tdef, std::vector<std::string> level, bool leaf) {
    const Format& fmt = file.Fmt();
    const size_t kEntrySpace = fmt.pageSize - fmt.entriesAt;
    IndexPages out;
    for (;;) {
        // Split the level into pages of whole entries.
        std::vector<std::pair<size_t, size_t>> spans;
        size_t start = 0, used = 0;
        for (size_t i = 0; i < level.size(); ++i) {
            if (level[i].size() > kEntrySpace) Fail("インデックスのキーが長すぎます");
            if (used + level[i].size() > kEntrySpace) {
                spans.emplace_back(start, i);
                start = i;
                used = 0;
            }
            used += level[i].size();
        }
        spans.emplace_back(start, level.size());
        std::vector<uint32_t> numbers;
        for (size_t k = 0; k < spans.size(); ++k) numbers.push_back(file.Allocate());
        std::vector<std::string> parents;
        for (size_t k = 0; k < spans.size(); ++k) {
            uint32_t prev = k ? numbers[k - 1] : 0,
                     next = k + 1 < spans.size() ? numbers[k + 1] : 0;
            auto [from, to] = spans[k];
            uint32_t tail = 0;
            if (!leaf && to > from) tail = Get32BE(level[to - 1], level[to - 1].size() - 4);
            file.Write(numbers[k], IndexPage(fmt, leaf, tdef, level, from, to, prev, next, tail));
            out.pages.push_back(numbers[k]);
            if (to > from) {
                // A node entry: the child's last entry (with its record), then the child page.
                std::string e =
                    leaf ? level[to - 1] : level[to - 1].substr(0, level[to - 1].size() - 4);
                AppendBe32(e, numbers[k]);
                parents.push_back(std::move(e));
            }
        }
        if (numbers.size() == 1) {
            out.root = numbers[0];
            return out;
        }
        level = std::move(parents);
        leaf = false;
    }
}

} // namespace

namespace {
// Decodes UTF-8, handing each UTF-16 code unit to put; a malformed sequence fails the write.
template <class Put> void DecodeUtf8(std::string_view s, const std::string& what, Put&& put) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            put(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        uint32_t cp;
        size_t n;
        if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            n = 4;
        } else
            Fail(what + " のテキストが UTF-8 として正しくありません");
        if (i + n > s.size()) Fail(what + " のテキストが UTF-8 として正しくありません");
        for (size_t k = 1; k < n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) Fail(what + " のテキストが UTF-8 として正しくありません");
            cp = (cp << 6) | (d & 0x3F);
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 | (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
}
} // namespace

std::u16string ToUtf16(const std::string& s, const std::string& what) {
    std::u16string out;
    out.reserve(s.size());
    DecodeUtf8(s, what, [&](char16_t c) { out.push_back(c); });
    return out;
}

void AppendUtf16Le(std::string_view utf8, const std::string& what, std::string& out) {
    // At most one code unit per byte of UTF-8: room for all of them first, then cut to size.
    size_t at = out.size();
    out.resize(at + 2 * utf8.size());
    // p is never handed to a call, so that it stays in a register: the byte stores could
    // otherwise change it, as far as the compiler knows, and it would be read back after each.
    char* p = out.data() + at;
    // One-byte and three-byte sequences (ASCII, kana and kanji) directly; the rest one by one.
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    size_t i = 0, n = utf8.size();
    while (i < n) {
        unsigned c = s[i], unit;
        if (c < 0x80) {
            unit = c;
            ++i;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 &&
                   (s[i + 2] & 0xC0) == 0x80) {
            unit = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            i += 3;
        } else {
            size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF8) == 0xF0 ? 4 : 1;
            char16_t units[2];
            size_t count = 0;
            DecodeUtf8(utf8.substr(i, std::min(len, n - i)), what,
                       [&](char16_t u) { units[count++] = u; });
            i += len;
            if (count == 0) continue;
            if (count == 2) {
                *p++ = static_cast<char>(units[0] & 0xFF);
                *p++ = static_cast<char>(units[0] >> 8);
            }
            unit = units[count - 1];
        }
        *p++ = static_cast<char>(unit & 0xFF);
        *p++ = static_cast<char>(unit >> 8);
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

std::string Utf16LeBytes(const std::u16string& text) {
    std::string b;
    b.reserve(text.size() * 2);
    for (char16_t c : text) Append16(b, c);
    return b;
}

void LayOut(Table& table) {
    uint16_t fixed = 0, var = 0;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        Column& c = table.columns[i];
        c.number = static_cast<uint16_t>(i);
        // A fixed-length text column keeps its value in the fixed area, padded with blanks.
        c.variable = IsVariableType(c.type) && !(c.type == kText && (c.flags & kFlagFixed));
        if (c.variable) {
            c.flags = static_cast<uint8_t>(c.flags & ~kFlagFixed);
            c.varIndex = var++;
            c.fixedOffset = 0;
        } else {
            c.flags |= kFlagFixed;
            c.fixedOffset = c.type == kBool ? 0 : fixed;
            if (c.type != kBool) fixed = static_cast<uint16_t>(fixed + c.length);
        }
    }
}

// The Jet 4 table definition: the header with its counts and usage maps, then columns, their
// names, the real and the logical indexes, the index names and the long-value columns' maps.
std::string Jet4Definition(const Table& table, const DefinitionParts& parts) {
    const auto& cols = table.columns;
    const std::vector<MapPlace>& places = *parts.places;
    std::string d(63, '\0');
    d[0] = 0x02;
    d[1] = 0x01;
    Put32(d, 12, 1625);
    Put32(d, 16, parts.rowCount);
    Put32(d, 20, table.lastAutoNumber);
    d[24] = 0x01;
    d[40] = table.system ? 0x53 : 0x4E;
    Put16(d, 41, static_cast<uint32_t>(cols.size()));
    Put16(d, 43, static_cast<uint32_t>(parts.varCount));
    Put16(d, 45, static_cast<uint32_t>(cols.size()));
    Put32(d, 47, static_cast<uint32_t>(table.indexes.size()));
    Put32(d, 51, static_cast<uint32_t>(table.realIndexes.size()));
    Put32(d, 55, places[0].Ref());
    Put32(d, 59, places[1].Ref());
    for (uint32_t distinct : parts.distinctKeys) {
        Append32(d, 0);
        Append32(d, distinct);
        Append32(d, 0);
    }
    for (const auto& c : cols) {
        Append8(d, c.type);
        Append32(d, 1625);
        Append16(d, c.number);
        Append16(d, c.variable ? c.varIndex : 0);
        Append16(d, c.number);
        if (c.type == kText || c.type == kMemo) {
            Append32(d, 0x0409); // the General sort order
        } else {
            Append32(d, 0);
        }
        Append8(d, c.flags);
        Append8(d, 0);
        Append32(d, 0);
        Append16(d, c.fixedOffset);
        Append16(d, c.length);
    }
    auto appendName = [&](const std::string& name) {
        std::string b = Utf16LeBytes(ToUtf16(name, table.name));
        Append16(d, static_cast<uint32_t>(b.size()));
        d += b;
    };
    for (const auto& c : cols) appendName(c.name);
    for (size_t k = 0; k < table.realIndexes.size(); ++k) {
        const RealIndex& r = table.realIndexes[k];
        Append32(d, 1923);
        for (size_t i = 0; i < 10; ++i) {
            if (i < r.columns.size()) {
                Append16(d, cols[r.columns[i].column].number);
                Append8(d, r.columns[i].descending ? 0x00 : 0x01);
            } else {
                Append16(d, 0xFFFF);
                Append8(d, 0);
            }
        }
        Append32(d, places[2 + k].Ref());
        Append32(d, parts.roots[k]);
        Append32(d, 0);
        Append8(d, r.flags | kIndexAlways);
        d.append(5, '\0');
    }
    for (size_t k = 0; k < table.indexes.size(); ++k) {
        const LogicalIndex& x = table.indexes[k];
        Append32(d, 1625);
        Append32(d, static_cast<uint32_t>(k));
        Append32(d, x.real);
        Append8(d, 0);
        Append32(d, 0xFFFFFFFF);
        Append32(d, 0);
        Append8(d, 0x04);
        Append8(d, 0x04);
        Append8(d, x.primary ? 0x01 : 0x00);
        Append32(d, 0);
    }
    for (const auto& x : table.indexes) appendName(x.name);
    size_t lv = 2 + table.realIndexes.size();
    for (const auto& c : cols) {
        if (!IsLongType(c.type)) continue;
        Append16(d, c.number);
        Append32(d, places[lv++].Ref());
        Append32(d, places[lv++].Ref());
    }
    Append16(d, 0xFFFF);
    Put32(d, 8, static_cast<uint32_t>(d.size()));

    return d;
}

TableContent WriteTableContent(PageFile& file, const Table& table, uint32_t tdefPage,
                               const RowSource& source) {
    const Format& fmt = file.Fmt();
    const auto& cols = table.columns;
    RowPages data(file, tdefPage, false);
    std::vector<std::unique_ptr<RowPages>> longPages(cols.size());
    Encoder enc{fmt, table, longPages, 0, 0, {}, {}};
    for (size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].variable)
            ++enc.varCount;
        else if (cols[i].type != kBool)
            enc.fixedEnd = std::max<size_t>(enc.fixedEnd, cols[i].fixedOffset + cols[i].length);
        if (IsLongType(cols[i].type))
            longPages[i] = std::make_unique<RowPages>(file, tdefPage, true);
    }
    std::vector<IndexBuild> indexes;
    for (const auto& r : table.realIndexes) indexes.push_back({&r, {}, {}});

    std::vector<const Variant*> values(cols.size());
    std::vector<std::string> varData(cols.size()); // filled for the variable columns alone
    std::vector<size_t> variable, longValues;      // positions of those columns, and the long ones
    for (size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].variable) variable.push_back(i);
        if (IsLongType(cols[i].type)) longValues.push_back(i);
    }
    std::string row;
    uint32_t count = 0;
    while (source(values)) {
        for (size_t i : variable) {
            varData[i].clear();
            if (!values[i]->IsNull() && !values[i]->IsEmpty()) {
                VariableBytes(fmt, cols[i], *values[i], table.name, varData[i]);
                if (IsLongType(cols[i].type) ? varData[i].size() > 0xFFFFFF
                                             : varData[i].size() > cols[i].length)
                    Fail(table.name + "." + cols[i].name + " の値が列の長さを超えます");
            }
        }
        size_t outOfLine = enc.OutOfLineSize(values, varData);
        if (outOfLine > fmt.maxRow)
            Fail("テーブル " + table.name + " のレコードが 1 ページに収まりません");
        // Short long values stay in the record when all of them fit there.
        size_t withInline = outOfLine;
        for (size_t i : longValues)
            if (!values[i]->IsNull() && !values[i]->IsEmpty() &&
                varData[i].size() <= kMaxInlineLong)
                withInline += varData[i].size();
        enc.Encode(values, withInline <= fmt.maxRow, &varData, row);
        auto [page, rowNumber] = data.Add(row);
        ++count;
        for (auto& ix : indexes) {
            bool allNull = true, anyNull = false;
            std::string key;
            for (const auto& ic : ix.real->columns) {
                const Variant& v = *values[ic.column];
                bool isNull = (v.IsNull() || v.IsEmpty()) && cols[ic.column].type != kBool;
                allNull &= isNull;
                anyNull |= isNull;
                AppendIndexKey(fmt, cols[ic.column].type, v, !ic.descending, key);
            }
            if (allNull && (ix.real->flags & kIndexIgnoreNulls)) continue;
            Append8(key, page >> 16);
            Append8(key, page >> 8);
            Append8(key, page);
            Append8(key, rowNumber);
            if (anyNull && (ix.real->flags & kIndexUnique)) ix.withNull.insert(key);
            ix.entries.push_back(std::move(key));
        }
    }
    data.Finish();
    for (auto& lp : longPages)
        if (lp) lp->Finish();

    std::vector<IndexPages> written;
    for (auto& ix : indexes) {
        std::sort(ix.entries.begin(), ix.entries.end());
        uint32_t distinct = 0;
        for (size_t i = 0; i < ix.entries.size(); ++i) {
            bool same = i > 0 &&
                        ix.entries[i].compare(0, ix.entries[i].size() - 4, ix.entries[i - 1], 0,
                                              ix.entries[i - 1].size() - 4) == 0 &&
                        ix.entries[i].size() == ix.entries[i - 1].size();
            if (!same)
                ++distinct;
            else if ((ix.real->flags & kIndexUnique) && !ix.withNull.count(ix.entries[i]))
                Fail("テーブル " + table.name + " の固有インデックスに重複する値があります");
        }
        IndexPages pages = WriteIndex(file, tdefPage, std::move(ix.entries), true);
        pages.distinctKeys = distinct;
        written.push_back(std::move(pages));
        ix.entries.clear();
    }

    // Usage maps: the records' pages and the open one, each index's pages, and two per long column.
    std::vector<std::vector<uint32_t>> maps;
    maps.push_back(data.Owned());
    maps.push_back(data.WithFreeSpace());
    for (const auto& w : written) maps.push_back(w.pages);
    for (auto& lp : longPages) {
        if (!lp) continue;
        maps.push_back(lp->Owned());
        maps.push_back(lp->WithFreeSpace());
    }
    TableContent content;
    content.rows = count;
    content.varCount = enc.varCount;
    for (const MapPlace& p : WriteUsageMaps(file, maps)) content.maps.push_back(p.Ref());
    for (const auto& w : written) content.indexes.push_back({w.root, w.distinctKeys});
    return content;
}

void WriteDefinition(PageFile& file, const Table& table, uint32_t tdefPage,
                     const TableContent& content) {
    const Format& fmt = file.Fmt();
    std::vector<MapPlace> places;
    for (uint32_t ref : content.maps)
        places.push_back({ref >> 8, static_cast<uint8_t>(ref & 0xFF)});
    DefinitionParts parts;
    parts.rowCount = content.rows;
    parts.varCount = content.varCount;
    parts.places = &places;
    for (const auto& w : content.indexes) {
        parts.roots.push_back(w.root);
        parts.distinctKeys.push_back(w.distinctKeys);
    }
    std::string d = fmt.definition(table, parts);
    const size_t pageSize = fmt.pageSize;

    // Split over continuation pages: each carries the definition's next bytes after 8 of its own.
    std::vector<uint32_t> pages{tdefPage};
    size_t firstPart = std::min(d.size(), pageSize);
    size_t rest = d.size() - firstPart;
    while (rest > 0) {
        pages.push_back(file.Allocate());
        rest -= std::min(rest, pageSize - 8);
    }
    size_t at = 0;
    for (size_t k = 0; k < pages.size(); ++k) {
        std::string p(pageSize, '\0');
        size_t n;
        if (k == 0) {
            n = firstPart;
            p.replace(0, n, d, 0, n);
        } else {
            n = std::min(d.size() - at, pageSize - 8);
            p[0] = 0x02;
            p[1] = 0x01;
            p.replace(8, n, d, at, n);
            if (fmt.tdefMark) p.replace(2, 2, fmt.tdefMark);
        }
        at += n;
        size_t used = k == 0 ? n : n + 8;
        if (!fmt.tdefMark) Put16(p, 2, static_cast<uint32_t>(pageSize - used));
        Put32(p, 4, k + 1 < pages.size() ? pages[k + 1] : 0);
        file.Write(pages[k], p);
    }
}

uint32_t WriteTable(PageFile& file, const Table& table, uint32_t tdefPage, const RowSource& rows) {
    TableContent content = WriteTableContent(file, table, tdefPage, rows);
    WriteDefinition(file, table, tdefPage, content);
    return content.rows;
}

} // namespace engine::detail::jet4
