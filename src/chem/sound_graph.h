// The sound model of one structure as the exact search keeps it: the graph
// RDKit perceives from a MOL text (aromaticity by its default model, charges,
// isotopes, hydrogen counts, rings), packed into a few bytes per atom so that
// a million of them can be mapped from the cache and matched in place. Plain
// bytes and a view over them; no RDKit here.
//
// Layout (little-endian, every field read with memcpy: no alignment needed):
//   header  u16 atoms n, u16 bonds b, u16 half-edges (2b), u8 flags, u8 0
//   atoms   n x 4:  atomic number, formal charge (int8), AtomFlag bits,
//                   rings (numAtomRings, at most 15) << 4 | hydrogens (total
//                   H count without H neighbours, at most 15)
//   starts  (n + 1) x u16: first half-edge of each atom
//   edges   2b x 2: neighbour, BondCode | kInRingEdge
//   cold    n x 12: isotope u16, radicals, total valence, explicit valence
//                   (less explicit H), implicit valence, hybridization, smallest
//                   ring size, u32 ring sizes (bit k: in a ring of size k)
//   bonds   b x 5:  begin atom, end atom, RDKit bond type, number of rings,
//                   smallest ring size
// Atom and bond indices are those of the perceived molecule (RDKit's, after
// its hydrogens were removed), not the MOL file's numbers.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vuduzez::chem {

// Bond codes of the half-edges: the common types, then "other" (the RDKit
// type is in the bond table).
enum BondCode : uint8_t {
  kBondUnspecified = 0,
  kBondSingle = 1,
  kBondDouble = 2,
  kBondTriple = 3,
  kBondAromatic = 4,
  kBondOtherType = 7,
};
inline constexpr uint8_t kBondCodeMask = 0x07;
inline constexpr uint8_t kInRingEdge = 0x08;

enum AtomFlag : uint8_t {
  kAromaticAtom = 0x01,
  kHasIsotope = 0x02,
  kHasRadical = 0x04,
  kChiralShift = 3,  // 2 bits: 0 none, 1 clockwise, 2 anticlockwise, 3 other
  kChiralityPossible = 0x20,
};

enum GraphFlag : uint8_t {
  kHasStereo = 0x01,  // chiral tags or double-bond stereo somewhere
};

inline constexpr int kGraphHeader = 8;
inline constexpr int kAtomBytes = 4;
inline constexpr int kColdBytes = 12;
inline constexpr int kBondBytes = 5;
// The graph keeps neighbours in one byte each.
inline constexpr int kMaxGraphAtoms = 255;

