#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/errors.h"
#include "platform/messages.h"

namespace vuduzez {

namespace {

constexpr std::string_view kReplacementMark = ".vuduzez-new-";
constexpr std::string_view kNameLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kUniqueLength = 6;
constexpr size_t kWriteBlock = size_t{1} << 20;
// Hidden new files: how old an unlocked one must be to be a killed run's, and
// one that cannot be opened to test its lock.
constexpr time_t kUnfinishedGrace = 10;
constexpr time_t kUnfinishedUnlockedAge = 24 * 60 * 60;

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

ReplacementWriter::ReplacementWriter(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
  buf_.reserve(kWriteBlock);
}

void ReplacementWriter::Write(std::string_view bytes) {
  if (buf_.size() + bytes.size() > kWriteBlock) {
    Finish();
    if (bytes.size() >= kWriteBlock) {
      if (!WriteAll(fd_, bytes)) ThrowFileError(WithReason(path_, errno), kCannotWriteFile);
      written_ += static_cast<off_t>(bytes.size());
      StartWriteBack();
      return;
    }
  }
  buf_.append(bytes);
}

void ReplacementWriter::Finish() {
  if (!WriteAll(fd_, buf_)) ThrowFileError(WithReason(path_, errno), kCannotWriteFile);
  written_ += static_cast<off_t>(buf_.size());
  buf_.clear();
  StartWriteBack();
}

void ReplacementWriter::StartWriteBack() {
#if defined(__linux__)
  // The disk starts on what is written while more is made, so the flush
  // before the rename has little left to wait for. Only a hint: errors show
  // at that flush.
  if (written_ - startedTo_ >= kWriteBackStep) {
    ::sync_file_range(fd_, startedTo_, written_ - startedTo_, SYNC_FILE_RANGE_WRITE);
    startedTo_ = written_;
  }
#endif
}

void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const ReplaceFault& fault) {
  ReplaceFileWith(
      path, [&](ReplacementWriter& out) { out.Write(bytes); }, fault);
}

void ReplaceFileWith(const std::string& path,
                     const std::function<void(ReplacementWriter&)>& produce,
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
    // The owner can be kept only by the administrator. Otherwise the group
    // alone, which any member of it may set: the colleagues who share the
    // file through its group keep their access to it. The mode comes after,
    // as a change of owner or group may clear bits of it.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Not a member of its group: the folder's rules give the group.
    }
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) Fail(path, kCannotCreateFile, fd, temp);

  if (injected(ReplaceStep::kWrite)) Fail(path, kCannotWriteFile, fd, temp);
  try {
    ReplacementWriter out(fd, path);
    produce(out);
    out.Finish();
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
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

bool IsUnfinishedNewFile(std::string_view name) {
  // "." + the file's name + the mark + the unique letters (NewFileTemplate).
  const size_t tail = kReplacementMark.size() + kUniqueLength;
  if (name.size() <= 1 + tail || name[0] != '.') return false;
  return IsReplacementName(name.substr(1), name.substr(1, name.size() - 1 - tail));
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

namespace {

// The note of an append, one per user (another user's note is never trusted
// nor touched): db + ".vuduzez-append." + uid.
std::string AppendNotePath(const std::string& path) {
  return ResolveTarget(path) + ".vuduzez-append." + std::to_string(::geteuid());
}

constexpr std::string_view kNoteHead = "vuduzez append 2";
constexpr size_t kMaxNoteBytes = size_t{16} << 20;

uint32_t Crc32(std::string_view bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// The pieces an append is checked in: its bytes cut where the file's pages
// begin. A kill ends a write of a regular file only between pages, so a
// killed append leaves a whole number of these pieces.
std::vector<std::pair<off_t, off_t>> AppendPieces(off_t from, off_t length, off_t page) {
  std::vector<std::pair<off_t, off_t>> pieces;
  for (off_t at = from, end = from + length; at < end;) {
    const off_t next = std::min(end, (at / page + 1) * page);
    pieces.emplace_back(at, next);
    at = next;
  }
  return pieces;
}

}  // namespace

std::string AppendNoteText(const struct stat& st, off_t sizeBefore, std::string_view bytes) {
  const off_t page = std::max<off_t>(512, ::sysconf(_SC_PAGESIZE));
  std::string text = std::string(kNoteHead) + "\n" + std::to_string(st.st_dev) + " " +
                     std::to_string(st.st_ino) + " " + std::to_string(sizeBefore) + " " +
                     std::to_string(bytes.size()) + " " + std::to_string(page) + "\n";
  char crc[16];
  for (const auto& [from, to] : AppendPieces(sizeBefore, static_cast<off_t>(bytes.size()), page)) {
    std::snprintf(crc, sizeof crc, "%08x\n",
                  Crc32(bytes.substr(static_cast<size_t>(from - sizeBefore),
                                     static_cast<size_t>(to - from))));
    text += crc;
  }
  return text + "end\n";
}

void AppendAll(int fd, const std::string& path, off_t sizeBefore, std::string_view bytes) {
  struct stat st;
  const std::string note = AppendNotePath(path);
  bool noted = false;
  if (::fstat(fd, &st) == 0) {
    // Without a writable folder there is no note, and the append goes on.
    // Exclusive: a file planted under the note's name is never written into.
    ::unlink(note.c_str());
    const int noteFd =
        ::open(note.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (noteFd >= 0) {
      noted = WriteAll(noteFd, AppendNoteText(st, sizeBefore, bytes));
      if (::close(noteFd) != 0) noted = false;
      if (!noted) ::unlink(note.c_str());
    }
  }
  if (::lseek(fd, 0, SEEK_END) < 0 || !WriteAll(fd, bytes)) {
    int saved = errno;
    // Cut a partial record off again so the file keeps whole records.
    if (::ftruncate(fd, sizeBefore) != 0) {
    }
    if (noted) ::unlink(note.c_str());
    ThrowFileError(WithReason(path, saved), kCannotWriteFile);
  }
  if (noted) ::unlink(note.c_str());
}

namespace {

// What a note says, once its text checked out.
struct AppendNote {
  unsigned long long dev = 0, ino = 0;
  long long before = -1, length = -1, page = 0;
  std::vector<uint32_t> crcs;
};

std::optional<AppendNote> ParseAppendNote(const std::string& text) {
  std::istringstream in(text);
  std::string head, end;
  AppendNote n;
  if (!std::getline(in, head) || head != kNoteHead) return std::nullopt;
  if (!(in >> n.dev >> n.ino >> n.before >> n.length >> n.page) || n.before < 0 || n.length < 0 ||
      n.page < 512) {
    return std::nullopt;
  }
  const size_t pieces =
      AppendPieces(static_cast<off_t>(n.before), static_cast<off_t>(n.length), n.page).size();
  for (size_t i = 0; i < pieces; ++i) {
    std::string word;
    if (!(in >> word) || word.size() != 8) return std::nullopt;
    char* stop = nullptr;
    n.crcs.push_back(static_cast<uint32_t>(std::strtoul(word.c_str(), &stop, 16)));
    if (*stop != '\0') return std::nullopt;
  }
  // A note cut short by the kill is no proof of anything.
  if (!(in >> end) || end != "end") return std::nullopt;
  return n;
}

}  // namespace

off_t UndoKilledAppend(int fd, const std::string& path) {
  // A note of the first kind (no proof in it, one name for every user) is
  // stale whatever it says: removed when it is ours.
  const std::string firstKind = ResolveTarget(path) + ".vuduzez-append";
  struct stat old;
  if (::lstat(firstKind.c_str(), &old) == 0 && S_ISREG(old.st_mode) && old.st_uid == ::geteuid()) {
    ::unlink(firstKind.c_str());
  }
  const std::string note = AppendNotePath(path);
  const int noteFd = ::open(note.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (noteFd < 0) return 0;
  struct stat noteSt;
  std::string text;
  // Only our own note: a file someone else planted under its name decides
  // nothing and stays.
  const bool own =
      ::fstat(noteFd, &noteSt) == 0 && S_ISREG(noteSt.st_mode) && noteSt.st_uid == ::geteuid();
  if (own && static_cast<size_t>(noteSt.st_size) < kMaxNoteBytes) {
    try {
      text = ReadAllFrom(noteFd, note);
    } catch (const RuntimeError&) {
    }
  }
  ::close(noteFd);
  if (!own) return 0;
  off_t cut = 0;
  const std::optional<AppendNote> n = ParseAppendNote(text);
  struct stat st;
  // The file is exactly as the killed run left it only when it is the same
  // file, it ends inside the bytes that run meant to write, at a place a kill
  // can leave, and every piece written since the note is that run's. In every
  // other case (nothing written, the whole append written, anything changed
  // or added since) the note is stale and nothing is touched.
  if (n && ::fstat(fd, &st) == 0 && st.st_dev == n->dev && st.st_ino == n->ino &&
      st.st_size > n->before && st.st_size < n->before + n->length) {
    const auto pieces =
        AppendPieces(static_cast<off_t>(n->before), static_cast<off_t>(n->length), n->page);
    size_t k = 0;
    bool ours = true;
    for (; k < pieces.size() && pieces[k].second <= st.st_size && ours; ++k) {
      std::string piece(static_cast<size_t>(pieces[k].second - pieces[k].first), '\0');
      ours = ::pread(fd, piece.data(), piece.size(), pieces[k].first) ==
                 static_cast<ssize_t>(piece.size()) &&
             Crc32(piece) == n->crcs[k];
    }
    const bool atPieceEnd = k > 0 && pieces[k - 1].second == st.st_size;
    if (ours && atPieceEnd && ::ftruncate(fd, static_cast<off_t>(n->before)) == 0) {
      ::fdatasync(fd);
      cut = st.st_size - static_cast<off_t>(n->before);
    }
  }
  ::unlink(note.c_str());
  return cut;
}

void SyncData(int fd, const std::string& path) {
  if (::fdatasync(fd) != 0) ThrowFileError(WithReason(path, errno), kCannotWriteFile);
}

MappedFile::MappedFile(int fd, const std::string& path) {
  struct stat st;
  if (::fstat(fd, &st) != 0) ThrowFileError(WithReason(path, errno), kCannotReadFile);
  size_ = static_cast<size_t>(st.st_size);
  if (size_ == 0) return;
  data_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (data_ == MAP_FAILED) {
    data_ = nullptr;
    size_ = 0;
    ThrowFileError(WithReason(path, errno), kCannotReadFile);
  }
  ::madvise(data_, size_, MADV_SEQUENTIAL);
}

MappedFile::~MappedFile() {
  if (data_ != nullptr) ::munmap(data_, size_);
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

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

namespace {

// The mkstemp template of a new file's first, hidden name beside path.
std::string NewFileTemplate(const std::string& folder, const std::string& path) {
  return folder + "/." + BaseName(path) + std::string(kReplacementMark) + "XXXXXX";
}

}  // namespace

NewFile CreateNewFile(const std::string& path, std::string_view bytes) {
  const std::string folder = FolderOf(path);
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) ThrowFileError(folder);
  if (::lstat(path.c_str(), &st) == 0) {
    return HoldsExactly(path, bytes) ? NewFile::kSameContent : NewFile::kOtherContent;
  }

  std::string temp = NewFileTemplate(folder, path);
  errno = 0;
  int fd = ::mkstemp(temp.data());
  if (fd < 0) Fail(path, kCannotCreateFile, -1, "");
  // Locked until it has its own name: RemoveUnfinishedNewFiles leaves it be.
  ::flock(fd, LOCK_EX | LOCK_NB);
  if (::fchmod(fd, NewFileMode()) != 0) Fail(path, kCannotCreateFile, fd, temp);
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) Fail(path, kCannotWriteFile, fd, temp);

  // link() never replaces what is at path and never follows a link there.
  const bool linked = ::link(temp.c_str(), path.c_str()) == 0;
  const int linkError = errno;
  if (linked) ::unlink(temp.c_str());  // it has its own name now
  if (::close(fd) != 0) {
    if (linked) ::unlink(path.c_str());
    Fail(path, kCannotWriteFile, -1, linked ? "" : temp);
  }
  if (!linked) {
    const int saved = linkError;
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
  if (!SyncFolder(folder)) {
    ::unlink(path.c_str());
    Fail(path, kCannotSyncFolder, -1, "");
  }
  return NewFile::kCreated;
}

NewFileBatch::~NewFileBatch() { Discard(); }

void NewFileBatch::Discard() {
  for (Staged& f : staged_) {
    if (!f.temp.empty()) ::unlink(f.temp.c_str());  // before its lock goes
    if (f.fd >= 0) ::close(f.fd);
  }
  staged_.clear();
}

NewFile NewFileBatch::Stage(const std::string& path, std::string_view bytes) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    return HoldsExactly(path, bytes) ? NewFile::kSameContent : NewFile::kOtherContent;
  }
  // A uniquely named file beside it, as CreateNewFile makes one.
  const std::string folder = FolderOf(path);
  std::string temp = NewFileTemplate(folder, path);
  errno = 0;
  const int fd = ::mkstemp(temp.data());
  if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) ThrowFileError(folder);
  if (fd < 0) Fail(path, kCannotCreateFile, -1, "");
  // Locked while the batch holds it (until Commit has named it, or Discard).
  ::flock(fd, LOCK_EX | LOCK_NB);
  if (::fchmod(fd, NewFileMode()) != 0 || !WriteAll(fd, bytes)) {
    Fail(path, kCannotWriteFile, fd, temp);
  }
  staged_.push_back({path, std::move(temp), std::string(bytes), fd});
  return NewFile::kCreated;
}

std::vector<NewFile> NewFileBatch::Commit() {
  std::vector<NewFile> made(staged_.size(), NewFile::kCreated);
  std::vector<std::string> linked;  // ours, to be taken back if a later step fails
  auto failed = [&](const std::string& path, const char* what) {
    const int saved = errno;
    for (const std::string& p : linked) ::unlink(p.c_str());
    Discard();
    errno = saved;
    Fail(path, what, -1, "");
  };
  // Every file's bytes on disk before any name points at it: one flush of the
  // file system for the whole batch, where the system has one; a flush per
  // file costs a disk round trip each.
  bool synced = false;
#ifdef __linux__
  synced = !staged_.empty() && ::syncfs(staged_.front().fd) == 0;
#endif
  for (Staged& f : staged_) {
    if (!synced && ::fsync(f.fd) != 0) failed(f.path, kCannotWriteFile);
  }
  std::vector<std::string> folders;
  for (size_t i = 0; i < staged_.size(); ++i) {
    Staged& f = staged_[i];
    // Neither a rename without replacement nor link() replaces what is at
    // path or follows a link there; the rename saves the link's unlink.
    if (::renameat2(AT_FDCWD, f.temp.c_str(), AT_FDCWD, f.path.c_str(), RENAME_NOREPLACE) == 0) {
      f.temp.clear();  // moved: no temporary name left to remove
      linked.push_back(f.path);
    } else if ((errno == EINVAL || errno == ENOSYS) &&
               ::link(f.temp.c_str(), f.path.c_str()) == 0) {
      linked.push_back(f.path);
    } else if (errno == EEXIST) {
      made[i] = HoldsExactly(f.path, f.bytes) ? NewFile::kSameContent : NewFile::kOtherContent;
    } else if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EMLINK) {
      made[i] = CreateInPlace(f.path, f.bytes);
      if (made[i] == NewFile::kCreated) linked.push_back(f.path);
    } else {
      failed(f.path, kCannotCreateFile);
    }
    const std::string folder = FolderOf(f.path);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  }
  // Each file stays locked until it has its own name.
  for (Staged& f : staged_) {
    const int fd = f.fd;
    f.fd = -1;
    if (::close(fd) != 0) failed(f.path, kCannotWriteFile);
  }
  Discard();  // the temporary names go; the files stay under their own
  for (const std::string& folder : folders) {
    errno = 0;
    if (!SyncFolder(folder)) failed(folder, kCannotSyncFolder);
  }
  return made;
}

void RemoveUnfinishedNewFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const int dirFd = ::dirfd(dir);
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsUnfinishedNewFile(entry->d_name)) continue;
    struct stat st;
    // Only plain files: whatever else carries such a name is not ours.
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
      continue;
    }
    const time_t age = now - st.st_mtim.tv_sec;
    const int fd =
        ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
      // Not even readable (another user's): only the age can tell.
      if (age > kUnfinishedUnlockedAge) ::unlinkat(dirFd, entry->d_name, 0);
      continue;
    }
    // A running store or import holds the lock of each file it writes; a
    // killed one holds none. A few seconds' grace covers the moment between
    // a file's creation and its lock.
    if (age >= kUnfinishedGrace && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::close(fd);
  }
  ::closedir(dir);
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
  bool moved = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
  if (!moved && errno == EEXIST) return false;
  if (!moved && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without the flag: link() never replaces either.
    if (::link(from.c_str(), to.c_str()) != 0) {
      if (errno == EEXIST) return false;
      ThrowFileError(WithReason(from, errno), kCannotReplaceFile);
    }
    if (::unlink(from.c_str()) != 0) {
      const int saved = errno;
      ::unlink(to.c_str());
      ThrowFileError(WithReason(from, saved), kCannotReplaceFile);
    }
    moved = true;
  }
  if (!moved) ThrowFileError(WithReason(from, errno), kCannotReplaceFile);
  SyncFolder(FolderOf(to));
  SyncFolder(FolderOf(from));
  return true;
}

bool SameFileBytes(const std::string& a, const std::string& b) {
  try {
    if (!IsRegularFile(a) || !IsRegularFile(b)) return false;
    return HoldsExactly(b, ReadFileBytes(a));
  } catch (const RuntimeError&) {
    return false;
  }
}

bool RemoveCreatedFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return false;
  SyncFolder(FolderOf(path));
  return true;
}

}  // namespace vuduzez
