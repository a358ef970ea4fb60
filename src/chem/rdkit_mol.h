// The one door to RDKit: parsing MOL, SMILES and SMARTS text into RDKit
// molecules with RDKit's own messages kept off the terminal. Only src/chem/
// includes this header (and RDKit's); everything above chem/ sees plain types.
#pragma once

// RDKit's build options before any of its headers: they change the layout of
// its classes (RDK_BUILD_THREADSAFE_SSS adds a mutex to recursive queries).
#include <RDGeneral/RDConfig.h>
//
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
// that atom indices are the MOL file's atom numbers less one; with removeHs,
// as RDKit reads a MOL file by default (the hydrogens it can do without
// removed: the sound model of searching).
ParsedMol ParseMolBlock(std::string_view molText, bool sanitize = true, bool removeHs = false);

// A MOL file's bytes as a MOL block: a gzip-compressed file expanded (as the
// MOL reader of model/ reads it). False, with why, when it cannot be.
bool MolBlockOf(std::string_view bytes, std::string& block, std::string& why);
ParsedMol ParseSmiles(std::string_view smiles, bool sanitize = true);
ParsedMol ParseSmarts(std::string_view smarts);

// Switches RDKit's logging off for the whole process (idempotent, thread-safe).
void QuietRdkit();

}  // namespace vuduzez::chem
