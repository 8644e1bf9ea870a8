#include "model/key_list.h"

#include <algorithm>

namespace engine::detail {

size_t KeyList::RunAt(size_t pos) const {
    auto holds = [&](size_t r) {
        return runs_[r].start <= pos && pos < runs_[r].start + runs_[r].count;
    };
    if (hint_ < runs_.size()) {
        if (holds(hint_)) return hint_;
        if (hint_ + 1 < runs_.size() && holds(hint_ + 1)) return ++hint_;
        if (hint_ > 0 && holds(hint_ - 1)) return --hint_;
    }
    auto it = std::upper_bound(runs_.begin(), runs_.end(), pos,
                               [](size_t p, const Run& r) { return p < r.start; });
    hint_ = static_cast<size_t>(it - runs_.begin()) - 1;
    return hint_;
}

int64_t KeyList::operator[](size_t pos) const {
    const Run& r = runs_[RunAt(pos)];
    return r.first + static_cast<int64_t>(pos - r.start);
}

void KeyList::push_back(int64_t rowid) {
    if (!runs_.empty()) {
        Run& last = runs_.back();
        if (rowid == last.first + static_cast<int64_t>(last.count)) {
            ++last.count;
            ++size_;
            return;
        }
    }
    runs_.push_back({size_, rowid, 1});
    ++size_;
}

void KeyList::erase(size_t pos) {
    size_t r = RunAt(pos);
    Run& run = runs_[r];
    const size_t offset = pos - run.start;
    size_t shiftFrom = r + 1; // runs from here on start one position earlier
    if (run.count == 1) {
        runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(r));
        shiftFrom = r;
        // The neighbours may now continue each other.
        if (r > 0 && r < runs_.size() &&
            runs_[r - 1].first + static_cast<int64_t>(runs_[r - 1].count) == runs_[r].first) {
            runs_[r - 1].count += runs_[r].count;
            runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(r));
        }
    } else if (offset == 0) {
        ++run.first;
        --run.count;
    } else if (offset == run.count - 1) {
        --run.count;
    } else {
        Run tail{pos + 1, run.first + static_cast<int64_t>(offset) + 1, run.count - offset - 1};
        run.count = offset;
        runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(r) + 1, tail);
        shiftFrom = r + 1;
    }
    for (size_t i = shiftFrom; i < runs_.size(); ++i) --runs_[i].start;
    --size_;
    hint_ = 0;
}

void KeyList::clear() {
    runs_.clear();
    size_ = 0;
    hint_ = 0;
}

long KeyList::Find(int64_t rowid) const {
    for (const Run& r : runs_)
        if (r.first <= rowid && rowid < r.first + static_cast<int64_t>(r.count))
            return static_cast<long>(r.start + static_cast<size_t>(rowid - r.first));
    return -1;
}

} // namespace engine::detail
