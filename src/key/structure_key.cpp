#include "key/structure_key.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "platform/encoding.h"
#include "platform/errors.h"

namespace vuduzez {

namespace {

std::string Tag(char kind, int32_t n) {
  const std::string digits = std::to_string(n);
  std::string tag;
  if (digits.size() > 3) return tag;
  tag.reserve(4);
  tag.push_back(kind);
  tag.append(3 - digits.size(), '0');
  tag.append(digits);
  return tag;
}

// Appends the three-digit tag of n (1..999) without building a string.
void AppendTag(std::string& out, char kind, int32_t n) {
  char buf[4] = {kind, static_cast<char>('0' + n / 100 % 10), static_cast<char>('0' + n / 10 % 10),
                 static_cast<char>('0' + n % 10)};
  out.append(buf, 4);
}

void AppendNumber(std::string& out, int32_t n) {
  char buf[16];
  auto res = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, res.ptr);
}

thread_local int32_t last_path_count = 0;

}  // namespace

std::string AtomTag(int32_t n) { return Tag('a', n); }

std::string BondTag(int32_t n) { return Tag('b', n); }

int32_t RingSize(const std::string& separator, const std::string& path, MessageSink& sink) {
  if (path.empty() || separator.empty()) {
    sink.ShowMessage(kNoDataMessage);
    return 0;
  }
  std::vector<int32_t> atoms;
  std::string_view rest = path;
  for (size_t p = rest.find(separator); p != std::string_view::npos; p = rest.find(separator)) {
    const std::string_view token = rest.substr(0, p);
    rest.remove_prefix(p + separator.size());
    if (token.size() == 4) {
      if (token[0] == 'a') atoms.push_back(StrToInt(std::string(token.substr(1))));
    } else if (token.size() != 1) {
      sink.ShowMessage(kBadDataMessage);
    }
  }
  const int32_t last = rest.empty() ? 0 : StrToInt(std::string(rest.substr(1)));
  const int32_t n = static_cast<int32_t>(atoms.size());
  for (int32_t k = 1; k <= n; ++k) {
    if (atoms[static_cast<size_t>(k - 1)] == last) return n + 1 - k;
  }
  return n + 1;
}

KeyWorkspace::KeyWorkspace() {
  pathlist.reserve(kMaxPathTexts);
  codelist.reserve(kMaxPathTexts);
  nodes_.reserve(1 << 14);
  onwalk_.fill(-1);
}

void KeyWorkspace::BuildAdjacency(const Molecule& mol) {
  atoms_ = std::clamp(mol.atmcount, 0, kMaxAtoms);
  bonds_ = std::clamp(mol.bndcount, 0, kMaxBonds);
  for (auto& list : adjacency_) list.clear();
  // Bonds in ascending number, so every list is sorted. A bond whose atoms lie
  // outside the molecule is at no atom (the reader refuses such files).
  for (int32_t j = 1; j <= bonds_; ++j) {
    const BondRow& b = mol.bnddata[static_cast<size_t>(j)];
    if (b.atom1 < 1 || b.atom1 > atoms_ || b.atom2 < 1 || b.atom2 > atoms_) continue;
    adjacency_[static_cast<size_t>(b.atom1)].push_back({j, b.atom2});
    if (b.atom2 != b.atom1) adjacency_[static_cast<size_t>(b.atom2)].push_back({j, b.atom1});
  }
}

KeyWorkspace::Step KeyWorkspace::NextBond(int32_t start, int32_t x, int32_t excluded) const {
  if (x < 1 || x > atoms_) return {};
  const auto& list = adjacency_[static_cast<size_t>(x)];
  auto it = std::lower_bound(list.begin(), list.end(), start,
                             [](const Adjacent& a, int32_t b) { return a.bond < b; });
  if (it != list.end() && it->bond == excluded) ++it;
  if (it == list.end()) return {};
  return {it->neighbour, it->bond};
}

int32_t KeyWorkspace::NewNode(int32_t parent, int32_t atom, int32_t bond) {
  const int32_t depth = parent < 0 ? 0 : nodes_[static_cast<size_t>(parent)].depth + 1;
  nodes_.push_back({parent, atom, bond, depth, -1});
  return static_cast<int32_t>(nodes_.size() - 1);
}

