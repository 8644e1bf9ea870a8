#include "jet4/genuine_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "jet/jet_format.h"
#include "jet3/format.h"
#include "jet4/bytes.h"
#include "jet4/page_file.h"

namespace engine::detail::jet4 {

namespace {

// Where the two versions keep what this reader needs: data pages, table definitions (their
// column descriptors, real and logical index entries) and the inline map of free pages.
struct Layout {
    size_t rowCountAt, rowsStart;
    size_t tdefRows, tdefAuto, tdefType, tdefColumns, tdefLogical, tdefReal, tdefMaps,
        realCountBytes;
    size_t columnBytes, colNumber, colVarIndex, colSort, colFlags, colFixed, colLength;
    size_t nameLengthBytes;
    size_t realBytes, realColumns, realMap, realFlags, logicalBytes;
    size_t inlineMapBytes;
};
constexpr Layout kJet4Layout{12, 14, 16, 20, 40, 45, 47, 51, 55, 12, 25, 5,
                             7,  11, 15, 21, 23, 2,  52, 4,  34, 46, 28, 64};
constexpr Layout kJet3Layout{8, 10, 12, 16, 20, 25, 27, 31, 35, 8,  18, 1,
                             3, 9,  13, 14, 16, 1,  39, 0,  30, 38, 20, 128};

const Layout& LayoutOf(bool jet3) {
    return jet3 ? kJet3Layout : kJet4Layout;
}

bool IsLong(uint8_t t) {
    return t == kOle || t == kMemo;
}
bool IsVariable(const Column& c) {
    return c.variable;
}

} // namespace

std::vector<uint32_t> StoredTdef::MapRefs() const {
    std::vector<uint32_t> refs{Get32(bytes, mapsAt), Get32(bytes, mapsAt + 4)};
    for (size_t at : realAt) refs.push_back(Get32(bytes, at + realMapOffset));
    for (const auto& [number, at] : longMapsAt) {
        refs.push_back(Get32(bytes, at));
        refs.push_back(Get32(bytes, at + 4));
    }
    return refs;
}

GenuineFile::GenuineFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) Fail(path + " を開けません (" + std::strerror(errno) + ")");
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Fail(path + " (" + std::strerror(errno) + ")");
    std::string first(0x80, '\0');
    if (::pread(fd_, first.data(), first.size(), 0) != static_cast<ssize_t>(first.size()))
        Fail(path + " は Jet ファイルとして短すぎます");
    auto kind = jet::InspectHeader(first).kind;
    if (kind == jet::Header::Kind::Jet3 && Get8(first, 0x14) == 0) {
        jet3_ = true;
        pageSize_ = 2048;
    } else if (kind != jet::Header::Kind::Jet4 || Get8(first, 0x14) != 1) {
        Fail(path +
             " は Jet 4 (Access 2000-2003) / Jet 3 (Access 97) 形式のファイルではありません");
    }
    const off_t size = static_cast<off_t>(pageSize_);
    if (st.st_size < 3 * size || st.st_size % size != 0)
        Fail(path + " は Jet ファイルとして大きさが正しくありません");
    pages_ = static_cast<uint32_t>(st.st_size / size);
    if (jet3_) {
        // The header's bytes from 0x18 are masked; the code page is at 0x3C.
        const std::string& head = Page(0);
        const auto& mask = jet::HeaderMask();
        codePage_ = static_cast<int>((Get8(head, 0x3C) ^ mask[0x3C - 0x18]) |
                                     ((Get8(head, 0x3D) ^ mask[0x3D - 0x18]) << 8));
        decoder_ = std::make_unique<jet::CodePageDecoder>(jet::IconvNameForCodePage(codePage_));
        if (!decoder_->Ok())
            Fail(path + " のコードページ " + std::to_string(codePage_) + " は読めません");
        format_ = jet3::Jet3FormatFor(codePage_);
        // Text keys are written in the General 97 order over the code page's bytes: the order of a
        // code page 932 file as the writer makes it (Japanese, 0x0411), else the General one.
        textSort_ = codePage_ == 932 ? 0x0411 : 0x0409;
    }
}

std::optional<std::string> GenuineFile::Text(std::string_view bytes, bool value) {
    if (jet3_) return decoder_->Decode(bytes);
    return value ? jet::DecodeJet4Text(bytes) : jet::Utf16LeToUtf8(bytes);
}

GenuineFile::~GenuineFile() {
    if (fd_ >= 0) ::close(fd_);
}

