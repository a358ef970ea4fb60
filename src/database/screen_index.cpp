#include "database/screen_index.h"

#include <cstring>

namespace vuduzez {

namespace {

// Payload: record count (8 bytes), each record's key length (4 bytes each),
// then the signatures, one after the other.
std::string Serialize(const std::vector<uint32_t>& keyLengths,
                      const std::vector<KeySignature>& signatures) {
  std::string out;
  const uint64_t n = keyLengths.size();
  out.reserve(8 + n * (4 + sizeof(KeySignature)));
  out.append(reinterpret_cast<const char*>(&n), sizeof n);
  out.append(reinterpret_cast<const char*>(keyLengths.data()), 4 * n);
  out.append(reinterpret_cast<const char*>(signatures.data()),
             signatures.size() * sizeof(KeySignature));
  return out;
}

}  // namespace

std::optional<std::vector<KeySignature>> ReadScreenIndex(const std::string& dbPath,
                                                         const FileStamp& stamp,
                                                         const std::vector<uint32_t>& keyLengths) {
  if (stamp.size < 0) return std::nullopt;
  const std::optional<std::string> path = CachePathFor(kScreenIndexKind, dbPath);
  if (!path) return std::nullopt;
  std::optional<CacheContent> content =
      ReadCacheFile(*path, kScreenIndexKind, kScreenIndexVersion, dbPath);
  if (!content || content->stamp != stamp) return std::nullopt;
  const std::string_view p = content->payload();
  const uint64_t n = keyLengths.size();
  if (p.size() != 8 + n * (4 + sizeof(KeySignature))) return std::nullopt;
  uint64_t count = 0;
  std::memcpy(&count, p.data(), sizeof count);
  if (count != n) return std::nullopt;
  const char* lengths = p.data() + 8;
  if (n > 0 && std::memcmp(lengths, keyLengths.data(), 4 * n) != 0) return std::nullopt;
  std::vector<KeySignature> signatures(n);
  std::memcpy(static_cast<void*>(signatures.data()), lengths + 4 * n, n * sizeof(KeySignature));
  return signatures;
}

bool WriteScreenIndex(const std::string& dbPath, const FileStamp& stamp,
                      const std::vector<uint32_t>& keyLengths,
                      const std::vector<KeySignature>& signatures) {
  if (stamp.size < 0 || signatures.size() != keyLengths.size()) return false;
  const std::optional<std::string> path = CachePathFor(kScreenIndexKind, dbPath);
  if (!path) return false;
  return WriteCacheFile(*path, kScreenIndexKind, kScreenIndexVersion, dbPath, stamp,
                        Serialize(keyLengths, signatures));
}

void AppendToScreenIndex(const std::string& dbPath, const FileStamp& before, uint64_t appendedBytes,
                         const std::vector<ScreenEntry>& entries) {
  if (entries.empty() || before.size < 0) return;
  const FileStamp now = StampOf(dbPath);
  if (now.device != before.device || now.inode != before.inode ||
      now.size != before.size + static_cast<int64_t>(appendedBytes)) {
    return;
  }
  const std::optional<std::string> path = CachePathFor(kScreenIndexKind, dbPath);
  if (!path) return;
  std::string_view lengths, signatures;  // of the records before
  uint64_t n = 0;
  std::optional<CacheContent> content =
      ReadCacheFile(*path, kScreenIndexKind, kScreenIndexVersion, dbPath);
  if (content && content->stamp == before) {
    const std::string_view p = content->payload();
    if (p.size() < 8) return;
    std::memcpy(&n, p.data(), sizeof n);
    if (p.size() != 8 + n * (4 + sizeof(KeySignature))) return;
    lengths = p.substr(8, 4 * n);
    signatures = p.substr(8 + 4 * n);
  } else if (before.size != 0) {
    return;  // an empty database needs no earlier index
  }
  const uint64_t total = n + entries.size();
  std::string out;
  out.reserve(8 + total * (4 + sizeof(KeySignature)));
  out.append(reinterpret_cast<const char*>(&total), sizeof total);
  out.append(lengths);
  for (const ScreenEntry& e : entries) {
    out.append(reinterpret_cast<const char*>(&e.keyLength), sizeof e.keyLength);
  }
  out.append(signatures);
  for (const ScreenEntry& e : entries) {
    out.append(reinterpret_cast<const char*>(&e.signature), sizeof e.signature);
  }
  WriteCacheFile(*path, kScreenIndexKind, kScreenIndexVersion, dbPath, now, out);
}

}  // namespace vuduzez
