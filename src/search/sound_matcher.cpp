#include "search/sound_matcher.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vuduzez {

using chem::CompiledQuery;
using chem::GraphView;
using chem::Property;
using chem::QueryAtom;
using chem::QueryBond;
using chem::TestNode;

namespace {

int RdkitTypeOf(const GraphView& r, int atom, int edge) {
  switch (r.Edge(edge) & chem::kBondCodeMask) {
    case chem::kBondUnspecified:
      return 0;
    case chem::kBondSingle:
      return 1;
    case chem::kBondDouble:
      return 2;
    case chem::kBondTriple:
      return 3;
    case chem::kBondAromatic:
      return 12;
    default: {
      const int k = r.BondBetween(atom, r.Neighbour(edge));
      return k < 0 ? 0 : r.BondType(k);
    }
  }
}

}  // namespace

struct SoundMatcher::Plan {
  struct Step {
    int atom;        // query atom placed here
    int degree;      // its bonds: its image has at least as many
    int element;     // the element its image must have, -1 when not one
    int parent;      // earlier step it is bonded to, -1: any record atom
    int bond;        // query bond to the parent
    int checkFirst;  // closures: further bonds to earlier steps
    int checkLast;
    int orderedAfter;  // step whose image this root's must exceed (identical fragments), -1
    int rings;         // a plain atom's image is in at least as many rings
    int bondCode;      // the edge code a plain bond to the parent takes, -1: test it
  };
  struct Check {
    int step;
    int bond;
    int bondCode;
  };

  // The edge code a plain query bond takes (besides an edge of unspecified
  // type): -1 when the bond is a test, or of a type the codes do not name.
  int BondCodeOf(int bond) const {
    if (bond < 0) return -1;
    const QueryBond& b = q.bonds[static_cast<size_t>(bond)];
    if (!b.plain || b.rdkitType == 0) return -1;
    const int code = chem::BondCodeOf(b.rdkitType);
    return code == chem::kBondOtherType ? -1 : code;
  }

  const CompiledQuery& q;
  bool anchored;  // atom 0 is given (a recursive SMARTS)
  int id;         // its scratch: 0 for the query, then each recursive SMARTS
  std::vector<Step> steps;
  std::vector<Check> checks;
  std::vector<std::unique_ptr<Plan>> recursive;

  Plan(const CompiledQuery& query, bool anchor, int& ids) : q(query), anchored(anchor), id(ids++) {
    for (const auto& sub : q.recursive) {
      recursive.push_back(std::make_unique<Plan>(*sub, true, ids));
    }
    Order();
  }

  // Rare elements, charged atoms and well-connected atoms first.
  int Score(int a, const std::vector<std::vector<std::pair<int, int>>>& adj) const {
    if (a < 0) return -1000;
    const QueryAtom& qa = q.atoms[static_cast<size_t>(a)];
    int score = static_cast<int>(adj[static_cast<size_t>(a)].size());
    if (qa.element == 1) {
      score -= 4;
    } else if (qa.noCarbon) {
      score += 8;
    }
    if (qa.plain && qa.charge != 0) score += 4;
    return score;
  }

