// MOL files as today's programs write them: property lines, every element,
// charged atoms, aromatic bonds, V3000 and gzip, and files whose counts line
// does not fit the lines that follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include <string>
#include <vector>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "model/smiles.h"
#include "model/valence.h"
#include "support/gzip_text.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::Atoms;
using testing::MolText;
using testing::TestBond;

// MolText with property lines before its "M  END".
std::string WithProperties(std::string text, const std::vector<std::string>& lines) {
  const size_t end = text.rfind("M  END");
  std::string props;
  for (const std::string& l : lines) props += l + "\r\n";
  return text.insert(end, props);
}

struct Read {
  explicit Read(const std::string& text) : result(ReadMolText(mol, text, ui)) {
    if (result) CalcFormulaWeight(mol);
  }
  std::string Key() {
    RecordingSink sink;
    EXPECT_TRUE(MakeStructureKey(mol, sink).ok());
    return mol.keydata;
  }
  Molecule mol;
  RecordingSink ui;
  MolReadResult result;
};

const std::vector<TestBond> kRing6 = {{1, 2, 4}, {2, 3, 4}, {3, 4, 4},
                                      {4, 5, 4}, {5, 6, 4}, {6, 1, 4}};

TEST(PropertyLines, ChargesIsotopesAndRadicals) {
  // Acetate: the charge in M  CHG only, the atom block's field 0.
  Read acetate(WithProperties(MolText("ac", {"C", "C", "O", "O"}, {{1, 2}, {2, 3, 2}, {2, 4}}),
                              {"M  CHG  1   4  -1"}));
  ASSERT_TRUE(acetate.result);
  EXPECT_EQ(acetate.mol.molformula, "C2H3O2");
  EXPECT_EQ(acetate.mol.molweight, "59.04");
  EXPECT_EQ(acetate.mol.posdata[4].formal, -1);
  EXPECT_EQ(acetate.mol.posdata[4].charge, 5);  // as the atom block would write it
  // M  CHG supersedes the atom block for the atoms it names, only for them;
  // a charge beyond the atom block's codes is kept as it is.
  Read both(WithProperties(
      MolText("nitro", {"N", "O", "O", "C", "Sn"}, {{1, 2, 2}, {1, 3}, {1, 4}}, "\r\n", {5, 0, 3}),
      {"M  CHG  3   1   1   3  -1   5   4"}));
  ASSERT_TRUE(both.result);
  EXPECT_EQ(both.mol.posdata[1].formal, 1);
  EXPECT_EQ(both.mol.posdata[3].formal, -1);
  EXPECT_EQ(both.mol.posdata[5].formal, 4);
  EXPECT_EQ(both.mol.posdata[5].charge, 0);
  EXPECT_EQ(both.mol.molformula, "CH3NO2Sn");
  // Isotopes: M  ISO, the mass difference field, D; the weight counts their masses.
  Read labelled(WithProperties(MolText("c13", {"C", "O"}, {{1, 2}}), {"M  ISO  1   1  13"}));
  EXPECT_EQ(labelled.mol.posdata[1].isotope, 13);
  EXPECT_EQ(labelled.mol.molformula, "CH4O");
  EXPECT_EQ(labelled.mol.molweight, "33.03");
  std::string dd = MolText("dd", {"C"}, {});
  dd.replace(dd.find(" C   0") + 4, 2, " 1");
  EXPECT_EQ(Read(dd).mol.posdata[1].isotope, 13);
  Read deuterio(MolText("d", {"C", "D"}, {{1, 2}}));
  EXPECT_EQ(deuterio.mol.posdata[2].elem, kHydrogen);
  EXPECT_EQ(deuterio.mol.molformula, "CH4");
  EXPECT_EQ(deuterio.mol.molweight, "17.05");
  // Radicals take the place of hydrogens: a methyl radical, and charge code 4.
  EXPECT_EQ(Read(WithProperties(MolText("r", {"C"}, {}), {"M  RAD  1   1   2"})).mol.molformula,
            "CH3");
  EXPECT_EQ(Read(MolText("r", {"C"}, {}, "\r\n", {4})).mol.molformula, "CH3");
  // A property line naming an atom that does not exist is refused.
  Read outside(WithProperties(MolText("x", {"C"}, {}), {"M  CHG  1   2   1"}));
  EXPECT_EQ(outside.result.status, MolReadStatus::kBondAtomOutOfRange);
  EXPECT_EQ(outside.ui.messages.at(0), PropertyAtomOutOfRangeMessage("M  CHG", 2, 1));
}

