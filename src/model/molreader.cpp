#include "model/molreader.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "model/kekule.h"
#include "model/valence.h"
#include "platform/compress.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

// Larger MOL files than this are not expanded from gzip (the tables hold 200
// atoms; a MOL file of them is a few tens of kilobytes).
constexpr size_t kMaxMolBytes = size_t{16} << 20;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::atomic<V3000Converter> v3000_converter{nullptr};

MolReadResult Refuse(MessageSink& sink, MolReadStatus status, std::string message, int line) {
  sink.ShowMessage(message);
  return {status, std::move(message), line};
}

std::string_view WithoutBom(std::string_view data) {
  if (data.substr(0, kBom.size()) == kBom) data.remove_prefix(kBom.size());
  return data;
}

// Columns 35-39 of the fourth line: "V2000", "V3000" or anything else.
std::string VersionOf(std::string_view data) {
  LineReader lines(data);
  for (int i = 0; i < 3; ++i) lines.Next();
  return Columns(lines.Next(), 35, 39);
}

// A field of blanks around an optionally signed integer; false for anything else.
bool IntegerField(std::string_view field, int& value) {
  const std::string_view t = TrimView(field);
  if (t.empty()) return false;
  size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
  if (i == t.size()) return false;
  for (size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') return false;
  }
  return TryStrToInt(std::string(t), value);
}

