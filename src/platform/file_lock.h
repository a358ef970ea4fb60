// Advisory locks on a database file shared by several processes (the desktop
// program, vuduzez-cli, other users on a shared folder). Every change holds
// the exclusive lock, every load the shared one.
//
// The lock is taken with flock on the database file itself. A change that
// replaces the file renames a new file over it while still holding the lock
// on the old one; whoever was waiting on the old file finds, once it has the
// lock, that the path now names another file, and starts again on that one.
// So no lock file is needed beside the database: a reader in a folder it may
// not write still locks, and a process that dies releases its lock.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <string>

#include "platform/messages.h"

namespace vuduzez {

enum class LockMode { kShared, kExclusive };

// How long a lock is waited for: five seconds, or the number of seconds in the
// environment variable VUDUZEZ_LOCK_WAIT (for slow shared folders).
std::chrono::milliseconds DefaultLockWait();

// Holds the lock on the database file at path, with the file open: read-only
// for kShared, read-write for kExclusive. The file must exist and be a regular
// file (a FIFO or device is refused at once); kExclusive also refuses a file
// the user may not write, or that has no write permission bit at all (so that
// a file made read-only stays unchanged even for the administrator). When the
// lock cannot be had within wait, throws RuntimeError with kDatabaseBusy.
class DatabaseLock {
 public:
  DatabaseLock(const std::string& path, LockMode mode);
  DatabaseLock(const std::string& path, LockMode mode, std::chrono::milliseconds wait);
  ~DatabaseLock();
  DatabaseLock(DatabaseLock&& other) noexcept;
  DatabaseLock& operator=(DatabaseLock&&) = delete;
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // The file's status when the lock was taken (identity, size, times).
  const struct ::stat& status() const { return status_; }
  // The whole file as it is now.
  std::string ReadAll() const;

 private:
  std::string path_;
  int fd_ = -1;
  struct ::stat status_ {};
};

}  // namespace vuduzez