TEST(PropertyLines, EndAtMEndAndSkipTheirTexts) {
  std::string text = MolText("m", {"C", "O"}, {{1, 2}});
  // An alias's text line is no property line; what follows M  END is not read.
  text = WithProperties(text, {"A    2", "M  CHG  1   1   1"});
  text += "M  CHG  1   2  -1\r\n";
  Read r(text);
  ASSERT_TRUE(r.result);
  EXPECT_EQ(r.mol.posdata[1].formal, 0);
  EXPECT_EQ(r.mol.posdata[2].formal, 0);
  // A UTF-8 byte order mark before the name line is not part of the name.
  Read bom("\xEF\xBB\xBF" + MolText("phenol", {"C", "O"}, {{1, 2}}));
  ASSERT_TRUE(bom.result);
  EXPECT_EQ(bom.mol.molname, "phenol");
}

// Counts lines that disagree with the lines after them are refused, naming
// the line where the disagreement shows.
TEST(CountsLine, DisagreeingCountsAreRefused) {
  const std::string carbon =
      "    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0";
  const std::string head = "m.mol\r\n\r\n\r\n";
  auto counts = [](int a, int b) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%3d%3d  0  0  0  0  0  0  0  0999 V2000\r\n", a, b);
    return std::string(buf);
  };
  struct Case {
    std::string text;
    int line;
    std::string what;
  };
  const std::vector<Case> cases = {
      {head + counts(0, 0) + carbon + "\r\nM  END\r\n", 5, MoreLinesText(5, kAtomLineWord)},
      {head + counts(2, 0) + carbon + "\r\n  1  2  1  0\r\nM  END\r\n", 6,
       NotAnAtomLineText(6, 2, kBondLineWord)},
      {head + counts(1, 1) + carbon + "\r\n" + carbon + "\r\n  1  2  1\r\nM  END\r\n", 6,
       NotABondLineText(6, 1, kAtomLineWord)},
      {head + counts(2, 2) + carbon + "\r\n" + carbon + "\r\n  1  2  1\r\nM  END\r\n", 8,
       NotABondLineText(8, 2, PropertyLineWord("M  END"))},
      {head + counts(2, 0) + carbon + "\r\n" + carbon + "\r\n  1  2  1\r\nM  END\r\n", 7,
       MoreLinesText(7, kBondLineWord)},
      {head + counts(3, 0) + carbon + "\r\n", 6, FileEndsBeforeAtomText(2)},
      {head + counts(1, 1) + carbon + "\r\n", 6, FileEndsBeforeBondText(1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Molecule mol;
    RecordingSink ui;
    const MolReadResult r = ReadMolText(mol, c.text, ui);
    EXPECT_EQ(r.status, MolReadStatus::kCountsMismatch);
    EXPECT_EQ(r.line, c.line);
    EXPECT_NE(r.message.find(c.what), std::string::npos) << r.message;
    EXPECT_EQ(ui.messages, std::vector<std::string>{r.message});
  }
  // Counts that fit read as before.
  EXPECT_TRUE(Read(head + counts(0, 0) + "M  END\r\n").result);
}

TEST(Elements, EveryElementCountsAsItselfAfterTheTable) {
  // Phenylboronic acid: boron after the 13 of the table, not a carbon.
  std::vector<TestBond> bonds = {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2},
                                 {6, 1},    {1, 7}, {7, 8},    {7, 9}};
  Read boronic(MolText("pba", {"C", "C", "C", "C", "C", "C", "B", "O", "O"}, bonds));
  EXPECT_EQ(boronic.mol.molformula, "C6H7O2B");
  EXPECT_EQ(boronic.mol.molweight, "121.93");
  // Platinum takes no hydrogens; sodium acetate sorts Na after the table.
  EXPECT_EQ(Read(MolText("pt", {"Cl", "Pt", "Cl"}, {{1, 2}, {2, 3}})).mol.molformula, "Cl2Pt");
  EXPECT_EQ(Read(MolText("zn", {"Zn", "C", "C"}, {{1, 2}, {1, 3}})).mol.molformula, "C2H6Zn");
  Read salt(WithProperties(MolText("na", {"C", "C", "O", "O", "Na"}, {{1, 2}, {2, 3, 2}, {2, 4}}),
                           {"M  CHG  2   4  -1   5   1"}));
  EXPECT_EQ(salt.mol.molformula, "C2H3O2Na");
  EXPECT_EQ(salt.mol.molweight, "82.03");
  // A symbol that is no element is refused, named; a typo is not carbon.
  for (const char* symbol : {"X", "R", "Xx", "c"}) {
    Read r(MolText("bad", {"C", symbol}, {{1, 2}}));
    EXPECT_EQ(r.result.status, MolReadStatus::kNotAnElement) << symbol;
    EXPECT_EQ(r.result.message, AtomNotElementMessage(2, symbol));
  }
  // Query atoms are read, counted as nothing, and mark the structure as a query.
  Read query(MolText("q", {"C", "A", "Q", "C"}, {{1, 2}, {2, 3}, {3, 4}}));
  ASSERT_TRUE(query.result);
  EXPECT_EQ(query.mol.posdata[2].elem, 0);
  EXPECT_EQ(query.mol.molformula, "C2H6");
  EXPECT_EQ(query.mol.queryfeature, QueryAtomMessage(2, "A"));
  EXPECT_EQ(Read(MolText("b", Atoms(2), {{1, 2, 8}})).mol.queryfeature, QueryBondMessage(1, 8));
  // An atom list (its first element in the atom block, as RDKit writes it).
  Read list(WithProperties(MolText("l", {"C", "C", "N"}, {{1, 2}, {2, 3}}),
                           {"M  ALS   3  2 F N   O   "}));
  EXPECT_EQ(list.mol.posdata[3].elem, 0);
  EXPECT_EQ(list.mol.molformula, "C2H5");
  EXPECT_EQ(list.mol.queryfeature, AtomListMessage(3));
  EXPECT_EQ(Read(MolText("plain", Atoms(2), {{1, 2}})).mol.queryfeature, "");
}

