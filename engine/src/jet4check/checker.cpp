#include "jet4check/checker.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>

#include "engine/text932.h"
#include "jet/jet_format.h"
#include "jet4check/stored_keys.h"

namespace engine::detail::jet4check {

namespace {

// Where the two versions keep what the checks read. The checker keeps a description of its own,
// apart from the writer's, so that a wrong offset in one is not copied into the other.
struct Layout {
    int version; // the header's version byte
    size_t page;
    size_t rowCountAt, rowsStart; // data pages
    size_t columnCountBytes;      // a record's column count, and its variable offsets
    // Table definitions.
    size_t tdefRows, tdefMaxCols, tdefVarCols, tdefCols, tdefLogical, tdefReal, tdefOwned, tdefFree;
    size_t tdefHead, realPre; // the fixed part; bytes per real index before the columns
    size_t column, colNumber, colVarIndex, colFlags, colFixedOffset, colLength;
    size_t nameLengthBytes;
    size_t real, realColumns, realMap, realRoot, realFlags;
    size_t logical, logicalReal, logicalType;
    // Index pages.
    size_t indexPrev, indexPrefix, entryMask, entries;
};
constexpr Layout kJet4{1, 4096, 12, 14, 2, 16, 41, 43, 45, 47, 51, 55, 59, 63, 12, 25, 5,
                       7, 15,   21, 23, 2, 52, 4,  34, 38, 46, 28, 8,  23, 12, 24, 27, 480};
constexpr Layout kJet3{0, 2048, 8,  10, 1, 12, 21, 23, 25, 27, 31, 35, 39, 43, 8,  18,   1,
                       3, 13,   14, 16, 1, 39, 0,  30, 34, 38, 20, 4,  19, 8,  20, 0x16, 0xF8};

uint32_t U8(std::string_view b, size_t at) {
    return at < b.size() ? static_cast<unsigned char>(b[at]) : 0;
}
uint32_t U16(std::string_view b, size_t at) {
    return U8(b, at) | U8(b, at + 1) << 8;
}
uint32_t U32(std::string_view b, size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}
std::string N(uint32_t v) {
    return std::to_string(v);
}

struct Column {
    uint8_t type = 0;
    uint16_t number = 0, varIndex = 0, fixedOffset = 0, length = 0;
    uint8_t flags = 0;
    std::string name;
    bool Fixed() const { return flags & 0x01; }
    bool Long() const { return type == 11 || type == 12; }
};
struct RealIndex {
    std::vector<std::pair<uint16_t, bool>> columns; // column number, descending
    uint32_t umap = 0, root = 0;
    uint8_t flags = 0;
    bool foreignOnly = true; // only relationships' (foreign key) logical indexes use it
};
struct LongColumn {
    uint16_t number = 0;
    uint32_t owned = 0, free = 0;
};
struct Tdef {
    std::string name;
    uint32_t page = 0;
    std::vector<uint32_t> pages;
    uint32_t rowCount = 0;
    uint16_t maxCols = 0, varCols = 0;
    uint32_t owned = 0, free = 0;
    std::vector<Column> columns;
    std::vector<RealIndex> real;
    std::vector<LongColumn> longColumns;
    const Column* ByNumber(uint16_t n) const {
        for (const auto& c : columns)
            if (c.number == n) return &c;
        return nullptr;
    }
};

// One record's columns as stored: present or not, and the bytes.
struct Record {
    uint32_t page = 0;
    uint8_t row = 0;
    std::map<uint16_t, std::string_view> values; // present columns (Boolean true included)
    std::map<uint16_t, std::string> longData;    // whole long values of indexed long columns
};

class Checker {
  public:
    const Layout* L = &kJet4;
    size_t kPage = 4096;
    uint32_t kMapBitsPerPage = (4096 - 4) * 8;

    explicit Checker(const std::string& path) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in) throw std::runtime_error("cannot open " + path);
        data_.resize(static_cast<size_t>(in.tellg()));
        in.seekg(0);
        if (!in.read(data_.data(), static_cast<std::streamsize>(data_.size())))
            throw std::runtime_error("cannot read " + path);
        if (data_.size() > 0x14 && U8(data_, 0x14) == 0) L = &kJet3;
        kPage = L->page;
        kMapBitsPerPage = static_cast<uint32_t>((kPage - 4) * 8);
        if (data_.size() < 2 * kPage || data_.size() % kPage != 0 || U8(data_, 0x14) > 1)
            throw std::runtime_error(path + " is not a Jet 3 or Jet 4 file");
        count_ = static_cast<uint32_t>(data_.size() / kPage);
    }

    std::string_view Page(uint32_t n) const {
        if (n >= count_) return {};
        return std::string_view(data_).substr(size_t(n) * kPage, kPage);
    }

    void Problem(const std::string& p) { report_.problems.push_back(p); }
    void Warning(const std::string& p) { report_.warnings.push_back(p); }

