#include "model/smiles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "model/kekule.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

constexpr int kAromatic = 5;      // bond order of an aromatic bond until kekulized
constexpr int kMaxHAtoms = 5000;  // [H] atoms kept for folding; bounds the work
constexpr int kMaxParseBonds = 10000;

struct SmAtom {
  char sym[3] = {};  // "C", "Cl", "*"
  bool aromatic = false;
  bool bracket = false;
  int hcount = 0;  // bracket atoms only
  int charge = 0;
  int isotope = 0;  // bracket atoms only
  int pos = 0;      // 1-based character
  int bonds = 0;
  int valenceSum = 0;     // bond orders, an aromatic bond counted as 1
  bool multiple = false;  // has an explicit double or triple bond
  int index = 0;          // row in the tables, 0 when folded
};

struct SmBond {
  int a = 0;
  int b = 0;
  int order = 1;
  int pos = 0;
  int ring = 0;  // ring-closure number
};

struct RingOpen {
  int number = 0;
  int atom = 0;
  int order = 0;  // 0: no bond symbol at the opening
  int pos = 0;
};

struct Branch {
  int atom = 0;
  int pos = 0;
  int atomsBefore = 0;
};

// Error of the read: where and what. Thrown inside the parser only.
struct Fault {
  int pos;
  std::string text;
};

[[noreturn]] void Fail(int pos, std::string text) { throw Fault{pos, std::move(text)}; }

constexpr std::string_view kElements118 =
    " H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As Se"
    " Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm Sm Eu Gd Tb"
    " Dy Ho Er Tm Yb Lu Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn Fr Ra Ac Th Pa U Np Pu Am Cm"
    " Bk Cf Es Fm Md No Lr Rf Db Sg Bh Hs Mt Ds Rg Cn Nh Fl Mc Lv Ts Og ";

bool IsElement(std::string_view sym) {
  char buf[5] = {' ', 0, 0, 0, 0};
  std::memcpy(buf + 1, sym.data(), sym.size());
  buf[sym.size() + 1] = ' ';
  return kElements118.find(std::string_view(buf, sym.size() + 2)) != std::string_view::npos;
}

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Which atoms must take a double bond of the aromatic system: those whose
// lowest fitting valence leaves one bond free after their single bonds and
// hydrogens. Charges shift the valences as for the isoelectronic element.
bool NeedsDoubleBond(const SmAtom& a) {
  if (a.multiple) return false;
  const std::string_view s = a.sym;
  const int q = a.charge;
  std::array<int, 3> v = {0, 0, 0};
  if (s == "C") {
    v = {4 - (q < 0 ? -q : q), 0, 0};
  } else if (s == "B") {
    v = {3 - q, 0, 0};
  } else if (s == "N" || s == "P" || s == "As") {
    v = {3 + q, 5 + q, 0};
  } else if (s == "O" || s == "S" || s == "Se" || s == "Te") {
    v = {2 + q, s == "O" ? 0 : 4 + q, s == "O" ? 0 : 6 + q};
  } else {
    return false;
  }
  const int used = a.valenceSum + a.hcount;
  for (int val : v) {
    if (val > 0 && val >= used) return val - used >= 1;
  }
  return false;
}

class Parser {
 public:
  SmilesResult Read(Molecule& mol, std::string_view text);

 private:
  void Parse(std::string_view s, size_t begin, size_t end);
  size_t ParseBracket(std::string_view s, size_t i, size_t end, SmAtom& atom);
  void AddAtom(const SmAtom& atom);
  void AddBond(int a, int b, int order, int pos, std::vector<SmBond>& into);
  void Kekulize();
  void Fill(Molecule& mol);

  std::vector<SmAtom> atoms_;
  std::vector<SmBond> bonds_;     // in the order written
  std::vector<SmBond> closures_;  // ring-closure bonds in the order closed
  std::vector<RingOpen> open_;
  std::vector<Branch> branches_;
  int heavy_ = 0;
  int hydrogens_ = 0;
  std::vector<char> need_;
  KekuleGraph graph_;
};

