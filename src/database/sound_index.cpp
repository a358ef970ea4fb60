#include "database/sound_index.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "database/database.h"
#include "database/mol_files.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace vuduzez {

namespace {

constexpr uint32_t kPayloadMagic = 0x58444e53;  // "SNDX"
constexpr size_t kStampBytes = 32;
constexpr size_t kBlockWords = kFingerprintBlock / 64;  // words per bit and block
constexpr size_t kBlockBytes = chem::kFingerprintBits * kBlockWords * 8;

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

MolStamp FromStat(const struct stat& st) {
  MolStamp s;
  s.size = static_cast<int64_t>(st.st_size);
  s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  s.inode = static_cast<uint64_t>(st.st_ino);
  return s;
}

size_t Blocks(size_t records) { return (records + kFingerprintBlock - 1) / kFingerprintBlock; }

// Sets record r's fingerprint into the block layout.
void Scatter(char* blocks, size_t r, const chem::Fingerprint& fp) {
  char* block = blocks + (r / kFingerprintBlock) * kBlockBytes;
  const size_t slot = r % kFingerprintBlock;
  const size_t word = slot / 64;
  const uint64_t mask = uint64_t{1} << (slot % 64);
  for (int w = 0; w < chem::kFingerprintWords; ++w) {
    for (uint64_t bits = fp[static_cast<size_t>(w)]; bits != 0; bits &= bits - 1) {
      const size_t b = static_cast<size_t>(w) * 64 + static_cast<size_t>(__builtin_ctzll(bits));
      char* p = block + (b * kBlockWords + word) * 8;
      uint64_t v = Load<uint64_t>(p);
      v |= mask;
      std::memcpy(p, &v, 8);
    }
  }
}

// Clears record r's fingerprint in the block layout.
void Unscatter(char* blocks, size_t r) {
  char* block = blocks + (r / kFingerprintBlock) * kBlockBytes;
  const size_t slot = r % kFingerprintBlock;
  const uint64_t mask = ~(uint64_t{1} << (slot % 64));
  for (size_t b = 0; b < static_cast<size_t>(chem::kFingerprintBits); ++b) {
    char* p = block + (b * kBlockWords + slot / 64) * 8;
    uint64_t v = Load<uint64_t>(p) & mask;
    std::memcpy(p, &v, 8);
  }
}

void PutStamp(std::string& out, const MolStamp& s) {
  Put(out, s.size);
  Put(out, s.mtimeNs);
  Put(out, s.ctimeNs);
  Put(out, s.inode);
}

}  // namespace

MolStamp MolStampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return FromStat(st);
}

MolStamp MolStampAt(int folderFd, const std::string& name) {
  struct stat st;
  if (::fstatat(folderFd, name.c_str(), &st, 0) != 0) return {};
  return FromStat(st);
}

SoundEntry PerceiveEntry(const std::string& name, const std::string& molPath) {
  SoundEntry e;
  e.name = name;
  e.mol = MolStampOf(molPath);
  std::string text;
  try {
    if (e.mol.size >= 0 && IsRegularFile(molPath))
      text = ReadFileBytes(molPath);
    else
      e.mol = MolStamp{};
  } catch (const RuntimeError&) {
    e.mol = MolStamp{};
  }
  if (e.mol.size < 0) {
    e.perceived.status = chem::RecordStatus::kMissing;
    e.perceived.reason = std::string("no MOL file: ") + molPath;
    e.perceived.fingerprint.fill(~uint64_t{0});
    return e;
  }
  e.perceived = chem::PerceiveRecord(text);
  if (e.perceived.status != chem::RecordStatus::kOk) e.perceived.fingerprint.fill(~uint64_t{0});
  return e;
}

SoundEntry PerceiveEntryText(const std::string& name, const MolStamp& mol,
                             std::string_view molText) {
  SoundEntry e;
  e.name = name;
  e.mol = mol;
  e.perceived = chem::PerceiveRecord(molText);
  if (e.perceived.status != chem::RecordStatus::kOk) e.perceived.fingerprint.fill(~uint64_t{0});
  return e;
}

