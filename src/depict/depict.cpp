#include "depict/depict.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

using Real = long double;

// Picture coordinates stay in 32 bits even for absurd model coordinates (a
// MOL field may hold 1e4000): values beyond are clamped, NaN becomes 0.
int32_t Clamp32(Real v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<Real>(std::numeric_limits<int32_t>::min())) {
    return std::numeric_limits<int32_t>::min();
  }
  if (v >= static_cast<Real>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(v);
}

int32_t Clamp32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

void Line(Canvas& canvas, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  canvas.MoveTo(Clamp32(x1), Clamp32(y1));
  canvas.LineTo(Clamp32(x2), Clamp32(y2));
}

void Line(Canvas& canvas, const PictureLine& l) { Line(canvas, l.x1, l.y1, l.x2, l.y2); }

bool Touches(const BondRow& b, int32_t atom) { return b.atom1 == atom || b.atom2 == atom; }

// Labels are CP932 bytes; symbols are nearly always ASCII, which needs no
// conversion.
std::string LabelUtf8(const std::string& ansi) {
  for (unsigned char c : ansi) {
    if (c >= 0x80) return AnsiToUtf8(ansi);
  }
  return ansi;
}

void CheckTables(const Molecule& mol) {
  if (mol.atmcount < 0 || mol.atmcount > kMaxAtoms) {
    throw RuntimeError(TooManyAtomsMessage(mol.atmcount, kMaxAtoms));
  }
  if (mol.bndcount < 0 || mol.bndcount > kMaxBonds) {
    throw RuntimeError(TooManyBondsMessage(mol.bndcount, kMaxBonds));
  }
  for (int32_t j = 1; j <= mol.bndcount; ++j) {
    for (int32_t a : {mol.bnddata[j].atom1, mol.bnddata[j].atom2}) {
      if (a < 1 || a > mol.atmcount) {
        throw RuntimeError(BondAtomOutOfRangeMessage(j, a, mol.atmcount));
      }
    }
  }
}

class Drawing {
 public:
  Drawing(Molecule& mol, Canvas& canvas, DepictState& st, int32_t penWidth)
      : mol_(mol), canvas_(canvas), st_(st), penWidth_(penWidth) {}

  // Which atoms and bonds are drawn in the highlight colour.
  void SetHighlight(const Highlight& h) {
    atomLit_.assign(static_cast<size_t>(mol_.atmcount) + 1, false);
    bondLit_.assign(static_cast<size_t>(mol_.bndcount) + 1, false);
    shownByBond_.assign(static_cast<size_t>(mol_.atmcount) + 1, false);
    for (int32_t a : h.atoms) {
      if (a >= 1 && a <= mol_.atmcount) atomLit_[static_cast<size_t>(a)] = true;
    }
    for (int32_t j : h.bonds) {
      if (j < 1 || j > mol_.bndcount) continue;
      bondLit_[static_cast<size_t>(j)] = true;
      shownByBond_[static_cast<size_t>(mol_.bnddata[j].atom1)] = true;
      shownByBond_[static_cast<size_t>(mol_.bnddata[j].atom2)] = true;
    }
  }

  void Bond(int32_t j) {
    const bool lit = !bondLit_.empty() && bondLit_[static_cast<size_t>(j)];
    if (lit) canvas_.SetPenColor(CanvasColor::Highlight);
    fill_ = lit ? CanvasColor::Highlight : CanvasColor::Black;
    BondFigure(j);
    if (lit) canvas_.SetPenColor(CanvasColor::Black);
  }

  void BondFigure(int32_t j) {
    const BondRow& b = mol_.bnddata[j];
    switch (b.order) {
      case 1:
        if (b.stereo == "1" || b.stereo == "6") {
          Wedge(j, b.stereo == "1");
        } else {
          Line(canvas_, Px(b.atom1), Py(b.atom1), Px(b.atom2), Py(b.atom2));
          canvas_.SetPenSolid();
          canvas_.SetPenWidth(penWidth_);
        }
        break;
      case 2:
        Double(j);
        break;
      case 3:
        Triple(j);
        break;
      default:
        break;  // aromatic and query bond types leave no mark
    }
  }

