#include "model/smiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "support/mol_text.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::TestBond;

struct Smiles {
  explicit Smiles(const std::string& text) : result(ReadSmiles(mol, text)) {}
  Smiles& Complete() {
    EXPECT_TRUE(result.ok) << result.message;
    CalcFormulaWeight(mol);
    return *this;
  }
  std::string Key() {
    SilentSink sink;
    EXPECT_TRUE(MakeStructureKey(mol, sink).ok());
    return mol.keydata;
  }
  Molecule mol;
  SmilesResult result;
};

// Every table field the readers fill, row by row.
void ExpectSameTables(const Molecule& a, const Molecule& b) {
  ASSERT_EQ(a.atmcount, b.atmcount);
  ASSERT_EQ(a.bndcount, b.bndcount);
  EXPECT_EQ(a.elmcount, b.elmcount);
  for (size_t i = 0; i < a.atmdata.size(); ++i) {
    SCOPED_TRACE("atom " + std::to_string(i));
    EXPECT_EQ(a.atmdata[i].symbol, b.atmdata[i].symbol);
    EXPECT_EQ(a.atmdata[i].degree, b.atmdata[i].degree);
    EXPECT_EQ(a.posdata[i].rawsym, b.posdata[i].rawsym);
    EXPECT_EQ(a.posdata[i].elem, b.posdata[i].elem);
    EXPECT_EQ(a.posdata[i].valence, b.posdata[i].valence);
    EXPECT_EQ(a.posdata[i].charge, b.posdata[i].charge);
  }
  for (size_t j = 0; j < a.bnddata.size(); ++j) {
    SCOPED_TRACE("bond " + std::to_string(j));
    EXPECT_EQ(a.bnddata[j].atom1, b.bnddata[j].atom1);
    EXPECT_EQ(a.bnddata[j].atom2, b.bnddata[j].atom2);
    EXPECT_EQ(a.bnddata[j].order, b.bnddata[j].order);
    EXPECT_EQ(a.bnddata[j].bsym, b.bnddata[j].bsym);
  }
}

Molecule FromMol(const std::string& text) {
  Molecule m;
  SilentSink sink;
  EXPECT_TRUE(ReadMolText(m, text, sink).ok());
  return m;
}

// Each aromatic atom that must take a double bond has exactly one.
std::vector<int> DoubleBondsPerAtom(const Molecule& m) {
  std::vector<int> n(static_cast<size_t>(m.atmcount) + 1, 0);
  for (int j = 1; j <= m.bndcount; ++j) {
    const BondRow& b = m.bnddata[static_cast<size_t>(j)];
    if (b.order == 2) {
      ++n[static_cast<size_t>(b.atom1)];
      ++n[static_cast<size_t>(b.atom2)];
    }
  }
  return n;
}