  void Order() {
    const int n = static_cast<int>(q.atoms.size());
    std::vector<std::vector<std::pair<int, int>>> adj(static_cast<size_t>(n));
    for (size_t k = 0; k < q.bonds.size(); ++k) {
      adj[static_cast<size_t>(q.bonds[k].begin)].push_back({q.bonds[k].end, static_cast<int>(k)});
      adj[static_cast<size_t>(q.bonds[k].end)].push_back({q.bonds[k].begin, static_cast<int>(k)});
    }
    std::vector<int> stepOf(static_cast<size_t>(n), -1);
    // Fragments one after the other, each grown from its best atom.
    std::vector<std::string> fragmentShape;
    std::vector<int> fragmentRoot;
    while (static_cast<int>(steps.size()) < n) {
      int root = -1;
      if (anchored && steps.empty()) {
        root = 0;
      } else {
        for (int a = 0; a < n; ++a) {
          if (stepOf[static_cast<size_t>(a)] < 0 &&
              (root < 0 || Score(a, adj) > Score(root, adj))) {
            root = a;
          }
        }
      }
      const size_t fragmentStart = steps.size();
      auto place = [&](int atom, int parent, int bond) {
        Step s{
            atom,
            static_cast<int>(adj[static_cast<size_t>(atom)].size()),
            q.atoms[static_cast<size_t>(atom)].element,
            parent,
            bond,
            static_cast<int>(checks.size()),
            0,
            -1,
            q.atoms[static_cast<size_t>(atom)].plain ? q.atoms[static_cast<size_t>(atom)].rings : 0,
            BondCodeOf(bond)};
        for (const auto& [other, k] : adj[static_cast<size_t>(atom)]) {
          const int os = stepOf[static_cast<size_t>(other)];
          if (os >= 0 && k != bond) checks.push_back({os, k, BondCodeOf(k)});
        }
        // A bond of an atom to itself is no closure to test.
        s.checkLast = static_cast<int>(checks.size());
        stepOf[static_cast<size_t>(atom)] = static_cast<int>(steps.size());
        steps.push_back(s);
      };
      place(root, -1, -1);
      for (;;) {
        // The unplaced neighbour with most bonds to placed atoms, then the best score.
        int best = -1, bestParent = -1, bestBond = -1, bestLinks = -1;
        for (size_t s = fragmentStart; s < steps.size(); ++s) {
          for (const auto& [next, k] : adj[static_cast<size_t>(steps[s].atom)]) {
            if (stepOf[static_cast<size_t>(next)] >= 0) continue;
            int links = 0;
            for (const auto& [o, k2] : adj[static_cast<size_t>(next)]) {
              (void)k2;
              links += stepOf[static_cast<size_t>(o)] >= 0 ? 1 : 0;
            }
            if (links > bestLinks || (links == bestLinks && Score(next, adj) > Score(best, adj))) {
              best = next;
              bestParent = static_cast<int>(s);
              bestBond = k;
              bestLinks = links;
            }
          }
        }
        if (best < 0) break;
        place(best, bestParent, bestBond);
      }
      // Fragments of the same shape are interchangeable: their roots are
      // taken in increasing record order, so that n identical fragments are
      // not tried in n! orders.
      std::string shape;
      for (size_t s = fragmentStart; s < steps.size(); ++s) {
        const Step& st = steps[s];
        const QueryAtom& qa = q.atoms[static_cast<size_t>(st.atom)];
        auto put = [&shape](const void* p, size_t size) {
          shape.append(static_cast<const char*>(p), size);
        };
        const int rel = st.parent < 0 ? -1 : st.parent - static_cast<int>(fragmentStart);
        put(&rel, sizeof rel);
        put(&qa.plain, 1);
        put(&qa.atomicNum, 1);
        put(&qa.charge, 1);
        put(&qa.isotope, 2);
        put(&qa.radicals, 1);
        put(&qa.rings, 1);
        if (!qa.plain) put(&qa.test, sizeof qa.test);  // distinct trees stay apart
        if (st.bond >= 0) {
          const QueryBond& b = q.bonds[static_cast<size_t>(st.bond)];
          put(&b.plain, 1);
          put(&b.rdkitType, 1);
          if (!b.plain) put(&b.test, sizeof b.test);
        }
        const int closures = st.checkLast - st.checkFirst;
        put(&closures, sizeof closures);
      }
      for (size_t f = 0; f < fragmentShape.size(); ++f) {
        if (fragmentShape[f] == shape) steps[fragmentStart].orderedAfter = fragmentRoot[f];
      }
      fragmentShape.push_back(std::move(shape));
      fragmentRoot.push_back(static_cast<int>(fragmentStart));
    }
  }
};