void Parser::AddAtom(const SmAtom& atom) {
  const bool hydrogen = atom.sym[0] == 'H' && atom.sym[1] == '\0';
  if (hydrogen ? ++hydrogens_ > kMaxHAtoms : ++heavy_ > kMaxAtoms) {
    Fail(atom.pos, SmilesTooManyAtomsMessage(kMaxAtoms));
  }
  atoms_.push_back(atom);
}

void Parser::AddBond(int a, int b, int order, int pos, std::vector<SmBond>& into) {
  if (bonds_.size() + closures_.size() >= static_cast<size_t>(kMaxParseBonds)) {
    Fail(pos, SmilesTooManyBondsMessage(kMaxBonds));
  }
  if (order == 0) {
    order = atoms_[static_cast<size_t>(a)].aromatic && atoms_[static_cast<size_t>(b)].aromatic
                ? kAromatic
                : 1;
  }
  into.push_back({a, b, order, pos});
  for (int x : {a, b}) {
    SmAtom& at = atoms_[static_cast<size_t>(x)];
    at.bonds += 1;
    at.valenceSum += order == kAromatic ? 1 : order;
    if (order == 2 || order == 3) at.multiple = true;
  }
}

size_t Parser::ParseBracket(std::string_view s, size_t i, size_t end, SmAtom& atom) {
  const int open = static_cast<int>(i) + 1;
  auto at = [&](size_t k) { return k < end ? s[k] : '\0'; };
  auto pos = [](size_t k) { return static_cast<int>(k) + 1; };
  auto unexpected = [&](size_t k) -> void {
    if (k >= end) Fail(open, kSmilesOpenBracket);
    Fail(pos(k), SmilesBadInBracketMessage(s[k]));
  };
  ++i;
  while (IsDigit(at(i))) {
    if (atom.isotope < 1000) atom.isotope = atom.isotope * 10 + (at(i) - '0');
    ++i;
  }
  const char c = at(i);
  if (c == '*') {
    atom.sym[0] = '*';
    ++i;
  } else if (IsUpper(c)) {
    const char d = at(i + 1);
    if (IsLower(d) && IsElement(std::string_view(&s[i], 2))) {
      atom.sym[0] = c;
      atom.sym[1] = d;
      i += 2;
    } else if (IsElement(std::string_view(&s[i], 1))) {
      atom.sym[0] = c;
      ++i;
    } else {
      Fail(pos(i),
           SmilesUnknownElementMessage(std::string(1, c) + (IsLower(d) ? std::string(1, d) : "")));
    }
  } else if (IsLower(c)) {
    const char d = at(i + 1);
    const std::string_view two = IsLower(d) ? std::string_view(&s[i], 2) : std::string_view();
    if (two == "se" || two == "as" || two == "te") {
      atom.sym[0] = static_cast<char>(c - 'a' + 'A');
      atom.sym[1] = d;
      i += 2;
    } else if (std::string_view("bcnops").find(c) != std::string_view::npos) {
      atom.sym[0] = static_cast<char>(c - 'a' + 'A');
      ++i;
    } else {
      Fail(pos(i),
           SmilesBadAromaticMessage(std::string(two.empty() ? std::string_view(&s[i], 1) : two)));
    }
    atom.aromatic = true;
  } else {
    if (c == ']') Fail(pos(i), kSmilesNoElement);
    unexpected(i);
  }
  // Chirality, ignored: @, @@, @TH1, @AL2, @SP3, @TB12, @OH25.
  if (at(i) == '@') {
    ++i;
    if (at(i) == '@') {
      ++i;
    } else {
      const std::string_view cls = i + 2 <= end ? s.substr(i, 2) : std::string_view();
      if (cls == "TH" || cls == "AL" || cls == "SP" || cls == "TB" || cls == "OH") {
        i += 2;
        if (!IsDigit(at(i))) unexpected(i);
        while (IsDigit(at(i))) ++i;
      }
    }
  }
  if (at(i) == 'H') {
    ++i;
    atom.hcount = 1;
    if (IsDigit(at(i))) atom.hcount = at(i++) - '0';
  }
  if (at(i) == '+' || at(i) == '-') {
    const char sign = at(i);
    const int from = pos(i);
    int n = 1;
    ++i;
    if (IsDigit(at(i))) {
      n = at(i++) - '0';
      if (IsDigit(at(i))) n = n * 10 + (at(i++) - '0');
    } else {
      while (at(i) == sign) {
        ++n;
        ++i;
      }
    }
    if (n > 15) Fail(from, SmilesChargeTooLargeMessage(n));
    atom.charge = sign == '+' ? n : -n;
  }
  if (at(i) == ':') {  // atom class, ignored
    ++i;
    if (!IsDigit(at(i))) unexpected(i);
    while (IsDigit(at(i))) ++i;
  }
  if (at(i) != ']') unexpected(i);
  return i + 1;
}

