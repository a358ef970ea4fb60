#include "chem/perceive.h"

// RDKit's build options first: they change the layout of its classes.
#include <RDGeneral/RDConfig.h>

#include <GraphMol/Atom.h>
#include <GraphMol/Bond.h>
#include <GraphMol/Conformer.h>
#include <GraphMol/RingInfo.h>

#include <algorithm>
#include <cmath>

#include "chem/rdkit_mol.h"

namespace vuduzez::chem {

namespace {

uint8_t Clamp8(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

uint8_t ChiralCode(RDKit::Atom::ChiralType tag) {
  switch (tag) {
    case RDKit::Atom::CHI_UNSPECIFIED:
      return 0;
    case RDKit::Atom::CHI_TETRAHEDRAL_CW:
      return 1;
    case RDKit::Atom::CHI_TETRAHEDRAL_CCW:
      return 2;
    default:
      return 3;
  }
}

}  // namespace

PerceivedRecord PerceiveRecord(std::string_view molText) {
  PerceivedRecord out;
  std::string block;
  if (!MolBlockOf(molText, block, out.reason)) {
    out.status = RecordStatus::kRefused;
    return out;
  }
  ParsedMol parsed = ParseMolBlock(block, /*sanitize=*/true, /*removeHs=*/true);
  if (!parsed) {
    out.status = RecordStatus::kRefused;
    out.reason = parsed.error;
    return out;
  }
  const RDKit::ROMol& mol = *parsed.mol;
  try {
    out.similarity = MorganPrint(mol);
  } catch (const std::exception& e) {
    out.status = RecordStatus::kRefused;
    out.reason = e.what();
    return out;
  }
  const int n = static_cast<int>(mol.getNumAtoms());
  const int b = static_cast<int>(mol.getNumBonds());
  if (n > kMaxGraphAtoms || b > 0x7fff) {
    out.status = RecordStatus::kLarge;
    out.fingerprint.fill(~uint64_t{0});
    out.identity = IdentityOfMol(mol);
    return out;
  }
  const RDKit::RingInfo* rings = mol.getRingInfo();
  std::vector<GraphAtom> atoms(static_cast<size_t>(n));
  for (const auto& ring : rings->atomRings()) {
    for (int a : ring) {
      if (ring.size() < 32) atoms[static_cast<size_t>(a)].ringSizes |= uint32_t{1} << ring.size();
    }
  }
  uint8_t flags = 0;
  try {
    for (const RDKit::Atom* atom : mol.atoms()) {
      const int i = static_cast<int>(atom->getIdx());
      GraphAtom& g = atoms[static_cast<size_t>(i)];
      g.atomicNum = Clamp8(atom->getAtomicNum());
      g.charge = static_cast<int8_t>(std::clamp(atom->getFormalCharge(), -128, 127));
      g.isotope = static_cast<uint16_t>(std::min(atom->getIsotope(), 65535u));
      g.radicals = Clamp8(static_cast<int>(atom->getNumRadicalElectrons()));
      const uint8_t chiral = ChiralCode(atom->getChiralTag());
      if (chiral != 0) flags |= kHasStereo;
      g.flags = static_cast<uint8_t>(
          (atom->getIsAromatic() ? kAromaticAtom : 0) | (g.isotope ? kHasIsotope : 0) |
          (g.radicals ? kHasRadical : 0) | (chiral << kChiralShift) |
          (atom->hasProp(RDKit::common_properties::_ChiralityPossible) ? kChiralityPossible : 0));
      g.rings = Clamp8(static_cast<int>(rings->numAtomRings(static_cast<unsigned>(i))));
      g.hydrogens = Clamp8(static_cast<int>(atom->getTotalNumHs(false)));
      g.totalValence = Clamp8(atom->getTotalValence());
      g.explicitValence =
          Clamp8(atom->getExplicitValence() - static_cast<int>(atom->getNumExplicitHs()));
      g.implicitValence = Clamp8(atom->getImplicitValence());
      g.hybridization = Clamp8(static_cast<int>(atom->getHybridization()));
      g.minRingSize = Clamp8(static_cast<int>(rings->minAtomRingSize(static_cast<unsigned>(i))));
    }
  } catch (const std::exception& e) {
    out.status = RecordStatus::kRefused;
    out.reason = e.what();
    return out;
  }
  std::vector<GraphBond> bonds(static_cast<size_t>(b));
  for (const RDKit::Bond* bond : mol.bonds()) {
    const unsigned k = bond->getIdx();
    GraphBond& g = bonds[k];
    g.begin = static_cast<uint8_t>(bond->getBeginAtomIdx());
    g.end = static_cast<uint8_t>(bond->getEndAtomIdx());
    g.rdkitType = Clamp8(static_cast<int>(bond->getBondType()));
    g.rings = Clamp8(static_cast<int>(rings->numBondRings(k)));
    g.minRingSize = Clamp8(static_cast<int>(rings->minBondRingSize(k)));
    if (bond->getStereo() > RDKit::Bond::STEREOANY) flags |= kHasStereo;
  }
  out.graph = BuildGraph(atoms.data(), n, bonds.data(), b, flags);
  GraphView view;
  view.Adopt(out.graph);
  out.fingerprint = RecordFingerprint(view);
  // Last: writing SMILES leaves properties on the molecule the graph reads.
  out.identity = IdentityOfMol(mol);
  out.status = RecordStatus::kOk;
  return out;
}

std::vector<int> MolAtomNumbers(std::string_view molText) {
  std::string block, why;
  if (!MolBlockOf(molText, block, why)) return {};
  ParsedMol kept = ParseMolBlock(block, /*sanitize=*/true, /*removeHs=*/true);
  ParsedMol all = ParseMolBlock(block, /*sanitize=*/false, /*removeHs=*/false);
  if (!kept || !all) return {};
  // RDKit keeps the order of the atoms it does not remove, and their
  // coordinates: each kept atom is the next drawn atom of its element at its
  // place (a removed hydrogen in between is passed over).
  const bool placed = kept.mol->getNumConformers() > 0 && all.mol->getNumConformers() > 0;
  std::vector<int> numbers;
  numbers.reserve(kept.mol->getNumAtoms());
  unsigned next = 0;
  for (const RDKit::Atom* atom : kept.mol->atoms()) {
    unsigned found = next;
    for (unsigned i = next; i < all.mol->getNumAtoms(); ++i) {
      const RDKit::Atom* drawn = all.mol->getAtomWithIdx(i);
      if (drawn->getAtomicNum() != atom->getAtomicNum()) continue;
      if (placed) {
        const RDGeom::Point3D p = kept.mol->getConformer().getAtomPos(atom->getIdx());
        const RDGeom::Point3D q = all.mol->getConformer().getAtomPos(i);
        if (std::abs(p.x - q.x) + std::abs(p.y - q.y) + std::abs(p.z - q.z) > 1e-3) continue;
      }
      found = i;
      break;
    }
    numbers.push_back(static_cast<int>(found) + 1);
    next = found + 1;
  }
  return numbers;
}

}  // namespace vuduzez::chem