namespace {

// What matching keeps per thread, reused from record to record: for each
// plan (the query, and each recursive SMARTS) its images, used record atoms
// and where each step's candidates stand; the answers of recursive SMARTS
// per record atom, valid for one record (generation).
struct PlanScratch {
  int image[chem::kMaxGraphAtoms + 1];
  int cursor[chem::kMaxGraphAtoms + 2];
  uint8_t used[chem::kMaxGraphAtoms + 1];
  uint32_t memoGeneration[chem::kMaxGraphAtoms + 1];
  uint8_t memo[chem::kMaxGraphAtoms + 1];
};

struct Scratch {
  std::vector<std::unique_ptr<PlanScratch>> plans;
  uint32_t generation = 0;
  PlanScratch& For(int plan) {
    while (static_cast<int>(plans.size()) <= plan) {
      plans.push_back(std::make_unique<PlanScratch>());
      std::memset(plans.back()->memoGeneration, 0, sizeof plans.back()->memoGeneration);
    }
    return *plans[static_cast<size_t>(plan)];
  }
};

Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

class Run {
 public:
  Run(const GraphView& r, MatchBudget& budget) : r_(r), budget_(budget), scratch_(ThreadScratch()) {
    if (++scratch_.generation == 0) {
      // Wrapped: no answer of an earlier record may look current.
      for (auto& p : scratch_.plans) std::memset(p->memoGeneration, 0, sizeof p->memoGeneration);
      scratch_.generation = 1;
    }
  }

  bool gaveUp() const { return spent_; }

  // Whether the plan maps into the record (with atom 0 on anchor when anchored).
  bool Find(const SoundMatcher::Plan& plan, int anchor, std::vector<int>* mapping) {
    const auto& steps = plan.steps;
    const int n = static_cast<int>(steps.size());
    if (n == 0) return true;
    if (n > r_.atoms()) return false;
    PlanScratch& s = scratch_.For(plan.id);
    std::memset(s.used, 0, static_cast<size_t>(r_.atoms()));
    int depth = 0;
    s.cursor[0] = 0;
    while (depth >= 0) {
      const SoundMatcher::Plan::Step& st = steps[static_cast<size_t>(depth)];
      int& c = s.cursor[depth];
      int found = -1;
      if (st.parent < 0) {
        int lo = 0, hi = r_.atoms();
        if (plan.anchored && depth == 0) {
          lo = anchor;
          hi = anchor + 1;
        } else if (st.orderedAfter >= 0) {
          lo = s.image[steps[static_cast<size_t>(st.orderedAfter)].atom] + 1;
        }
        for (int t = std::max(c, lo); t < hi; ++t) {
          if (!Step()) return false;
          if (!s.used[t] && Quick(st, t) && Fits(plan, s, st, t)) {
            found = t;
            c = t + 1;
            break;
          }
        }
      } else {
        const int parentImage = s.image[steps[static_cast<size_t>(st.parent)].atom];
        const int first = r_.First(parentImage), end = r_.End(parentImage);
        for (int e = std::max(c, first); e < end; ++e) {
          if (!Step()) return false;
          // The bond first: its byte is at hand, the atom's may not be.
          if (!Bond(plan.q, st.bondCode, st.bond, parentImage, e)) continue;
          const int t = r_.Neighbour(e);
          if (s.used[t] || !Quick(st, t)) continue;
          if (Fits(plan, s, st, t)) {
            found = t;
            c = e + 1;
            break;
          }
        }
      }
      if (gaveUp()) return false;
      if (found < 0) {
        // Back to the step before: its image is free again.
        if (--depth >= 0) s.used[s.image[steps[static_cast<size_t>(depth)].atom]] = 0;
        continue;
      }
      s.image[st.atom] = found;
      s.used[found] = 1;
      if (++depth == n) {
        if (mapping != nullptr) mapping->assign(s.image, s.image + plan.q.atoms.size());
        return true;
      }
      s.cursor[depth] = 0;
    }
    return false;
  }

