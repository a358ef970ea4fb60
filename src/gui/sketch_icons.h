// The sketcher's button icons, drawn as vectors on a 20 x 20 grid (sharp at
// any screen scale), and the colours of its element buttons.
#pragma once

#include <QColor>
#include <QIcon>
#include <string>

namespace vuduzez {

QIcon SelectIcon();
QIcon EraserIcon();
// One, two or three parallel lines: single, double, triple bond.
QIcon BondIcon(int lines);
QIcon WedgeIcon(bool hashed);
QIcon FitIcon();
QIcon ClearIcon();
QIcon RingIcon(int size, bool aromatic);
// Undo, and mirrored redo.
QIcon CurvedArrowIcon(bool mirrored);
QIcon ChargeIcon(bool plus);

// The colour an element button writes its symbol in.
QColor ElementColour(const std::string& symbol);

}  // namespace vuduzez
