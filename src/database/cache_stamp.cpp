#include "database/cache_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/notice.h"

namespace vuduzez {

namespace {

// The framing's own version is the magic's last byte: files of the first
// framing (stamps without a change time) are foreign.
constexpr char kMagic[8] = {'V', 'U', 'D', 'Z', 'C', 'A', 'C', '2'};
constexpr uint32_t kByteOrder = 0x01020304;  // a file of another byte order is foreign

FileStamp FromStat(const struct stat& st) {
  FileStamp s;
  s.size = static_cast<int64_t>(st.st_size);
  s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  s.device = static_cast<uint64_t>(st.st_dev);
  s.inode = static_cast<uint64_t>(st.st_ino);
  return s;
}

uint32_t CrcOnOneThread(uint32_t crc, std::string_view bytes) {
  // zlib takes at most 4 GiB per call.
  while (!bytes.empty()) {
    const size_t n = std::min<size_t>(bytes.size(), 1u << 30);
    crc = static_cast<uint32_t>(
        crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(n)));
    bytes.remove_prefix(n);
  }
  return crc;
}

// The same over a large index on every core: pieces checked apart and their
// checksums combined.
uint32_t Crc(uint32_t crc, std::string_view bytes) {
  constexpr size_t kPiece = size_t{32} << 20;
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  if (bytes.size() < 2 * kPiece || cores == 1) return CrcOnOneThread(crc, bytes);
  const size_t pieces = std::min(cores, bytes.size() / kPiece);
  const size_t step = (bytes.size() + pieces - 1) / pieces;
  std::vector<uint32_t> part(pieces, 0);
  std::vector<std::thread> workers;
  for (size_t p = 1; p < pieces; ++p) {
    workers.emplace_back([&, p] { part[p] = CrcOnOneThread(0, bytes.substr(p * step, step)); });
  }
  part[0] = CrcOnOneThread(crc, bytes.substr(0, step));
  for (std::thread& w : workers) w.join();
  uint32_t out = part[0];
  for (size_t p = 1; p < pieces; ++p) {
    const size_t length = std::min(step, bytes.size() - p * step);
    out = static_cast<uint32_t>(crc32_combine(out, part[p], static_cast<z_off_t>(length)));
  }
  return out;
}

std::string KindField(std::string_view kind) {
  std::string k(kind.substr(0, 8));
  k.resize(8, '\0');
  return k;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Creates each missing folder of path with mode 0700.
bool MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    const std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return FromStat(st);
}

FileStamp StampAt(int folderFd, const std::string& name) {
  struct stat st;
  if (::fstatat(folderFd, name.c_str(), &st, 0) != 0) return {};
  return FromStat(st);
}

StampedBytes ReadStamped(const std::string& path) {
  // The same state before and after, and as many bytes as it had: the bytes
  // are that state's.
  StampedBytes out;
  out.stamp = StampOf(path);
  out.bytes = ReadFileBytes(path);
  out.stable =
      out.stamp.size == static_cast<int64_t>(out.bytes.size()) && StampOf(path) == out.stamp;
  return out;
}

std::optional<std::string> CacheFolder() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.cache";
  } else {
    return std::nullopt;
  }
  const std::string folder = base + "/vuduzez";
  if (!MakeFolders(folder)) return std::nullopt;
  // What another user could write may hold anything: not even read.
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return std::nullopt;
  if (st.st_uid != ::geteuid()) {
    Notice(CacheFolderNotOwnMessage(folder));
    return std::nullopt;
  }
  if ((st.st_mode & 022) != 0) {
    Notice(CacheFolderWritableMessage(folder));
    return std::nullopt;
  }
  return folder;
}

std::string CanonicalDatabasePath(const std::string& dbPath) {
  char* resolved = ::realpath(dbPath.c_str(), nullptr);
  if (resolved == nullptr) return dbPath;
  std::string out = resolved;
  std::free(resolved);
  return out;
}

std::optional<std::string> CachePathFor(std::string_view kind, const std::string& dbPath) {
  const std::optional<std::string> folder = CacheFolder();
  if (!folder) return std::nullopt;
  // FNV-1a: a stable name; the path itself is checked inside the file.
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : CanonicalDatabasePath(dbPath)) h = (h ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return *folder + "/" + std::string(kind) + "-" + hex + ".bin";
}

