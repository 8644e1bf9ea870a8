#include "jet4/in_place_space.h"

#include <map>

#include "jet4/bytes.h"

namespace engine::detail::jet4 {

void Release::Table(const StoredTdef& t, bool definition) {
    if (definition) pages_.insert(t.page);
    pages_.insert(t.continuation.begin(), t.continuation.end());
    for (uint32_t ref : t.MapRefs()) {
        if (!ref) continue;
        refs_.insert(ref);
        std::vector<uint32_t> bitmaps;
        for (uint32_t p : g_.MapPages(ref, &bitmaps)) {
            if (p < 2 || p >= g_.PageCount()) continue;
            // Only pages that are what the map says: data and index pages naming the table,
            // long-value pages. A stale bit in a genuine map gives nothing back.
            const std::string head = g_.Head(p);
            uint32_t kind = Get8(head, 0);
            bool own =
                ((kind == 0x01 || kind == 0x03 || kind == 0x04) && Get32(head, 4) == t.page) ||
                (kind == 0x01 && head.compare(4, 4, "LVAL") == 0);
            if (own) pages_.insert(p);
        }
        pages_.insert(bitmaps.begin(), bitmaps.end());
    }
}

std::set<uint32_t> Release::All() {
    std::map<uint32_t, size_t> perHost;
    for (uint32_t ref : refs_) ++perHost[ref >> 8];
    for (auto [host, count] : perHost)
        if (host > 1 && g_.Rows(host, "使用ページの表").size() == count) pages_.insert(host);
    return pages_;
}

GlobalMap::GlobalMap(GenuineFile& g, std::set<uint32_t> oldFree, const Format& format)
    : format_(format), oldFree_(std::move(oldFree)), page1_(g.Page(1)) {
    rowAt_ = Get16(page1_, format_.rowsStart) & 0x1FFF;
    if (Get8(page1_, 0) != 0x01 || Get16(page1_, format_.rowCountAt) < 1 ||
        format_.pageSize - rowAt_ != format_.mapRowBytes)
        Fail("ページ 1 (空きページの表) の形式はこの版では書き換えられません");
    oldBitmaps_ = g.GlobalMapPages();
}

std::string GlobalMap::Make(PageFile& file, const std::set<uint32_t>& given,
                            std::vector<uint32_t>& bitmaps) {
    // An inline row's bitmap follows its type byte and start page; a bitmap page's follows 4 bytes.
    const size_t rowBytes = format_.mapRowBytes, pageSize = format_.pageSize;
    const uint32_t inlinePages = static_cast<uint32_t>((rowBytes - 5) * 8);
    const uint32_t bitsPerMapPage = static_cast<uint32_t>((pageSize - 4) * 8);
    bitmaps.clear();
    std::string row(rowBytes, '\0');
    if (file.PageCount() <= inlinePages) {
        // Pages past the end count as free, as in a file the whole-file writer makes.
        std::set<uint32_t> free = Free(file, given);
        for (uint32_t n = file.PageCount(); n < inlinePages; ++n) free.insert(n);
        for (uint32_t n : free) row[5 + n / 8] = static_cast<char>(row[5 + n / 8] | (1 << (n % 8)));
    } else {
        row[0] = 0x01;
        // The bitmap pages are taken first: the map must show them as used.
        size_t slots = (file.PageCount() + 2) / bitsPerMapPage + 1;
        if (slots > (rowBytes - 1) / 4) Fail("ファイルが大きすぎて空きページの表に収まりません");
        for (size_t k = 0; k < slots; ++k) bitmaps.push_back(file.Allocate());
        std::vector<std::string> pages(slots, std::string(pageSize, '\0'));
        for (auto& p : pages) {
            p[0] = 0x05;
            p[1] = 0x01;
        }
        for (uint32_t n : Free(file, given)) {
            uint32_t bit = n % bitsPerMapPage;
            std::string& p = pages[n / bitsPerMapPage];
            p[4 + bit / 8] = static_cast<char>(p[4 + bit / 8] | (1 << (bit % 8)));
        }
        for (size_t k = 0; k < slots; ++k) {
            file.Write(bitmaps[k], pages[k]);
            Put32(row, 1 + 4 * k, bitmaps[k]);
        }
    }
    std::string page = page1_;
    page.replace(rowAt_, rowBytes, row);
    return page;
}

std::set<uint32_t> GlobalMap::Free(const PageFile& file, const std::set<uint32_t>& given) const {
    std::set<uint32_t> free = oldFree_;
    for (uint32_t p : file.Allocated()) free.erase(p);
    for (uint32_t p : given)
        if (p < file.PageCount()) free.insert(p);
    return free;
}

} // namespace engine::detail::jet4