void Parser::Parse(std::string_view s, size_t begin, size_t end) {
  int prev = -1;
  int bondOrder = -1;  // pending bond symbol: -1 none, 0 "/" "\", else its order
  int bondPos = 0;
  int partPos = 0;  // position of a "." that still waits for its atom
  auto pos = [](size_t k) { return static_cast<int>(k) + 1; };

  size_t i = begin;
  while (i < end) {
    const char c = s[i];
    SmAtom atom;
    atom.pos = pos(i);
    bool isAtom = true;
    switch (c) {
      case 'B':
      case 'C':
        atom.sym[0] = c;
        if (i + 1 < end && s[i + 1] == (c == 'B' ? 'r' : 'l')) {
          atom.sym[1] = s[i + 1];
          ++i;
        }
        ++i;
        break;
      case 'N':
      case 'O':
      case 'P':
      case 'S':
      case 'F':
      case 'I':
        atom.sym[0] = c;
        ++i;
        break;
      case 'b':
      case 'c':
      case 'n':
      case 'o':
      case 'p':
      case 's':
        atom.sym[0] = static_cast<char>(c - 'a' + 'A');
        atom.aromatic = true;
        ++i;
        break;
      case '*':
        atom.sym[0] = '*';
        ++i;
        break;
      case '[':
        atom.bracket = true;
        i = ParseBracket(s, i, end, atom);
        break;
      default:
        isAtom = false;
    }
    // An element outside the organic subset written without brackets: Na, Zn, K.
    if (isAtom && !atom.bracket && i < end && IsLower(s[i]) &&
        std::string_view("bcnops").find(s[i]) == std::string_view::npos && atom.sym[1] == '\0' &&
        IsElement(std::string_view(&s[i - 1], 2))) {
      const std::string sym(&s[i - 1], 2);
      Fail(atom.pos, SmilesNeedsBracketsMessage(sym));
    }
    if (isAtom) {
      const int index = static_cast<int>(atoms_.size());
      AddAtom(atom);
      if (prev >= 0) {
        AddBond(prev, index, bondOrder < 0 ? 0 : (bondOrder == 0 ? 1 : bondOrder),
                bondOrder < 0 ? atom.pos : bondPos, bonds_);
      }
      prev = index;
      bondOrder = -1;
      partPos = 0;
      continue;
    }

    const int here = pos(i);
    switch (c) {
      case '-':
      case '=':
      case '#':
      case '$':
      case ':':
      case '/':
      case '\\':
        if (c == '$') Fail(here, kSmilesQuadrupleBond);
        if (prev < 0) Fail(here, SmilesBondFirstMessage(c));
        if (bondOrder >= 0) Fail(here, kSmilesTwoBonds);
        bondOrder = c == '=' ? 2 : c == '#' ? 3 : c == ':' ? kAromatic : c == '-' ? 1 : 0;
        bondPos = here;
        ++i;
        break;
      case '(':
        if (prev < 0) Fail(here, kSmilesBranchFirst);
        if (bondOrder >= 0) Fail(bondPos, kSmilesBondAtEnd);
        branches_.push_back({prev, here, static_cast<int>(atoms_.size())});
        ++i;
        break;
      case ')':
        if (branches_.empty()) Fail(here, kSmilesUnmatchedClose);
        if (bondOrder >= 0) Fail(bondPos, kSmilesBondAtEnd);
        if (partPos > 0) Fail(partPos, kSmilesDotAtEnd);
        if (branches_.back().atomsBefore == static_cast<int>(atoms_.size())) {
          Fail(here, kSmilesEmptyBranch);
        }
        prev = branches_.back().atom;
        branches_.pop_back();
        ++i;
        break;
      case '.':
        if (prev < 0) Fail(here, kSmilesDotFirst);
        if (bondOrder >= 0) Fail(bondPos, kSmilesBondAtEnd);
        prev = -1;
        partPos = here;
        ++i;
        break;
      case '%':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9': {
        if (prev < 0) Fail(here, kSmilesRingFirst);
        int number = 0;
        if (c != '%') {
          number = c - '0';
          ++i;
        } else if (i + 1 < end && s[i + 1] == '(') {
          size_t k = i + 2;
          while (k < end && IsDigit(s[k]) && k - i < 7) number = number * 10 + (s[k++] - '0');
          if (k == i + 2 || k >= end || s[k] != ')') {
            Fail(here, kSmilesBadRingNumber);
          }
          i = k + 1;
        } else {
          if (i + 2 >= end || !IsDigit(s[i + 1]) || !IsDigit(s[i + 2])) {
            Fail(here, kSmilesRingTwoDigits);
          }
          number = (s[i + 1] - '0') * 10 + (s[i + 2] - '0');
          i += 3;
        }
        const int order = bondOrder < 0 ? 0 : (bondOrder == 0 ? 1 : bondOrder);
        auto it = std::find_if(open_.begin(), open_.end(),
                               [&](const RingOpen& r) { return r.number == number; });
        if (it == open_.end()) {
          open_.push_back({number, prev, order, here});
        } else {
          const RingOpen r = *it;
          open_.erase(it);
          if (r.atom == prev) Fail(here, SmilesRingSelfMessage(number));
          for (const auto* list : {&bonds_, &closures_}) {
            for (const SmBond& b : *list) {
              if ((b.a == prev && b.b == r.atom) || (b.a == r.atom && b.b == prev)) {
                Fail(here, SmilesRingDuplicateMessage(number));
              }
            }
          }
          if (r.order != 0 && order != 0 && r.order != order) {
            Fail(here, SmilesRingConflictMessage(number));
          }
          // A bond symbol at the opening makes the opening atom the first
          // atom of the bond, as MOL writers number it.
          if (r.order != 0) {
            AddBond(r.atom, prev, r.order, here, closures_);
          } else {
            AddBond(prev, r.atom, order, here, closures_);
          }
          closures_.back().ring = number;
        }
        bondOrder = -1;
        break;
      }
      default:
        if (IsUpper(c)) {  // an element outside the organic subset: Zn, K, H
          const size_t len = i + 1 < end && IsLower(s[i + 1]) && IsElement(s.substr(i, 2)) ? 2 : 1;
          if (len == 2 || IsElement(s.substr(i, 1))) {
            const std::string sym(s.substr(i, len));
            Fail(here, SmilesNeedsBracketsMessage(sym));
          }
        }
        Fail(here, SmilesBadCharMessage(c));
    }
  }

  if (atoms_.empty()) Fail(static_cast<int>(begin) + 1, kSmilesNoAtoms);
  if (bondOrder >= 0) Fail(bondPos, kSmilesBondAtEnd);
  if (partPos > 0) Fail(partPos, kSmilesDotAtEnd);
  // Of the things left open, the earliest is reported.
  int firstPos = 0;
  std::string what;
  if (!branches_.empty()) {
    firstPos = branches_.front().pos;
    what = kSmilesOpenBranch;
  }
  for (const RingOpen& r : open_) {
    if (firstPos == 0 || r.pos < firstPos) {
      firstPos = r.pos;
      what = SmilesRingOpenMessage(r.number);
    }
  }
  if (firstPos > 0) Fail(firstPos, what);
  // Ring closures by their number, a reused number in the order closed.
  std::stable_sort(closures_.begin(), closures_.end(),
                   [](const SmBond& x, const SmBond& y) { return x.ring < y.ring; });
}