const std::string& GenuineFile::Page(uint32_t n) {
    auto it = cache_.find(n);
    if (it != cache_.end()) return it->second;
    if (n >= pages_)
        Fail(path_ + " のページ " + std::to_string(n) + " がファイルの外を指しています");
    std::string p(pageSize_, '\0');
    size_t done = 0;
    while (done < pageSize_) {
        ssize_t r = ::pread(fd_, p.data() + done, pageSize_ - done,
                            static_cast<off_t>(n) * static_cast<off_t>(pageSize_) +
                                static_cast<off_t>(done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) Fail(path_ + " を読めません (" + std::strerror(errno) + ")");
        done += static_cast<size_t>(r);
    }
    return cache_.emplace(n, std::move(p)).first->second;
}

std::string GenuineFile::Head(uint32_t n) {
    auto it = cache_.find(n);
    if (it != cache_.end()) return it->second.substr(0, 8);
    if (n >= pages_)
        Fail(path_ + " のページ " + std::to_string(n) + " がファイルの外を指しています");
    std::string head(8, '\0');
    if (::pread(fd_, head.data(), head.size(),
                static_cast<off_t>(n) * static_cast<off_t>(pageSize_)) != 8)
        Fail(path_ + " を読めません (" + std::strerror(errno) + ")");
    return head;
}

std::vector<std::pair<size_t, size_t>> GenuineFile::Rows(uint32_t page, const std::string& what) {
    const std::string& p = Page(page);
    if (Get8(p, 0) != 0x01)
        Fail(what + " のページ " + std::to_string(page) + " がデータページではありません");
    const Layout& L = LayoutOf(jet3_);
    size_t count = Get16(p, L.rowCountAt);
    if (L.rowsStart + 2 * count > pageSize_)
        Fail(what + " のページ " + std::to_string(page) + " の行数が不正です");
    std::vector<std::pair<size_t, size_t>> rows;
    size_t end = pageSize_;
    for (size_t i = 0; i < count; ++i) {
        uint32_t raw = Get16(p, L.rowsStart + 2 * i);
        size_t start = raw & 0x1FFF;
        if (start < L.rowsStart + 2 * count || start > end)
            Fail(what + " のページ " + std::to_string(page) + " の行の位置が不正です");
        if (!(raw & 0x8000)) {
            if (raw & 0x4000)
                Fail(what + " に他のページへ移された行があり、この版では書き換えられません");
            rows.emplace_back(start, end - start);
        }
        end = start;
    }
    return rows;
}

std::set<uint32_t> GenuineFile::MapPages(uint32_t ref, std::vector<uint32_t>* bitmapPages) {
    std::set<uint32_t> pages;
    if (ref == 0) return pages;
    uint32_t host = ref >> 8, row = ref & 0xFF;
    const Layout& L = LayoutOf(jet3_);
    const uint32_t bitsPerMapPage = static_cast<uint32_t>((pageSize_ - 4) * 8);
    const std::string& p = Page(host);
    if (Get8(p, 0) != 0x01 || row >= Get16(p, L.rowCountAt))
        Fail("使用ページの表 " + std::to_string(host) + ":" + std::to_string(row) +
             " が読めません");
    size_t start = Get16(p, L.rowsStart + 2 * row) & 0x1FFF;
    size_t end = row == 0 ? pageSize_ : Get16(p, L.rowsStart + 2 * (row - 1)) & 0x1FFF;
    if (start >= end || end > pageSize_)
        Fail("使用ページの表 " + std::to_string(host) + " の行が不正です");
    std::string m = p.substr(start, end - start);
    if (Get8(m, 0) == 0x00) {
        if (m.size() < 5) Fail("使用ページの表が短すぎます");
        uint32_t first = Get32(m, 1);
        for (size_t i = 5; i < m.size(); ++i)
            for (uint32_t b = 0; b < 8; ++b)
                if (Get8(m, i) & (1u << b)) pages.insert(first + uint32_t(i - 5) * 8 + b);
    } else if (Get8(m, 0) == 0x01) {
        for (size_t k = 0; 1 + 4 * k + 4 <= m.size(); ++k) {
            uint32_t mp = Get32(m, 1 + 4 * k);
            if (!mp) continue;
            const std::string& b = Page(mp);
            if (Get8(b, 0) != 0x05)
                Fail("使用ページの表のページ " + std::to_string(mp) + " が不正です");
            if (bitmapPages) bitmapPages->push_back(mp);
            for (size_t i = 4; i < pageSize_; ++i)
                for (uint32_t bit = 0; bit < 8; ++bit)
                    if (Get8(b, i) & (1u << bit))
                        pages.insert(uint32_t(k) * bitsPerMapPage + uint32_t(i - 4) * 8 + bit);
        }
    } else {
        Fail("使用ページの表の種類 " + std::to_string(Get8(m, 0)) + " は読めません");
    }
    return pages;
}

std::set<uint32_t> GenuineFile::FreePages() {
    const std::string& p = Page(1);
    uint32_t ref = (1u << 8) | 0;
    std::set<uint32_t> free;
    for (uint32_t n : MapPages(ref))
        if (n < pages_) free.insert(n);
    // The pages past the end of an inline map count as free.
    const Layout& L = LayoutOf(jet3_);
    size_t start = Get16(p, L.rowsStart) & 0x1FFF;
    if (Get8(p, start) == 0x00) {
        uint32_t end = Get32(p, start + 1) + static_cast<uint32_t>(L.inlineMapBytes * 8);
        for (uint32_t n = end; n < pages_; ++n) free.insert(n);
    }
    free.erase(0);
    free.erase(1);
    return free;
}

std::vector<uint32_t> GenuineFile::GlobalMapPages() {
    std::vector<uint32_t> pages;
    MapPages(1u << 8, &pages);
    return pages;
}

StoredTdef GenuineFile::ReadTdef(uint32_t page, const std::string& name, bool layout) {
    const Layout& L = LayoutOf(jet3_);
    StoredTdef t;
    t.page = page;
    t.mapsAt = L.tdefMaps;
    t.realMapOffset = L.realMap;
    const std::string& first = Page(page);
    if (Get8(first, 0) != 0x02)
        Fail("テーブル " + name + " の定義のページ " + std::to_string(page) + " が不正です");
    t.bytes = first;
    for (uint32_t next = Get32(first, 4); next;) {
        if (t.continuation.size() > 64 ||
            std::count(t.continuation.begin(), t.continuation.end(), next))
            Fail("テーブル " + name + " の定義の続きのページが不正です");
        const std::string& p = Page(next);
        if (Get8(p, 0) != 0x02) Fail("テーブル " + name + " の定義の続きのページが不正です");
        t.continuation.push_back(next);
        t.bytes += p.substr(8);
        next = Get32(p, 4);
    }
    const std::string& b = t.bytes;
    auto need = [&](size_t at) {
        if (at > b.size()) Fail("テーブル " + name + " の定義が途中で切れています");
    };
    need(L.tdefMaps + 8);
    t.rowCount = Get32(b, L.tdefRows);
    size_t columns = Get16(b, L.tdefColumns), logical = Get32(b, L.tdefLogical),
           real = Get32(b, L.tdefReal);
    if (columns == 0 || columns > 255 || real > 1000 || logical > 1000)
        Fail("テーブル " + name + " の定義の数が不正です");
    size_t at = L.tdefMaps + 8 + L.realCountBytes * real;
    need(at + columns * L.columnBytes);
    Table& table = t.table;
    table.name = name;
    table.system = Get8(b, L.tdefType) == 0x53;
    table.lastAutoNumber = Get32(b, L.tdefAuto);
    for (size_t i = 0; i < columns; ++i, at += L.columnBytes) {
        Column c;
        c.type = static_cast<uint8_t>(Get8(b, at));
        c.number = static_cast<uint16_t>(Get16(b, at + L.colNumber));
        c.varIndex = static_cast<uint16_t>(Get16(b, at + L.colVarIndex));
        c.flags = static_cast<uint8_t>(Get8(b, at + L.colFlags));
        c.fixedOffset = static_cast<uint16_t>(Get16(b, at + L.colFixed));
        c.length = static_cast<uint16_t>(Get16(b, at + L.colLength));
        c.variable = !(c.flags & kFlagFixed);
        // Index keys of text are written in the General order alone (LCID 1033).
        if (layout && (c.type == kText || c.type == kMemo) && Get16(b, at + L.colSort) != textSort_)
            Fail("テーブル " + name + " の並べ替え順序 (LCID " +
                 std::to_string(Get16(b, at + L.colSort)) + ") はこの版では書き換えられません");
        table.columns.push_back(c);
    }
    for (auto& c : table.columns) {
        need(at + L.nameLengthBytes);
        size_t n = jet3_ ? Get8(b, at) : Get16(b, at);
        need(at + L.nameLengthBytes + n);
        auto text = Text(std::string_view(b).substr(at + L.nameLengthBytes, n));
        if (!text) Fail("テーブル " + name + " の列名が読めません");
        c.name = *text;
        at += L.nameLengthBytes + n;
    }
    // Records are written in column-number order: the numbers must be those places, the
    // variable columns numbered in the same order.
    std::vector<Column> byNumber = table.columns;
    if (!layout) byNumber.clear();
    std::sort(byNumber.begin(), byNumber.end(),
              [](const Column& x, const Column& y) { return x.number < y.number; });
    uint16_t nextVar = 0;
    for (size_t i = 0; i < byNumber.size(); ++i) {
        Column& c = byNumber[i];
        bool known = c.type == kBool || c.type == kByte || c.type == kInt || c.type == kLong ||
                     c.type == kDate || c.type == kDouble || c.type == kText || c.type == kBinary ||
                     c.type == kMemo || c.type == kOle;
        if (c.number != i || !known || (c.variable && c.varIndex != nextVar++) ||
            (c.variable && !(c.type == kText || c.type == kBinary || IsLong(c.type))))
            Fail("テーブル " + name + " の列の配置 (" + c.name +
                 ") はこの版では書き換えられません");
    }
    if (layout) table.columns = byNumber;
    for (size_t k = 0; k < real; ++k, at += L.realBytes) {
        need(at + L.realBytes);
        t.realAt.push_back(at);
        RealIndex r;
        for (size_t i = 0; i < 10; ++i) {
            uint32_t col = Get16(b, at + L.realColumns + 3 * i);
            if (col == 0xFFFF) continue;
            if (col >= columns)
                Fail("テーブル " + name + " のインデックスが存在しない列を指しています");
            r.columns.push_back(
                {static_cast<uint16_t>(col), Get8(b, at + L.realColumns + 2 + 3 * i) == 0});
        }
        r.flags = static_cast<uint8_t>(Get8(b, at + L.realFlags));
        table.realIndexes.push_back(std::move(r));
    }
    need(at + logical * L.logicalBytes);
    at += logical * L.logicalBytes;
    for (size_t k = 0; k < logical; ++k) {
        need(at + L.nameLengthBytes);
        at += L.nameLengthBytes + (jet3_ ? Get8(b, at) : Get16(b, at));
    }
    for (;;) {
        need(at + 2);
        uint32_t col = Get16(b, at);
        if (col == 0xFFFF) break;
        need(at + 10);
        t.longMapsAt[static_cast<uint16_t>(col)] = at + 2;
        at += 10;
    }
    if (!layout) return t;
    for (const auto& c : table.columns)
        if (IsLong(c.type) && !t.longMapsAt.count(c.number))
            Fail("テーブル " + name + " の長い値の列 " + c.name + " に使用ページの表がありません");
    if (t.longMapsAt.size() !=
        size_t(std::count_if(table.columns.begin(), table.columns.end(),
                             [](const Column& c) { return IsLong(c.type); })))
        Fail("テーブル " + name + " の長い値の使用ページの表が列と合いません");
    return t;
}

std::vector<std::vector<Variant>> GenuineFile::Records(const StoredTdef& t) {
    const auto& cols = t.table.columns;
    const std::string what = "テーブル " + t.table.name;
    jet::PageSource source = [this](uint32_t n, std::string& out) {
        if (n >= pages_) return false;
        out = Page(n);
        return true;
    };
    const jet::Version version = jet3_ ? jet::Version::Jet3 : jet::Version::Jet4;
    // Jet 3 records lead with a one-byte column count, and their variable-offset table is one
    // byte an entry with a jump table for rows past 256 bytes.
    const size_t countBytes = jet3_ ? 1 : 2;
    std::vector<std::vector<Variant>> records;
    for (uint32_t page : MapPages(Get32(t.bytes, t.mapsAt))) {
        const std::string& p = Page(page);
        if (Get8(p, 0) != 0x01 || Get32(p, 4) != t.page) continue;
        for (auto [start, length] : Rows(page, what)) {
            std::string_view row(p.data() + start, length);
            auto bad = [&] {
                Fail(what + " のページ " + std::to_string(page) + " のレコードが読めません");
            };
            if (length < countBytes) bad();
            size_t count = jet3_ ? Get8(p, start) : Get16(p, start);
            size_t maskBytes = (count + 7) / 8;
            if (maskBytes + countBytes > length) bad();
            std::string_view mask = row.substr(length - maskBytes);
            auto present = [&](uint16_t n) {
                return n < count && (static_cast<unsigned char>(mask[n / 8]) >> (n % 8)) & 1;
            };
            size_t varCount = 0, varTable = length - maskBytes, varStart = varTable;
            std::vector<size_t> offsets; // each variable column's, then the end of the data
            bool anyVariable = std::any_of(cols.begin(), cols.end(), IsVariable);
            if (anyVariable && !jet3_) {
                if (varTable < 4) bad();
                varCount = Get16(p, start + varTable - 2);
                if (varTable < 4 + 2 * varCount) bad();
                for (size_t k = 0; k <= varCount; ++k)
                    offsets.push_back(Get16(p, start + varTable - 4 - 2 * k));
                varStart = varTable - 4 - 2 * varCount;
            } else if (anyVariable) {
                if (varTable < 2) bad();
                varCount = Get8(p, start + varTable - 1);
                size_t jumps = (length - 1) / 256;
                if (varTable < 2 + jumps + varCount) bad();
                size_t last = varTable - 1 - jumps - 1; // offset 0's place; the others precede it
                // An unneeded last jump entry is a placeholder.
                if ((last - varCount) / 256 < jumps) --jumps;
                size_t used = 0;
                for (size_t k = 0; k <= varCount; ++k) {
                    while (used < jumps && k == Get8(p, start + varTable - 2 - used)) ++used;
                    offsets.push_back(Get8(p, start + last - k) + 256 * used);
                }
                varStart = last - varCount;
            }
            auto varOffset = [&](size_t k) { return offsets[k]; };
            std::vector<Variant> values;
            for (const auto& c : cols) {
                if (c.type == kBool) {
                    values.push_back(Variant::Boolean(present(c.number)));
                    continue;
                }
                if (!present(c.number)) {
                    values.push_back(Variant::Null());
                    continue;
                }
                if (!c.variable) {
                    size_t at = countBytes + size_t(c.fixedOffset);
                    size_t size = c.type == kByte   ? 1
                                  : c.type == kInt  ? 2
                                  : c.type == kLong ? 4
                                  : c.type == kText ? c.length
                                                    : 8;
                    if (at + size > varTable) bad();
                    std::string v(row.substr(at, size));
                    switch (c.type) {
                    case kByte:
                        values.push_back(Variant::Byte(static_cast<uint8_t>(Get8(v, 0))));
                        break;
                    case kInt:
                        values.push_back(Variant::Integer(static_cast<int16_t>(Get16(v, 0))));
                        break;
                    case kLong:
                        values.push_back(Variant::Long(static_cast<int32_t>(Get32(v, 0))));
                        break;
                    case kDate:
                    case kDouble: {
                        double d;
                        std::memcpy(&d, v.data(), 8);
                        values.push_back(c.type == kDate ? Variant::Date(d) : Variant::Double(d));
                        break;
                    }
                    default: {
                        auto text = Text(v, true);
                        if (!text) bad();
                        values.push_back(Variant(*text));
                    }
                    }
                    continue;
                }
                if (c.varIndex >= varCount) {
                    values.push_back(Variant::Null());
                    continue;
                }
                size_t from = varOffset(c.varIndex);
                size_t to = size_t(c.varIndex) + 1 < varCount ? varOffset(size_t(c.varIndex) + 1)
                                                              : varOffset(varCount);
                if (from > to || to > varStart) bad();
                std::string_view data = row.substr(from, to - from);
                if (IsLong(c.type)) {
                    std::string error;
                    auto bytes = jet::ReadLongValue(version, data, source, 16u << 20, error);
                    if (!bytes) Fail(what + " の長い値が読めません (" + error + ")");
                    if (c.type == kOle) {
                        values.push_back(Variant(*bytes));
                    } else {
                        auto text = Text(*bytes, true);
                        if (!text) bad();
                        values.push_back(Variant(*text));
                    }
                } else if (c.type == kText) {
                    auto text = Text(data, true);
                    if (!text) bad();
                    values.push_back(Variant(*text));
                } else {
                    values.push_back(Variant(std::string(data)));
                }
            }
            records.push_back(std::move(values));
        }
    }
    return records;
}

} // namespace engine::detail::jet4
