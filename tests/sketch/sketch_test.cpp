#include "sketch/sketch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "model/mfconv.h"
#include "model/molreader.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "sketch/sketch_mol.h"
#include "support/mdlct_byte_scan.h"
#include "support/recording_sink.h"

namespace vuduzez {
namespace {

constexpr double L = kSketchBondLength;

double Dist(SketchPoint a, SketchPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

double BondLength(const SketchDoc& d, const SketchBond& b) {
  return Dist(d.atoms[b.atom1].pos, d.atoms[b.atom2].pos);
}

int DoubleBondsAt(const SketchDoc& d, int atom) {
  int n = 0;
  for (const auto& b : d.bonds) n += (b.atom1 == atom || b.atom2 == atom) && b.order == 2;
  return n;
}

// Every pair of atoms at least `gap` apart.
bool Spread(const SketchDoc& d, double gap) {
  for (size_t i = 0; i < d.atoms.size(); ++i)
    for (size_t j = i + 1; j < d.atoms.size(); ++j)
      if (Dist(d.atoms[i].pos, d.atoms[j].pos) < gap) return false;
  return true;
}

std::unique_ptr<Molecule> Read(const std::string& text) {
  auto mol = std::make_unique<Molecule>();
  RecordingSink ui;
  EXPECT_TRUE(ReadMolText(*mol, text, ui));
  EXPECT_TRUE(ui.messages.empty());
  CalcFormulaWeight(*mol);
  return mol;
}

TEST(SketchGeometry, BondsSnapTo30DegreesAtFixedLength) {
  const SketchPoint o{1, 1};
  for (double deg : {0.0, 14.0, 16.0, 44.0, 100.0, -170.0, 269.0}) {
    const double r = deg * std::numbers::pi / 180;
    const SketchPoint end = SnappedBondEnd(o, {1 + 3 * std::cos(r), 1 + 3 * std::sin(r)});
    EXPECT_NEAR(Dist(o, end), L, 1e-9);
    const double got = std::atan2(end.y - 1, end.x - 1) * 180 / std::numbers::pi;
    const double want = std::round(deg / 30) * 30;
    EXPECT_NEAR(std::remainder(got - want, 360.0), 0.0, 1e-9) << deg;
  }
  // A chain: as many bonds as the distance holds, all of bond length at 120 degrees.
  const auto chain = ChainPoints({0, 0}, {3.1 * L * std::cos(std::numbers::pi / 6), 0.2});
  ASSERT_EQ(chain.size(), 4u);
  for (size_t i = 1; i < chain.size(); ++i) EXPECT_NEAR(Dist(chain[i - 1], chain[i]), L, 1e-9);
  EXPECT_NEAR(Dist(chain[0], chain[2]), L * std::sqrt(3.0), 1e-9);
  EXPECT_EQ(ChainPoints({0, 0}, {0.1, 0}).size(), 2u);  // at least one bond
}

TEST(SketchGeometry, FitShowsEverythingWithoutEnlarging) {
  SketchDoc d;
  d.atoms = {{{-3, 0}}, {{5, 1}}, {{1, -2}}};
  const SketchFit fit = FitView(d, 200, 100, 10, 50);
  EXPECT_NEAR(fit.scale, std::min(180.0 / 8, 80.0 / 3), 1e-9);
  EXPECT_NEAR(fit.centre.x, 1.0, 1e-9);
  EXPECT_NEAR(fit.centre.y, -0.5, 1e-9);
  d.atoms.resize(1);  // a lone atom keeps the largest scale
  EXPECT_EQ(FitView(d, 200, 100, 10, 50).scale, 50);
}

TEST(SketchDrawing, BondsFromAtomsAndChainsShareEndAtoms) {
  Sketch s;
  ASSERT_EQ(s.AddAtom({0, 0}), 0);
  // A bond from the atom to a snapped end makes one new atom.
  const SketchPoint end = SnappedBondEnd({0, 0}, {1, 0.2});
  EXPECT_EQ(s.AddBondAt({0, 0}, end), 0);
  EXPECT_EQ(s.doc().atoms.size(), 2u);
  // The free direction from the chain end zigzags.
  const SketchPoint next = s.FreeBondEnd(1);
  EXPECT_NEAR(Dist(next, end), L, 1e-9);
  EXPECT_NEAR(Dist(next, {0, 0}), L * std::sqrt(3.0), 1e-9);
  // A chain from the end atom starts there; a bond onto an existing atom joins it.
  ASSERT_TRUE(s.AddChain(ChainPoints(end, {10, 0}, SketchPoint{0, 0})));
  const size_t atoms = s.doc().atoms.size();
  EXPECT_GE(s.AddBondAt(s.doc().atoms.back().pos, {0.1, 0.1}, 2), 0);
  EXPECT_EQ(s.doc().atoms.size(), atoms);
  EXPECT_EQ(s.doc().bonds.back().order, 2);
  // A drawn bond in both directions onto one atom changes nothing.
  EXPECT_EQ(s.AddBondAt({0, 0}, {0.1, 0}), -1);
}

TEST(SketchDrawing, BenzeneAlternatesAndFusedRingsShareTheirBond) {
  Sketch s;
  ASSERT_TRUE(s.AddRing({0, 0}, 6, true));
  const SketchDoc& d = s.doc();
  ASSERT_EQ(d.atoms.size(), 6u);
  ASSERT_EQ(d.bonds.size(), 6u);
  for (int a = 0; a < 6; ++a) EXPECT_EQ(DoubleBondsAt(d, a), 1);
  for (const auto& b : d.bonds) EXPECT_NEAR(BondLength(d, b), L, 1e-9);

  // Naphthalene: the second benzene shares bond 0 and lies on the other side;
  // every atom keeps exactly one double bond.
  const auto firstCentre = s.RingCentreOfBond(0);
  ASSERT_TRUE(firstCentre);
  ASSERT_TRUE(s.FuseRing(0, 6, true));
  ASSERT_EQ(d.atoms.size(), 10u);
  ASSERT_EQ(d.bonds.size(), 11u);
  for (int a = 0; a < 10; ++a) EXPECT_EQ(DoubleBondsAt(d, a), 1) << a;
  EXPECT_TRUE(Spread(d, 0.9 * L));
  int newInRing = 0;
  for (size_t a = 6; a < 10; ++a) {
    newInRing += Dist(d.atoms[a].pos, *firstCentre) > 1.5 * L;  // beyond the first ring
  }
  EXPECT_EQ(newInRing, 4);

  // A cyclopentane fused on the side of the point given; a spiro
  // cyclopropane on one atom.
  for (double side : {-2.0, 2.0}) {
    Sketch t;
    ASSERT_GE(t.AddBondAt({0, 0}, {L, 0}), 0);
    ASSERT_TRUE(t.FuseRing(0, 5, false, SketchPoint{L / 2, side}));
    ASSERT_EQ(t.doc().atoms.size(), 5u);
    for (size_t a = 2; a < 5; ++a) EXPECT_GT(t.doc().atoms[a].pos.y * side, 0.5);
  }
  Sketch u;
  ASSERT_TRUE(u.AddRing({0, 0}, 6, false));
  ASSERT_TRUE(u.SpiroRing(2, 3, false));
  EXPECT_EQ(u.doc().atoms.size(), 8u);
  EXPECT_EQ(u.Neighbours(2).size(), 4u);
  EXPECT_TRUE(Spread(u.doc(), 0.9 * L));
}

TEST(SketchEditing, EditsUndoRedoAndRefusals) {
  Sketch s;
  const double advance = L * std::cos(std::numbers::pi / 6);
  ASSERT_TRUE(s.AddChain(ChainPoints({0, 0}, {4 * advance, 0})));  // pentane-like, 4 bonds
  const SketchDoc drawn = s.doc();
  EXPECT_FALSE(s.SetElement(0, "Xx"));
  EXPECT_FALSE(s.SetElement(0, "C"));  // no change, no undo step
  ASSERT_TRUE(s.SetElement(0, "O"));
  ASSERT_TRUE(s.ChangeCharge(0, -1));
  EXPECT_EQ(s.doc().atoms[0].charge, 5);
  ASSERT_TRUE(s.ChangeCharge(1, +1));
  ASSERT_TRUE(s.ChangeCharge(1, +1));
  EXPECT_EQ(s.doc().atoms[1].charge, 2);  // +2
  ASSERT_TRUE(s.CycleBond(1));
  ASSERT_TRUE(s.CycleBond(1));
  EXPECT_EQ(s.doc().bonds[1].order, 3);
  ASSERT_TRUE(s.CycleBond(1));
  EXPECT_EQ(s.doc().bonds[1].order, 1);
  ASSERT_TRUE(s.SetBondStereo(2, kStereoHashed));
  const int narrow = s.doc().bonds[2].atom1;
  ASSERT_TRUE(s.SetBondStereo(2, kStereoHashed));  // again: turned round
  EXPECT_EQ(s.doc().bonds[2].atom2, narrow);
  ASSERT_TRUE(s.SetBondOrder(2, 2));
  EXPECT_EQ(s.doc().bonds[2].stereo, kStereoNone);
  const SketchDoc edited = s.doc();

  // Erasing the last bond takes its lone carbon along; erasing an O keeps the rest.
  ASSERT_TRUE(s.EraseBond(static_cast<int>(s.doc().bonds.size()) - 1));
  EXPECT_EQ(s.doc().atoms.size(), 4u);
  ASSERT_TRUE(s.EraseAtom(0));
  EXPECT_EQ(s.doc().atoms.size(), 3u);
  EXPECT_EQ(s.doc().bonds.size(), 2u);

  // Every step comes back, and goes again.
  int steps = 0;
  while (s.Undo()) ++steps;
  EXPECT_EQ(steps, 13);
  EXPECT_TRUE(s.empty());
  for (int i = 0; i < 11; ++i) ASSERT_TRUE(s.Redo());
  EXPECT_EQ(s.doc(), edited);
  ASSERT_TRUE(s.Undo());
  ASSERT_TRUE(s.AddAtom({9, 9}));  // a new step drops what could be redone
  EXPECT_FALSE(s.CanRedo());
  ASSERT_TRUE(s.Revert());
  EXPECT_FALSE(s.CanRedo());

  // Dragging an atom onto another merges them; a move is one step.
  Sketch m;
  ASSERT_TRUE(m.AddChain(ChainPoints({0, 0}, {3 * advance, 0})));
  const SketchPoint target = m.doc().atoms[0].pos, moved = m.doc().atoms[3].pos;
  ASSERT_TRUE(m.MoveAtoms({3}, target.x - moved.x + 0.1, target.y - moved.y));
  EXPECT_EQ(m.doc().atoms.size(), 3u);
  EXPECT_EQ(m.doc().bonds.size(), 3u);  // a ring of three

  // Nothing beyond 200 atoms.
  Sketch big;
  for (int i = 0; i < 200; ++i) ASSERT_GE(big.AddAtom({i * 2.0, 0}), 0);
  EXPECT_EQ(big.AddAtom({-5, 0}), -1);
  EXPECT_TRUE(big.refusedForSize());
  EXPECT_FALSE(big.AddRing({0, 50}, 6, false));
  EXPECT_EQ(big.doc().atoms.size(), 200u);
}

// A drawing with what the MOL file has to carry: charges, a radical, both
// wedges, every bond order, a two-letter symbol.
SketchDoc Showcase() {
  Sketch s;
  s.AddRing({0, 0}, 6, true);
  const int a = s.AddBondAt(s.doc().atoms[0].pos, s.FreeBondEnd(0), 1, kStereoWedge, "N");
  s.ChangeCharge(s.doc().bonds[a].atom2, +1);
  const int b = s.AddBondAt(s.doc().atoms[3].pos, s.FreeBondEnd(3), 1, kStereoHashed, "O");
  s.ChangeCharge(s.doc().bonds[b].atom2, -1);
  s.AddBondAt(s.doc().atoms[1].pos, s.FreeBondEnd(1), 3, kStereoNone, "Cl");
  s.SetChargeCode(2, 4);
  s.ChangeCharge(4, -1);
  s.ChangeCharge(4, -1);
  SketchDoc d = s.doc();
  d.name = "showcase.mol";
  return d;
}

TEST(SketchMol, TheReaderReadsWhatWasDrawn) {
  const SketchDoc d = Showcase();
  const std::string text = SketchToMolText(d);
  LineReader lines(text);
  std::vector<std::string> all;
  while (!lines.AtEnd()) all.emplace_back(lines.Next());
  ASSERT_EQ(all.size(), 4 + d.atoms.size() + d.bonds.size() + 4);  // 2 CHG, 1 RAD, M  END
  EXPECT_EQ(all[1].size(), 22u);
  EXPECT_EQ(all[1].substr(20), "2D");
  EXPECT_EQ(all.back(), "M  END");
  for (size_t i = 4; i < 4 + d.atoms.size(); ++i) EXPECT_EQ(all[i].size(), 69u);
  for (size_t i = 4 + d.atoms.size(); i < all.size(); ++i) EXPECT_LT(all[i].size(), 32u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));

  const auto mol = Read(text);
  EXPECT_EQ(mol->molname, "showcase");
  ASSERT_EQ(mol->atmcount, static_cast<int>(d.atoms.size()));
  ASSERT_EQ(mol->bndcount, static_cast<int>(d.bonds.size()));
  for (size_t i = 0; i < d.atoms.size(); ++i) {
    EXPECT_EQ(mol->atmdata[i + 1].symbol, d.atoms[i].symbol);
    EXPECT_EQ(mol->posdata[i + 1].charge, d.atoms[i].charge);
    EXPECT_NEAR(static_cast<double>(mol->atmdata[i + 1].x), d.atoms[i].pos.x, 1e-4);
  }
  for (size_t j = 0; j < d.bonds.size(); ++j) {
    EXPECT_EQ(mol->bnddata[j + 1].atom1, d.bonds[j].atom1 + 1);
    EXPECT_EQ(mol->bnddata[j + 1].order, d.bonds[j].order);
    EXPECT_EQ(mol->bnddata[j + 1].stereo, std::to_string(d.bonds[j].stereo));
  }

  // And back into a drawing: the same document.
  SketchDoc back;
  RecordingSink ui;
  ASSERT_TRUE(SketchFromMolText(text, back, ui));
  ASSERT_EQ(back.atoms.size(), d.atoms.size());
  for (size_t i = 0; i < d.atoms.size(); ++i) {
    EXPECT_NEAR(back.atoms[i].pos.x, d.atoms[i].pos.x, 1e-3);
    back.atoms[i].pos = d.atoms[i].pos;
  }
  EXPECT_EQ(back, d);
  // A file the reader refuses is refused with its message.
  EXPECT_FALSE(
      SketchFromMolText("x\r\n\r\n\r\n  1  0  0  0  0  0  0  0  0  0999 v2000\r\n", back, ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{kNotV2000Message});
}

TEST(SketchMol, ClipboardBlockConvertsBackToTheSameFile) {
  SketchDoc d = Showcase();
  for (const std::string name : {"showcase.mol", ""}) {
    d.name = name;
    const std::string text = SketchToMolText(d);
    const std::string block = MdlctBlockOfMolText(text);
    // The capture writes the header's lines 2 and 3 empty; all else is kept.
    std::string expected = text;
    const size_t line2 = expected.find("\r\n") + 2;
    expected.erase(line2, expected.find("\r\n", line2) - line2);
    EXPECT_EQ(ConvertMdlctBlock(block, NameLine::kKeep), expected);
    // So does the byte scan the original system used: no byte of the text is
    // an "E" or a length byte it would mistake.
    EXPECT_EQ(testing::ByteScan(block, NameLine::kKeep), expected);
    EXPECT_EQ(testing::ByteScan(block, NameLine::kBlank),
              ConvertMdlctBlock(block, NameLine::kBlank));
  }
  // An "E" in the text (erbium) broke only the byte scan: the capture reads
  // the block line by line.
  d.atoms[2].symbol = "Er";
  const std::string text = SketchToMolText(d);
  const std::string block = MdlctBlockOfMolText(text);
  EXPECT_NE(testing::ByteScan(block, NameLine::kKeep), ConvertMdlctBlock(block, NameLine::kKeep));
  EXPECT_EQ(Read(ConvertMdlctBlock(block, NameLine::kKeep))->atmdata[3].symbol, "Er");
}

TEST(SketchMol, StructuresWithoutCoordinatesAreLaidOut) {
  // Naphthalene with an ethyl and a cyclopropyl, plus a separate water,
  // every atom at the origin.
  SketchDoc d;
  d.atoms.resize(16);
  d.atoms[15].symbol = "O";
  const int ring[][2] = {{0, 1},   {1, 2},  {2, 3},   {3, 4},   {4, 5},  {5, 0},
                         {4, 6},   {6, 7},  {7, 8},   {8, 9},   {9, 5},  {0, 10},
                         {10, 11}, {2, 12}, {12, 13}, {13, 14}, {14, 12}};
  for (const auto& b : ring) d.bonds.push_back({b[0], b[1], 1, 0});
  LayoutSketch(d);
  EXPECT_TRUE(Spread(d, 0.5 * L));
  for (const auto& b : d.bonds) EXPECT_NEAR(BondLength(d, b), L, 1e-6);

  // Through the reader: a MOL file whose atoms all sit at one point, and one
  // drawn at another bond length, come out at the sketcher's.
  SketchDoc flat;
  flat.atoms.resize(3);
  flat.bonds = {{0, 1, 1, 0}, {1, 2, 2, 0}};
  const auto mol = Read(SketchToMolText(flat));
  SketchDoc laid = SketchFromMolecule(*mol);
  EXPECT_NEAR(BondLength(laid, laid.bonds[1]), L, 1e-6);
  EXPECT_TRUE(Spread(laid, 0.5 * L));
  for (auto& a : laid.atoms) a.pos = {a.pos.x * 0.55, a.pos.y * 0.55};
  const auto small = Read(SketchToMolText(laid));
  EXPECT_NEAR(BondLength(SketchFromMolecule(*small), laid.bonds[0]), L, 1e-3);
}

}  // namespace
}  // namespace vuduzez
