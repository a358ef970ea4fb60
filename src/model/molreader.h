// MOL reader and the completion of a structure with implicit hydrogens,
// formula and weight. The reader reads MOL files as today's programs write
// them: V2000 with its property lines (M  CHG, M  ISO, M  RAD up to M  END),
// V3000 (converted to V2000 by chem/, which lends the reader its converter),
// either of them gzip-compressed, with or without a UTF-8 byte order mark.
#pragma once

#include <string>
#include <string_view>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

// Why the reader refused a file.
enum class MolReadStatus {
  kOk,
  kNotV2000,  // neither V2000 nor V3000
  kTooManyAtoms,
  kTooManyBonds,
  kBondAtomOutOfRange,  // a bond or property line names an atom that does not exist
  kCountsMismatch,      // the counts line disagrees with the atom and bond lines
  kNotAnElement,        // an atom symbol that is no element and no query atom
  kNoKekule,            // aromatic bonds that no Kekule form fits
  kUnreadable,          // a V3000 file the conversion refused, a damaged gzip stream
};

struct MolReadResult {
  MolReadStatus status = MolReadStatus::kOk;
  std::string message;  // the refusal as shown (UTF-8); empty when the file was read
  int line = 0;         // line of the file the reader stopped at (1-based); 0 when read
  bool ok() const { return status == MolReadStatus::kOk; }
  explicit operator bool() const { return ok(); }
};

// Reads a MOL file into the molecule, replacing it. A file refused (not
// V2000 or V3000, counts beyond the capacities or disagreeing with the atom
// and bond lines, a bond naming an atom that does not exist, a symbol that is
// no element, aromatic bonds without a Kekule form) gives a result that says
// why and where; the reason has been shown through sink and the caller must
// not go on with formula, key, drawing or screening. A file that cannot be
// opened raises RuntimeError; a field that is not a number raises
// RuntimeError carrying the line it stands on.
//
// Charges come from the atom block and from M  CHG, which supersedes the atom
// block's charge for the atoms it names; isotopes from M  ISO (or the mass
// difference field, or the symbols D and T); radicals from M  RAD (or charge
// code 4). Aromatic bonds (type 4) are given single and double bonds
// (ChooseKekuleForm). Query atoms (A, Q, *, L, AH, QH, R#), atom lists and
// query bond types 5-8 are read, and molecule.queryfeature says which came
// first: only a search query may hold them.
MolReadResult ReadMolFile(Molecule& mol, const std::string& path, MessageSink& sink);

// The same on the bytes of a MOL file already in memory.
MolReadResult ReadMolText(Molecule& mol, std::string_view data, MessageSink& sink);

// A MOL file's bytes as the reader reads them: a gzip stream expanded, a
// V3000 file converted to V2000 (where it fits 999 atoms); a V2000 file is
// given back as it is. ok false with the refusal in message otherwise.
struct MolTextResult {
  bool ok = true;
  MolReadStatus status = MolReadStatus::kOk;
  std::string text;
  std::string message;
};
MolTextResult MolTextAsV2000(std::string_view data);

// The conversion of a V3000 MOL text to V2000 text, lent to the reader by
// chem/ (RDKit): false, with why in English, when it cannot be converted.
using V3000Converter = bool (*)(std::string_view v3000, std::string& v2000, std::string& why);
void SetV3000Converter(V3000Converter converter);

// Implicit hydrogens (the default valence model of model/valence.h; none on
// a query atom; the count the input stated where it stated one), molformula
// (the 13 elements of the original table in its order, then the others in the
// byte order of their symbols) and molweight (an isotope counts with its own
// mass). Runs once after each read.
void CalcFormulaWeight(Molecule& mol);

// The weight text: the extended-precision sum taken to 18 significant digits,
// then rounded at the second decimal, halves up ("133.26" for C6H15NS).
std::string FormatWeight(long double weight);

}  // namespace vuduzez