std::optional<SoundIndex> SoundIndex::Open(std::shared_ptr<const void> holder,
                                           std::string_view payload) {
  SoundIndex ix;
  ix.holder_ = std::move(holder);
  ix.payload_ = payload;
  if (payload.size() < 24 || Load<uint32_t>(payload.data()) != kPayloadMagic) return std::nullopt;
  const uint32_t sections = Load<uint32_t>(payload.data() + 4);
  const uint64_t records = Load<uint64_t>(payload.data() + 8);
  if (Load<uint32_t>(payload.data() + 16) != chem::kFingerprintWords ||
      Load<uint32_t>(payload.data() + 20) != kFingerprintBlock ||
      payload.size() < 24 + static_cast<uint64_t>(sections) * 24 || records > (uint64_t{1} << 32)) {
    return std::nullopt;
  }
  for (uint32_t s = 0; s < sections; ++s) {
    const char* e = payload.data() + 24 + 24 * s;
    const uint64_t offset = Load<uint64_t>(e + 8), size = Load<uint64_t>(e + 16);
    if (offset > payload.size() || size > payload.size() - offset) return std::nullopt;
  }
  ix.records_ = static_cast<size_t>(records);
  ix.folder_ = ix.Section(SoundSection::kMolFolder);
  ix.nameStarts_ = ix.Section(SoundSection::kNameStarts);
  ix.names_ = ix.Section(SoundSection::kNames);
  ix.stamps_ = ix.Section(SoundSection::kStamps);
  ix.status_ = ix.Section(SoundSection::kStatus);
  ix.reasonStarts_ = ix.Section(SoundSection::kReasonStarts);
  ix.reasons_ = ix.Section(SoundSection::kReasons);
  ix.graphStarts_ = ix.Section(SoundSection::kGraphStarts);
  ix.graphs_ = ix.Section(SoundSection::kGraphs);
  ix.fingerprints_ = ix.Section(SoundSection::kFingerprints);
  ix.identityHashes_ = ix.Section(SoundSection::kIdentityHashes);
  ix.identityStarts_ = ix.Section(SoundSection::kIdentityStarts);
  ix.identities_ = ix.Section(SoundSection::kIdentities);
  ix.similarityStarts_ = ix.Section(SoundSection::kSimilarityStarts);
  ix.similarity_ = ix.Section(SoundSection::kSimilarity);
  const size_t n = ix.records_;
  if (ix.stamps_.size() != n * kStampBytes || ix.status_.size() != n ||
      ix.fingerprints_.size() != Blocks(n) * kBlockBytes ||
      ix.identityHashes_.size() != n * chem::kIdentityLevels * 8) {
    return std::nullopt;
  }
  // Every start within its section and in order.
  for (const auto& [starts, bytes, per] :
       {std::tuple{ix.nameStarts_, ix.names_, size_t{1}},
        std::tuple{ix.reasonStarts_, ix.reasons_, size_t{1}},
        std::tuple{ix.graphStarts_, ix.graphs_, size_t{1}},
        std::tuple{ix.similarityStarts_, ix.similarity_, size_t{1}},
        std::tuple{ix.identityStarts_, ix.identities_, size_t{chem::kIdentityLevels}}}) {
    const size_t count = n * per;
    if (starts.size() != (count + 1) * 8) return std::nullopt;
    uint64_t previous = 0;
    for (size_t r = 0; r <= count; ++r) {
      const uint64_t s = Load<uint64_t>(starts.data() + 8 * r);
      if (s < previous || s > bytes.size()) return std::nullopt;
      previous = s;
    }
    if (previous != bytes.size()) return std::nullopt;
  }
  for (size_t r = 0; r < n; ++r) {
    const auto status = static_cast<uint8_t>(ix.status_[r]);
    if (status > static_cast<uint8_t>(chem::RecordStatus::kUnperceived)) return std::nullopt;
    // A graph is whole as far as its counts say (its indices were checked
    // when it was built; the file's checksum keeps them).
    const std::string_view g = ix.Graph(r);
    if (static_cast<chem::RecordStatus>(status) == chem::RecordStatus::kOk) {
      if (g.size() < static_cast<size_t>(chem::kGraphHeader)) return std::nullopt;
      const auto* p = reinterpret_cast<const uint8_t*>(g.data());
      if (g.size() !=
              chem::GraphView::SizeFor(chem::LoadAt<uint16_t>(p), chem::LoadAt<uint16_t>(p + 2)) ||
          chem::LoadAt<uint16_t>(p) > chem::kMaxGraphAtoms) {
        return std::nullopt;
      }
    } else if (!g.empty()) {
      return std::nullopt;
    }
    // Similarity prints: whole u16 bits, and only where a record has one.
    const std::string_view print = ix.SimilarityBytes(r);
    if (print.size() % 2 != 0 ||
        (!print.empty() && !chem::HasSimilarityPrint(static_cast<chem::RecordStatus>(status)))) {
      return std::nullopt;
    }
  }
  return ix;
}

