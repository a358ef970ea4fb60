#include "sketch/sketch_mol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "model/molreader.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

constexpr std::string_view kCrLf = "\r\n";
// Header line 2: user initials, program name, an empty date field and the
// dimension code, which ends the header in the editors' clipboard blocks.
constexpr std::string_view kProgramLine = "  vuduzez           2D";

// Ten columns with four decimals; a coordinate beyond them is clamped, and
// -0.0000 is written as 0.0000.
std::string Coordinate(double v) {
  v = std::clamp(v, -9999.9999, 99999.9999);
  if (std::abs(v) < 0.00005) v = 0.0;
  char field[32];
  std::snprintf(field, sizeof field, "%10.4f", v);
  return field;
}

// "M  CHG" / "M  RAD" lines of (atom number, value) pairs, two pairs a line so
// that no property line reaches 32 characters.
void PropertyLines(std::string& out, const char* tag, const std::vector<std::pair<int, int>>& v) {
  for (size_t i = 0; i < v.size(); i += 2) {
    const size_t n = std::min<size_t>(2, v.size() - i);
    char line[64];
    int len = std::snprintf(line, sizeof line, "M  %s%3zu", tag, n);
    for (size_t k = 0; k < n; ++k) {
      len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%4d%4d",
                           v[i + k].first, v[i + k].second);
    }
    out.append(line, static_cast<size_t>(len));
    out += kCrLf;
  }
}

}  // namespace

std::string SketchToMolText(const SketchDoc& doc) {
  std::string out;
  std::string name = doc.name;
  name.erase(
      std::remove_if(name.begin(), name.end(), [](char c) { return c == '\r' || c == '\n'; }),
      name.end());
  out += name;
  out += kCrLf;
  out += kProgramLine;
  out += kCrLf;
  out += kCrLf;
  char line[128];
  std::snprintf(line, sizeof line, "%3zu%3zu  0  0  0  0  0  0  0  0999 V2000", doc.atoms.size(),
                doc.bonds.size());
  out += line;
  out += kCrLf;
  std::vector<std::pair<int, int>> charges, radicals;
  for (size_t i = 0; i < doc.atoms.size(); ++i) {
    const SketchAtom& a = doc.atoms[i];
    out += Coordinate(a.pos.x);
    out += Coordinate(a.pos.y);
    out += Coordinate(0.0);
    std::snprintf(line, sizeof line, " %-3.3s 0%3d  0  0  0  0  0  0  0  0  0  0", a.symbol.c_str(),
                  a.charge);
    out += line;
    out += kCrLf;
    const int atom = static_cast<int>(i) + 1;
    if (a.charge == 4) {
      radicals.emplace_back(atom, 2);
    } else if (ChargeOfCode(a.charge) != 0) {
      charges.emplace_back(atom, ChargeOfCode(a.charge));
    }
  }
  for (const SketchBond& b : doc.bonds) {
    std::snprintf(line, sizeof line, "%3d%3d%3d%3d  0  0  0", b.atom1 + 1, b.atom2 + 1, b.order,
                  b.stereo);
    out += line;
    out += kCrLf;
  }
  PropertyLines(out, "CHG", charges);
  PropertyLines(out, "RAD", radicals);
  out += "M  END";
  out += kCrLf;
  return out;
}

std::string MdlctBlockOfMolText(std::string_view molText) {
  std::string block;
  LineReader lines(molText);
  while (!lines.AtEnd()) {
    std::string_view line = lines.Next();
    line = line.substr(0, 255);
    block += static_cast<char>(static_cast<unsigned char>(line.size()));
    block += line;
  }
  return block;
}

SketchDoc SketchFromMolecule(const Molecule& mol, std::string_view nameLine) {
  SketchDoc doc;
  doc.name = std::string(nameLine);
  const int atoms = std::clamp(mol.atmcount, 0, kMaxAtoms);
  const int bonds = std::clamp(mol.bndcount, 0, kMaxBonds);
  bool spread = atoms <= 1;
  for (int i = 1; i <= atoms; ++i) {
    SketchAtom a;
    a.pos = {static_cast<double>(mol.atmdata[i].x), static_cast<double>(mol.atmdata[i].y)};
    a.symbol = mol.atmdata[i].symbol.empty() ? "C" : mol.atmdata[i].symbol;
    a.charge = mol.posdata[i].charge;
    doc.atoms.push_back(a);
    spread = spread || std::abs(a.pos.x - doc.atoms[0].pos.x) > 1e-4 ||
             std::abs(a.pos.y - doc.atoms[0].pos.y) > 1e-4;
  }
  for (int j = 1; j <= bonds; ++j) {
    const BondRow& row = mol.bnddata[j];
    if (row.atom1 < 1 || row.atom1 > atoms || row.atom2 < 1 || row.atom2 > atoms) continue;
    SketchBond b;
    b.atom1 = row.atom1 - 1;
    b.atom2 = row.atom2 - 1;
    b.order = row.order;
    b.stereo = row.stereo.size() == 1 && row.stereo[0] >= '0' && row.stereo[0] <= '9'
                   ? row.stereo[0] - '0'
                   : kStereoNone;
    doc.bonds.push_back(b);
  }
  if (!spread) {
    LayoutSketch(doc);
    return doc;
  }
  // Bonds drawn at the sketcher's length: the median bond sets the scale.
  std::vector<double> lengths;
  for (const SketchBond& b : doc.bonds) {
    const SketchPoint p = doc.atoms[b.atom1].pos, q = doc.atoms[b.atom2].pos;
    const double d = std::hypot(p.x - q.x, p.y - q.y);
    if (d > 1e-6) lengths.push_back(d);
  }
  if (!lengths.empty()) {
    std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
    const double factor = kSketchBondLength / lengths[lengths.size() / 2];
    for (SketchAtom& a : doc.atoms) a.pos = {a.pos.x * factor, a.pos.y * factor};
  }
  return doc;
}

MolReadResult SketchFromMolText(std::string_view text, SketchDoc& doc, MessageSink& sink) {
  auto mol = std::make_unique<Molecule>();
  MolReadResult read = ReadMolText(*mol, text, sink);
  if (!read) return read;
  LineReader lines(text);
  doc = SketchFromMolecule(*mol, lines.Next());
  return read;
}

void SketchToMolecule(const SketchDoc& doc, Molecule& mol) {
  SilentSink sink;  // the reader never refuses the sketcher's own text
  if (ReadMolText(mol, SketchToMolText(doc), sink)) CalcFormulaWeight(mol);
}

}  // namespace vuduzez