  void Label(int32_t i, int32_t labelHeight, int32_t u, int32_t subHeight) {
    const bool lit = !atomLit_.empty() && atomLit_[static_cast<size_t>(i)];
    const bool showCarbon = lit && !shownByBond_[static_cast<size_t>(i)];
    const bool decorated = mol_.posdata[i].formal != 0 || ShownMass(i) != 0;
    if (!showCarbon && !decorated && Trim(mol_.posdata[i].rawsym) == "C") return;
    if (lit) canvas_.SetTextColor(CanvasColor::Highlight);
    if (decorated) {
      DecoratedLabel(i, labelHeight, u, subHeight);
    } else {
      LabelText(i, labelHeight, u, subHeight, showCarbon);
    }
    if (lit) canvas_.SetTextColor(CanvasColor::Black);
  }

  // An atom with a charge or an isotope: the mass number raised before the
  // symbol, the charge raised after it ("¹³C", "O⁻", "NH3⁺"), both in the
  // subscript size; hydrogens on N and O as for the plain labels, on the side
  // away from the bond. The symbol's cell stands where a plain label's would.
  void DecoratedLabel(int32_t i, int32_t labelHeight, int32_t u, int32_t subHeight) {
    const PosRow& pos = mol_.posdata[i];
    const std::string symbol = LabelUtf8(Trim(pos.rawsym));
    const int32_t h = pos.hcount;
    const bool hydrogens = (symbol == "N" || symbol == "O") && h > 0;
    const bool before = hydrogens && NeighbourOnRight(i);
    const std::string count = h > 1 ? std::to_string(h) : "";
    std::string charge;
    if (pos.formal != 0) {
      const int32_t q = pos.formal < 0 ? -pos.formal : pos.formal;
      charge = (q > 1 ? std::to_string(q) : "") + (pos.formal > 0 ? "+" : "\u2212");
    }
    const std::string mass = ShownMass(i) > 0 ? std::to_string(ShownMass(i)) : "";
    const auto width = [](const std::string& text, int32_t height) {
      return LabelTextWidth(text, height);
    };
    const Real x = static_cast<Real>(Px(i)), y = static_cast<Real>(Py(i));
    const Real top = y - u, raised = y - 2 * u, lowered = y;
    const Real at = x - u;  // the symbol's cell
    Real start = at;        // where the label begins on the left
    Real end = at + width(symbol, labelHeight);
    if (before) start -= width("H", labelHeight) + width(count, subHeight);
    const auto text = [&](Real tx, Real ty, const std::string& t) {
      canvas_.TextOut(DepictRound(tx), DepictRound(ty), t);
    };
    if (!mass.empty()) {
      canvas_.SetFontHeight(subHeight);
      text(start - width(mass, subHeight), raised, mass);
      canvas_.SetFontHeight(labelHeight);
    }
    if (before) {
      text(start, top, "H");
      if (!count.empty()) {
        canvas_.SetFontHeight(subHeight);
        text(start + width("H", labelHeight), lowered, count);
        canvas_.SetFontHeight(labelHeight);
      }
    }
    text(at, top, symbol);
    if (hydrogens && !before) {
      text(end, top, "H");
      end += width("H", labelHeight);
      if (!count.empty()) {
        canvas_.SetFontHeight(subHeight);
        text(end, lowered, count);
        end += width(count, subHeight);
        canvas_.SetFontHeight(labelHeight);
      }
    }
    if (!charge.empty()) {
      canvas_.SetFontHeight(subHeight);
      text(end, raised, charge);
    }
    canvas_.SetFontHeight(labelHeight);
  }

  void LabelText(int32_t i, int32_t labelHeight, int32_t u, int32_t subHeight, bool showCarbon) {
    std::string label = Trim(mol_.posdata[i].rawsym);
    if (label == "C" && !showCarbon) return;
    const int32_t h = mol_.posdata[i].hcount;
    if (label == "N") {
      if (h == 2) {
        label = NeighbourOnRight(i) ? "H2N" : "NH2";
      } else if (h == 1) {
        label = "NH";
      }
    }
    if (label == "O" && h == 1) label = NeighbourOnRight(i) ? "HO" : "OH";

    const int64_t x = Px(i), y = Py(i);
    if (label == "H2N") {
      canvas_.TextOut(Clamp32(x - 6 * u), Clamp32(y - u), "H N");
      canvas_.SetFontHeight(subHeight);
      canvas_.TextOut(Clamp32(x - 4 * u), Clamp32(y), "2");
    } else if (label == "NH2") {
      canvas_.TextOut(Clamp32(x - u), Clamp32(y - u), "NH");
      canvas_.SetFontHeight(subHeight);
      canvas_.TextOut(Clamp32(x + 3 * u), Clamp32(y), "2");
    } else if (label == "HO") {
      canvas_.TextOut(Clamp32(x - 2 * u), Clamp32(y - u), "HO");
    } else {
      canvas_.TextOut(Clamp32(x - u), Clamp32(y - u), LabelUtf8(label));
    }
    canvas_.SetFontHeight(labelHeight);
  }

