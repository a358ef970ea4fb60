#include "sketch/sketch_depict.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "depict/depict.h"
#include "sketch/sketch_mol.h"

namespace vuduzez {

void DrawSketch(const SketchDoc& doc, const SketchView& view, Canvas& canvas, Molecule& mol,
                const std::vector<int>& marked) {
  if (doc.atoms.empty()) return;
  SketchToMolecule(doc, mol);
  if (mol.atmcount != static_cast<int32_t>(doc.atoms.size()))
    return;  // never: the sketcher's own text
  for (size_t i = 0; i < doc.atoms.size(); ++i) {
    PosRow& p = mol.posdata[i + 1];
    p.px = static_cast<int32_t>(std::lround(view.ScreenX(doc.atoms[i].pos)));
    p.py = static_cast<int32_t>(std::lround(view.ScreenY(doc.atoms[i].pos)));
  }
  const long double bondPixels = kSketchBondLength * view.scale;
  const DepictSizes sizes = SizesForBondLength(bondPixels);
  const int32_t penWidth = std::max(1, static_cast<int32_t>(std::lround(bondPixels / 24)));
  Highlight highlight;
  for (int a : marked) highlight.atoms.push_back(a + 1);
  SetUpDrawing(canvas, penWidth);
  DepictState st;
  DrawPlacedMolecule(mol, sizes, penWidth, canvas, st,
                     highlight.atoms.empty() ? nullptr : &highlight);

  // The labels carry the charges (and isotopes); a radical (charge code 4)
  // gets its dot beside the atom, at the label's upper right.
  const int32_t u = std::max(1, static_cast<int32_t>(std::lround(sizes.labelHeight / 3.0)));
  const int32_t small = std::max(6, u * 2);
  bool fontChanged = false;
  for (size_t i = 0; i < doc.atoms.size(); ++i) {
    if (doc.atoms[i].charge != 4) continue;
    if (!fontChanged) {
      canvas.SetFontHeight(small);
      fontChanged = true;
    }
    const PosRow& p = mol.posdata[i + 1];
    const bool lit = std::find(marked.begin(), marked.end(), static_cast<int>(i)) != marked.end();
    if (lit) canvas.SetTextColor(CanvasColor::Highlight);
    canvas.TextOut(p.px + 2 * u, p.py - 2 * u, "•");
    if (lit) canvas.SetTextColor(CanvasColor::Black);
  }
  if (fontChanged) canvas.SetFontHeight(sizes.labelHeight);
}

}  // namespace vuduzez
