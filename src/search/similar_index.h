// The similar-compounds search's own layout of the similarity prints
// (chem/similarity.h), made from the sound index (sound_index.h), which keeps
// them per record: every record with a print placed in a bin of its
// popcount, the bins in popcount order, each record of a bin as its b on bits
// (u16, ascending) one after the other, the records of a bin in database
// order. A query of a bits reads only the bins that can reach its threshold
// (t * a <= b <= a / t), in place, with no offsets to follow. Beside the bins:
// the record number of each slot, and the names and MOL file stamps of the
// records, so that a search and its output need nothing else.
//
// Kept in the user's cache as a file of its own ("similar"), under the rules
// of database/cache_stamp.h: valid only for the database state it names; made
// again from the sound index whenever it is not (a registration extends the
// sound index, and the next similarity search sorts the prints again).
// Mapped, not copied, when used; a one-shot search reads this file alone.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chem/similarity.h"
#include "database/cache_stamp.h"
#include "database/sound_index.h"

namespace vuduzez {

inline constexpr const char* kSimilarIndexKind = "similar";
inline constexpr uint32_t kSimilarIndexVersion = 1;

class SimilarIndex {
 public:
  // Checks the sections and every count; nullopt when the payload is not a
  // whole index. holder keeps the bytes alive.
  static std::optional<SimilarIndex> Open(std::shared_ptr<const void> holder,
                                          std::string_view payload);

  size_t size() const { return records_; }   // records of the database
  size_t printed() const { return slots_; }  // records with a print
  std::string_view molFolder() const { return folder_; }
  std::string_view Name(size_t r) const;
  MolStamp Stamp(size_t r) const;

  // Bin b (0..kSimilarityBits): the slots [BinBegin(b), BinBegin(b + 1)),
  // their bits from BinBits(b), b per slot.
  size_t BinBegin(int b) const { return Load32(binSlots_, static_cast<size_t>(b)); }
  const char* BinBits(int b) const {
    return bits_.data() + 2 * Load64(binBits_, static_cast<size_t>(b));
  }
  // The record (database row) in a slot.
  uint32_t RecordAt(size_t slot) const { return Load32(order_, slot); }

 private:
  static uint32_t Load32(std::string_view s, size_t i);
  static uint64_t Load64(std::string_view s, size_t i);

  std::shared_ptr<const void> holder_;
  size_t records_ = 0, slots_ = 0;
  std::string_view folder_, binSlots_, binBits_, order_, bits_, stamps_, nameStarts_, names_;
};

// The payload for the records of a sound index (whose entries say which
// records have a print), in parts written one after the other.
class SimilarPayload {
 public:
  explicit SimilarPayload(const SoundIndex& index);
  const std::vector<std::string_view>& parts() const { return parts_; }
  std::string Join() const;

 private:
  // parts_ views into these: a deque never moves them when it grows.
  std::deque<std::string> owned_;
  std::vector<std::string_view> parts_;
};

struct MappedSimilarIndex {
  FileStamp stamp;  // the database state it was made for (returned, not compared)
  SimilarIndex index;
};
std::optional<MappedSimilarIndex> MapSimilarIndex(const std::string& dbPath);

// False when it could not be written (only a lost speed-up).
bool WriteSimilarIndex(const std::string& dbPath, const FileStamp& stamp,
                       const SimilarPayload& payload);

}  // namespace vuduzez
