// The drawing as a MOL V2000 file and as the "MDLCT" clipboard block, and a
// structure read by the system's MOL reader as a drawing.
#pragma once

#include <string>
#include <string_view>

#include "model/molecule.h"
#include "model/molreader.h"
#include "platform/message_sink.h"
#include "sketch/sketch.h"

namespace vuduzez {

// MOL V2000 text: the name line, a program line ending in the dimension code
// "2D", an empty comment line, the counts line, atom lines of 69 columns (2D
// coordinates, symbol, charge code in column 39), bond lines with the stereo
// digit in column 12, "M  CHG" and "M  RAD" lines for other programs (two
// atoms per line) and "M  END"; every line ends in CR LF.
std::string SketchToMolText(const SketchDoc& doc);

// The "MDLCT" block of a MOL text: every line as one length byte followed by
// its characters (lines longer than 255 characters are cut there).
std::string MdlctBlockOfMolText(std::string_view molText);

// The drawing of a molecule read by ReadMolText; nameLine becomes its first
// header line. Bonds are scaled to the sketcher's bond length; a molecule
// whose atoms all share one point (read from a line notation) is laid out.
SketchDoc SketchFromMolecule(const Molecule& mol, std::string_view nameLine = {});

// Reads MOL text with the system's reader into a drawing. The reader's result:
// a refusal leaves doc alone, its message shown through sink; a field
// that is not a number raises RuntimeError as for any MOL file.
MolReadResult SketchFromMolText(std::string_view text, SketchDoc& doc, MessageSink& sink);

// The molecule the system makes of the drawing: its MOL text read and
// completed with implicit hydrogens, formula and weight (no key).
void SketchToMolecule(const SketchDoc& doc, Molecule& mol);

}  // namespace vuduzez
