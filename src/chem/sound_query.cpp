#include "chem/sound_query.h"

// RDKit's build options first: they change the layout of its classes.
#include <RDGeneral/RDConfig.h>

#include <GraphMol/QueryAtom.h>
#include <GraphMol/QueryBond.h>
#include <GraphMol/QueryOps.h>
#include <GraphMol/RingInfo.h>
#include <GraphMol/Substruct/SubstructMatch.h>

#include <climits>
#include <functional>
#include <map>
#include <type_traits>

#include "chem/rdkit_mol.h"

namespace vuduzez::chem {

class RdkitQuery {
 public:
  explicit RdkitQuery(std::unique_ptr<RDKit::RWMol> m) : mol(std::move(m)) {}
  std::unique_ptr<RDKit::RWMol> mol;
};

namespace {

const std::map<std::string, Property>& AtomProperties() {
  static const std::map<std::string, Property> table = {
      {"AtomAtomicNum", Property::kAtomicNum},
      {"AtomType", Property::kAtomType},
      {"AtomIsAromatic", Property::kAromatic},
      {"AtomIsAliphatic", Property::kAliphatic},
      {"AtomFormalCharge", Property::kCharge},
      {"AtomNegativeFormalCharge", Property::kNegativeCharge},
      {"AtomIsotope", Property::kIsotope},
      {"AtomHCount", Property::kHCount},
      {"AtomImplicitHCount", Property::kImplicitHCount},
      {"AtomHasImplicitH", Property::kHasImplicitH},
      {"AtomExplicitDegree", Property::kExplicitDegree},
      {"AtomTotalDegree", Property::kTotalDegree},
      {"AtomHeavyAtomDegree", Property::kHeavyDegree},
      {"AtomNonHydrogenDegree", Property::kNonHydrogenDegree},
      {"AtomTotalValence", Property::kTotalValence},
      {"AtomExplicitValence", Property::kExplicitValence},
      {"AtomImplicitValence", Property::kImplicitValence},
      {"AtomUnsaturated", Property::kUnsaturated},
      {"AtomHybridization", Property::kHybridization},
      {"AtomInRing", Property::kInRing},
      {"AtomInNRings", Property::kNumRings},
      {"AtomMinRingSize", Property::kMinRingSize},
      {"AtomRingBondCount", Property::kRingBondCount},
      {"AtomHasRingBond", Property::kHasRingBond},
      {"AtomNumRadicalElectrons", Property::kRadicals},
      {"AtomNumHeteroatomNeighbors", Property::kHeteroNeighbours},
      {"AtomHasHeteroatomNeighbors", Property::kHasHeteroNeighbours},
      {"AtomNumAliphaticHeteroatomNeighbors", Property::kAliphaticHeteroNeighbours},
      {"AtomHasAliphaticHeteroatomNeighbors", Property::kHasAliphaticHeteroNeighbours},
      {"AtomHasChiralTag", Property::kHasChiralTag},
      {"AtomMissingChiralTag", Property::kMissingChiralTag},
  };
  return table;
}

const std::map<std::string, Property>& BondProperties() {
  static const std::map<std::string, Property> table = {
      {"BondOrder", Property::kBondType},
      {"SingleOrAromaticBond", Property::kSingleOrAromatic},
      {"DoubleOrAromaticBond", Property::kDoubleOrAromatic},
      {"SingleOrDoubleBond", Property::kSingleOrDouble},
      {"SingleOrDoubleOrAromaticBond", Property::kSingleOrDoubleOrAromatic},
      {"BondInRing", Property::kBondInRing},
      {"BondInNRings", Property::kBondRings},
      {"BondMinRingSize", Property::kBondMinRingSize},
  };
  return table;
}

// Compiles RDKit query trees into CompiledQuery nodes; the first test it does
// not know makes the whole query RDKit's.
class Compiler {
 public:
  explicit Compiler(CompiledQuery& out) : out_(out) {}
  std::string failure;  // empty while every test compiled

