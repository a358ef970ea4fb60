// The drawing of the structure panel: atoms at 2D positions, bonds between
// them, and the editing operations of the sketcher, each one undoable step.
// Plain C++: the Qt sketcher widget drives it, the tests drive it directly.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vuduzez {

// Model units with y growing upward, as in MOL files. A drawn bond is this
// long (a C-C bond in Angstrom).
inline constexpr double kSketchBondLength = 1.5;

// MOL bond stereo digits the sketcher draws.
inline constexpr int kStereoNone = 0;
inline constexpr int kStereoWedge = 1;   // filled wedge, narrow end at atom1
inline constexpr int kStereoHashed = 6;  // hashed wedge, narrow end at atom1

struct SketchPoint {
  double x = 0.0;
  double y = 0.0;
  bool operator==(const SketchPoint&) const = default;
};

struct SketchAtom {
  SketchPoint pos;
  std::string symbol = "C";
  // MOL charge code: 0 none, 1..3 for +3..+1, 4 doublet radical, 5..7 for -1..-3.
  int charge = 0;
  bool operator==(const SketchAtom&) const = default;
};

struct SketchBond {
  int atom1 = 0;  // 0-based atom indices
  int atom2 = 0;
  int order = 1;  // MOL bond type; the sketcher draws 1, 2 and 3 and keeps others as read
  int stereo = kStereoNone;
  bool operator==(const SketchBond&) const = default;
};

struct SketchDoc {
  std::string name;  // first header line of the MOL text (CP932 bytes)
  std::vector<SketchAtom> atoms;
  std::vector<SketchBond> bonds;
  bool operator==(const SketchDoc&) const = default;
};

// Signed charge of a MOL charge code (a radical counts as 0) and back.
int ChargeOfCode(int code);
int CodeOfCharge(int charge);

// Whether a text is the symbol of an element of the periodic table ("C", "Cl").
bool IsElementSymbol(std::string_view symbol);
// The symbol of the element with atomic number z (1..118), "" outside.
std::string_view ElementSymbolOf(int z);

// The most bonds (bond orders summed) an atom of the element with that signed
// charge takes in a drawing: C 4, N 3 (N+ 4), O 2 (O+ 3), P 5, S 6, halogens
// 1 (Cl, Br, I 7) ...; 0 for an element without such a rule (metals, noble
// gases), which is never marked.
int MaxValence(std::string_view symbol, int charge);

// One atom drawn with more bonds than its element takes.
struct OverValence {
  int atom = 0;     // 0-based
  int bonds = 0;    // bond orders summed (an aromatic bond counts 1.5, rounded up)
  int allowed = 0;  // MaxValence
};
// Every such atom of the drawing, in atom order.
std::vector<OverValence> OverValentAtoms(const SketchDoc& doc);

// The point at bond length from `from` in the direction of `toward`, the angle
// snapped to a multiple of 30 degrees.
SketchPoint SnappedBondEnd(SketchPoint from, SketchPoint toward, double length = kSketchBondLength);

// Points of a zigzag chain from `start` along the direction of `toward`
// (snapped to 30 degrees): as many bonds as fit in the distance, at least one.
// The first point is `start`. `avoid` is a point the first bond turns away
// from (the start atom's neighbour), if any.
std::vector<SketchPoint> ChainPoints(SketchPoint start, SketchPoint toward,
                                     std::optional<SketchPoint> avoid = std::nullopt,
                                     double length = kSketchBondLength);

// The vertices of a regular ring of `size` members: centred at `centre`;
// or built on the bond a-b (a and b first) on the side of `side`.
std::vector<SketchPoint> RingPointsAround(SketchPoint centre, int size,
                                          double length = kSketchBondLength);
std::vector<SketchPoint> RingPointsOnBond(SketchPoint a, SketchPoint b, int size, int side);

// How a drawing fits into a view: the model point shown at the view's centre
// and pixels per model unit.
struct SketchFit {
  double scale = 0.0;
  SketchPoint centre;
};

// Scale and centre that show the whole drawing inside width x height pixels
// less `margin` on every side, never enlarged beyond maxScale.
SketchFit FitView(const SketchDoc& doc, double width, double height, double margin,
                  double maxScale);

class Sketch {
 public:
  const SketchDoc& doc() const { return doc_; }
  bool empty() const { return doc_.atoms.empty(); }

