#include "model/molecule.h"

namespace vuduzez {

const std::array<Element, kElementCount + 1> kElements = {{
    {"", 0, 0.0L},
    {"C", 4, 12.0107L},
    {"H", 1, 1.00794L},
    {"N", 3, 14.0067L},
    {"Br", 1, 79.904L},
    {"Cl", 1, 35.453L},
    {"F", 1, 18.9984L},
    {"I", 1, 126.9045L},
    {"Li", 1, 6.941L},
    {"O", 2, 15.9994L},
    {"P", 3, 30.97376L},
    {"S", 2, 32.065L},
    {"Si", 4, 28.0855L},
    {"Zn", 3, 65.409L},
}};

// Field by field, so that the texts keep their buffers: every read starts here.
void Molecule::ResetTables() {
  for (auto& a : atmdata) {
    a.x = a.y = 0.0L;
    a.symbol.clear();
    a.degree = 0;
  }
  for (auto& p : posdata) {
    p.px = p.py = p.elem = p.valence = p.charge = p.hcount = 0;
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

}  // namespace vuduzez
