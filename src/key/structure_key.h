// Structure keys: the path codes of every bonded walk through a molecule, with
// six- and ten-membered aromatic rings marked, the maximal ones joined by "/".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

inline constexpr int kMaxPathTexts = 10000;  // the store that makes the 10000th fails
inline constexpr int kMaxDeferredWalks = 10000;

// Whether a key was made.
enum class KeyStatus { kOk, kTooLarge };

struct KeyResult {
  KeyStatus status = KeyStatus::kOk;
  std::string message;  // why it failed, as shown (UTF-8); empty when ok
  // Explicit hydrogens the key was made without: it failed at the path limit
  // with them and was made again without them (0 when it was not).
  int hydrogensLeftOut = 0;
  bool ok() const { return status == KeyStatus::kOk; }
  explicit operator bool() const { return ok(); }
  // The molecule's key failure flag for this result: "T" when the key failed.
  const char* keyfail() const { return ok() ? "F" : "T"; }
};

// "a" + three digits (atom 7 is "a007"); four or more digits give "".
std::string AtomTag(int32_t n);
// "b" + three digits.
std::string BondTag(int32_t n);

// Ring size of a path text whose last atom tag repeats an earlier one (or the
// number of atoms when none repeats). Shows "データが未入力です" on empty input
// and "データが不正です" for each token of a wrong length.
int32_t RingSize(const std::string& separator, const std::string& path, MessageSink& sink);

// One walk of the enumeration: its last atom, the bond by which that atom was
// reached and its open path text. The text is held as a node of the run's
// walk tree (KeyWorkspace::WalkText renders it).
struct StkData {
  int32_t atom = 0;
  int32_t bond = 0;
  int32_t path = -1;
};

// One stored path text: the open walk, and for a closed text the ring-closing
// bond and the ring size (both 0 for an open text).
struct PathRow {
  int32_t walk = -1;
  int32_t closebond = 0;
  int32_t ringsize = 0;
};

// One path code, held as its node in the run's code trie (KeyWorkspace::Code
// spells it), and whether it stays out of the key.
struct StStock {
  int32_t node = 0;
  uint32_t length = 0;
  uint8_t dropped = 0;
};

// The tables of key generation. Allocated once and reused by every run; after
// a run they describe that run (for tests and diagnostics).
class KeyWorkspace {
 public:
  KeyWorkspace();

  // The whole key generation on mol: see MakeStructureKey.
  KeyResult Run(Molecule& mol, MessageSink& sink);
  // One run on mol as it is; the too-large message is left to the caller.
  KeyResult RunOnce(Molecule& mol, MessageSink& sink);

  // Neighbour and number of the first bond at atom x, in ascending bond number
  // from start on, other than excluded; neighbour 0 when there is none.
  struct Step {
    int32_t neighbour = 0;
    int32_t bond = 0;
  };
  Step NextBond(int32_t start, int32_t x, int32_t excluded) const;

  // Path text of pathlist row i (1-based), e.g. "a001-b001-a002-b002-a003".
  std::string PathText(int32_t row) const;
  // Open path text of a walk node.
  std::string WalkText(int32_t node) const;
  // Path code of codelist row i (1-based).
  std::string Code(int32_t row) const;

  std::array<StkData, kMaxDeferredWalks + 1> walkstack;  // row 0: current walk
  int32_t stacktop = 0;
  std::vector<PathRow> pathlist;  // rows 1..pathcount; row 0 unused
  int32_t pathcount = 0;
  std::vector<StStock> codelist;  // rows 1..pathcount; row 0 unused

 private:
  struct WalkNode {
    int32_t parent;  // -1 for the start atom
    int32_t atom;
    int32_t bond;  // by which atom was reached; 0 for the start atom
    int32_t depth;
    int32_t code;  // trie node of the walk's code once rendered, else -1
  };
  struct Adjacent {
    int32_t bond;
    int32_t neighbour;
  };
  // Trie of the path codes with Aho-Corasick links. Every node spells the
  // beginning of some row's code.
  struct TrieNode {
    int32_t child = -1;
    int32_t sibling = -1;
    int32_t parent = -1;
    int32_t depth = 0;
    int32_t fail = 0;
    int32_t dict = -1;    // nearest code node along the fail links
    int32_t first = 0;    // first codelist row with this code, 0 if none
    bool ending = false;  // a code that ends a longer node's text
    unsigned char byte = 0;
  };

  void BuildAdjacency(const Molecule& mol);
  int32_t NewNode(int32_t parent, int32_t atom, int32_t bond);
  void MoveTo(int32_t node);
  void ClearWalk();
  bool Enumerate(const Molecule& mol, MessageSink& sink);
  bool ExtendWalk(const StkData& walk, const Step& step, bool& current);
  bool BranchWalk(const StkData& walk, const Step& step, bool& current, const Molecule& mol,
                  MessageSink& sink);
  bool Store(int32_t walk, int32_t closebond, int32_t ringsize);
  bool Pop();
  void Push(const StkData& walk, const Molecule& mol, MessageSink& sink);
  int32_t RingAt(const StkData& walk, int32_t neighbour) const;
  void MarkAromatic(Molecule& mol);
  void Render(const Molecule& mol);
  void Select();
  int32_t TrieChild(int32_t node, unsigned char byte) const;
  int32_t TrieExtend(int32_t node, std::string_view bytes);
  int32_t WalkCode(int32_t walk, const Molecule& mol);
  void AppendCode(std::string& out, const StStock& row) const;

  int32_t atoms_ = 0;
  int32_t bonds_ = 0;
  std::array<std::vector<Adjacent>, kMaxAtoms + 1> adjacency_;
  std::vector<WalkNode> nodes_;
  std::array<int32_t, kMaxAtoms + 1> onwalk_{};  // position on the walk at walknode_, -1 off it
  int32_t walknode_ = -1;
  int32_t stackhigh_ = 0;  // highest walkstack row written since the last reset
  std::vector<int32_t> scratch_;
  std::vector<TrieNode> trie_;
};

// Writes mol.keydata and marks aromatic bonds (order 4, bsym "@"). A molecule
// whose walks reach 10000 path texts is keyed again without its explicit
// hydrogens that carry no charge and no isotope and are bonded to one heavy
// atom (hydrogens drawn on a drug-sized molecule multiply its walks); the
// result then says how many were left out. When that fails too, or there are
// none to leave out, it shows the reason, "<molname>は分子が大きすぎます"
// ("名前のない構造" for a molecule without a name), leaves keydata unchanged and
// returns a result that says why; the program's keyfail flag is set from it.
// Runs on a workspace kept per thread.
KeyResult MakeStructureKey(Molecule& mol, MessageSink& sink);

// The same on a workspace of the caller's, which then holds the run's tables.
KeyResult MakeStructureKey(Molecule& mol, MessageSink& sink, KeyWorkspace& ws);

// Number of path texts stored by the last MakeStructureKey on this thread
// (for benchmarks and diagnostics).
int32_t LastPathCount();

}  // namespace vuduzez
