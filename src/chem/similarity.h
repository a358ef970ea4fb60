// The similarity fingerprint of the similar-compounds search: RDKit's Morgan
// fingerprint of radius 2 folded to 2048 bits (ECFP4-like; RDKit's
// GetMorganFingerprintAsBitVect(mol, 2, nBits=2048) with its defaults) of a
// structure as RDKit reads it by default (sanitized, the hydrogens it can do
// without removed: the molecule PerceiveRecord perceives), kept as its on
// bits in ascending order. Scores are RDKit's Tanimoto of two such prints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chem/sound_query.h"

namespace RDKit {
class ROMol;
}

namespace vuduzez::chem {

inline constexpr int kSimilarityBits = 2048;
inline constexpr int kSimilarityRadius = 2;

// The on bits of one fingerprint, ascending (each below kSimilarityBits).
using SimilarityPrint = std::vector<uint16_t>;

// RDKit's Tanimoto of two prints of a and b bits with `common` in common:
// common / (a + b - common) in double, and 1 when both are empty, exactly as
// DataStructs.TanimotoSimilarity computes it (the same double, not a near one).
inline double Tanimoto(int common, int a, int b) {
  const double x = common, y = a, z = b;
  return y + z - x == 0.0 ? 1.0 : x / (y + z - x);
}

// The highest score a print of b bits can reach against one of a bits (all
// of the smaller inside the larger), by the same division: no record of b
// bits reaches a threshold this is below (t * a <= b <= a / t).
inline double TanimotoBound(int a, int b) { return a < b ? Tanimoto(a, a, b) : Tanimoto(b, a, b); }

// The bits two prints share.
int CommonBits(const SimilarityPrint& a, const SimilarityPrint& b);

// The print of a molecule RDKit read (chem/ only: RDKit's type).
SimilarityPrint MorganPrint(const RDKit::ROMol& mol);

// The query of a similarity search: a MOL text or a SMILES (a name after a
// blank is passed over), read as RDKit reads them by default. A SMARTS
// describes no one structure: it is refused.
struct SimilarityQuery {
  bool ok = false;
  SimilarityPrint print;
  std::string error;  // RDKit's reason (English), or why the form is refused
};
SimilarityQuery SimilarityQueryOf(QueryForm form, std::string_view text);

}  // namespace vuduzez::chem