// Empties the on-walk table of the walk at walknode_.
void KeyWorkspace::ClearWalk() {
  for (int32_t n = walknode_; n >= 0; n = nodes_[static_cast<size_t>(n)].parent) {
    onwalk_[static_cast<size_t>(nodes_[static_cast<size_t>(n)].atom)] = -1;
  }
  walknode_ = -1;
}

// Makes onwalk_ describe the walk ending at node: each atom's first position
// on it. Only the part below the common ancestor of the old and new walk
// changes. An atom occurs twice on a walk only after a bond from the start
// atom to itself, which is why clearing checks the position it removes.
void KeyWorkspace::MoveTo(int32_t node) {
  int32_t a = walknode_;
  int32_t b = node;
  auto depth = [&](int32_t n) { return nodes_[static_cast<size_t>(n)].depth; };
  auto clear = [&](int32_t n) {
    const WalkNode& w = nodes_[static_cast<size_t>(n)];
    if (onwalk_[static_cast<size_t>(w.atom)] == w.depth) onwalk_[static_cast<size_t>(w.atom)] = -1;
  };
  scratch_.clear();
  while (depth(a) > depth(b)) {
    clear(a);
    a = nodes_[static_cast<size_t>(a)].parent;
  }
  while (depth(b) > depth(a)) {
    scratch_.push_back(b);
    b = nodes_[static_cast<size_t>(b)].parent;
  }
  while (a != b) {
    clear(a);
    a = nodes_[static_cast<size_t>(a)].parent;
    scratch_.push_back(b);
    b = nodes_[static_cast<size_t>(b)].parent;
  }
  for (auto it = scratch_.rbegin(); it != scratch_.rend(); ++it) {
    const WalkNode& w = nodes_[static_cast<size_t>(*it)];
    if (onwalk_[static_cast<size_t>(w.atom)] < 0) onwalk_[static_cast<size_t>(w.atom)] = w.depth;
  }
  walknode_ = node;
}

// Ring size of the walk closed back to a neighbour on it: the atoms from the
// neighbour's first position to the walk's end (onwalk_ describes the walk).
int32_t KeyWorkspace::RingAt(const StkData& walk, int32_t neighbour) const {
  const int32_t first = onwalk_[static_cast<size_t>(neighbour)];
  if (first < 0) return 0;
  return nodes_[static_cast<size_t>(walk.path)].depth + 1 - first;
}

bool KeyWorkspace::Store(int32_t walk, int32_t closebond, int32_t ringsize) {
  if (pathcount + 1 >= kMaxPathTexts) return false;
  pathlist.push_back({walk, closebond, ringsize});
  ++pathcount;
  return true;
}

// Top deferred walk becomes the current one; false when there is none.
bool KeyWorkspace::Pop() {
  if (stacktop == 0) return false;
  walkstack[0] = walkstack[static_cast<size_t>(stacktop)];
  walkstack[static_cast<size_t>(stacktop)] = StkData{};
  --stacktop;
  return true;
}

void KeyWorkspace::Push(const StkData& walk, const Molecule& mol, MessageSink& sink) {
  if (stacktop >= kMaxDeferredWalks) {
    sink.ShowMessage(AnsiToUtf8(mol.molname) + kStackShortSuffix);
    return;
  }
  walkstack[static_cast<size_t>(++stacktop)] = walk;
  stackhigh_ = std::max(stackhigh_, stacktop);
}

// First continuation (neighbour u by bond c) of the walk: a ring closure is
// stored and the top deferred walk becomes current; otherwise the extended
// walk becomes current. False when the path list is full.
bool KeyWorkspace::ExtendWalk(const StkData& walk, const Step& step, bool& current) {
  const int32_t ring = RingAt(walk, step.neighbour);
  if (ring > 0) {
    if (!Store(walk.path, step.bond, ring)) return false;
    current = Pop();
  } else {
    walkstack[0] = {step.neighbour, step.bond, NewNode(walk.path, step.neighbour, step.bond)};
    current = true;
  }
  return true;
}

