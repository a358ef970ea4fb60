// Connection tables of registered compounds, kept for the atom-by-atom
// confirmation of search hits: each record's MOL file as read, completed and
// keyed (atom symbols, charge codes, bonds with their marked symbols), held
// compactly and cached per database file (see cache_stamp.h for the rules).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/cache_stamp.h"
#include "model/molecule.h"

namespace vuduzez {

// Bond symbols after the aromatic marking, as codes.
enum BondCode : uint8_t { kBondOther = 0, kBondSingle, kBondDouble, kBondTriple, kBondAromatic };

// A connection table as bytes:
//   atom count (1 byte), bond count (2 bytes, little end first),
//   per atom: the two symbol bytes (0 when shorter) and the charge code,
//   adjacency starts: atom count + 1 numbers of 2 bytes,
//   adjacency: per atom its bond ends, 4 bytes each: neighbour (0-based),
//   bond code, bond number (0-based, 2 bytes).
// Every bond appears once at each of its ends.
std::string BuildConnectionTable(const Molecule& mol);

// A read-only view of one connection table's bytes.
class CtView {
 public:
  CtView() = default;
  // Checks every count, index and code; false (and an empty view) when the
  // bytes are not a connection table.
  bool Parse(std::string_view bytes);
  // The same without the checks, for bytes that passed Parse before (the
  // tables of CtEntry: checked when read from the cache, built otherwise).
  void Adopt(std::string_view bytes);

  int atoms() const { return atoms_; }
  int bonds() const { return bonds_; }
  // Symbol bytes packed into one number, and the charge code.
  uint16_t Symbol(int a) const {
    return static_cast<uint16_t>(atom_[3 * a] | atom_[3 * a + 1] << 8);
  }
  uint8_t Charge(int a) const { return atom_[3 * a + 2]; }
  int First(int a) const { return first_[2 * a] | first_[2 * a + 1] << 8; }
  int Degree(int a) const { return First(a + 1) - First(a); }
  // Adjacency entry e: neighbour, bond code, bond number.
  int Neighbour(int e) const { return adj_[4 * e]; }
  uint8_t Code(int e) const { return adj_[4 * e + 1]; }
  int Bond(int e) const { return adj_[4 * e + 2] | adj_[4 * e + 3] << 8; }

 private:
  int atoms_ = 0;
  int bonds_ = 0;
  const uint8_t* atom_ = nullptr;
  const uint8_t* first_ = nullptr;
  const uint8_t* adj_ = nullptr;
};

// The state of one record's connection table.
enum class CtStatus : uint8_t {
  kOk = 0,
  kMissing,    // no MOL file (or it could not be read)
  kRefused,    // the reader refused it
  kKeyFailed,  // key generation gave up
};

struct CtEntry {
  std::string name;  // the record's name: its name line before the first "."
  FileStamp mol;     // the MOL file the table was made from (size -1: none)
  CtStatus status = CtStatus::kMissing;
  std::string reason;  // UTF-8, why the status is not kOk
  std::string table;   // BuildConnectionTable bytes, kOk only
};

// An entry that keeps a record's place but is read from its MOL file when
// first needed (its stamp matches no file): for a record stored from a
// structure that did not come from its MOL file.
CtEntry UnreadEntry(std::string name);

// The connection cache file of a database.
inline constexpr const char* kConnectionCacheKind = "ct";
inline constexpr uint32_t kConnectionCacheVersion = 2;

struct ConnectionCacheFile {
  FileStamp stamp;  // the database state the entries were made for
  std::vector<CtEntry> entries;
};

std::string SerializeConnectionEntries(const std::vector<CtEntry>& entries);
// nullopt unless every entry and every table checks out.
std::optional<std::vector<CtEntry>> ParseConnectionEntries(std::string_view payload);

// The cache file of dbPath as stored (stamp not compared); nullopt when there
// is none or it is not a whole, valid cache of this database.
std::optional<ConnectionCacheFile> ReadConnectionCache(const std::string& dbPath);
// Writes it (atomically); false when it could not be written.
bool WriteConnectionCache(const std::string& dbPath, const FileStamp& stamp,
                          const std::vector<CtEntry>& entries);

// After records were appended to a database whose stamp was `before`: when the
// cache described exactly that state, the new entries are added and the cache
// is stamped with the database's state now (a database that was empty starts
// a cache). Otherwise the cache is left stale for the next search to bring up
// to date. Another writer in between is caught when the cache is next read:
// its entries are lined up with the record names again.
void AppendToConnectionCache(const std::string& dbPath, const FileStamp& before,
                             std::vector<CtEntry> added);

// After the database was rewritten (deletion): keeps the entries of the records
// still there, in their new order, when every one of them has an entry; else
// leaves the cache stale.
void RealignConnectionCache(const std::string& dbPath);

// Lines the cache's entries up with the record names: the entry of each
// record (the first unused cached entry of the same name), nullopt where there
// is none.
std::vector<std::optional<CtEntry>> AlignEntries(std::vector<CtEntry> cached,
                                                 const std::vector<std::string>& names);

}  // namespace vuduzez