void Parser::Kekulize() {
  const size_t n = atoms_.size();
  need_.assign(n, 0);
  bool any = false;
  for (size_t i = 0; i < n; ++i) {
    if (atoms_[i].aromatic) {
      need_[i] = NeedsDoubleBond(atoms_[i]) ? 1 : 0;
      any = any || need_[i];
    }
  }
  // Atoms joined only by ":" count as aromatic too.
  for (const auto* list : {&bonds_, &closures_}) {
    for (const SmBond& b : *list) {
      if (b.order != kAromatic) continue;
      for (int x : {b.a, b.b}) {
        const SmAtom& at = atoms_[static_cast<size_t>(x)];
        if (!at.aromatic && !need_[static_cast<size_t>(x)] && NeedsDoubleBond(at)) {
          need_[static_cast<size_t>(x)] = 1;
          any = true;
        }
      }
    }
  }
  if (any) {
    // The bonds in the order written, then the ring closures; aromatic bonds
    // between atoms that need a double bond are chosen.
    graph_.atoms = static_cast<int32_t>(n);
    graph_.bonds.clear();
    graph_.role.assign(n, 0);
    for (size_t i = 0; i < n; ++i) graph_.role[i] = need_[i] ? 1 : 0;
    for (const auto* list : {&bonds_, &closures_}) {
      for (const SmBond& b : *list)
        graph_.bonds.push_back({b.a, b.b, b.order == kAromatic ? 0 : b.order});
    }
    const KekuleForm form = ChooseKekuleForm(graph_);
    if (!form.ok) Fail(atoms_[static_cast<size_t>(form.atom)].pos, kSmilesNoKekule);
    size_t j = 0;
    for (auto* list : {&bonds_, &closures_}) {
      for (SmBond& b : *list) {
        if (b.order == kAromatic) b.order = form.order[j];
        ++j;
      }
    }
  } else {
    for (auto* list : {&bonds_, &closures_}) {
      for (SmBond& b : *list) {
        if (b.order == kAromatic) b.order = 1;
      }
    }
  }
}

