// Atom labels: which text goes where, and the font heights around it. Bond 1
// is 33 pixels long unless a test says otherwise: label height 14, unit u 5,
// subscript height Round(12.5) = 12.
#include <gtest/gtest.h>

#include <algorithm>

#include "depict_fixture.h"

namespace vuduzez {
namespace {

using testing::BondOps;
using testing::Build;
using testing::Draw;
using testing::LabelOps;
using Ops = std::vector<std::string>;

TEST(DepictLabels, AminoHydrogensStandAwayFromTheBond) {
  Molecule right = Build({{130, 150, "N"}, {163, 150}}, {{1, 2}});
  EXPECT_EQ(LabelOps(Draw(right)),
            (Ops{"text 100 145 H N", "font 12", "text 110 150 2", "font 14"}));
  Molecule left = Build({{130, 150}, {163, 150, "N"}}, {{1, 2}});
  EXPECT_EQ(LabelOps(Draw(left)), (Ops{"text 158 145 NH", "font 12", "text 178 150 2", "font 14"}));
  Molecule below = Build({{150, 150, "N"}, {150, 117}}, {{1, 2}});
  EXPECT_EQ(LabelOps(Draw(below)),
            (Ops{"text 145 145 NH", "font 12", "text 165 150 2", "font 14"}));
}

TEST(DepictLabels, UnitAndSubscriptFollowTheLabelHeight) {
  // Height 8: u 3, subscript Round(7.5) = 8. Height 20: u 7, subscript 18.
  Molecule small = Build({{130, 150, "N"}, {142, 150}}, {{1, 2}});
  EXPECT_EQ(LabelOps(Draw(small)), (Ops{"text 112 147 H N", "font 8", "text 118 150 2", "font 8"}));
  Molecule large = Build({{130, 150, "N"}, {190, 150}}, {{1, 2}});
  EXPECT_EQ(LabelOps(Draw(large)),
            (Ops{"text 88 143 H N", "font 18", "text 102 150 2", "font 20"}));
}

TEST(DepictLabels, LastBondInTableOrderNamesTheNeighbour) {
  // The order-0 bond adds no hydrogen demand and draws nothing, but it is the
  // last bond at the nitrogen and its partner lies to the left.
  Molecule mol = Build({{150, 150, "N"}, {183, 150}, {120, 150}}, {{1, 2}, {1, 3, 0}});
  EXPECT_EQ(LabelOps(Draw(mol))[0], "text 145 145 NH");
  Molecule swapped = Build({{150, 150, "N"}, {183, 150}, {120, 150}}, {{1, 3, 0}, {1, 2}});
  EXPECT_EQ(LabelOps(Draw(swapped))[0], "text 126 146 H N");  // bond 1 is 30 long: u 4
}

TEST(DepictLabels, HydroxyHydrogenOnTheFreeSide) {
  Molecule oh = Build({{130, 150}, {163, 150, "O"}}, {{1, 2}});
  EXPECT_EQ(LabelOps(Draw(oh)), (Ops{"text 158 145 OH", "font 14"}));
  Molecule ho = Build({{130, 150, "O"}, {163, 150}}, {{1, 2}});
  EXPECT_EQ(LabelOps(Draw(ho)), (Ops{"text 120 145 HO", "font 14"}));
}

TEST(DepictLabels, WithoutAnyBondTheHydrogensGoRight) {
  Molecule mol = Build({{150, 150, "O"}, {180, 120, "N"}}, {});
  mol.posdata[1].hcount = 1;
  mol.posdata[2].hcount = 2;
  // No bonds: label height 8, u 3, subscript 8.
  EXPECT_EQ(LabelOps(Draw(mol)), (Ops{"text 147 147 OH", "font 8", "text 177 117 NH", "font 8",
                                      "text 189 120 2", "font 8"}));
}

TEST(DepictLabels, NitrogenAndOxygenWithOtherHydrogenCounts) {
  // N with one H; N with none; a lone N (three H); a lone O (two H); a
  // carbonyl O.
  Molecule mol = Build({{130, 150},
                        {163, 150, "N"},
                        {196, 150},
                        {163, 117, "N"},
                        {140, 117},
                        {140, 100},
                        {130, 84},
                        {200, 100, "N"},
                        {220, 130, "O"},
                        {200, 84, "O"}},
                       {{1, 2}, {2, 3}, {4, 5}, {4, 6}, {4, 7}, {10, 3, 2}});
  EXPECT_EQ(LabelOps(Draw(mol)),
            (Ops{"text 158 145 NH", "font 14", "text 158 112 N", "font 14", "text 195 95 N",
                 "font 14", "text 215 125 O", "font 14", "text 195 79 O", "font 14"}));
}

TEST(DepictLabels, OtherElementsAreWrittenAsTheyStand) {
  Molecule mol = Build({{130, 150},
                        {163, 150, "Cl"},
                        {130, 117, "H"},
                        {180, 100, "S"},
                        {200, 130, "Na"},
                        {200, 100, "Br"}},
                       {{1, 2}, {1, 3}, {1, 4}});
  EXPECT_EQ(LabelOps(Draw(mol)),
            (Ops{"text 158 145 Cl", "font 14", "text 125 112 H", "font 14", "text 175 95 S",
                 "font 14", "text 195 125 Na", "font 14", "text 195 95 Br", "font 14"}));
}

// A charge stands raised after the label, a mass number raised before it, in
// the subscript size; carbon is labelled once it carries either.
TEST(DepictLabels, ChargesAndIsotopesAreDrawnOnTheirAtoms) {
  Molecule cation = Build({{130, 150}, {163, 150, "C", 3}, {180, 120, "C", 5}}, {{1, 2}, {2, 3}});
  EXPECT_EQ(LabelOps(Draw(cation)),
            (Ops{"text 158 145 C", "font 12", "text 167 140 +", "font 14", "text 175 115 C",
                 "font 12", "text 184 110 \u2212", "font 14"}));
  // H3N+ with its bond to the right, a 13C, an O-.
  Molecule ion = Build({{130, 150, "N", 3}, {163, 150}, {196, 150, "O", 5}}, {{1, 2}, {2, 3}});
  ion.posdata[2].isotope = 13;
  EXPECT_EQ(
      LabelOps(Draw(ion)),
      (Ops{"text 110 145 H", "font 12", "text 119 150 3", "font 14", "text 125 145 N", "font 12",
           "text 134 140 +", "font 14", "font 12", "text 146 140 13", "font 14", "text 158 145 C",
           "font 14", "text 191 145 O", "font 12", "text 201 140 \u2212", "font 14"}));
  Molecule plain = Build({{130, 150}, {163, 150}}, {{1, 2}});
  EXPECT_TRUE(LabelOps(Draw(plain)).empty());
}

TEST(DepictLabels, SymbolBytesAreShownAsUtf8) {
  Molecule mol = Build({{130, 150, "N"}, {163, 150}}, {{1, 2}});
  mol.posdata[1].rawsym = "\x82\xa0";  // CP932 for "あ"
  EXPECT_EQ(LabelOps(Draw(mol)), (Ops{"text 125 145 \xe3\x81\x82", "font 14"}));
}

TEST(DepictLabels, HighlightColoursTheMatchOnly) {
  // C1-O2 and O2-C3: atoms 1 and 2 and bond 1 lit.
  Molecule mol = Build({{100, 150}, {133, 150, "O"}, {166, 150}}, {{1, 2}, {2, 3}});
  RecordingCanvas canvas;
  DepictState st;
  const Highlight lit{{1, 2}, {1}};
  DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas, st, nullptr, &lit);
  const Ops bonds = BondOps(canvas.Lines());
  ASSERT_GE(bonds.size(), 6u);
  EXPECT_EQ(bonds[0], "pencolor highlight");  // bond 1 in colour, bond 2 black
  EXPECT_EQ(bonds[3], "pencolor black");
  const Ops labels = LabelOps(canvas.Lines());
  ASSERT_EQ(labels.size(), 3u);  // the O in colour; the carbons unlabelled
  EXPECT_EQ(labels[0].substr(labels[0].size() - 2), " O");
  EXPECT_EQ(labels[2], "textcolor black");
  const Ops all = canvas.Lines();
  EXPECT_EQ(std::count(all.begin(), all.end(), "textcolor highlight"), 1);
  // A lit carbon that no lit bond shows gets its "C" written.
  canvas.Clear();
  const Highlight lone{{3}, {}};
  DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas, st, nullptr, &lone);
  const Ops loneLabels = LabelOps(canvas.Lines());
  ASSERT_EQ(loneLabels.size(), 6u);  // O, then the coloured C
  EXPECT_EQ(loneLabels[3].substr(loneLabels[3].size() - 2), " C");
}

}  // namespace
}  // namespace vuduzez
