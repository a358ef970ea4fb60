#include "search/substructure.h"

#include <algorithm>
#include <array>

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
    Step step{best, -1, 0, static_cast<int>(checks_.size()), 0};
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
}

bool SubstructureQuery::AtomFits(int q, const CtView& r, int t) const {
  if (view_.Symbol(q) != r.Symbol(t)) return false;
  if (view_.Charge(q) != 0 && view_.Charge(q) != r.Charge(t)) return false;
  return r.Degree(t) >= neighbours_[static_cast<size_t>(q)];
}

bool SubstructureQuery::Matches(const CtView& r, SubstructureMapping* mapping) const {
  const int n = view_.atoms();
  const int rn = r.atoms();
  if (rn < n) return false;

  // Counts first: most records that fail, fail here.
  for (const Need& x : needs_) {
    int have = 0;
    for (int t = 0; t < rn; ++t) {
      have += r.Symbol(t) == x.symbol && (x.charge == 0 || r.Charge(t) == x.charge);
    }
    if (have < x.count) return false;
  }
  int bondHave[5] = {};
  for (int e = 0, end = r.First(rn); e < end; ++e) ++bondHave[r.Code(e)];
  for (int c = 0; c < 5; ++c) {
    if (bondHave[c] / 2 < bondNeeds_[c]) return false;
  }

  std::array<int, kMaxAtoms> image{};  // record atom of each step
  std::array<int, kMaxAtoms> next{};   // where each step's candidates go on
  std::array<uint64_t, 4> used{};      // record atoms taken
  const auto isUsed = [&](int t) { return (used[static_cast<size_t>(t >> 6)] >> (t & 63)) & 1; };
  const auto flip = [&](int t) { used[static_cast<size_t>(t >> 6)] ^= uint64_t{1} << (t & 63); };
  const auto start = [&](int k) {
    const Step& s = steps_[static_cast<size_t>(k)];
    return s.parent < 0 ? 0 : r.First(image[static_cast<size_t>(s.parent)]);
  };

  // The next record atom for step k after the ones tried, -1 when none is left.
  const auto candidate = [&](int k) {
    const Step& s = steps_[static_cast<size_t>(k)];
    int& at = next[static_cast<size_t>(k)];
    if (s.parent < 0) {
      for (; at < rn; ++at) {
        if (!isUsed(at) && AtomFits(s.atom, r, at)) return at++;
      }
      return -1;
    }
    for (const int end = r.First(image[static_cast<size_t>(s.parent)] + 1); at < end; ++at) {
      const int t = r.Neighbour(at);
      if (r.Code(at) == s.code && !isUsed(t) && AtomFits(s.atom, r, t)) {
        ++at;
        return t;
      }
    }
    return -1;
  };
  // Bonds from step k's atom to atoms placed before (and to itself).
  const auto bondsHold = [&](int k, int t) {
    const Step& s = steps_[static_cast<size_t>(k)];
    for (int c = s.checkFirst; c < s.checkLast; ++c) {
      const Check& check = checks_[static_cast<size_t>(c)];
      const int other = check.step == k ? t : image[static_cast<size_t>(check.step)];
      if (!HasBond(r, t, other, check.code)) return false;
    }
    return true;
  };

  int k = 0;
  if (n > 0) next[0] = start(0);
  while (k >= 0 && k < n) {
    int found = candidate(k);
    while (found >= 0 && !bondsHold(k, found)) found = candidate(k);
    if (found >= 0) {
      image[static_cast<size_t>(k)] = found;
      flip(found);
      ++k;
      if (k < n) next[static_cast<size_t>(k)] = start(k);
    } else {
      --k;
      if (k >= 0) flip(image[static_cast<size_t>(k)]);
    }
  }
  if (k < 0) return false;

  if (mapping != nullptr) {
    const CtView& q = view_;
    mapping->atoms.assign(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
      const Step& s = steps_[static_cast<size_t>(i)];
      mapping->atoms[static_cast<size_t>(s.atom)] = image[static_cast<size_t>(i)] + 1;
    }
    mapping->bonds.assign(static_cast<size_t>(q.bonds()), 0);
    for (int a = 0; a < n; ++a) {
      for (int e = q.First(a); e < q.First(a + 1); ++e) {
        int32_t& bond = mapping->bonds[static_cast<size_t>(q.Bond(e))];
        if (bond != 0) continue;
        const int from = mapping->atoms[static_cast<size_t>(a)] - 1;
        const int to = mapping->atoms[static_cast<size_t>(q.Neighbour(e))] - 1;
        for (int f = r.First(from); f < r.First(from + 1); ++f) {
          if (r.Neighbour(f) == to && r.Code(f) == q.Code(e)) {
            bond = r.Bond(f) + 1;
            break;
          }
        }
      }
    }
  }
  return true;
}

}  // namespace vuduzez
