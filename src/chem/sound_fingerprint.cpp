#include "chem/sound_fingerprint.h"

#include <algorithm>

namespace vuduzez::chem {

namespace {

// Paths of up to this many bonds with their bond types; the shorter ones
// also with bonds of any type, for query bonds that allow several.
constexpr int kExactPathBonds = 5;
constexpr int kAnyBondPathBonds = 3;
constexpr int kCycleBonds = 6;
// A record with more paths than this is not screened (cages, fullerenes).
constexpr int64_t kMaxRecordPaths = 400000;
// Element count thresholds: a record with c atoms of an element sets every
// threshold up to c; a query of q atoms asks for the largest up to q.
constexpr int kCountSteps[] = {1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 24, 32};
constexpr int kAnyBond = 255;

enum Kind : uint64_t { kCount = 1, kRing, kCharge, kPath, kAnyPath, kCycle, kAnyCycle, kStar };

uint64_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ull;
  x ^= x >> 33;
  return x;
}

void Set(Fingerprint& fp, uint64_t feature) {
  const uint64_t bit = Mix(feature) & (kFingerprintBits - 1);
  fp[bit >> 6] |= uint64_t{1} << (bit & 63);
}

uint64_t Feature(Kind kind, uint64_t a, uint64_t b = 0) { return (kind << 56) ^ (a << 24) ^ b; }

// Labelled simple paths: the label sequence atom, bond, atom, ... hashed in
// both directions at once, the smaller of the two naming the path; and
// simple cycles of up to kCycleBonds bonds, named by the smallest hash of
// their labels over every starting point and both directions.
class PathWalker {
 public:
  PathWalker(const FeatureGraph& g, bool anyBonds, int maxBonds, Fingerprint& fp, int64_t budget)
      : g_(g), anyBonds_(anyBonds), maxBonds_(maxBonds), fp_(fp), budget_(budget) {
    onPath_.assign(g.element.size(), 0);
  }
  // False when the budget ran out.
  bool Walk() {
    for (size_t a = 0; a < g_.element.size(); ++a) {
      if (g_.element[a] < 0) continue;
      const uint64_t label = static_cast<uint64_t>(g_.element[a]) + 1;
      start_ = static_cast<int>(a);
      atomLabels_[0] = label;
      onPath_[a] = 1;
      if (!Extend(static_cast<int>(a), 0, label, label, 1)) return false;
      onPath_[a] = 0;
    }
    return true;
  }

 private:
  static constexpr uint64_t kBase = 0x100000001b3ull;
  static constexpr int kDepth = std::max(kExactPathBonds, kCycleBonds - 1);

  void Cycle(int bonds) {
    // atoms 0..bonds-1 and bonds 1..bonds (the last closes on atom 0).
    uint64_t best = ~uint64_t{0};
    for (int from = 0; from < bonds; ++from) {
      for (int dir = -1; dir <= 1; dir += 2) {
        uint64_t h = 0;
        for (int k = 0; k < bonds; ++k) {
          const int atom = ((from + dir * k) % bonds + bonds) % bonds;
          // the bond after this atom in the walking direction
          const int bond = dir > 0 ? atom + 1 : (atom == 0 ? bonds : atom);
          h = (h * kBase + atomLabels_[atom]) * kBase + bondLabels_[bond];
        }
        best = std::min(best, h);
      }
    }
    Set(fp_, Feature(anyBonds_ ? kAnyCycle : kCycle, static_cast<uint64_t>(bonds), best));
  }

  bool Extend(int atom, int bonds, uint64_t forward, uint64_t reverse, uint64_t power) {
    if (bonds == kDepth) return true;
    for (const FeatureGraph::Edge& e : g_.edges[static_cast<size_t>(atom)]) {
      const int type = anyBonds_ ? kAnyBond : e.type;
      if (type < 0) continue;
      const uint64_t bondLabel = static_cast<uint64_t>(type) + 300;
      if (e.to == start_ && bonds >= 2 && bonds + 1 <= kCycleBonds) {
        bondLabels_[bonds + 1] = bondLabel;
        Cycle(bonds + 1);
        continue;
      }
      if (onPath_[static_cast<size_t>(e.to)] || g_.element[static_cast<size_t>(e.to)] < 0) continue;
      if (--budget_ < 0) return false;
      const uint64_t atomLabel = static_cast<uint64_t>(g_.element[static_cast<size_t>(e.to)]) + 1;
      // forward: a0 b1 a1 ... ; reverse: ... a1 b1 a0 (powers of the base).
      const uint64_t f = (forward * kBase + bondLabel) * kBase + atomLabel;
      const uint64_t r = reverse + bondLabel * power * kBase + atomLabel * power * kBase * kBase;
      const uint64_t p = power * kBase * kBase;
      if (bonds + 1 <= maxBonds_) {
        Set(fp_, Feature(anyBonds_ ? kAnyPath : kPath, static_cast<uint64_t>(bonds + 1),
                         std::min(f, r)));
      }
      bondLabels_[bonds + 1] = bondLabel;
      atomLabels_[bonds + 1] = atomLabel;
      onPath_[static_cast<size_t>(e.to)] = 1;
      const bool ok = Extend(e.to, bonds + 1, f, r, p);
      onPath_[static_cast<size_t>(e.to)] = 0;
      if (!ok) return false;
    }
    return true;
  }