std::string_view SoundIndex::Section(SoundSection id) const {
  const uint32_t sections = Load<uint32_t>(payload_.data() + 4);
  for (uint32_t s = 0; s < sections; ++s) {
    const char* e = payload_.data() + 24 + 24 * s;
    if (Load<uint32_t>(e) == static_cast<uint32_t>(id)) {
      return payload_.substr(Load<uint64_t>(e + 8), Load<uint64_t>(e + 16));
    }
  }
  return {};
}

std::string_view SoundIndex::Slice(std::string_view starts, std::string_view bytes, size_t r) {
  const uint64_t from = Load<uint64_t>(starts.data() + 8 * r);
  const uint64_t to = Load<uint64_t>(starts.data() + 8 * (r + 1));
  return bytes.substr(from, to - from);
}

uint64_t SoundIndex::LayerHash(size_t r, chem::IdentityLevel level) const {
  return Load<uint64_t>(identityHashes_.data() +
                        8 * (r * chem::kIdentityLevels + static_cast<size_t>(level)));
}

std::string SoundIndex::Layer(size_t r, chem::IdentityLevel level) const {
  if (LayerHash(r, level) == 0) return {};
  // A parent or nostereo layer stored empty is the layer above it.
  for (int l = static_cast<int>(level); l >= 0; --l) {
    const std::string_view text =
        Slice(identityStarts_, identities_, r * chem::kIdentityLevels + l);
    if (!text.empty() || l == 0) return std::string(text);
  }
  return {};
}

chem::Identity SoundIndex::IdentityOf(size_t r) const {
  chem::Identity id;
  for (int l = 0; l < chem::kIdentityLevels; ++l) {
    id.layers[static_cast<size_t>(l)] = Layer(r, static_cast<chem::IdentityLevel>(l));
  }
  return id;
}

SoundEntry SoundIndex::Entry(size_t r) const {
  SoundEntry e;
  e.name = std::string(Name(r));
  e.mol = Stamp(r);
  e.perceived.status = Status(r);
  e.perceived.reason = std::string(Reason(r));
  e.perceived.graph = std::string(Graph(r));
  e.perceived.fingerprint = FingerprintOf(r);
  e.perceived.similarity = SimilarityOf(r);
  e.perceived.identity = IdentityOf(r);
  return e;
}

MolStamp SoundIndex::Stamp(size_t r) const {
  const char* p = stamps_.data() + kStampBytes * r;
  MolStamp s;
  s.size = Load<int64_t>(p);
  s.mtimeNs = Load<int64_t>(p + 8);
  s.ctimeNs = Load<int64_t>(p + 16);
  s.inode = Load<uint64_t>(p + 24);
  return s;
}

void SoundIndex::Screen(const chem::Fingerprint& query, size_t from, size_t to,
                        std::vector<uint32_t>& out) const {
  // The bits the query asks for, once.
  size_t bits[chem::kFingerprintBits];
  size_t nbits = 0;
  for (int w = 0; w < chem::kFingerprintWords; ++w) {
    for (uint64_t v = query[static_cast<size_t>(w)]; v != 0; v &= v - 1) {
      bits[nbits++] = static_cast<size_t>(w) * 64 + static_cast<size_t>(__builtin_ctzll(v));
    }
  }
  to = std::min(to, records_);
  for (size_t block = from / kFingerprintBlock; block * kFingerprintBlock < to; ++block) {
    const char* base = fingerprints_.data() + block * kBlockBytes;
    uint64_t mask[kBlockWords];
    for (size_t k = 0; k < kBlockWords; ++k) mask[k] = ~uint64_t{0};
    for (size_t i = 0; i < nbits; ++i) {
      const char* p = base + bits[i] * kBlockWords * 8;
      uint64_t any = 0;
      for (size_t k = 0; k < kBlockWords; ++k) {
        mask[k] &= Load<uint64_t>(p + 8 * k);
        any |= mask[k];
      }
      if (any == 0) break;
    }
    const size_t first = block * kFingerprintBlock;
    for (size_t k = 0; k < kBlockWords; ++k) {
      for (uint64_t v = mask[k]; v != 0; v &= v - 1) {
        const size_t r = first + k * 64 + static_cast<size_t>(__builtin_ctzll(v));
        if (r >= from && r < to) out.push_back(static_cast<uint32_t>(r));
      }
    }
  }
}