// A fixed-point number with its decimal point, as atom lines write coordinates.
bool DecimalField(std::string_view field) {
  const std::string_view t = TrimView(field);
  size_t i = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
  bool digits = false, point = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') {
      digits = true;
    } else if (t[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits && point;
}

bool LooksLikeAtomLine(std::string_view line) {
  return line.size() >= 32 && DecimalField(line.substr(0, 10)) &&
         DecimalField(line.substr(10, 10)) && DecimalField(line.substr(20, 10));
}

// Three integer fields of three columns and no decimal point: the first
// columns of a bond line ("  1  2  1  0").
bool LooksLikeBondLine(std::string_view line) {
  if (line.size() < 9 || line.find('.') != std::string_view::npos) return false;
  for (size_t k = 0; k < 9; k += 3) {
    int v;
    if (!IntegerField(line.substr(k, 3), v) || v < 0) return false;
  }
  for (char c : line) {
    if (!(c == ' ' || (c >= '0' && c <= '9') || c == '-')) return false;
  }
  return true;
}

bool IsPropertyLine(std::string_view line) { return line.substr(0, 3) == "M  "; }

// Symbols of the atom block that a search query may hold: any atom, any
// heteroatom, with or without hydrogen, an atom list, an R group.
bool IsQueryAtomSymbol(std::string_view s) {
  return s == "A" || s == "Q" || s == "*" || s == "L" || s == "AH" || s == "QH" || s == "R#";
}

int32_t FormalOfCode(int32_t code) {
  static constexpr int32_t kFormal[8] = {0, 3, 2, 1, 0, -1, -2, -3};
  return code >= 0 && code <= 7 ? kFormal[code] : 0;
}

int32_t CodeOfFormal(int32_t formal) {
  static constexpr int32_t kCode[7] = {7, 6, 5, 0, 3, 2, 1};  // -3..+3
  return formal >= -3 && formal <= 3 ? kCode[formal + 3] : 0;
}

void SetBondSymbol(BondRow& bond) {
  switch (bond.order) {
    case 1:
      bond.bsym = "-";
      break;
    case 2:
      bond.bsym = "=";
      break;
    case 3:
      bond.bsym = "_";
      break;
    default:
      bond.bsym.clear();
      break;
  }
}

class V2000Parser {
 public:
  V2000Parser(Molecule& mol, LineReader& lines, MessageSink& sink)
      : mol_(mol), lines_(lines), sink_(sink) {}

  MolReadResult Parse();

 private:
  MolReadResult Mismatch(const std::string& what) {
    return Refuse(sink_, MolReadStatus::kCountsMismatch,
                  CountsMismatchMessage(atoms_, bonds_, what), lines_.LineNumber());
  }
  std::string Found(std::string_view line) const {
    if (IsPropertyLine(line)) return PropertyLineWord(std::string(TrimView(line.substr(0, 6))));
    return LooksLikeAtomLine(line) ? kAtomLineWord : kBondLineWord;
  }
  void NoteQuery(std::string text) {
    if (mol_.queryfeature.empty()) mol_.queryfeature = std::move(text);
  }
  MolReadResult ReadAtom(int i, std::string_view line);
  // An atom list stands for no one element: counted as none, like a query atom.
  void AtomList(int atom) {
    if (atom < 1 || atom > atoms_) return;
    NoteQuery(AtomListMessage(atom));
    PosRow& pos = mol_.posdata[atom];
    if (pos.elem > 0) mol_.elmcount[static_cast<size_t>(pos.elem)] -= 1;
    pos.elem = 0;
    pos.valence = 0;
  }
  MolReadResult ReadProperties();
  MolReadResult Kekulize();
  // The atom numbers and values of a property line ("M  CHG  2   1  -1   3   1").
  MolReadResult PropertyPairs(std::string_view line, std::vector<std::pair<int, int>>& pairs);

  Molecule& mol_;
  LineReader& lines_;
  MessageSink& sink_;
  int atoms_ = 0;
  int bonds_ = 0;
  std::vector<int32_t> statedValence_;  // valence field of each atom, 0 when not given
  std::vector<uint8_t> charged_;        // M  CHG named the atom
};

MolReadResult V2000Parser::Parse() {
  std::string_view header = lines_.Next();
  // A name line without "." names the molecule as a whole, as name lines
  // without an extension are read everywhere else in the system.
  mol_.molname = std::string(BeforeFirst(header, '.'));
  lines_.Next();
  lines_.Next();
  mol_.queryfeature.clear();

  std::string_view counts = lines_.Next();
  if (Columns(counts, 35, 39) != "V2000") {
    return Refuse(sink_, MolReadStatus::kNotV2000, kNotV2000Message, lines_.LineNumber());
  }
  atoms_ = StrToInt(Columns(counts, 1, 3));
  bonds_ = StrToInt(Columns(counts, 4, 6));
  if (atoms_ < 0 || atoms_ > kMaxAtoms) {
    mol_.atmcount = mol_.bndcount = 0;
    mol_.elmcount.fill(0);
    return Refuse(sink_, MolReadStatus::kTooManyAtoms, TooManyAtomsMessage(atoms_, kMaxAtoms),
                  lines_.LineNumber());
  }
  if (bonds_ < 0 || bonds_ > kMaxBonds) {
    mol_.atmcount = mol_.bndcount = 0;
    mol_.elmcount.fill(0);
    return Refuse(sink_, MolReadStatus::kTooManyBonds, TooManyBondsMessage(bonds_, kMaxBonds),
                  lines_.LineNumber());
  }
  mol_.atmcount = atoms_;
  mol_.bndcount = bonds_;
  mol_.elmcount.fill(0);
  statedValence_.assign(static_cast<size_t>(atoms_) + 1, 0);
  charged_.assign(static_cast<size_t>(atoms_) + 1, 0);

  for (int i = 1; i <= atoms_; ++i) {
    if (lines_.AtEnd()) {
      lines_.Next();
      return Mismatch(FileEndsBeforeAtomText(i));
    }
    std::string_view line = lines_.Next();
    if (IsPropertyLine(line) || LooksLikeBondLine(line)) {
      return Mismatch(NotAnAtomLineText(lines_.LineNumber(), i, Found(line)));
    }
    if (MolReadResult r = ReadAtom(i, line); !r) return r;
  }

  bool aromatic = false;
  for (int j = 1; j <= bonds_; ++j) {
    if (lines_.AtEnd()) {
      lines_.Next();
      return Mismatch(FileEndsBeforeBondText(j));
    }
    std::string_view line = lines_.Next();
    if (IsPropertyLine(line) || LooksLikeAtomLine(line)) {
      return Mismatch(NotABondLineText(lines_.LineNumber(), j, Found(line)));
    }
    BondRow& bond = mol_.bnddata[j];
    bond.atom1 = StrToInt(Columns(line, 1, 3));
    bond.atom2 = StrToInt(Columns(line, 4, 6));
    for (int a : {bond.atom1, bond.atom2}) {
      if (a < 1 || a > atoms_) {
        return Refuse(sink_, MolReadStatus::kBondAtomOutOfRange,
                      BondAtomOutOfRangeMessage(j, a, atoms_), lines_.LineNumber());
      }
    }
    mol_.atmdata[bond.atom1].degree += 1;
    mol_.atmdata[bond.atom2].degree += 1;
    bond.order = StrToInt(Columns(line, 9, 9));
    SetBondSymbol(bond);
    bond.stereo = Columns(line, 12, 12);
    if (bond.order == 4) aromatic = true;
    if (bond.order >= 5 && bond.order <= 8) NoteQuery(QueryBondMessage(j, bond.order));
  }

  // A line that continues the atom or bond block means the counts were too small.
  if (!lines_.AtEnd()) {
    LineReader peek = lines_;
    const std::string_view next = peek.Next();
    if (LooksLikeAtomLine(next) || LooksLikeBondLine(next)) {
      lines_.Next();
      return Mismatch(MoreLinesText(lines_.LineNumber(), Found(next)));
    }
  }
  if (MolReadResult r = ReadProperties(); !r) return r;

  if (aromatic) {
    if (MolReadResult r = Kekulize(); !r) return r;
  }
  // The valence field states the atom's valence: its hydrogens are what the
  // bonds leave of it (15 is a valence of 0).
  for (int i = 1; i <= atoms_; ++i) {
    const int32_t stated = statedValence_[static_cast<size_t>(i)];
    if (stated == 0) continue;
    int32_t s = 0;
    for (int j = 1; j <= bonds_; ++j) {
      const BondRow& b = mol_.bnddata[j];
      if (b.atom1 == i || b.atom2 == i) s += b.order;
    }
    const int32_t valence = stated == 15 ? 0 : stated;
    mol_.posdata[i].hstated = valence > s ? valence - s : 0;
  }
  return {};
}

MolReadResult V2000Parser::ReadAtom(int i, std::string_view line) {
  AtomRow& atom = mol_.atmdata[i];
  PosRow& pos = mol_.posdata[i];
  atom.x = StrToFloat(Columns(line, 1, 10));
  atom.y = StrToFloat(Columns(line, 11, 20));
  pos.rawsym = Columns(line, 32, 33);
  atom.symbol = Trim(pos.rawsym);
  const std::string& symbol = atom.symbol;
  int32_t elem = ElementOf(symbol);
  if (symbol == "D" || symbol == "T") {
    elem = kHydrogen;  // deuterium and tritium
    pos.isotope = symbol == "D" ? 2 : 3;
  }
  if (elem == 0) {
    if (symbol.empty()) {
      return Refuse(sink_, MolReadStatus::kNotAnElement, AtomNoSymbolMessage(i),
                    lines_.LineNumber());
    }
    if (!IsQueryAtomSymbol(symbol)) {
      return Refuse(sink_, MolReadStatus::kNotAnElement,
                    AtomNotElementMessage(i, AnsiToUtf8(symbol)), lines_.LineNumber());
    }
    NoteQuery(symbol == "L" ? AtomListMessage(i) : QueryAtomMessage(i, symbol));
  }
  pos.elem = elem;
  if (elem > 0) mol_.elmcount[static_cast<size_t>(elem)] += 1;
  pos.valence = kElements[static_cast<size_t>(elem)].valence;
  pos.charge = line.size() >= 39 ? StrToInt(Columns(line, 39, 39)) : 0;
  pos.formal = FormalOfCode(pos.charge);
  if (pos.charge == 4) pos.radical = 2;  // doublet radical
  // The mass difference from the most common isotope (-3..+4).
  int diff = 0;
  if (elem > 0 && IntegerField(Columns(line, 35, 36), diff) && diff != 0 && pos.isotope == 0) {
    pos.isotope = std::max(0, kElements[static_cast<size_t>(elem)].commonIsotope + diff);
  }
  int valence = 0;
  if (IntegerField(Columns(line, 48, 50), valence) && valence >= 1 && valence <= 15) {
    statedValence_[static_cast<size_t>(i)] = valence;
  }
  return {};
}

MolReadResult V2000Parser::PropertyPairs(std::string_view line,
                                         std::vector<std::pair<int, int>>& pairs) {
  pairs.clear();
  const std::string property(TrimView(line.substr(0, 6)));
  const int n = StrToInt(Columns(line, 7, 9));
  for (int k = 0; k < n && k < 8; ++k) {
    const size_t at = 10 + 8 * static_cast<size_t>(k);
    const int atom = StrToInt(Columns(line, at, at + 3));
    const int value = StrToInt(Columns(line, at + 4, at + 7));
    if (atom < 1 || atom > atoms_) {
      return Refuse(sink_, MolReadStatus::kBondAtomOutOfRange,
                    PropertyAtomOutOfRangeMessage(property, atom, atoms_), lines_.LineNumber());
    }
    pairs.emplace_back(atom, value);
  }
  return {};
}

MolReadResult V2000Parser::ReadProperties() {
  std::vector<std::pair<int, int>> pairs;
  while (!lines_.AtEnd()) {
    const std::string_view line = lines_.Next();
    const std::string_view head = line.substr(0, 6);
    if (TrimView(line) == "M  END" || TrimView(line) == "$$$$" ||
        (!line.empty() && line[0] == '>')) {
      break;
    }
    if (head == "M  CHG" || head == "M  ISO" || head == "M  RAD") {
      if (MolReadResult r = PropertyPairs(line, pairs); !r) return r;
      for (const auto& [atom, value] : pairs) {
        PosRow& pos = mol_.posdata[atom];
        if (head == "M  CHG") {
          // Supersedes the atom block's charge (and its radical code 4).
          if (pos.charge == 4) pos.radical = 0;
          pos.formal = value;
          pos.charge = CodeOfFormal(value);
          charged_[static_cast<size_t>(atom)] = 1;
        } else if (head == "M  ISO") {
          pos.isotope = std::max(0, value);
        } else {
          pos.radical = value >= 0 && value <= 3 ? value : 0;
        }
      }
    } else if (head == "M  ALS") {
      int atom = 0;
      if (IntegerField(Columns(line, 8, 10), atom)) AtomList(atom);
    } else if (line.substr(0, 3) == "A  " || line.substr(0, 3) == "G  ") {
      lines_.Next();  // an atom alias or a group abbreviation: its text is the next line
    } else if (line.substr(0, 6) == "S  SKP") {
      int skip = 0;
      if (IntegerField(Columns(line, 7, 9), skip)) {
        for (int k = 0; k < skip && !lines_.AtEnd(); ++k) lines_.Next();
      }
    } else if (line.size() >= 10 && line.substr(0, 3) != "M  " && line.substr(0, 3) != "V  ") {
      // The atom list block of older files: "aaa kSSSS nnn nnn ...".
      int atom = 0;
      if (IntegerField(line.substr(0, 3), atom) && (line[4] == 'T' || line[4] == 'F')) {
        AtomList(atom);
      }
    }
  }
  return {};
}

MolReadResult V2000Parser::Kekulize() {
  KekuleGraph g;
  g.atoms = atoms_;
  g.role.assign(static_cast<size_t>(atoms_), 0);
  std::vector<int32_t> others(static_cast<size_t>(atoms_) + 1, 0);
  std::vector<int32_t> aromatic(static_cast<size_t>(atoms_) + 1, 0);
  for (int j = 1; j <= bonds_; ++j) {
    const BondRow& b = mol_.bnddata[j];
    g.bonds.push_back({b.atom1 - 1, b.atom2 - 1, b.order == 4 ? 0 : b.order});
    for (int a : {b.atom1, b.atom2}) {
      if (b.order == 4) {
        aromatic[static_cast<size_t>(a)] += 1;
      } else {
        others[static_cast<size_t>(a)] += b.order;
      }
      if (b.atom1 == b.atom2) break;
    }
  }
  // An atom on aromatic bonds takes a double bond when its valence (the
  // aromatic bonds counted 1.5) leaves one more than single bonds give.
  for (int i = 1; i <= atoms_; ++i) {
    const size_t k = static_cast<size_t>(aromatic[static_cast<size_t>(i)]);
    if (k == 0) continue;
    const PosRow& pos = mol_.posdata[i];
    if (pos.elem == 0) {
      g.role[static_cast<size_t>(i - 1)] = 2;  // a query atom may take one
      continue;
    }
    const int32_t o = others[static_cast<size_t>(i)];
    const int32_t stated = statedValence_[static_cast<size_t>(i)];
    const int32_t valence =
        stated != 0 ? (stated == 15 ? 0 : stated)
                    : AromaticValence(pos.elem, pos.formal, 2 * o + 3 * static_cast<int32_t>(k));
    g.role[static_cast<size_t>(i - 1)] = valence - o - static_cast<int32_t>(k) >= 1 ? 1 : 0;
  }
  const KekuleForm form = ChooseKekuleForm(g);
  if (!form.ok) {
    return Refuse(sink_, MolReadStatus::kNoKekule, NoKekuleMessage(form.atom + 1),
                  lines_.LineNumber());
  }
  for (int j = 1; j <= bonds_; ++j) {
    BondRow& b = mol_.bnddata[j];
    if (b.order != 4) continue;
    b.order = form.order[static_cast<size_t>(j - 1)];
    SetBondSymbol(b);
  }
  return {};
}

MolReadResult ParseV2000(Molecule& mol, std::string_view data, MessageSink& sink) {
  LineReader lines(data);
  // A field that is not a number names the line it stands on.
  try {
    V2000Parser parser(mol, lines, sink);
    return parser.Parse();
  } catch (const RuntimeError& e) {
    if (e.line() != 0) throw;
    throw RuntimeError(e.what(), lines.LineNumber());
  }
}

MolReadResult ParseMol(Molecule& mol, std::string_view data, MessageSink& sink) {
  MolTextResult text = MolTextAsV2000(data);
  if (!text.ok) {
    return Refuse(sink, text.status, std::move(text.message), 4);
  }
  return ParseV2000(mol, WithoutBom(text.text), sink);
}

}  // namespace