 private:
  // What every image of the step's atom has: its element, enough bonds and rings.
  bool Quick(const SoundMatcher::Plan::Step& st, int t) const {
    return (st.element < 0 || r_.AtomicNum(t) == st.element) && r_.Rings(t) >= st.rings &&
           r_.Degree(t) >= st.degree;
  }

  // A query bond onto a record edge: a plain bond of a common type by its
  // edge code (the same, or an edge of unspecified type), else BondFits.
  bool Bond(const CompiledQuery& q, int code, int qb, int atom, int edge) {
    if (code > 0) {
      const int c = r_.Edge(edge) & chem::kBondCodeMask;
      return c == code || c == chem::kBondUnspecified;
    }
    return BondFits(q, qb, atom, edge);
  }

  // Whether record atom t (unused) can be the image of the step's atom: the
  // atom test, then the closures.
  bool Fits(const SoundMatcher::Plan& plan, const PlanScratch& s,
            const SoundMatcher::Plan::Step& st, int t) {
    if (!AtomFits(plan, st.atom, t)) return false;
    for (int k = st.checkFirst; k < st.checkLast; ++k) {
      const auto& check = plan.checks[static_cast<size_t>(k)];
      const int other = s.image[plan.steps[static_cast<size_t>(check.step)].atom];
      int edge = -1;
      for (int e = r_.First(t); e < r_.End(t); ++e) {
        if (r_.Neighbour(e) == other) {
          edge = e;
          break;
        }
      }
      if (edge < 0 || !Bond(plan.q, check.bondCode, check.bond, t, edge)) return false;
    }
    return true;
  }

  bool AtomFits(const SoundMatcher::Plan& plan, int qa, int t) {
    const QueryAtom& a = plan.q.atoms[static_cast<size_t>(qa)];
    if (a.plain) {
      // RDKit's Atom::Match: the element; a query atom in more rings than
      // the record atom does not match; an atom that is not a dummy must
      // have any charge, isotope and radical count the query atom has; a
      // dummy only differs by isotope.
      if (r_.AtomicNum(t) != a.atomicNum || r_.Rings(t) < a.rings) return false;
      if (a.atomicNum == 0) return !(a.isotope && r_.Isotope(t) && a.isotope != r_.Isotope(t));
      if (a.charge != 0 && a.charge != r_.Charge(t)) return false;
      if (a.isotope != 0 && a.isotope != r_.Isotope(t)) return false;
      if (a.radicals != 0 && a.radicals != r_.Radicals(t)) return false;
      return true;
    }
    return Eval(plan, a.test, t);
  }

  bool BondFits(const CompiledQuery& q, int qb, int atom, int edge) {
    const QueryBond& b = q.bonds[static_cast<size_t>(qb)];
    if (b.plain) {
      // RDKit's Bond::Match: the same type, or either of unspecified type.
      const int type = RdkitTypeOf(r_, atom, edge);
      return b.rdkitType == 0 || type == 0 || type == b.rdkitType;
    }
    return EvalBond(q, b.test, atom, edge);
  }

  template <typename Pred>
  int Neighbours(int t, Pred pred) {
    int c = 0;
    for (int e = r_.First(t); e < r_.End(t); ++e) c += pred(r_.Neighbour(e)) ? 1 : 0;
    return c;
  }

