// A genuine Jet 4 (or Jet 3) file as the in-place writer reads it: pages on demand, the global map
// of free pages, table definitions with the places of the fields a rewrite changes, usage maps and
// the records of a table as values. Anything it cannot read with certainty fails with a message:
// what is not understood is never rewritten.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/variant.h"
#include "jet4/page_file.h"
#include "jet4/table.h"

namespace engine::detail::jet {
class CodePageDecoder;
}

namespace engine::detail::jet4 {

// A table definition as the file holds it, with its layout as a Table (columns by number).
struct StoredTdef {
    uint32_t page = 0;
    std::vector<uint32_t> continuation; // further pages of the definition, in order
    std::string bytes;                  // the definition joined: page one whole, then each
                                        // continuation page past its 8-byte header
    Table table;
    uint32_t rowCount = 0;
    // Places in bytes of the fields a rewrite of the records changes.
    size_t mapsAt = 55;         // the records' usage-map reference, the free-space one after it
    size_t realMapOffset = 34;  // of a real index's map reference within its entry
    std::vector<size_t> realAt; // each real index's entry
    std::map<uint16_t, size_t> longMapsAt; // long-value column number -> its two map references
    // Usage-map references: records (0), records with free space (1), each real index, each long
    // column's two.
    std::vector<uint32_t> MapRefs() const;
};

class GenuineFile {
  public:
    // Opens the file for reading; refuses what is not a Jet 4 or Jet 3 file.
    explicit GenuineFile(const std::string& path);
    ~GenuineFile();
    GenuineFile(const GenuineFile&) = delete;
    GenuineFile& operator=(const GenuineFile&) = delete;

    uint32_t PageCount() const { return pages_; }
    bool IsJet3() const { return jet3_; }
    // The description to write this file's pages with; null for a Jet 3 file of a code page
    // the writer cannot write.
    const Format* Fmt() const { return format_; }
    int CodePage() const { return codePage_; }
    size_t PageSize() const { return pageSize_; }
    const std::string& Page(uint32_t n);
    // The first bytes of page n (its kind and owner), read without keeping the page.
    std::string Head(uint32_t n);

    // Page 1: the pages marked free (within the file), the kind of its map row and, for a
    // reference map, its bitmap pages.
    std::set<uint32_t> FreePages();
    std::vector<uint32_t> GlobalMapPages();

    // The definition at page; with layout, also its columns and indexes as a Table, refused
    // with a message when its records could not be written back the way they are laid out.
    StoredTdef ReadTdef(uint32_t page, const std::string& name, bool layout = true);
    // The pages a usage map names, and the pages that hold its bitmaps (reference maps).
    std::set<uint32_t> MapPages(uint32_t ref, std::vector<uint32_t>* bitmapPages = nullptr);
    // The rows of page (offset and length), deleted ones left out; fails on rows that point
    // elsewhere (the format's overflow rows), which this reader does not follow.
    std::vector<std::pair<size_t, size_t>> Rows(uint32_t page, const std::string& what);
    // The records of a table, one value per column of t.table.
    std::vector<std::vector<Variant>> Records(const StoredTdef& t);

    // Text as stored: Jet 3 in the file's code page; Jet 4 names plain UTF-16LE, values possibly
    // compressed.
    std::optional<std::string> Text(std::string_view bytes, bool value = false);

  private:
    std::string path_;
    int fd_ = -1;
    uint32_t pages_ = 0;
    bool jet3_ = false;
    size_t pageSize_ = kPageSize;
    const Format* format_ = &kJet4Format;
    int codePage_ = 0;
    uint16_t textSort_ = 0x0409; // the sort order of text columns the writer's keys are for
    std::unique_ptr<jet::CodePageDecoder> decoder_; // Jet 3: the header's code page
    std::map<uint32_t, std::string> cache_;
};

} // namespace engine::detail::jet4