// Further continuations: a ring closure is stored; a new walk becomes current
// when there is none, else it is deferred.
bool KeyWorkspace::BranchWalk(const StkData& walk, const Step& step, bool& current,
                              const Molecule& mol, MessageSink& sink) {
  const int32_t ring = RingAt(walk, step.neighbour);
  if (ring > 0) return Store(walk.path, step.bond, ring);
  const StkData next{step.neighbour, step.bond, NewNode(walk.path, step.neighbour, step.bond)};
  if (current) {
    Push(next, mol, sink);
  } else {
    walkstack[0] = next;
    current = true;
  }
  return true;
}

bool KeyWorkspace::Enumerate(const Molecule& mol, MessageSink& sink) {
  for (int32_t s = 1; s <= atoms_; ++s) {
    stacktop = 0;
    if (adjacency_[static_cast<size_t>(s)].empty()) continue;
    ClearWalk();
    const int32_t root = NewNode(-1, s, 0);
    onwalk_[static_cast<size_t>(s)] = 0;
    walknode_ = root;

    Step step = NextBond(1, s, 0);
    walkstack[0] = {step.neighbour, step.bond, NewNode(root, step.neighbour, step.bond)};
    bool current = true;
    while ((step = NextBond(step.bond + 1, s, 0)).neighbour != 0) {
      Push({step.neighbour, step.bond, NewNode(root, step.neighbour, step.bond)}, mol, sink);
    }

    while (current) {
      const StkData walk = walkstack[0];
      MoveTo(walk.path);
      step = NextBond(1, walk.atom, walk.bond);
      if (step.neighbour == 0) {
        if (!Store(walk.path, 0, 0)) return false;
        current = Pop();
        continue;
      }
      if (!ExtendWalk(walk, step, current)) return false;
      while ((step = NextBond(step.bond + 1, walk.atom, walk.bond)).neighbour != 0) {
        if (!BranchWalk(walk, step, current, mol, sink)) return false;
      }
    }
  }
  ClearWalk();
  return true;
}

// Six-rings with exactly three double bonds and no aromatic bond, and
// ten-rings with more than four double or aromatic bonds, become aromatic, in
// path list order: each test sees what the rows before it marked.
void KeyWorkspace::MarkAromatic(Molecule& mol) {
  std::vector<int32_t>& ring = scratch_;
  for (int32_t i = 1; i <= pathcount; ++i) {
    const PathRow& row = pathlist[static_cast<size_t>(i)];
    if (row.ringsize != 6 && row.ringsize != 10) continue;
    ring.clear();
    ring.push_back(row.closebond);
    int32_t n = row.walk;
    for (int32_t k = 1; k < row.ringsize; ++k) {
      ring.push_back(nodes_[static_cast<size_t>(n)].bond);
      n = nodes_[static_cast<size_t>(n)].parent;
    }
    int32_t doubles = 0, aromatic = 0;
    for (int32_t b : ring) {
      const int32_t order = mol.bnddata[static_cast<size_t>(b)].order;
      doubles += order == 2;
      aromatic += order == 4;
    }
    const bool mark = row.ringsize == 6 ? aromatic == 0 && doubles == 3 : doubles + aromatic > 4;
    if (!mark) continue;
    for (int32_t b : ring) {
      mol.bnddata[static_cast<size_t>(b)].order = 4;
      mol.bnddata[static_cast<size_t>(b)].bsym.assign(1, '@');
    }
  }
}

int32_t KeyWorkspace::TrieChild(int32_t node, unsigned char byte) const {
  for (int32_t c = trie_[static_cast<size_t>(node)].child; c >= 0;
       c = trie_[static_cast<size_t>(c)].sibling) {
    if (trie_[static_cast<size_t>(c)].byte == byte) return c;
  }
  return -1;
}

