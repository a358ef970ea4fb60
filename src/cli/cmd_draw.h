// vuduzez-cli draw: the PNG side, built only with Qt.
#pragma once

#include <cstdint>
#include <string>

#include "depict/depict.h"
#include "model/molecule.h"

namespace vuduzez::cli {

// Draws the molecule into a PNG file (white ground, the picture at its size).
// Raises RuntimeError when the drawing fails or the file cannot be written.
void WriteMoleculePng(Molecule& mol, int32_t width, const std::string& path,
                      const Highlight* highlight = nullptr);

}  // namespace vuduzez::cli