chem::Fingerprint SoundIndex::FingerprintOf(size_t r) const {
  chem::Fingerprint fp{};
  const char* block = fingerprints_.data() + (r / kFingerprintBlock) * kBlockBytes;
  const size_t slot = r % kFingerprintBlock;
  for (size_t b = 0; b < static_cast<size_t>(chem::kFingerprintBits); ++b) {
    if ((Load<uint64_t>(block + (b * kBlockWords + slot / 64) * 8) >> (slot % 64)) & 1) {
      fp[b / 64] |= uint64_t{1} << (b % 64);
    }
  }
  return fp;
}

chem::SimilarityPrint SoundIndex::SimilarityOf(size_t r) const {
  const std::string_view bytes = SimilarityBytes(r);
  chem::SimilarityPrint print(bytes.size() / 2);
  if (!print.empty()) std::memcpy(print.data(), bytes.data(), bytes.size());
  return print;
}

void SoundPayload::AddSimilarity(chem::RecordStatus status, std::string_view bits) {
  Put(similarityStarts_, static_cast<uint64_t>(similarity_.size()));
  if (chem::HasSimilarityPrint(status)) similarity_ += bits;
}

namespace {
std::string_view BytesOf(const chem::SimilarityPrint& print) {
  return {reinterpret_cast<const char*>(print.data()), print.size() * sizeof(uint16_t)};
}
}  // namespace

SoundPayload::SoundPayload(const std::string& molFolder, const std::vector<SoundEntry>& entries) {
  records_ = entries.size();
  fingerprints_.assign(Blocks(records_) * kBlockBytes, '\0');
  uint64_t names = 0, reasons = 0, graphs = 0;
  for (size_t r = 0; r < entries.size(); ++r) {
    const SoundEntry& e = entries[r];
    Put(nameStarts_, names);
    names_ += e.name;
    names += e.name.size();
    PutStamp(stamps_, e.mol);
    status_ += static_cast<char>(e.perceived.status);
    Put(reasonStarts_, reasons);
    reasons_ += e.perceived.reason;
    reasons += e.perceived.reason.size();
    Put(graphStarts_, graphs);
    graphPieces_.push_back(e.perceived.graph);
    graphs += e.perceived.graph.size();
    Scatter(fingerprints_.data(), r, e.perceived.fingerprint);
    AddSimilarity(e.perceived.status, BytesOf(e.perceived.similarity));
    AddIdentity(e.perceived.identity);
  }
  Put(nameStarts_, names);
  Put(reasonStarts_, reasons);
  Put(graphStarts_, graphs);
  Put(similarityStarts_, static_cast<uint64_t>(similarity_.size()));
  Finish(CanonicalFolder(molFolder));
}

void SoundPayload::AddIdentity(const chem::Identity& identity) {
  for (int l = 0; l < chem::kIdentityLevels; ++l) {
    const std::string& text = identity.layers[static_cast<size_t>(l)];
    Put(identityHashes_, text.empty() ? uint64_t{0} : chem::LayerHash(text));
    Put(identityStarts_, static_cast<uint64_t>(identities_.size()));
    // Mostly the parent is the structure itself and has no stereo: stored once.
    const bool asAbove = (l == 1 || l == 2) && text == identity.layers[static_cast<size_t>(l - 1)];
    if (!asAbove) identities_ += text;
  }
}

