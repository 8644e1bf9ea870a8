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
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "jet4/format.h"

namespace engine::detail::jet4 {

// Jet 4's page size (Fmt().pageSize is the file's own).
constexpr size_t kPageSize = 4096;

// Called before each write to the file, with the number of pages it writes: lets tests stop a
// writer at a chosen moment. Null (the default) calls nothing.
using PageWriteHook = void (*)(size_t pages);
void SetPageWriteHook(PageWriteHook hook);

class PageFile {
  public:
    // Pages of the given format; failures while it is open name that format.
    explicit PageFile(const std::string& target, const Format& format = kJet4Format);
    // The existing Jet 4 file at path, written in place: pages of pageCount on are appended, and
    // Allocate hands out the reusable pages (ascending) before appending. Nothing is renamed.
    struct InPlace {};
    PageFile(InPlace, const std::string& path, uint32_t pageCount, std::vector<uint32_t> reusable,
             const Format& format = kJet4Format);
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
    // Hands every page written so far to the system (no wait for the disk).
    void Flush();
    // Writes out every page written so far and waits until the disk has them (in place).
    void Sync();
    // In place: puts back what the file held in every page of its old length that was written,
    // and cuts it to that length (a failed change leaves the file as it was).
    void Rollback();
    // Every page Allocate handed out (in place only), in order.
    const std::vector<uint32_t>& Allocated() const { return allocated_; }
    // Pages written to the file so far, for measuring.
    uint64_t PagesWritten() const { return pagesWritten_; }

  private:
    // Asks the syncing thread (started on first use) to flush the file to disk.
    void RequestSync();
    // Ends the syncing thread; its first failure, if any, is returned as errno's value (0: none).
    int StopSyncing();

    const Format& format_;
    const char* outerFormatName_;
    std::string target_;
    std::string buffer_; // pages from bufferStart_ on, not yet in the file
    uint32_t bufferStart_ = 0;
    uint64_t unsynced_ = 0; // bytes written since the last flush to disk was asked for
    std::string temp_;
    int fd_ = -1;
    uint32_t pages_ = 0;
    bool committed_ = false;
    bool inPlace_ = false;
    std::vector<uint32_t> reusable_; // descending: the next one at the back
    uint64_t pagesWritten_ = 0;
    std::vector<uint32_t> allocated_;
    uint32_t originalPages_ = 0;
    std::map<uint32_t, std::string> before_; // in place: old bytes of the pages written over

    std::thread syncer_;
    std::mutex syncMutex_;
    std::condition_variable syncWanted_;
    bool syncPending_ = false, syncStop_ = false;
    int syncError_ = 0;
};

// The writer's failures: one message naming what could not be written.
[[noreturn]] void Fail(const std::string& what);

// Names the format ("Jet 3", "Jet 4") in Fail's messages while it lives; a page file does so for
// its own format, this for work on a file before any page file is open.
class FailureFormat {
  public:
    explicit FailureFormat(const char* name);
    ~FailureFormat();
    FailureFormat(const FailureFormat&) = delete;
    FailureFormat& operator=(const FailureFormat&) = delete;

  private:
    const char* outer_;
};

} // namespace engine::detail::jet4
