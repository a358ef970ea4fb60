#include "search/substructure.h"

#include <algorithm>
#include <array>
#include <unordered_set>
#include <vector>

namespace vuduzez {

namespace {

// How common an atom is in the records; rarer atoms are placed first, since
// they leave the fewest record atoms to try.
int Commonness(const CtView& q, int a) {
  const uint16_t s = q.Symbol(a);
  int c;
  if (s == 'C') {
    c = 100;
  } else if (s == 'H') {
    c = 40;
  } else if (s == 'N' || s == 'O') {
    c = 12;
  } else {
    c = 2;
  }
  return q.Charge(a) != 0 ? c / 4 : c;
}

// How common a bond code is; the rarer bond is followed from a placed atom.
int BondCommonness(uint8_t code) {
  switch (code) {
    case kBondSingle:
      return 4;
    case kBondAromatic:
      return 3;
    case kBondDouble:
      return 1;
    default:
      return 0;
  }
}

bool HasBond(const CtView& r, int from, int to, uint8_t code) {
  for (int e = r.First(from), end = r.First(from + 1); e < end; ++e) {
    if (r.Neighbour(e) == to && r.Code(e) == code) return true;
  }
  return false;
}

}  // namespace

SubstructureQuery::SubstructureQuery(std::string bytes) : bytes_(std::move(bytes)) {
  if (!view_.Parse(bytes_)) return;  // never for tables of BuildConnectionTable
  const CtView& q = view_;
  const int n = q.atoms();

  neighbours_.assign(static_cast<size_t>(n), 0);
  for (int a = 0; a < n; ++a) {
    std::vector<int> seen;
    for (int e = q.First(a); e < q.First(a + 1); ++e) {
      const int b = q.Neighbour(e);
      if (b != a && std::find(seen.begin(), seen.end(), b) == seen.end()) seen.push_back(b);
    }
    neighbours_[static_cast<size_t>(a)] = static_cast<int>(seen.size());
  }

  // Counts: atoms per symbol (any charge), atoms per symbol and charge, and
  // distinct bonded pairs per bond code.
  auto need = [&](uint16_t symbol, uint8_t charge) {
    for (Need& x : needs_) {
      if (x.symbol == symbol && x.charge == charge) {
        ++x.count;
        return;
      }
    }
    needs_.push_back({symbol, charge, 1});
  };
  for (int a = 0; a < n; ++a) {
    need(q.Symbol(a), 0);
    if (q.Charge(a) != 0) need(q.Symbol(a), q.Charge(a));
  }
  for (int a = 0; a < n; ++a) {
    for (int e = q.First(a); e < q.First(a + 1); ++e) {
      const int b = q.Neighbour(e);
      if (b < a) continue;
      bool repeated = false;  // a second bond of the same code between the same atoms
      for (int f = q.First(a); f < e; ++f) {
        repeated = repeated || (q.Neighbour(f) == b && q.Code(f) == q.Code(e));
      }
      // A bond from an atom to itself is listed twice at it: count it once.
      if (!repeated) bondNeeds_[q.Code(e)] += 1;
    }
  }

  // Search order.
  std::vector<int> stepOf(static_cast<size_t>(n), -1);
  for (int k = 0; k < n; ++k) {
    int best = -1, bestLinks = -1;
    for (int a = 0; a < n; ++a) {
      if (stepOf[static_cast<size_t>(a)] >= 0) continue;
      int links = 0;
      for (int e = q.First(a); e < q.First(a + 1); ++e) {
        links += stepOf[static_cast<size_t>(q.Neighbour(e))] >= 0 ? 1 : 0;
      }
      const auto better = [&] {
        if (best < 0) return true;
        if ((links > 0) != (bestLinks > 0)) return links > 0;
        if (links != bestLinks) return links > bestLinks;
        if (Commonness(q, a) != Commonness(q, best)) return Commonness(q, a) < Commonness(q, best);
        return q.Degree(a) > q.Degree(best);
      };
      if (better()) {
        best = a;
        bestLinks = links;
      }
    }
    Step step{best, -1, 0, static_cast<int>(checks_.size()), 0, -1};
    int parentBond = -1;
    for (int e = q.First(best); e < q.First(best + 1); ++e) {
      const int s = stepOf[static_cast<size_t>(q.Neighbour(e))];
      if (s < 0 || q.Neighbour(e) == best) continue;
      if (parentBond < 0 || BondCommonness(q.Code(e)) < BondCommonness(step.code)) {
        step.parent = s;
        step.code = q.Code(e);
        parentBond = q.Bond(e);
      }
    }
    stepOf[static_cast<size_t>(best)] = k;
    std::vector<int> bondsDone{parentBond};
    for (int e = q.First(best); e < q.First(best + 1); ++e) {
      const int s = stepOf[static_cast<size_t>(q.Neighbour(e))];
      if (s < 0 || std::find(bondsDone.begin(), bondsDone.end(), q.Bond(e)) != bondsDone.end()) {
        continue;
      }
      bondsDone.push_back(q.Bond(e));
      checks_.push_back({s, q.Code(e)});
    }
    step.checkLast = static_cast<int>(checks_.size());
    steps_.push_back(step);
  }

  // End atoms of one atom, alike in symbol, charge and bond, are
  // interchangeable: each takes a record atom above the one before.
  const auto endAtom = [&](int a) { return q.Degree(a) == 1 && q.Neighbour(q.First(a)) != a; };
  for (int k = 0; k < n; ++k) {
    Step& s = steps_[static_cast<size_t>(k)];
    if (s.parent < 0 || !endAtom(s.atom)) continue;
    for (int j = k - 1; j >= 0; --j) {
      const Step& t = steps_[static_cast<size_t>(j)];
      if (t.parent == s.parent && t.code == s.code && endAtom(t.atom) &&
          q.Symbol(t.atom) == q.Symbol(s.atom) && q.Charge(t.atom) == q.Charge(s.atom)) {
        s.after = j;
        break;
      }
    }
  }

  // Pieces: the search order places a whole piece before the next begins.
  for (int k = 0; k < n; ++k) {
    if (steps_[static_cast<size_t>(k)].parent < 0) pieces_.push_back({k, k + 1, -1});
    pieces_.back().last = k + 1;
  }
  for (size_t p = 0; p < pieces_.size(); ++p) {
    for (size_t o = 0; o < p && pieces_[p].kind < 0; ++o) {
      if (SameSteps(pieces_[o], pieces_[p])) pieces_[p].kind = pieces_[o].kind;
    }
    if (pieces_[p].kind < 0) pieces_[p].kind = kinds_++;
  }
}

bool SubstructureQuery::SameSteps(const Piece& a, const Piece& b) const {
  if (a.last - a.first != b.last - b.first) return false;
  const auto relative = [](int step, const Piece& p) { return step < 0 ? -1 : step - p.first; };
  for (int t = 0; t < a.last - a.first; ++t) {
    const Step& x = steps_[static_cast<size_t>(a.first + t)];
    const Step& y = steps_[static_cast<size_t>(b.first + t)];
    if (view_.Symbol(x.atom) != view_.Symbol(y.atom) ||
        view_.Charge(x.atom) != view_.Charge(y.atom) ||
        neighbours_[static_cast<size_t>(x.atom)] != neighbours_[static_cast<size_t>(y.atom)] ||
        relative(x.parent, a) != relative(y.parent, b) || x.code != y.code ||
        relative(x.after, a) != relative(y.after, b) ||
        x.checkLast - x.checkFirst != y.checkLast - y.checkFirst) {
      return false;
    }
    for (int c = 0; c < x.checkLast - x.checkFirst; ++c) {
      const Check& cx = checks_[static_cast<size_t>(x.checkFirst + c)];
      const Check& cy = checks_[static_cast<size_t>(y.checkFirst + c)];
      if (relative(cx.step, a) != relative(cy.step, b) || cx.code != cy.code) return false;
    }
  }
  return true;
}

bool SubstructureQuery::AtomFits(int q, const CtView& r, int t) const {
  if (view_.Symbol(q) != r.Symbol(t)) return false;
  if (view_.Charge(q) != 0 && view_.Charge(q) != r.Charge(t)) return false;
  return r.Degree(t) >= neighbours_[static_cast<size_t>(q)];
}

template <typename Found>
bool SubstructureQuery::Embed(const CtView& r, int first, int last, const uint64_t* usedBefore,
                              MatchBudget& budget, Found&& found) const {
  const int count = last - first;
  const int rn = r.atoms();
  std::array<int, kMaxAtoms> image{};  // record atom of each step, from first
  std::array<int, kMaxAtoms> next{};   // where each step's candidates go on
  std::array<uint64_t, 4> used{};      // record atoms taken
  std::copy(usedBefore, usedBefore + used.size(), used.begin());
  const auto at = [&](int step) -> int& { return image[static_cast<size_t>(step - first)]; };
  const auto isUsed = [&](int t) { return (used[static_cast<size_t>(t >> 6)] >> (t & 63)) & 1; };
  const auto flip = [&](int t) { used[static_cast<size_t>(t >> 6)] ^= uint64_t{1} << (t & 63); };
  const auto stepAt = [&](int k) -> const Step& { return steps_[static_cast<size_t>(first + k)]; };
  const auto start = [&](int k) {
    const Step& s = stepAt(k);
    return s.parent < 0 ? 0 : r.First(at(s.parent));
  };
  // The next record atom for step k after the ones tried, -1 when none is left.
  const auto candidate = [&](int k) {
    const Step& s = stepAt(k);
    const int above = s.after < 0 ? -1 : at(s.after);
    int& from = next[static_cast<size_t>(k)];
    if (s.parent < 0) {
      for (; from < rn; ++from) {
        if (!isUsed(from) && AtomFits(s.atom, r, from)) return from++;
      }
      return -1;
    }
    for (const int end = r.First(at(s.parent) + 1); from < end; ++from) {
      const int t = r.Neighbour(from);
      if (t > above && r.Code(from) == s.code && !isUsed(t) && AtomFits(s.atom, r, t)) {
        ++from;
        return t;
      }
    }
    return -1;
  };
  // Bonds from step k's atom to atoms placed before (and to itself).
  const auto bondsHold = [&](int k, int t) {
    const Step& s = stepAt(k);
    for (int c = s.checkFirst; c < s.checkLast; ++c) {
      const Check& check = checks_[static_cast<size_t>(c)];
      const int other = check.step == first + k ? t : at(check.step);
      if (!HasBond(r, t, other, check.code)) return false;
    }
    return true;
  };

  int k = 0;
  if (count > 0) next[0] = start(0);
  for (;;) {
    if (k < 0) return true;  // every mapping tried
    if (k == count) {
      if (!found(image.data())) return true;
      if (--k < 0) return true;
      flip(image[static_cast<size_t>(k)]);
      continue;
    }
    if (!budget.Step()) return false;
    int t = candidate(k);
    while (t >= 0 && !bondsHold(k, t)) t = candidate(k);
    if (t >= 0) {
      image[static_cast<size_t>(k)] = t;
      flip(t);
      if (++k < count) next[static_cast<size_t>(k)] = start(k);
    } else if (--k >= 0) {
      flip(image[static_cast<size_t>(k)]);
    }
  }
}

MatchOutcome SubstructureQuery::MatchPieces(const CtView& r, MatchBudget& budget,
                                            std::vector<int>& image) const {
  // Every place of one piece of each kind, a place counted once however the
  // piece lies in it (its set of record atoms).
  using AtomSet = std::array<uint64_t, 4>;
  struct AtomSetHash {
    size_t operator()(const AtomSet& s) const {
      return std::hash<uint64_t>{}(s[0] * 31 + s[1] * 17 + s[2] * 7 + s[3]);
    }
  };
  struct Kind {
    int piece = -1;  // the first piece of the kind: its steps are every copy's
    int copies = 0;
    std::vector<AtomSet> places;
    std::vector<int> images;  // the steps' record atoms of each place, one after the other
  };
  constexpr size_t kMaxPlaces = 1 << 16;  // beyond: given up (memory stays bounded)
  std::vector<Kind> kinds(static_cast<size_t>(kinds_));
  for (size_t p = 0; p < pieces_.size(); ++p) {
    Kind& kind = kinds[static_cast<size_t>(pieces_[p].kind)];
    if (kind.piece < 0) kind.piece = static_cast<int>(p);
    ++kind.copies;
  }
  const AtomSet none{};
  for (Kind& kind : kinds) {
    const Piece& piece = pieces_[static_cast<size_t>(kind.piece)];
    const int length = piece.last - piece.first;
    std::unordered_set<AtomSet, AtomSetHash> seen;
    bool tooMany = false;
    const bool done =
        Embed(r, piece.first, piece.last, none.data(), budget, [&](const int* placed) {
          AtomSet atoms{};
          for (int t = 0; t < length; ++t) {
            atoms[static_cast<size_t>(placed[t] >> 6)] |= uint64_t{1} << (placed[t] & 63);
          }
          if (!seen.insert(atoms).second) return true;
          kind.places.push_back(atoms);
          kind.images.insert(kind.images.end(), placed, placed + length);
          tooMany = kind.places.size() > kMaxPlaces;
          return !tooMany;
        });
    if (!done) return budget.Spent();
    if (tooMany) return MatchOutcome::kGaveUp;
    if (kind.places.size() < static_cast<size_t>(kind.copies)) return MatchOutcome::kNoMatch;
  }

  // Then one place per piece, no two sharing an atom: the kinds with the
  // fewest places first; the copies of a kind in increasing order of place.
  std::vector<int> order(kinds.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return kinds[static_cast<size_t>(a)].places.size() <
           kinds[static_cast<size_t>(b)].places.size();
  });
  struct Slot {
    int kind;
    int copy;
  };
  std::vector<Slot> slots;
  for (int k : order) {
    for (int c = 0; c < kinds[static_cast<size_t>(k)].copies; ++c) slots.push_back({k, c});
  }
  const auto disjoint = [](const AtomSet& a, const AtomSet& b) {
    return (a[0] & b[0]) == 0 && (a[1] & b[1]) == 0 && (a[2] & b[2]) == 0 && (a[3] & b[3]) == 0;
  };
  const auto toggle = [](AtomSet& used, const AtomSet& a) {
    for (size_t w = 0; w < used.size(); ++w) used[w] ^= a[w];
  };
  const int n = static_cast<int>(slots.size());
  std::vector<int> choice(slots.size(), -1);
  AtomSet used{};
  int s = 0;
  while (s < n) {
    const Slot& slot = slots[static_cast<size_t>(s)];
    const Kind& kind = kinds[static_cast<size_t>(slot.kind)];
    // Room for the copies after this one at higher places.
    const int lastPlace = static_cast<int>(kind.places.size()) - (kind.copies - slot.copy);
    int i = choice[static_cast<size_t>(s)] + 1;
    if (choice[static_cast<size_t>(s)] < 0 && slot.copy > 0) {
      i = choice[static_cast<size_t>(s - 1)] + 1;
    }
    if (choice[static_cast<size_t>(s)] < 0) {
      // A first try here: enough free places left for this copy and the
      // ones after it, or none of them can be had.
      int free = 0;
      const int want = kind.copies - slot.copy;
      for (int j = i; j < static_cast<int>(kind.places.size()) && free < want; ++j) {
        if ((j & 63) == 0 && !budget.Step()) return budget.Spent();
        free += disjoint(used, kind.places[static_cast<size_t>(j)]) ? 1 : 0;
      }
      if (free < want) i = lastPlace + 1;
    }
    for (; i <= lastPlace; ++i) {
      if (!budget.Step()) return budget.Spent();
      if (disjoint(used, kind.places[static_cast<size_t>(i)])) break;
    }
    if (i <= lastPlace) {
      choice[static_cast<size_t>(s)] = i;
      toggle(used, kind.places[static_cast<size_t>(i)]);
      ++s;
      continue;
    }
    choice[static_cast<size_t>(s)] = -1;
    if (--s < 0) return MatchOutcome::kNoMatch;
    const Slot& back = slots[static_cast<size_t>(s)];
    toggle(used, kinds[static_cast<size_t>(back.kind)]
                     .places[static_cast<size_t>(choice[static_cast<size_t>(s)])]);
  }