TEST(Smiles, AromaticRingsOfFiveAndSixAtomsAndFusedRings) {
  struct Case {
    const char* smiles;
    const char* formula;
    int doubles;                // double bonds placed
    std::vector<int> noDouble;  // atoms (1-based) that must stay without one
  };
  const Case cases[] = {
      {"c1ccccc1", "C6H6", 3, {}},
      {"n1ccccc1", "C5H5N", 3, {}},
      {"c1cc[nH]c1", "C4H5N", 2, {4}},
      {"c1ccoc1", "C4H4O", 2, {4}},
      {"s1cccc1", "C4H4S", 2, {1}},
      {"Cn1ccnc1", "C4H6N2", 2, {1, 2}},
      {"c1cnc[nH]1", "C3H4N2", 2, {5}},
      {"c1nc[nH]c1", "C3H4N2", 2, {4}},  // the greedy start leaves a path to augment
      {"c1ccc2ccccc2c1", "C10H8", 5, {}},
      {"c1ccc2[nH]ccc2c1", "C8H7N", 4, {5}},
      {"c1ccc2c(c1)[nH]c1ccccc12", "C12H9N", 6, {7}},
      {"O=c1cc[nH]cc1", "C5H5NO", 3, {5}},  // exocyclic double bond
      {"[cH-]1cccc1", "C5H5", 2, {1}},      // cyclopentadienide
      {"C[n+]1ccccc1", "C6H8N", 3, {1}},    // pyridinium
      {"c1ccc2c(c1)c1ccccc1c1ccccc21", "C18H12", 9, {}},
      {"c12cccc1.c2", "C6H6", 3, {}},  // a five-ring with a tail: the search meets a blossom
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.smiles);
    Smiles s(c.smiles);
    s.Complete();
    EXPECT_EQ(s.mol.molformula, c.formula);
    const std::vector<int> n = DoubleBondsPerAtom(s.mol);
    int doubles = 0;
    for (int j = 1; j <= s.mol.bndcount; ++j)
      doubles += s.mol.bnddata[static_cast<size_t>(j)].order == 2;
    EXPECT_EQ(doubles, c.doubles);
    for (int i = 1; i <= s.mol.atmcount; ++i) {
      const bool exempt = std::find(c.noDouble.begin(), c.noDouble.end(), i) != c.noDouble.end();
      EXPECT_EQ(n[static_cast<size_t>(i)], exempt ? 0 : 1) << "atom " << i;
    }
  }
  // Keys as for the same structures drawn.
  EXPECT_EQ(Smiles("c1ccccc1").Complete().Key(), "C@C@C@C@C@C@6");
  EXPECT_EQ(Smiles("c1ccccc1").Complete().Key(), Smiles("C1=CC=CC=C1").Complete().Key());
  // Naphthalene as drawn: both rings alternate, as the Kekule form chosen
  // for the SMILES does.
  Molecule drawn = FromMol(MolText("naphthalene", testing::Atoms(10),
                                   {{1, 2},
                                    {2, 3, 2},
                                    {3, 4},
                                    {4, 5},
                                    {5, 6, 2},
                                    {6, 7},
                                    {7, 8, 2},
                                    {8, 9},
                                    {9, 10},
                                    {10, 1, 2},
                                    {9, 4, 2}}));
  CalcFormulaWeight(drawn);
  SilentSink sink;
  ASSERT_TRUE(MakeStructureKey(drawn, sink).ok());
  EXPECT_EQ(Smiles("c1ccc2ccccc2c1").Complete().Key(), drawn.keydata);
}

TEST(Smiles, TablesAreThoseOfTheSameMolFile) {
  // Atoms in SMILES order; written bonds first, then ring closures by their
  // number (ring 2 closes first but is listed after ring 1); a bond symbol
  // at the opening makes the opening atom the first of the bond.
  Smiles s("C[N+](C)(C)C.[O-]C(=O)C1CC2CC2C=1");
  ASSERT_TRUE(s.result.ok) << s.result.message;
  const std::vector<std::string> symbols = {"C", "N", "C", "C", "C", "O", "C",
                                            "O", "C", "C", "C", "C", "C", "C"};
  const std::vector<TestBond> bonds = {{1, 2},    {2, 3},   {2, 4},     {2, 5},   {6, 7},
                                       {7, 8, 2}, {7, 9},   {9, 10},    {10, 11}, {11, 12},
                                       {12, 13},  {13, 14}, {14, 9, 2}, {13, 11}};
  const Molecule mol = FromMol(MolText("x", symbols, bonds, "\r\n", {0, 3, 0, 0, 0, 5}));
  ExpectSameTables(s.mol, mol);
  EXPECT_EQ(s.mol.bnddata[1].stereo, "0");
  EXPECT_EQ(s.mol.atmdata[1].x, 0.0L);

  // "C=1...C1": the opening atom first.
  Smiles ring("C=1CC1");
  EXPECT_EQ(ring.mol.bnddata[3].atom1, 1);
  EXPECT_EQ(ring.mol.bnddata[3].atom2, 3);
  EXPECT_EQ(ring.mol.bnddata[3].order, 2);
  Smiles ring2("C1CC=1");
  EXPECT_EQ(ring2.mol.bnddata[3].atom1, 3);
  EXPECT_EQ(ring2.mol.bnddata[3].order, 2);
}

