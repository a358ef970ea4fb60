#include "search/screen_index.h"

namespace vuduzez {

namespace {

std::vector<uint32_t> KeyLengths(const std::vector<mldata>& records) {
  std::vector<uint32_t> lengths;
  lengths.reserve(records.size());
  for (const mldata& r : records) lengths.push_back(static_cast<uint32_t>(r.key.size()));
  return lengths;
}

}  // namespace

std::optional<std::vector<KeySignature>> ReadScreenIndex(const std::string& dbPath,
                                                         const FileStamp& stamp,
                                                         const std::vector<mldata>& records) {
  return ReadScreenIndex(dbPath, stamp, KeyLengths(records));
}

bool WriteScreenIndex(const std::string& dbPath, const FileStamp& stamp,
                      const std::vector<mldata>& records,
                      const std::vector<KeySignature>& signatures) {
  return WriteScreenIndex(dbPath, stamp, KeyLengths(records), signatures);
}

std::vector<KeySignature> ScreenIndexFor(const std::string& dbPath, const FileStamp& stamp,
                                         bool stable, const std::vector<mldata>& records) {
  const std::vector<uint32_t> lengths = KeyLengths(records);
  if (stable) {
    if (auto cached = ReadScreenIndex(dbPath, stamp, lengths)) return std::move(*cached);
  }
  std::vector<KeySignature> signatures = ComputeSignatures(records);
  // Only for the state the records came from: a file that changed since gets
  // its index from the next load.
  if (stable && StampOf(dbPath) == stamp) WriteScreenIndex(dbPath, stamp, lengths, signatures);
  return signatures;
}

}  // namespace vuduzez
