// Picture size, scaling, reference length and the sizes that follow from it.
#include <gtest/gtest.h>

#include "depict_fixture.h"
#include "platform/errors.h"

namespace vuduzez {
namespace {

using testing::Build;
using testing::Draw;
using testing::MolText;
using testing::Read;

// Three atoms on a diagonal: the middle one sits on the centre of the box.
Molecule Diagonal(const std::string& weight) {
  Molecule mol = Read(MolText(
      std::vector<testing::ModelAtom>{
          {"0.0000", "0.0000"}, {"2.2500", "0.5000"}, {"4.5000", "1.0000"}},
      {{1, 2}, {2, 3}}));
  mol.molweight = weight;
  return mol;
}

TEST(DepictLayout, CentreAndBoundingBoxAtBaseSize150) {
  Molecule mol = Diagonal("44.10");
  DepictSizes z;
  const auto ops = Draw(mol, &z);
  EXPECT_EQ(ops[0], "size 350 245");
  EXPECT_EQ(z.baseSize, 150);
  EXPECT_EQ(z.secondSize, 105);
  EXPECT_EQ(mol.posdata[2].px, 175);
  EXPECT_EQ(mol.posdata[2].py, 123);
  // Both axes at the smaller scale, 112.5 / 4.5 = 25 pixels a unit (the
  // height would allow 78.75 / 1.0).
  EXPECT_EQ(mol.posdata[1].px, 119);  // Ceil(118.75)
  EXPECT_EQ(mol.posdata[1].py, 135);  // Ceil(122.5 + 12.5)
  EXPECT_EQ(mol.posdata[3].px, 232);  // Ceil(231.25)
  EXPECT_EQ(mol.posdata[3].py, 110);  // Ceil(122.5 - 12.5)
  // Upright, the height decides: 78.75 / 4.5 = 17.5 a unit across too.
  Molecule tall = Read(MolText(
      std::vector<testing::ModelAtom>{
          {"0.0000", "0.0000"}, {"0.5000", "2.2500"}, {"1.0000", "4.5000"}},
      {{1, 2}, {2, 3}}));
  tall.molweight = "44.10";
  Draw(tall);
  EXPECT_EQ(tall.posdata[1].px, 167);  // Ceil(175 - 8.75)
  EXPECT_EQ(tall.posdata[3].px, 184);
  EXPECT_EQ(tall.posdata[1].py, 162);  // Ceil(122.5 + 39.375)
  EXPECT_EQ(tall.posdata[3].py, 84);
}

TEST(DepictLayout, BaseAndSecondSizesFollowTheWeight) {
  struct Case {
    const char* weight;
    int base;
    int second;
  };
  for (const Case& c :
       {Case{"12.01", 150, 105}, Case{"99.99", 150, 105}, Case{"100.00", 150, 105},
        Case{"250.31", 200, 140}, Case{"399.99", 250, 175}, Case{"499.99", 300, 210},
        Case{"500.00", 350, 245}, Case{"1234.56", 350, 245}, Case{"-3.00", 150, 105}}) {
    Molecule mol = Diagonal(c.weight);
    DepictSizes z;
    Draw(mol, &z);
    EXPECT_EQ(z.baseSize, c.base) << c.weight;
    EXPECT_EQ(z.secondSize, c.second) << c.weight;
  }
  // From 500 on the base size is the picture width.
  Molecule mol = Diagonal("612.00");
  DepictSizes z;
  EXPECT_EQ(Draw(mol, &z, 400)[0], "size 400 280");
  EXPECT_EQ(z.baseSize, 400);
  EXPECT_EQ(z.secondSize, 280);
}

TEST(DepictLayout, WideMoleculeFillsTheWholeWidthAtBaseSize350) {
  Molecule mol = Diagonal("512.00");
  Draw(mol);
  EXPECT_EQ(mol.posdata[1].px, 44);  // Ceil(175 - 131.25)
  EXPECT_EQ(mol.posdata[3].px, 307);
  EXPECT_EQ(mol.posdata[1].py, 152);  // Ceil(122.5 + 0.5 x 58.33)
  EXPECT_EQ(mol.posdata[3].py, 94);
}

TEST(DepictLayout, AxisWithoutExtentPutsAtomsOnTheCentreLine) {
  Molecule flat = Read(MolText(
      std::vector<testing::ModelAtom>{{"0.0000", "1.0000"}, {"1.0000", "1.0000"}}, {{1, 2}}));
  Draw(flat);
  EXPECT_EQ(flat.posdata[1].py, 123);
  EXPECT_EQ(flat.posdata[2].py, 123);
  EXPECT_EQ(flat.posdata[1].px, 119);
  EXPECT_EQ(flat.posdata[2].px, 232);

  Molecule upright = Read(MolText(
      std::vector<testing::ModelAtom>{{"2.0000", "0.0000"}, {"2.0000", "1.0000"}}, {{1, 2}}));
  Draw(upright);
  EXPECT_EQ(upright.posdata[1].px, 175);
  EXPECT_EQ(upright.posdata[2].px, 175);
  EXPECT_EQ(upright.posdata[1].py, 162);  // Ceil(122.5 + 39.375)
  EXPECT_EQ(upright.posdata[2].py, 84);
}

TEST(DepictLayout, SingleAtomWithoutBondsUsesTheSmallestSizes) {
  Molecule mol = Read(MolText(std::vector<testing::ModelAtom>{{"3.1000", "-2.0000", "O"}}, {}));
  DepictSizes z;
  DepictState st;
  RecordingCanvas canvas;
  DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas, st, &z);
  EXPECT_EQ(mol.posdata[1].px, 175);
  EXPECT_EQ(mol.posdata[1].py, 123);
  EXPECT_EQ(z.refLength, 0);
  EXPECT_EQ(z.gapUnit, 1);
  EXPECT_EQ(st.bondgap, 2);
  EXPECT_EQ(z.labelHeight, 8);
  EXPECT_EQ(z.hashCount, 0);
  EXPECT_EQ(canvas.Lines(), (std::vector<std::string>{"size 350 245", "pen 1", "font 20", "font 8",
                                                      "text 172 120 O", "font 8"}));
}

TEST(DepictLayout, EmptyMoleculeDrawsNothingButTheSetUp) {
  Molecule mol = Read(MolText(std::vector<testing::ModelAtom>{}, {}));
  EXPECT_EQ(Draw(mol), (std::vector<std::string>{"size 350 245", "pen 1", "font 20", "font 8"}));
}

TEST(DepictLayout, GapUnitLabelHeightAndHashCountFollowBondOne) {
  struct Case {
    int length;
    int s;
    int label;
    int n;
  };
  // L 25: s Round(2.5) = 2; L 35: s Round(3.5) = 4, n Round(17.5) = 18.
  for (const Case& c :
       {Case{25, 2, 11, 12}, Case{35, 4, 15, 18}, Case{14, 1, 8, 7}, Case{16, 2, 8, 8},
        Case{33, 3, 14, 16}, Case{50, 5, 20, 25}, Case{60, 6, 20, 30}}) {
    Molecule mol = Build({{130, 150}, {130 + c.length, 150}, {140, 100}}, {{1, 2}, {1, 3}});
    DepictSizes z;
    DepictState st;
    RecordingCanvas canvas;
    DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas, st, &z);
    EXPECT_EQ(z.refLength, c.length);
    EXPECT_EQ(z.gapUnit, c.s) << c.length;
    EXPECT_EQ(st.bondgap, 2 * c.s) << c.length;
    EXPECT_EQ(z.labelHeight, c.label) << c.length;
    EXPECT_EQ(z.hashCount, c.n) << c.length;
    EXPECT_EQ(canvas.Lines()[3], "font " + std::to_string(c.label));
  }
}

