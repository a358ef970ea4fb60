#include "sketch/sketch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <numbers>

#include "model/molecule.h"

namespace vuduzez {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kStep = kPi / 6;  // 30 degrees
constexpr size_t kUndoDepth = 200;
// A point this close (in bond lengths) to an atom is that atom.
constexpr double kMergeReach = 0.3;
// Clearance a new atom keeps from the others (in bond lengths).
constexpr double kClearance = 0.5;

SketchPoint Add(SketchPoint a, SketchPoint b) { return {a.x + b.x, a.y + b.y}; }
SketchPoint Sub(SketchPoint a, SketchPoint b) { return {a.x - b.x, a.y - b.y}; }
SketchPoint Mul(SketchPoint a, double f) { return {a.x * f, a.y * f}; }
double Dist(SketchPoint a, SketchPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }
double Cross(SketchPoint a, SketchPoint b) { return a.x * b.y - a.y * b.x; }
SketchPoint Polar(double length, double angle) {
  return {length * std::cos(angle), length * std::sin(angle)};
}

double SnapAngle(double angle) { return std::round(angle / kStep) * kStep; }

bool ValidAtom(const SketchDoc& doc, int atom) {
  return atom >= 0 && static_cast<size_t>(atom) < doc.atoms.size();
}
bool ValidBond(const SketchDoc& doc, int bond) {
  return bond >= 0 && static_cast<size_t>(bond) < doc.bonds.size();
}

// Removes the marked atoms and every bond touching them; the rest keep their
// order and are renumbered.
void Compact(SketchDoc& doc, const std::vector<char>& remove) {
  std::vector<int> index(doc.atoms.size(), -1);
  std::vector<SketchAtom> atoms;
  for (size_t i = 0; i < doc.atoms.size(); ++i) {
    if (remove[i]) continue;
    index[i] = static_cast<int>(atoms.size());
    atoms.push_back(doc.atoms[i]);
  }
  std::vector<SketchBond> bonds;
  for (SketchBond b : doc.bonds) {
    if (index[b.atom1] < 0 || index[b.atom2] < 0) continue;
    b.atom1 = index[b.atom1];
    b.atom2 = index[b.atom2];
    bonds.push_back(b);
  }
  doc.atoms = std::move(atoms);
  doc.bonds = std::move(bonds);
}

// The atom at p, or a new one of the symbol there.
int ResolveAtom(SketchDoc& doc, SketchPoint p, const std::string& symbol, double length) {
  const int found = AtomAtIn(doc, p, kMergeReach * length);
  if (found >= 0) return found;
  doc.atoms.push_back({p, symbol, 0});
  return static_cast<int>(doc.atoms.size()) - 1;
}

bool HasMultipleBond(const SketchDoc& doc, int atom) {
  for (const SketchBond& b : doc.bonds) {
    if ((b.atom1 == atom || b.atom2 == atom) && (b.order == 2 || b.order == 3)) return true;
  }
  return false;
}

// Unit direction from the atom away from its neighbours (those marked in
// `placed`, if given): opposite a single neighbour, through the widest gap
// between several; up for a lone atom.
SketchPoint AwayFromNeighbours(const SketchDoc& doc, int atom,
                               const std::vector<char>* placed = nullptr) {
  const SketchPoint p = doc.atoms[atom].pos;
  std::vector<double> angles;
  for (int n : NeighboursIn(doc, atom)) {
    if (placed != nullptr && !(*placed)[n]) continue;
    const SketchPoint d = Sub(doc.atoms[n].pos, p);
    angles.push_back(std::atan2(d.y, d.x));
  }
  if (angles.empty()) return {0.0, 1.0};
  if (angles.size() == 1) return Polar(1.0, angles[0] + kPi);
  std::sort(angles.begin(), angles.end());
  double best = -1.0;
  double mid = 0.0;
  for (size_t i = 0; i < angles.size(); ++i) {
    const double a = angles[i];
    const double b = i + 1 < angles.size() ? angles[i + 1] : angles[0] + 2 * kPi;
    if (b - a > best) {
      best = b - a;
      mid = (a + b) / 2;
    }
  }
  return Polar(1.0, mid);
}

constexpr std::array<std::string_view, 118> kElementSymbols = {
    "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si", "P",
    "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn",
    "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh",
    "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd",
    "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",  "Re",
    "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th",
    "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr", "Rf", "Db",
    "Sg", "Bh", "Hs", "Mt", "Ds", "Rg", "Cn", "Nh", "Fl", "Mc", "Lv", "Ts", "Og"};

}  // namespace

int ChargeOfCode(int code) {
  switch (code) {
    case 1:
      return 3;
    case 2:
      return 2;
    case 3:
      return 1;
    case 5:
      return -1;
    case 6:
      return -2;
    case 7:
      return -3;
    default:
      return 0;
  }
}

int CodeOfCharge(int charge) {
  if (charge == 0 || charge < -3 || charge > 3) return 0;
  return 4 - charge;
}