SoundPayload::SoundPayload(const SoundIndex& index,
                           const std::vector<std::pair<size_t, SoundEntry>>& replaced,
                           const std::vector<SoundEntry>& appended) {
  const size_t old = index.size();
  records_ = old + appended.size();
  std::vector<const SoundEntry*> replacement(old, nullptr);
  for (const auto& [r, e] : replaced) {
    if (r < old) replacement[r] = &e;
  }
  // The old fingerprints as they are, then the changed records' own.
  const std::string_view oldPrints = index.Section(SoundSection::kFingerprints);
  fingerprints_.assign(Blocks(records_) * kBlockBytes, '\0');
  std::memcpy(fingerprints_.data(), oldPrints.data(),
              std::min(oldPrints.size(), fingerprints_.size()));
  uint64_t names = 0, reasons = 0, graphs = 0;
  const std::string_view oldGraphs = index.Section(SoundSection::kGraphs);
  size_t runFrom = 0;  // old graphs not yet taken, as one piece
  auto takeRun = [&](size_t upTo) {
    const size_t begin = runFrom == old
                             ? oldGraphs.size()
                             : static_cast<size_t>(index.Graph(runFrom).data() - oldGraphs.data());
    const size_t end = upTo == old
                           ? oldGraphs.size()
                           : static_cast<size_t>(index.Graph(upTo).data() - oldGraphs.data());
    if (end > begin) graphPieces_.push_back(oldGraphs.substr(begin, end - begin));
  };
  auto add = [&](std::string_view name, const MolStamp& stamp, chem::RecordStatus status,
                 std::string_view reason, std::string_view graph) {
    Put(nameStarts_, names);
    names_ += name;
    names += name.size();
    PutStamp(stamps_, stamp);
    status_ += static_cast<char>(status);
    Put(reasonStarts_, reasons);
    reasons_ += reason;
    reasons += reason.size();
    Put(graphStarts_, graphs);
    graphs += graph.size();
  };
  for (size_t r = 0; r < old; ++r) {
    if (const SoundEntry* e = replacement[r]) {
      takeRun(r);
      runFrom = r + 1;
      add(index.Name(r), e->mol, e->perceived.status, e->perceived.reason, e->perceived.graph);
      graphPieces_.push_back(e->perceived.graph);
      Unscatter(fingerprints_.data(), r);
      Scatter(fingerprints_.data(), r, e->perceived.fingerprint);
      AddSimilarity(e->perceived.status, BytesOf(e->perceived.similarity));
      AddIdentity(e->perceived.identity);
    } else {
      add(index.Name(r), index.Stamp(r), index.Status(r), index.Reason(r), index.Graph(r));
      AddSimilarity(index.Status(r), index.SimilarityBytes(r));
      AddIdentity(index.IdentityOf(r));
    }
  }
  takeRun(old);
  for (size_t k = 0; k < appended.size(); ++k) {
    const SoundEntry& e = appended[k];
    add(e.name, e.mol, e.perceived.status, e.perceived.reason, e.perceived.graph);
    graphPieces_.push_back(e.perceived.graph);
    Scatter(fingerprints_.data(), old + k, e.perceived.fingerprint);
    AddSimilarity(e.perceived.status, BytesOf(e.perceived.similarity));
    AddIdentity(e.perceived.identity);
  }
  Put(nameStarts_, names);
  Put(reasonStarts_, reasons);
  Put(graphStarts_, graphs);
  Put(similarityStarts_, static_cast<uint64_t>(similarity_.size()));
  Finish(std::string(index.molFolder()));
}

void SoundPayload::Finish(std::string molFolder) {
  Put(identityStarts_, static_cast<uint64_t>(identities_.size()));
  owned_.push_back(std::move(molFolder));
  struct Piece {
    SoundSection id;
    std::vector<std::string_view> parts;
  };
  std::vector<Piece> sections = {
      {SoundSection::kMolFolder, {owned_.back()}},
      {SoundSection::kNameStarts, {nameStarts_}},
      {SoundSection::kNames, {names_}},
      {SoundSection::kStamps, {stamps_}},
      {SoundSection::kStatus, {status_}},
      {SoundSection::kReasonStarts, {reasonStarts_}},
      {SoundSection::kReasons, {reasons_}},
      {SoundSection::kGraphStarts, {graphStarts_}},
      {SoundSection::kGraphs, graphPieces_},
      {SoundSection::kFingerprints, {fingerprints_}},
      {SoundSection::kSimilarityStarts, {similarityStarts_}},
      {SoundSection::kSimilarity, {similarity_}},
      {SoundSection::kIdentityHashes, {identityHashes_}},
      {SoundSection::kIdentityStarts, {identityStarts_}},
      {SoundSection::kIdentities, {identities_}},
  };
  std::string head;
  Put(head, kPayloadMagic);
  Put(head, static_cast<uint32_t>(sections.size()));
  Put(head, records_);
  Put(head, static_cast<uint32_t>(chem::kFingerprintWords));
  Put(head, static_cast<uint32_t>(kFingerprintBlock));
  uint64_t offset = 24 + 24 * sections.size();
  for (const Piece& p : sections) {
    uint64_t size = 0;
    for (std::string_view part : p.parts) size += part.size();
    Put(head, static_cast<uint32_t>(p.id));
    Put(head, uint32_t{0});
    Put(head, offset);
    Put(head, size);
    offset += size;
  }
  owned_.push_back(std::move(head));
  parts_.push_back(owned_.back());
  for (const Piece& p : sections) {
    for (std::string_view part : p.parts) {
      if (!part.empty()) parts_.push_back(part);
    }
  }
}

