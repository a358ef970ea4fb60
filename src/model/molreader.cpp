#include "model/molreader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

MolReadResult Refuse(MessageSink& sink, MolReadStatus status, std::string message, int line) {
  sink.ShowMessage(message);
  return {status, std::move(message), line};
}

MolReadResult ParseLines(Molecule& mol, LineReader& lines, MessageSink& sink);

// A field that is not a number names the line it stands on.
MolReadResult ParseMol(Molecule& mol, std::string_view data, MessageSink& sink) {
  LineReader lines(data);
  try {
    return ParseLines(mol, lines, sink);
  } catch (const RuntimeError& e) {
    if (e.line() != 0) throw;
    throw RuntimeError(e.what(), lines.LineNumber());
  }
}

}  // namespace

MolReadResult ReadMolFile(Molecule& mol, const std::string& path, MessageSink& sink) {
  mol.ResetTables();  // before the file is opened: a missing file leaves them reset
  return ParseMol(mol, ReadFileBytes(path), sink);
}

MolReadResult ReadMolText(Molecule& mol, std::string_view data, MessageSink& sink) {
  mol.ResetTables();
  return ParseMol(mol, data, sink);
}

namespace {

MolReadResult ParseLines(Molecule& mol, LineReader& lines, MessageSink& sink) {
  std::string_view header = lines.Next();
  // A name line without "." names the molecule as a whole, as name lines
  // without an extension are read everywhere else in the system.
  mol.molname = std::string(BeforeFirst(header, '.'));
  lines.Next();
  lines.Next();

  std::string_view counts = lines.Next();
  if (Columns(counts, 35, 39) != "V2000") {
    return Refuse(sink, MolReadStatus::kNotV2000, kNotV2000Message, lines.LineNumber());
  }
  const int atoms = StrToInt(Columns(counts, 1, 3));
  const int bonds = StrToInt(Columns(counts, 4, 6));
  if (atoms < 0 || atoms > kMaxAtoms) {
    mol.atmcount = mol.bndcount = 0;
    mol.elmcount.fill(0);
    return Refuse(sink, MolReadStatus::kTooManyAtoms, TooManyAtomsMessage(atoms, kMaxAtoms),
                  lines.LineNumber());
  }
  if (bonds < 0 || bonds > kMaxBonds) {
    mol.atmcount = mol.bndcount = 0;
    mol.elmcount.fill(0);
    return Refuse(sink, MolReadStatus::kTooManyBonds, TooManyBondsMessage(bonds, kMaxBonds),
                  lines.LineNumber());
  }
  mol.atmcount = atoms;
  mol.bndcount = bonds;
  mol.elmcount.fill(0);

  for (int i = 1; i <= atoms; ++i) {
    std::string_view line = lines.Next();
    AtomRow& atom = mol.atmdata[i];
    PosRow& pos = mol.posdata[i];
    atom.x = StrToFloat(Columns(line, 1, 10));
    atom.y = StrToFloat(Columns(line, 11, 20));
    pos.rawsym = Columns(line, 32, 33);
    atom.symbol = Trim(pos.rawsym);
    pos.elem = ElementIndex(pos.rawsym);
    mol.elmcount[pos.elem] += 1;
    pos.valence = kElements[pos.elem].valence;
    pos.charge = line.size() >= 39 ? StrToInt(Columns(line, 39, 39)) : 0;
  }

  for (int j = 1; j <= bonds; ++j) {
    std::string_view line = lines.Next();
    BondRow& bond = mol.bnddata[j];
    bond.atom1 = StrToInt(Columns(line, 1, 3));
    bond.atom2 = StrToInt(Columns(line, 4, 6));
    for (int a : {bond.atom1, bond.atom2}) {
      if (a < 1 || a > atoms) {
        return Refuse(sink, MolReadStatus::kBondAtomOutOfRange,
                      BondAtomOutOfRangeMessage(j, a, atoms), lines.LineNumber());
      }
    }
    mol.atmdata[bond.atom1].degree += 1;
    mol.atmdata[bond.atom2].degree += 1;
    bond.order = StrToInt(Columns(line, 9, 9));
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
        break;
    }
    bond.stereo = Columns(line, 12, 12);
  }
  return {};
}

}  // namespace

void CalcFormulaWeight(Molecule& mol) {
  int32_t total = 0;
  for (int i = 1; i <= mol.atmcount; ++i) {
    PosRow& pos = mol.posdata[i];
    int32_t s = 0;
    for (int j = 1; j <= mol.bndcount; ++j) {
      const BondRow& b = mol.bnddata[j];
      if (b.atom1 == i || b.atom2 == i) s += b.order;
    }
    int32_t h;
    if (s > pos.valence) {
      h = 0;
    } else if (pos.charge > 0 && pos.elem == kOxygen) {
      h = 0;  // a charged oxygen carries no hydrogen
    } else {
      h = pos.valence - s;
    }
    pos.hcount = h;
    total += h;
  }
  mol.elmcount[kHydrogen] += total;

  std::string formula;
  long double weight = 0.0L;
  for (int e = kCarbon; e <= kElementCount; ++e) {
    const int32_t n = mol.elmcount[e];
    if (n == 1) {
      formula += kElements[e].symbol;
    } else if (n > 1) {
      formula += kElements[e].symbol;
      formula += std::to_string(n);
    }
    weight += static_cast<long double>(n) * kElements[e].weight;
  }
  mol.molformula = formula;
  mol.molweight = FormatWeight(weight);
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
