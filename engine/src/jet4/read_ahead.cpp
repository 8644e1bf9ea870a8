#include "jet4/read_ahead.h"

namespace engine::detail::jet4 {

namespace {
constexpr size_t kBlockRows = 256;
constexpr size_t kBlocks = 4;
} // namespace

ReadAhead::ReadAhead(StoredRows& rows)
    : rows_(rows), columns_(rows.Columns()), row_(rows.Columns()) {
    spare_.resize(kBlocks);
    thread_ = std::thread([this] { Run(); });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ReadAhead::Run() {
    try {
        for (bool end = false; !end;) {
            Block block;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || !spare_.empty(); });
                if (stop_) return;
                block = std::move(spare_.back());
                spare_.pop_back();
            }
            block.cells.resize(kBlockRows * columns_);
            block.arena.clear();
            block.rows = 0;
            for (CapturedValue* c = block.cells.data(); block.rows < kBlockRows;
                 ++block.rows, c += columns_) {
                if (!rows_.Capture(c, block.arena)) {
                    end = true;
                    break;
                }
            }
            std::lock_guard<std::mutex> lock(mutex_);
            ready_.push_back(std::move(block));
            done_ = end;
            changed_.notify_all();
        }
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = std::current_exception();
        done_ = true;
        changed_.notify_all();
    }
}

bool ReadAhead::Next(std::vector<const Variant*>& row) {
    if (next_ >= current_.rows) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!current_.cells.empty()) {
            spare_.push_back(std::move(current_));
            current_ = Block{};
            changed_.notify_all();
        }
        changed_.wait(lock, [&] { return !ready_.empty() || done_; });
        if (ready_.empty()) {
            if (error_) std::rethrow_exception(error_);
            return false;
        }
        current_ = std::move(ready_.front());
        ready_.pop_front();
        next_ = 0;
        if (current_.rows == 0) return false; // the last block, empty
    }
    rows_.Decode(current_.cells.data() + next_ * columns_, current_.arena, row_.data());
    for (size_t i = 0; i < row.size(); ++i) row[i] = &row_[i];
    ++next_;
    return true;
}

} // namespace engine::detail::jet4
