// Structure identity: the layers by which two records are one compound, as
// RDKit sees a structure (read as the sound model reads it, chem/perceive.h),
// from the closest to the loosest:
//   exact     canonical isomeric SMILES of the whole structure (another
//             Kekulé form or atom order of one compound gives the same);
//   parent    the same of its parent: the largest organic fragment with its
//             charges neutralised where a proton can do it (RDKit's
//             MolStandardize LargestFragmentChooser and Uncharger), so that a
//             salt, solvate or other charge form shares its compound's;
//   nostereo  the parent's canonical SMILES without stereo (stereoisomers,
//             in any salt form);
//   tautomer  RDKit's MolHash HetAtomTautomer of the parent without stereo
//             (tautomers that move hydrogens between heteroatoms).
// Each layer follows from the one above it: records equal in one layer are
// equal in every looser one. Plain types: RDKit stays inside chem/.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace RDKit {
class ROMol;
}

namespace vuduzez::chem {

enum class IdentityLevel : uint8_t { kExact = 0, kParent = 1, kNoStereo = 2, kTautomer = 3 };
inline constexpr int kIdentityLevels = 4;

// "exact", "parent", "nostereo", "tautomer".
const char* IdentityLevelName(IdentityLevel level);
std::optional<IdentityLevel> ParseIdentityLevel(std::string_view name);

// The layers of one structure; an empty layer is unknown (RDKit does not
// read the structure, or could not make that layer) and equals nothing.
struct Identity {
  std::array<std::string, kIdentityLevels> layers;
  const std::string& operator[](IdentityLevel level) const {
    return layers[static_cast<size_t>(level)];
  }
  bool known() const { return !layers[0].empty(); }
  bool operator==(const Identity&) const = default;
};

// The closest level at which two identities are equal (their relation: the
// same compound, a salt form, a stereoisomer, a tautomer); nullopt when they
// share no layer.
std::optional<IdentityLevel> ClosestSharedLevel(const Identity& a, const Identity& b);

// The layers of a sanitized RDKit molecule (chem/ only).
Identity IdentityOfMol(const RDKit::ROMol& mol);

// The layers of a MOL text read as records are (sanitized, hydrogens removed)
// and of a SMILES; unknown when RDKit does not read it.
Identity StructureIdentity(std::string_view molText);
Identity SmilesIdentity(std::string_view smiles);

// A stable 64-bit hash of a layer's text (FNV-1a; never 0, which marks an
// unknown layer).
uint64_t LayerHash(std::string_view text);

}  // namespace vuduzez::chem