TEST(DepictLayout, ObliqueReferenceLength) {
  Molecule mol = Build({{130, 150}, {160, 110}}, {{1, 2}});
  DepictSizes z;
  Draw(mol, &z);
  EXPECT_EQ(z.refLength, 50);
  EXPECT_EQ(z.labelHeight, 20);  // Round(16.67) + 3 = 20
}

TEST(DepictLayout, PenWidthIsPassedOn) {
  Molecule mol = Diagonal("50.00");
  RecordingCanvas canvas;
  DrawMolecule(mol, kPictureWidth, 3, kPictureAspect, canvas);
  EXPECT_EQ(canvas.Lines()[1], "pen 3");
}

TEST(DepictFailure, BadAspectOrWeightTextRaisesAndLeavesEverythingAlone) {
  for (const auto& [aspect, weight] : {std::pair<std::string, std::string>{"0,7", "50.00"},
                                       {"abc", "50.00"},
                                       {"", "50.00"},
                                       {"0.7", "12.3.4"},
                                       {"0.7", ""}}) {
    Molecule mol = Diagonal(weight);
    mol.posdata[1].px = -77;
    RecordingCanvas canvas;
    DepictState st;
    st.mfwidth = 9;
    try {
      DrawMolecule(mol, kPictureWidth, 1, aspect, canvas, st);
      ADD_FAILURE() << "no error for " << aspect << " / " << weight;
    } catch (const RuntimeError& e) {
      const std::string bad = aspect == "0.7" ? weight : aspect;
      EXPECT_EQ(std::string(e.what()), "'" + bad + "' は浮動小数点数ではありません");
    }
    EXPECT_EQ(canvas.Text(), "");
    EXPECT_EQ(mol.posdata[1].px, -77);
    EXPECT_EQ(st.mfwidth, 9);
  }
}

TEST(DepictFailure, TablesOutsideTheirCapacityAreRefusedBeforeDrawing) {
  Molecule mol = Diagonal("50.00");
  mol.bnddata[2].atom2 = 4;  // beyond atmcount
  RecordingCanvas canvas;
  EXPECT_THROW(DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas), RuntimeError);
  mol.bnddata[2].atom2 = 0;
  EXPECT_THROW(DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas), RuntimeError);
  mol.bnddata[2].atom2 = 3;
  mol.atmcount = kMaxAtoms + 1;
  EXPECT_THROW(DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas), RuntimeError);
  mol.atmcount = 3;
  mol.bndcount = -1;
  EXPECT_THROW(DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas), RuntimeError);
  EXPECT_EQ(canvas.Text(), "");
}

TEST(DepictFailure, ExtremeCoordinatesStayInsideThePicture) {
  // Extents too small to divide by, or too large to subtract, count as none.
  for (const auto& [a, b] : {std::pair<std::string, std::string>{"0", "4e-4932"},
                             {"-1.1e4932", "1.1e4932"},
                             {"0", "1e-4000"}}) {
    Molecule mol = Read(MolText(std::vector<testing::ModelAtom>{{a, a}, {b, b}, {b, a, "N"}},
                                {{1, 2, 1, 6}, {2, 3, 2}, {1, 3, 3}}));
    RecordingCanvas canvas;
    DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas);
    for (int i = 1; i <= 3; ++i) {
      EXPECT_GE(mol.posdata[i].px, 0) << a << " " << b;
      EXPECT_LE(mol.posdata[i].px, 350) << a << " " << b;
      EXPECT_GE(mol.posdata[i].py, 0) << a << " " << b;
      EXPECT_LE(mol.posdata[i].py, 245) << a << " " << b;
    }
  }
}

}  // namespace
}  // namespace vuduzez