  int32_t gapUnit = 1;
  int32_t hashCount = 0;

 private:
  int64_t Px(int32_t atom) const { return mol_.posdata[atom].px; }
  int64_t Py(int32_t atom) const { return mol_.posdata[atom].py; }

  // The mass number a label shows: none for D and T, whose symbols say it.
  int32_t ShownMass(int32_t i) const {
    const std::string symbol = Trim(mol_.posdata[i].rawsym);
    return symbol == "D" || symbol == "T" ? 0 : mol_.posdata[i].isotope;
  }

  // The last bond touching the atom names the neighbour that decides on which
  // side the hydrogens go; without one they go to the right.
  bool NeighbourOnRight(int32_t i) const {
    int32_t nb = 0;
    for (int32_t j = 1; j <= mol_.bndcount; ++j) {
      const BondRow& b = mol_.bnddata[j];
      if (b.atom1 == i) nb = b.atom2;
      if (b.atom2 == i) nb = b.atom1;
    }
    return nb != 0 && mol_.posdata[nb].px > mol_.posdata[i].px;
  }

  void Wedge(int32_t j, bool filled) {
    const BondRow& b = mol_.bnddata[j];
    // The narrow end is the atom with fewer other single bonds; a multiple
    // bond restarts its count at -3, so table order matters.
    int32_t c1 = 0, c2 = 0;
    for (int32_t r = 1; r <= mol_.bndcount; ++r) {
      if (r == j) continue;
      const BondRow& o = mol_.bnddata[r];
      if (Touches(o, b.atom1)) c1 = o.order >= 2 ? -3 : c1 + 1;
      if (Touches(o, b.atom2)) c2 = o.order >= 2 ? -3 : c2 + 1;
    }
    int32_t narrow = b.atom1, wide = b.atom2;
    if (c2 > c1) std::swap(narrow, wide);
    const int32_t x1 = mol_.posdata[narrow].px, y1 = mol_.posdata[narrow].py;
    const int32_t x2 = mol_.posdata[wide].px, y2 = mol_.posdata[wide].py;
    WedgeBase(st_, x1, y1, x2, y2);
    const PictureLine base = st_.sideline;
    if (filled) {
      canvas_.SetBrushColor(fill_);
      canvas_.Polygon(
          {CanvasPoint{x1, y1}, CanvasPoint{base.x1, base.y1}, CanvasPoint{base.x2, base.y2}});
      canvas_.SetBrushColor(CanvasColor::White);
      return;
    }
    const int64_t n = hashCount;
    if (n <= 0) {
      Line(canvas_, base);  // too short to hash: the base alone
      return;
    }
    for (int64_t k = 0; k <= n; ++k) {
      const auto step = [&](int64_t from, int64_t tip) {
        return from - DepictRound(static_cast<Real>((from - tip) * k) / static_cast<Real>(n));
      };
      Line(canvas_, step(base.x1, x1), step(base.y1, y1), step(base.x2, x1), step(base.y2, y1));
    }
  }

