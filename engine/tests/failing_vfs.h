// A SQLite VFS for tests that wraps the default one and fails the N-th write or sync of the
// files whose paths begin with a chosen prefix (a database file and its journal; or a folder,
// for the super-journals of a commit). SQLite's own failure paths then run as they would on a
// full disk or a failing device: a write fails with SQLITE_FULL or SQLITE_IOERR_WRITE, a sync
// with SQLITE_IOERR_FSYNC.
//
// Connections opened while a FailingVfs lives use it (it is registered as the default); open
// no database before making it, and close every database before it goes.
#pragma once

#include <sqlite3.h>

#include <cstring>
#include <string>

namespace enginetest {

class FailingVfs {
  public:
    FailingVfs() {
        real_ = sqlite3_vfs_find(nullptr);
        vfs_ = *real_;
        vfs_.zName = "failing";
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
        vfs_.pNext = nullptr;
        vfs_.xOpen = &Open;
        current_ = this;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FailingVfs() {
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(real_, 1);
        current_ = nullptr;
    }
    FailingVfs(const FailingVfs&) = delete;
    FailingVfs& operator=(const FailingVfs&) = delete;

    // From now on, counts the writes and syncs of files under prefix; the failAt-th fails
    // (0: none fails). A failing write returns writeError (SQLITE_FULL or SQLITE_IOERR_WRITE).
    void Arm(std::string prefix, long failAt, int writeError = SQLITE_IOERR_WRITE) {
        prefix_ = std::move(prefix);
        failAt_ = failAt;
        writeError_ = writeError;
        count_ = 0;
        fired_ = false;
    }
    void Disarm() { Arm(std::string(), 0); }
    long Count() const { return count_; }
    bool Fired() const { return fired_; }

  private:
    struct File {
        sqlite3_file base;
        const char* name; // SQLite keeps the name unchanged until the file is closed
        sqlite3_file* Real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static File* Of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

    // True when this write or sync of a watched file is the one to fail.
    static bool Fails(File* f) {
        FailingVfs* v = current_;
        if (!v || !Watched(f->name)) return false;
        if (++v->count_ != v->failAt_) return false;
        v->fired_ = true;
        return true;
    }
    static bool Watched(const char* name) {
        FailingVfs* v = current_;
        return v && name && !v->prefix_.empty() &&
               std::strncmp(name, v->prefix_.c_str(), v->prefix_.size()) == 0;
    }

    static int Open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags,
                    int* outFlags) {
        auto* self = static_cast<FailingVfs*>(current_);
        File* f = Of(file);
        f->name = name;
        int rc = self->real_->xOpen(self->real_, name, f->Real(), flags, outFlags);
        // SQLite closes a file whose methods are set, even when opening it failed.
        f->base.pMethods = f->Real()->pMethods ? &kMethods : nullptr;
        (void)vfs;
        return rc;
    }

    static int Close(sqlite3_file* f) { return Of(f)->Real()->pMethods->xClose(Of(f)->Real()); }
    static int Read(sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
        return Of(f)->Real()->pMethods->xRead(Of(f)->Real(), buf, n, off);
    }
    static int Write(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
        if (Fails(Of(f))) return current_->writeError_;
        return Of(f)->Real()->pMethods->xWrite(Of(f)->Real(), buf, n, off);
    }
    static int Truncate(sqlite3_file* f, sqlite3_int64 size) {
        return Of(f)->Real()->pMethods->xTruncate(Of(f)->Real(), size);
    }
    static int Sync(sqlite3_file* f, int flags) {
        if (Fails(Of(f))) return SQLITE_IOERR_FSYNC;
        return Of(f)->Real()->pMethods->xSync(Of(f)->Real(), flags);
    }
    static int FileSize(sqlite3_file* f, sqlite3_int64* size) {
        return Of(f)->Real()->pMethods->xFileSize(Of(f)->Real(), size);
    }
    static int Lock(sqlite3_file* f, int level) {
        return Of(f)->Real()->pMethods->xLock(Of(f)->Real(), level);
    }
    static int Unlock(sqlite3_file* f, int level) {
        return Of(f)->Real()->pMethods->xUnlock(Of(f)->Real(), level);
    }
    static int CheckReservedLock(sqlite3_file* f, int* out) {
        return Of(f)->Real()->pMethods->xCheckReservedLock(Of(f)->Real(), out);
    }
    static int FileControl(sqlite3_file* f, int op, void* arg) {
        return Of(f)->Real()->pMethods->xFileControl(Of(f)->Real(), op, arg);
    }
    static int SectorSize(sqlite3_file* f) {
        return Of(f)->Real()->pMethods->xSectorSize(Of(f)->Real());
    }
    static int DeviceCharacteristics(sqlite3_file* f) {
        return Of(f)->Real()->pMethods->xDeviceCharacteristics(Of(f)->Real());
    }
    static int ShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
        return Of(f)->Real()->pMethods->xShmMap(Of(f)->Real(), page, size, extend, out);
    }
    static int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
        return Of(f)->Real()->pMethods->xShmLock(Of(f)->Real(), offset, n, flags);
    }
    static void ShmBarrier(sqlite3_file* f) { Of(f)->Real()->pMethods->xShmBarrier(Of(f)->Real()); }
    static int ShmUnmap(sqlite3_file* f, int deleteFlag) {
        return Of(f)->Real()->pMethods->xShmUnmap(Of(f)->Real(), deleteFlag);
    }
    static int Fetch(sqlite3_file* f, sqlite3_int64 off, int n, void** out) {
        return Of(f)->Real()->pMethods->xFetch(Of(f)->Real(), off, n, out);
    }
    static int Unfetch(sqlite3_file* f, sqlite3_int64 off, void* p) {
        return Of(f)->Real()->pMethods->xUnfetch(Of(f)->Real(), off, p);
    }

    static constexpr sqlite3_io_methods kMethods = {
        3,
        &Close,
        &Read,
        &Write,
        &Truncate,
        &Sync,
        &FileSize,
        &Lock,
        &Unlock,
        &CheckReservedLock,
        &FileControl,
        &SectorSize,
        &DeviceCharacteristics,
        &ShmMap,
        &ShmLock,
        &ShmBarrier,
        &ShmUnmap,
        &Fetch,
        &Unfetch,
    };

    static inline FailingVfs* current_ = nullptr;
    sqlite3_vfs* real_;
    sqlite3_vfs vfs_;
    std::string prefix_;
    long failAt_ = 0;
    int writeError_ = SQLITE_IOERR_WRITE;
    long count_ = 0;
    bool fired_ = false;
};

} // namespace enginetest
