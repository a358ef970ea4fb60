// Bond figures as drawn, on the recording canvas. Atoms are placed by picture
// point (see depict_fixture.h); atoms 1.. are the test's, the corners follow.
#include <gtest/gtest.h>

#include "depict_fixture.h"

namespace vuduzez {
namespace {

using testing::BondOps;
using testing::Build;
using testing::Draw;
using Ops = std::vector<std::string>;

TEST(DepictBonds, PlainSingleLineInTableOrder) {
  Molecule mol = Build({{130, 150}, {155, 150}, {170, 120}}, {{2, 3}, {1, 2}});
  EXPECT_EQ(BondOps(Draw(mol)),
            (Ops{"moveto 155 150", "lineto 170 120", "moveto 130 150", "lineto 155 150"}));
}

TEST(DepictBonds, EverythingBeforeTheLabels) {
  Molecule mol = Build({{130, 150, "O"}, {155, 150}, {170, 120, "Cl"}}, {{1, 2}, {2, 3}});
  const Ops ops = Draw(mol);
  const Ops head(ops.begin(), ops.begin() + 4);
  EXPECT_EQ(head, (Ops{"size 350 245", "pen 1", "font 20", "font 11"}));
  EXPECT_EQ(ops[4], "moveto 130 150");
  EXPECT_EQ(ops[8].rfind("text ", 0), 0u);
  EXPECT_EQ(ops.size(), 12u);  // 4 set-up, 4 bond, 2 x (text, font)
}

TEST(DepictBonds, HorizontalDoubleBondWithoutNeighboursLowerLineFirst) {
  Molecule mol = Build({{130, 150}, {155, 150}}, {{1, 2, 2}});  // L 25: s = 2
  EXPECT_EQ(BondOps(Draw(mol)),
            (Ops{"moveto 130 152", "lineto 155 152", "moveto 130 148", "lineto 155 148"}));
}

TEST(DepictBonds, ObliqueDoubleBondWithNeighbourOnOneEndOnlyIsACentredPair) {
  // L 50: d = 10; across (8, 6) for slope 4/3, so the pair sits at (+-4, -+3).
  Molecule mol = Build({{130, 110}, {160, 150}, {140, 90}}, {{1, 2, 2}, {1, 3}});
  const Ops ops = BondOps(Draw(mol));
  EXPECT_EQ(Ops(ops.begin(), ops.begin() + 4),
            (Ops{"moveto 134 107", "lineto 164 147", "moveto 126 113", "lineto 156 153"}));
}

TEST(DepictBonds, VerticalDoubleBondGoesRightWhenNeighboursSumToZeroAcross) {
  // Neighbours straight below and above: horizontal sum 0, vertical 49 - 29.
  Molecule mol =
      Build({{175, 123}, {175, 103}, {175, 84}, {175, 162}}, {{1, 2, 2}, {2, 3}, {4, 1}});
  const Ops ops = BondOps(Draw(mol));
  EXPECT_EQ(Ops(ops.begin(), ops.begin() + 4),
            (Ops{"moveto 175 123", "lineto 175 103", "moveto 179 119", "lineto 179 107"}));
}

TEST(DepictBonds, VerticalDoubleBondGoesLeftWhenNeighboursLieLeft) {
  Molecule mol =
      Build({{175, 123}, {175, 103}, {175, 84}, {150, 162}}, {{1, 2, 2}, {2, 3}, {4, 1}});
  const Ops ops = BondOps(Draw(mol));
  EXPECT_EQ(Ops(ops.begin(), ops.begin() + 4),
            (Ops{"moveto 175 123", "lineto 175 103", "moveto 171 119", "lineto 171 107"}));
}

TEST(DepictBonds, VerticalDoubleBondWithBalancedNeighboursIsCentred) {
  Molecule mol =
      Build({{175, 123}, {175, 103}, {175, 133}, {175, 93}}, {{1, 2, 2}, {1, 3}, {2, 4}});
  const Ops ops = BondOps(Draw(mol));
  EXPECT_EQ(Ops(ops.begin(), ops.begin() + 4),
            (Ops{"moveto 177 123", "lineto 177 103", "moveto 173 123", "lineto 173 103"}));
}

TEST(DepictBonds, DoubleBondPartnersOfNeighboursDecideTheSide) {
  // A=B horizontal; A-C single, C=D double with D far above, B-E single.
  // C and E alone would put the second line below; with D it goes above.
  Molecule mol = Build({{150, 130}, {175, 130}, {140, 135}, {140, 90}, {185, 135}},
                       {{1, 2, 2}, {1, 3}, {3, 4, 2}, {2, 5}});
  const Ops ops = BondOps(Draw(mol));
  EXPECT_EQ(Ops(ops.begin(), ops.begin() + 4),
            (Ops{"moveto 150 130", "lineto 175 130", "moveto 154 126", "lineto 171 126"}));
}

TEST(DepictBonds, NeighbourListsAreNotCappedAtThree) {
  // A's list is C1, D1, C2, D2: only the fourth entry, far above, turns the
  // sum negative.
  Molecule mol =
      Build({{150, 130}, {175, 130}, {140, 132}, {130, 134}, {150, 140}, {150, 100}, {185, 131}},
            {{1, 2, 2}, {1, 3}, {3, 4, 2}, {1, 5}, {5, 6, 2}, {2, 7}});
  const Ops ops = BondOps(Draw(mol));
  EXPECT_EQ(Ops(ops.begin(), ops.begin() + 4),
            (Ops{"moveto 150 130", "lineto 175 130", "moveto 154 126", "lineto 171 126"}));
}

TEST(DepictBonds, HorizontalDoubleBondWithNeighboursBelow) {
  Molecule mol =
      Build({{150, 130}, {175, 130}, {140, 150}, {185, 150}}, {{1, 2, 2}, {1, 3}, {2, 4}});
  const Ops ops = BondOps(Draw(mol));
  EXPECT_EQ(Ops(ops.begin(), ops.begin() + 4),
            (Ops{"moveto 150 130", "lineto 175 130", "moveto 154 134", "lineto 171 134"}));
}

TEST(DepictBonds, TripleBondsAxisParallelAndOblique) {
  Molecule across = Build({{130, 150}, {155, 150}}, {{1, 2, 3}});  // s = 2
  EXPECT_EQ(BondOps(Draw(across)), (Ops{"moveto 130 150", "lineto 155 150", "moveto 130 152",
                                        "lineto 155 152", "moveto 130 148", "lineto 155 148"}));
  Molecule upright = Build({{150, 150}, {150, 115}}, {{1, 2, 3}});  // s = 4
  EXPECT_EQ(BondOps(Draw(upright)), (Ops{"moveto 150 150", "lineto 150 115", "moveto 154 150",
                                         "lineto 154 115", "moveto 146 150", "lineto 146 115"}));
  // L 50, d 10: one line at s = 5 on each side.
  Molecule oblique = Build({{150, 150}, {180, 110}}, {{1, 2, 3}});
  EXPECT_EQ(BondOps(Draw(oblique)), (Ops{"moveto 150 150", "lineto 180 110", "moveto 146 147",
                                         "lineto 176 107", "moveto 154 153", "lineto 184 113"}));
}

TEST(DepictBonds, HashedWedgeWithLength30Draws16LinesTheLastOfZeroLength) {
  // Atom 2 has one other bond, atom 1 none: atom 2 is the narrow end.
  Molecule mol = Build({{130, 150}, {160, 150}, {180, 130}}, {{1, 2, 1, 6}, {2, 3}});
  DepictSizes z;
  const Ops ops = BondOps(Draw(mol, &z));
  ASSERT_EQ(z.hashCount, 15);
  Ops expected;
  const int shift[16] = {0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3};  // Round(k / 5)
  for (int k = 0; k <= 15; ++k) {
    expected.push_back("moveto " + std::to_string(130 + 2 * k) + " " +
                       std::to_string(153 - shift[k]));
    expected.push_back("lineto " + std::to_string(130 + 2 * k) + " " +
                       std::to_string(147 + shift[k]));
  }
  expected.push_back("moveto 160 150");
  expected.push_back("lineto 180 130");
  EXPECT_EQ(ops, expected);
  EXPECT_EQ(ops[30], "moveto 160 150");
  EXPECT_EQ(ops[31], "lineto 160 150");
}

TEST(DepictBonds, FilledWedgeIsABlackTriangleFromTheNarrowEnd) {
  Molecule mol = Build({{130, 150}, {160, 150}, {180, 130}}, {{1, 2, 1, 1}, {2, 3}});
  const Ops ops = BondOps(Draw(mol));
  EXPECT_EQ(Ops(ops.begin(), ops.begin() + 3),
            (Ops{"brush black", "polygon 160 150 130 153 130 147", "brush white"}));
}

TEST(DepictBonds, WedgeWithEqualCountersKeepsItsFirstAtomNarrow) {
  Molecule mol = Build({{130, 150}, {160, 150}}, {{1, 2, 1, 1}});
  EXPECT_EQ(BondOps(Draw(mol)),
            (Ops{"brush black", "polygon 130 150 160 153 160 147", "brush white"}));
  Molecule reversed = Build({{130, 150}, {160, 150}}, {{2, 1, 1, 1}});
  EXPECT_EQ(BondOps(Draw(reversed)),
            (Ops{"brush black", "polygon 160 150 130 153 130 147", "brush white"}));
}

TEST(DepictBonds, NarrowEndDependsOnTableOrderOfMultipleBonds) {
  // Atom 1: single, single, then double: its count ends at -3. Atom 2:
  // double, then single: -2. So atom 2 is narrow.
  const std::vector<testing::TestAtom> atoms = {{130, 150}, {160, 150}, {120, 140}, {120, 160},
                                                {140, 160}, {170, 160}, {180, 140}};
  Molecule late = Build(atoms, {{1, 2, 1, 1}, {1, 3}, {2, 6, 2}, {1, 4}, {2, 7}, {1, 5, 2}});
  EXPECT_EQ(BondOps(Draw(late))[1], "polygon 160 150 130 153 130 147");
  // The double bond first: atom 1 counts -3, -2, -1, atom 2 only -3, -2, so
  // atom 1 is narrow.
  Molecule early = Build(atoms, {{1, 2, 1, 1}, {1, 5, 2}, {2, 6, 2}, {1, 3}, {2, 7}, {1, 4}});
  EXPECT_EQ(BondOps(Draw(early))[1], "polygon 130 150 160 153 160 147");
}

TEST(DepictBonds, ObliqueWedgeBaseIsSquareToTheBond) {
  // L 26, d 6, slope -5/12: half the base is (Round(-0.58), Round(1.38)).
  Molecule mol = Build({{150, 150}, {174, 140}}, {{1, 2, 1, 1}});
  EXPECT_EQ(BondOps(Draw(mol))[1], "polygon 150 150 175 141 173 139");
}

TEST(DepictBonds, HashedWedgeTooShortToHashIsItsBaseAlone) {
  Molecule mol = Build({{150, 150}, {151, 150}}, {{1, 2, 1, 6}});
  DepictSizes z;
  EXPECT_EQ(BondOps(Draw(mol, &z)), (Ops{"moveto 151 151", "lineto 151 149"}));
  EXPECT_EQ(z.hashCount, 0);
}

TEST(DepictBonds, OtherStereoMarksAndBondTypesOnWedgeCodes) {
  // Stereo 4 (either) is a plain line; a double bond with a wedge code is a
  // double bond.
  Molecule either = Build({{130, 150}, {155, 150}}, {{1, 2, 1, 4}});
  EXPECT_EQ(BondOps(Draw(either)), (Ops{"moveto 130 150", "lineto 155 150"}));
  Molecule doubled = Build({{130, 150}, {155, 150}}, {{1, 2, 2, 1}});
  EXPECT_EQ(BondOps(Draw(doubled)).size(), 4u);
}

TEST(DepictBonds, AromaticAndQueryBondTypesLeaveNoMark) {
  // Aromatic bonds left in the tables (the reader gives a file's a Kekule
  // form) and query bond types.
  Molecule mol = Build({{150, 100}, {172, 113}, {172, 138}, {150, 150}, {128, 138}, {128, 113}},
                       {{1, 2, 8}, {2, 3, 8}, {3, 4, 8}, {4, 5, 8}, {5, 6, 8}, {6, 1, 5}});
  for (int j = 1; j <= 5; j += 2) mol.bnddata[static_cast<size_t>(j)].order = 4;
  EXPECT_TRUE(BondOps(Draw(mol)).empty());
}

}  // namespace
}  // namespace vuduzez
