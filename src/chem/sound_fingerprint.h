// The screen of the exact search: hashed features of the perceived graph
// (element counts, charged and ring atoms, labelled paths of up to five
// bonds, cycles of up to six, branches of three) such that every feature a
// query requires is set in every record the query matches. A record is
// screened out only when it lacks one of the query's bits, so the screen
// never drops a match; the matcher decides the rest. (A change of the
// features is a new version of the index: database/sound_index.h.)
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "chem/sound_graph.h"

namespace vuduzez::chem {

inline constexpr int kFingerprintBits = 1024;
inline constexpr int kFingerprintWords = kFingerprintBits / 64;
using Fingerprint = std::array<uint64_t, kFingerprintWords>;

// A graph as the fingerprint sees it: each atom's element (-1 when a query
// atom may take several), the ring level its image must reach (0, 1: in a
// ring, 2: in two or more rings), the charge it must have (0: none asked),
// and each bond's RDKit type (-1 when a query bond may take several).
struct FeatureGraph {
  struct Edge {
    int to;
    int type;
  };
  std::vector<int> element;
  std::vector<int> ringLevel;
  std::vector<int> charge;
  std::vector<std::vector<Edge>> edges;
};

// A record's fingerprint: every feature of its graph (all bits set when the
// record cannot be screened: a bond of unspecified type, which matches any
// query bond, or too many paths to list).
Fingerprint RecordFingerprint(const GraphView& graph);

// The bits a query requires: only features that every match implies.
Fingerprint QueryFingerprint(const FeatureGraph& query);

// Whether a record's fingerprint holds every bit of the query's.
inline bool Covers(const Fingerprint& record, const Fingerprint& query) {
  for (int w = 0; w < kFingerprintWords; ++w) {
    if ((query[w] & ~record[w]) != 0) return false;
  }
  return true;
}

}  // namespace vuduzez::chem
