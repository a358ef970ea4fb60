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
#include "platform/match_budget.h"

namespace vuduzez {

// The first mapping found: record atom and bond numbers (1-based, as in the
// MOL file) for each query atom and bond in query order.
struct SubstructureMapping {
  std::vector<int32_t> atoms;
  std::vector<int32_t> bonds;
};

// A query prepared once for matching against many records: atoms in search
// order (rare atoms first, then always an atom bonded to one already placed),
// and the counts a record must reach. A query of several pieces (fragments)
// is matched piece by piece: every place of each piece in the record first
// (a place counts once whichever way the piece lies in it), then one place
// per piece, none sharing an atom, identical pieces taking their places in
// increasing order; so neither many identical pieces nor their symmetry
// multiply the work. Interchangeable end atoms on one atom (the methyls of a
// tert-butyl) take their record atoms in increasing order too.
class SubstructureQuery {
 public:
  // bytes: a connection table (BuildConnectionTable); kept by the query.
  explicit SubstructureQuery(std::string bytes);

  int atoms() const { return view_.atoms(); }

  // Whether the query maps into the record, within the budget's steps for
  // this record (kGaveUp when they ran out, kStopped when the search was
  // stopped); the mapping of a kMatch when asked for.
  MatchOutcome Match(const CtView& record, MatchBudget& budget,
                     SubstructureMapping* mapping = nullptr) const;

  // The same with a budget of its own (DefaultMatchSteps, no stop): true
  // only for a match found.
  bool Matches(const CtView& record, SubstructureMapping* mapping = nullptr) const;

 private:
  struct Step {
    int atom;        // query atom placed at this step
    int parent;      // step of an earlier neighbour, -1 to try every record atom
    uint8_t code;    // bond code to that neighbour
    int checkFirst;  // range of further bonds to earlier atoms in checks_
    int checkLast;
    int after;  // an earlier step of an interchangeable end atom: its image must be lower
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
  // A connected piece of the query: steps [first, last); pieces of one kind
  // have the same steps, relative to their first.
  struct Piece {
    int first;
    int last;
    int kind;
  };

  bool AtomFits(int q, const CtView& r, int t) const;
  bool SameSteps(const Piece& a, const Piece& b) const;
  // Every mapping of steps [first, last) into record atoms not in used; each
  // is given to found (images by step, from first), which returns false to
  // end the search. False when the budget ran out.
  template <typename Found>
  bool Embed(const CtView& r, int first, int last, const uint64_t* used, MatchBudget& budget,
             Found&& found) const;
  MatchOutcome MatchPieces(const CtView& r, MatchBudget& budget, std::vector<int>& image) const;
  void FillMapping(const CtView& r, const std::vector<int>& image,
                   SubstructureMapping& mapping) const;

  std::string bytes_;
  CtView view_;
  std::vector<Step> steps_;
  std::vector<Check> checks_;
  std::vector<int> neighbours_;  // distinct neighbours of each query atom
  std::vector<Need> needs_;
  int bondNeeds_[5] = {};  // distinct bonded pairs per bond code
  std::vector<Piece> pieces_;
  int kinds_ = 0;
};

}  // namespace vuduzez