  template <typename Q>
  int32_t Compile(const Q* q) {
    constexpr bool atom = std::is_same_v<typename Q::DATA_FUNC_ARG_TYPE, const RDKit::Atom*>;
    std::string d = q->getDescription();
    for (const char* prefix : {"range_", "less_", "greater_"}) {
      if (d.rfind(prefix, 0) == 0) d = d.substr(std::string(prefix).size());
    }
    TestNode node;
    node.negate = q->getNegation();
    const std::string andName = atom ? "AtomAnd" : "BondAnd";
    const std::string orName = atom ? "AtomOr" : "BondOr";
    const std::string xorName = atom ? "AtomXor" : "BondXor";
    const std::string nullName = atom ? "AtomNull" : "BondNull";
    if (d == andName || d == orName || d == xorName) {
      node.op = d == andName ? TestNode::kAnd : d == orName ? TestNode::kOr : TestNode::kXor;
      std::vector<int32_t> kids;
      for (auto it = q->beginChildren(); it != q->endChildren(); ++it) {
        kids.push_back(Compile(it->get()));
      }
      node.first = static_cast<int32_t>(out_.children.size());
      node.count = static_cast<int32_t>(kids.size());
      out_.children.insert(out_.children.end(), kids.begin(), kids.end());
      return Add(node);
    }
    if (d == nullName) return Add(node);
    if constexpr (atom) {
      if (d == "RecursiveStructure") {
        const auto* rq = dynamic_cast<const RDKit::RecursiveStructureQuery*>(q);
        if (rq == nullptr || rq->getQueryMol() == nullptr) return Fail(d);
        auto sub = std::make_shared<CompiledQuery>();
        Compiler inner(*sub);
        inner.Molecule(*rq->getQueryMol());
        if (!inner.failure.empty()) return Fail(inner.failure);
        node.op = TestNode::kRecursive;
        node.recursive = static_cast<int32_t>(out_.recursive.size());
        out_.recursive.push_back(std::move(sub));
        return Add(node);
      }
    }
    const auto& table = atom ? AtomProperties() : BondProperties();
    const auto found = table.find(d);
    if (found == table.end()) return Fail(d);
    node.op = TestNode::kCompare;
    node.property = found->second;
    if (!Interval(q, node)) return Fail(d);
    return Add(node);
  }

  void Molecule(const RDKit::ROMol& mol) {
    const RDKit::RingInfo* rings = mol.getRingInfo();
    const bool ringsKnown = rings != nullptr && rings->isInitialized();
    for (const RDKit::Atom* a : mol.atoms()) {
      QueryAtom qa;
      qa.atomicNum = static_cast<uint8_t>(std::clamp(a->getAtomicNum(), 0, 255));
      if (a->hasQuery()) {
        qa.plain = false;
        qa.test = Compile(a->getQuery());
      } else {
        qa.charge = static_cast<int8_t>(std::clamp(a->getFormalCharge(), -128, 127));
        qa.isotope = static_cast<uint16_t>(std::min(a->getIsotope(), 65535u));
        qa.radicals = static_cast<uint8_t>(std::min(a->getNumRadicalElectrons(), 255u));
        qa.rings =
            ringsKnown ? static_cast<uint8_t>(std::min(rings->numAtomRings(a->getIdx()), 15u)) : 0;
      }
      out_.atoms.push_back(qa);
    }
    for (const RDKit::Bond* b : mol.bonds()) {
      QueryBond qb;
      qb.begin = static_cast<int>(b->getBeginAtomIdx());
      qb.end = static_cast<int>(b->getEndAtomIdx());
      qb.rdkitType = static_cast<uint8_t>(b->getBondType());
      if (b->hasQuery()) {
        qb.plain = false;
        qb.test = Compile(b->getQuery());
      } else if (b->getBondType() >= RDKit::Bond::DATIVEONE &&
                 b->getBondType() <= RDKit::Bond::DATIVER) {
        Fail("dative bond");  // RDKit matches its direction too
      }
      out_.bonds.push_back(qb);
    }
  }

 private:
  int32_t Add(const TestNode& node) {
    out_.nodes.push_back(node);
    return static_cast<int32_t>(out_.nodes.size()) - 1;
  }
  int32_t Fail(const std::string& what) {
    if (failure.empty()) failure = what;
    return Add(TestNode{});
  }

