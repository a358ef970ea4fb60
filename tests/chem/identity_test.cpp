// Structure identity: which layer two structures share, as a chemist reads
// them, and layers that nest and do not depend on the order atoms were drawn.
#include "chem/identity.h"

#include <gtest/gtest.h>

#include <GraphMol/MolOps.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <numeric>
#include <random>

#include "chem/rdkit_mol.h"
#include "platform/files.h"

namespace vuduzez::chem {
namespace {

std::optional<IdentityLevel> Shared(const std::string& a, const std::string& b) {
  const Identity ia = SmilesIdentity(a), ib = SmilesIdentity(b);
  EXPECT_TRUE(ia.known() && ib.known()) << a << " " << b;
  return ClosestSharedLevel(ia, ib);
}

TEST(Identity, TheClosestLayerTwoStructuresShare) {
  using L = IdentityLevel;
  // Another Kekulé form, another atom order: the same structure.
  EXPECT_EQ(Shared("Oc1ccccc1", "C1=CC=C(O)C=C1"), L::kExact);
  EXPECT_EQ(Shared("OC1=CC=CC=C1", "C1C=CC(O)=CC=1"), L::kExact);
  // Salts, solvates and charge forms of one compound share its parent.
  EXPECT_EQ(Shared("CC(=O)O", "CC(=O)[O-].[Na+]"), L::kParent);
  EXPECT_EQ(Shared("CCN", "CCN.Cl"), L::kParent);
  EXPECT_EQ(Shared("CCN", "CC[NH3+].[Cl-]"), L::kParent);
  EXPECT_EQ(Shared("c1ccccc1O", "O.c1ccccc1O"), L::kParent);
  EXPECT_EQ(Shared("N[C@@H](C)C(=O)O", "[NH3+][C@@H](C)C(=O)[O-]"), L::kParent);
  // Stereoisomers, also in another salt form; a stereo centre drawn or not.
  EXPECT_EQ(Shared("N[C@@H](C)C(=O)O", "N[C@H](C)C(=O)O"), L::kNoStereo);
  EXPECT_EQ(Shared("N[C@@H](C)C(=O)O", "Cl.N[C@H](C)C(=O)O"), L::kNoStereo);
  EXPECT_EQ(Shared("C/C=C/C", "C/C=C\\C"), L::kNoStereo);
  // Tautomers that move a hydrogen between heteroatoms.
  EXPECT_EQ(Shared("Oc1ccccn1", "O=c1cccc[nH]1"), L::kTautomer);
  // Other compounds share nothing; a quaternary salt keeps its charge.
  EXPECT_EQ(Shared("CCO", "CCN"), std::nullopt);
  EXPECT_EQ(Shared("c1ccccc1O", "c1ccccc1S"), std::nullopt);
  EXPECT_EQ(SmilesIdentity("C[N+](C)(C)C.[Cl-]")[L::kParent], "C[N+](C)(C)C");
  // What RDKit does not read has no identity.
  EXPECT_FALSE(SmilesIdentity("C1CC").known());
  EXPECT_EQ(ClosestSharedLevel(Identity{}, Identity{}), std::nullopt);
}

TEST(Identity, LayersNestAndDoNotDependOnTheAtomOrder) {
  // The sample's real molecules, each read again with its atoms shuffled.
  std::mt19937 random(7);
  std::vector<Identity> all;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(VUDUZEZ_SOURCE_DIR) + "/sample/mol")) {
    const std::string text = ReadFileBytes(entry.path().string());
    const Identity id = StructureIdentity(text);
    ASSERT_TRUE(id.known()) << entry.path();
    ParsedMol mol = ParseMolBlock(text, true, true);
    std::vector<unsigned> order(mol.mol->getNumAtoms());
    std::iota(order.begin(), order.end(), 0u);
    std::shuffle(order.begin(), order.end(), random);
    std::unique_ptr<RDKit::ROMol> shuffled(RDKit::MolOps::renumberAtoms(*mol.mol, order));
    EXPECT_EQ(IdentityOfMol(*shuffled), id) << entry.path();
    all.push_back(id);
  }
  // Equal in one layer, equal in every looser one.
  for (const Identity& a : all) {
    for (const Identity& b : all) {
      for (int l = 0; l + 1 < kIdentityLevels; ++l) {
        if (a.layers[l] == b.layers[l]) {
          EXPECT_EQ(a.layers[l + 1], b.layers[l + 1]);
        }
      }
    }
  }
}

}  // namespace
}  // namespace vuduzez::chem
