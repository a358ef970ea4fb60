#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/notice.h"

namespace vuduzez {

namespace {

std::string WithReason(const std::string& path, int error) {
  return path + " (" + std::strerror(error) + ")";
}

// Opens the database for the lock's mode, refusing what may not be used.
int OpenForLock(const std::string& path, LockMode mode, struct stat& st) {
  if (mode == LockMode::kShared) {
    int fd = OpenRegularFileForReading(path);
    ::fstat(fd, &st);
    return fd;
  }
  // O_NONBLOCK: a FIFO is refused below instead of waited on.
  int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) ThrowFileError(path);
    if (error == EISDIR) ThrowFileError(path, kNotRegularFile);
    if (error == EACCES || error == EPERM || error == EROFS) {
      throw RuntimeError(std::string(kDatabaseReadOnly) + ": " + WithReason(path, error));
    }
    ThrowFileError(WithReason(path, error), kCannotOpenFile);
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    ThrowFileError(path, kNotRegularFile);
  }
  if ((st.st_mode & 0222) == 0) {
    ::close(fd);
    throw RuntimeError(std::string(kDatabaseReadOnly) + ": " + path);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

std::chrono::milliseconds DefaultLockWait() {
  if (const char* v = std::getenv("VUDUZEZ_LOCK_WAIT"); v != nullptr && *v != '\0') {
    char* end = nullptr;
    const double seconds = std::strtod(v, &end);
    if (end != v && *end == '\0' && seconds >= 0 && seconds < 86400) {
      return std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    }
  }
  return std::chrono::seconds(5);
}

DatabaseLock::DatabaseLock(const std::string& path, LockMode mode)
    : DatabaseLock(path, mode, DefaultLockWait()) {}

DatabaseLock::DatabaseLock(const std::string& path, LockMode mode, std::chrono::milliseconds wait)
    : path_(path) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  const int operation = (mode == LockMode::kShared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  for (;;) {
    fd_ = OpenForLock(path, mode, status_);
    int locked;
    while ((locked = ::flock(fd_, operation)) != 0 && errno == EWOULDBLOCK &&
           Clock::now() < deadline) {
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    if (locked != 0) {
      const int error = errno;
      ::close(fd_);
      fd_ = -1;
      if (error == EWOULDBLOCK || error == EINTR) {
        throw RuntimeError(std::string(kDatabaseBusy) + ": " + path);
      }
      ThrowFileError(WithReason(path, error), kCannotLockFile);
    }
    // The path may name another file by now (a change replaced it while we
    // waited): the lock on the old one protects nothing.
    struct stat now;
    if (::stat(path.c_str(), &now) == 0 && now.st_dev == status_.st_dev &&
        now.st_ino == status_.st_ino) {
      // A change starts from whole records: an append a kill cut short is undone.
      if (mode == LockMode::kExclusive) {
        if (const off_t cut = UndoKilledAppend(fd_, path); cut > 0) {
          Notice(UndoneAppendMessage(cut, path));
        }
      }
      ::fstat(fd_, &status_);  // size and times as of the lock
      return;
    }
    ::close(fd_);
    fd_ = -1;
    if (Clock::now() >= deadline) throw RuntimeError(std::string(kDatabaseBusy) + ": " + path);
  }
}

DatabaseLock::~DatabaseLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the only descriptor releases the lock
}

DatabaseLock::DatabaseLock(DatabaseLock&& other) noexcept
    : path_(std::move(other.path_)), fd_(other.fd_), status_(other.status_) {
  other.fd_ = -1;
}

std::string DatabaseLock::ReadAll() const { return ReadAllFrom(fd_, path_); }

}  // namespace vuduzez