  int AtomValue(Property p, int t) {
    switch (p) {
      case Property::kAtomicNum:
        return r_.AtomicNum(t);
      case Property::kAtomType:
        return r_.AtomicNum(t) + (r_.Aromatic(t) ? 1000 : 0);
      case Property::kAromatic:
        return r_.Aromatic(t) ? 1 : 0;
      case Property::kAliphatic:
        return r_.Aromatic(t) ? 0 : 1;
      case Property::kCharge:
        return r_.Charge(t);
      case Property::kNegativeCharge:
        return -r_.Charge(t);
      case Property::kIsotope:
        return r_.Isotope(t);
      case Property::kHCount:
        return r_.Hydrogens(t) + Neighbours(t, [this](int u) { return r_.AtomicNum(u) == 1; });
      case Property::kImplicitHCount:
        return r_.Hydrogens(t);
      case Property::kHasImplicitH:
        return r_.Hydrogens(t) > 0 ? 1 : 0;
      case Property::kExplicitDegree:
        return r_.Degree(t);
      case Property::kTotalDegree:
        return r_.Degree(t) + r_.Hydrogens(t);
      case Property::kHeavyDegree:
        return Neighbours(t, [this](int u) { return r_.AtomicNum(u) > 1; });
      case Property::kNonHydrogenDegree:
        return Neighbours(t, [this](int u) { return r_.AtomicNum(u) != 1 || r_.Isotope(u) > 1; });
      case Property::kTotalValence:
        return r_.TotalValence(t);
      case Property::kExplicitValence:
        return r_.ExplicitValence(t);
      case Property::kImplicitValence:
        return r_.ImplicitValence(t);
      case Property::kUnsaturated:
        return r_.Degree(t) + r_.Hydrogens(t) < r_.TotalValence(t) ? 1 : 0;
      case Property::kHybridization:
        return r_.Hybridization(t);
      case Property::kInRing:
        return r_.Rings(t) > 0 ? 1 : 0;
      case Property::kNumRings:
        return r_.Rings(t);
      case Property::kMinRingSize:
        return r_.MinRingSize(t);
      case Property::kRingBondCount:
      case Property::kHasRingBond: {
        int ringBonds = 0;
        for (int e = r_.First(t); e < r_.End(t); ++e) {
          ringBonds += (r_.Edge(e) & chem::kInRingEdge) ? 1 : 0;
        }
        return p == Property::kHasRingBond ? (ringBonds > 0 ? 1 : 0) : ringBonds;
      }
      case Property::kRadicals:
        return r_.Radicals(t);
      case Property::kHeteroNeighbours:
      case Property::kHasHeteroNeighbours: {
        const int c =
            Neighbours(t, [this](int u) { return r_.AtomicNum(u) != 6 && r_.AtomicNum(u) != 1; });
        return p == Property::kHasHeteroNeighbours ? (c > 0 ? 1 : 0) : c;
      }
      case Property::kAliphaticHeteroNeighbours:
      case Property::kHasAliphaticHeteroNeighbours: {
        const int c = Neighbours(t, [this](int u) {
          return !r_.Aromatic(u) && r_.AtomicNum(u) != 6 && r_.AtomicNum(u) != 1;
        });
        return p == Property::kHasAliphaticHeteroNeighbours ? (c > 0 ? 1 : 0) : c;
      }
      case Property::kHasChiralTag:
        return r_.ChiralTag(t) != 0 ? 1 : 0;
      case Property::kMissingChiralTag:
        return r_.ChiralTag(t) == 0 && (r_.Flags(t) & chem::kChiralityPossible) ? 1 : 0;
      default:
        return 0;
    }
  }

  bool Eval(const SoundMatcher::Plan& plan, int32_t node, int t) {
    const CompiledQuery& q = plan.q;
    const TestNode& n = q.nodes[static_cast<size_t>(node)];
    bool res = true;
    switch (n.op) {
      case TestNode::kTrue:
        break;
      case TestNode::kCompare:
        if (n.property == Property::kNumRings && n.low == -1 && n.high == -1) {
          res = r_.Rings(t) != 0;  // "in some ring"
        } else {
          const int v = AtomValue(n.property, t);
          res = v >= n.low && v <= n.high;
        }
        break;
      case TestNode::kAnd:
        for (int k = 0; k < n.count && res; ++k) {
          res = Eval(plan, q.children[static_cast<size_t>(n.first + k)], t);
        }
        break;
      case TestNode::kOr:
        res = false;
        for (int k = 0; k < n.count && !res; ++k) {
          res = Eval(plan, q.children[static_cast<size_t>(n.first + k)], t);
        }
        break;
      case TestNode::kXor: {
        int trues = 0;
        for (int k = 0; k < n.count && trues < 2; ++k) {
          trues += Eval(plan, q.children[static_cast<size_t>(n.first + k)], t) ? 1 : 0;
        }
        res = trues == 1;
        break;
      }
      case TestNode::kRecursive: {
        const SoundMatcher::Plan& sub = *plan.recursive[static_cast<size_t>(n.recursive)];
        PlanScratch& s = scratch_.For(sub.id);
        if (s.memoGeneration[t] != scratch_.generation) {
          const bool found = Find(sub, t, nullptr);
          if (gaveUp()) return false;
          s.memoGeneration[t] = scratch_.generation;
          s.memo[t] = found ? 1 : 0;
        }
        res = s.memo[t] == 1;
        break;
      }
    }
    return n.negate ? !res : res;
  }