void SetV3000Converter(V3000Converter converter) { v3000_converter.store(converter); }

MolTextResult MolTextAsV2000(std::string_view data) {
  MolTextResult out;
  std::string expanded;
  if (LooksGzipped(data)) {
    try {
      expanded = Gunzip(data, kMaxMolBytes, "MOL");
    } catch (const RuntimeError& e) {
      out.ok = false;
      out.status = MolReadStatus::kUnreadable;
      out.message = e.what();
      return out;
    }
    data = expanded;
  }
  if (VersionOf(WithoutBom(data)) != "V3000") {
    out.text = expanded.empty() ? std::string(data) : std::move(expanded);
    return out;
  }
  const V3000Converter convert = v3000_converter.load();
  std::string why;
  if (convert == nullptr) {
    out.ok = false;
    out.status = MolReadStatus::kUnreadable;
    out.message = kV3000NoReader;
  } else if (!convert(WithoutBom(data), out.text, why)) {
    out.ok = false;
    out.status = MolReadStatus::kUnreadable;
    out.message = V3000UnreadableMessage(why);
    out.text.clear();
  }
  return out;
}

MolReadResult ReadMolFile(Molecule& mol, const std::string& path, MessageSink& sink) {
  mol.ResetTables();  // before the file is opened: a missing file leaves them reset
  return ParseMol(mol, ReadFileBytes(path), sink);
}

