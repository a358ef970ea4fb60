// What the windows of the desktop program share for the whole run: the one
// current molecule, the program settings and the key failure flag.
#pragma once

#include <string>

#include "model/molecule.h"

namespace vuduzez {

struct Settings {
  std::string mdatafilename;  // compound database file
  std::string basedir1;       // MOL file folder
  std::string basedir2;       // start folder of the database-file choosers
};

struct ComData {
  Molecule molecule;
  Settings settings;
  std::string keyfail = "F";  // "T" when the last key generation gave up
};

// The program-wide instance.
ComData& com_data();

}  // namespace vuduzez
