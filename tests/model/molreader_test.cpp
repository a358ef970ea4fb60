#include "model/molreader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"

namespace vuduzez {
namespace {

using testing::Atoms;
using testing::MolText;
using testing::TestBond;

const std::vector<TestBond> kBenzene = {{1, 2, 2}, {2, 3, 1}, {3, 4, 2},
                                        {4, 5, 1}, {5, 6, 2}, {6, 1, 1}};

// Header, counts line and the given atom and bond lines, CR LF.
std::string Lines(const std::string& counts, const std::vector<std::string>& body,
                  const std::string& name = "m.mol") {
  std::string t = name + "\r\n\r\n\r\n" + counts + "\r\n";
  for (const std::string& l : body) t += l + "\r\n";
  return t;
}

std::string Counts(int atoms, int bonds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%3d%3d  0  0  0  0  0  0  0  0999 V2000", atoms, bonds);
  return buf;
}

const char* kCarbonLine = "    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0";

// Reads and completes; the formula and weight are only valid when it returned true.
struct Read {
  explicit Read(const std::string& text) : result(ReadMolText(mol, text, ui)), ok(result.ok()) {}
  Read& Complete() {
    EXPECT_TRUE(ok);
    CalcFormulaWeight(mol);
    return *this;
  }
  Molecule mol;
  RecordingSink ui;
  MolReadResult result;
  bool ok = false;
};

std::string RunError(const std::string& text) {
  Molecule mol;
  RecordingSink ui;
  try {
    ReadMolText(mol, text, ui);
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "no error";
}

TEST(MolName, TextBeforeFirstDotOrWholeLine) {
  EXPECT_EQ(Read(Lines(Counts(0, 0), {}, "benzene.mol")).mol.molname, "benzene");
  EXPECT_EQ(Read(Lines(Counts(0, 0), {}, "a.b.c")).mol.molname, "a");
  EXPECT_EQ(Read(Lines(Counts(0, 0), {}, ".mol")).mol.molname, "");
  EXPECT_EQ(Read(Lines(Counts(0, 0), {}, "caffeine")).mol.molname, "caffeine");
}

TEST(MolReader, LineEndsCrLfLfAndCr) {
  for (const char* eol : {"\r\n", "\n", "\r"}) {
    Read r(MolText("phenol", {"C", "C", "C", "C", "C", "C", "O"},
                   {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}, {1, 7}}, eol));
    ASSERT_TRUE(r.ok) << "eol " << static_cast<int>(eol[0]);
    r.Complete();
    EXPECT_EQ(r.mol.molname, "phenol");
    EXPECT_EQ(r.mol.atmcount, 7);
    EXPECT_EQ(r.mol.bndcount, 7);
    EXPECT_EQ(r.mol.atmdata[7].symbol, "O");
    EXPECT_EQ(r.mol.bnddata[7].atom2, 7);
    EXPECT_EQ(r.mol.molformula, "C6H6O");
  }
}

TEST(MolReader, AtomFields) {
  Read r(Lines(Counts(3, 0),
               {" -123.4567  -12.3456    0.0000 Cl  0  3  0  0  0  0  0  0  0  0  0  0",
                "    1.0000    2.0000    0.0000 Na  0  0", "    1.0000    2.0000    0.0000 C"}));
  ASSERT_TRUE(r.ok);
  const Molecule& m = r.mol;
  EXPECT_EQ(m.atmdata[1].x, -123.4567L);
  EXPECT_EQ(m.atmdata[1].y, -12.3456L);
  EXPECT_EQ(m.posdata[1].elem, 5);
  EXPECT_EQ(m.posdata[1].valence, 1);
  EXPECT_EQ(m.posdata[1].charge, 3);
  // Outside the original table: the element itself.
  EXPECT_EQ(m.atmdata[2].symbol, "Na");
  EXPECT_EQ(m.posdata[2].elem, ElementOf("Na"));
  EXPECT_EQ(m.posdata[2].valence, 1);
  EXPECT_EQ(m.posdata[2].charge, 0);  // line ends before column 39
  EXPECT_EQ(m.posdata[3].rawsym, "C");
  EXPECT_EQ(m.elmcount[kCarbon], 1);
  EXPECT_EQ(m.elmcount[kChlorine], 1);
  EXPECT_EQ(m.elmcount[static_cast<size_t>(ElementOf("Na"))], 1);
}

TEST(MolReader, BondFieldsAndDegrees) {
  Read r(Lines(Counts(3, 2), {kCarbonLine, kCarbonLine, kCarbonLine, "  1  2  2  6", "  2  3  8"}));
  ASSERT_TRUE(r.ok);
  const Molecule& m = r.mol;
  EXPECT_EQ(m.bnddata[1].order, 2);
  EXPECT_EQ(m.bnddata[1].bsym, "=");
  EXPECT_EQ(m.bnddata[1].stereo, "6");
  EXPECT_EQ(m.bnddata[2].order, 8);  // a query bond ("any") as read
  EXPECT_EQ(m.bnddata[2].bsym, "");
  EXPECT_EQ(m.bnddata[2].stereo, "");  // line shorter than 12
  EXPECT_EQ(m.atmdata[1].degree, 1);   // a double bond counts once
  EXPECT_EQ(m.atmdata[2].degree, 2);
}

TEST(MolReader, ResetsRowsOfTheLargerPreviousMolecule) {
  Read r(MolText("naphthalene", Atoms(10), kBenzene));
  ASSERT_TRUE(r.ok);
  ASSERT_TRUE(ReadMolText(r.mol, MolText("ethanol", {"C", "C", "O"}, {{1, 2}, {2, 3}}), r.ui));
  for (int i = 4; i <= kMaxAtoms; ++i) {
    EXPECT_EQ(r.mol.atmdata[i].symbol, "");
    EXPECT_EQ(r.mol.atmdata[i].x, 0.0L);
    EXPECT_EQ(r.mol.atmdata[i].degree, 0);
    EXPECT_EQ(r.mol.posdata[i].elem, 0);
  }
  EXPECT_EQ(r.mol.bnddata[3].atom1, 0);
  EXPECT_EQ(r.mol.bnddata[3].bsym, "");

  Read empty(Lines(Counts(0, 0), {}));
  ASSERT_TRUE(empty.ok);
  empty.Complete();
  EXPECT_EQ(empty.mol.molformula, "");
  EXPECT_EQ(empty.mol.molweight, "0.00");
}

TEST(ElementIndex, OnlyWholeTableEntriesMatch) {
  const char* symbols[] = {"C ", "H ", "N ", "Br", "Cl", "F ", "I ",
                           "Li", "O ", "P ", "S ", "Si", "Zn"};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(ElementIndex(symbols[i]), i + 1) << symbols[i];
  // Matches across two entries or inside one are not elements: carbon.
  for (const char* s : {"n", "rC", "r", "l", " H", "Na", "c ", ""}) {
    EXPECT_EQ(ElementIndex(s), 1) << '"' << s << '"';
  }
  EXPECT_EQ(ElementIndex("C"), 1);  // a line ending inside the symbol field
  EXPECT_EQ(ElementIndex("O"), 9);
}

TEST(MolReader, RefusesOtherVersions) {
  for (const char* version : {"v2000", "V2001", "     "}) {
    std::string counts = Counts(1, 0);
    counts.replace(34, 5, version);
    Read r(Lines(counts, {kCarbonLine}));
    EXPECT_FALSE(r.ok) << version;
    EXPECT_EQ(r.ui.messages, std::vector<std::string>{kNotV2000Message});
  }
  Read empty("");
  EXPECT_FALSE(empty.ok);
  EXPECT_EQ(empty.ui.messages, std::vector<std::string>{kNotV2000Message});
}

TEST(MolReader, RefusesCountsBeyondCapacities) {
  Read atoms(Lines(Counts(201, 0), {}));
  EXPECT_FALSE(atoms.ok);
  ASSERT_EQ(atoms.ui.messages.size(), 1u);
  EXPECT_NE(atoms.ui.messages[0].find("201"), std::string::npos);
  EXPECT_NE(atoms.ui.messages[0].find("200"), std::string::npos);

  Read bonds(Lines(Counts(2, 301), {}));
  EXPECT_FALSE(bonds.ok);
  ASSERT_EQ(bonds.ui.messages.size(), 1u);
  EXPECT_NE(bonds.ui.messages[0].find("300"), std::string::npos);

  Read negative(Lines(Counts(-1, 0), {}));
  EXPECT_FALSE(negative.ok);
  EXPECT_EQ(negative.mol.atmcount, 0);

  Read full(MolText("full", Atoms(200), {}));
  EXPECT_TRUE(full.ok);
}

TEST(MolReader, RefusesBondsNamingMissingAtoms) {
  for (const char* bond : {"  1  3  1", "  0  1  1", " -1  2  1", "  2999  1"}) {
    Read r(Lines(Counts(2, 1), {kCarbonLine, kCarbonLine, bond}));
    EXPECT_FALSE(r.ok) << bond;
    ASSERT_EQ(r.ui.messages.size(), 1u) << bond;
    EXPECT_NE(r.ui.messages[0].find("結合 1"), std::string::npos);
    EXPECT_EQ(r.mol.atmdata[1].degree, 0);
    EXPECT_EQ(r.mol.atmdata[2].degree, 0);
  }
}

TEST(MolReader, MalformedFieldsRaiseTheConversionError) {
  EXPECT_EQ(RunError(Lines(Counts(1, 0), {"    0.0000"})), "'' は浮動小数点数ではありません");
  EXPECT_EQ(RunError(Lines(Counts(1, 0), {"    abc       0.0000"})),
            "'    abc   ' は浮動小数点数ではありません");
  EXPECT_EQ(RunError(Lines(Counts(2, 1), {kCarbonLine, kCarbonLine, "  1  2  x"})),
            "'x' は整数ではありません");
  EXPECT_EQ(RunError(Lines(" x " + Counts(0, 0).substr(3), {})), "' x ' は整数ではありません");
  EXPECT_EQ(RunError(Lines(Counts(1, 0),
                           {"    0.0000    0.0000    0.0000 C   0  x  0  0  0  0  0  0  0  0"})),
            "'x' は整数ではありません");
  Molecule mol;
  RecordingSink ui;
  try {
    ReadMolFile(mol, "/nonexistent/folder/none.mol", ui);
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(kFileNotFound, 0), 0u);
  }
}

int ErrorLine(const std::string& text) {
  Molecule mol;
  RecordingSink ui;
  try {
    ReadMolText(mol, text, ui);
  } catch (const RuntimeError& e) {
    return e.line();
  }
  return -1;
}

// Refusals and conversion errors name the line the reader stopped at: counts
// line 4, atom lines from 5, bond lines after them (past the end they count on).
TEST(MolReader, RefusalsAndErrorsNameTheirLine) {
  std::string v2001 = Counts(1, 0);
  v2001.replace(34, 5, "V2001");
  const Read version(Lines(v2001, {kCarbonLine}));
  EXPECT_EQ(version.result.status, MolReadStatus::kNotV2000);
  EXPECT_EQ(version.result.message, kNotV2000Message);
  EXPECT_EQ(version.result.line, 4);
  const Read bonds(Lines(Counts(2, 301), {}));
  EXPECT_EQ(bonds.result.status, MolReadStatus::kTooManyBonds);
  EXPECT_EQ(bonds.result.line, 4);
  const Read missing(Lines(Counts(2, 2), {kCarbonLine, kCarbonLine, "  1  2  1", "  1  3  1"}));
  EXPECT_EQ(missing.result.status, MolReadStatus::kBondAtomOutOfRange);
  EXPECT_EQ(missing.result.message, missing.ui.messages.at(0));
  EXPECT_EQ(missing.result.line, 8);
  const Read good(MolText("ok", Atoms(2), {{1, 2}}));
  EXPECT_EQ(good.result.line, 0);
  EXPECT_TRUE(good.result.message.empty());

  EXPECT_EQ(ErrorLine(Lines(Counts(2, 0), {kCarbonLine, "    abc       0.0000"})), 6);
  EXPECT_EQ(Read(Lines(Counts(3, 0), {kCarbonLine, kCarbonLine})).result.line, 7);
  EXPECT_EQ(ErrorLine(Lines(" x " + Counts(0, 0).substr(3), {})), 4);
}

std::string FormulaOf(const std::string& text) { return Read(text).Complete().mol.molformula; }
std::string WeightOf(const std::string& text) { return Read(text).Complete().mol.molweight; }

TEST(FormulaWeight, ImplicitHydrogens) {
  Read benzene(MolText("benzene", Atoms(6), kBenzene));
  benzene.Complete();
  EXPECT_EQ(benzene.mol.molformula, "C6H6");
  EXPECT_EQ(benzene.mol.molweight, "78.11");
  EXPECT_EQ(benzene.mol.posdata[1].hcount, 1);

  const std::string ethanol = MolText("e", {"C", "C", "O"}, {{1, 2}, {2, 3}});
  EXPECT_EQ(FormulaOf(ethanol), "C2H6O");
  EXPECT_EQ(WeightOf(ethanol), "46.07");
  EXPECT_EQ(FormulaOf(MolText("w", {"O"}, {})), "H2O");
  EXPECT_EQ(WeightOf(MolText("w", {"O"}, {})), "18.02");

  // Drawn hydrogens count once, as atoms.
  Read methanol(MolText("m", {"C", "O", "H"}, {{1, 2}, {2, 3}}));
  methanol.Complete();
  EXPECT_EQ(methanol.mol.posdata[3].hcount, 0);
  EXPECT_EQ(methanol.mol.molformula, "CH4O");
}

TEST(FormulaWeight, ElementTableOrder) {
  std::vector<TestBond> bonds = kBenzene;
  bonds.push_back({1, 7});
  EXPECT_EQ(FormulaOf(MolText("c", {"C", "C", "C", "C", "C", "C", "Cl"}, bonds)), "C6H5Cl");
  EXPECT_EQ(WeightOf(MolText("c", {"C", "C", "C", "C", "C", "C", "Cl"}, bonds)), "112.56");
  // Benzoyl chloride: oxygen after the halogens.
  bonds = kBenzene;
  bonds.insert(bonds.end(), {{1, 7}, {7, 8, 2}, {7, 9}});
  EXPECT_EQ(FormulaOf(MolText("bc", {"C", "C", "C", "C", "C", "C", "C", "O", "Cl"}, bonds)),
            "C7H5ClO");
}

// The weight text rounds the 18-digit decimal form of the sum, halves up.
TEST(FormulaWeight, RoundingOfTheWeightText) {
  // Et2N-S-Et
  const std::string c6h15ns = MolText("t", {"C", "C", "N", "C", "C", "S", "C", "C"},
                                      {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {3, 6}, {6, 7}, {7, 8}});
  EXPECT_EQ(FormulaOf(c6h15ns), "C6H15NS");
  EXPECT_EQ(WeightOf(c6h15ns), "133.26");
  // O=C=O beside a nitrite anion O=N-O(-)
  const std::string cno4 =
      MolText("x", {"C", "O", "O", "N", "O", "O"}, {{1, 2, 2}, {1, 3, 2}, {4, 5, 2}, {4, 6}},
              "\r\n", {0, 0, 0, 0, 0, 5});
  EXPECT_EQ(FormulaOf(cno4), "CNO4");
  EXPECT_EQ(WeightOf(cno4), "90.02");

  EXPECT_EQ(FormatWeight(0.0L), "0.00");
  EXPECT_EQ(FormatWeight(99.995L), "100.00");
  EXPECT_EQ(FormatWeight(1234.5L), "1234.50");
  EXPECT_EQ(FormatWeight(0.005L), "0.01");
  EXPECT_EQ(FormatWeight(12.0107L), "12.01");
}

}  // namespace
}  // namespace vuduzez