  void Double(int32_t j) {
    const BondRow& b = mol_.bnddata[j];
    const int32_t a1 = b.atom1, a2 = b.atom2;
    // Neighbours of each end together with their double-bond partners. The
    // lists grow as needed and every entry counts (listed twice, counted twice).
    neighboursA_.clear();
    neighboursB_.clear();
    const auto extend = [&](std::vector<int32_t>& list, int32_t t, int32_t r) {
      for (int32_t q = 1; q <= mol_.bndcount; ++q) {
        if (q == r || mol_.bnddata[q].order != 2) continue;
        if (mol_.bnddata[q].atom1 == t) list.push_back(mol_.bnddata[q].atom2);
        if (mol_.bnddata[q].atom2 == t) list.push_back(mol_.bnddata[q].atom1);
      }
    };
    for (int32_t r = 1; r <= mol_.bndcount; ++r) {
      if (r == j) continue;
      const BondRow& o = mol_.bnddata[r];
      if (o.atom1 == a1) {
        neighboursA_.push_back(o.atom2);
        extend(neighboursA_, o.atom2, r);
      }
      if (o.atom1 == a2) {
        neighboursB_.push_back(o.atom2);
        extend(neighboursB_, o.atom2, r);
      }
      if (o.atom2 == a1) {
        neighboursA_.push_back(o.atom1);
        extend(neighboursA_, o.atom1, r);
      }
      if (o.atom2 == a2) {
        neighboursB_.push_back(o.atom1);
        extend(neighboursB_, o.atom1, r);
      }
    }

    const int32_t x1 = mol_.posdata[a1].px, y1 = mol_.posdata[a1].py;
    const int32_t x2 = mol_.posdata[a2].px, y2 = mol_.posdata[a2].py;
    if (neighboursA_.empty() || neighboursB_.empty()) {
      if (y1 == y2) {
        Line(canvas_, x1, int64_t{y1} + gapUnit, x2, int64_t{y2} + gapUnit);
        Line(canvas_, x1, int64_t{y1} - gapUnit, x2, int64_t{y2} - gapUnit);
        return;
      }
      ParallelLines(st_, x1, x2, y1, y2, 0, 0);
    } else {
      const int64_t mx = (int64_t{x1} + x2) / 2, my = (int64_t{y1} + y2) / 2;
      int64_t sx = 0, sy = 0;
      for (const auto* list : {&neighboursA_, &neighboursB_}) {
        for (int32_t t : *list) {
          sx += Px(t) - mx;
          sy += Py(t) - my;
        }
      }
      ParallelLines(st_, x1, x2, y1, y2, static_cast<Real>(sy), static_cast<Real>(sx));
    }
    Line(canvas_, st_.mainline);
    Line(canvas_, st_.sideline);
  }

  void Triple(int32_t j) {
    const BondRow& b = mol_.bnddata[j];
    const int64_t x1 = Px(b.atom1), y1 = Py(b.atom1), x2 = Px(b.atom2), y2 = Py(b.atom2);
    const int64_t s = gapUnit;
    if (x1 == x2) {
      Line(canvas_, x1, y1, x2, y2);
      Line(canvas_, x1 + s, y1, x2 + s, y2);
      Line(canvas_, x1 - s, y1, x2 - s, y2);
    } else if (y1 == y2) {
      Line(canvas_, x1, y1, x2, y2);
      Line(canvas_, x1, y1 + s, x2, y2 + s);
      Line(canvas_, x1, y1 - s, x2, y2 - s);
    } else {
      ParallelLines(st_, Clamp32(x1), Clamp32(x2), Clamp32(y1), Clamp32(y2), 0, 0);
      Line(canvas_, x1, y1, x2, y2);
      Line(canvas_, st_.mainline);
      Line(canvas_, st_.sideline);
    }
  }

  Molecule& mol_;
  Canvas& canvas_;
  DepictState& st_;
  int32_t penWidth_;
  std::vector<int32_t> neighboursA_;
  std::vector<int32_t> neighboursB_;
  std::vector<bool> atomLit_;
  std::vector<bool> bondLit_;
  std::vector<bool> shownByBond_;
  CanvasColor fill_ = CanvasColor::Black;  // of a filled wedge
};

}  // namespace

int32_t DepictRound(long double v) { return Clamp32(std::nearbyint(v)); }
int32_t DepictTrunc(long double v) { return Clamp32(std::trunc(v)); }
int32_t DepictCeil(long double v) { return Clamp32(std::ceil(v)); }

void MapAtomPoint(DepictState& st, long double dx, long double dy, long double scaleX,
                  long double scaleY) {
  const Real sy = scaleY != 0 ? scaleY : scaleX;
  st.mappt.x = DepictCeil(dx * scaleX + static_cast<Real>(st.mfwidth) * 0.5L);
  st.mappt.y = DepictCeil(static_cast<Real>(st.mfheight) * 0.5L - dy * sy);
}

