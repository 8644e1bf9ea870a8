// The space a change in place takes and gives back: page 1's map of free pages, written anew at
// each step, and the pages an old table holds, gathered while the old state is whole.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "jet4/genuine_file.h"
#include "jet4/page_file.h"

namespace engine::detail::jet4 {

// The pages an old table (or only its content) holds, for giving back after the switch.
class Release {
  public:
    explicit Release(GenuineFile& g) : g_(g) {}
    // The table's records, long values, indexes, usage maps (and with definition, its
    // definition pages; its continuation pages always).
    void Table(const StoredTdef& t, bool definition);
    void Pages(const std::vector<uint32_t>& pages) { pages_.insert(pages.begin(), pages.end()); }
    // The pages to give back, with the pages that held only the released usage maps.
    std::set<uint32_t> All();

  private:
    GenuineFile& g_;
    std::set<uint32_t> pages_;
    std::set<uint32_t> refs_;
};

// Page 1 with its map of free pages: the old state's free pages less those handed out, plus
// the pages given back. A file beyond an inline map's reach gets a reference map on fresh
// bitmap pages.
class GlobalMap {
  public:
    GlobalMap(GenuineFile& g, std::set<uint32_t> oldFree, const Format& format);
    const std::set<uint32_t>& OldFree() const { return oldFree_; }
    const std::vector<uint32_t>& OldBitmaps() const { return oldBitmaps_; }
    // Writes the bitmap pages (fresh) and returns page 1, not yet written; bitmaps receives the
    // bitmap pages it uses.
    std::string Make(PageFile& file, const std::set<uint32_t>& given,
                     std::vector<uint32_t>& bitmaps);

  private:
    std::set<uint32_t> Free(const PageFile& file, const std::set<uint32_t>& given) const;

    const Format& format_;
    std::set<uint32_t> oldFree_;
    std::string page1_;
    size_t rowAt_ = 0;
    std::vector<uint32_t> oldBitmaps_;
};

} // namespace engine::detail::jet4
