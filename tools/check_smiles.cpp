// Compares the SMILES reader with the MOL reader on the same structures: reads
// lines "SMILES<TAB>MOLFILE" from stdin (MOLFILE empty when the peer toolkit
// could not read the SMILES), reads the SMILES with ReadSmiles and the MOL file
// with ReadMolFile, keys both, and prints one tab-separated line per input:
// the class of the outcome and a detail. tools/check_smiles.sh makes the
// input with RDKit and sums the classes up.
#include <algorithm>
#include <iostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "model/smiles.h"
#include "platform/errors.h"

namespace {

using namespace vuduzez;

// The path codes of a key as a set: keys that differ only in their order.
std::multiset<std::string> Codes(const std::string& key) {
  std::multiset<std::string> codes;
  size_t start = 0;
  while (start <= key.size()) {
    const size_t slash = std::min(key.find('/', start), key.size());
    codes.insert(key.substr(start, slash - start));
    start = slash + 1;
  }
  return codes;
}

using BondKey = std::tuple<int, int, int>;

std::vector<BondKey> Bonds(const Molecule& m, bool withOrder, bool sorted) {
  std::vector<BondKey> bonds;
  for (int j = 1; j <= m.bndcount; ++j) {
    const BondRow& b = m.bnddata[static_cast<size_t>(j)];
    int a1 = b.atom1, a2 = b.atom2;
    if (sorted && a1 > a2) std::swap(a1, a2);
    bonds.emplace_back(a1, a2, withOrder ? b.order : 0);
  }
  if (sorted) std::sort(bonds.begin(), bonds.end());
  return bonds;
}

bool SameAtoms(const Molecule& a, const Molecule& b) {
  if (a.atmcount != b.atmcount) return false;
  for (int i = 1; i <= a.atmcount; ++i) {
    const size_t k = static_cast<size_t>(i);
    if (a.atmdata[k].symbol != b.atmdata[k].symbol || a.posdata[k].rawsym != b.posdata[k].rawsym ||
        a.posdata[k].elem != b.posdata[k].elem || a.posdata[k].charge != b.posdata[k].charge ||
        a.atmdata[k].degree != b.atmdata[k].degree) {
      return false;
    }
  }
  return true;
}

// Bond rows equal, with or without the stereo column.
bool SameBondRows(const Molecule& a, const Molecule& b, bool stereo) {
  if (a.bndcount != b.bndcount) return false;
  for (int j = 1; j <= a.bndcount; ++j) {
    const BondRow& x = a.bnddata[static_cast<size_t>(j)];
    const BondRow& y = b.bnddata[static_cast<size_t>(j)];
    if (x.atom1 != y.atom1 || x.atom2 != y.atom2 || x.order != y.order || x.bsym != y.bsym ||
        (stereo && x.stereo != y.stereo)) {
      return false;
    }
  }
  return true;
}

// The double bonds as "a=b" (atoms numbered from 1), for the report.
std::string DoubleBonds(const Molecule& m) {
  std::string text;
  for (int j = 1; j <= m.bndcount; ++j) {
    const BondRow& b = m.bnddata[static_cast<size_t>(j)];
    if (b.order != 2) continue;
    text += (text.empty() ? "" : " ") + std::to_string(std::min(b.atom1, b.atom2)) + "=" +
            std::to_string(std::max(b.atom1, b.atom2));
  }
  return text;
}

// "key equal", "key order" (same codes in another order) or "key differs".
std::string CompareKeys(const std::string& a, const std::string& b) {
  if (a == b) return "key equal";
  return Codes(a) == Codes(b) ? "key order" : "key differs";
}

}  // namespace

int main() {
  std::ios::sync_with_stdio(false);
  Molecule fromSmiles, fromMol;
  SilentSink sink;
  std::string line;
  while (std::getline(std::cin, line)) {
    const size_t tab = line.find('\t');
    const std::string smiles = line.substr(0, tab);
    const std::string molfile = tab == std::string::npos ? "" : line.substr(tab + 1);
    const SmilesResult r = ReadSmiles(fromSmiles, smiles);
    if (molfile.empty()) {
      std::cout << (r.ok ? "peer refuses, vuduzez reads\t" : "both refuse\t") << r.message << '\n';
      continue;
    }
    if (!r.ok) {
      std::cout << "vuduzez refuses\t" << r.message << '\n';
      continue;
    }
    std::string refused;
    try {
      refused = ReadMolFile(fromMol, molfile, sink).message;
    } catch (const RuntimeError& e) {
      refused = e.what();
    }
    if (!refused.empty()) {
      std::cout << "MOL file refused\t" << refused << '\n';
      continue;
    }
    // Compared before key generation, which marks aromatic bonds in the tables.
    std::string cls, doubles;
    if (fromSmiles.atmcount != fromMol.atmcount || fromSmiles.bndcount != fromMol.bndcount) {
      cls = "counts differ";
    } else if (!SameAtoms(fromSmiles, fromMol)) {
      cls = "atom rows differ";
    } else if (SameBondRows(fromSmiles, fromMol, true)) {
      cls = "tables equal";
    } else if (SameBondRows(fromSmiles, fromMol, false)) {
      cls = "bond stereo column differs";
    } else if (Bonds(fromSmiles, true, true) == Bonds(fromMol, true, true)) {
      cls = "bond numbering differs";
    } else if (Bonds(fromSmiles, false, true) == Bonds(fromMol, false, true)) {
      cls = "Kekule structure differs";
      doubles = " double bonds " + DoubleBonds(fromSmiles) + " vs " + DoubleBonds(fromMol);
    } else {
      cls = "connectivity differs";
    }
    CalcFormulaWeight(fromSmiles);
    CalcFormulaWeight(fromMol);
    const bool keyA = MakeStructureKey(fromSmiles, sink).ok();
    const bool keyB = MakeStructureKey(fromMol, sink).ok();
    const std::string keys = keyA && keyB ? CompareKeys(fromSmiles.keydata, fromMol.keydata)
                                          : (keyA == keyB ? "both keys fail" : "one key fails");
    const std::string formula =
        fromSmiles.molformula == fromMol.molformula
            ? ""
            : " formula " + fromSmiles.molformula + " vs " + fromMol.molformula;
    std::cout << cls << ", " << keys << '\t' << fromSmiles.atmcount << '/' << fromMol.atmcount
              << " atoms, " << fromSmiles.bndcount << '/' << fromMol.bndcount << " bonds" << formula
              << doubles << '\n';
  }
  return 0;
}