  // The images by step: copy c of a kind is its c-th piece.
  std::vector<int> copyOf(kinds.size(), 0);
  std::vector<std::vector<int>> piecesOf(kinds.size());
  for (size_t p = 0; p < pieces_.size(); ++p) {
    piecesOf[static_cast<size_t>(pieces_[p].kind)].push_back(static_cast<int>(p));
  }
  image.assign(steps_.size(), 0);
  for (size_t sl = 0; sl < slots.size(); ++sl) {
    const Kind& kind = kinds[static_cast<size_t>(slots[sl].kind)];
    const Piece& piece = pieces_[static_cast<size_t>(
        piecesOf[static_cast<size_t>(slots[sl].kind)][static_cast<size_t>(slots[sl].copy)])];
    const int length = piece.last - piece.first;
    const int* placed = kind.images.data() + static_cast<size_t>(choice[sl]) * length;
    std::copy(placed, placed + length, image.begin() + piece.first);
  }
  return MatchOutcome::kMatch;
}

MatchOutcome SubstructureQuery::Match(const CtView& r, MatchBudget& budget,
                                      SubstructureMapping* mapping) const {
  budget.StartRecord();
  const int n = view_.atoms();
  const int rn = r.atoms();
  if (rn < n) return MatchOutcome::kNoMatch;

  // Counts first: most records that fail, fail here.
  for (const Need& x : needs_) {
    int have = 0;
    for (int t = 0; t < rn; ++t) {
      have += r.Symbol(t) == x.symbol && (x.charge == 0 || r.Charge(t) == x.charge);
    }
    if (have < x.count) return MatchOutcome::kNoMatch;
  }
  int bondHave[5] = {};
  for (int e = 0, end = r.First(rn); e < end; ++e) ++bondHave[r.Code(e)];
  for (int c = 0; c < 5; ++c) {
    if (bondHave[c] / 2 < bondNeeds_[c]) return MatchOutcome::kNoMatch;
  }

  std::vector<int> image;
  if (pieces_.size() > 1) {
    const MatchOutcome pieces = MatchPieces(r, budget, image);
    if (pieces != MatchOutcome::kMatch) return pieces;
  } else {
    const std::array<uint64_t, 4> none{};
    bool found = false;
    const bool done = Embed(r, 0, n, none.data(), budget, [&](const int* placed) {
      image.assign(placed, placed + n);
      found = true;
      return false;
    });
    if (!done) return budget.Spent();
    if (!found) return MatchOutcome::kNoMatch;
  }
  if (mapping != nullptr) FillMapping(r, image, *mapping);
  return MatchOutcome::kMatch;
}

