// Structure keys: the path codes of every bonded walk through a molecule, with
// six- and ten-membered aromatic rings marked, the maximal ones joined by "/".
#pragma once

#include <cstdint>
#include <string>

#include "model/molecule.h"
#include "platform/ui.h"

namespace vuduzez {

inline constexpr int kMaxPathTexts = 10000;  // the store that makes the 10000th fails
inline constexpr int kMaxDeferredWalks = 10000;
inline constexpr const char* kMoleculeTooLarge = "は分子が大きすぎます";

// "a" + three digits (atom 7 is "a007"); four or more digits give "".
std::string AtomTag(int32_t n);
// "b" + three digits.
std::string BondTag(int32_t n);

// Ring size of a path text whose last atom tag repeats an earlier one (or the
// number of atoms when none repeats). Shows "データが未入力です" on empty input
// and "データが不正です" for each token of a wrong length.
int32_t RingSize(const std::string& separator, const std::string& path, Ui& ui);

// Writes mol.keydata and marks aromatic bonds (order 4, bsym "@"). On failure
// (10000 path texts) shows the reason, sets keyfail to "T", leaves keydata
// unchanged and returns false. Never sets keyfail to "F".
bool MakeStructureKey(Molecule& mol, std::string& keyfail, Ui& ui);

// Number of path texts stored by the last MakeStructureKey on this thread
// (for benchmarks and diagnostics).
int32_t LastPathCount();

}  // namespace vuduzez
