#include "search/similar_index.h"

#include <cstring>

namespace vuduzez {

namespace {

constexpr uint32_t kPayloadMagic = 0x584d4953;       // "SIMX"
constexpr size_t kBins = chem::kSimilarityBits + 1;  // popcounts 0 .. 2048
constexpr size_t kStampBytes = 32;
constexpr size_t kHeadBytes = 32;
constexpr size_t kEntryBytes = 24;

enum Section : uint32_t {
  kMolFolder = 1,
  kBinSlots = 2,    // u32 per bin and one more: the first slot of each bin
  kBinBits = 3,     // u64 per bin and one more: where each bin's bits start (in u16)
  kOrder = 4,       // u32 per slot: its record
  kBits = 5,        // u16 on bits, bin after bin, slot after slot
  kStamps = 6,      // MolStamp per record (as the sound index keeps them)
  kNameStarts = 7,  // u64 per record and one more
  kNames = 8,
};
constexpr uint32_t kSections = 8;

template <typename T>
void Put(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}
template <typename T>
T Load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

uint32_t SimilarIndex::Load32(std::string_view s, size_t i) {
  return Load<uint32_t>(s.data() + 4 * i);
}
uint64_t SimilarIndex::Load64(std::string_view s, size_t i) {
  return Load<uint64_t>(s.data() + 8 * i);
}

std::optional<SimilarIndex> SimilarIndex::Open(std::shared_ptr<const void> holder,
                                               std::string_view payload) {
  SimilarIndex ix;
  ix.holder_ = std::move(holder);
  if (payload.size() < kHeadBytes + kSections * kEntryBytes ||
      Load<uint32_t>(payload.data()) != kPayloadMagic ||
      Load<uint32_t>(payload.data() + 4) != kSections ||
      Load<uint32_t>(payload.data() + 24) != chem::kSimilarityBits) {
    return std::nullopt;
  }
  const uint64_t records = Load<uint64_t>(payload.data() + 8);
  const uint64_t slots = Load<uint64_t>(payload.data() + 16);
  if (records > (uint64_t{1} << 32) || slots > records) return std::nullopt;
  std::string_view sections[kSections + 1];
  for (uint32_t s = 0; s < kSections; ++s) {
    const char* e = payload.data() + kHeadBytes + kEntryBytes * s;
    const uint32_t id = Load<uint32_t>(e);
    const uint64_t offset = Load<uint64_t>(e + 8), size = Load<uint64_t>(e + 16);
    if (id != s + 1 || offset > payload.size() || size > payload.size() - offset) {
      return std::nullopt;
    }
    sections[id] = payload.substr(offset, size);
  }
  ix.records_ = static_cast<size_t>(records);
  ix.slots_ = static_cast<size_t>(slots);
  ix.folder_ = sections[kMolFolder];
  ix.binSlots_ = sections[kBinSlots];
  ix.binBits_ = sections[kBinBits];
  ix.order_ = sections[kOrder];
  ix.bits_ = sections[kBits];
  ix.stamps_ = sections[kStamps];
  ix.nameStarts_ = sections[kNameStarts];
  ix.names_ = sections[kNames];
  const size_t n = ix.records_;
  if (ix.binSlots_.size() != (kBins + 1) * 4 || ix.binBits_.size() != (kBins + 1) * 8 ||
      ix.order_.size() != ix.slots_ * 4 || ix.stamps_.size() != n * kStampBytes ||
      ix.nameStarts_.size() != (n + 1) * 8 || ix.bits_.size() % 2 != 0) {
    return std::nullopt;
  }
  // The bins: in order, each b bits a slot, together every slot and bit.
  if (Load32(ix.binSlots_, 0) != 0 || Load64(ix.binBits_, 0) != 0) return std::nullopt;
  for (size_t b = 0; b < kBins; ++b) {
    const uint64_t from = Load32(ix.binSlots_, b), to = Load32(ix.binSlots_, b + 1);
    if (to < from || Load64(ix.binBits_, b + 1) != Load64(ix.binBits_, b) + (to - from) * b) {
      return std::nullopt;
    }
  }
  if (Load32(ix.binSlots_, kBins) != ix.slots_ || Load64(ix.binBits_, kBins) * 2 != ix.bits_.size())
    return std::nullopt;
  for (size_t s = 0; s < ix.slots_; ++s) {
    if (Load32(ix.order_, s) >= n) return std::nullopt;
  }
  uint64_t previous = 0;
  for (size_t r = 0; r <= n; ++r) {
    const uint64_t start = Load64(ix.nameStarts_, r);
    if (start < previous || start > ix.names_.size()) return std::nullopt;
    previous = start;
  }
  if (previous != ix.names_.size()) return std::nullopt;
  return ix;
}

std::string_view SimilarIndex::Name(size_t r) const {
  const uint64_t from = Load64(nameStarts_, r), to = Load64(nameStarts_, r + 1);
  return names_.substr(from, to - from);
}

MolStamp SimilarIndex::Stamp(size_t r) const {
  const char* p = stamps_.data() + kStampBytes * r;
  MolStamp s;
  s.size = Load<int64_t>(p);
  s.mtimeNs = Load<int64_t>(p + 8);
  s.ctimeNs = Load<int64_t>(p + 16);
  s.inode = Load<uint64_t>(p + 24);
  return s;
}

SimilarPayload::SimilarPayload(const SoundIndex& index) {
  const size_t n = index.size();
  // Each record's bin: its popcount, or none.
  std::vector<uint32_t> binSlots(kBins + 1, 0);
  std::vector<uint16_t> bin(n, 0);
  std::vector<uint8_t> printed(n, 0);
  for (size_t r = 0; r < n; ++r) {
    const size_t bits = index.SimilarityBytes(r).size() / 2;
    if (!chem::HasSimilarityPrint(index.Status(r)) || bits >= kBins) continue;
    printed[r] = 1;
    bin[r] = static_cast<uint16_t>(bits);
    ++binSlots[bits + 1];
  }
  for (size_t b = 0; b < kBins; ++b) binSlots[b + 1] += binSlots[b];
  const size_t slots = binSlots[kBins];
  std::vector<uint64_t> binBits(kBins + 1, 0);
  for (size_t b = 0; b < kBins; ++b) {
    binBits[b + 1] = binBits[b] + uint64_t{binSlots[b + 1] - binSlots[b]} * b;
  }
  std::string order(slots * 4, '\0');
  std::string bits(binBits[kBins] * 2, '\0');
  std::vector<uint32_t> next(binSlots.begin(), binSlots.end() - 1);
  for (size_t r = 0; r < n; ++r) {
    if (!printed[r]) continue;
    const uint16_t b = bin[r];
    const uint32_t slot = next[b]++;
    const uint32_t record = static_cast<uint32_t>(r);
    std::memcpy(order.data() + 4 * slot, &record, 4);
    const std::string_view print = index.SimilarityBytes(r);
    std::memcpy(bits.data() + 2 * (binBits[b] + uint64_t{slot - binSlots[b]} * b), print.data(),
                print.size());
  }
  std::string slotTable, bitTable;
  for (uint32_t v : binSlots) Put(slotTable, v);
  for (uint64_t v : binBits) Put(bitTable, v);

  owned_.push_back(std::string(index.molFolder()));
  const std::string_view folder = owned_.back();
  owned_.push_back(std::move(slotTable));
  const std::string_view slotView = owned_.back();
  owned_.push_back(std::move(bitTable));
  const std::string_view bitView = owned_.back();
  owned_.push_back(std::move(order));
  const std::string_view orderView = owned_.back();
  owned_.push_back(std::move(bits));
  const std::string_view bitsView = owned_.back();
  // The names and stamps as the sound index keeps them: the same bytes.
  const std::string_view sections[kSections] = {folder,
                                                slotView,
                                                bitView,
                                                orderView,
                                                bitsView,
                                                index.Section(SoundSection::kStamps),
                                                index.Section(SoundSection::kNameStarts),
                                                index.Section(SoundSection::kNames)};
  std::string head;
  Put(head, kPayloadMagic);
  Put(head, kSections);
  Put(head, static_cast<uint64_t>(n));
  Put(head, static_cast<uint64_t>(slots));
  Put(head, static_cast<uint32_t>(chem::kSimilarityBits));
  Put(head, uint32_t{0});
  uint64_t offset = kHeadBytes + kEntryBytes * kSections;
  for (uint32_t s = 0; s < kSections; ++s) {
    Put(head, s + 1);
    Put(head, uint32_t{0});
    Put(head, offset);
    Put(head, static_cast<uint64_t>(sections[s].size()));
    offset += sections[s].size();
  }
  owned_.push_back(std::move(head));
  parts_.push_back(owned_.back());
  for (std::string_view s : sections) {
    if (!s.empty()) parts_.push_back(s);
  }
}

std::string SimilarPayload::Join() const { return JoinParts(parts_); }

std::optional<MappedSimilarIndex> MapSimilarIndex(const std::string& dbPath) {
  const std::optional<std::string> path = CachePathFor(kSimilarIndexKind, dbPath);
  if (!path) return std::nullopt;
  std::optional<MappedCache> mapped =
      MapCacheFile(*path, kSimilarIndexKind, kSimilarIndexVersion, dbPath);
  if (!mapped) return std::nullopt;
  std::optional<SimilarIndex> index = SimilarIndex::Open(mapped->map, mapped->payload);
  if (!index) return std::nullopt;
  return MappedSimilarIndex{mapped->stamp, std::move(*index)};
}

bool WriteSimilarIndex(const std::string& dbPath, const FileStamp& stamp,
                       const SimilarPayload& payload) {
  if (stamp.size < 0) return false;
  const std::optional<std::string> path = CachePathFor(kSimilarIndexKind, dbPath);
  if (!path) return false;
  return WriteCacheFileParts(*path, kSimilarIndexKind, kSimilarIndexVersion, dbPath, stamp,
                             payload.parts());
}

}  // namespace vuduzez