// Hydrogens by the default valence model, element by element and charge by
// charge; neutral atoms of the original table keep the counts it gave.
TEST(Valences, DefaultValenceModel) {
  struct Case {
    const char* symbol;
    int charge;
    int bonds;  // single bonds to carbons
    int hydrogens;
  };
  const Case cases[] = {
      {"N", 1, 2, 2},  {"N", 1, 0, 4},  {"N", -1, 1, 1}, {"O", 1, 1, 2},  {"O", -1, 0, 1},
      {"O", -1, 1, 0}, {"C", 1, 0, 3},  {"C", -1, 2, 1}, {"B", -1, 0, 4}, {"B", 0, 1, 2},
      {"S", 0, 3, 1},  {"S", 0, 5, 1},  {"P", 0, 4, 1},  {"P", 0, 5, 0},  {"Si", 0, 5, 1},
      {"Cl", 1, 1, 1}, {"Na", 1, 0, 0}, {"Mg", 0, 0, 2}, {"Fe", 2, 0, 0}, {"Se", 0, 1, 1},
  };
  for (const Case& c : cases) {
    std::vector<std::string> symbols = {c.symbol};
    std::vector<TestBond> bonds;
    for (int k = 0; k < c.bonds; ++k) {
      symbols.push_back("C");
      bonds.push_back({1, k + 2});
    }
    static constexpr int kCodes[] = {7, 6, 5, 0, 3, 2, 1};
    Read r(MolText("v", symbols, bonds, "\r\n", {kCodes[c.charge + 3]}));
    EXPECT_EQ(r.mol.posdata[1].hcount, c.hydrogens) << c.symbol << c.charge << " " << c.bonds;
  }
  // Dimethylammonium is C2H8N (its charge is not written in the formula).
  EXPECT_EQ(Read(MolText("dma", {"C", "N", "C"}, {{1, 2}, {2, 3}}, "\r\n", {0, 3})).mol.molformula,
            "C2H8N");
  // The original table's valences (C H N Br Cl F I Li O P S Si) for every
  // bond order sum up to them: the counts it gave.
  const int old[] = {4, 1, 3, 1, 1, 1, 1, 1, 2, 3, 2, 4};
  for (int e = kCarbon; e < kZinc; ++e) {
    for (int s = 0; s <= old[e - 1]; ++s) {
      EXPECT_EQ(DefaultHydrogens(e, 0, s, 0), old[e - 1] - s)
          << kElements[static_cast<size_t>(e)].symbol;
    }
  }
}

