#include "model/molecule.h"

#include <algorithm>

namespace vuduzez {

// Field by field, so that the texts keep their buffers: every read starts here.
void Molecule::ResetTables() {
  for (auto& a : atmdata) {
    a.x = a.y = 0.0L;
    a.symbol.clear();
    a.degree = 0;
  }
  for (auto& p : posdata) {
    p.px = p.py = p.elem = p.valence = p.charge = p.hcount = 0;
    p.formal = p.isotope = p.radical = 0;
    p.hstated = -1;
    p.rawsym.clear();
  }
  for (auto& b : bnddata) {
    b.atom1 = b.atom2 = b.order = 0;
    b.stereo.clear();
    b.bsym.clear();
  }
}

int32_t ElementIndex(std::string_view symbol) {
  static constexpr std::string_view kTable = "C H N BrClF I LiO P S SiZn";
  if (symbol.empty()) return kCarbon;
  for (size_t p = 0; p + symbol.size() <= kTable.size(); p += 2) {
    if (kTable.compare(p, symbol.size(), symbol) == 0) return static_cast<int32_t>(p / 2 + 1);
  }
  return kCarbon;
}

int32_t ElementOf(std::string_view symbol) {
  if (symbol.empty() || symbol.size() > 3) return 0;
  for (int32_t e = 1; e < kElementSlots; ++e) {
    if (symbol == kElements[static_cast<size_t>(e)].symbol) return e;
  }
  return 0;
}

double IsotopeMass(int32_t elem, int32_t massNumber) {
  if (elem < 1 || elem >= kElementSlots) return 0;
  const Isotope key{kElements[static_cast<size_t>(elem)].number, massNumber, 0};
  const auto it = std::lower_bound(
      kIsotopes.begin(), kIsotopes.end(), key, [](const Isotope& a, const Isotope& b) {
        return a.number != b.number ? a.number < b.number : a.massNumber < b.massNumber;
      });
  if (it == kIsotopes.end() || it->number != key.number || it->massNumber != massNumber) return 0;
  return it->mass;
}

}  // namespace vuduzez