TEST(Smiles, ChargedAndBracketAtoms) {
  Smiles ammonium("[NH4+]");
  ammonium.Complete();
  EXPECT_EQ(ammonium.mol.posdata[1].charge, 3);
  // The bracket's hydrogens; the charged nitrogen's valence allows them.
  EXPECT_EQ(ammonium.mol.molformula, "H4N");

  Smiles salt("[Na+].[Cl-]");
  salt.Complete();
  EXPECT_EQ(salt.mol.atmcount, 2);
  EXPECT_EQ(salt.mol.bndcount, 0);
  EXPECT_EQ(salt.mol.atmdata[1].symbol, "Na");
  EXPECT_EQ(salt.mol.posdata[1].rawsym, "Na");
  EXPECT_EQ(salt.mol.posdata[1].elem, ElementOf("Na"));
  EXPECT_EQ(salt.mol.molformula, "ClNa");
  EXPECT_EQ(salt.mol.posdata[1].charge, 3);
  EXPECT_EQ(salt.mol.posdata[2].rawsym, "Cl");
  EXPECT_EQ(salt.mol.posdata[2].charge, 5);

  Smiles codes("[Fe+3].[Fe+2].[O-2].[N-3].[Cu+4]");
  const int expected[] = {1, 2, 6, 7, 0};  // +4 has no atom-block code
  for (int i = 1; i <= 5; ++i)
    EXPECT_EQ(codes.mol.posdata[static_cast<size_t>(i)].charge, expected[i - 1]);

  // Chirality and atom class are read and ignored; an isotope counts in the
  // weight only.
  EXPECT_EQ(Smiles("[13CH3][C@@H](O)[C@TH2H](F)[NH2:12]").Complete().mol.molformula,
            Smiles("CC(O)C(F)N").Complete().mol.molformula);
  EXPECT_EQ(Smiles("[13CH3][C@@H](O)[C@TH2H](F)[NH2:12]").Complete().Key(),
            Smiles("CC(O)C(F)N").Complete().Key());
  Smiles same("C[C@@H](O)C");
  EXPECT_EQ(same.mol.atmcount, 4);
  EXPECT_EQ(same.mol.posdata[2].rawsym, "C ");

  // A plain [H] on a heavy atom is folded into it; other hydrogens stay atoms.
  EXPECT_EQ(Smiles("[H]C(=O)O").mol.atmcount, 3);
  EXPECT_EQ(Smiles("[2H]C([H])([H])[H]").Complete().mol.molformula, "CH4");
  EXPECT_EQ(Smiles("[H][H]").mol.atmcount, 2);
  EXPECT_EQ(Smiles("[H+]").mol.atmcount, 1);

  EXPECT_EQ(Smiles("CCO ethanol").mol.molname, "ethanol");
  EXPECT_EQ(Smiles("  CCO\t").mol.molname, "CCO");
}

TEST(Smiles, RingClosureDigits) {
  Smiles reused("C1CC1C1CC1");
  EXPECT_EQ(reused.mol.atmcount, 6);
  EXPECT_EQ(reused.mol.bndcount, 7);
  EXPECT_EQ(reused.Complete().Key(), Smiles("C1CC1C2CC2").Complete().Key());
  EXPECT_EQ(Smiles("C%12CC%12").Complete().Key(), Smiles("C1CC1").Complete().Key());
  EXPECT_EQ(Smiles("C%(123)CC%(123)").Complete().Key(), Smiles("C1CC1").Complete().Key());
  EXPECT_EQ(Smiles("C12CCCCC1CCCC2").Complete().mol.molformula, "C10H18");
  EXPECT_EQ(Smiles("C=1CCCCC1").mol.bnddata[6].order, 2);
  EXPECT_EQ(Smiles("C1CCCCC=1").mol.bnddata[6].order, 2);
  EXPECT_EQ(Smiles("C-1CCCCC/1").mol.bnddata[6].order, 1);  // "-" and "/" are both single
}

