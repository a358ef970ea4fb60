// Atom-by-atom substructure matching on connection tables: whether the query
// maps into a record one to one, atoms to atoms of the same symbol (a query
// charge code 0 takes any charge, others must be equal), each query bond onto
// a record bond of the same marked symbol between the images of its atoms.
// Further record bonds between mapped atoms are allowed; hydrogen atoms drawn
// in a file are atoms like any other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "database/connection_cache.h"

namespace vuduzez {

// The first mapping found: record atom and bond numbers (1-based, as in the
// MOL file) for each query atom and bond in query order.
struct SubstructureMapping {
  std::vector<int32_t> atoms;
  std::vector<int32_t> bonds;
};

// A query prepared once for matching against many records: atoms in search
// order (rare atoms first, then always an atom bonded to one already placed),
// and the counts a record must reach.
class SubstructureQuery {
 public:
  // bytes: a connection table (BuildConnectionTable); kept by the query.
  explicit SubstructureQuery(std::string bytes);

  int atoms() const { return view_.atoms(); }

  // Whether the query maps into the record; the mapping when asked for.
  bool Matches(const CtView& record, SubstructureMapping* mapping = nullptr) const;

 private:
  struct Step {
    int atom;        // query atom placed at this step
    int parent;      // step of an earlier neighbour, -1 to try every record atom
    uint8_t code;    // bond code to that neighbour
    int checkFirst;  // range of further bonds to earlier atoms in checks_
    int checkLast;
  };
  struct Check {
    int step;  // earlier step (or this one, for a bond from the atom to itself)
    uint8_t code;
  };
  struct Need {
    uint16_t symbol;
    uint8_t charge;  // 0: any charge
    int count;
  };

  bool AtomFits(int q, const CtView& r, int t) const;

  std::string bytes_;
  CtView view_;
  std::vector<Step> steps_;
  std::vector<Check> checks_;
  std::vector<int> neighbours_;  // distinct neighbours of each query atom
  std::vector<Need> needs_;
  int bondNeeds_[5] = {};  // distinct bonded pairs per bond code
};

}  // namespace vuduzez