void Parser::Fill(Molecule& mol) {
  // A plain [H] on one heavy atom is folded into it.
  int kept = 0;
  for (SmAtom& a : atoms_) a.index = -1;
  for (const auto* list : {&bonds_, &closures_}) {
    for (const SmBond& b : *list) {
      for (auto [h, other] : {std::pair{b.a, b.b}, std::pair{b.b, b.a}}) {
        const SmAtom& at = atoms_[static_cast<size_t>(h)];
        const char* o = atoms_[static_cast<size_t>(other)].sym;
        if (at.sym[0] == 'H' && at.sym[1] == '\0' && at.bonds == 1 && at.hcount == 0 &&
            at.charge == 0 && b.order == 1 && !(o[0] == 'H' && o[1] == '\0')) {
          atoms_[static_cast<size_t>(h)].index = 0;
        }
      }
    }
  }
  for (SmAtom& a : atoms_) {
    if (a.index == 0) continue;
    a.index = ++kept;
    if (kept > kMaxAtoms) {
      Fail(a.pos, SmilesTooManyAtomsMessage(kMaxAtoms));
    }
  }
  int bondCount = 0;
  for (const auto* list : {&bonds_, &closures_}) {
    for (const SmBond& b : *list) {
      if (atoms_[static_cast<size_t>(b.a)].index == 0 ||
          atoms_[static_cast<size_t>(b.b)].index == 0)
        continue;
      if (++bondCount > kMaxBonds) {
        Fail(b.pos, SmilesTooManyBondsMessage(kMaxBonds));
      }
    }
  }

  // Hydrogens written as [H] atoms and folded into a bracket atom are its own.
  std::vector<int> folded(atoms_.size(), 0);
  for (const auto* list : {&bonds_, &closures_}) {
    for (const SmBond& b : *list) {
      if (atoms_[static_cast<size_t>(b.a)].index == 0) folded[static_cast<size_t>(b.b)] += 1;
      if (atoms_[static_cast<size_t>(b.b)].index == 0) folded[static_cast<size_t>(b.a)] += 1;
    }
  }

  mol.ResetTables();
  mol.elmcount.fill(0);
  mol.queryfeature.clear();
  mol.atmcount = kept;
  mol.bndcount = bondCount;
  for (size_t k = 0; k < atoms_.size(); ++k) {
    const SmAtom& a = atoms_[k];
    if (a.index == 0) continue;
    AtomRow& row = mol.atmdata[static_cast<size_t>(a.index)];
    PosRow& pos = mol.posdata[static_cast<size_t>(a.index)];
    pos.rawsym.assign(a.sym[1] != '\0' ? a.sym : std::string(1, a.sym[0]) + ' ');
    row.symbol = Trim(pos.rawsym);
    pos.elem = ElementOf(row.symbol);  // 0 for "*", a query atom
    if (pos.elem == 0 && mol.queryfeature.empty()) {
      mol.queryfeature = QueryAtomMessage(a.index, row.symbol);
    }
    if (pos.elem > 0) mol.elmcount[static_cast<size_t>(pos.elem)] += 1;
    pos.valence = kElements[static_cast<size_t>(pos.elem)].valence;
    static constexpr int kCodes[7] = {7, 6, 5, 0, 3, 2, 1};  // charge -3..+3
    pos.charge = a.charge >= -3 && a.charge <= 3 ? kCodes[a.charge + 3] : 0;
    pos.formal = a.charge;
    pos.isotope = a.isotope;
    // A bracket atom states its hydrogens.
    if (a.bracket) pos.hstated = a.hcount + folded[k];
  }
  int j = 0;
  for (const auto* list : {&bonds_, &closures_}) {
    for (const SmBond& b : *list) {
      const int a1 = atoms_[static_cast<size_t>(b.a)].index;
      const int a2 = atoms_[static_cast<size_t>(b.b)].index;
      if (a1 == 0 || a2 == 0) continue;
      BondRow& row = mol.bnddata[static_cast<size_t>(++j)];
      row.atom1 = a1;
      row.atom2 = a2;
      row.order = b.order;
      row.bsym = b.order == 1 ? "-" : b.order == 2 ? "=" : "_";
      row.stereo = "0";
      mol.atmdata[static_cast<size_t>(a1)].degree += 1;
      mol.atmdata[static_cast<size_t>(a2)].degree += 1;
    }
  }
}

SmilesResult Parser::Read(Molecule& mol, std::string_view text) {
  atoms_.clear();
  bonds_.clear();
  closures_.clear();
  open_.clear();
  branches_.clear();
  heavy_ = hydrogens_ = 0;

  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  size_t end = begin;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  try {
    if (begin == end) Fail(static_cast<int>(begin) + 1, kSmilesEmpty);
    Parse(text, begin, end);
    Kekulize();
    Fill(mol);
  } catch (const Fault& f) {
    mol.ResetTables();
    mol.atmcount = mol.bndcount = 0;
    mol.elmcount.fill(0);
    SmilesResult r;
    r.ok = false;
    r.position = f.pos;
    r.message = SmilesFaultMessage(f.pos, f.text);
    return r;
  }
  const std::string title = Trim(text.substr(end));
  mol.molname = title.empty() ? std::string(text.substr(begin, end - begin)) : title;
  return {};
}

}  // namespace

SmilesResult ReadSmiles(Molecule& mol, std::string_view text) {
  thread_local Parser parser;  // keeps its buffers from one read to the next
  return parser.Read(mol, text);
}

}  // namespace vuduzez