// Aromatic bonds (type 4) count 1.5, then get single and double bonds: the
// records of such a file are those of its Kekule twin.
TEST(AromaticBonds, AreGivenAKekuleForm) {
  std::vector<TestBond> acid = kRing6;
  acid.insert(acid.end(), {{1, 7}, {7, 8, 2}, {7, 9}});
  const std::vector<std::string> atoms = {"C", "C", "C", "C", "C", "C", "C", "O", "O"};
  Read aromatic(MolText("benzoic", atoms, acid));
  ASSERT_TRUE(aromatic.result);
  EXPECT_EQ(aromatic.mol.molformula, "C7H6O2");
  EXPECT_EQ(aromatic.mol.molweight, "122.12");
  std::vector<TestBond> kekule = {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}};
  kekule.insert(kekule.end(), {{1, 7}, {7, 8, 2}, {7, 9}});
  Read twin(MolText("benzoic", atoms, kekule));
  EXPECT_EQ(aromatic.Key(), twin.Key());

  // Naphthalene: the form in which both rings alternate, keyed as drawn.
  std::vector<TestBond> fused = {{1, 2, 4}, {2, 3, 4}, {3, 4, 4},  {4, 5, 4},  {5, 6, 4}, {6, 7, 4},
                                 {7, 8, 4}, {8, 9, 4}, {9, 10, 4}, {10, 1, 4}, {9, 4, 4}};
  Read naphthalene(MolText("n", Atoms(10), fused));
  ASSERT_TRUE(naphthalene.result);
  EXPECT_EQ(naphthalene.mol.bnddata[11].order, 2);
  Molecule smiles;
  ASSERT_TRUE(ReadSmiles(smiles, "c1ccc2ccccc2c1").ok);
  CalcFormulaWeight(smiles);
  RecordingSink sink;
  ASSERT_TRUE(MakeStructureKey(smiles, sink));
  EXPECT_EQ(naphthalene.Key(), smiles.keydata);

  // Pyridine takes its double bond at N; pyrrole needs its hydrogen drawn.
  EXPECT_EQ(Read(MolText("py", {"N", "C", "C", "C", "C", "C"}, kRing6)).mol.molformula, "C5H5N");
  const std::vector<TestBond> ring5 = {{1, 2, 4}, {2, 3, 4}, {3, 4, 4}, {4, 5, 4}, {5, 1, 4}};
  Read pyrrole(MolText("pyrrole", {"N", "C", "C", "C", "C"}, ring5));
  EXPECT_EQ(pyrrole.result.status, MolReadStatus::kNoKekule);
  EXPECT_EQ(pyrrole.result.message, NoKekuleMessage(5));
  std::vector<TestBond> withH = ring5;
  withH.push_back({1, 6});
  EXPECT_EQ(Read(MolText("pyrrole", {"N", "C", "C", "C", "C", "H"}, withH)).mol.molformula,
            "C4H5N");
  // A query atom in an aromatic ring takes a double bond where one is needed.
  EXPECT_TRUE(Read(MolText("q", {"A", "C", "C", "C", "C", "C"}, kRing6)).result);
}

