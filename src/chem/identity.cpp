#include "chem/identity.h"

// RDKit's build options first: they change the layout of its classes.
#include <RDGeneral/RDConfig.h>

#include <GraphMol/Chirality.h>
#include <GraphMol/MolHash/MolHash.h>
#include <GraphMol/MolOps.h>
#include <GraphMol/MolStandardize/Charge.h>
#include <GraphMol/MolStandardize/Fragment.h>
#include <GraphMol/SmilesParse/SmilesWrite.h>
#include <RDGeneral/Invariant.h>

#include <memory>

#include "chem/rdkit_mol.h"

namespace vuduzez::chem {

namespace {

constexpr const char* kLevelNames[kIdentityLevels] = {"exact", "parent", "nostereo", "tautomer"};

// The largest organic fragment and the uncharger, made once per thread (each
// compiles its patterns when it is made).
RDKit::MolStandardize::LargestFragmentChooser& FragmentChooser() {
  thread_local RDKit::MolStandardize::LargestFragmentChooser chooser(/*preferOrganic=*/true);
  return chooser;
}
RDKit::MolStandardize::Uncharger& Neutraliser() {
  thread_local RDKit::MolStandardize::Uncharger uncharger(/*canonicalOrdering=*/true);
  return uncharger;
}

bool NeedsParent(const RDKit::ROMol& mol) {
  std::vector<int> fragments;
  if (RDKit::MolOps::getMolFrags(mol, fragments) > 1) return true;
  for (const RDKit::Atom* atom : mol.atoms()) {
    if (atom->getFormalCharge() != 0) return true;
  }
  return false;
}

bool HasStereoOrIsotopes(const RDKit::ROMol& mol) {
  for (const RDKit::Atom* atom : mol.atoms()) {
    if (atom->getIsotope() != 0 || atom->getChiralTag() != RDKit::Atom::CHI_UNSPECIFIED) {
      return true;
    }
  }
  for (const RDKit::Bond* bond : mol.bonds()) {
    if (bond->getStereo() != RDKit::Bond::STEREONONE || bond->getBondDir() != RDKit::Bond::NONE) {
      return true;
    }
  }
  return false;
}

// The molecule with its atoms in canonical order (the order of its canonical
// SMILES), so that what is made from it next does not depend on the order the
// atoms were drawn in.
std::unique_ptr<RDKit::ROMol> InCanonicalOrder(const RDKit::ROMol& mol) {
  std::vector<unsigned> order;
  if (!mol.getPropIfPresent(RDKit::common_properties::_smilesAtomOutputOrder, order) ||
      order.size() != mol.getNumAtoms()) {
    return std::make_unique<RDKit::ROMol>(mol);
  }
  // renumberAtoms takes, for each new index, the old atom.
  return std::unique_ptr<RDKit::ROMol>(RDKit::MolOps::renumberAtoms(mol, order));
}

}  // namespace

const char* IdentityLevelName(IdentityLevel level) {
  return kLevelNames[static_cast<size_t>(level)];
}

std::optional<IdentityLevel> ParseIdentityLevel(std::string_view name) {
  for (int i = 0; i < kIdentityLevels; ++i) {
    if (name == kLevelNames[i]) return static_cast<IdentityLevel>(i);
  }
  return std::nullopt;
}

std::optional<IdentityLevel> ClosestSharedLevel(const Identity& a, const Identity& b) {
  for (int i = 0; i < kIdentityLevels; ++i) {
    if (!a.layers[i].empty() && a.layers[i] == b.layers[i]) return static_cast<IdentityLevel>(i);
  }
  return std::nullopt;
}

Identity IdentityOfMol(const RDKit::ROMol& mol) {
  QuietRdkit();
  Identity out;
  try {
    out.layers[0] = RDKit::MolToSmiles(mol);
    // Most records are one neutral molecule: their own parent.
    std::unique_ptr<RDKit::ROMol> parent;
    if (NeedsParent(mol)) {
      const std::unique_ptr<RDKit::ROMol> canonical = InCanonicalOrder(mol);
      std::unique_ptr<RDKit::ROMol> largest(FragmentChooser().choose(*canonical));
      parent.reset(Neutraliser().uncharge(*largest));
      out.layers[1] = RDKit::MolToSmiles(*parent);
    } else {
      out.layers[1] = out.layers[0];
    }
    const RDKit::ROMol& p = parent ? *parent : mol;
    // Without stereo or isotopes the SMILES without them is the same text.
    const bool stereo = HasStereoOrIsotopes(p);
    out.layers[2] = stereo ? RDKit::MolToSmiles(p, /*doIsomericSmiles=*/false) : out.layers[1];
    RDKit::RWMol flat(p);
    if (stereo) RDKit::MolOps::removeStereochemistry(flat);
    out.layers[3] = RDKit::MolHash::MolHash(&flat, RDKit::MolHash::HashFunction::HetAtomTautomer);
  } catch (const Invar::Invariant&) {
    // The layers made so far stand; the rest stay unknown.
  } catch (const std::exception&) {
  }
  return out;
}

Identity StructureIdentity(std::string_view molText) {
  std::string block, why;
  if (!MolBlockOf(molText, block, why)) return {};
  ParsedMol parsed = ParseMolBlock(block, /*sanitize=*/true, /*removeHs=*/true);
  return parsed ? IdentityOfMol(*parsed.mol) : Identity{};
}

Identity SmilesIdentity(std::string_view smiles) {
  ParsedMol parsed = ParseSmiles(smiles);
  return parsed ? IdentityOfMol(*parsed.mol) : Identity{};
}

uint64_t LayerHash(std::string_view text) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h == 0 ? 1 : h;
}

}  // namespace vuduzez::chem
