#include "database/identity_catalog.h"

#include <algorithm>

#include "platform/messages.h"

namespace vuduzez {

namespace {

using chem::IdentityLevel;
using chem::kIdentityLevels;

// The loosest layer of row r that is known, or -1.
int LoosestKnown(const SoundIndex& index, size_t r) {
  for (int l = kIdentityLevels - 1; l >= 0; --l) {
    if (index.LayerHash(r, static_cast<IdentityLevel>(l)) != 0) return l;
  }
  return -1;
}

// The closest layer row r shares with identity (hashes first, then the texts).
std::optional<IdentityLevel> SharedWithRow(const SoundIndex& index, size_t r,
                                           const chem::Identity& identity,
                                           const uint64_t (&hashes)[kIdentityLevels]) {
  for (int l = 0; l < kIdentityLevels; ++l) {
    const auto level = static_cast<IdentityLevel>(l);
    if (hashes[l] == 0 || index.LayerHash(r, level) != hashes[l]) continue;
    if (index.Layer(r, level) == identity.layers[static_cast<size_t>(l)]) return level;
  }
  return std::nullopt;
}

void HashesOf(const chem::Identity& identity, uint64_t (&hashes)[kIdentityLevels]) {
  for (int l = 0; l < kIdentityLevels; ++l) {
    const std::string& text = identity.layers[static_cast<size_t>(l)];
    hashes[l] = text.empty() ? 0 : chem::LayerHash(text);
  }
}

}  // namespace

IdentityCatalog::IdentityCatalog(const SoundIndex* index) : index_(index) {
  if (index_ == nullptr) return;
  rows_.reserve(index_->size());
  for (size_t r = 0; r < index_->size(); ++r) {
    const int l = LoosestKnown(*index_, r);
    if (l >= 0) rows_.emplace(Key(l, index_->LayerHash(r, static_cast<IdentityLevel>(l))), r);
  }
}

void IdentityCatalog::Add(const std::string& name, const chem::Identity& identity) {
  if (!identity.known()) return;
  uint64_t hashes[kIdentityLevels];
  HashesOf(identity, hashes);
  int loosest = kIdentityLevels - 1;
  while (loosest > 0 && hashes[loosest] == 0) --loosest;
  addedRows_.emplace(Key(loosest, hashes[loosest]), added_.size());
  added_.emplace_back(name, identity);
  byName_[name] = identity;
}

std::vector<IdentityMatch> IdentityCatalog::Find(const chem::Identity& identity) const {
  std::vector<IdentityMatch> found;
  if (!identity.known()) return found;
  uint64_t hashes[kIdentityLevels];
  HashesOf(identity, hashes);
  std::vector<size_t> rows, added;
  for (int l = 0; l < kIdentityLevels; ++l) {
    if (hashes[l] == 0) continue;
    auto [lo, hi] = rows_.equal_range(Key(l, hashes[l]));
    for (auto it = lo; it != hi; ++it) rows.push_back(it->second);
    auto [alo, ahi] = addedRows_.equal_range(Key(l, hashes[l]));
    for (auto it = alo; it != ahi; ++it) added.push_back(it->second);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (size_t r : rows) {
    if (auto level = SharedWithRow(*index_, r, identity, hashes)) {
      found.push_back({std::string(index_->Name(r)), r, *level});
    }
  }
  std::sort(added.begin(), added.end());
  added.erase(std::unique(added.begin(), added.end()), added.end());
  for (size_t a : added) {
    if (auto level = chem::ClosestSharedLevel(identity, added_[a].second)) {
      found.push_back({added_[a].first, kAddedRow, *level});
    }
  }
  return found;
}

const chem::Identity* IdentityCatalog::IdentityOfName(const std::string& name) const {
  if (!namesRead_) {
    namesRead_ = true;
    if (index_ != nullptr) {
      // Added structures keep their place: they are newer than the index.
      for (size_t r = 0; r < index_->size(); ++r) {
        byName_.try_emplace(std::string(index_->Name(r)), index_->IdentityOf(r));
      }
    }
  }
  auto it = byName_.find(name);
  return it == byName_.end() || !it->second.known() ? nullptr : &it->second;
}

std::vector<IdentityMatch> FindInIndex(const SoundIndex& index, const chem::Identity& identity) {
  std::vector<IdentityMatch> found;
  if (!identity.known()) return found;
  uint64_t hashes[kIdentityLevels];
  HashesOf(identity, hashes);
  for (size_t r = 0; r < index.size(); ++r) {
    if (auto level = SharedWithRow(index, r, identity, hashes)) {
      found.push_back({std::string(index.Name(r)), r, *level});
    }
  }
  return found;
}

std::vector<std::vector<size_t>> DuplicateGroups(const SoundIndex& index,
                                                 chem::IdentityLevel level) {
  // Rows by hash, then split by text (a hash shared by two texts is no group).
  std::unordered_map<uint64_t, std::vector<size_t>> byHash;
  for (size_t r = 0; r < index.size(); ++r) {
    if (const uint64_t h = index.LayerHash(r, level); h != 0) byHash[h].push_back(r);
  }
  std::vector<std::vector<size_t>> groups;
  for (auto& [hash, rows] : byHash) {
    if (rows.size() < 2) continue;
    std::unordered_map<std::string, std::vector<size_t>> byText;
    for (size_t r : rows) byText[index.Layer(r, level)].push_back(r);
    for (auto& [text, group] : byText) {
      if (group.size() >= 2) groups.push_back(std::move(group));
    }
  }
  std::sort(groups.begin(), groups.end(),
            [](const std::vector<size_t>& a, const std::vector<size_t>& b) { return a[0] < b[0]; });
  return groups;
}

const char* RelationText(chem::IdentityLevel level) {
  switch (level) {
    case IdentityLevel::kExact:
      return kSameStructureRelation;
    case IdentityLevel::kParent:
      return kSaltFormRelation;
    case IdentityLevel::kNoStereo:
      return kStereoisomerRelation;
    case IdentityLevel::kTautomer:
      return kTautomerRelation;
  }
  return "";
}

}  // namespace vuduzez