MolReadResult ReadMolText(Molecule& mol, std::string_view data, MessageSink& sink) {
  mol.ResetTables();
  return ParseMol(mol, data, sink);
}

void CalcFormulaWeight(Molecule& mol) {
  int32_t total = 0;
  std::array<int32_t, kElementSlots> isotopes{};
  long double isotopeMass = 0.0L;
  for (int i = 1; i <= mol.atmcount; ++i) {
    PosRow& pos = mol.posdata[i];
    int32_t s = 0;
    int32_t aromatic = 0;
    for (int j = 1; j <= mol.bndcount; ++j) {
      const BondRow& b = mol.bnddata[j];
      if (b.atom1 != i && b.atom2 != i) continue;
      if (b.order == 4) {
        aromatic += 1;  // left aromatic by whoever built the tables
      } else {
        s += b.order;
      }
    }
    int32_t h;
    if (pos.elem == 0) {
      h = 0;  // a query atom
    } else if (pos.hstated >= 0) {
      h = pos.hstated;
    } else if (aromatic > 0) {
      h = AromaticHydrogens(pos.elem, pos.formal,
                            AromaticValence(pos.elem, pos.formal, 2 * s + 3 * aromatic));
    } else {
      h = DefaultHydrogens(pos.elem, pos.formal, s, RadicalElectrons(pos.radical));
    }
    pos.hcount = h;
    total += h;
    if (pos.isotope > 0 && pos.elem > 0) {
      isotopes[static_cast<size_t>(pos.elem)] += 1;
      const double mass = IsotopeMass(pos.elem, pos.isotope);
      isotopeMass += mass > 0 ? static_cast<long double>(mass) : pos.isotope;
    }
  }
  mol.elmcount[kHydrogen] += total;

  std::string formula;
  long double weight = 0.0L;
  for (int e = kCarbon; e < kElementSlots; ++e) {
    const int32_t n = mol.elmcount[static_cast<size_t>(e)];
    if (n == 1) {
      formula += kElements[static_cast<size_t>(e)].symbol;
    } else if (n > 1) {
      formula += kElements[static_cast<size_t>(e)].symbol;
      formula += std::to_string(n);
    }
    weight += static_cast<long double>(n - isotopes[static_cast<size_t>(e)]) *
              kElements[static_cast<size_t>(e)].weight;
  }
  mol.molformula = formula;
  mol.molweight = FormatWeight(weight + isotopeMass);
}

