// The sketcher's drawing drawn as the structure pictures are drawn: through
// depict's Canvas, with depict's bond figures and atom labels, at the scale
// and place the sketcher shows it. The Qt sketcher paints with it on its
// panel; tests record it with the recording canvas.
#pragma once

#include <vector>

#include "depict/canvas.h"
#include "model/molecule.h"
#include "sketch/sketch.h"

namespace vuduzez {

// Where the drawing is on the screen: the model point at the view's centre
// and pixels per model unit (y grows upward in the model, downward on screen).
struct SketchView {
  int width = 0;
  int height = 0;
  double scale = 20.0;
  SketchPoint centre;

  // The screen point of a model point.
  double ScreenX(const SketchPoint& p) const { return width / 2.0 + (p.x - centre.x) * scale; }
  double ScreenY(const SketchPoint& p) const { return height / 2.0 - (p.y - centre.y) * scale; }
};

// Draws the drawing onto a canvas that the caller has begun (and ends): the
// molecule the system makes of it (SketchToMolecule: the labels show the
// hydrogens it counts), its atoms at their view points, the sizes of a
// picture whose bonds are as long as the view draws them. The atoms listed in
// marked (0-based; atoms over their valence) are drawn in the highlight
// colour, carbons with their "C". mol is the caller's scratch molecule.
void DrawSketch(const SketchDoc& doc, const SketchView& view, Canvas& canvas, Molecule& mol,
                const std::vector<int>& marked = {});

}  // namespace vuduzez
