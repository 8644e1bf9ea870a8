// The file a Jet 4 writer fills: pages handed out in order and written at their place, into a
// temporary file beside the target that Commit renames onto it. Until Commit succeeds the
// destructor removes the temporary file, so a failed write leaves nothing behind.
// Pages written one after another gather in a buffer and go to the file together. As the file
// grows, a thread of its own flushes what has been written so far to disk while the writer goes
// on, so that Commit's flush has only the last few megabytes left to wait for: the disk's cache
// is emptied by each flush, and waiting for all of it at the end cost a fifth of a large write.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "jet4/format.h"

namespace engine::detail::jet4 {

// Jet 4's page size (Fmt().pageSize is the file's own).
constexpr size_t kPageSize = 4096;



class PageFile {
public:
    // Pages of the given format; failures while it is open name that format.
    explicit PageFile(const std::string& target, const Format& format = kJet4Format);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // A new page number at the end of the file (2 GB at most).
    uint32_t Allocate();
    uint32_t PageCount() const { return pages_; }
    const Format& Fmt() const { return format_; }
    // Writes a whole page (exactly Fmt().pageSize bytes) at its place.
    void Write(uint32_t page, const std::string& bytes);
    // Flushes the file to disk and renames it onto the target.
    void Commit();

private:
    void Flush();
    // Asks the syncing thread (started on first use) to flush the file to disk.
    void RequestSync();
    // Ends the syncing thread; its first failure, if any, is returned as errno's value (0: none).
    int StopSyncing();

    const Format& format_;
    const char* outerFormatName_;
    std::string target_;
    std::string buffer_;      // pages from bufferStart_ on, not yet in the file
    uint32_t bufferStart_ = 0;
    uint64_t unsynced_ = 0;   // bytes written since the last flush to disk was asked for
    std::string temp_;
    int fd_ = -1;
    uint32_t pages_ = 0;
    bool committed_ = false;

    std::thread syncer_;
    std::mutex syncMutex_;
    std::condition_variable syncWanted_;
    bool syncPending_ = false, syncStop_ = false;
    int syncError_ = 0;
};

// The writer's failures: one message naming what could not be written.
[[noreturn]] void Fail(const std::string& what);

} // namespace engine::detail::jet4