bool SubstructureQuery::Matches(const CtView& r, SubstructureMapping* mapping) const {
  MatchBudget budget;
  return Match(r, budget, mapping) == MatchOutcome::kMatch;
}

void SubstructureQuery::FillMapping(const CtView& r, const std::vector<int>& image,
                                    SubstructureMapping& mapping) const {
  const CtView& q = view_;
  const int n = q.atoms();
  mapping.atoms.assign(static_cast<size_t>(n), 0);
  for (int i = 0; i < n; ++i) {
    const Step& s = steps_[static_cast<size_t>(i)];
    mapping.atoms[static_cast<size_t>(s.atom)] = image[static_cast<size_t>(i)] + 1;
  }
  mapping.bonds.assign(static_cast<size_t>(q.bonds()), 0);
  for (int a = 0; a < n; ++a) {
    for (int e = q.First(a); e < q.First(a + 1); ++e) {
      int32_t& bond = mapping.bonds[static_cast<size_t>(q.Bond(e))];
      if (bond != 0) continue;
      const int from = mapping.atoms[static_cast<size_t>(a)] - 1;
      const int to = mapping.atoms[static_cast<size_t>(q.Neighbour(e))] - 1;
      for (int f = r.First(from); f < r.First(from + 1); ++f) {
        if (r.Neighbour(f) == to && r.Code(f) == q.Code(e)) {
          bond = r.Bond(f) + 1;
          break;
        }
      }
    }
  }
}

}  // namespace vuduzez