void ParallelLines(DepictState& st, int32_t x1, int32_t x2, int32_t y1, int32_t y2,
                   long double side, long double vside) {
  st.mainline = {x1, y1, x2, y2};
  Real X1 = x1, X2 = x2, Y1 = y1, Y2 = y2;
  const Real d = st.bondgap;
  Real ax, ay, qx, qy;
  if (x1 == x2) {
    if (side == 0 && vside == 0) {
      ax = 0, ay = 0, qx = d, qy = 0;
    } else {
      ax = 0, ay = -d, qx = -d, qy = 0;
      if (Y1 < Y2) std::swap(Y1, Y2);  // (X1, Y1) is the lower end on the picture
      side = vside < 0 ? -100 : 100;
    }
  } else if (y1 == y2) {
    ax = d, ay = 0, qx = 0, qy = -d;
    if (X2 < X1) std::swap(X1, X2);
  } else {
    if (X2 < X1) {
      std::swap(X1, X2);
      std::swap(Y1, Y2);
    }
    const Real m = (Y2 - Y1) / (X2 - X1);
    const Real k = 1 / std::sqrt(m * m + 1);
    ax = d * k, ay = d * m * k, qx = d * m * k, qy = -d * k;
  }
  const auto line = [](Real a, Real b, Real c, Real e) {
    return PictureLine{DepictRound(a), DepictRound(b), DepictRound(c), DepictRound(e)};
  };
  if (side < 0) {
    st.sideline = line(X1 + ax + qx, Y1 + ay + qy, X2 - ax + qx, Y2 - ay + qy);
  } else if (side > 0) {
    st.sideline = line(X1 + ax - qx, Y1 + ay - qy, X2 - ax - qx, Y2 - ay - qy);
  } else {
    st.sideline = line(X1 - qx / 2, Y1 - qy / 2, X2 - qx / 2, Y2 - qy / 2);
    st.mainline = line(X1 + qx / 2, Y1 + qy / 2, X2 + qx / 2, Y2 + qy / 2);
  }
}

void WedgeBase(DepictState& st, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const Real d = st.bondgap;
  if (x1 == x2 || y1 == y2) {
    const int64_t e = DepictRound(d / 2);
    if (x1 == x2) {
      st.sideline = {Clamp32(x2 + e), y2, Clamp32(x2 - e), y2};
    } else {
      st.sideline = {x2, Clamp32(y2 + e), x2, Clamp32(y2 - e)};
    }
    return;
  }
  const Real m = (static_cast<Real>(y2) - y1) / (static_cast<Real>(x2) - x1);
  const Real k = 1 / std::sqrt(m * m + 1);
  const int64_t hx = DepictRound(d * m * k / 4);
  const int64_t hy = DepictRound(d * k / 4);
  st.sideline = {Clamp32(x2 - hx), Clamp32(y2 + hy), Clamp32(x2 + hx), Clamp32(y2 - hy)};
}

void DrawMolecule(Molecule& mol, int32_t width, int32_t penWidth, const std::string& aspectText,
                  Canvas& canvas) {
  DepictState st;
  DrawMolecule(mol, width, penWidth, aspectText, canvas, st);
}

void DrawMolecule(Molecule& mol, int32_t width, int32_t penWidth, const std::string& aspectText,
                  Canvas& canvas, const Highlight& highlight) {
  DepictState st;
  DrawMolecule(mol, width, penWidth, aspectText, canvas, st, nullptr, &highlight);
}

