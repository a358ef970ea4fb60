// The sound index of a database: for each record, in database order, what
// the exact and identity searches need of its MOL file (MOL folder,
// HitMolPath) as RDKit perceives it: the file's stamp, whether it could be
// read, the packed graph (chem/sound_graph.h), the screen fingerprint
// (chem/sound_fingerprint.h) and the structure identity layers
// (chem/identity.h).
// Kept in the user's cache under the rules of database/cache_stamp.h (valid
// only for the database state it names), mapped, not copied, when used.
//
// The payload is a table of sections, each found by its id; a reader passes
// over ids it does not know. Further products of the same perception pass
// (chem/perceive.h) are added as sections of their own (or as sibling cache
// files of their own kind), in the same record order, under the same stamp.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chem/perceive.h"
#include "chem/sound_fingerprint.h"
#include "database/cache_stamp.h"
#include "platform/message_sink.h"

namespace vuduzez {

inline constexpr const char* kSoundIndexKind = "sound";
// Any change of the graph layout or of the fingerprint's features makes a new version:
// an index of other features would screen out matches.
// (3: the identity layers or the similarity prints; 4: both.)
inline constexpr uint32_t kSoundIndexVersion = 4;

// Section ids of the payload.
enum class SoundSection : uint32_t {
  kMolFolder = 1,     // the canonical path of the MOL folder the records were read from
  kNameStarts = 2,    // u64 per record and one more: where each name starts in kNames
  kNames = 3,         // the record names (CP932, as in the database)
  kStamps = 4,        // MolStamp per record
  kStatus = 5,        // chem::RecordStatus per record
  kReasonStarts = 6,  // as kNameStarts, for kReasons
  kReasons = 7,       // why a record could not be read (UTF-8)
  kGraphStarts = 8,   // as kNameStarts, for kGraphs
  kGraphs = 9,        // the packed graphs
  kFingerprints =
      10,  // blocks of kFingerprintBlock records: each bit's word of the block's records
  // 11 to 15: kept for further products.
  kSimilarityStarts = 16,  // as kNameStarts, for kSimilarity
  kSimilarity = 17,        // the similarity prints' on bits, u16 each (chem/similarity.h)
  kIdentityHashes = 20,    // u64 per record and layer (chem::LayerHash; 0: unknown)
  kIdentityStarts = 21,  // u64 per record and layer and one more: where each starts in kIdentities
  kIdentities = 22,      // the layers' texts; a parent or nostereo layer equal to the one
                         // above it is stored empty
};

// Records per fingerprint block: for each of the 1024 bits, eight words
// hold that bit of the block's 512 records, so a query reads one cache
// line per bit it asks for per 512 records.
inline constexpr size_t kFingerprintBlock = 512;

// What identifies one state of a MOL file (change time included: an edit
// that keeps size and modification time is seen).
struct MolStamp {
  int64_t size = -1;  // -1: no such file
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  uint64_t inode = 0;
  bool operator==(const MolStamp&) const = default;
};
MolStamp MolStampOf(const std::string& path);
MolStamp MolStampAt(int folderFd, const std::string& name);

// One record as the index keeps it.
struct SoundEntry {
  std::string name;  // the record's name (name line before its first ".")
  MolStamp mol;
  chem::PerceivedRecord perceived;
};

// The entry of a record from its MOL file as it is now (missing: kMissing).
SoundEntry PerceiveEntry(const std::string& name, const std::string& molPath);
// The same from the MOL file's bytes in hand, read from the file in state mol.
SoundEntry PerceiveEntryText(const std::string& name, const MolStamp& mol,
                             std::string_view molText);

// A view over an index payload, in memory or mapped.
class SoundIndex {
 public:
  // Checks the section table and every offset; nullopt when the payload is
  // not a whole index. holder keeps the bytes alive.
  static std::optional<SoundIndex> Open(std::shared_ptr<const void> holder,
                                        std::string_view payload);

