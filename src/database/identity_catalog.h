// Which registered compounds a structure is, or is a form of: its identity
// layers (chem/identity.h) looked up among the records of a sound index
// (database/sound_index.h) and the structures registered since (a batch run
// adds its own as it goes). The index must outlive the catalog.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chem/identity.h"
#include "database/sound_index.h"

namespace vuduzez {

struct IdentityMatch {
  std::string name;  // the compound name (CP932)
  // Its row in the index; kAddedRow for a structure added to the catalog.
  size_t row = 0;
  chem::IdentityLevel level = chem::IdentityLevel::kExact;  // the closest layer shared
};
inline constexpr size_t kAddedRow = SIZE_MAX;

class IdentityCatalog {
 public:
  // No records (nothing to compare with).
  IdentityCatalog() = default;
  explicit IdentityCatalog(const SoundIndex* index);

  // A structure registered since the index was made, under its compound name.
  void Add(const std::string& name, const chem::Identity& identity);

  // Every record and added structure that shares a layer with identity, at
  // the closest layer it shares: index rows in database order, then the added
  // ones in the order they were added.
  std::vector<IdentityMatch> Find(const chem::Identity& identity) const;

  // The identity registered under a compound name (the first record of the
  // name, else the last structure added under it); nullptr when unknown.
  const chem::Identity* IdentityOfName(const std::string& name) const;

 private:
  static uint64_t Key(int level, uint64_t hash) { return hash * 31 + static_cast<uint64_t>(level); }
  const SoundIndex* index_ = nullptr;
  // Each index row under its loosest known layer (the layers nest: any
  // structure sharing a layer with it shares that one).
  std::unordered_multimap<uint64_t, size_t> rows_;
  std::vector<std::pair<std::string, chem::Identity>> added_;
  std::unordered_multimap<uint64_t, size_t> addedRows_;
  mutable std::unordered_map<std::string, chem::Identity> byName_;
  mutable bool namesRead_ = false;
};

// Every structure of the index sharing a layer with identity (a linear pass
// over the layer hashes: one search needs no table).
std::vector<IdentityMatch> FindInIndex(const SoundIndex& index, const chem::Identity& identity);

// The groups of records (rows, in database order; groups in the order of
// their first row) whose layer at level is the same, groups of two or more.
std::vector<std::vector<size_t>> DuplicateGroups(const SoundIndex& index,
                                                 chem::IdentityLevel level);

// "同じ構造", "塩・溶媒和物", "立体異性体", "互変異性体": what a record sharing
// that layer (and no closer one) is to a structure.
const char* RelationText(chem::IdentityLevel level);

}  // namespace vuduzez
