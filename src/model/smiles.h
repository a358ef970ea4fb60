// SMILES reader: a line notation of a structure read into the molecule tables
// as the MOL reader fills them for the same structure drawn with Kekule bonds,
// without coordinates (a SMILES structure is keyed and searched, not drawn).
#pragma once

#include <string>
#include <string_view>

#include "model/molecule.h"

namespace vuduzez {

// Outcome of a SMILES read. position is the 1-based character of the fault in
// the text given to ReadSmiles (0 on success); message is the whole text to
// show, "SMILES の 5 文字目: ...".
struct SmilesResult {
  bool ok = true;
  int position = 0;
  std::string message;
};

// Reads one SMILES into mol, replacing it. Leading blanks are skipped; the
// SMILES ends at the next blank, and what follows it (trimmed) is the title,
// which becomes molname (the SMILES itself when there is none).
//
// Read: the organic subset (B C N O P S F Cl Br I, aromatic b c n o p s, *),
// bracket atoms (element, isotope, hydrogen count, charge; chirality and atom
// class read and ignored), branches, ring closures 0-9, %nn and %(n),
// dot-separated parts, bonds - = # : and / \ as single. Aromatic atoms get
// single and double bonds as ChooseKekuleForm chooses them.
//
// What the tables get, as the MOL reader gives them for the same structure:
// atoms in SMILES order; the bonds in the order written, then the ring-closure
// bonds in the order they close (the order common MOL writers use for a
// structure read from SMILES); symbols with rawsym padded to two columns;
// element (every element; "*" is a query atom, elem 0), valence and elmcount
// from the element table; the formal charge, and as the charge code where
// -3..+3; the isotope; bond stereo "0"; coordinates 0.
//
// Hydrogens: a bracket atom states its hydrogen count (hstated), which also
// places the double bonds ([nH] keeps its nitrogen out of them), but adds no
// atoms; other atoms get theirs from CalcFormulaWeight, as in a MOL file, so
// a SMILES query keys like the same structure drawn without hydrogens. For the
// same reason a plain [H] bonded to one heavy atom is folded into it (a
// bracket atom counts it among its own); other [H] atoms ([H][H], [H+]) stay
// atoms.
//
// On failure the tables are reset, atmcount and bndcount are 0 and the result
// says where and why.
SmilesResult ReadSmiles(Molecule& mol, std::string_view text);

}  // namespace vuduzez