std::string SoundPayload::Join() const { return JoinParts(parts_); }

std::string CanonicalFolder(const std::string& folder) { return CanonicalDatabasePath(folder); }

std::optional<MappedSoundIndex> MapSoundIndex(const std::string& dbPath) {
  const std::optional<std::string> path = CachePathFor(kSoundIndexKind, dbPath);
  if (!path) return std::nullopt;
  std::optional<MappedCache> mapped =
      MapCacheFile(*path, kSoundIndexKind, kSoundIndexVersion, dbPath);
  if (!mapped) return std::nullopt;
  std::optional<SoundIndex> index = SoundIndex::Open(mapped->map, mapped->payload);
  if (!index) return std::nullopt;
  return MappedSoundIndex{mapped->stamp, std::move(*index)};
}

bool WriteSoundIndex(const std::string& dbPath, const FileStamp& stamp,
                     const SoundPayload& payload) {
  if (stamp.size < 0) return false;
  const std::optional<std::string> path = CachePathFor(kSoundIndexKind, dbPath);
  if (!path) return false;
  return WriteCacheFileParts(*path, kSoundIndexKind, kSoundIndexVersion, dbPath, stamp,
                             payload.parts());
}

void AppendToSoundIndex(const std::string& dbPath, const FileStamp& before, uint64_t appendedBytes,
                        const std::string& molFolder, const std::vector<SoundEntry>& entries) {
  if (entries.empty() || before.size < 0) return;
  const FileStamp now = StampOf(dbPath);
  if (now.device != before.device || now.inode != before.inode ||
      now.size != before.size + static_cast<int64_t>(appendedBytes)) {
    return;
  }
  std::optional<MappedSoundIndex> mapped = MapSoundIndex(dbPath);
  if (mapped && mapped->stamp == before &&
      mapped->index.molFolder() == CanonicalFolder(molFolder)) {
    WriteSoundIndex(dbPath, now, SoundPayload(mapped->index, {}, entries));
  } else if (before.size == 0) {
    WriteSoundIndex(dbPath, now, SoundPayload(molFolder, entries));
  }
}

void RealignSoundIndex(const std::string& dbPath) {
  std::optional<MappedSoundIndex> mapped = MapSoundIndex(dbPath);
  if (!mapped) return;
  StampedBytes db;
  try {
    db = ReadStamped(dbPath);
  } catch (const RuntimeError&) {
    return;
  }
  if (!db.stable) return;
  const SoundIndex& ix = mapped->index;
  std::unordered_multimap<std::string_view, size_t> byName;
  for (size_t r = ix.size(); r-- > 0;) byName.emplace(ix.Name(r), r);
  std::vector<SoundEntry> entries;
  RecordReader reader(db.bytes);
  for (RecordLines record; reader.Next(record);) {
    // The first entry of the name; the last one of a name serves every
    // later record of it (one MOL file).
    const std::string_view name = CompoundName(record.name);
    auto [lo, hi] = byName.equal_range(name);
    if (lo == hi) return;
    entries.push_back(ix.Entry(lo->second));
    entries.back().name = std::string(name);
    if (std::next(lo) != hi) byName.erase(lo);
  }
  WriteSoundIndex(dbPath, db.stamp, SoundPayload(std::string(ix.molFolder()), entries));
}

size_t SoundThreads() {
  if (const char* env = std::getenv("VUDUZEZ_THREADS"); env != nullptr && *env != '\0') {
    char* end = nullptr;
    const long n = std::strtol(env, &end, 10);
    if (end != nullptr && *end == '\0' && n >= 1 && n <= 256) return static_cast<size_t>(n);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace vuduzez
