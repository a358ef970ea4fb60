#include "chem/rdkit_mol.h"

#include <gtest/gtest.h>

namespace vuduzez::chem {
namespace {

TEST(RdkitMol, ReadsChargesFromPropertyLinesAndKeepsDrawnHydrogens) {
  const std::string acetate =
      "acetate\r\n\r\n\r\n"
      "  5  4  0  0  0  0  0  0  0  0999 V2000\r\n"
      "    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
      "    1.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
      "    1.5000    0.8660    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
      "    1.5000   -0.8660    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
      "   -1.0000    0.0000    0.0000 H   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
      "  1  2  1  0\r\n  2  3  2  0\r\n  2  4  1  0\r\n  1  5  1  0\r\n"
      "M  CHG  1   4  -1\r\nM  END\r\n";
  ParsedMol parsed = ParseMolBlock(acetate);
  ASSERT_TRUE(parsed) << parsed.error;
  EXPECT_EQ(parsed.mol->getNumAtoms(), 5u);
  EXPECT_EQ(parsed.mol->getAtomWithIdx(3)->getFormalCharge(), -1);
}

TEST(RdkitMol, RefusalsGiveAReasonInsteadOfAMolecule) {
  EXPECT_FALSE(ParseSmiles("C1CC"));
  EXPECT_FALSE(ParseSmarts("[#7"));
  ParsedMol bad = ParseSmiles("C(C)(C)(C)(C)C");  // five-valent carbon
  EXPECT_FALSE(bad);
  EXPECT_FALSE(bad.error.empty());
}

}  // namespace
}  // namespace vuduzez::chem