TEST(Smiles, EveryFaultWithItsPosition) {
  struct Case {
    const char* smiles;
    int position;
    const char* text;
  };
  const Case cases[] = {
      {"", 1, "SMILES が空です"},
      {"   ", 4, "SMILES が空です"},
      {"CCx", 3, "使えない文字 'x' があります"},
      {"CC?", 3, "使えない文字 '?' があります"},
      {"C\x01", 2, "使えない文字があります"},
      {"CZn", 2, "元素記号 Zn は [Zn] と角括弧の中に書きます"},
      {"CNa", 2, "元素記号 Na は [Na] と角括弧の中に書きます"},
      {"[C", 1, "角括弧 [ が閉じていません"},
      {"C[]", 3, "角括弧の中に元素記号がありません"},
      {"[Xx]", 2, "元素記号 Xx はありません"},
      {"[f]", 2, "芳香族原子 f は書けません"},
      {"[cl]", 3, "角括弧の中の 'l' が読めません"},
      {"[C+H]", 4, "角括弧の中の 'H' が読めません"},
      {"[C+99]", 3, "電荷 99 は大きすぎます"},
      {"C)", 2, "対応する ( のない ) があります"},
      {"CC(C", 3, "( が閉じていません"},
      {"(C)", 1, "枝 ( の前に原子がありません"},
      {"C()", 3, "枝 ( ) の中に原子がありません"},
      {"C=(C)", 2, "結合記号の後に原子がありません"},
      {"C=", 2, "結合記号の後に原子がありません"},
      {"=C", 1, "結合記号 '=' の前に原子がありません"},
      {"C==C", 3, "結合記号が続いています"},
      {"C$C", 2, "四重結合 $ は扱えません"},
      {"C.", 2, "'.' の後に原子がありません"},
      {".C", 1, "'.' の前に原子がありません"},
      {"C..C", 3, "'.' の前に原子がありません"},
      {"1CC", 1, "環結合の番号の前に原子がありません"},
      {"C1CC", 2, "環結合 1 が閉じていません"},
      {"C1CC2CC1", 5, "環結合 2 が閉じていません"},
      {"C11", 3, "環結合 1 が同じ原子を結んでいます"},
      {"C12CCC12", 8, "環結合 2 は既にある結合と重なります"},
      {"C=1CC#1", 7, "環結合 1 の両端で結合の種類が違います"},
      {"C%1C", 2, "% の後には二桁の環結合の番号が要ります"},
      {"C%(12C", 2, "% の後の環結合の番号 %(n) が読めません"},
      {"c1cccc1", 6, "芳香環の二重結合を決められません（ケクレ構造がありません）"},
      {"c1ccc[nH]c1", 10, "芳香環の二重結合を決められません（ケクレ構造がありません）"},
      {"Cc", 2, "芳香環の二重結合を決められません（ケクレ構造がありません）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.smiles);
    Smiles s(c.smiles);
    EXPECT_FALSE(s.result.ok);
    EXPECT_EQ(s.result.position, c.position);
    EXPECT_EQ(s.result.message,
              "SMILES の " + std::to_string(c.position) + " 文字目: " + std::string(c.text));
    EXPECT_EQ(s.mol.atmcount, 0);
  }
}

TEST(Smiles, AReadReplacesTheMoleculeAndCapacitiesHold) {
  Molecule mol;
  ASSERT_TRUE(ReadSmiles(mol, "c1ccc2ccccc2c1CCCC").ok);
  ASSERT_TRUE(ReadSmiles(mol, "CO").ok);
  EXPECT_EQ(mol.atmcount, 2);
  EXPECT_EQ(mol.atmdata[3].symbol, "");
  EXPECT_EQ(mol.bnddata[2].atom1, 0);
  EXPECT_EQ(mol.elmcount[1], 1);
  EXPECT_FALSE(ReadSmiles(mol, "C(").ok);
  EXPECT_EQ(mol.atmdata[1].symbol, "");
  EXPECT_EQ(mol.elmcount[1], 0);

  EXPECT_TRUE(ReadSmiles(mol, std::string(kMaxAtoms, 'C')).ok);
  const SmilesResult big = ReadSmiles(mol, std::string(kMaxAtoms + 1, 'C'));
  EXPECT_EQ(big.position, kMaxAtoms + 1);
  EXPECT_EQ(big.message, "SMILES の 201 文字目: 原子数が上限の 200 を超えます");
  // 200 atoms, each bonded to the next two: 397 bonds.
  std::string cage = "C1C2";
  for (int i = 0; i < 98; ++i) cage += "C11C22";
  cage += "C1C2";
  const SmilesResult many = ReadSmiles(mol, cage);
  EXPECT_FALSE(many.ok);
  EXPECT_NE(many.message.find("結合数が上限の 300 を超えます"), std::string::npos) << many.message;
}

}  // namespace
}  // namespace vuduzez
