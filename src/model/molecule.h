// The molecule tables: one structure as read from a MOL V2000 file, completed
// with implicit hydrogens, formula and weight, and given its structure key.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vuduzez {

inline constexpr int kMaxAtoms = 200;  // atom and bond tags are four characters wide
inline constexpr int kMaxBonds = 300;
inline constexpr int kElementCount = 13;

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
  std::string rawsym;  // the two symbol columns exactly as read ("C ")
  int32_t elem = 0;    // element index kCarbon..kZinc
  int32_t valence = 0;
  int32_t charge = 0;  // MOL charge code of column 39 (0, 1..7)
  int32_t hcount = 0;  // implicit hydrogens
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
  std::array<int32_t, kElementCount + 1> elmcount{};  // indexed kCarbon..kZinc
  std::string molformula;
  std::string molweight;
  std::string keydata;

  // Resets every row of the three tables (not the counts, names or texts).
  void ResetTables();
};

struct Element {
  const char* symbol;
  int32_t valence;
  long double weight;
};

// Indexed kCarbon..kZinc; entry 0 is a placeholder.
extern const std::array<Element, kElementCount + 1> kElements;

// Index of a symbol text in "C H N BrClF I LiO P S SiZn": only a match at the
// start of a two-character entry counts; anything else is carbon.
int32_t ElementIndex(std::string_view symbol);

}  // namespace vuduzez
