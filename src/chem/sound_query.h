// A query of the exact search, read by RDKit as Python's RDKit reads it
// (MolFromMolBlock, MolFromSmiles, MolFromSmarts) and compiled into plain
// tests on the perceived graph (sound_graph.h) for our own matcher
// (search/sound_matcher.h): each atom and bond either a plain structure atom
// or bond, matched as RDKit matches one molecule in another, or a tree of
// the query tests RDKit built (SMARTS primitives, MOL query atoms A, Q, *,
// atom lists, query bonds, ring and chain bonds, recursive SMARTS). A query
// with a test not compiled here, or stereo matched with chirality, keeps the
// RDKit molecule for RDKit's own matcher (RdkitMatches).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chem/sound_fingerprint.h"
#include "chem/sound_graph.h"

namespace vuduzez::chem {

enum class QueryForm { kMolText, kSmiles, kSmarts };

// What a test node reads from a record atom or bond.
enum class Property : uint8_t {
  kNone,
  // atoms
  kAtomicNum,
  kAtomType,  // atomic number + 1000 when aromatic
  kAromatic,
  kAliphatic,
  kCharge,
  kNegativeCharge,
  kIsotope,
  kHCount,          // hydrogens, H neighbours included
  kImplicitHCount,  // hydrogens without H neighbours
  kHasImplicitH,
  kExplicitDegree,
  kTotalDegree,
  kHeavyDegree,
  kNonHydrogenDegree,
  kTotalValence,
  kExplicitValence,
  kImplicitValence,
  kUnsaturated,
  kHybridization,
  kInRing,
  kNumRings,  // value -1 in the node: "in some ring"
  kMinRingSize,
  kRingBondCount,
  kHasRingBond,
  kRadicals,
  kHeteroNeighbours,
  kHasHeteroNeighbours,
  kAliphaticHeteroNeighbours,
  kHasAliphaticHeteroNeighbours,
  kHasChiralTag,
  kMissingChiralTag,
  // bonds
  kBondType,  // RDKit's bond type
  kSingleOrAromatic,
  kDoubleOrAromatic,
  kSingleOrDouble,
  kSingleOrDoubleOrAromatic,
  kBondInRing,
  kBondRings,
  kBondMinRingSize,
};

// One node of a test tree: a comparison of one property with [low, high],
// or And / Or / Xor of the children, or true; negated when asked.
struct TestNode {
  enum Op : uint8_t { kTrue, kCompare, kAnd, kOr, kXor, kRecursive };
  Op op = kTrue;
  Property property = Property::kNone;
  bool negate = false;
  int32_t low = 0;
  int32_t high = 0;
  int32_t first = 0;  // children: indices into CompiledQuery::children
  int32_t count = 0;
  int32_t recursive = -1;  // kRecursive: index into CompiledQuery::recursive
};

struct QueryAtom {
  bool plain = true;  // a structure atom: RDKit's Atom::Match rules
  uint8_t atomicNum = 0;
  int8_t charge = 0;
  uint16_t isotope = 0;
  uint8_t radicals = 0;
  uint8_t rings = 0;  // a plain atom's image must be in at least as many rings
  int32_t test = -1;  // root node, when not plain
  // What every atom it accepts has in common, for the matcher's order and
  // its quick tests: one element (-1: not one), or at least no carbon.
  int16_t element = -1;
  bool noCarbon = false;
};

struct QueryBond {
  int begin = 0;
  int end = 0;
  bool plain = true;  // a structure bond: the same type, or either unspecified
  uint8_t rdkitType = 1;
  int32_t test = -1;
};

class RdkitQuery;  // the RDKit molecule, for RDKit's matcher (sound_query.cpp)

struct CompiledQuery {
  std::vector<QueryAtom> atoms;
  std::vector<QueryBond> bonds;
  std::vector<TestNode> nodes;
  std::vector<int32_t> children;
  // Recursive SMARTS: each a query whose atom 0 is the atom tested.
  std::vector<std::shared_ptr<const CompiledQuery>> recursive;
};

struct SoundQuery {
  CompiledQuery compiled;
  Fingerprint fingerprint{};  // bits every matching record has
  bool chiral = false;        // stereo must match (RDKit's useChirality)
  // Our matcher gives RDKit's answer; otherwise RDKit matches, and
  // rdkitReason says why (English).
  bool ownMatcher = true;
  std::string rdkitReason;
  std::shared_ptr<const RdkitQuery> rdkit;
};

struct QueryResult {
  std::shared_ptr<const SoundQuery> query;
  std::string error;  // RDKit's reason when it does not read the query
};

QueryResult CompileQuery(QueryForm form, std::string_view text, bool chiral = false);

// Whether a SMILES-looking text is rather a SMARTS: it says something only a
// SMARTS says, RDKit does not read it as a SMILES but reads it as a SMARTS.
bool LooksLikeSmarts(std::string_view text);

// RDKit's own answer for one record's MOL text (read as PerceiveRecord reads
// it): the MOL file's atom numbers of the first match when mapping is given.
struct RdkitAnswer {
  bool readable = false;
  bool matches = false;
  std::string reason;  // when not readable
};
RdkitAnswer RdkitMatches(const SoundQuery& query, std::string_view recordMolText,
                         std::vector<int>* perceivedAtoms = nullptr);

}  // namespace vuduzez::chem