bool IsElementSymbol(std::string_view symbol) {
  return std::find(kElementSymbols.begin(), kElementSymbols.end(), symbol) != kElementSymbols.end();
}

std::string_view ElementSymbolOf(int z) {
  if (z < 1 || z > static_cast<int>(kElementSymbols.size())) return {};
  return kElementSymbols[static_cast<size_t>(z - 1)];
}

int MaxValence(std::string_view s, int q) {
  // Main-group elements: the valence of the neutral atom, moved by the charge
  // the way a chemist counts it (N+ is four-bonded like C, C+ three-bonded
  // like B, O- one-bonded like F).
  if (s == "H" || s == "Li" || s == "Na" || s == "K") return q == 0 ? 1 : 0;
  if (s == "B" || s == "Al") return 3 - q;
  if (s == "C" || s == "Si" || s == "Ge") return 4 - std::abs(q);
  if (s == "N") return 3 + q;
  if (s == "P" || s == "As") return 5 + std::max(q, 0) - std::max(-q, 0) * 2;
  if (s == "O") return 2 + q;
  if (s == "S" || s == "Se" || s == "Te") return 6 + std::max(q, 0) - std::max(-q, 0) * 2;
  if (s == "F") return 1 + q;
  if (s == "Cl" || s == "Br" || s == "I") return q < 0 ? 0 : 7;
  return 0;
}

std::vector<OverValence> OverValentAtoms(const SketchDoc& doc) {
  std::vector<int> halfBonds(doc.atoms.size(), 0);  // twice the bond order sum
  for (const SketchBond& b : doc.bonds) {
    const int half = b.order >= 1 && b.order <= 3 ? 2 * b.order : b.order == 4 ? 3 : 2;
    for (int a : {b.atom1, b.atom2}) {
      if (a >= 0 && a < static_cast<int>(halfBonds.size())) halfBonds[a] += half;
    }
  }
  std::vector<OverValence> out;
  for (size_t i = 0; i < doc.atoms.size(); ++i) {
    const SketchAtom& atom = doc.atoms[i];
    const int bonds = (halfBonds[i] + 1) / 2;
    const int allowed = MaxValence(atom.symbol, ChargeOfCode(atom.charge));
    // A radical has one bond fewer; an element without a rule is not judged.
    const int limit = atom.charge == 4 ? allowed - 1 : allowed;
    if (MaxValence(atom.symbol, 0) > 0 && bonds > std::max(limit, 0)) {
      out.push_back({static_cast<int>(i), bonds, std::max(limit, 0)});
    }
  }
  return out;
}

SketchPoint SnappedBondEnd(SketchPoint from, SketchPoint toward, double length) {
  const SketchPoint d = Sub(toward, from);
  const double angle = (d.x == 0.0 && d.y == 0.0) ? kStep : SnapAngle(std::atan2(d.y, d.x));
  return Add(from, Polar(length, angle));
}

std::vector<SketchPoint> ChainPoints(SketchPoint start, SketchPoint toward,
                                     std::optional<SketchPoint> avoid, double length) {
  const SketchPoint d = Sub(toward, start);
  const double angle = (d.x == 0.0 && d.y == 0.0) ? 0.0 : SnapAngle(std::atan2(d.y, d.x));
  const double advance = length * std::cos(kStep);
  const int bonds = std::max(1, static_cast<int>(std::lround(std::hypot(d.x, d.y) / advance)));
  const SketchPoint u = Polar(1.0, angle);
  const SketchPoint v = {-u.y, u.x};
  double side = 1.0;
  if (avoid) {
    const SketchPoint up = Add(start, Add(Mul(u, advance), Mul(v, length / 2)));
    const SketchPoint down = Add(start, Add(Mul(u, advance), Mul(v, -length / 2)));
    if (Dist(down, *avoid) > Dist(up, *avoid)) side = -1.0;
  }
  std::vector<SketchPoint> points;
  for (int k = 0; k <= bonds; ++k) {
    SketchPoint p = Add(start, Mul(u, advance * k));
    if (k % 2 == 1) p = Add(p, Mul(v, side * length / 2));
    points.push_back(p);
  }
  return points;
}

std::vector<SketchPoint> RingPointsAround(SketchPoint centre, int size, double length) {
  std::vector<SketchPoint> points;
  if (size < 3) return points;
  const double radius = length / (2 * std::sin(kPi / size));
  // A vertex on top, or a flat top for rings of 4 and 8.
  const double start = kPi / 2 + (size % 4 == 0 ? kPi / size : 0.0);
  for (int k = 0; k < size; ++k) {
    points.push_back(Add(centre, Polar(radius, start + 2 * kPi * k / size)));
  }
  return points;
}

