// KeyList: the rowids of a recordset's walk, in the walk's order, held as runs of consecutive
// rowids. A table read in rowid order, an index that follows it, or records added one after
// another each take one run, so a walk over a million records holds a few runs rather than a
// million keys; a walk in an order of its own holds as many runs as it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine::detail {

class KeyList {
  public:
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The rowid at position pos (< size()). Walking forward or backward costs O(1) a step.
    int64_t operator[](size_t pos) const;
    void push_back(int64_t rowid);
    // Removes the rowid at pos (< size()); the ones after it move up by one.
    void erase(size_t pos);
    void clear();
    // The first position holding rowid, or -1. Costs O(runs).
    long Find(int64_t rowid) const;
    size_t Runs() const { return runs_.size(); }

  private:
    struct Run {
        size_t start;  // position of its first rowid
        int64_t first; // rowids first, first + 1, ..., first + count - 1
        size_t count;
    };
    size_t RunAt(size_t pos) const;

    std::vector<Run> runs_;
    size_t size_ = 0;
    mutable size_t hint_ = 0; // the run found last
};

} // namespace engine::detail