// Among the Kekule forms the one with the most alternating six-rings: checked
// against every form of some fused hydrocarbons.
TEST(AromaticBonds, TheKekuleFormAlternatesTheMostSixRings) {
  for (const char* smiles : {"c1ccc2ccccc2c1", "c1ccc2cc3ccccc3cc2c1", "c1ccc2c(c1)ccc1ccccc12",
                             "c1cc2ccc3cccc4ccc(c1)c2c34", "c1ccc2c(c1)c1ccccc1c1ccccc21",
                             "c1ccc2c(c1)ccc1c2ccc2ccccc21"}) {
    SCOPED_TRACE(smiles);
    Molecule mol;
    ASSERT_TRUE(ReadSmiles(mol, smiles).ok);
    // Six-rings: every closed walk of six distinct atoms, as bond sets.
    std::vector<std::vector<int>> rings;
    const int n = mol.atmcount;
    auto bondOf = [&](int a, int b) {
      for (int j = 1; j <= mol.bndcount; ++j) {
        const BondRow& r = mol.bnddata[static_cast<size_t>(j)];
        if ((r.atom1 == a && r.atom2 == b) || (r.atom1 == b && r.atom2 == a)) return j;
      }
      return 0;
    };
    std::vector<int> path;
    auto walk = [&](auto&& self, int at) -> void {
      if (path.size() == 6) {
        if (bondOf(at, path[0]) == 0 || path[0] != *std::min_element(path.begin(), path.end()) ||
            path[1] > path[5])
          return;
        std::vector<int> ring;
        for (size_t k = 0; k < 6; ++k) ring.push_back(bondOf(path[k], path[(k + 1) % 6]));
        rings.push_back(ring);
        return;
      }
      for (int next = 1; next <= n; ++next) {
        if (bondOf(at, next) && std::find(path.begin(), path.end(), next) == path.end()) {
          path.push_back(next);
          self(self, next);
          path.pop_back();
        }
      }
    };
    for (int s = 1; s <= n; ++s) {
      path = {s};
      walk(walk, s);
    }
    auto alternating = [&](const std::vector<int>& order) {
      int count = 0;
      for (const auto& ring : rings) {
        int doubles = 0;
        for (int j : ring) doubles += order[static_cast<size_t>(j)] == 2;
        count += doubles == 3;
      }
      return count;
    };
    std::vector<int> chosen(static_cast<size_t>(mol.bndcount) + 1, 0);
    for (int j = 1; j <= mol.bndcount; ++j)
      chosen[static_cast<size_t>(j)] = mol.bnddata[static_cast<size_t>(j)].order;
    // Every form: each carbon (one hydrogen or none, as here) has one double bond.
    int best = 0;
    std::vector<int> order(static_cast<size_t>(mol.bndcount) + 1, 1);
    std::vector<int> doubled(static_cast<size_t>(n) + 1, 0);
    auto forms = [&](auto&& self, int j) -> void {
      if (j > mol.bndcount) {
        for (int a = 1; a <= n; ++a) {
          if (doubled[static_cast<size_t>(a)] != 1) return;
        }
        best = std::max(best, alternating(order));
        return;
      }
      const BondRow& b = mol.bnddata[static_cast<size_t>(j)];
      self(self, j + 1);
      if (!doubled[static_cast<size_t>(b.atom1)] && !doubled[static_cast<size_t>(b.atom2)]) {
        order[static_cast<size_t>(j)] = 2;
        doubled[static_cast<size_t>(b.atom1)] = doubled[static_cast<size_t>(b.atom2)] = 1;
        self(self, j + 1);
        doubled[static_cast<size_t>(b.atom1)] = doubled[static_cast<size_t>(b.atom2)] = 0;
        order[static_cast<size_t>(j)] = 1;
      }
    };
    forms(forms, 1);
    EXPECT_EQ(alternating(chosen), best);
  }
}

