#include "chem/sound_graph.h"

#include <algorithm>
#include <vector>

namespace vuduzez::chem {

namespace {

template <typename T>
void Put(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

}  // namespace

uint8_t BondCodeOf(int rdkitType) {
  switch (rdkitType) {
    case 0:
      return kBondUnspecified;
    case 1:
      return kBondSingle;
    case 2:
      return kBondDouble;
    case 3:
      return kBondTriple;
    case 12:
      return kBondAromatic;
    default:
      return kBondOtherType;
  }
}

std::string BuildGraph(const GraphAtom* atoms, int n, const GraphBond* bonds, int b,
                       uint8_t flags) {
  if (n > kMaxGraphAtoms || b > 0x7fff) return {};
  std::string out;
  out.reserve(GraphView::SizeFor(n, b));
  Put<uint16_t>(out, static_cast<uint16_t>(n));
  Put<uint16_t>(out, static_cast<uint16_t>(b));
  Put<uint16_t>(out, static_cast<uint16_t>(2 * b));
  out += static_cast<char>(flags);
  out += '\0';
  for (int a = 0; a < n; ++a) {
    const GraphAtom& x = atoms[a];
    out += static_cast<char>(x.atomicNum);
    out += static_cast<char>(x.charge);
    out += static_cast<char>(x.flags);
    out += static_cast<char>((std::min<int>(x.rings, 15) << 4) | std::min<int>(x.hydrogens, 15));
  }
  // Half-edges grouped by atom, each atom's in bond order.
  std::vector<int> degree(static_cast<size_t>(n) + 1, 0);
  for (int k = 0; k < b; ++k) {
    ++degree[bonds[k].begin];
    ++degree[bonds[k].end];
  }
  std::vector<int> start(static_cast<size_t>(n) + 1, 0);
  for (int a = 0; a < n; ++a) start[a + 1] = start[a] + degree[a];
  for (int a = 0; a <= n; ++a) Put<uint16_t>(out, static_cast<uint16_t>(start[a]));
  std::vector<uint8_t> edges(static_cast<size_t>(4) * b);
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (int k = 0; k < b; ++k) {
    const GraphBond& bond = bonds[k];
    const uint8_t code =
        static_cast<uint8_t>(BondCodeOf(bond.rdkitType) | (bond.inRing() ? kInRingEdge : 0));
    const int e1 = fill[bond.begin]++;
    const int e2 = fill[bond.end]++;
    edges[2 * e1] = bond.end;
    edges[2 * e1 + 1] = code;
    edges[2 * e2] = bond.begin;
    edges[2 * e2 + 1] = code;
  }
  out.append(reinterpret_cast<const char*>(edges.data()), edges.size());
  for (int a = 0; a < n; ++a) {
    const GraphAtom& x = atoms[a];
    Put<uint16_t>(out, x.isotope);
    out += static_cast<char>(x.radicals);
    out += static_cast<char>(x.totalValence);
    out += static_cast<char>(x.explicitValence);
    out += static_cast<char>(x.implicitValence);
    out += static_cast<char>(x.hybridization);
    out += static_cast<char>(x.minRingSize);
    Put<uint32_t>(out, x.ringSizes);
  }
  for (int k = 0; k < b; ++k) {
    out += static_cast<char>(bonds[k].begin);
    out += static_cast<char>(bonds[k].end);
    out += static_cast<char>(bonds[k].rdkitType);
    out += static_cast<char>(bonds[k].rings);
    out += static_cast<char>(bonds[k].minRingSize);
  }
  return out;
}

bool GraphView::Parse(std::string_view bytes) {
  *this = GraphView{};
  if (bytes.size() < kGraphHeader) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const int n = LoadAt<uint16_t>(p), b = LoadAt<uint16_t>(p + 2);
  if (n > kMaxGraphAtoms || LoadAt<uint16_t>(p + 4) != 2 * b || bytes.size() != SizeFor(n, b)) {
    return false;
  }
  GraphView v;
  v.Adopt(bytes);
  int previous = 0;
  for (int a = 0; a <= n; ++a) {
    const int s = v.First(a);
    if (s < previous || s > 2 * b) return false;
    previous = s;
  }
  if (v.First(n) != 2 * b) return false;
  for (int e = 0; e < 2 * b; ++e) {
    if (v.Neighbour(e) >= n) return false;
  }
  for (int k = 0; k < b; ++k) {
    if (v.BondBegin(k) >= n || v.BondEnd(k) >= n) return false;
  }
  *this = v;
  return true;
}

}  // namespace vuduzez::chem
