// Caches derived from a compound database file (connection tables, screen
// indexes): where they live, when they are valid, and how they are written.
//
// The database file is the only thing a user keeps. A cache file may be
// deleted at any time; it is valid only while the database's size,
// modification time, change time and identity (device, inode) are those it
// was made from (the change time catches an edit that kept size and
// modification time, such as a restore from an archive), and its own framing
// (magic, version, length, checksum, database path) is checked before any of
// its bytes are used. Cache files live in the user's cache folder
// ($XDG_CACHE_HOME/vuduzez, else ~/.cache/vuduzez), named from a hash of the
// database's canonical path, so that a database in a shared or read-only
// folder gets a private cache and nothing is written beside it. A cache
// folder or file that is not the user's own, or that others may write, is
// never read (Notice says why): the folder is then not used at all, the file
// is made again.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace vuduzez {

// What identifies one state of a file.
struct FileStamp {
  int64_t size = -1;  // -1: no such file
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;  // status change: set by every write, never by hand
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path now (size -1 when it cannot be examined).
FileStamp StampOf(const std::string& path);
// The same for a name inside an open folder (fstatat: no walk of the folder's path).
FileStamp StampAt(int folderFd, const std::string& name);

// A whole file read together with the stamp of exactly those bytes: stable is
// false when the file changed while it was read (the stamp then describes no
// one state of it and must not validate a cache).
struct StampedBytes {
  std::string bytes;
  FileStamp stamp;
  bool stable = false;
};
// Throws the run-time file error as ReadFileBytes does.
StampedBytes ReadStamped(const std::string& path);

// The user's cache folder for vuduzez, created (mode 0700) when missing;
// nullopt when there is none to be had (no HOME, not writable) or when the
// folder is another user's or others may write it (said once by Notice).
std::optional<std::string> CacheFolder();

// The cache file of one kind ("ct" connection tables, ...) for a database:
// <cache folder>/<kind>-<16 hex digits of the hash of the canonical path>.bin.
// nullopt without a cache folder.
std::optional<std::string> CachePathFor(std::string_view kind, const std::string& dbPath);

// The database's canonical path (symbolic links resolved; the path as given
// when it cannot be resolved).
std::string CanonicalDatabasePath(const std::string& dbPath);

// A cache file's content once its framing checked out.
struct CacheContent {
  FileStamp stamp;    // the database state the payload was made from
  std::string bytes;  // the whole file, read once
  size_t payloadFrom = 0;
  size_t payloadSize = 0;
  // The kind's own bytes, in place (a large index is not copied again).
  std::string_view payload() const {
    return std::string_view(bytes).substr(payloadFrom, payloadSize);
  }
};

// A fixed-size value in a cache file's bytes, in the machine's own byte order
// (which the framing records): appended to out, or taken from the front of in
// (false when in is too short).
template <typename T>
void PutValue(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}
template <typename T>
bool GetValue(std::string_view& in, T& v) {
  if (in.size() < sizeof v) return false;
  std::memcpy(&v, in.data(), sizeof v);
  in.remove_prefix(sizeof v);
  return true;
}

// Reads a cache file of the given kind and format version for dbPath. nullopt
// when it is missing, truncated, foreign (other magic, version or database
// path), damaged (checksum), or not the user's own or writable by others (then
// removed, so that it is made again, and said by Notice). The stamp is returned, not compared: the
// caller decides what a stale payload may still be used for.
std::optional<CacheContent> ReadCacheFile(const std::string& cachePath, std::string_view kind,
                                          uint32_t version, const std::string& dbPath);

// The same mapped instead of read, for a large index used in place: the
// framing and checksum are checked as ReadCacheFile checks them; the payload
// views the mapping, which lives as long as any copy of map.
struct MappedCache {
  FileStamp stamp;
  std::shared_ptr<const MappedFile> map;
  std::string_view payload;
};
std::optional<MappedCache> MapCacheFile(const std::string& cachePath, std::string_view kind,
                                        uint32_t version, const std::string& dbPath);

// Writes a cache file atomically: a unique temporary file created exclusively
// beside it, then renamed over it, so that a reader sees the old or the new
// file whole and concurrent writers never mix. Returns false on any failure
// (a cache that cannot be written is only a lost speed-up).
bool WriteCacheFile(const std::string& cachePath, std::string_view kind, uint32_t version,
                    const std::string& dbPath, const FileStamp& stamp, std::string_view payload);
// The same with a payload given in parts, written one after the other.
bool WriteCacheFileParts(const std::string& cachePath, std::string_view kind, uint32_t version,
                         const std::string& dbPath, const FileStamp& stamp,
                         const std::vector<std::string_view>& parts);
// A payload given in parts as one string (what a reader of the file would map).
std::string JoinParts(const std::vector<std::string_view>& parts);

}  // namespace vuduzez