template <typename T>
inline T LoadAt(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// A read-only view of one graph's bytes.
class GraphView {
 public:
  GraphView() = default;
  // Checks sizes and indices; false (and an empty view) when the bytes are
  // not a graph.
  bool Parse(std::string_view bytes);
  // The same without the checks (bytes that passed Parse or were just built).
  void Adopt(std::string_view bytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    n_ = LoadAt<uint16_t>(p);
    b_ = LoadAt<uint16_t>(p + 2);
    flags_ = p[6];
    atoms_ = p + kGraphHeader;
    starts_ = atoms_ + kAtomBytes * n_;
    edges_ = starts_ + 2 * (n_ + 1);
    cold_ = edges_ + 4 * b_;
    bonds_ = cold_ + kColdBytes * n_;
  }
  static size_t SizeFor(int atoms, int bonds) {
    return kGraphHeader + static_cast<size_t>(atoms) * (kAtomBytes + 2 + kColdBytes) + 2 +
           static_cast<size_t>(bonds) * (4 + kBondBytes);
  }

  int atoms() const { return n_; }
  int bonds() const { return b_; }
  uint8_t flags() const { return flags_; }

  uint8_t AtomicNum(int a) const { return atoms_[kAtomBytes * a]; }
  int8_t Charge(int a) const { return static_cast<int8_t>(atoms_[kAtomBytes * a + 1]); }
  uint8_t Flags(int a) const { return atoms_[kAtomBytes * a + 2]; }
  bool Aromatic(int a) const { return (Flags(a) & kAromaticAtom) != 0; }
  int ChiralTag(int a) const { return (Flags(a) >> kChiralShift) & 3; }
  int Rings(int a) const { return atoms_[kAtomBytes * a + 3] >> 4; }
  int Hydrogens(int a) const { return atoms_[kAtomBytes * a + 3] & 0x0f; }

  int First(int a) const { return LoadAt<uint16_t>(starts_ + 2 * a); }
  int End(int a) const { return LoadAt<uint16_t>(starts_ + 2 * (a + 1)); }
  int Degree(int a) const { return End(a) - First(a); }
  int Neighbour(int e) const { return edges_[2 * e]; }
  uint8_t Edge(int e) const { return edges_[2 * e + 1]; }

  uint16_t Isotope(int a) const { return LoadAt<uint16_t>(cold_ + kColdBytes * a); }
  int Radicals(int a) const { return cold_[kColdBytes * a + 2]; }
  int TotalValence(int a) const { return cold_[kColdBytes * a + 3]; }
  int ExplicitValence(int a) const { return cold_[kColdBytes * a + 4]; }
  int ImplicitValence(int a) const { return cold_[kColdBytes * a + 5]; }
  int Hybridization(int a) const { return cold_[kColdBytes * a + 6]; }
  int MinRingSize(int a) const { return cold_[kColdBytes * a + 7]; }
  uint32_t RingSizes(int a) const { return LoadAt<uint32_t>(cold_ + kColdBytes * a + 8); }

  int BondBegin(int b) const { return bonds_[kBondBytes * b]; }
  int BondEnd(int b) const { return bonds_[kBondBytes * b + 1]; }
  int BondType(int b) const { return bonds_[kBondBytes * b + 2]; }
  int BondRings(int b) const { return bonds_[kBondBytes * b + 3]; }
  int BondMinRingSize(int b) const { return bonds_[kBondBytes * b + 4]; }
  // The bond between two atoms, -1 when there is none.
  int BondBetween(int a, int b) const {
    for (int k = 0; k < b_; ++k) {
      const int x = BondBegin(k), y = BondEnd(k);
      if ((x == a && y == b) || (x == b && y == a)) return k;
    }
    return -1;
  }

 private:
  int n_ = 0;
  int b_ = 0;
  uint8_t flags_ = 0;
  const uint8_t* atoms_ = nullptr;
  const uint8_t* starts_ = nullptr;
  const uint8_t* edges_ = nullptr;
  const uint8_t* cold_ = nullptr;
  const uint8_t* bonds_ = nullptr;
};

// What building a graph takes, per atom and bond, in the perceived molecule's
// order (filled from RDKit in perceive.cpp, by hand in tests).
struct GraphAtom {
  uint8_t atomicNum = 0;
  int8_t charge = 0;
  uint8_t flags = 0;
  uint8_t rings = 0;
  uint8_t hydrogens = 0;
  uint16_t isotope = 0;
  uint8_t radicals = 0;
  uint8_t totalValence = 0;
  uint8_t explicitValence = 0;
  uint8_t implicitValence = 0;
  uint8_t hybridization = 0;
  uint8_t minRingSize = 0;
  uint32_t ringSizes = 0;
};
struct GraphBond {
  uint8_t begin = 0;
  uint8_t end = 0;
  uint8_t rdkitType = 1;  // RDKit's Bond::BondType
  uint8_t rings = 0;
  uint8_t minRingSize = 0;
  bool inRing() const { return rings > 0; }
};

// The bond code of an RDKit bond type.
uint8_t BondCodeOf(int rdkitType);

// Packs atoms and bonds into graph bytes ("" when there are more atoms than
// a graph holds).
std::string BuildGraph(const GraphAtom* atoms, int atomCount, const GraphBond* bonds, int bondCount,
                       uint8_t flags);

}  // namespace vuduzez::chem
