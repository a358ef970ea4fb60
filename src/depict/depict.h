// Structure pictures: picture coordinates of the atoms, the line segments of
// every bond figure, and the drawing of the whole molecule onto a Canvas.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "depict/canvas.h"
#include "model/molecule.h"

namespace vuduzez {

struct PictureLine {
  int32_t x1 = 0;
  int32_t y1 = 0;
  int32_t x2 = 0;
  int32_t y2 = 0;
  bool operator==(const PictureLine&) const = default;
};

// Values of the last drawing; the geometry helpers read and write them.
struct DepictState {
  int32_t mfwidth = 0;   // picture width W
  int32_t mfheight = 0;  // picture height H = Round(W x ratio)
  int32_t bondgap = 0;   // d = 2 x gap unit
  CanvasPoint mappt;     // result of MapAtomPoint
  PictureLine mainline;  // first line of a pair (ParallelLines)
  PictureLine sideline;  // second line of a pair, or the wedge base
};

// The number rules of the drawing, all on 80-bit floats.
// Round: nearest, halves to even. Results outside 32 bits are clamped.
int32_t DepictRound(long double v);
int32_t DepictTrunc(long double v);
int32_t DepictCeil(long double v);

// Picture point of an atom at model offset (dx, dy) from the centre.
void MapAtomPoint(DepictState& st, long double dx, long double dy, long double scaleX,
                  long double scaleY);

// The two lines of a double or triple bond; side and vside choose where the
// shortened second line goes (see DrawMolecule's double bonds).
void ParallelLines(DepictState& st, int32_t x1, int32_t x2, int32_t y1, int32_t y2,
                   long double side, long double vside);

// The base of a wedge at its wide end (x2, y2), square to the bond.
void WedgeBase(DepictState& st, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// Sizes chosen per drawing; exposed for tests and callers that lay out text.
struct DepictSizes {
  int32_t baseSize = 0;
  int32_t secondSize = 0;
  long double refLength = 0;  // L, drawn length of bond 1
  int32_t gapUnit = 1;        // s
  int32_t labelHeight = 8;
  int32_t hashCount = 0;  // n
};

// Atoms and bonds (numbers as in the tables) drawn in the highlight colour.
struct Highlight {
  std::vector<int32_t> atoms;
  std::vector<int32_t> bonds;
};

// Draws the molecule: bonds in table order, then atom labels. Writes px/py of
// every atom. aspectText and molweight are converted with StrToFloat, so a
// text that is not a number raises RuntimeError; that happens before anything
// reaches the canvas or the molecule. A molecule whose counts or bond atoms
// lie outside its tables is refused the same way.
void DrawMolecule(Molecule& mol, int32_t width, int32_t penWidth, const std::string& aspectText,
                  Canvas& canvas);
void DrawMolecule(Molecule& mol, int32_t width, int32_t penWidth, const std::string& aspectText,
                  Canvas& canvas, DepictState& st, DepictSizes* sizes = nullptr,
                  const Highlight* highlight = nullptr);
// The same with the highlighted atoms and bonds in the highlight colour: their
// lines, wedges and labels; a highlighted carbon that no highlighted bond
// shows gets its "C" written.
void DrawMolecule(Molecule& mol, int32_t width, int32_t penWidth, const std::string& aspectText,
                  Canvas& canvas, const Highlight& highlight);

// The sizes of a drawing whose bond 1 is drawn refLength pixels long: gap
// unit, label height and hash count (baseSize and secondSize stay 0).
DepictSizes SizesForBondLength(long double refLength);

// Draws a molecule whose atoms already have their picture points (posdata
// px, py), with the given sizes: bonds in table order, then atom labels, as
// DrawMolecule draws them. The caller has begun the canvas and set the pen
// width, colour and the label font's face and weight (SetUpDrawing); the
// sketcher draws its drawing this way at the scale it shows. Refuses a
// molecule whose tables are out of range as DrawMolecule does.
void DrawPlacedMolecule(Molecule& mol, const DepictSizes& sizes, int32_t penWidth, Canvas& canvas,
                        DepictState& st, const Highlight* highlight = nullptr);

// The pen and font every drawing starts with: solid black pen of the width,
// and the label font ("Arial" bold).
void SetUpDrawing(Canvas& canvas, int32_t penWidth);

// Picture size and aspect the search window uses.
inline constexpr int32_t kPictureWidth = 350;
inline constexpr const char* kPictureAspect = "0.7";

}  // namespace vuduzez
