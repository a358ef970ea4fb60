// The molecule tables: one structure as read from a MOL V2000 file, completed
// with implicit hydrogens, formula and weight, and given its structure key.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vuduzez {

inline constexpr int kMaxAtoms = 200;  // atom and bond tags are four characters wide
inline constexpr int kMaxBonds = 300;
// The original element table: C H N Br Cl F I Li O P S Si Zn, indices 1..13.
inline constexpr int kElementCount = 13;
// The whole periodic table: the 13 first, then the other elements in the byte
// order of their symbols (Ac, Ag, Al, ... Zr), indices 1..118; 0 is no element.
inline constexpr int kElementSlots = 119;
inline constexpr int kIsotopeCount = 3111;

// Element indices: rows of kElements, positions of elmcount, values of
// PosRow::elem. The order is the element table's (and the formula's).
enum ElementIndexOf : int32_t {
  kCarbon = 1,
  kHydrogen = 2,
  kNitrogen = 3,
  kBromine = 4,
  kChlorine = 5,
  kFluorine = 6,
  kIodine = 7,
  kLithium = 8,
  kOxygen = 9,
  kPhosphorus = 10,
  kSulfur = 11,
  kSilicon = 12,
  kZinc = 13,
};

// One row of atmdata: coordinates and connectivity.
struct AtomRow {
  long double x = 0.0L;  // as written in the MOL file
  long double y = 0.0L;
  std::string symbol;  // symbol columns trimmed, e.g. "C", "Cl", "Na"
  int32_t degree = 0;  // bond ends at this atom
};

// One row of posdata: chemistry and drawing position.
struct PosRow {
  int32_t px = 0;  // picture point, written by the depiction
  int32_t py = 0;
  std::string rawsym;    // the two symbol columns exactly as read ("C ")
  int32_t elem = 0;      // element index 1..118 (kCarbon..kZinc first); 0: a query atom
  int32_t valence = 0;   // the element's lowest allowed valence (0: any)
  int32_t charge = 0;    // MOL charge code (0, 1..7): column 39, or M  CHG where -3..+3
  int32_t hcount = 0;    // implicit hydrogens
  int32_t formal = 0;    // formal charge: from the charge code, superseded by M  CHG
  int32_t isotope = 0;   // mass number (M  ISO, the mass difference field, D, T); 0: none
  int32_t radical = 0;   // M  RAD: 1 singlet, 2 doublet, 3 triplet (code 4 is a doublet)
  int32_t hstated = -1;  // hydrogens the input states (SMILES bracket, MOL valence field)
};

// One row of bnddata.
struct BondRow {
  int32_t atom1 = 0;
  int32_t atom2 = 0;
  int32_t order = 0;   // MOL bond type; 4 once key generation marks it aromatic
  std::string stereo;  // column 12 of the bond line
  std::string bsym;    // "-", "=", "_", "@" or empty
};

// Rows are numbered from 1 as in the MOL file; row 0 is never used.
struct Molecule {
  std::array<AtomRow, kMaxAtoms + 1> atmdata;
  std::array<PosRow, kMaxAtoms + 1> posdata;
  std::array<BondRow, kMaxBonds + 1> bnddata;
  int32_t atmcount = 0;
  int32_t bndcount = 0;
  std::string molname;
  std::array<int32_t, kElementSlots> elmcount{};  // indexed by element, 1..118
  std::string molformula;
  std::string molweight;
  std::string keydata;
  // The first feature that only a search query can hold (a query atom, an
  // atom list, a query bond), as the refusal of registration says it (UTF-8);
  // empty for a plain structure.
  std::string queryfeature;

  // Resets every row of the three tables (not the counts, names or texts).
  void ResetTables();
};

struct Element {
  const char* symbol;
  int32_t number;   // atomic number
  int32_t valence;  // lowest allowed valence; 0 when any valence is allowed
  long double weight;
  std::array<int8_t, 4> valences;  // allowed valences, lowest first; -1: any (no hydrogens)
  int8_t valenceCount;
  bool early;             // left of carbon: a positive charge takes a bond away (B+ 2, B- 4)
  int32_t commonIsotope;  // mass number of the most common isotope
};

// Indexed by element (1..118); entry 0 is a placeholder. The 13 of the
// original table keep its weights; the others carry the standard atomic
// weights RDKit's periodic table holds (tools/make_element_table.py).
extern const std::array<Element, kElementSlots> kElements;

struct Isotope {
  int32_t number;      // atomic number
  int32_t massNumber;  // protons and neutrons
  double mass;         // in unified atomic mass units
};
// Sorted by atomic number, then mass number.
extern const std::array<Isotope, kIsotopeCount> kIsotopes;

// Index of a symbol text in "C H N BrClF I LiO P S SiZn": only a match at the
// start of a two-character entry counts; anything else is carbon.
int32_t ElementIndex(std::string_view symbol);

// Index of an element symbol ("C", "Na", "Zr"; case counts) in kElements, 0
// when it names no element.
int32_t ElementOf(std::string_view symbol);

// Mass of an isotope of the element at index elem, 0 when none is known.
double IsotopeMass(int32_t elem, int32_t massNumber);

}  // namespace vuduzez