std::vector<SketchPoint> RingPointsOnBond(SketchPoint a, SketchPoint b, int size, int side) {
  std::vector<SketchPoint> points;
  const double length = Dist(a, b);
  if (size < 3 || length == 0.0) return points;
  const SketchPoint mid = Mul(Add(a, b), 0.5);
  const SketchPoint dir = Mul(Sub(b, a), 1.0 / length);
  const SketchPoint normal = {-dir.y, dir.x};
  const double apothem = length / (2 * std::tan(kPi / size));
  const double radius = length / (2 * std::sin(kPi / size));
  const SketchPoint centre = Add(mid, Mul(normal, side >= 0 ? apothem : -apothem));
  const double start = std::atan2(a.y - centre.y, a.x - centre.x);
  // Turning from a to b: counterclockwise when the centre is on the left of a->b.
  const double step = (side >= 0 ? 1.0 : -1.0) * 2 * kPi / size;
  points.push_back(a);
  points.push_back(b);
  for (int k = 2; k < size; ++k) points.push_back(Add(centre, Polar(radius, start + step * k)));
  return points;
}

SketchFit FitView(const SketchDoc& doc, double width, double height, double margin,
                  double maxScale) {
  SketchFit fit{maxScale, {}};
  if (doc.atoms.empty()) return fit;
  double minX = doc.atoms[0].pos.x, maxX = minX;
  double minY = doc.atoms[0].pos.y, maxY = minY;
  for (const SketchAtom& a : doc.atoms) {
    minX = std::min(minX, a.pos.x);
    maxX = std::max(maxX, a.pos.x);
    minY = std::min(minY, a.pos.y);
    maxY = std::max(maxY, a.pos.y);
  }
  const double availW = std::max(1.0, width - 2 * margin);
  const double availH = std::max(1.0, height - 2 * margin);
  if (maxX > minX) fit.scale = std::min(fit.scale, availW / (maxX - minX));
  if (maxY > minY) fit.scale = std::min(fit.scale, availH / (maxY - minY));
  fit.centre = {(minX + maxX) / 2, (minY + maxY) / 2};
  return fit;
}

int AtomAtIn(const SketchDoc& doc, SketchPoint p, double radius) {
  int best = -1;
  double bestDist = radius;
  for (size_t i = 0; i < doc.atoms.size(); ++i) {
    const double d = Dist(doc.atoms[i].pos, p);
    if (d <= bestDist) {
      best = static_cast<int>(i);
      bestDist = d;
    }
  }
  return best;
}

