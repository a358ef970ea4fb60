// The screen index for loaded records: the signatures of database/screen_index.h
// read from the cache for the records of a load, or computed and kept there.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "database/cache_stamp.h"
#include "database/screen_index.h"
#include "search/screening.h"

namespace vuduzez {

// The signatures of the loaded records from the cache file, when it was made
// from exactly the database state `stamp` for these records (see
// database/screen_index.h).
std::optional<std::vector<KeySignature>> ReadScreenIndex(const std::string& dbPath,
                                                         const FileStamp& stamp,
                                                         const std::vector<mldata>& records);

// Writes the cache file for the database state `stamp`; false when it could
// not be written (only a lost speed-up).
bool WriteScreenIndex(const std::string& dbPath, const FileStamp& stamp,
                      const std::vector<mldata>& records,
                      const std::vector<KeySignature>& signatures);

// Signatures for the records loaded from dbPath in state `stamp`: from the
// cache when it is valid, else computed, and then stored when stable (the
// file did not change while it was read).
std::vector<KeySignature> ScreenIndexFor(const std::string& dbPath, const FileStamp& stamp,
                                         bool stable, const std::vector<mldata>& records);

}  // namespace vuduzez