  // The comparison of a leaf as a closed interval of the property's values.
  template <typename Q>
  static bool Interval(const Q* q, TestNode& node) {
    using Arg = typename Q::DATA_FUNC_ARG_TYPE;
    if (const auto* r = dynamic_cast<const Queries::RangeQuery<int, Arg, true>*>(q)) {
      if (r->getTol() != 0) return false;
      const auto [lowOpen, highOpen] = r->getEndsOpen();
      node.low = r->getLower() + (lowOpen ? 1 : 0);
      node.high = r->getUpper() - (highOpen ? 1 : 0);
      return true;
    }
    // RDKit's Greater query holds when its value is greater than the
    // property (and so on for the others).
    if (const auto* g = dynamic_cast<const Queries::GreaterQuery<int, Arg, true>*>(q)) {
      if (g->getTol() != 0) return false;
      node.low = INT32_MIN;
      node.high = g->getVal() - 1;
      return true;
    }
    if (const auto* g = dynamic_cast<const Queries::GreaterEqualQuery<int, Arg, true>*>(q)) {
      if (g->getTol() != 0) return false;
      node.low = INT32_MIN;
      node.high = g->getVal();
      return true;
    }
    if (const auto* l = dynamic_cast<const Queries::LessQuery<int, Arg, true>*>(q)) {
      if (l->getTol() != 0) return false;
      node.low = l->getVal() + 1;
      node.high = INT32_MAX;
      return true;
    }
    if (const auto* l = dynamic_cast<const Queries::LessEqualQuery<int, Arg, true>*>(q)) {
      if (l->getTol() != 0) return false;
      node.low = l->getVal();
      node.high = INT32_MAX;
      return true;
    }
    if (const auto* e = dynamic_cast<const Queries::EqualityQuery<int, Arg, true>*>(q)) {
      const int tol = static_cast<int>(e->getTol());
      if (tol < 0) return false;
      node.low = e->getVal() - tol;
      node.high = e->getVal() + tol;
      return true;
    }
    return false;
  }

