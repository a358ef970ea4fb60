#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/errors.h"

namespace vuduzez {

namespace {

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

[[noreturn]] void Fail(const std::string& path, const char* what, int fd,
                       const std::string& tempPath) {
  int saved = errno;
  if (fd >= 0) ::close(fd);
  if (!tempPath.empty()) ::unlink(tempPath.c_str());
  std::string reason = saved != 0 ? std::string(" (") + std::strerror(saved) + ")" : "";
  ThrowFileError(path + reason, what);
}

}  // namespace

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

  std::string temp = target + ".XXXXXX";
  errno = 0;
  int fd = injected(ReplaceStep::kCreate) ? -1 : ::mkstemp(temp.data());
  if (fd < 0) Fail(path, kCannotCreateFile, -1, "");

  // mkstemp makes the file 0600; give it the old file's mode (or the mode a
  // newly created file would get).
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

void AppendToExistingFile(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) ThrowFileError(path);
    Fail(path, kCannotWriteFile, -1, "");
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    ThrowFileError(path);
  }
  if (!WriteAll(fd, bytes)) {
    int saved = errno;
    // Cut a partial record off again so the file keeps whole records.
    if (::ftruncate(fd, st.st_size) != 0) {
    }
    errno = saved;
    Fail(path, kCannotWriteFile, fd, "");
  }
  if (::close(fd) != 0) Fail(path, kCannotWriteFile, -1, "");
}

std::string ReadFileBytes(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowFileError(path);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    ThrowFileError(path);
  }
  std::string bytes;
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  for (;;) {
    if (got == bytes.size()) bytes.resize(bytes.size() + 65536);  // the file grew
    ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(path, kCannotReadFile, fd, "");
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return bytes;
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

namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether the file at path (never followed) is a regular file holding exactly bytes.
bool HoldsExactly(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<uint64_t>(st.st_size) == bytes.size();
  if (same) {
    std::string have(bytes.size(), '\0');
    size_t got = 0;
    while (got < have.size()) {
      ssize_t n = ::read(fd, have.data() + got, have.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    char extra;
    same = got == have.size() && have == bytes && ::read(fd, &extra, 1) == 0;
  }
  ::close(fd);
  return same;
}

bool SyncFolder(const std::string& folder) {
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  bool ok = ::fsync(dir) == 0;
  ::close(dir);
  return ok;
}

mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Where the file system has no hard links: the file is created exclusively
// under its own name (never through a link) and written there.
NewFile CreateInPlace(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) {
      return HoldsExactly(path, bytes) ? NewFile::kSameContent : NewFile::kOtherContent;
    }
    Fail(path, kCannotCreateFile, -1, "");
  }
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) Fail(path, kCannotWriteFile, fd, path);
  if (::close(fd) != 0) Fail(path, kCannotWriteFile, -1, path);
  if (!SyncFolder(FolderOf(path))) Fail(path, kCannotSyncFolder, -1, path);
  return NewFile::kCreated;
}

}  // namespace

NewFile CreateNewFile(const std::string& path, std::string_view bytes) {
  const std::string folder = FolderOf(path);
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) ThrowFileError(folder);
  if (::lstat(path.c_str(), &st) == 0) {
    return HoldsExactly(path, bytes) ? NewFile::kSameContent : NewFile::kOtherContent;
  }

  std::string temp = folder + "/." + BaseName(path) + ".vuduzez-new-XXXXXX";
  errno = 0;
  int fd = ::mkstemp(temp.data());
  if (fd < 0) Fail(path, kCannotCreateFile, -1, "");
  if (::fchmod(fd, NewFileMode()) != 0) Fail(path, kCannotCreateFile, fd, temp);
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) Fail(path, kCannotWriteFile, fd, temp);
  if (::close(fd) != 0) Fail(path, kCannotWriteFile, -1, temp);

  // link() never replaces what is at path and never follows a link there.
  if (::link(temp.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    if (saved == EEXIST) {
      return HoldsExactly(path, bytes) ? NewFile::kSameContent : NewFile::kOtherContent;
    }
    if (saved == EPERM || saved == EOPNOTSUPP || saved == ENOSYS || saved == EMLINK) {
      return CreateInPlace(path, bytes);
    }
    errno = saved;
    Fail(path, kCannotCreateFile, -1, "");
  }
  ::unlink(temp.c_str());
  if (!SyncFolder(folder)) {
    ::unlink(path.c_str());
    Fail(path, kCannotSyncFolder, -1, "");
  }
  return NewFile::kCreated;
}

bool RemoveCreatedFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return false;
  SyncFolder(FolderOf(path));
  return true;
}

}  // namespace vuduzez
