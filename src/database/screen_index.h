// The screen index's storage: the prefilter signature of each record's key,
// kept in the user's cache folder beside the database (database/cache_stamp.h
// says where caches live and when they are valid), so that a search need not
// compute them from every key again, and extended when records are appended
// (database/appender.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/cache_stamp.h"

namespace vuduzez {

inline constexpr const char* kScreenIndexKind = "screen";
inline constexpr uint32_t kScreenIndexVersion = 1;

// Prefilter of one record's key: bits of hashed fragments of the key. A path
// code can occur in the key only if every bit of its own fragments is set.
struct KeySignature {
  static constexpr int kWords = 16;  // 1024 bits
  uint64_t bits[kWords] = {};
};

// Fragments of kKeyGram bytes inside one path code (never across "/") are
// hashed into the signature; a query code of kKeyGram bytes or more sets the
// bits of its own fragments, and a record whose signature lacks any of them
// cannot contain the code. The window's bytes are rolled into one number, so
// each byte costs a shift, a multiplication and one bit set.
inline constexpr size_t kKeyGram = 5;
inline void AddKeyGrams(KeySignature& s, std::string_view text) {
  constexpr uint64_t kMask = (uint64_t{1} << (8 * kKeyGram)) - 1;
  constexpr int kShift = 64 - 10;  // top ten bits: 1024 bit positions
  static_assert(KeySignature::kWords * 64 == 1024);
  uint64_t window = 0;
  size_t run = 0;  // bytes since the last "/"
  for (char c : text) {
    if (c == '/') {
      run = 0;
      continue;
    }
    window = ((window << 8) | static_cast<unsigned char>(c)) & kMask;
    if (++run >= kKeyGram) {
      const auto bit = static_cast<uint32_t>((window * 0x9E3779B97F4A7C15ull) >> kShift);
      s.bits[bit >> 6] |= uint64_t{1} << (bit & 63);
    }
  }
}

// The prefilter signature of one key.
inline KeySignature SignatureOf(std::string_view key) {
  KeySignature s;
  AddKeyGrams(s, key);
  return s;
}

// The signatures from the cache file, when it was made from exactly the
// database state `stamp` and holds one signature for each record, each for a
// key of the length given; nullopt otherwise (no file, truncated, foreign,
// damaged or stale).
std::optional<std::vector<KeySignature>> ReadScreenIndex(const std::string& dbPath,
                                                         const FileStamp& stamp,
                                                         const std::vector<uint32_t>& keyLengths);

// Writes the cache file for the database state `stamp`; false when it could
// not be written (only a lost speed-up).
bool WriteScreenIndex(const std::string& dbPath, const FileStamp& stamp,
                      const std::vector<uint32_t>& keyLengths,
                      const std::vector<KeySignature>& signatures);

// What the screen index holds of one record.
struct ScreenEntry {
  uint32_t keyLength = 0;
  KeySignature signature;
};
inline ScreenEntry ScreenEntryOf(std::string_view key) {
  return {static_cast<uint32_t>(key.size()), SignatureOf(key)};
}

// After records were appended to the database whose state was `before`
// (appendedBytes in all; their entries in order): the index made for
// `before` extended by them, for the state now. Nothing is written unless the
// file is the same one grown by exactly those bytes (no other program changed
// it) and the index was valid for `before`; the next load then rebuilds it.
void AppendToScreenIndex(const std::string& dbPath, const FileStamp& before, uint64_t appendedBytes,
                         const std::vector<ScreenEntry>& entries);

}  // namespace vuduzez