int32_t KeyWorkspace::TrieExtend(int32_t node, std::string_view bytes) {
  for (unsigned char ch : bytes) {
    int32_t next = TrieChild(node, ch);
    if (next < 0) {
      next = static_cast<int32_t>(trie_.size());
      TrieNode t;
      t.byte = ch;
      t.parent = node;
      t.depth = trie_[static_cast<size_t>(node)].depth + 1;
      t.sibling = trie_[static_cast<size_t>(node)].child;
      trie_.push_back(t);
      trie_[static_cast<size_t>(node)].child = next;
    }
    node = next;
  }
  return node;
}

// Trie node of a walk's code: the code of the walk one atom shorter, the bond
// character and the atom symbol. Walks share their beginnings, so each walk
// node is rendered once, and only walks that lead to stored texts are.
int32_t KeyWorkspace::WalkCode(int32_t walk, const Molecule& mol) {
  std::vector<int32_t>& chain = scratch_;
  chain.clear();
  int32_t n = walk;
  while (n >= 0 && nodes_[static_cast<size_t>(n)].code < 0) {
    chain.push_back(n);
    n = nodes_[static_cast<size_t>(n)].parent;
  }
  int32_t code = n < 0 ? 0 : nodes_[static_cast<size_t>(n)].code;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    WalkNode& w = nodes_[static_cast<size_t>(*it)];
    if (w.bond > 0) code = TrieExtend(code, mol.bnddata[static_cast<size_t>(w.bond)].bsym);
    code = TrieExtend(code, mol.atmdata[static_cast<size_t>(w.atom)].symbol);
    w.code = code;
  }
  return code;
}

// Every row's code goes into the trie, rendered with the bond characters as
// the marking left them. A row's code is its trie node; its text is spelled
// from the node when needed (Code).
void KeyWorkspace::Render(const Molecule& mol) {
  trie_.clear();
  trie_.emplace_back();
  codelist.assign(static_cast<size_t>(pathcount) + 1, StStock{});
  for (int32_t i = 1; i <= pathcount; ++i) {
    const PathRow& row = pathlist[static_cast<size_t>(i)];
    int32_t code = WalkCode(row.walk, mol);
    if (row.ringsize > 0) {
      code = TrieExtend(code, mol.bnddata[static_cast<size_t>(row.closebond)].bsym);
      char digits[16];
      auto res = std::to_chars(digits, digits + sizeof digits, row.ringsize);
      code = TrieExtend(code, std::string_view(digits, static_cast<size_t>(res.ptr - digits)));
    }
    TrieNode& t = trie_[static_cast<size_t>(code)];
    if (t.first == 0) t.first = i;
    codelist[static_cast<size_t>(i)] = {code, static_cast<uint32_t>(t.depth), 0};
  }
}

// A code stays when it is the first of its equals and no longer code contains
// it. Every trie node spells the beginning of some code, so a code is inside
// a longer one exactly when it has nodes below it (it begins a longer code)
// or it is a proper ending of some node's text (found along the
// Aho-Corasick fail links). No code text is compared.
void KeyWorkspace::Select() {
  std::vector<int32_t>& queue = scratch_;
  queue.clear();
  for (int32_t c = trie_[0].child; c >= 0; c = trie_[static_cast<size_t>(c)].sibling) {
    trie_[static_cast<size_t>(c)].fail = 0;
    trie_[static_cast<size_t>(c)].dict = trie_[0].first ? 0 : -1;
    queue.push_back(c);
  }
  for (size_t q = 0; q < queue.size(); ++q) {
    const int32_t v = queue[q];
    for (int32_t c = trie_[static_cast<size_t>(v)].child; c >= 0;
         c = trie_[static_cast<size_t>(c)].sibling) {
      const unsigned char ch = trie_[static_cast<size_t>(c)].byte;
      int32_t f = trie_[static_cast<size_t>(v)].fail;
      int32_t target = TrieChild(f, ch);
      while (target < 0 && f != 0) {
        f = trie_[static_cast<size_t>(f)].fail;
        target = TrieChild(f, ch);
      }
      const int32_t fail = target < 0 ? 0 : target;
      TrieNode& t = trie_[static_cast<size_t>(c)];
      t.fail = fail;
      t.dict =
          trie_[static_cast<size_t>(fail)].first ? fail : trie_[static_cast<size_t>(fail)].dict;
      queue.push_back(c);
    }
  }

  // The codes that end some node's text early: the dictionary links of every
  // node, and theirs in turn (a marked code's links are marked already).
  for (TrieNode& node : trie_) {
    for (int32_t t = node.dict; t >= 0 && !trie_[static_cast<size_t>(t)].ending;) {
      trie_[static_cast<size_t>(t)].ending = true;
      t = trie_[static_cast<size_t>(t)].dict;
    }
  }

  for (int32_t i = 1; i <= pathcount; ++i) {
    StStock& row = codelist[static_cast<size_t>(i)];
    const TrieNode& t = trie_[static_cast<size_t>(row.node)];
    row.dropped = (t.first != i || t.child >= 0 || t.ending) ? 1 : 0;
  }
}