namespace {

// Checks the framing of a whole cache file's bytes: the stamp and where the
// payload stands in them.
std::optional<std::pair<FileStamp, std::string_view>> Unframe(std::string_view in,
                                                              std::string_view kind,
                                                              uint32_t version,
                                                              const std::string& dbPath) {
  if (in.size() < sizeof kMagic + 4 || std::memcmp(in.data(), kMagic, sizeof kMagic) != 0) {
    return std::nullopt;
  }
  // The trailer is the checksum of everything before it.
  uint32_t stored = 0;
  std::memcpy(&stored, in.data() + in.size() - 4, 4);
  std::string_view body = in.substr(0, in.size() - 4);
  body.remove_prefix(sizeof kMagic);
  if (body.size() < 8 || body.substr(0, 8) != KindField(kind)) return std::nullopt;
  body.remove_prefix(8);
  uint32_t order = 0, ver = 0, pathLength = 0;
  uint64_t payloadLength = 0;
  FileStamp stamp;
  if (!GetValue(body, order) || order != kByteOrder || !GetValue(body, ver) || ver != version) {
    return std::nullopt;
  }
  if (!GetValue(body, stamp.size) || !GetValue(body, stamp.mtimeNs) ||
      !GetValue(body, stamp.ctimeNs) || !GetValue(body, stamp.device) ||
      !GetValue(body, stamp.inode) || !GetValue(body, pathLength) || body.size() < pathLength) {
    return std::nullopt;
  }
  if (body.substr(0, pathLength) != CanonicalDatabasePath(dbPath)) return std::nullopt;
  body.remove_prefix(pathLength);
  if (!GetValue(body, payloadLength) || body.size() != payloadLength) return std::nullopt;
  // Last, as it reads every byte.
  if (Crc(0, in.substr(0, in.size() - 4)) != stored) return std::nullopt;
  return std::make_pair(stamp, body);
}

// Opens a cache file to read when it is a regular file of the user's own
// that nobody else may write; -1 otherwise (such a file is removed, so that
// the next write makes it again as the user's own).
int OpenTrusted(const std::string& cachePath) {
  const int fd = ::open(cachePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!regular || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) {
    ::close(fd);
    if (regular) Notice(CacheFileUntrustedMessage(cachePath));
    if (regular) ::unlink(cachePath.c_str());
    return -1;
  }
  return fd;
}

}  // namespace

std::optional<CacheContent> ReadCacheFile(const std::string& cachePath, std::string_view kind,
                                          uint32_t version, const std::string& dbPath) {
  std::string bytes;
  {
    const int fd = OpenTrusted(cachePath);
    if (fd < 0) return std::nullopt;
    try {
      bytes = ReadAllFrom(fd, cachePath);
    } catch (const RuntimeError&) {
      ::close(fd);
      return std::nullopt;
    }
    ::close(fd);
  }
  const auto framed = Unframe(bytes, kind, version, dbPath);
  if (!framed) return std::nullopt;
  CacheContent content;
  content.stamp = framed->first;
  content.payloadFrom = static_cast<size_t>(framed->second.data() - bytes.data());
  content.payloadSize = framed->second.size();
  content.bytes = std::move(bytes);  // the heap block moves: the payload's offset stays right
  return content;
}

std::optional<MappedCache> MapCacheFile(const std::string& cachePath, std::string_view kind,
                                        uint32_t version, const std::string& dbPath) {
  const int fd = OpenTrusted(cachePath);
  if (fd < 0) return std::nullopt;
  MappedCache out;
  try {
    out.map = std::make_shared<const MappedFile>(fd, cachePath);
  } catch (const RuntimeError&) {
    ::close(fd);
    return std::nullopt;
  }
  ::close(fd);  // the mapping stays
  const auto framed = Unframe(out.map->bytes(), kind, version, dbPath);
  if (!framed) return std::nullopt;
  out.stamp = framed->first;
  out.payload = framed->second;
  return out;
}

bool WriteCacheFile(const std::string& cachePath, std::string_view kind, uint32_t version,
                    const std::string& dbPath, const FileStamp& stamp, std::string_view payload) {
  return WriteCacheFileParts(cachePath, kind, version, dbPath, stamp, {payload});
}

bool WriteCacheFileParts(const std::string& cachePath, std::string_view kind, uint32_t version,
                         const std::string& dbPath, const FileStamp& stamp,
                         const std::vector<std::string_view>& parts) {
  uint64_t payloadSize = 0;
  for (std::string_view part : parts) payloadSize += part.size();
  std::string head(kMagic, sizeof kMagic);
  head += KindField(kind);
  PutValue(head, kByteOrder);
  PutValue(head, version);
  PutValue(head, stamp.size);
  PutValue(head, stamp.mtimeNs);
  PutValue(head, stamp.ctimeNs);
  PutValue(head, stamp.device);
  PutValue(head, stamp.inode);
  const std::string canonical = CanonicalDatabasePath(dbPath);
  PutValue(head, static_cast<uint32_t>(canonical.size()));
  head += canonical;
  PutValue(head, payloadSize);
  uint32_t crc = Crc(0, head);
  for (std::string_view part : parts) {
    crc =
        static_cast<uint32_t>(crc32_combine(crc, Crc(0, part), static_cast<z_off_t>(part.size())));
  }
  std::string tail;
  PutValue(tail, crc);

  // A unique name in the cache folder, created exclusively.
  std::random_device rd;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%d.%08x.tmp", static_cast<int>(::getpid()), rd());
    temp = cachePath + suffix;
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, head);
  for (std::string_view part : parts) ok = ok && WriteAll(fd, part);
  ok = ok && WriteAll(fd, tail);
  if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), cachePath.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

std::string JoinParts(const std::vector<std::string_view>& parts) {
  size_t size = 0;
  for (std::string_view p : parts) size += p.size();
  std::string out;
  out.reserve(size);
  for (std::string_view p : parts) out += p;
  return out;
}

}  // namespace vuduzez