  // --- Look-ups (no change) ---
  // Nearest atom within radius of p, or -1.
  int AtomAt(SketchPoint p, double radius) const;
  // Nearest bond whose segment passes within radius of p, or -1.
  int BondAt(SketchPoint p, double radius) const;
  int FindBond(int a, int b) const;
  std::vector<int> Neighbours(int atom) const;
  // Where a bond drawn from the atom without a direction goes: away from its
  // neighbours, zigzag on a chain, clear of other atoms.
  SketchPoint FreeBondEnd(int atom) const;
  // Whether the bond lies on a ring, and the centre of the smallest such ring.
  std::optional<SketchPoint> RingCentreOfBond(int bond) const;

  // --- Operations. Each is one undo step; an operation that would change
  // nothing, or would exceed 200 atoms or 300 bonds, changes nothing and
  // returns false (or -1); refusedForSize() tells the second case apart. ---

  // A new atom of the symbol at p; returns its index.
  int AddAtom(SketchPoint p, const std::string& symbol = "C");
  // A bond from the atom at `from` to the atom at `to`; either end that has
  // no atom within reach gets a new one (the start carbon, the end of
  // endSymbol). An existing bond between them takes the order and stereo.
  // Returns the bond's index.
  int AddBondAt(SketchPoint from, SketchPoint to, int order = 1, int stereo = kStereoNone,
                const std::string& endSymbol = "C");
  // Single bonds along the points, new carbons where no atom is.
  bool AddChain(const std::vector<SketchPoint>& points);
  // Ring templates: free at a centre, fused onto a bond (on the side of
  // `toward`, else away from the bond's neighbours) or sharing one atom.
  // aromatic: benzene-like alternating double bonds where the atoms allow.
  bool AddRing(SketchPoint centre, int size, bool aromatic);
  bool FuseRing(int bond, int size, bool aromatic,
                std::optional<SketchPoint> toward = std::nullopt);
  bool SpiroRing(int atom, int size, bool aromatic);

  bool SetElement(int atom, const std::string& symbol);
  bool SetChargeCode(int atom, int code);
  // Adds delta (+1 or -1) to the atom's charge, within -3..+3.
  bool ChangeCharge(int atom, int delta);
  // Single -> double -> triple -> single (any other type becomes single).
  bool CycleBond(int bond);
  bool SetBondOrder(int bond, int order);
  // A wedge on the bond (order 1); the same wedge again turns it round.
  bool SetBondStereo(int bond, int stereo);
  // Removes the atom and its bonds.
  bool EraseAtom(int atom);
  // Removes the bond, and an end atom left alone as a plain carbon.
  bool EraseBond(int bond);
  bool DeleteAtoms(const std::vector<int>& atoms);
  // Moves the atoms; a moved atom dropped onto an unmoved one merges into it.
  bool MoveAtoms(const std::vector<int>& atoms, double dx, double dy);
  bool Clear();
  // Replaces the drawing (a loaded or pasted structure).
  bool Replace(SketchDoc doc);
  // Adds a structure beside the drawing (to its right).
  bool AddFragment(const SketchDoc& fragment);

  bool Undo();
  bool Redo();
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  // Undoes the last step for good (no redo): a click that turned out to be
  // the first half of a double-click.
  bool Revert();
  bool refusedForSize() const { return refusedForSize_; }

 private:
  bool Commit(SketchDoc next);
  bool PlaceRing(SketchDoc& next, const std::vector<SketchPoint>& points, bool aromatic) const;

  SketchDoc doc_;
  std::vector<SketchDoc> undo_;
  std::vector<SketchDoc> redo_;
  bool refusedForSize_ = false;
};

// Places every atom of a drawing whose coordinates are missing (a structure
// read from a line notation): rings as regular polygons, fused rings on their
// shared bond, chains as zigzags, separate parts side by side.
void LayoutSketch(SketchDoc& doc);

// The same look-ups on any document.
int AtomAtIn(const SketchDoc& doc, SketchPoint p, double radius);
int FindBondIn(const SketchDoc& doc, int a, int b);
std::vector<int> NeighboursIn(const SketchDoc& doc, int atom);
std::optional<SketchPoint> RingCentreOfBondIn(const SketchDoc& doc, int bond);
// Where a new bond from the atom goes, considering the atom's bonded
// neighbours and keeping clear of every other atom; with `placed`, only the
// atoms marked there count (a layout in progress).
SketchPoint FreeBondEndIn(const SketchDoc& doc, int atom, double length = kSketchBondLength,
                          const std::vector<char>* placed = nullptr);

}  // namespace vuduzez