namespace {

// An explicit hydrogen the key may do without: plain H, no charge, radical or
// isotope, one bond, to an atom that is not a hydrogen.
bool OmittableHydrogen(const Molecule& mol, int32_t i) {
  const PosRow& p = mol.posdata[static_cast<size_t>(i)];
  if (mol.atmdata[static_cast<size_t>(i)].symbol != "H" || p.elem != kHydrogen || p.isotope != 0 ||
      p.formal != 0 || p.charge != 0 || p.radical != 0 ||
      mol.atmdata[static_cast<size_t>(i)].degree != 1) {
    return false;
  }
  for (int32_t j = 1; j <= mol.bndcount; ++j) {
    const BondRow& b = mol.bnddata[static_cast<size_t>(j)];
    if (b.atom1 != i && b.atom2 != i) continue;
    const int32_t other = b.atom1 == i ? b.atom2 : b.atom1;
    return other != i && mol.posdata[static_cast<size_t>(other)].elem != kHydrogen;
  }
  return false;
}

// mol without those hydrogens: atoms and bonds renumbered in their order.
// bondOf[j] is the bond of mol that bond j of the copy stands for.
int32_t WithoutHydrogens(const Molecule& mol, Molecule& out, std::vector<int32_t>& bondOf) {
  std::vector<int32_t> atomOf(static_cast<size_t>(mol.atmcount) + 1, 0);
  out.ResetTables();
  out.molname = mol.molname;
  out.keydata = mol.keydata;
  int32_t atoms = 0, left = 0;
  for (int32_t i = 1; i <= mol.atmcount; ++i) {
    if (OmittableHydrogen(mol, i)) {
      ++left;
      continue;
    }
    atomOf[static_cast<size_t>(i)] = ++atoms;
    out.atmdata[static_cast<size_t>(atoms)] = mol.atmdata[static_cast<size_t>(i)];
    out.atmdata[static_cast<size_t>(atoms)].degree = 0;
    out.posdata[static_cast<size_t>(atoms)] = mol.posdata[static_cast<size_t>(i)];
  }
  bondOf.assign(1, 0);
  int32_t bonds = 0;
  for (int32_t j = 1; j <= mol.bndcount; ++j) {
    const BondRow& b = mol.bnddata[static_cast<size_t>(j)];
    const int32_t a1 = atomOf[static_cast<size_t>(b.atom1)],
                  a2 = atomOf[static_cast<size_t>(b.atom2)];
    if (a1 == 0 || a2 == 0) continue;
    BondRow& c = out.bnddata[static_cast<size_t>(++bonds)];
    c = b;
    c.atom1 = a1;
    c.atom2 = a2;
    out.atmdata[static_cast<size_t>(a1)].degree += 1;
    out.atmdata[static_cast<size_t>(a2)].degree += 1;
    bondOf.push_back(j);
  }
  out.atmcount = atoms;
  out.bndcount = bonds;
  return left;
}

}  // namespace