  CompiledQuery& out_;
};

// The element every atom the test accepts has, -1 when there is none such.
int RequiredElement(const CompiledQuery& q, int32_t node) {
  const TestNode& n = q.nodes[static_cast<size_t>(node)];
  if (n.negate) return -1;
  switch (n.op) {
    case TestNode::kCompare:
      if (n.low != n.high) return -1;
      if (n.property == Property::kAtomicNum) return n.low;
      if (n.property == Property::kAtomType) return n.low > 1000 ? n.low - 1000 : n.low;
      return -1;
    case TestNode::kAnd:
      for (int32_t k = 0; k < n.count; ++k) {
        const int z = RequiredElement(q, q.children[static_cast<size_t>(n.first + k)]);
        if (z >= 0) return z;
      }
      return -1;
    case TestNode::kOr: {
      int z = -2;
      for (int32_t k = 0; k < n.count; ++k) {
        const int c = RequiredElement(q, q.children[static_cast<size_t>(n.first + k)]);
        if (c < 0 || (z != -2 && c != z)) return -1;
        z = c;
      }
      return z < 0 ? -1 : z;
    }
    default:
      return -1;
  }
}

// Whether the test accepts no carbon atom.
bool ExcludesCarbon(const CompiledQuery& q, int32_t node) {
  const TestNode& n = q.nodes[static_cast<size_t>(node)];
  const auto child = [&](int32_t k) { return q.children[static_cast<size_t>(n.first + k)]; };
  if (n.negate) {
    // "not (carbon or ...)", as the Q atom is made.
    if (n.op == TestNode::kOr) {
      for (int32_t k = 0; k < n.count; ++k) {
        if (RequiredElement(q, child(k)) == 6) return true;
      }
    }
    return false;
  }
  if (n.op == TestNode::kAnd) {
    for (int32_t k = 0; k < n.count; ++k) {
      if (ExcludesCarbon(q, child(k))) return true;
    }
    return false;
  }
  if (n.op == TestNode::kOr) {
    for (int32_t k = 0; k < n.count; ++k) {
      if (!ExcludesCarbon(q, child(k))) return false;
    }
    return n.count > 0;
  }
  const int z = RequiredElement(q, node);
  return z >= 0 && z != 6;
}

// The charge every atom the test accepts has (0: not one charge).
int RequiredCharge(const CompiledQuery& q, int32_t node) {
  const TestNode& n = q.nodes[static_cast<size_t>(node)];
  if (n.negate) return 0;
  if (n.op == TestNode::kCompare && n.low == n.high) {
    if (n.property == Property::kCharge) return n.low;
    if (n.property == Property::kNegativeCharge) return -n.low;
  }
  if (n.op == TestNode::kAnd) {
    for (int32_t k = 0; k < n.count; ++k) {
      const int c = RequiredCharge(q, q.children[static_cast<size_t>(n.first + k)]);
      if (c != 0) return c;
    }
  }
  return 0;
}

// The bond type every bond the test accepts has, -1 when there is none such.
int RequiredBondType(const CompiledQuery& q, int32_t node) {
  const TestNode& n = q.nodes[static_cast<size_t>(node)];
  if (n.negate) return -1;
  if (n.op == TestNode::kCompare && n.property == Property::kBondType && n.low == n.high) {
    return n.low;
  }
  if (n.op == TestNode::kAnd) {
    for (int32_t k = 0; k < n.count; ++k) {
      const int t = RequiredBondType(q, q.children[static_cast<size_t>(n.first + k)]);
      if (t >= 0) return t;
    }
  }
  return -1;
}

// Atoms on a cycle of the query graph: their images are on a cycle of the
// record, so in one of its rings (bridges found by depth-first search).
std::vector<bool> OnCycle(const CompiledQuery& q) {
  const size_t n = q.atoms.size();
  std::vector<std::vector<std::pair<int, int>>> adj(n);
  for (size_t k = 0; k < q.bonds.size(); ++k) {
    adj[static_cast<size_t>(q.bonds[k].begin)].push_back({q.bonds[k].end, static_cast<int>(k)});
    adj[static_cast<size_t>(q.bonds[k].end)].push_back({q.bonds[k].begin, static_cast<int>(k)});
  }
  std::vector<int> order(n, -1), low(n, 0);
  std::vector<bool> cyclic(n, false);
  int counter = 0;
  std::function<void(int, int)> visit = [&](int v, int viaBond) {
    order[static_cast<size_t>(v)] = low[static_cast<size_t>(v)] = counter++;
    for (const auto& [w, k] : adj[static_cast<size_t>(v)]) {
      if (k == viaBond) continue;
      if (order[static_cast<size_t>(w)] < 0) {
        visit(w, k);
        low[static_cast<size_t>(v)] =
            std::min(low[static_cast<size_t>(v)], low[static_cast<size_t>(w)]);
        if (low[static_cast<size_t>(w)] <= order[static_cast<size_t>(v)]) {
          cyclic[static_cast<size_t>(v)] = cyclic[static_cast<size_t>(w)] = true;
        }
      } else {
        low[static_cast<size_t>(v)] =
            std::min(low[static_cast<size_t>(v)], order[static_cast<size_t>(w)]);
        cyclic[static_cast<size_t>(v)] = cyclic[static_cast<size_t>(w)] = true;
      }
    }
  };
  for (size_t v = 0; v < n; ++v) {
    if (order[v] < 0) visit(static_cast<int>(v), -1);
  }
  return cyclic;
}

// Fills each atom's element and noCarbon, here and in recursive queries.
void Summarize(CompiledQuery& q) {
  for (QueryAtom& a : q.atoms) {
    if (a.plain) {
      a.element = a.atomicNum;
      a.noCarbon = a.atomicNum != 6;
    } else {
      a.element = static_cast<int16_t>(RequiredElement(q, a.test));
      a.noCarbon = ExcludesCarbon(q, a.test);
    }
  }
  for (auto& sub : q.recursive) Summarize(const_cast<CompiledQuery&>(*sub));
}

FeatureGraph QueryFeatures(const CompiledQuery& q) {
  FeatureGraph g;
  const size_t n = q.atoms.size();
  g.element.assign(n, -1);
  g.ringLevel.assign(n, 0);
  g.charge.assign(n, 0);
  g.edges.resize(n);
  const std::vector<bool> cyclic = OnCycle(q);
  for (size_t a = 0; a < n; ++a) {
    const QueryAtom& qa = q.atoms[a];
    if (qa.plain) {
      g.element[a] = qa.atomicNum;
      g.ringLevel[a] = std::min<int>(qa.rings, 2);
      if (qa.atomicNum != 0) g.charge[a] = qa.charge;
    } else {
      g.element[a] = RequiredElement(q, qa.test);
      if (g.element[a] >= 0) g.charge[a] = RequiredCharge(q, qa.test);
    }
    if (cyclic[a]) g.ringLevel[a] = std::max(g.ringLevel[a], 1);
  }
  for (const QueryBond& b : q.bonds) {
    int type = b.plain ? (b.rdkitType == 0 ? -1 : b.rdkitType) : RequiredBondType(q, b.test);
    g.edges[static_cast<size_t>(b.begin)].push_back({b.end, type});
    g.edges[static_cast<size_t>(b.end)].push_back({b.begin, type});
  }
  return g;
}

bool HasStereo(const RDKit::ROMol& mol) {
  for (const RDKit::Atom* a : mol.atoms()) {
    if (a->getChiralTag() == RDKit::Atom::CHI_TETRAHEDRAL_CW ||
        a->getChiralTag() == RDKit::Atom::CHI_TETRAHEDRAL_CCW) {
      return true;
    }
  }
  for (const RDKit::Bond* b : mol.bonds()) {
    if (b->getStereo() > RDKit::Bond::STEREOANY) return true;
  }
  return false;
}

}  // namespace

QueryResult CompileQuery(QueryForm form, std::string_view text, bool chiral) {
  QueryResult result;
  ParsedMol parsed;
  switch (form) {
    case QueryForm::kMolText: {
      std::string block;
      if (!MolBlockOf(text, block, result.error)) return result;
      parsed = ParseMolBlock(block, /*sanitize=*/true, /*removeHs=*/true);
      break;
    }
    case QueryForm::kSmiles:
      parsed = ParseSmiles(text);
      break;
    case QueryForm::kSmarts:
      parsed = ParseSmarts(text);
      break;
  }
  if (!parsed) {
    result.error = parsed.error;
    return result;
  }
  auto query = std::make_shared<SoundQuery>();
  query->chiral = chiral;
  Compiler compiler(query->compiled);
  compiler.Molecule(*parsed.mol);
  if (!compiler.failure.empty()) {
    query->ownMatcher = false;
    query->rdkitReason = "query test " + compiler.failure;
  } else if (chiral && HasStereo(*parsed.mol)) {
    query->ownMatcher = false;
    query->rdkitReason = "stereo matched with chirality";
  }
  // Recursive SMARTS and RDKit's matcher need the molecule's rings.
  if (form == QueryForm::kSmarts) {
    QuietRdkit();
    try {
      parsed.mol->updatePropertyCache(false);
    } catch (const std::exception&) {
    }
  }
  Summarize(query->compiled);
  query->fingerprint = QueryFingerprint(QueryFeatures(query->compiled));
  query->rdkit = std::make_shared<RdkitQuery>(std::move(parsed.mol));
  result.query = std::move(query);
  return result;
}

bool LooksLikeSmarts(std::string_view text) {
  // Something only a SMARTS says: logical operators, any-bond, recursion, an
  // atomic number, or a primitive of its own inside brackets. A mistyped
  // SMILES ("c1cccc1") is a SMARTS too, but stays a SMILES to be mended.
  bool own = text.find_first_of(";&!~$,") != std::string_view::npos ||
             text.find("[#") != std::string_view::npos;
  bool inBracket = false;
  for (char c : text) {
    if (c == '[') inBracket = true;
    if (c == ']') inBracket = false;
    if (inBracket && std::string_view("DXRrxvAaz^").find(c) != std::string_view::npos) own = true;
  }
  return own && !ParseSmiles(text) && ParseSmarts(text);
}

RdkitAnswer RdkitMatches(const SoundQuery& query, std::string_view recordMolText,
                         std::vector<int>* perceivedAtoms) {
  RdkitAnswer answer;
  std::string block;
  if (!MolBlockOf(recordMolText, block, answer.reason)) return answer;
  ParsedMol record = ParseMolBlock(block, /*sanitize=*/true, /*removeHs=*/true);
  if (!record) {
    answer.reason = record.error;
    return answer;
  }
  answer.readable = true;
  RDKit::SubstructMatchParameters params;
  params.useChirality = query.chiral;
  params.maxMatches = 1;
  try {
    const std::vector<RDKit::MatchVectType> found =
        RDKit::SubstructMatch(*record.mol, *query.rdkit->mol, params);
    answer.matches = !found.empty();
    if (answer.matches && perceivedAtoms != nullptr) {
      perceivedAtoms->assign(query.rdkit->mol->getNumAtoms(), -1);
      for (const auto& [q, t] : found.front()) (*perceivedAtoms)[static_cast<size_t>(q)] = t;
    }
  } catch (const std::exception& e) {
    answer.readable = false;
    answer.reason = e.what();
  }
  return answer;
}

}  // namespace vuduzez::chem
