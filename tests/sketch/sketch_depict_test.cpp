// The sketcher's drawing through depict's Canvas (recorded), and the marks of
// atoms drawn over their valence.
#include "sketch/sketch_depict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "depict/recording_canvas.h"

namespace vuduzez {
namespace {

bool Has(const std::vector<std::string>& ops, const std::string& op) {
  return std::find(ops.begin(), ops.end(), op) != ops.end();
}

TEST(SketchDepict, DrawsAtTheViewWithThePicturesLabels) {
  Sketch s;
  ASSERT_GE(s.AddBondAt({0, 0}, {1.5, 0}, 1, kStereoNone, "O"), 0);
  SketchView view;
  view.width = 200;
  view.height = 100;
  view.scale = 20;  // 30-pixel bonds
  view.centre = {0.75, 0};
  RecordingCanvas canvas;
  auto mol = std::make_unique<Molecule>();
  DrawSketch(s.doc(), view, canvas, *mol);
  const std::vector<std::string> ops = canvas.Lines();
  // The bond between the view points of its atoms, then the hydroxyl as the
  // pictures label it (a 13-pixel label for 30-pixel bonds).
  EXPECT_TRUE(Has(ops, "moveto 85 50")) << canvas.Text();
  EXPECT_TRUE(Has(ops, "lineto 115 50")) << canvas.Text();
  EXPECT_TRUE(Has(ops, "font 13")) << canvas.Text();
  EXPECT_TRUE(Has(ops, "text 111 46 OH")) << canvas.Text();
  EXPECT_FALSE(Has(ops, "textcolor highlight"));

  // A charge is written on its atom, as the pictures write it.
  ASSERT_TRUE(s.ChangeCharge(1, -1));
  canvas.Clear();
  DrawSketch(s.doc(), view, canvas, *mol);
  EXPECT_NE(canvas.Text().find(" −\n"), std::string::npos) << canvas.Text();
}

TEST(SketchValence, BondsAndTemplatesOverTheValenceAreMarked) {
  Sketch s;
  ASSERT_TRUE(s.AddRing({0, 0}, 6, true));
  EXPECT_TRUE(OverValentAtoms(s.doc()).empty());
  // A benzene template sharing a ring atom makes it five-valent.
  ASSERT_TRUE(s.SpiroRing(0, 6, true));
  std::vector<OverValence> over = OverValentAtoms(s.doc());
  ASSERT_EQ(over.size(), 1u);
  EXPECT_EQ(over[0].atom, 0);
  EXPECT_GE(over[0].bonds, 5);
  EXPECT_EQ(over[0].allowed, 4);
  // Drawn in the highlight colour, the carbon with its "C".
  SketchView view;
  view.width = 300;
  view.height = 300;
  RecordingCanvas canvas;
  auto mol = std::make_unique<Molecule>();
  DrawSketch(s.doc(), view, canvas, *mol, {over[0].atom});
  const std::string ops = canvas.Text();
  const size_t lit = ops.find("textcolor highlight\n");
  ASSERT_NE(lit, std::string::npos) << ops;
  EXPECT_EQ(ops.substr(ops.find('\n', lit) + 1, 5), "text ");
  EXPECT_NE(ops.find(" C\n", lit), std::string::npos);

  // Charges move the limit: four bonds suit N+ but not N, three O+ but not O.
  Sketch n;
  const int centre = n.AddAtom({0, 0}, "N");
  for (SketchPoint p : {SketchPoint{1.5, 0}, {-1.5, 0}, {0, 1.5}, {0, -1.5}}) {
    ASSERT_GE(n.AddBondAt({0, 0}, p), 0);
  }
  ASSERT_EQ(OverValentAtoms(n.doc()).size(), 1u);
  ASSERT_TRUE(n.ChangeCharge(centre, 1));
  EXPECT_TRUE(OverValentAtoms(n.doc()).empty());
  EXPECT_EQ(MaxValence("O", 1), 3);
  EXPECT_EQ(MaxValence("Fe", 0), 0);  // metals are not judged
}

}  // namespace
}  // namespace vuduzez