  bool EvalBond(const CompiledQuery& q, int32_t node, int atom, int edge) {
    const TestNode& n = q.nodes[static_cast<size_t>(node)];
    bool res = true;
    switch (n.op) {
      case TestNode::kCompare: {
        const int v = BondValue(n.property, atom, edge);
        res = v >= n.low && v <= n.high;
        break;
      }
      case TestNode::kAnd:
        for (int k = 0; k < n.count && res; ++k) {
          res = EvalBond(q, q.children[static_cast<size_t>(n.first + k)], atom, edge);
        }
        break;
      case TestNode::kOr:
        res = false;
        for (int k = 0; k < n.count && !res; ++k) {
          res = EvalBond(q, q.children[static_cast<size_t>(n.first + k)], atom, edge);
        }
        break;
      case TestNode::kXor: {
        int trues = 0;
        for (int k = 0; k < n.count && trues < 2; ++k) {
          trues += EvalBond(q, q.children[static_cast<size_t>(n.first + k)], atom, edge) ? 1 : 0;
        }
        res = trues == 1;
        break;
      }
      default:
        break;
    }
    return n.negate ? !res : res;
  }

  int BondValue(Property p, int atom, int edge) {
    const int type = RdkitTypeOf(r_, atom, edge);
    switch (p) {
      case Property::kBondType:
        return type;
      case Property::kSingleOrAromatic:
        return type == 1 || type == 12;
      case Property::kDoubleOrAromatic:
        return type == 2 || type == 12;
      case Property::kSingleOrDouble:
        return type == 1 || type == 2;
      case Property::kSingleOrDoubleOrAromatic:
        return type == 1 || type == 2 || type == 12;
      case Property::kBondInRing:
        return (r_.Edge(edge) & chem::kInRingEdge) ? 1 : 0;
      case Property::kBondRings:
      case Property::kBondMinRingSize: {
        const int k = r_.BondBetween(atom, r_.Neighbour(edge));
        if (k < 0) return 0;
        return p == Property::kBondRings ? r_.BondRings(k) : r_.BondMinRingSize(k);
      }
      default:
        return 0;
    }
  }

  bool Step() {
    if (budget_.Step()) return true;
    spent_ = true;
    return false;
  }

  const GraphView& r_;
  MatchBudget& budget_;
  bool spent_ = false;
  Scratch& scratch_;
};

}  // namespace

SoundMatcher::SoundMatcher(const chem::CompiledQuery& query) {
  int ids = 0;
  plan_ = std::make_unique<Plan>(query, false, ids);
}

SoundMatcher::~SoundMatcher() = default;

MatchOutcome SoundMatcher::Match(const GraphView& record, MatchBudget& budget,
                                 std::vector<int>* mapping) const {
  budget.StartRecord();
  Run run(record, budget);
  const bool found = run.Find(*plan_, -1, mapping);
  if (run.gaveUp()) return budget.Spent();
  return found ? MatchOutcome::kMatch : MatchOutcome::kNoMatch;
}

MatchOutcome SoundMatcher::Match(const GraphView& record, std::vector<int>* mapping) const {
  MatchBudget budget;
  return Match(record, budget, mapping);
}

}  // namespace vuduzez