TEST(V3000AndGzip, ReadAsTheirV2000Twins) {
  const std::string v2000 = WithProperties(
      MolText("glycinate", {"N", "C", "C", "O", "O"}, {{1, 2}, {2, 3}, {3, 4, 2}, {3, 5}}),
      {"M  CHG  1   5  -1", "M  ISO  1   2  13"});
  const std::string v3000 =
      "glycinate.mol\n  test\n\n  0  0  0     0  0            999 V3000\n"
      "M  V30 BEGIN CTAB\nM  V30 COUNTS 5 4 0 0 0\nM  V30 BEGIN ATOM\n"
      "M  V30 1 N 0 0 0 0\nM  V30 2 C 1 1 0 0 MASS=13\nM  V30 3 C 2 2 0 0\n"
      "M  V30 4 O 0 1 0 0\nM  V30 5 O 1 2 0 0 -\nM  V30 CHG=-1\n"
      "M  V30 END ATOM\nM  V30 BEGIN BOND\nM  V30 1 1 1 2\nM  V30 2 1 2 3\n"
      "M  V30 3 2 3 4\nM  V30 4 1 3 5\nM  V30 END BOND\nM  V30 END CTAB\nM  END\n";
  Read plain(v2000), converted(v3000);
  ASSERT_TRUE(converted.result) << converted.result.message;
  EXPECT_EQ(converted.mol.molname, "glycinate");
  EXPECT_EQ(converted.mol.molformula, plain.mol.molformula);
  EXPECT_EQ(converted.mol.molweight, plain.mol.molweight);
  EXPECT_EQ(converted.Key(), plain.Key());
  // What the store keeps of it is V2000.
  const MolTextResult kept = MolTextAsV2000(v3000);
  ASSERT_TRUE(kept.ok);
  EXPECT_NE(kept.text.find("V2000"), std::string::npos);
  EXPECT_NE(kept.text.find("M  CHG  1   5  -1"), std::string::npos);

  // gzip-compressed files read as what they contain, from memory or a file.
  testing::TempFolder tmp;
  const std::string path = tmp.path() + "/glycinate.mol.gz";
  testing::WriteFile(path, testing::Gzip(v3000));
  Molecule mol;
  RecordingSink ui;
  ASSERT_TRUE(ReadMolFile(mol, path, ui));
  CalcFormulaWeight(mol);
  EXPECT_EQ(mol.molweight, plain.mol.molweight);
  EXPECT_EQ(MolTextAsV2000(testing::Gzip(v2000)).text, v2000);

  // What cannot be read says so.
  Read broken("x\n\n\n  0  0  0     0  0            999 V3000\nM  V30 BEGIN CTAB\nM  END\n");
  EXPECT_EQ(broken.result.status, MolReadStatus::kUnreadable);
  EXPECT_EQ(broken.result.message.rfind(V3000UnreadableMessage(""), 0), 0u);
  Read damaged(testing::Gzip(v2000).substr(0, 40));
  EXPECT_EQ(damaged.result.status, MolReadStatus::kUnreadable);
}

}  // namespace
}  // namespace vuduzez
