// Records read in a thread of their own, a few hundred ahead of the writer: stepping the
// statement and taking its values out takes about as long as decoding them and encoding and
// writing pages, so the two run side by side. Memory stays flat: a handful of blocks of
// captured records, reused.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/variant.h"
#include "jet4/stored_rows.h"

namespace engine::detail::jet4 {

class ReadAhead {
  public:
    // Reads every record of rows, which is the thread's alone until the ReadAhead is gone.
    explicit ReadAhead(StoredRows& rows);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Points row at the next record's values, valid until the next call; false at the end.
    // An error of the reading is thrown here.
    bool Next(std::vector<const Variant*>& row);

  private:
    struct Block {
        std::vector<CapturedValue> cells; // rows one after another
        std::string arena;                // their texts
        size_t rows = 0;
    };
    void Run();

    StoredRows& rows_;
    size_t columns_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> ready_;
    std::vector<Block> spare_;
    Block current_;
    std::vector<Variant> row_; // the current record, decoded; reused from record to record
    size_t next_ = 0;
    bool done_ = false, stop_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

} // namespace engine::detail::jet4