    // Claims a page for one owner; a second claim is a fault.
    void Claim(uint32_t page, const std::string& owner) {
        if (page >= count_)
            return Problem(owner + ": page " + N(page) + " is past the end of the file");
        auto [it, added] = owners_.emplace(page, owner);
        if (!added && it->second != owner)
            Problem("page " + N(page) + " owned by " + it->second + " and " + owner);
    }

    // Rows of a data page: offset, end and flag bits of each.
    struct Row {
        size_t start = 0, end = 0;
        uint32_t flags = 0;
    };
    std::vector<Row> Rows(uint32_t page, const std::string& what) {
        std::vector<Row> rows;
        std::string_view p = Page(page);
        if (p.empty() || U8(p, 0) != 1) {
            Problem(what + ": page " + N(page) + " is not a data page");
            return rows;
        }
        uint32_t n = U16(p, L->rowCountAt);
        size_t end = kPage, used = L->rowsStart + 2 * size_t(n);
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t raw = U16(p, L->rowsStart + 2 * i);
            Row r{raw & 0x1FFF, end, raw & 0xE000};
            if (r.start < L->rowsStart + 2 * size_t(n) || r.start > r.end) {
                Problem(what + ": page " + N(page) + " row " + N(i) + " has a bad offset");
                return {};
            }
            used += r.end - r.start;
            end = r.start;
            rows.push_back(r);
        }
        if (U16(p, 2) != kPage - used)
            Problem(what + ": page " + N(page) + " gives free space " + N(U16(p, 2)) + ", not " +
                    N(static_cast<uint32_t>(kPage - used)));
        return rows;
    }

    std::string_view RowBytes(uint32_t page, uint32_t row, const std::string& what,
                              uint32_t* flags = nullptr) {
        auto rows = Rows(page, what);
        if (row >= rows.size()) {
            Problem(what + ": row " + N(row) + " of page " + N(page) + " does not exist");
            return {};
        }
        if (flags) *flags = rows[row].flags;
        return Page(page).substr(rows[row].start, rows[row].end - rows[row].start);
    }

    // The pages a usage map names; the page holding its row is noted as a map page.
    std::set<uint32_t> Map(uint32_t ref, const std::string& what) {
        std::set<uint32_t> pages;
        if (ref == 0) return pages; // no map (Jet leaves some free-space maps out)
        uint32_t hostPage = ref >> 8, row = ref & 0xFF;
        mapHosts_.insert(hostPage);
        std::string_view m = RowBytes(hostPage, row, what + " usage map");
        if (m.size() < 5) {
            if (!m.empty()) Problem(what + ": usage map row too short");
            return pages;
        }
        if (U8(m, 0) == 0) {
            uint32_t start = U32(m, 1);
            for (size_t i = 5; i < m.size(); ++i)
                for (int b = 0; b < 8; ++b)
                    if (U8(m, i) & (1u << b))
                        pages.insert(start + uint32_t((i - 5) * 8 + size_t(b)));
        } else if (U8(m, 0) == 1) {
            for (size_t k = 0; 1 + 4 * k + 4 <= m.size(); ++k) {
                uint32_t mp = U32(m, 1 + 4 * k);
                if (!mp) continue;
                std::string_view p = Page(mp);
                if (p.empty() || U8(p, 0) != 5) {
                    Problem(what + ": usage map page " + N(mp) + " is not a map page");
                    continue;
                }
                Claim(mp, what + " usage map");
                for (size_t i = 4; i < kPage; ++i)
                    for (int b = 0; b < 8; ++b)
                        if (U8(p, i) & (1u << b))
                            pages.insert(uint32_t(k * kMapBitsPerPage + (i - 4) * 8 + size_t(b)));
            }
        } else {
            Problem(what + ": usage map of unknown type " + N(U8(m, 0)));
        }
        return pages;
    }

    std::optional<Tdef> ReadTdef(uint32_t page, const std::string& name) {
        Tdef t;
        t.name = name;
        t.page = page;
        std::string buf;
        for (uint32_t p = page; p; p = U32(Page(p), 4)) {
            std::string_view pg = Page(p);
            if (pg.empty() || U8(pg, 0) != 2 || t.pages.size() > 64 ||
                std::find(t.pages.begin(), t.pages.end(), p) != t.pages.end()) {
                Problem("table " + name + ": definition page " + N(p) + " is not one");
                return std::nullopt;
            }
            t.pages.push_back(p);
            buf.append(p == page ? pg : pg.substr(8));
        }
        std::string_view b = buf;
        if (U32(b, 8) > b.size()) {
            Problem("table " + name + ": definition length past its pages");
            return std::nullopt;
        }
        t.rowCount = U32(b, L->tdefRows);
        t.maxCols = static_cast<uint16_t>(U16(b, L->tdefMaxCols));
        t.varCols = static_cast<uint16_t>(U16(b, L->tdefVarCols));
        uint32_t ncols = U16(b, L->tdefCols), nlog = U32(b, L->tdefLogical),
                 nreal = U32(b, L->tdefReal);
        t.owned = U32(b, L->tdefOwned);
        t.free = U32(b, L->tdefFree);
        if (ncols > 255 || nlog > 64 || nreal > 64) {
            Problem("table " + name + ": definition counts out of range");
            return std::nullopt;
        }
        size_t at = L->tdefHead + L->realPre * size_t(nreal);
        for (uint32_t i = 0; i < ncols; ++i, at += L->column) {
            Column c;
            c.type = static_cast<uint8_t>(U8(b, at));
            c.number = static_cast<uint16_t>(U16(b, at + L->colNumber));
            c.varIndex = static_cast<uint16_t>(U16(b, at + L->colVarIndex));
            c.flags = static_cast<uint8_t>(U8(b, at + L->colFlags));
            c.fixedOffset = static_cast<uint16_t>(U16(b, at + L->colFixedOffset));
            c.length = static_cast<uint16_t>(U16(b, at + L->colLength));
            t.columns.push_back(c);
        }
        // Names: Jet 4's in UTF-16 after two bytes of length, Jet 3's in code page 932 after one.
        auto name16 = [&](std::string& out) {
            uint32_t len = L->nameLengthBytes == 1 ? U8(b, at) : U16(b, at);
            std::string_view raw = b.substr(std::min(b.size(), at + L->nameLengthBytes), len);
            auto s = L->version == 0 ? cp932::ToUtf8(raw) : jet::Utf16LeToUtf8(raw);
            out = s ? *s : "?";
            at += L->nameLengthBytes + len;
        };
        for (auto& c : t.columns) name16(c.name);
        for (uint32_t i = 0; i < nreal; ++i, at += L->real) {
            RealIndex r;
            for (size_t k = 0; k < 10; ++k) {
                uint32_t col = U16(b, at + L->realColumns + 3 * k);
                if (col != 0xFFFF)
                    r.columns.push_back(
                        {static_cast<uint16_t>(col), U8(b, at + L->realColumns + 2 + 3 * k) == 0});
            }
            r.umap = U32(b, at + L->realMap);
            r.root = U32(b, at + L->realRoot);
            r.flags = static_cast<uint8_t>(U8(b, at + L->realFlags));
            t.real.push_back(r);
        }
        for (uint32_t i = 0; i < nlog; ++i, at += L->logical) {
            uint32_t real = U32(b, at + L->logicalReal);
            if (real < t.real.size() && U8(b, at + L->logicalType) != 2)
                t.real[real].foreignOnly = false;
        }
        for (uint32_t i = 0; i < nlog; ++i) {
            std::string ignored;
            name16(ignored);
        }
        while (at + 2 <= b.size() && U16(b, at) != 0xFFFF) {
            t.longColumns.push_back(
                {static_cast<uint16_t>(U16(b, at)), U32(b, at + 2), U32(b, at + 6)});
            at += 10;
        }
        if (at + 2 > b.size()) Problem("table " + name + ": definition does not end with FF FF");
        return t;
    }

    // Splits a record into its columns, checking its geometry.
    std::optional<Record> Split(const Tdef& t, std::string_view row, const std::string& where) {
        Record r;
        const size_t cb =
            L->columnCountBytes; // one byte for Jet 3's counts and offsets, two for Jet 4's
        size_t n = cb == 1 ? U8(row, 0) : U16(row, 0);
        size_t maskLen = (n + 7) / 8;
        if (n == 0 || n > t.maxCols || row.size() < cb + maskLen) {
            Problem(where + ": record column count " + N(static_cast<uint32_t>(n)) +
                    " does not fit");
            return std::nullopt;
        }
        std::string_view mask = row.substr(row.size() - maskLen);
        size_t tail = row.size() - maskLen;
        size_t varCount = 0, eod = tail;
        std::vector<size_t> offsets;
        bool hasVar = std::any_of(t.columns.begin(), t.columns.end(),
                                  [](const Column& c) { return !c.Fixed(); });
        size_t tableStart = tail; // where the variable column table begins
        if (hasVar && cb == 2) {
            varCount = U16(row, tail - 2);
            if (4 + 2 * varCount > tail) {
                Problem(where + ": variable column table past the record");
                return std::nullopt;
            }
            eod = U16(row, tail - 4 - 2 * varCount);
            for (size_t k = 0; k < varCount; ++k) offsets.push_back(U16(row, tail - 4 - 2 * k));
            offsets.push_back(eod);
            tableStart = tail - 4 - 2 * varCount;
        } else if (hasVar) {
            // Jet 3: count, then the jump table (one entry per 256 bytes of record, the one
            // furthest from the count unused when the end of data does not need it), then the
            // offsets from the first column's back to the end of data, one byte each.
            varCount = U8(row, tail - 1);
            size_t jumps = (row.size() - 1) / 256;
            if (2 + varCount + jumps > tail) {
                Problem(where + ": variable column table past the record");
                return std::nullopt;
            }
            size_t first = tail - 1 - jumps - 1; // the first column's offset
            tableStart = first - varCount;
            size_t used = jumps;
            // The end of data sits where the table begins: when that is short of the last
            // entry's boundary, the entry is the unused one.
            if (jumps > 0 && tableStart / 256 < jumps) {
                --used;
                if (U8(row, tail - 1 - jumps) != 0xFF) {
                    Problem(where + ": unused jump table entry is not FF");
                    return std::nullopt;
                }
            }
            size_t high = 0;
            for (size_t i = 0; i <= varCount; ++i) {
                while (high < used && U8(row, tail - 2 - high) == i) ++high;
                offsets.push_back(U8(row, first - i) + 256 * high);
            }
            if (high != used) {
                Problem(where + ": jump table names no offset");
                return std::nullopt;
            }
            eod = offsets.back();
        }
        if (hasVar) {
            for (size_t k = 0; k + 1 < offsets.size(); ++k)
                if (offsets[k] > offsets[k + 1] || offsets[k + 1] > tableStart) {
                    Problem(where + ": variable column offsets out of order");
                    return std::nullopt;
                }
            if (!offsets.empty() && offsets[0] < cb) {
                Problem(where + ": variable column offsets out of order");
                return std::nullopt;
            }
        }
        for (const auto& c : t.columns) {
            bool present = c.number < n && (U8(mask, c.number / 8) & (1u << (c.number % 8)));
            if (c.type == 1) {
                if (present) r.values[c.number] = {};
                continue;
            }
            if (!present) continue;
            if (c.Fixed()) {
                if (cb + size_t(c.fixedOffset) + c.length >
                    (hasVar && !offsets.empty() ? offsets[0] : tail)) {
                    Problem(where + ": fixed column " + c.name + " past the fixed area");
                    continue;
                }
                r.values[c.number] = row.substr(cb + c.fixedOffset, c.length);
            } else if (c.varIndex < varCount) {
                r.values[c.number] =
                    row.substr(offsets[c.varIndex], offsets[c.varIndex + 1] - offsets[c.varIndex]);
            } else {
                Problem(where + ": column " + c.name + " marked present without data");
            }
        }
        return r;
    }

    // Checks a long value's field and rows; with data, also gathers the value's bytes.
    void CheckLongValue(const Tdef& t, const Column& c, std::string_view field,
                        const std::set<uint32_t>& pages, const std::string& where,
                        std::string* data = nullptr) {
        if (field.size() < 12)
            return Problem(where + ": long value field of " + c.name + " too short");
        uint32_t len = U32(field, 0) & 0xFFFFFF, kind = U8(field, 3);
        uint32_t ref = U32(field, 4);
        if (kind == 0x80) {
            if (field.size() != 12 + size_t(len))
                Problem(where + ": inline long value of " + c.name + " has the wrong length");
            if (data) data->assign(field.substr(12));
            return;
        }
        size_t total = 0;
        for (int guard = 0; ref; ++guard) {
            uint32_t page = ref >> 8, row = ref & 0xFF;
            if (!pages.count(page))
                Problem(where + ": long value page " + N(page) + " of " + c.name +
                        " is not in its usage map");
            std::string_view p = Page(page);
            if (p.substr(4, 4) != "LVAL")
                return Problem(where + ": long value page " + N(page) + " is not marked LVAL");
            std::string_view r = RowBytes(page, row, t.name);
            if (kind == 0x40) {
                if (r.size() != len)
                    Problem(where + ": long value row of " + c.name + " has the wrong length");
                if (data) data->assign(r);
                return;
            }
            if (r.size() < 4 || guard > 5000)
                return Problem(where + ": long value chain of " + c.name + " is broken");
            total += r.size() - 4;
            if (data) data->append(r.substr(4));
            ref = U32(r, 0);
        }
        if (kind != 0)
            Problem(where + ": long value of " + c.name + " of unknown kind " + N(kind));
        else if (total != len)
            Problem(where + ": long value chain of " + c.name + " holds " +
                    N(static_cast<uint32_t>(total)) + " bytes, not " + N(len));
    }

    struct Entry {
        std::string bytes; // key and record pointer (and child page in nodes)
        uint32_t child = 0;
    };

    // Bytes the entries after a page's first share with it: two bytes in Jet 4; one in Jet 3,
    // whose node pages carry 01 in the byte after it.
    size_t PrefixLength(std::string_view p) const {
        return L->version == 0 ? U8(p, L->indexPrefix) : U16(p, L->indexPrefix);
    }

    std::vector<Entry> Entries(std::string_view p, bool leaf) {
        std::vector<Entry> out;
        size_t prefixLen = PrefixLength(p), last = 0;
        std::string first;
        for (size_t i = 0; i < L->entries - L->entryMask; ++i)
            for (int b = 0; b < 8; ++b) {
                if (!(U8(p, L->entryMask + i) & (1u << b))) continue;
                size_t end = i * 8 + size_t(b);
                std::string e(p.substr(L->entries + last, end - last));
                if (out.empty())
                    first = e;
                else
                    e = first.substr(0, prefixLen) + e;
                last = end;
                Entry x;
                if (!leaf && e.size() >= 4) {
                    x.child = (U8(e, e.size() - 4) << 24) | (U8(e, e.size() - 3) << 16) |
                              (U8(e, e.size() - 2) << 8) | U8(e, e.size() - 1);
                    e.resize(e.size() - 4);
                }
                x.bytes = std::move(e);
                out.push_back(std::move(x));
            }
        return out;
    }

    // Walks an index tree in order; returns its leaf entries.
    std::vector<std::string> WalkIndex(const Tdef& t, const RealIndex& r,
                                       const std::set<uint32_t>& mapPages,
                                       const std::string& what) {
        std::vector<std::string> leafEntries;
        std::vector<uint32_t> leaves;
        std::set<uint32_t> seen;
        // Depth-first, children in entry order; returns the last entry under the page.
        std::function<std::string(uint32_t, int)> walk = [&](uint32_t page,
                                                             int depth) -> std::string {
            std::string_view p = Page(page);
            if (p.empty() || (U8(p, 0) != 3 && U8(p, 0) != 4) || depth > 32 ||
                !seen.insert(page).second) {
                Problem(what + ": index page " + N(page) + " is not one");
                return {};
            }
            if (U32(p, 4) != t.page)
                Problem(what + ": index page " + N(page) + " names table page " + N(U32(p, 4)));
            if (!mapPages.count(page))
                Problem(what + ": index page " + N(page) + " is not in the index's usage map");
            Claim(page, what);
            bool leaf = U8(p, 0) == 4;
            auto entries = Entries(p, leaf);
            size_t used = 0;
            for (const auto& e : entries) used += e.bytes.size() + (leaf ? 0 : 4);
            if (PrefixLength(p) == 0 && U16(p, 2) != kPage - L->entries - used)
                Problem(what + ": index page " + N(page) + " gives the wrong free space");
            if (leaf) {
                leaves.push_back(page);
                for (auto& e : entries) leafEntries.push_back(e.bytes);
                return entries.empty() ? std::string() : entries.back().bytes;
            }
            std::string lastKey;
            for (const auto& e : entries) {
                std::string childLast = walk(e.child, depth + 1);
                if (childLast != e.bytes)
                    Problem(what + ": node entry on page " + N(page) +
                            " differs from its child's last entry");
                lastKey = e.bytes;
            }
            // The tail page is the last child. Jet may leave it without an entry of its own
            // (then the next page after the last entry's child): its entries follow the others.
            uint32_t tail = U32(p, L->indexPrev + 8);
            if (!entries.empty() && tail != entries.back().child) {
                uint32_t after = U32(Page(entries.back().child), L->indexPrev + 4);
                if (tail != after || tail == 0) {
                    Problem(what + ": node page " + N(page) + " names the wrong tail page");
                } else {
                    std::string tailLast = walk(tail, depth + 1);
                    if (!tailLast.empty() && !lastKey.empty() && !(lastKey < tailLast))
                        Problem(what + ": tail page " + N(tail) +
                                " holds entries before its node's");
                    if (!tailLast.empty()) lastKey = tailLast;
                }
            }
            return lastKey;
        };
        walk(r.root, 0);
        for (size_t i = 0; i < leaves.size(); ++i) {
            std::string_view p = Page(leaves[i]);
            uint32_t prev = i ? leaves[i - 1] : 0, next = i + 1 < leaves.size() ? leaves[i + 1] : 0;
            if (U32(p, L->indexPrev) != prev || U32(p, L->indexPrev + 4) != next)
                Problem(what + ": leaf page " + N(leaves[i]) + " is linked wrongly");
        }
        for (size_t i = 1; i < leafEntries.size(); ++i)
            if (!(leafEntries[i - 1] < leafEntries[i])) {
                Problem(what + ": entries out of order");
                break;
            }
        for (uint32_t p : mapPages)
            if (!seen.count(p))
                Problem(what + ": page " + N(p) + " of the index's usage map is not in the tree");
        return leafEntries;
    }

    // The entries the records call for, computed from their stored values, against the leaf
    // entries in index order; and no two records with the same key in a unique index unless a
    // Null is part of it.
    void CompareKeys(const Tdef& t, const RealIndex& r, const std::vector<Record>& records,
                     const std::vector<std::string>& entries, const std::string& what) {
        for (const auto& [col, desc] : r.columns) {
            const Column* c = t.ByNumber(col);
            if (!c) return Problem(what + ": indexes a column that does not exist");
            if (!KeyedType(c->type)) return; // no such column is written (Numeric and later types)
        }
        std::vector<std::string> expected;
        std::vector<std::pair<std::string, const Record*>> uniqueKeys;
        for (const auto& rec : records) {
            std::string key;
            bool allNull = true, anyNull = false;
            for (const auto& [col, desc] : r.columns) {
                const Column* c = t.ByNumber(col);
                std::optional<std::string_view> stored;
                if (auto it = rec.values.find(col); it != rec.values.end()) {
                    auto data = rec.longData.find(col);
                    stored = !c->Long()                   ? it->second
                             : data != rec.longData.end() ? std::string_view(data->second)
                                                          : std::string_view();
                }
                bool isNull = !stored && c->type != 1;
                allNull &= isNull;
                anyNull |= isNull;
                key += L->version == 0 ? Jet3StoredValueKey(c->type, stored, desc)
                                       : StoredValueKey(c->type, stored, desc);
            }
            if (allNull && (r.flags & 0x02)) continue;
            if ((r.flags & 0x01) && !anyNull) uniqueKeys.emplace_back(key, &rec);
            key.push_back(static_cast<char>(rec.page >> 16));
            key.push_back(static_cast<char>(rec.page >> 8));
            key.push_back(static_cast<char>(rec.page));
            key.push_back(static_cast<char>(rec.row));
            expected.push_back(std::move(key));
        }
        std::sort(expected.begin(), expected.end());
        if (expected != entries) {
            size_t i = 0;
            while (i < expected.size() && i < entries.size() && expected[i] == entries[i]) ++i;
            Problem(what + ": leaf entries differ from the keys of the records, first at entry " +
                    N(static_cast<uint32_t>(i)) + " (" + N(static_cast<uint32_t>(entries.size())) +
                    " entries, " + N(static_cast<uint32_t>(expected.size())) + " keys)");
        }
        std::sort(uniqueKeys.begin(), uniqueKeys.end());
        for (size_t i = 1; i < uniqueKeys.size(); ++i)
            if (uniqueKeys[i].first == uniqueKeys[i - 1].first) {
                const Record& a = *uniqueKeys[i - 1].second;
                const Record& b = *uniqueKeys[i].second;
                Problem(what + ": unique index: the records at page " + N(a.page) + " row " +
                        N(a.row) + " and page " + N(b.page) + " row " + N(b.row) +
                        " have the same key");
            }
    }

    std::string Signature(const Tdef& t, const RealIndex& r) {
        std::string s;
        for (const auto& [col, desc] : r.columns) {
            const Column* c = t.ByNumber(col);
            s += (s.empty() ? "" : ",") + std::string(desc ? "-" : "") + (c ? c->name : "?");
        }
        return s;
    }

    void CheckTable(Tdef& t, bool collectKeys) {
        std::string what = "table " + t.name;
        for (uint32_t p : t.pages) Claim(p, what + " definition");
        // Records.
        std::set<uint32_t> owned = Map(t.owned, what), free = Map(t.free, what);
        std::vector<Record> records;
        for (uint32_t page : owned) {
            Claim(page, what);
            std::string_view p = Page(page);
            if (p.empty() || U8(p, 0) != 1 || U32(p, 4) != t.page) {
                Problem(what + ": page " + N(page) + " of its usage map is not its data page");
                continue;
            }
            auto rows = Rows(page, what);
            for (size_t i = 0; i < rows.size(); ++i) {
                if (rows[i].flags & 0x8000) continue; // deleted, or the target of a moved record
                std::string_view bytes = p.substr(rows[i].start, rows[i].end - rows[i].start);
                uint32_t at = page;
                uint8_t rowNo = static_cast<uint8_t>(i);
                if (rows[i].flags & 0x4000) { // a record moved elsewhere: follow it
                    uint32_t target = U32(bytes, 0);
                    bytes = RowBytes(target >> 8, target & 0xFF, what);
                }
                auto r = Split(t, bytes,
                               what + " page " + N(page) + " row " + N(static_cast<uint32_t>(i)));
                if (!r) continue;
                r->page = at;
                r->row = rowNo;
                records.push_back(std::move(*r));
            }
        }
        for (uint32_t page : free)
            if (!owned.count(page))
                Problem(what + ": free-space map names page " + N(page) + " it does not own");
        if (records.size() != t.rowCount)
            Problem(what + ": definition counts " + N(t.rowCount) + " records, the pages hold " +
                    N(static_cast<uint32_t>(records.size())));
        // Long values.
        for (const auto& lc : t.longColumns) {
            const Column* c = t.ByNumber(lc.number);
            if (!c) {
                Problem(what + ": long value maps for a missing column");
                continue;
            }
            std::set<uint32_t> pages = Map(lc.owned, what + "." + c->name),
                               lfree = Map(lc.free, what + "." + c->name);
            for (uint32_t p : pages) {
                Claim(p, what + "." + c->name);
                if (Page(p).substr(4, 4) != "LVAL")
                    Problem(what + "." + c->name + ": page " + N(p) + " is not a long value page");
            }
            bool indexed = std::any_of(t.real.begin(), t.real.end(), [&](const RealIndex& r) {
                return std::any_of(r.columns.begin(), r.columns.end(),
                                   [&](const auto& ic) { return ic.first == lc.number; });
            });
            for (auto& r : records) {
                auto it = r.values.find(lc.number);
                if (it != r.values.end())
                    CheckLongValue(t, *c, it->second, pages,
                                   what + " page " + N(r.page) + " row " + N(r.row),
                                   indexed ? &r.longData[lc.number] : nullptr);
            }
        }
        for (const auto& c : t.columns)
            if (c.Long() && std::none_of(t.longColumns.begin(), t.longColumns.end(),
                                         [&](const LongColumn& l) { return l.number == c.number; }))
                Problem(what + ": long value column " + c.name + " has no usage maps");
        // Indexes.
        for (size_t k = 0; k < t.real.size(); ++k) {
            const RealIndex& r = t.real[k];
            std::string iw = what + " index " + Signature(t, r);
            std::set<uint32_t> mapPages = Map(r.umap, iw);
            auto entries = WalkIndex(t, r, mapPages, iw);
            std::map<uint32_t, int> seen;
            for (const auto& e : entries) {
                if (e.size() < 4) continue;
                seen[(U8(e, e.size() - 4) << 24) | (U8(e, e.size() - 3) << 16) |
                     (U8(e, e.size() - 2) << 8) | U8(e, e.size() - 1)]++;
            }
            std::map<uint32_t, const Record*> byPointer;
            for (const auto& rec : records) byPointer[(rec.page << 8) | rec.row] = &rec;
            for (const auto& rec : records) {
                bool allNull = true;
                for (const auto& [col, desc] : r.columns) {
                    const Column* c = t.ByNumber(col);
                    if ((c && c->type == 1) || rec.values.count(col)) allNull = false;
                }
                int expected = (allNull && (r.flags & 0x02)) ? 0 : 1;
                int got = seen[(rec.page << 8) | rec.row];
                if (got != expected)
                    Problem(iw + ": record at page " + N(rec.page) + " row " + N(rec.row) +
                            " indexed " + N(static_cast<uint32_t>(got)) + " times");
            }
            size_t indexed = 0;
            for (const auto& [ptr, n] : seen) indexed += static_cast<size_t>(n);
            if (indexed != entries.size() || seen.size() > records.size() + 0 ||
                std::any_of(seen.begin(), seen.end(),
                            [&](const auto& s) { return !byPointer.count(s.first); }))
                Problem(iw + ": entries point at records that do not exist");
            CompareKeys(t, r, records, entries, iw);
            if (r.flags & 0x01) {
                for (size_t i = 1; i < entries.size(); ++i) {
                    std::string_view a(entries[i - 1]), b(entries[i]);
                    if (a.size() != b.size() ||
                        a.substr(0, a.size() - 4) != b.substr(0, b.size() - 4))
                        continue;
                    uint32_t ptr = (U8(b, b.size() - 4) << 24) | (U8(b, b.size() - 3) << 16) |
                                   (U8(b, b.size() - 2) << 8) | U8(b, b.size() - 1);
                    auto it = byPointer.find(ptr);
                    bool hasNull = false;
                    if (it != byPointer.end())
                        for (const auto& [col, desc] : r.columns) {
                            const Column* c = t.ByNumber(col);
                            if (c && c->type != 1 && !it->second->values.count(col)) hasNull = true;
                        }
                    if (!hasNull) Problem(iw + ": unique index holds a key twice");
                }
            }
            if (collectKeys) {
                IndexKeys ik{t.name, Signature(t, r), r.flags, r.foreignOnly, {}};
                for (const auto& e : entries) ik.keys.push_back(e.substr(0, e.size() - 4));
                keys_.push_back(std::move(ik));
            }
        }
        if (&t == &catalogTable_) catalogRecords_ = records;
    }

    std::string TextOf(const Record& r, uint16_t col) {
        auto it = r.values.find(col);
        if (it == r.values.end()) return {};
        auto s = L->version == 0 ? cp932::ToUtf8(it->second) : jet::DecodeJet4Text(it->second);
        return s ? *s : std::string("?");
    }
    int64_t LongOf(const Record& r, uint16_t col, bool* present = nullptr) {
        auto it = r.values.find(col);
        if (present) *present = it != r.values.end();
        if (it == r.values.end() || it->second.size() < 2) return 0;
        return it->second.size() >= 4 ? static_cast<int32_t>(U32(it->second, 0))
                                      : static_cast<int16_t>(U16(it->second, 0));
    }

    Report Run(bool collectKeys) {
        Claim(0, "header");
        Claim(1, "global map");
        auto objects = ReadTdef(2, "MSysObjects");
        if (!objects) return report_;
        catalogTable_ = *objects;
        CheckTable(catalogTable_, collectKeys);
        const Tdef& o = catalogTable_;
        auto col = [&](const char* name) -> int {
            for (const auto& c : o.columns)
                if (c.name == name) return c.number;
            Problem(std::string("MSysObjects has no column ") + name);
            return -1;
        };
        int idCol = col("Id"), nameCol = col("Name"), typeCol = col("Type");
        if (idCol < 0 || nameCol < 0 || typeCol < 0) return report_;
        std::set<uint32_t> tablePages;
        std::set<int64_t> objectIds;
        std::vector<std::pair<uint32_t, std::string>> tables;
        for (const auto& r : catalogRecords_) {
            int64_t id = LongOf(r, static_cast<uint16_t>(idCol));
            objectIds.insert(id);
            if (LongOf(r, static_cast<uint16_t>(typeCol)) != 1) continue;
            uint32_t page = static_cast<uint32_t>(id) & 0x00FFFFFF;
            tablePages.insert(page);
            tables.emplace_back(page, TextOf(r, static_cast<uint16_t>(nameCol)));
        }
        std::vector<Record> aces;
        for (const auto& [page, name] : tables) {
            if (page == 2) continue;
            auto t = ReadTdef(page, name);
            if (!t) continue;
            CheckTable(*t, collectKeys);
            if (name == "MSysACEs") acesTable_ = *t;
        }
        // Permissions: every table has entries in MSysACEs.
        if (acesTable_.page) {
            std::set<int64_t> withAce;
            int objCol = -1;
            for (const auto& c : acesTable_.columns)
                if (c.name == "ObjectId") objCol = c.number;
            for (uint32_t page : Map(acesTable_.owned, "MSysACEs")) {
                for (const auto& row : Rows(page, "MSysACEs")) {
                    if (row.flags) continue;
                    auto r = Split(acesTable_, Page(page).substr(row.start, row.end - row.start),
                                   "MSysACEs");
                    if (r && objCol >= 0) withAce.insert(LongOf(*r, static_cast<uint16_t>(objCol)));
                }
            }
            for (const auto& [page, name] : tables)
                if (!withAce.count(page))
                    Problem("table " + name + " has no permissions in MSysACEs");
            for (int64_t id : withAce)
                if (!objectIds.count(id))
                    Warning("MSysACEs names object " + std::to_string(id) +
                            " that MSysObjects does not hold");
        } else {
            Problem("MSysACEs is missing");
        }
        std::set<uint32_t> freePages = Map(1u << 8, "global"); // page 1, row 0
        // Table definitions no catalog row names: what a free page holds does not count.
        for (uint32_t n = 2; n < count_; ++n) {
            std::string_view p = Page(n);
            if (U8(p, 0) == 2 && !owners_.count(n) && !freePages.count(n))
                Warning("page " + N(n) + " is a table definition no catalog row names (leaked)");
        }
        for (uint32_t h : mapHosts_) owners_.emplace(h, "usage maps");
        // The global map: free pages are exactly the pages nothing owns; a page marked as used
        // that nothing owns is lost space (leaked), not damage.
        for (uint32_t n = 0; n < count_; ++n) {
            bool isFree = freePages.count(n) > 0, used = owners_.count(n) > 0;
            if (isFree && used)
                Problem("page " + N(n) + " is marked free but is in use by " + owners_[n]);
            if (!isFree && !used)
                Warning("page " + N(n) + " is neither in use nor marked free (leaked)");
        }
        return report_;
    }

    std::vector<IndexKeys> keys_;

  private:
    std::string data_;
    uint32_t count_ = 0;
    Report report_;
    std::map<uint32_t, std::string> owners_;
    std::set<uint32_t> mapHosts_;
    Tdef catalogTable_, acesTable_;
    std::vector<Record> catalogRecords_;
};

} // namespace

std::string Report::Text() const {
    std::string s;
    for (const auto& p : problems) s += p + "\n";
    for (const auto& w : warnings) s += "warning: " + w + "\n";
    return s;
}

namespace {
Report CheckFile(const std::string& path, int version) {
    try {
        Checker c(path);
        if (c.L->version != version)
            throw std::runtime_error(path + " is not a Jet " + (version == 0 ? "3" : "4") +
                                     " file");
        return c.Run(false);
    } catch (const std::exception& e) {
        Report r;
        r.problems.push_back(e.what());
        return r;
    }
}
} // namespace

Report CheckJet4File(const std::string& path) {
    return CheckFile(path, 1);
}
Report CheckJet3File(const std::string& path) {
    return CheckFile(path, 0);
}

std::vector<IndexKeys> ReadIndexKeys(const std::string& path) {
    Checker c(path);
    c.Run(true);
    return c.keys_;
}

} // namespace engine::detail::jet4check