  size_t size() const { return records_; }
  std::string_view molFolder() const { return folder_; }
  std::string_view Name(size_t r) const { return Slice(nameStarts_, names_, r); }
  MolStamp Stamp(size_t r) const;
  chem::RecordStatus Status(size_t r) const {
    return static_cast<chem::RecordStatus>(static_cast<uint8_t>(status_[r]));
  }
  std::string_view Reason(size_t r) const { return Slice(reasonStarts_, reasons_, r); }
  std::string_view Graph(size_t r) const { return Slice(graphStarts_, graphs_, r); }
  // A layer of record r's identity ("" when unknown) and its hash (0 then).
  uint64_t LayerHash(size_t r, chem::IdentityLevel level) const;
  std::string Layer(size_t r, chem::IdentityLevel level) const;
  chem::Identity IdentityOf(size_t r) const;
  // Record r as an entry of its own (for an index made again from this one).
  SoundEntry Entry(size_t r) const;
  // The records in [from, to) whose fingerprints cover the query's, in order
  // (from a multiple of kFingerprintBlock).
  void Screen(const chem::Fingerprint& query, size_t from, size_t to,
              std::vector<uint32_t>& out) const;
  chem::Fingerprint FingerprintOf(size_t r) const;
  // Record r's similarity print (empty unless chem::HasSimilarityPrint(Status(r))).
  chem::SimilarityPrint SimilarityOf(size_t r) const;
  // The same as the bytes of its u16 bits, in place.
  std::string_view SimilarityBytes(size_t r) const {
    return Slice(similarityStarts_, similarity_, r);
  }
  // A section by id ("" when absent).
  std::string_view Section(SoundSection id) const;

 private:
  static std::string_view Slice(std::string_view starts, std::string_view bytes, size_t r);

  std::shared_ptr<const void> holder_;
  std::string_view payload_;
  size_t records_ = 0;
  std::string_view folder_, nameStarts_, names_, stamps_, status_, reasonStarts_, reasons_,
      graphStarts_, graphs_, fingerprints_, similarityStarts_, similarity_, identityHashes_,
      identityStarts_, identities_;
};

// The payload of an index of these entries, in parts (written one after the
// other: no copy of the large ones).
class SoundPayload {
 public:
  SoundPayload(const std::string& molFolder, const std::vector<SoundEntry>& entries);
  // The same with the entries of an index first, unchanged except where
  // replaced (by record), then more entries.
  SoundPayload(const SoundIndex& index, const std::vector<std::pair<size_t, SoundEntry>>& replaced,
               const std::vector<SoundEntry>& appended);
  const std::vector<std::string_view>& parts() const { return parts_; }
  // The whole payload in one string.
  std::string Join() const;

 private:
  void Finish(std::string molFolder);
  // parts_ views into these: a deque never moves them when it grows.
  std::deque<std::string> owned_;
  std::vector<std::string_view> parts_;
  // Pieces being gathered, by section.
  // The identity layers of one more record, stored as kIdentities keeps them.
  void AddIdentity(const chem::Identity& identity);
  std::string nameStarts_, names_, stamps_, status_, reasonStarts_, reasons_, graphStarts_,
      fingerprints_, identityHashes_, identityStarts_, identities_;
  // The similarity prints, gathered apart from the rest.
  void AddSimilarity(chem::RecordStatus status, std::string_view bits);
  std::string similarityStarts_, similarity_;
  std::vector<std::string_view> graphPieces_;
  std::vector<std::string> graphCopies_;
  uint64_t records_ = 0;
};

// The MOL folder as the index names it (symbolic links resolved).
std::string CanonicalFolder(const std::string& folder);

// The index file of dbPath mapped, when its framing and sections check out
// (the stamp is returned, not compared).
struct MappedSoundIndex {
  FileStamp stamp;
  SoundIndex index;
};
std::optional<MappedSoundIndex> MapSoundIndex(const std::string& dbPath);

// Writes the index file for the database state `stamp`; false when it could
// not be written (only a lost speed-up).
bool WriteSoundIndex(const std::string& dbPath, const FileStamp& stamp,
                     const SoundPayload& payload);

// After records were appended to the database whose state was `before`
// (appendedBytes in all; their entries in order): the index made for
// `before` extended by them, for the state now. Nothing is written unless the
// file is the same one grown by exactly those bytes and the index was valid
// for `before` with the same MOL folder (a database that was empty starts an
// index); the next search then brings it up to date.
void AppendToSoundIndex(const std::string& dbPath, const FileStamp& before, uint64_t appendedBytes,
                        const std::string& molFolder, const std::vector<SoundEntry>& entries);

// After the database was rewritten (deletion): the index keeps the entries
// of the records still there, in their new order, when every one of them has
// one; otherwise it is left stale for the next search.
void RealignSoundIndex(const std::string& dbPath);

// The number of threads for perceiving and matching: the cores, or VUDUZEZ_THREADS.
size_t SoundThreads();

}  // namespace vuduzez