void DrawMolecule(Molecule& mol, int32_t width, int32_t penWidth, const std::string& aspectText,
                  Canvas& canvas, DepictState& st, DepictSizes* sizes, const Highlight* highlight) {
  // Everything that can fail comes first, so that a refused drawing leaves
  // the canvas, the molecule and the state untouched.
  const Real ratio = StrToFloat(aspectText);
  const Real weight = StrToFloat(mol.molweight);
  CheckTables(mol);

  const Real W = width;
  st.mfwidth = width;
  st.mfheight = DepictRound(W * ratio);

  // Below 100 the smallest size is used too.
  DepictSizes z;
  const Real hundreds = std::trunc(std::trunc(weight) / 100);
  if (hundreds >= 5) {
    z.baseSize = width;
  } else if (hundreds >= 4) {
    z.baseSize = 300;
  } else if (hundreds >= 3) {
    z.baseSize = 250;
  } else if (hundreds >= 2) {
    z.baseSize = 200;
  } else {
    z.baseSize = 150;
  }
  z.secondSize = DepictTrunc(static_cast<Real>(z.baseSize) * ratio);

  canvas.SetSize(st.mfwidth, st.mfheight);
  canvas.Begin();
  SetUpDrawing(canvas, penWidth);

  // Both axes take the smaller of the two scales that fit the atoms into three
  // quarters of the base size across and of the second size down, so that a
  // structure keeps its shape; an axis without extent takes the other's
  // scale, and with neither the atoms sit on the centre.
  Real minX = mol.atmdata[1].x, maxX = minX, minY = mol.atmdata[1].y, maxY = minY;
  for (int32_t i = 1; i <= mol.atmcount; ++i) {
    minX = std::min(minX, mol.atmdata[i].x);
    maxX = std::max(maxX, mol.atmdata[i].x);
    minY = std::min(minY, mol.atmdata[i].y);
    maxY = std::max(maxY, mol.atmdata[i].y);
  }
  const Real w = maxX - minX, h = maxY - minY;
  // An extent too small to divide by (the scale overflows) counts as none.
  const auto scale = [](Real size, Real extent) {
    const Real v = extent != 0 ? size * 0.75L / extent : 0;
    return std::isfinite(v) ? v : 0;
  };
  const Real fitX = scale(z.baseSize, w), fitY = scale(z.secondSize, h);
  const Real scaleX = fitX > 0 && fitY > 0 ? std::min(fitX, fitY) : std::max(fitX, fitY);
  const Real scaleY = scaleX;
  // Halving each end first keeps the centre finite when the sum would overflow.
  const Real cx = maxX / 2 + minX / 2, cy = maxY / 2 + minY / 2;
  for (int32_t i = 1; i <= mol.atmcount; ++i) {
    MapAtomPoint(st, mol.atmdata[i].x - cx, mol.atmdata[i].y - cy, scaleX, scaleY);
    mol.posdata[i].px = st.mappt.x;
    mol.posdata[i].py = st.mappt.y;
  }

  // Every size follows the drawn length of bond 1; without bonds it is 0.
  if (mol.bndcount >= 1) {
    const PosRow& p1 = mol.posdata[mol.bnddata[1].atom1];
    const PosRow& p2 = mol.posdata[mol.bnddata[1].atom2];
    const Real ddx = static_cast<Real>(p1.px) - p2.px, ddy = static_cast<Real>(p1.py) - p2.py;
    z.refLength = std::sqrt(ddx * ddx + ddy * ddy);
  }
  const DepictSizes drawn = SizesForBondLength(z.refLength);
  z.gapUnit = drawn.gapUnit;
  z.labelHeight = drawn.labelHeight;
  z.hashCount = drawn.hashCount;
  DrawPlacedMolecule(mol, z, penWidth, canvas, st, highlight);

  canvas.End();
  if (sizes != nullptr) *sizes = z;
}

DepictSizes SizesForBondLength(long double refLength) {
  DepictSizes z;
  z.refLength = refLength;
  z.gapUnit = std::max(DepictRound(z.refLength / 10), 1);
  z.labelHeight = std::clamp(DepictRound(z.refLength / 3) + 3, 8, 20);
  z.hashCount = DepictRound(z.refLength / 2);
  return z;
}

void SetUpDrawing(Canvas& canvas, int32_t penWidth) {
  canvas.SetPenWidth(penWidth);
  canvas.SetPenSolid();
  canvas.SetPenColor(CanvasColor::Black);
  canvas.SetFontHeight(20);
  canvas.SetFontFace("Arial");
  canvas.SetFontBold(true);
}

void DrawPlacedMolecule(Molecule& mol, const DepictSizes& z, int32_t penWidth, Canvas& canvas,
                        DepictState& st, const Highlight* highlight) {
  CheckTables(mol);
  st.bondgap = 2 * z.gapUnit;
  canvas.SetFontHeight(z.labelHeight);

  Drawing drawing(mol, canvas, st, penWidth);
  drawing.gapUnit = z.gapUnit;
  drawing.hashCount = z.hashCount;
  if (highlight != nullptr) drawing.SetHighlight(*highlight);
  for (int32_t j = 1; j <= mol.bndcount; ++j) drawing.Bond(j);

  const int32_t u = DepictRound(static_cast<Real>(z.labelHeight) / 3);
  const int32_t subHeight = DepictRound(static_cast<Real>(u) * 2.5L);
  for (int32_t i = 1; i <= mol.atmcount; ++i) drawing.Label(i, z.labelHeight, u, subHeight);
}

}  // namespace vuduzez