  const FeatureGraph& g_;
  bool anyBonds_;
  int maxBonds_;
  Fingerprint& fp_;
  int64_t budget_;
  int start_ = 0;
  uint64_t atomLabels_[kDepth + 2] = {};
  uint64_t bondLabels_[kDepth + 2] = {};
  std::vector<uint8_t> onPath_;
};

// Counts, ring levels and charges: "at least" features for a record (every
// level up to its own), "exactly this" for a query.
void AtomFeatures(const FeatureGraph& g, bool record, Fingerprint& fp) {
  std::vector<int> count(256, 0);
  for (size_t a = 0; a < g.element.size(); ++a) {
    const int z = g.element[a];
    if (z < 0) continue;
    ++count[static_cast<size_t>(z)];
    const int level = g.ringLevel[a];
    if (record) {
      for (int l = 1; l <= level; ++l) Set(fp, Feature(kRing, static_cast<uint64_t>(z), l));
    } else if (level > 0) {
      Set(fp, Feature(kRing, static_cast<uint64_t>(z), static_cast<uint64_t>(level)));
    }
    if (g.charge[a] != 0) {
      Set(fp, Feature(kCharge, static_cast<uint64_t>(z), static_cast<uint64_t>(g.charge[a] + 128)));
    }
  }
  for (int z = 0; z < 256; ++z) {
    const int c = count[static_cast<size_t>(z)];
    if (c == 0) continue;
    int best = 0;
    for (int step : kCountSteps) {
      if (step > c) break;
      best = step;
      if (record) Set(fp, Feature(kCount, static_cast<uint64_t>(z), static_cast<uint64_t>(step)));
    }
    if (!record) Set(fp, Feature(kCount, static_cast<uint64_t>(z), static_cast<uint64_t>(best)));
  }
}

// Branches: an atom with three of its neighbours (bond type and element of
// each, in sorted order). Every three neighbours of a query atom are among
// its image's, so a record sets every such triple and a query every one of
// its own.
void StarFeatures(const FeatureGraph& g, Fingerprint& fp) {
  std::vector<uint64_t> around;
  for (size_t a = 0; a < g.element.size(); ++a) {
    if (g.element[a] < 0) continue;
    around.clear();
    for (const FeatureGraph::Edge& e : g.edges[a]) {
      const int z = g.element[static_cast<size_t>(e.to)];
      if (z >= 0 && e.type >= 0) around.push_back(static_cast<uint64_t>(e.type) << 16 | z);
    }
    if (around.size() < 3) continue;
    std::sort(around.begin(), around.end());
    for (size_t i = 0; i < around.size(); ++i) {
      for (size_t j = i + 1; j < around.size(); ++j) {
        for (size_t k = j + 1; k < around.size(); ++k) {
          const uint64_t name =
              ((around[i] * 0x9e3779b97f4a7c15ull) ^ around[j]) * 0x9e3779b97f4a7c15ull ^ around[k];
          Set(fp, Feature(kStar, static_cast<uint64_t>(g.element[a]), Mix(name)));
        }
      }
    }
  }
}

Fingerprint Features(const FeatureGraph& g, bool record) {
  Fingerprint fp{};
  AtomFeatures(g, record, fp);
  StarFeatures(g, fp);
  int64_t budget = record ? kMaxRecordPaths : INT64_MAX;
  PathWalker exact(g, false, kExactPathBonds, fp, budget);
  PathWalker any(g, true, kAnyBondPathBonds, fp, budget);
  if (!exact.Walk() || !any.Walk()) fp.fill(~uint64_t{0});
  return fp;
}

}  // namespace

Fingerprint RecordFingerprint(const GraphView& graph) {
  FeatureGraph g;
  const int n = graph.atoms();
  g.element.resize(static_cast<size_t>(n));
  g.ringLevel.resize(static_cast<size_t>(n));
  g.charge.resize(static_cast<size_t>(n));
  g.edges.resize(static_cast<size_t>(n));
  for (int a = 0; a < n; ++a) {
    g.element[static_cast<size_t>(a)] = graph.AtomicNum(a);
    g.ringLevel[static_cast<size_t>(a)] = std::min(graph.Rings(a), 2);
    g.charge[static_cast<size_t>(a)] = graph.Charge(a);
  }
  for (int k = 0; k < graph.bonds(); ++k) {
    const int type = graph.BondType(k);
    // A bond of unspecified type matches every query bond: no path of the
    // record can be named by its type.
    if (type == 0) {
      Fingerprint all;
      all.fill(~uint64_t{0});
      return all;
    }
    g.edges[static_cast<size_t>(graph.BondBegin(k))].push_back({graph.BondEnd(k), type});
    g.edges[static_cast<size_t>(graph.BondEnd(k))].push_back({graph.BondBegin(k), type});
  }
  return Features(g, true);
}

Fingerprint QueryFingerprint(const FeatureGraph& query) { return Features(query, false); }

}  // namespace vuduzez::chem
