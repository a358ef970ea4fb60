#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/errors.h"
#include "platform/messages.h"

namespace vuduzez {

namespace {

constexpr std::string_view kReplacementMark = ".vuduzez-new-";
constexpr std::string_view kNameLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kUniqueLength = 6;

// Writes all bytes, retrying after interrupted and short writes.
bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names: symbolic links are followed so that the link
// stays and its target is replaced.
std::string ResolveTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) return current;
    std::string target(buf.data(), static_cast<size_t>(n));
    if (!target.empty() && target[0] != '/') target = FolderOf(current) + "/" + target;
    current = target;
  }
  return current;
}

std::string WithReason(const std::string& path, int error) {
  return error != 0 ? path + " (" + std::strerror(error) + ")" : path;
}

[[noreturn]] void Fail(const std::string& path, const char* what, int fd,
                       const std::string& tempPath) {
  int saved = errno;
  if (fd >= 0) ::close(fd);
  if (!tempPath.empty()) ::unlink(tempPath.c_str());
  ThrowFileError(WithReason(path, saved), what);
}

// Creates target's replacement file: a fresh name each try, O_EXCL so that an
// existing file (or a link planted under that name) is never opened.
int CreateReplacement(const std::string& target, std::string& tempPath) {
  const std::string prefix = target + std::string(kReplacementMark);
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char random[kUniqueLength];
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
      for (unsigned char& r : random) r = static_cast<unsigned char>(std::rand());
    }
    tempPath = prefix;
    for (unsigned char r : random) tempPath += kNameLetters[r % kNameLetters.size()];
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

int OpenRegularFileForReading(const std::string& path) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) ThrowFileError(path);
    Fail(path, kCannotOpenFile, -1, "");
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    ThrowFileError(path, kNotRegularFile);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::string ReadAllFrom(int fd, const std::string& path) {
  struct stat st;
  std::string bytes;
  if (::fstat(fd, &st) == 0) bytes.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  char more[4096];  // what a file that grew since fstat holds beyond its size
  for (;;) {
    const bool inSize = got < bytes.size();
    ssize_t n = inSize
                    ? ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got))
                    : ::pread(fd, more, sizeof more, static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(WithReason(path, errno), kCannotReadFile);
    }
    if (n == 0) break;
    if (!inSize) bytes.append(more, static_cast<size_t>(n));
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

std::string ReadFileBytes(const std::string& path) {
  const int fd = OpenRegularFileForReading(path);
  try {
    std::string bytes = ReadAllFrom(fd, path);
    ::close(fd);
    return bytes;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const ReplaceFault& fault) {
  auto injected = [&](ReplaceStep step) {
    if (fault && fault(step)) {
      errno = EIO;
      return true;
    }
    return false;
  };

  const std::string target = ResolveTarget(path);
  struct stat old;
  const bool existed = ::stat(target.c_str(), &old) == 0;

  std::string temp;
  errno = 0;
  int fd = injected(ReplaceStep::kCreate) ? -1 : CreateReplacement(target, temp);
  if (fd < 0) Fail(path, kCannotCreateFile, -1, "");

  // The replacement is made 0600 (nobody else can read it while it is being
  // written); it then takes the old file's mode, or the mode a newly created
  // file would get.
  mode_t mode;
  if (existed) {
    mode = old.st_mode & 07777;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Not allowed for other users' files; the mode still applies.
    }
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) Fail(path, kCannotCreateFile, fd, temp);

  if (injected(ReplaceStep::kWrite) || !WriteAll(fd, bytes)) {
    Fail(path, kCannotWriteFile, fd, temp);
  }
  if (injected(ReplaceStep::kSync) || ::fsync(fd) != 0) {
    Fail(path, kCannotWriteFile, fd, temp);
  }
  if (::close(fd) != 0) Fail(path, kCannotWriteFile, -1, temp);
  if (injected(ReplaceStep::kRename) || ::rename(temp.c_str(), target.c_str()) != 0) {
    Fail(path, kCannotReplaceFile, -1, temp);
  }
  // The new content is in place; a folder that cannot be synced is reported,
  // but the database is whole either way.
  int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  bool synced = dir >= 0 && !injected(ReplaceStep::kSyncFolder) && ::fsync(dir) == 0;
  if (dir >= 0) ::close(dir);
  if (!synced) Fail(path, kCannotSyncFolder, -1, "");
}

bool IsReplacementName(std::string_view name, std::string_view base) {
  const size_t stem = base.size() + kReplacementMark.size();
  if (name.size() != stem + kUniqueLength) return false;
  if (name.substr(0, base.size()) != base) return false;
  if (name.substr(base.size(), kReplacementMark.size()) != kReplacementMark) return false;
  for (char c : name.substr(stem)) {
    if (kNameLetters.find(c) == std::string_view::npos) return false;
  }
  return true;
}

void RemoveStaleReplacements(const std::string& path) {
  const std::string target = ResolveTarget(path);
  const std::string base = BaseOf(target);
  DIR* dir = ::opendir(FolderOf(target).c_str());
  if (dir == nullptr) return;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsReplacementName(entry->d_name, base)) continue;
    struct stat st;
    // Only plain files: whatever else carries such a name is not ours.
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      ::unlinkat(dirFd, entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

void AppendAll(int fd, const std::string& path, off_t sizeBefore, std::string_view bytes) {
  if (::lseek(fd, 0, SEEK_END) < 0 || !WriteAll(fd, bytes)) {
    int saved = errno;
    // Cut a partial record off again so the file keeps whole records.
    if (::ftruncate(fd, sizeBefore) != 0) {
    }
    ThrowFileError(WithReason(path, saved), kCannotWriteFile);
  }
}

void SyncData(int fd, const std::string& path) {
  if (::fdatasync(fd) != 0) ThrowFileError(WithReason(path, errno), kCannotWriteFile);
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) ThrowFileError(path, kCannotCreateFile);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) ThrowFileError(path, kCannotWriteFile);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace vuduzez
