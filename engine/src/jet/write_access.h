// Whether a genuine Jet file may be changed in place, and the lock that tells other Jet programs
// it is in use while it is being changed.
//
// Jet programs sharing a file take part through the lock file beside it (name.ldb): a user holds
// a one-byte lock at 0x10000000 + n for slot n (n = 1..255) for as long as the file is open, and
// writes its computer and account names into the slot's 64 bytes. A .ldb without a live lock is
// left over from a program that ended without removing it and does not hold the file. On Linux
// the locks are fcntl locks, which a file server such as Samba also shows for its Windows clients.
#pragma once

#include <string>

namespace engine::detail::jet {

// Throws engine::Error when the file cannot be changed: an unknown or foreign version
// (err::kBadFormat), pages encoded or a database password set (err::kEncryptedFile), a file or
// folder the user may not write (err::kReadOnly naming the file), a live lock of another program
// on its .ldb (err::kLocked). Reads the file only.
void CheckJetFileWritable(const std::string& path);

// What the header page says against a change: the version is neither Jet 3 nor Jet 4
// (err::kBadFormat), the pages are encoded or a password is set (err::kEncryptedFile).
// number 0 when nothing; why says it in the system's words, for Error's detail.
struct Refusal {
    long number = 0;
    std::string why;
};
Refusal HeaderRefusal(const std::string& firstPage);

// Holds the file's .ldb for this process while it writes: creates it when missing, takes a free
// slot and writes this machine's name and the account "Admin" into it. Throws err::kLocked when
// another program holds a slot. The destructor releases the slot and removes a .ldb that no one
// else holds, as Jet does when its last user closes the file.
class JetFileLock {
  public:
    explicit JetFileLock(const std::string& path);
    ~JetFileLock();
    JetFileLock(const JetFileLock&) = delete;
    JetFileLock& operator=(const JetFileLock&) = delete;

    int Slot() const { return slot_; }

  private:
    std::string ldb_;
    int fd_ = -1;
    int slot_ = 0;
};

// The lock file's path for a Jet file: the extension replaced by .ldb (added when there is none).
std::string LockFilePath(const std::string& path);
// True when another process holds a user lock on the .ldb at ldbPath.
bool LockFileInUse(const std::string& ldbPath);

} // namespace engine::detail::jet
