// The screen index: the prefilter signatures of a database's records, kept
// in the user's cache folder so that a search need not compute them from
// every key again (see database/cache_stamp.h for where caches live and when
// they are valid).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/cache_stamp.h"
#include "search/screening.h"

namespace vuduzez {

inline constexpr const char* kScreenIndexKind = "screen";
inline constexpr uint32_t kScreenIndexVersion = 1;

// The signatures of the loaded records from the cache file, when it was made
// from exactly the database state `stamp` and holds one signature for each
// record, each for a key of the same length; nullopt otherwise (no file,
// truncated, foreign, damaged or stale).
std::optional<std::vector<KeySignature>> ReadScreenIndex(const std::string& dbPath,
                                                         const FileStamp& stamp,
                                                         const std::vector<mldata>& records);

// Writes the cache file for the database state `stamp`; false when it could
// not be written (only a lost speed-up).
bool WriteScreenIndex(const std::string& dbPath, const FileStamp& stamp,
                      const std::vector<mldata>& records,
                      const std::vector<KeySignature>& signatures);

// What the screen index holds of one record.
struct ScreenEntry {
  uint32_t keyLength = 0;
  KeySignature signature;
};
ScreenEntry ScreenEntryOf(std::string_view key);

// After records were appended to the database whose state was `before`
// (appendedBytes in all; their entries in order): the index made for
// `before` extended by them, for the state now. Nothing is written unless the
// file is the same one grown by exactly those bytes (no other program changed
// it) and the index was valid for `before`; the next load then rebuilds it.
void AppendToScreenIndex(const std::string& dbPath, const FileStamp& before, uint64_t appendedBytes,
                         const std::vector<ScreenEntry>& entries);

// Signatures for the records loaded from dbPath in state `stamp`: from the
// cache when it is valid, else computed, and then stored when stable (the
// file did not change while it was read).
std::vector<KeySignature> ScreenIndexFor(const std::string& dbPath, const FileStamp& stamp,
                                         bool stable, const std::vector<mldata>& records);

}  // namespace vuduzez