std::string FormatWeight(long double weight) {
  if (!(weight > 0.0L)) return "0.00";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17Le", weight);
  // buf is d.ddddddddddddddddde[+-]xx: 18 significant digits, correctly rounded.
  std::string digits(1, buf[0]);
  const char* p = buf + 2;
  while (*p != 'e') digits += *p++;
  const int exponent = std::atoi(p + 1);
  int point = exponent + 1;  // digits before the decimal point
  if (point < 1) {
    digits.insert(0, static_cast<size_t>(1 - point), '0');
    point = 1;
  }
  while (static_cast<int>(digits.size()) < point + 3) digits += '0';
  std::string kept = digits.substr(0, static_cast<size_t>(point) + 2);
  if (digits[static_cast<size_t>(point) + 2] >= '5') {
    int i = static_cast<int>(kept.size()) - 1;
    while (i >= 0 && kept[static_cast<size_t>(i)] == '9') kept[static_cast<size_t>(i--)] = '0';
    if (i < 0) {
      kept.insert(0, 1, '1');
    } else {
      kept[static_cast<size_t>(i)] += 1;
    }
  }
  std::string integer = kept.substr(0, kept.size() - 2);
  size_t nz = integer.find_first_not_of('0');
  integer = nz == std::string::npos ? "0" : integer.substr(nz);
  return integer + "." + kept.substr(kept.size() - 2);
}

}  // namespace vuduzez