KeyResult KeyWorkspace::Run(Molecule& mol, MessageSink& sink) {
  KeyResult result = RunOnce(mol, sink);
  if (result.ok()) return result;
  bool any = false;
  for (int32_t i = 1; i <= mol.atmcount && !any; ++i) any = OmittableHydrogen(mol, i);
  if (any) {
    auto reduced = std::make_unique<Molecule>();
    std::vector<int32_t> bondOf;
    const int32_t left = WithoutHydrogens(mol, *reduced, bondOf);
    KeyResult again = RunOnce(*reduced, sink);
    if (again.ok()) {
      mol.keydata = std::move(reduced->keydata);
      // The aromatic marks go to the bonds they stand for.
      for (int32_t j = 1; j <= reduced->bndcount; ++j) {
        BondRow& b = mol.bnddata[static_cast<size_t>(bondOf[static_cast<size_t>(j)])];
        b.order = reduced->bnddata[static_cast<size_t>(j)].order;
        b.bsym = reduced->bnddata[static_cast<size_t>(j)].bsym;
      }
      again.hydrogensLeftOut = left;
      return again;
    }
  }
  sink.ShowMessage(result.message);
  return result;
}

KeyResult KeyWorkspace::RunOnce(Molecule& mol, MessageSink& sink) {
  // Rows above the highest one used are still empty from the last reset.
  std::fill(walkstack.begin(), walkstack.begin() + stackhigh_ + 1, StkData{});
  stackhigh_ = 0;
  stacktop = 0;
  pathlist.assign(1, PathRow{});
  pathcount = 0;
  codelist.assign(1, StStock{});
  nodes_.clear();
  walknode_ = -1;
  onwalk_.fill(-1);
  BuildAdjacency(mol);

  const bool complete = Enumerate(mol, sink);
  last_path_count = pathcount;
  if (!complete) {
    std::string text = MoleculeTooLargeMessage(mol.molname.empty() ? std::string(kUnnamedStructure)
                                                                   : AnsiToUtf8(mol.molname));
    return {KeyStatus::kTooLarge, std::move(text)};
  }
  MarkAromatic(mol);
  Render(mol);
  Select();

  std::string key;
  bool first = true;
  for (int32_t i = 1; i <= pathcount; ++i) {
    const StStock& row = codelist[static_cast<size_t>(i)];
    if (row.dropped) continue;
    if (!first) key += '/';
    AppendCode(key, row);
    first = false;
  }
  mol.keydata = std::move(key);
  return {};
}

std::string KeyWorkspace::WalkText(int32_t node) const {
  std::vector<int32_t> chain;
  for (int32_t n = node; n >= 0; n = nodes_[static_cast<size_t>(n)].parent) chain.push_back(n);
  std::string text;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const WalkNode& w = nodes_[static_cast<size_t>(*it)];
    if (w.bond > 0) {
      text += '-';
      AppendTag(text, 'b', w.bond);
      text += '-';
    }
    AppendTag(text, 'a', w.atom);
  }
  return text;
}

std::string KeyWorkspace::PathText(int32_t row) const {
  const PathRow& r = pathlist.at(static_cast<size_t>(row));
  std::string text = WalkText(r.walk);
  if (r.ringsize > 0) {
    text += '-';
    AppendTag(text, 'b', r.closebond);
    text += '-';
    AppendNumber(text, r.ringsize);
  }
  return text;
}

void KeyWorkspace::AppendCode(std::string& out, const StStock& row) const {
  const size_t at = out.size();
  out.append(row.length, '\0');
  for (int32_t n = row.node; n > 0; n = trie_[static_cast<size_t>(n)].parent) {
    const TrieNode& t = trie_[static_cast<size_t>(n)];
    out[at + static_cast<size_t>(t.depth) - 1] = static_cast<char>(t.byte);
  }
}

std::string KeyWorkspace::Code(int32_t row) const {
  std::string code;
  AppendCode(code, codelist.at(static_cast<size_t>(row)));
  return code;
}

KeyResult MakeStructureKey(Molecule& mol, MessageSink& sink, KeyWorkspace& ws) {
  return ws.Run(mol, sink);
}

KeyResult MakeStructureKey(Molecule& mol, MessageSink& sink) {
  thread_local std::unique_ptr<KeyWorkspace> ws = std::make_unique<KeyWorkspace>();
  return ws->Run(mol, sink);
}

int32_t LastPathCount() { return last_path_count; }

}  // namespace vuduzez
