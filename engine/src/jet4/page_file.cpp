#include "jet4/page_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/error.h"

namespace engine::detail::jet4 {

namespace {
// The format of the file being written, for the messages of failures.
thread_local const char* tFormatName = "Jet 4";
} // namespace

void Fail(const std::string& what) {
    throw Error(err::kOperationNotSupported,
                std::string(tFormatName) + " ファイルに書き込めません: " + what);
}

FailureFormat::FailureFormat(const char* name) : outer_(tFormatName) {
    tFormatName = name;
}

FailureFormat::~FailureFormat() {
    tFormatName = outer_;
}

namespace {
std::string SystemReason() {
    return std::strerror(errno);
}
} // namespace

PageFile::PageFile(const std::string& target, const Format& format)
    : format_(format), outerFormatName_(tFormatName), target_(target) {
    tFormatName = format.name;
    std::vector<char> name(target.begin(), target.end());
    const char suffix[] = ".tmp-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) Fail(target + " の一時ファイルを作れません (" + SystemReason() + ")");
    temp_ = name.data();
}

namespace {
PageWriteHook writeHook = nullptr;
} // namespace

void SetPageWriteHook(PageWriteHook hook) {
    writeHook = hook;
}

PageFile::PageFile(InPlace, const std::string& path, uint32_t pageCount,
                   std::vector<uint32_t> reusable, const Format& format)
    : format_(format), outerFormatName_(tFormatName), target_(path), temp_(path), pages_(pageCount),
      committed_(true), inPlace_(true), reusable_(std::move(reusable)), originalPages_(pageCount) {
    tFormatName = format_.name;
    std::sort(reusable_.rbegin(), reusable_.rend());
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) Fail(path + " を書き込み用に開けません (" + SystemReason() + ")");
}

PageFile::~PageFile() {
    StopSyncing();
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
    tFormatName = outerFormatName_;
}

uint32_t PageFile::Allocate() {
    if (!reusable_.empty()) {
        uint32_t page = reusable_.back();
        reusable_.pop_back();
        allocated_.push_back(page);
        return page;
    }
    if (uint64_t(pages_ + 1) * format_.pageSize > format_.maxFileBytes)
        Fail("ファイルが " + std::to_string(format_.maxFileBytes >> 30) + " GB を超えます");
    if (inPlace_) allocated_.push_back(pages_);
    return pages_++;
}

void PageFile::Rollback() {
    buffer_.clear();
    StopSyncing();
    for (const auto& [page, bytes] : before_)
        if (::pwrite(fd_, bytes.data(), format_.pageSize,
                     static_cast<off_t>(page) * static_cast<off_t>(format_.pageSize)) !=
            static_cast<ssize_t>(format_.pageSize))
            Fail(target_ + " (" + SystemReason() + ")");
    if (::ftruncate(fd_, static_cast<off_t>(originalPages_) *
                             static_cast<off_t>(format_.pageSize)) != 0 ||
        ::fsync(fd_) != 0)
        Fail(target_ + " (" + SystemReason() + ")");
}

void PageFile::Sync() {
    Flush();
    if (int failed = StopSyncing()) {
        errno = failed;
        Fail(temp_ + " (" + SystemReason() + ")");
    }
    syncStop_ = false;
    if (::fsync(fd_) != 0) Fail(temp_ + " (" + SystemReason() + ")");
}

namespace {
constexpr size_t kBufferPages = 64;
constexpr uint64_t kWriteOutEvery = 16ull << 20;
} // namespace

void PageFile::Write(uint32_t page, const std::string& bytes) {
    const size_t pageSize = format_.pageSize;
    if (bytes.size() != pageSize || page >= pages_)
        Fail("ページ " + std::to_string(page) + " の大きさが不正です");
    if (inPlace_ && page < originalPages_ && !before_.count(page)) {
        std::string old(pageSize, '\0');
        if (::pread(fd_, old.data(), pageSize,
                    static_cast<off_t>(page) * static_cast<off_t>(pageSize)) !=
            static_cast<ssize_t>(pageSize))
            Fail(target_ + " (" + SystemReason() + ")");
        before_.emplace(page, std::move(old));
    }
    uint32_t buffered = static_cast<uint32_t>(buffer_.size() / pageSize);
    if (page >= bufferStart_ && page < bufferStart_ + buffered) { // written again while buffered
        buffer_.replace(size_t(page - bufferStart_) * pageSize, pageSize, bytes);
        return;
    }
    if (page != bufferStart_ + buffered || buffer_.size() >= kBufferPages * pageSize) {
        Flush();
        bufferStart_ = page;
    }
    buffer_ += bytes;
}

void PageFile::Flush() {
    if (buffer_.empty()) return;
    off_t at = static_cast<off_t>(bufferStart_) * static_cast<off_t>(format_.pageSize);
    if (writeHook) writeHook(buffer_.size() / format_.pageSize);
    pagesWritten_ += buffer_.size() / format_.pageSize;
    size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = ::pwrite(fd_, buffer_.data() + done, buffer_.size() - done,
                             at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(temp_ + " (" + SystemReason() + ")");
        done += static_cast<size_t>(n);
    }
    unsynced_ += buffer_.size();
    buffer_.clear();
    if (unsynced_ >= kWriteOutEvery) {
        RequestSync();
        unsynced_ = 0;
    }
}

void PageFile::RequestSync() {
    {
        std::lock_guard<std::mutex> lock(syncMutex_);
        syncPending_ = true;
    }
    syncWanted_.notify_one();
    if (syncer_.joinable()) return;
    syncer_ = std::thread([this] {
        std::unique_lock<std::mutex> lock(syncMutex_);
        for (;;) {
            syncWanted_.wait(lock, [&] { return syncPending_ || syncStop_; });
            if (syncStop_) return;
            syncPending_ = false;
            lock.unlock();
            // A request that comes in meanwhile is served by the next round.
            int failed = ::fdatasync(fd_) != 0 ? errno : 0;
            lock.lock();
            if (failed && !syncError_) syncError_ = failed;
        }
    });
}

int PageFile::StopSyncing() {
    if (!syncer_.joinable()) return 0;
    {
        std::lock_guard<std::mutex> lock(syncMutex_);
        syncStop_ = true;
    }
    syncWanted_.notify_one();
    syncer_.join();
    return syncError_;
}

void PageFile::Commit() {
    Flush();
    // The error of a flush is reported once: one the syncing thread saw fails the write here.
    if (int failed = StopSyncing()) {
        errno = failed;
        Fail(temp_ + " (" + SystemReason() + ")");
    }
    // mkstemp made the file for its owner alone: give it the mode a newly created file gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd_, 0666 & ~mask) != 0) Fail(temp_ + " (" + SystemReason() + ")");
    if (::ftruncate(fd_, static_cast<off_t>(pages_) * static_cast<off_t>(format_.pageSize)) != 0 ||
        ::fsync(fd_) != 0)
        Fail(temp_ + " (" + SystemReason() + ")");
    if (::close(fd_) != 0) {
        fd_ = -1;
        Fail(temp_ + " (" + SystemReason() + ")");
    }
    fd_ = -1;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(target_ + " (" + SystemReason() + ")");
    committed_ = true;
}

} // namespace engine::detail::jet4
