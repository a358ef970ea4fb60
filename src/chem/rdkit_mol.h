// The one door to RDKit: parsing MOL, SMILES and SMARTS text into RDKit
// molecules with RDKit's own messages kept off the terminal. Only src/chem/
// includes this header (and RDKit's); everything above chem/ sees plain types.
#pragma once

#include <GraphMol/RWMol.h>

#include <memory>
#include <string>
#include <string_view>

namespace vuduzez::chem {

// A parsed molecule, or why there is none (RDKit's reason, in English).
struct ParsedMol {
  std::unique_ptr<RDKit::RWMol> mol;
  std::string error;
  explicit operator bool() const { return mol != nullptr; }
};

// How a MOL block is taken: sanitized (valences checked, aromaticity and ring
// membership perceived) and with every drawn hydrogen kept as an atom, so
// that atom indices are the MOL file's atom numbers less one.
ParsedMol ParseMolBlock(std::string_view molText, bool sanitize = true);
ParsedMol ParseSmiles(std::string_view smiles, bool sanitize = true);
ParsedMol ParseSmarts(std::string_view smarts);

// Switches RDKit's logging off for the whole process (idempotent, thread-safe).
void QuietRdkit();

}  // namespace vuduzez::chem