int FindBondIn(const SketchDoc& doc, int a, int b) {
  for (size_t i = 0; i < doc.bonds.size(); ++i) {
    const SketchBond& bond = doc.bonds[i];
    if ((bond.atom1 == a && bond.atom2 == b) || (bond.atom1 == b && bond.atom2 == a)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::vector<int> NeighboursIn(const SketchDoc& doc, int atom) {
  std::vector<int> out;
  for (const SketchBond& b : doc.bonds) {
    if (b.atom1 == atom) out.push_back(b.atom2);
    if (b.atom2 == atom) out.push_back(b.atom1);
  }
  return out;
}

SketchPoint FreeBondEndIn(const SketchDoc& doc, int atom, double length,
                          const std::vector<char>* placed) {
  const SketchPoint p = doc.atoms[atom].pos;
  auto counts = [&](size_t i) { return placed == nullptr || (*placed)[i]; };
  std::vector<double> angles;
  for (int n : NeighboursIn(doc, atom)) {
    if (!counts(n)) continue;
    const SketchPoint d = Sub(doc.atoms[n].pos, p);
    angles.push_back(std::atan2(d.y, d.x));
  }
  // How crowded a point is: the closer the other atoms, the higher.
  auto crowding = [&](SketchPoint q) {
    double sum = 0.0;
    for (size_t i = 0; i < doc.atoms.size(); ++i) {
      if (static_cast<int>(i) == atom || !counts(i)) continue;
      const double d = Dist(doc.atoms[i].pos, q);
      sum += 1.0 / std::max(d * d, 1e-9);
    }
    return sum;
  };
  auto clear = [&](SketchPoint q) {
    for (size_t i = 0; i < doc.atoms.size(); ++i) {
      if (static_cast<int>(i) == atom || !counts(i)) continue;
      if (Dist(doc.atoms[i].pos, q) < kClearance * length) return false;
    }
    return true;
  };

  double preferred = kStep;  // a lone atom: up and to the right
  if (angles.size() == 1) {
    // Zigzag: of the two directions at 120 degrees, the less crowded one;
    // on a tie the more horizontal one, so that chains grow sideways.
    const double a = angles[0] + 2 * kStep * 2, b = angles[0] - 2 * kStep * 2;
    const double ca = crowding(Add(p, Polar(length, a))), cb = crowding(Add(p, Polar(length, b)));
    if (std::abs(ca - cb) > 1e-9 * std::max(ca, cb)) {
      preferred = ca < cb ? a : b;
    } else {
      preferred = std::abs(std::sin(a)) <= std::abs(std::sin(b)) ? a : b;
    }
  } else if (angles.size() > 1) {
    // Through the widest gap between the neighbours; of equal gaps (a ring
    // fusion atom has three) the one leading away from the other atoms.
    std::sort(angles.begin(), angles.end());
    double best = -1.0, bestCrowding = 0.0;
    for (size_t i = 0; i < angles.size(); ++i) {
      const double a = angles[i];
      const double b = i + 1 < angles.size() ? angles[i + 1] : angles[0] + 2 * kPi;
      const double c = crowding(Add(p, Polar(length, (a + b) / 2)));
      if (b - a > best + 1e-6 || (b - a > best - 1e-6 && c < bestCrowding)) {
        best = std::max(best, b - a);
        bestCrowding = c;
        preferred = (a + b) / 2;
      }
    }
  }
  const SketchPoint first = Add(p, Polar(length, preferred));
  if (clear(first)) return first;
  for (int k = 1; k <= 6; ++k) {
    for (int sign : {1, -1}) {
      const SketchPoint q = Add(p, Polar(length, preferred + sign * k * kStep));
      if (clear(q)) return q;
    }
  }
  return first;
}

// --- Sketch ---

int Sketch::AtomAt(SketchPoint p, double radius) const { return AtomAtIn(doc_, p, radius); }

int Sketch::BondAt(SketchPoint p, double radius) const {
  int best = -1;
  double bestDist = radius;
  for (size_t i = 0; i < doc_.bonds.size(); ++i) {
    const SketchPoint a = doc_.atoms[doc_.bonds[i].atom1].pos;
    const SketchPoint b = doc_.atoms[doc_.bonds[i].atom2].pos;
    const SketchPoint ab = Sub(b, a);
    const double len2 = ab.x * ab.x + ab.y * ab.y;
    double t = len2 > 0 ? ((p.x - a.x) * ab.x + (p.y - a.y) * ab.y) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double d = Dist(p, Add(a, Mul(ab, t)));
    if (d <= bestDist) {
      best = static_cast<int>(i);
      bestDist = d;
    }
  }
  return best;
}

int Sketch::FindBond(int a, int b) const { return FindBondIn(doc_, a, b); }

std::vector<int> Sketch::Neighbours(int atom) const { return NeighboursIn(doc_, atom); }

SketchPoint Sketch::FreeBondEnd(int atom) const { return FreeBondEndIn(doc_, atom); }

std::optional<SketchPoint> RingCentreOfBondIn(const SketchDoc& doc, int bond) {
  if (!ValidBond(doc, bond)) return std::nullopt;
  const int from = doc.bonds[bond].atom2, to = doc.bonds[bond].atom1;
  // Shortest path between the bond's atoms that does not use the bond.
  std::vector<int> parent(doc.atoms.size(), -2);
  std::deque<int> queue{from};
  parent[from] = -1;
  while (!queue.empty() && parent[to] == -2) {
    const int a = queue.front();
    queue.pop_front();
    for (size_t i = 0; i < doc.bonds.size(); ++i) {
      if (static_cast<int>(i) == bond) continue;
      const SketchBond& b = doc.bonds[i];
      const int n = b.atom1 == a ? b.atom2 : (b.atom2 == a ? b.atom1 : -1);
      if (n < 0 || parent[n] != -2) continue;
      parent[n] = a;
      queue.push_back(n);
    }
  }
  if (parent[to] == -2) return std::nullopt;
  SketchPoint sum;
  int count = 0;
  for (int a = to; a >= 0; a = parent[a]) {
    sum = Add(sum, doc.atoms[a].pos);
    ++count;
  }
  return Mul(sum, 1.0 / count);
}

std::optional<SketchPoint> Sketch::RingCentreOfBond(int bond) const {
  return RingCentreOfBondIn(doc_, bond);
}

bool Sketch::Commit(SketchDoc next) {
  refusedForSize_ = false;
  if (next.atoms.size() > static_cast<size_t>(kMaxAtoms) ||
      next.bonds.size() > static_cast<size_t>(kMaxBonds)) {
    refusedForSize_ = true;
    return false;
  }
  if (next == doc_) return false;
  undo_.push_back(std::move(doc_));
  if (undo_.size() > kUndoDepth) undo_.erase(undo_.begin());
  doc_ = std::move(next);
  redo_.clear();
  return true;
}

int Sketch::AddAtom(SketchPoint p, const std::string& symbol) {
  if (!IsElementSymbol(symbol)) return -1;
  SketchDoc next = doc_;
  next.atoms.push_back({p, symbol, 0});
  return Commit(std::move(next)) ? static_cast<int>(doc_.atoms.size()) - 1 : -1;
}

int Sketch::AddBondAt(SketchPoint from, SketchPoint to, int order, int stereo,
                      const std::string& endSymbol) {
  if (!IsElementSymbol(endSymbol)) return -1;
  SketchDoc next = doc_;
  const int a = ResolveAtom(next, from, "C", kSketchBondLength);
  const int b = ResolveAtom(next, to, endSymbol, kSketchBondLength);
  if (a == b) return -1;
  int bond = FindBondIn(next, a, b);
  if (bond < 0) {
    next.bonds.push_back({a, b, order, stereo});
    bond = static_cast<int>(next.bonds.size()) - 1;
  } else {
    SketchBond& existing = next.bonds[bond];
    existing.order = order;
    existing.stereo = stereo;
    if (stereo != kStereoNone && existing.atom1 != a) std::swap(existing.atom1, existing.atom2);
  }
  return Commit(std::move(next)) ? bond : -1;
}

bool Sketch::AddChain(const std::vector<SketchPoint>& points) {
  if (points.size() < 2) return false;
  SketchDoc next = doc_;
  int prev = ResolveAtom(next, points[0], "C", kSketchBondLength);
  for (size_t i = 1; i < points.size(); ++i) {
    const int cur = ResolveAtom(next, points[i], "C", kSketchBondLength);
    if (cur != prev && FindBondIn(next, prev, cur) < 0) next.bonds.push_back({prev, cur, 1, 0});
    prev = cur;
  }
  return Commit(std::move(next));
}

bool Sketch::PlaceRing(SketchDoc& next, const std::vector<SketchPoint>& points,
                       bool aromatic) const {
  const size_t n = points.size();
  if (n < 3) return false;
  const double length = Dist(points[0], points[1]);
  std::vector<int> ring;
  for (const SketchPoint& p : points) {
    const int a = ResolveAtom(next, p, "C", length);
    if (std::find(ring.begin(), ring.end(), a) != ring.end()) return false;
    ring.push_back(a);
  }
  std::vector<int> bonds;
  std::vector<char> added;
  size_t start = 0;
  bool sawOld = false;
  for (size_t k = 0; k < n; ++k) {
    const int a = ring[k], b = ring[(k + 1) % n];
    int bond = FindBondIn(next, a, b);
    const bool isNew = bond < 0;
    if (isNew) {
      next.bonds.push_back({a, b, 1, 0});
      bond = static_cast<int>(next.bonds.size()) - 1;
    } else if (!sawOld) {
      sawOld = true;
      start = k + 1;  // alternate from the bond after the shared one
    }
    bonds.push_back(bond);
    added.push_back(isNew);
  }
  if (aromatic) {
    // Double bonds on new ring bonds whose atoms carry none yet, alternating
    // round the ring: benzene on its own, a Kekule form where fused.
    for (size_t i = 0; i < n; ++i) {
      const size_t k = (start + i) % n;
      SketchBond& b = next.bonds[bonds[k]];
      if (added[k] && !HasMultipleBond(next, b.atom1) && !HasMultipleBond(next, b.atom2)) {
        b.order = 2;
      }
    }
  }
  return true;
}

bool Sketch::AddRing(SketchPoint centre, int size, bool aromatic) {
  SketchDoc next = doc_;
  if (!PlaceRing(next, RingPointsAround(centre, size), aromatic)) return false;
  return Commit(std::move(next));
}

bool Sketch::FuseRing(int bond, int size, bool aromatic, std::optional<SketchPoint> toward) {
  if (!ValidBond(doc_, bond)) return false;
  const SketchBond& b = doc_.bonds[bond];
  const SketchPoint pa = doc_.atoms[b.atom1].pos, pb = doc_.atoms[b.atom2].pos;
  const SketchPoint ab = Sub(pb, pa);
  const double length = std::hypot(ab.x, ab.y);
  if (length == 0.0) return false;
  int side = 0;
  if (toward) {
    const double offset = Cross(ab, Sub(*toward, pa)) / length;
    if (std::abs(offset) > 0.15 * length) side = offset > 0 ? 1 : -1;
  }
  if (side == 0) {
    // Away from the ring the bond lies on, else from its neighbours.
    SketchPoint crowd;
    if (const auto centre = RingCentreOfBond(bond)) {
      crowd = Sub(*centre, Mul(Add(pa, pb), 0.5));
    } else {
      for (int end : {b.atom1, b.atom2}) {
        for (int n : NeighboursIn(doc_, end)) {
          if (n == b.atom1 || n == b.atom2) continue;
          crowd = Add(crowd, Sub(doc_.atoms[n].pos, doc_.atoms[end].pos));
        }
      }
    }
    side = Cross(ab, crowd) > 1e-9 ? -1 : 1;
  }
  SketchDoc next = doc_;
  if (!PlaceRing(next, RingPointsOnBond(pa, pb, size, side), aromatic)) return false;
  return Commit(std::move(next));
}

bool Sketch::SpiroRing(int atom, int size, bool aromatic) {
  if (!ValidAtom(doc_, atom) || size < 3) return false;
  const SketchPoint p = doc_.atoms[atom].pos;
  const double radius = kSketchBondLength / (2 * std::sin(kPi / size));
  const SketchPoint centre = Add(p, Mul(AwayFromNeighbours(doc_, atom), radius));
  const double start = std::atan2(p.y - centre.y, p.x - centre.x);
  std::vector<SketchPoint> points{p};
  for (int k = 1; k < size; ++k) {
    points.push_back(Add(centre, Polar(radius, start + 2 * kPi * k / size)));
  }
  SketchDoc next = doc_;
  if (!PlaceRing(next, points, aromatic)) return false;
  return Commit(std::move(next));
}

bool Sketch::SetElement(int atom, const std::string& symbol) {
  if (!ValidAtom(doc_, atom) || !IsElementSymbol(symbol)) return false;
  SketchDoc next = doc_;
  next.atoms[atom].symbol = symbol;
  return Commit(std::move(next));
}

bool Sketch::SetChargeCode(int atom, int code) {
  if (!ValidAtom(doc_, atom) || code < 0 || code > 7) return false;
  SketchDoc next = doc_;
  next.atoms[atom].charge = code;
  return Commit(std::move(next));
}

bool Sketch::ChangeCharge(int atom, int delta) {
  if (!ValidAtom(doc_, atom)) return false;
  const int charge = std::clamp(ChargeOfCode(doc_.atoms[atom].charge) + delta, -3, 3);
  return SetChargeCode(atom, CodeOfCharge(charge));
}

bool Sketch::CycleBond(int bond) {
  if (!ValidBond(doc_, bond)) return false;
  const int order = doc_.bonds[bond].order;
  return SetBondOrder(bond, order == 1 ? 2 : (order == 2 ? 3 : 1));
}

bool Sketch::SetBondOrder(int bond, int order) {
  if (!ValidBond(doc_, bond) || order < 1 || order > 3) return false;
  SketchDoc next = doc_;
  next.bonds[bond].order = order;
  next.bonds[bond].stereo = kStereoNone;
  return Commit(std::move(next));
}

bool Sketch::SetBondStereo(int bond, int stereo) {
  if (!ValidBond(doc_, bond)) return false;
  SketchDoc next = doc_;
  SketchBond& b = next.bonds[bond];
  if (b.stereo == stereo && b.order == 1 && stereo != kStereoNone) {
    std::swap(b.atom1, b.atom2);
  } else {
    b.order = 1;
    b.stereo = stereo;
  }
  return Commit(std::move(next));
}

bool Sketch::EraseAtom(int atom) {
  if (!ValidAtom(doc_, atom)) return false;
  return DeleteAtoms({atom});
}

bool Sketch::EraseBond(int bond) {
  if (!ValidBond(doc_, bond)) return false;
  SketchDoc next = doc_;
  const SketchBond gone = next.bonds[bond];
  next.bonds.erase(next.bonds.begin() + bond);
  std::vector<char> remove(next.atoms.size(), 0);
  for (int end : {gone.atom1, gone.atom2}) {
    const SketchAtom& a = next.atoms[end];
    if (NeighboursIn(next, end).empty() && a.symbol == "C" && a.charge == 0) remove[end] = 1;
  }
  Compact(next, remove);
  return Commit(std::move(next));
}

bool Sketch::DeleteAtoms(const std::vector<int>& atoms) {
  SketchDoc next = doc_;
  std::vector<char> remove(next.atoms.size(), 0);
  for (int a : atoms) {
    if (ValidAtom(next, a)) remove[a] = 1;
  }
  Compact(next, remove);
  return Commit(std::move(next));
}

bool Sketch::MoveAtoms(const std::vector<int>& atoms, double dx, double dy) {
  SketchDoc next = doc_;
  std::vector<char> moved(next.atoms.size(), 0);
  for (int a : atoms) {
    if (!ValidAtom(next, a) || moved[a]) continue;
    moved[a] = 1;
    next.atoms[a].pos = Add(next.atoms[a].pos, {dx, dy});
  }
  // A moved atom dropped onto an unmoved one becomes that atom.
  std::vector<int> target(next.atoms.size(), -1);
  bool merged = false;
  for (size_t m = 0; m < next.atoms.size(); ++m) {
    if (!moved[m]) continue;
    double best = kMergeReach * kSketchBondLength;
    for (size_t u = 0; u < next.atoms.size(); ++u) {
      if (moved[u]) continue;
      const double d = Dist(next.atoms[m].pos, next.atoms[u].pos);
      if (d <= best) {
        best = d;
        target[m] = static_cast<int>(u);
      }
    }
    merged = merged || target[m] >= 0;
  }
  if (merged) {
    std::vector<SketchBond> bonds;
    for (SketchBond b : next.bonds) {
      if (target[b.atom1] >= 0) b.atom1 = target[b.atom1];
      if (target[b.atom2] >= 0) b.atom2 = target[b.atom2];
      if (b.atom1 == b.atom2) continue;
      bool duplicate = false;
      for (const SketchBond& o : bonds) {
        duplicate = duplicate || (o.atom1 == b.atom1 && o.atom2 == b.atom2) ||
                    (o.atom1 == b.atom2 && o.atom2 == b.atom1);
      }
      if (!duplicate) bonds.push_back(b);
    }
    next.bonds = std::move(bonds);
    std::vector<char> remove(next.atoms.size(), 0);
    for (size_t m = 0; m < next.atoms.size(); ++m) remove[m] = target[m] >= 0;
    Compact(next, remove);
  }
  return Commit(std::move(next));
}

bool Sketch::Clear() { return Commit(SketchDoc{}); }

bool Sketch::Replace(SketchDoc doc) { return Commit(std::move(doc)); }

bool Sketch::AddFragment(const SketchDoc& fragment) {
  if (fragment.atoms.empty()) return false;
  SketchDoc next = doc_;
  SketchPoint shift;
  if (!next.atoms.empty()) {
    double maxX = next.atoms[0].pos.x, minY = next.atoms[0].pos.y, maxY = minY;
    for (const SketchAtom& a : next.atoms) {
      maxX = std::max(maxX, a.pos.x);
      minY = std::min(minY, a.pos.y);
      maxY = std::max(maxY, a.pos.y);
    }
    double fMinX = fragment.atoms[0].pos.x, fMinY = fragment.atoms[0].pos.y, fMaxY = fMinY;
    for (const SketchAtom& a : fragment.atoms) {
      fMinX = std::min(fMinX, a.pos.x);
      fMinY = std::min(fMinY, a.pos.y);
      fMaxY = std::max(fMaxY, a.pos.y);
    }
    shift = {maxX + 2 * kSketchBondLength - fMinX, (minY + maxY) / 2 - (fMinY + fMaxY) / 2};
  } else {
    next.name = fragment.name;
  }
  const int base = static_cast<int>(next.atoms.size());
  for (SketchAtom a : fragment.atoms) {
    a.pos = Add(a.pos, shift);
    next.atoms.push_back(a);
  }
  for (SketchBond b : fragment.bonds) {
    b.atom1 += base;
    b.atom2 += base;
    next.bonds.push_back(b);
  }
  return Commit(std::move(next));
}

bool Sketch::Undo() {
  if (undo_.empty()) return false;
  redo_.push_back(std::move(doc_));
  doc_ = std::move(undo_.back());
  undo_.pop_back();
  return true;
}

bool Sketch::Redo() {
  if (redo_.empty()) return false;
  undo_.push_back(std::move(doc_));
  doc_ = std::move(redo_.back());
  redo_.pop_back();
  return true;
}

bool Sketch::Revert() {
  if (undo_.empty()) return false;
  doc_ = std::move(undo_.back());
  undo_.pop_back();
  return true;
}

}  // namespace vuduzez

namespace vuduzez {

namespace {

// The atoms of a shortest path from `from` to `to` that does not use the bond
// `skip`, in path order; empty when there is none.
std::vector<int> PathAvoiding(const std::vector<std::vector<std::pair<int, int>>>& adjacency,
                              int from, int to, int skip) {
  std::vector<int> parent(adjacency.size(), -2);
  std::deque<int> queue{from};
  parent[from] = -1;
  while (!queue.empty() && parent[to] == -2) {
    const int a = queue.front();
    queue.pop_front();
    for (const auto& [n, bond] : adjacency[a]) {
      if (bond == skip || parent[n] != -2) continue;
      parent[n] = a;
      queue.push_back(n);
    }
  }
  std::vector<int> path;
  if (parent[to] == -2) return path;
  for (int a = to; a >= 0; a = parent[a]) path.push_back(a);
  std::reverse(path.begin(), path.end());
  return path;
}

}  // namespace

void LayoutSketch(SketchDoc& doc) {
  const int count = static_cast<int>(doc.atoms.size());
  const double length = kSketchBondLength;
  std::vector<std::vector<std::pair<int, int>>> adjacency(count);
  for (size_t i = 0; i < doc.bonds.size(); ++i) {
    const SketchBond& b = doc.bonds[i];
    if (b.atom1 == b.atom2) continue;
    adjacency[b.atom1].push_back({b.atom2, static_cast<int>(i)});
    adjacency[b.atom2].push_back({b.atom1, static_cast<int>(i)});
  }
  // The smallest ring through every ring bond, each ring once, smallest first.
  std::vector<std::vector<int>> rings;
  std::vector<std::vector<int>> seen;
  for (size_t i = 0; i < doc.bonds.size(); ++i) {
    const SketchBond& b = doc.bonds[i];
    if (b.atom1 == b.atom2) continue;
    std::vector<int> ring = PathAvoiding(adjacency, b.atom2, b.atom1, static_cast<int>(i));
    if (ring.size() < 3) continue;
    std::vector<int> key = ring;
    std::sort(key.begin(), key.end());
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    rings.push_back(std::move(ring));
  }
  std::stable_sort(rings.begin(), rings.end(),
                   [](const auto& a, const auto& b) { return a.size() < b.size(); });

  std::vector<char> placed(count, 0);
  auto place = [&](int atom, SketchPoint p, std::deque<int>& queue) {
    doc.atoms[atom].pos = p;
    placed[atom] = 1;
    queue.push_back(atom);
  };
  auto placeRing = [&](const std::vector<int>& ring, const std::vector<SketchPoint>& points,
                       size_t first, std::deque<int>& queue) {
    for (size_t j = 0; j < ring.size(); ++j) {
      const int atom = ring[(first + j) % ring.size()];
      if (!placed[atom]) place(atom, points[j], queue);
    }
  };

  double nextLeft = 0.0;
  for (int seed = 0; seed < count; ++seed) {
    if (placed[seed]) continue;
    // The part of the structure the seed belongs to.
    std::vector<char> inPart(count, 0);
    std::vector<int> part{seed};
    inPart[seed] = 1;
    for (size_t k = 0; k < part.size(); ++k) {
      for (const auto& [n, bond] : adjacency[part[k]]) {
        if (!inPart[n]) {
          inPart[n] = 1;
          part.push_back(n);
        }
      }
    }
    std::deque<int> queue;
    const auto firstRing =
        std::find_if(rings.begin(), rings.end(), [&](const auto& r) { return inPart[r[0]] != 0; });
    if (firstRing != rings.end()) {
      placeRing(*firstRing, RingPointsAround({0, 0}, static_cast<int>(firstRing->size()), length),
                0, queue);
    } else {
      int start = seed;
      for (int a : part) {
        if (adjacency[a].size() <= 1) {
          start = a;
          break;
        }
      }
      place(start, {0, 0}, queue);
    }
    while (!queue.empty()) {
      const int a = queue.front();
      queue.pop_front();
      for (const auto& ring : rings) {
        const auto at = std::find(ring.begin(), ring.end(), a);
        if (at == ring.end()) continue;
        if (std::all_of(ring.begin(), ring.end(), [&](int r) { return placed[r] != 0; })) continue;
        const size_t size = ring.size();
        // Fused onto a placed bond of the ring where there is one.
        size_t edge = size;
        for (size_t k = 0; k < size && edge == size; ++k) {
          if (placed[ring[k]] && placed[ring[(k + 1) % size]]) edge = k;
        }
        if (edge < size) {
          const int u = ring[edge], v = ring[(edge + 1) % size];
          const SketchPoint pu = doc.atoms[u].pos, pv = doc.atoms[v].pos;
          SketchPoint crowd;
          for (int end : {u, v}) {
            for (const auto& [n, bond] : adjacency[end]) {
              if (n != u && n != v && placed[n]) {
                crowd = Add(crowd, Sub(doc.atoms[n].pos, doc.atoms[end].pos));
              }
            }
          }
          const int side = Cross(Sub(pv, pu), crowd) > 1e-9 ? -1 : 1;
          placeRing(ring, RingPointsOnBond(pu, pv, static_cast<int>(size), side), edge, queue);
        } else {
          const SketchPoint p = doc.atoms[a].pos;
          const double radius = length / (2 * std::sin(kPi / static_cast<double>(size)));
          const SketchPoint centre = Add(p, Mul(AwayFromNeighbours(doc, a, &placed), radius));
          const double start = std::atan2(p.y - centre.y, p.x - centre.x);
          std::vector<SketchPoint> points;
          for (size_t k = 0; k < size; ++k) {
            points.push_back(Add(centre, Polar(radius, start + 2 * kPi * k / size)));
          }
          placeRing(ring, points, static_cast<size_t>(at - ring.begin()), queue);
        }
      }
      std::vector<int> branches;
      for (const auto& [n, bond] : adjacency[a]) {
        if (!placed[n] && std::find(branches.begin(), branches.end(), n) == branches.end()) {
          branches.push_back(n);
        }
      }
      if (branches.size() == 1) {
        place(branches[0], FreeBondEndIn(doc, a, length, &placed), queue);
      } else if (branches.size() > 1) {
        // Several branches at once, spread evenly over the widest gap between
        // the placed neighbours (a quaternary carbon becomes a cross).
        std::vector<double> angles;
        for (const auto& [n, bond] : adjacency[a]) {
          if (placed[n]) {
            const SketchPoint d = Sub(doc.atoms[n].pos, doc.atoms[a].pos);
            angles.push_back(std::atan2(d.y, d.x));
          }
        }
        double from = kStep, gap = 2 * kPi;
        if (!angles.empty()) {
          std::sort(angles.begin(), angles.end());
          gap = -1.0;
          for (size_t i = 0; i < angles.size(); ++i) {
            const double next = i + 1 < angles.size() ? angles[i + 1] : angles[0] + 2 * kPi;
            if (next - angles[i] > gap + 1e-6) {
              gap = next - angles[i];
              from = angles[i];
            }
          }
        }
        const double slots = static_cast<double>(branches.size()) + (angles.empty() ? 0 : 1);
        for (size_t j = 0; j < branches.size(); ++j) {
          const double angle =
              from + gap * static_cast<double>(j + (angles.empty() ? 0 : 1)) / slots;
          place(branches[j], Add(doc.atoms[a].pos, Polar(length, angle)), queue);
        }
      }
    }
    // Parts side by side, left to right.
    double minX = doc.atoms[part[0]].pos.x, maxX = minX;
    for (int a : part) {
      minX = std::min(minX, doc.atoms[a].pos.x);
      maxX = std::max(maxX, doc.atoms[a].pos.x);
    }
    for (int a : part) doc.atoms[a].pos.x += nextLeft - minX;
    nextLeft += maxX - minX + 2 * length;
  }
}

}  // namespace vuduzez
